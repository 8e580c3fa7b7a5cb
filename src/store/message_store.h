#pragma once
// The message store: a SQLite database that keeps every message that leaves
// a modem, and the outbox through which a send command hands its sends to a
// running watch. The commands call this interface; they never build SQL.
//
// What it promises
// - Durability. The database runs in write-ahead-log mode with full
//   synchronous commits: when Keep returns true the message is on disk, and
//   a crash or a power cut after that cannot lose it. Only then may the
//   caller delete the message from the modem.
// - No duplicates. A message is identified by the SIM that received it (its
//   ICCID), its storage ("SIM" or "DEV") and the SHA-256 digest of its raw
//   parts; without an ICCID, by its port, storage and digest. Keeping a
//   message that is already there adds nothing and says so (isNew false), so
//   a run that died between keeping and deleting does not store it twice
//   when the next run reads it again.
// - Safe opening. The file is created with mode 0600 (SQLite's -wal and
//   -shm files take the database file's mode), opened without following a
//   symbolic link as its last component, and must be a regular file (see
//   platform/store_file.h). Anything else is refused with a reason.
// - Texts. Every text given to or returned by this interface is internal
//   text (GB18030, see the README's "Texts and character sets"); the
//   database holds UTF-8 TEXT, so sqlite3 and other tools read it.
// - Errors. No call throws. A failure returns false (or null) with a text of
//   one line the caller prints once on standard error after "tellmar: ":
//     store /x/y.db: unable to open: No such file or directory
//     store /x/y.db: unable to open: file is not a database
//     store /x/y.db: unable to store the message: database is locked
//   A database that another connection keeps locked is waited for at most
//   kBusyTimeoutMs, then the call fails.
// - Threads. One object may be used from several threads; its calls take
//   turns. Several objects, in one process or several, may use one file at
//   the same time (each its own connection): the outbox's state changes are
//   atomic between them.
//
// Schema (version 1, in PRAGMA user_version; PRAGMA application_id is
// kApplicationId; store_schema.cpp holds it and the migration to it):
//
// messages: one row per message kept
//   id         INTEGER PRIMARY KEY AUTOINCREMENT (never reused)
//   received   TEXT     when it was read, local time as the caller shows it
//   com        TEXT     the port ("COM3")
//   sim        TEXT     ICCID of the SIM that received it ('' when unknown)
//   storage    TEXT     "SIM", "DEV" or "SR" (the status reports' storage)
//   sender     TEXT     the sender as shown (for a report: the recipient it
//                       reports on)
//   sent       TEXT     the network's time as shown ("24-05-01 09:30:00")
//   text       TEXT     the text (for an unreadable entry: '')
//   kind       TEXT     'message', 'report' or 'unreadable'
//   parts      INTEGER  the number of parts of the message (1 for a single one)
//   missing    TEXT     JSON array of the part numbers that never came
//                       ("[2,3]"), NULL when the message is complete
//   pdu        TEXT     the raw parts as read, in part order, one a line; in
//                       a part, "\" is "\\", CR "\r", LF "\n", tab "\t" and
//                       every other control or non-ASCII byte "\xHH" (as in
//                       the AT trace), so a PDU line is kept as it is
//   reference  INTEGER  reports: the message reference (TP-MR) reported on
//   status     INTEGER  reports: the status (TP-ST)
//   digest     TEXT     SHA-256, hexadecimal, of the raw parts, each preceded
//                       by its length in bytes as 8 bytes, big-endian
//   unique: (sim, storage, digest) where sim <> '';
//           (com, storage, digest) where sim = ''
//
// outbox: one row per send request (one number through one port)
//   id         INTEGER PRIMARY KEY AUTOINCREMENT
//   batch      TEXT     the request's batch: the rows of one send command
//   port, number, text, options
//                       what to send ("COM3", "13800138000", the text, and
//                       the caller's options, free text such as JSON)
//   state      TEXT     see below
//   queued     INTEGER  when it was enqueued, seconds since 1970 (UTC)
//   owner      TEXT     who took it (the watch's own name for itself)
//   claimed    INTEGER  when it was taken, seconds since 1970
//   code, message, time, detail
//                       the result: the send document's code, message and
//                       time, and free text for more (such as the TP-MR
//                       references of a send with a delivery report)
//
// The states of an outbox row; each change is one atomic step, so two
// watches never take the same row and a row is never sent twice:
//
//   waiting --Claim--> sending --Finish--> done     (the result says how the
//      |                  |                          send went: code 0 sent)
//      |                  +--ExpireSending--> failed (its watch died while
//      |                                              sending: it may or may
//      |                                              not have gone out; it is
//      |                                              never sent again)
//      +--FailWaiting--> failed   (never taken: the watch is gone or the
//                                  sender stopped waiting)

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

enum class StoredKind { Message, Report, Unreadable };

