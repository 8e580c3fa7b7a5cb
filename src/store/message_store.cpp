#include "store/message_store.h"

#include <sqlite3.h>

#include <cstdint>

#include "codec/charset_conv.h"
#include "platform/port_trace.h"
#include "platform/serial_device.h"
#include "platform/store_file.h"
#include "store/sha256.h"
#include "store/sqlite_statement.h"
#include "store/store_schema.h"

namespace {

// The system's text of why SQLite could not open a file (a folder where it
// may not make its log, for one); empty for any other error, where SQLite's
// record of the system's error may be stale.
std::string SystemReason(sqlite3* db)
{
    const int code = sqlite3_system_errno(db);
    if (code == 0 || (sqlite3_errcode(db) & 0xFF) != SQLITE_CANTOPEN) {
        return "";
    }
    std::string text = FormatSystemError(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// "store <path>: <what>: <SQLite's text>[ (<the system's text>)]"
std::string SqliteFailure(const std::string& path, const std::string& what, sqlite3* db)
{
    std::string text = "store " + path + ": " + what + ": " + sqlite3_errmsg(db);
    const std::string reason = SystemReason(db);
    if (!reason.empty()) {
        text += " (" + reason + ")";
    }
    return text;
}

const char* KindName(StoredKind kind)
{
    switch (kind) {
    case StoredKind::Report:
        return "report";
    case StoredKind::Unreadable:
        return "unreadable";
    case StoredKind::Message:
        break;
    }
    return "message";
}

// The identity of the raw parts: each part's length (8 bytes, big-endian)
// and bytes, so that no two different lists of parts give the same input.
std::string PartsDigest(const std::vector<std::string>& parts)
{
    Sha256 hash;
    for (const std::string& part : parts) {
        std::uint8_t length[8];
        const std::uint64_t size = part.size();
        for (int i = 0; i < 8; ++i) {
            length[i] = static_cast<std::uint8_t>(size >> (56 - 8 * i));
        }
        hash.Update(length, sizeof length);
        hash.Update(part);
    }
    return DigestHex(hash.Finish());
}

std::string PartsColumn(const std::vector<std::string>& parts)
{
    std::string column;
    for (const std::string& part : parts) {
        if (!column.empty()) {
            column += '\n';
        }
        column += EscapeTraceBytes(part);
    }
    return column;
}

std::optional<std::string> MissingColumn(const std::vector<int>& missing)
{
    if (missing.empty()) {
        return std::nullopt;
    }
    std::string column = "[";
    for (std::size_t i = 0; i < missing.size(); ++i) {
        column += (i > 0 ? "," : "") + std::to_string(missing[i]);
    }
    return column + "]";
}

// The one integer a statement yields.
bool QueryInteger(sqlite3* db, const char* sql, std::int64_t& value)
{
    SqliteStatement statement(db, sql);
    if (statement.Step() != SQLITE_ROW) {
        return false;
    }
    value = statement.Integer(0);
    return statement.Step() == SQLITE_DONE;
}

// Whether the database is a store of ours (or an empty file, version 0)
// that this program can use: `from` is its schema version. Only reads.
bool IsOurs(sqlite3* db, const std::string& path, std::int64_t& from, std::string& error)
{
    std::int64_t id = 0;
    std::int64_t objects = 0;
    if (!QueryInteger(db, "PRAGMA user_version", from) ||
        !QueryInteger(db, "PRAGMA application_id", id) ||
        !QueryInteger(db, "SELECT count(*) FROM sqlite_schema", objects)) {
        error = SqliteFailure(path, "unable to open", db);
        return false;
    }
    const std::string refused = "store " + path + ": unable to open: ";
    if ((id != 0 && id != MessageStore::kApplicationId) || (from == 0 && objects > 0)) {
        error = refused + "a database of another program";
        return false;
    }
    if (from > store_schema::CurrentVersion()) {
        error = refused + "made by a newer version of this program (schema version " +
                std::to_string(from) + ")";
        return false;
    }
    return true;
}

// Sets up the connection and brings the database to the current schema;
// false with `error` telling why not. Nothing is written to a file that
// is not a store of ours.
bool Prepare(sqlite3* db, const std::string& path, std::string& error)
{
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, MessageStore::kBusyTimeoutMs);
    // The store runs no code that a database file could bring along.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);

    std::int64_t from = 0;
    if (!IsOurs(db, path, from, error)) {
        return false;
    }
    // Temporary data stays in memory: no file beside the store's own three.
    if (!RunSql(db, "PRAGMA temp_store = MEMORY")) {
        error = SqliteFailure(path, "unable to open", db);
        return false;
    }
    {
        SqliteStatement mode(db, "PRAGMA journal_mode = WAL");
        if (mode.Step() != SQLITE_ROW) {
            error = SqliteFailure(path, "unable to open", db);
            return false;
        }
        if (mode.Text(0) != "wal") {
            error = "store " + path + ": unable to open: no write-ahead log (journal mode " +
                    mode.Text(0) + ")";
            return false;
        }
    }
    if (!RunSql(db, "PRAGMA synchronous = FULL")) {
        error = SqliteFailure(path, "unable to open", db);
        return false;
    }
    // Looked at again and changed in one transaction: two programs opening
    // a new store at once create its tables once.
    WriteTransaction transaction(db);
    if (!transaction.Began()) {
        error = SqliteFailure(path, "unable to open", db);
        return false;
    }
    if (!IsOurs(db, path, from, error)) {
        return false;
    }
    if (!store_schema::Migrate(db, static_cast<int>(from)) || !transaction.Commit()) {
        error = SqliteFailure(path, "unable to create its tables", db);
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<MessageStore> MessageStore::Open(const std::string& path, std::string& error)
{
    StoreFile file;
    std::string why;
    if (!file.Open(path, why)) {
        error = "store " + path + ": unable to open: " + why;
        return nullptr;
    }
    sqlite3* db = nullptr;
    // The file exists by now; SQLite only opens it. Its no-follow flag
    // refuses a link put in the file's place in the meantime.
    const int opened = sqlite3_open_v2(file.SqliteName().c_str(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (opened != SQLITE_OK) {
        error = db != nullptr ? SqliteFailure(path, "unable to open", db)
                              : "store " + path + ": unable to open: " + sqlite3_errstr(opened);
        sqlite3_close_v2(db);
        return nullptr;
    }
    const bool same = file.StillNamed();
    // Before the first statement, which takes SQLite's locks (see StoreFile::Close).
    file.Close();
    if (!same) {
        error = "store " + path + ": unable to open: was replaced while it was being opened";
        sqlite3_close_v2(db);
        return nullptr;
    }
    if (!Prepare(db, path, error)) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    return std::unique_ptr<MessageStore>(new MessageStore(path, db));
}

MessageStore::MessageStore(std::string path, sqlite3* db) : m_path(std::move(path)), m_db(db) {}

MessageStore::~MessageStore()
{
    sqlite3_close_v2(m_db);
}

std::string MessageStore::Failure(const std::string& what) const
{
    return SqliteFailure(m_path, what, m_db);
}

bool MessageStore::Keep(const StoredMessage& message, KeepOutcome& outcome, std::string& error)
{
    if (message.pdu.empty()) {
        error = "store " + m_path + ": unable to store the message: it has no raw parts";
        return false;
    }
    const std::string digest = PartsDigest(message.pdu);
    std::lock_guard<std::mutex> hold(m_lock);
    SqliteStatement insert(m_db, R"(
        INSERT INTO messages (received, com, sim, storage, sender, sent, text, kind, parts,
                              missing, pdu, reference, status, digest)
        VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)
        ON CONFLICT DO NOTHING
        RETURNING id)");
    insert.Bind(1, AnsiToUtf8(message.received));
    insert.Bind(2, AnsiToUtf8(message.com));
    insert.Bind(3, AnsiToUtf8(message.sim));
    insert.Bind(4, AnsiToUtf8(message.storage));
    insert.Bind(5, AnsiToUtf8(message.sender));
    insert.Bind(6, AnsiToUtf8(message.sent));
    insert.Bind(7, AnsiToUtf8(message.text));
    insert.Bind(8, std::string(KindName(message.kind)));
    insert.Bind(9, static_cast<std::int64_t>(message.parts));
    const std::optional<std::string> missing = MissingColumn(message.missing);
    if (missing) {
        insert.Bind(10, *missing);
    }
    insert.Bind(11, PartsColumn(message.pdu));
    insert.Bind(12, message.reference);
    insert.Bind(13, message.status);
    insert.Bind(14, digest);
    const int step = insert.Step();
    if (step == SQLITE_ROW) {
        outcome.id = insert.Integer(0);
        outcome.isNew = true;
        // The statement is done (and its change committed) only once it has
        // been stepped to its end.
        if (insert.Step() != SQLITE_DONE) {
            error = Failure("unable to store the message");
            return false;
        }
        return true;
    }
    if (step != SQLITE_DONE) {
        error = Failure("unable to store the message");
        return false;
    }
    // Not new: the row of the same message (the index that refused it).
    const bool bySim = !message.sim.empty();
    SqliteStatement existing(
        m_db, bySim ? "SELECT id FROM messages WHERE sim = ?1 AND storage = ?2 AND digest = ?3"
                    : "SELECT id FROM messages WHERE sim = '' AND com = ?1 AND storage = ?2 "
                      "AND digest = ?3");
    existing.Bind(1, AnsiToUtf8(bySim ? message.sim : message.com));
    existing.Bind(2, AnsiToUtf8(message.storage));
    existing.Bind(3, digest);
    if (existing.Step() != SQLITE_ROW) {
        error = Failure("unable to find the message stored before");
        return false;
    }
    outcome.id = existing.Integer(0);
    outcome.isNew = false;
    return true;
}