// A message as it left a modem (internal texts).
struct StoredMessage {
    std::string received;  // local time, as the caller writes it
    std::string com;       // "COM3"
    std::string sim;       // ICCID; empty when unknown
    std::string storage;   // "SIM", "DEV" or "SR"
    std::string sender;
    std::string sent;  // the network's time as shown
    std::string text;
    StoredKind kind = StoredKind::Message;
    int parts = 1;             // how many parts the message has
    std::vector<int> missing;  // part numbers that never came; empty: complete
    // The raw parts as read, in part order: each PDU line without its
    // listing header (the header's read/unread status changes once read, the
    // PDU does not). At least one; they make the message's identity.
    std::vector<std::string> pdu;
    std::optional<int> reference;  // reports: TP-MR
    std::optional<int> status;     // reports: TP-ST
};

// What Keep did with a message that it kept.
struct KeepOutcome {
    std::int64_t id = 0;  // the message's row
    bool isNew = false;   // false: the same message was there already
};

enum class OutboxState { Waiting, Sending, Done, Failed };

// One send asked of a watch (internal texts).
struct OutboxRequest {
    std::string port;  // "COM3"
    std::string number;
    std::string text;
    std::string options;  // free text for the watch (such as JSON); may be empty
};

// The outcome of a request, as the send document shows it.
struct OutboxResult {
    int code = 0;
    std::string message;
    std::string time;
    std::string detail;  // free text (such as JSON); may be empty
};

struct OutboxRow {
    std::int64_t id = 0;
    std::string batch;
    OutboxRequest request;
    OutboxState state = OutboxState::Waiting;
    std::string owner;    // empty until taken
    OutboxResult result;  // set in Done and Failed
};

class MessageStore {
public:
    static constexpr int kBusyTimeoutMs = 3000;
    static constexpr int kApplicationId = 0x544C4D52;  // "TLMR"

    // Opens the store at `path`, creating the file and the schema on first
    // use, or bringing an older schema up to date. Refused, with `error` set:
    // a path that cannot be opened (missing folder, folder, link, not a
    // regular file, no permission), a file that is not a SQLite database, a
    // database of another program (tables but no schema version of ours, or
    // another application id), a schema newer than this program knows, and
    // a database that stays locked longer than kBusyTimeoutMs.
    static std::unique_ptr<MessageStore> Open(const std::string& path, std::string& error);

    ~MessageStore();
    MessageStore(const MessageStore&) = delete;
    MessageStore& operator=(const MessageStore&) = delete;

    const std::string& Path() const { return m_path; }

    // Keeps a message: true once it is committed (new, or found there
    // already; `outcome` says which), false with `error` when it could not be
    // stored (the caller must then leave it on the modem). A message without
    // raw parts is refused: it would have no identity.
    bool Keep(const StoredMessage& message, KeepOutcome& outcome, std::string& error);

    // --- the outbox ---

    // Adds the requests as one new batch, all or none, in the order given
    // (each a row in state waiting); `batch` is its new unique id (32
    // hexadecimal digits). An empty list is refused.
    bool Enqueue(const std::vector<OutboxRequest>& requests, std::string& batch,
                 std::string& error);

    // Takes the oldest waiting request for one of `ports` (waiting ->
    // sending, recording `owner` and the time). `row` is empty when none is
    // waiting for those ports.
    bool Claim(const std::vector<std::string>& ports, const std::string& owner,
               std::optional<OutboxRow>& row, std::string& error);

    // Records the result of a request taken by Claim (sending -> done).
    // False with `error` when the row is not in state sending (unknown, or
    // expired in the meantime).
    bool Finish(std::int64_t id, const OutboxResult& result, std::string& error);

    // Gives up a request that is still waiting (waiting -> failed, with
    // `result` as its outcome). `failed` is false when it was not waiting
    // any more (a watch took it: its result will come) or does not exist.
    bool FailWaiting(std::int64_t id, const OutboxResult& result, bool& failed, std::string& error);

    // Fails every request left in state sending on `ports` (sending ->
    // failed, with `result`): those a watch took and never finished. Call it
    // only when no live watch holds those ports (a watch that has just taken
    // them, for one). `expired` is how many rows changed.
    bool ExpireSending(const std::vector<std::string>& ports, const OutboxResult& result,
                       int& expired, std::string& error);

    // Every row of a batch, in the order they were enqueued (empty for an
    // unknown batch).
    bool Batch(const std::string& batch, std::vector<OutboxRow>& rows, std::string& error);

private:
    MessageStore(std::string path, sqlite3* db);
    // "store <path>: <what>: <SQLite's text>[ (<the system's text>)]"
    std::string Failure(const std::string& what) const;

    std::string m_path;
    sqlite3* m_db = nullptr;
    std::mutex m_lock;
};
