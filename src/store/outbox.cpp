// The outbox of the message store (store/message_store.h): its states and
// the atomic steps between them.

#include <sqlite3.h>

#include "codec/charset_conv.h"
#include "platform/clock.h"
#include "store/message_store.h"
#include "store/sqlite_statement.h"

namespace {

const char* StateName(OutboxState state)
{
    switch (state) {
    case OutboxState::Sending:
        return "sending";
    case OutboxState::Done:
        return "done";
    case OutboxState::Failed:
        return "failed";
    case OutboxState::Waiting:
        break;
    }
    return "waiting";
}

OutboxState StateOf(const std::string& name)
{
    for (OutboxState state : {OutboxState::Sending, OutboxState::Done, OutboxState::Failed}) {
        if (name == StateName(state)) {
            return state;
        }
    }
    return OutboxState::Waiting;
}

// The columns every read of a row selects, in this order.
#define OUTBOX_COLUMNS \
    "id, batch, port, number, text, options, state, owner, code, message, time, detail"

OutboxRow RowOf(const SqliteStatement& statement)
{
    OutboxRow row;
    row.id = statement.Integer(0);
    row.batch = statement.Text(1);
    row.request.port = Utf8ToAnsi(statement.Text(2));
    row.request.number = Utf8ToAnsi(statement.Text(3));
    row.request.text = Utf8ToAnsi(statement.Text(4));
    row.request.options = Utf8ToAnsi(statement.Text(5));
    row.state = StateOf(statement.Text(6));
    row.owner = Utf8ToAnsi(statement.Text(7));
    row.result.code = static_cast<int>(statement.Integer(8));
    row.result.message = Utf8ToAnsi(statement.Text(9));
    row.result.time = Utf8ToAnsi(statement.Text(10));
    row.result.detail = Utf8ToAnsi(statement.Text(11));
    return row;
}

// Binds a result to parameters ?1 (code), ?2 (message), ?3 (time), ?4 (detail).
void BindResult(SqliteStatement& statement, const OutboxResult& result)
{
    statement.Bind(1, static_cast<std::int64_t>(result.code));
    statement.Bind(2, AnsiToUtf8(result.message));
    statement.Bind(3, AnsiToUtf8(result.time));
    statement.Bind(4, AnsiToUtf8(result.detail));
}

}  // namespace

bool MessageStore::Enqueue(const std::vector<OutboxRequest>& requests, std::string& batch,
                           std::string& error)
{
    if (requests.empty()) {
        error = "store " + m_path + ": unable to queue the sends: there are none";
        return false;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    WriteTransaction transaction(m_db);
    std::string newBatch;
    {
        SqliteStatement id(m_db, "SELECT lower(hex(randomblob(16)))");
        if (!transaction.Began() || id.Step() != SQLITE_ROW) {
            error = Failure("unable to queue the sends");
            return false;
        }
        newBatch = id.Text(0);
    }
    const std::int64_t now = WallSeconds();
    for (const OutboxRequest& request : requests) {
        SqliteStatement insert(m_db, R"(
            INSERT INTO outbox (batch, port, number, text, options, state, queued)
            VALUES (?1, ?2, ?3, ?4, ?5, 'waiting', ?6))");
        insert.Bind(1, newBatch);
        insert.Bind(2, AnsiToUtf8(request.port));
        insert.Bind(3, AnsiToUtf8(request.number));
        insert.Bind(4, AnsiToUtf8(request.text));
        insert.Bind(5, AnsiToUtf8(request.options));
        insert.Bind(6, now);
        if (!insert.Run()) {
            error = Failure("unable to queue the sends");
            return false;
        }
    }
    if (!transaction.Commit()) {
        error = Failure("unable to queue the sends");
        return false;
    }
    batch = newBatch;
    return true;
}

bool MessageStore::Claim(const std::vector<std::string>& ports, const std::string& owner,
                         std::optional<OutboxRow>& row, std::string& error)
{
    row.reset();
    std::lock_guard<std::mutex> hold(m_lock);
    // The write lock is taken first, so that no other connection can take
    // the row found between the look and the change.
    WriteTransaction transaction(m_db);
    if (!transaction.Began()) {
        error = Failure("unable to take a send");
        return false;
    }
    std::int64_t oldest = 0;
    for (const std::string& port : ports) {
        SqliteStatement first(m_db, R"(
            SELECT id FROM outbox WHERE state = 'waiting' AND port = ?1 ORDER BY id LIMIT 1)");
        first.Bind(1, AnsiToUtf8(port));
        const int step = first.Step();
        if (step == SQLITE_ROW && (oldest == 0 || first.Integer(0) < oldest)) {
            oldest = first.Integer(0);
        } else if (step != SQLITE_ROW && step != SQLITE_DONE) {
            error = Failure("unable to take a send");
            return false;
        }
    }
    if (oldest == 0) {
        return true;
    }
    SqliteStatement take(m_db,
                         "UPDATE outbox SET state = 'sending', owner = ?1, claimed = ?2 "
                         "WHERE id = ?3 AND state = 'waiting' RETURNING " OUTBOX_COLUMNS);
    take.Bind(1, AnsiToUtf8(owner));
    take.Bind(2, WallSeconds());
    take.Bind(3, oldest);
    if (take.Step() != SQLITE_ROW) {
        error = Failure("unable to take a send");
        return false;
    }
    OutboxRow taken = RowOf(take);
    if (take.Step() != SQLITE_DONE || !transaction.Commit()) {
        error = Failure("unable to take a send");
        return false;
    }
    row = std::move(taken);
    return true;
}

bool MessageStore::Finish(std::int64_t id, const OutboxResult& result, std::string& error)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqliteStatement finish(m_db, R"(
        UPDATE outbox SET state = 'done', code = ?1, message = ?2, time = ?3, detail = ?4
        WHERE id = ?5 AND state = 'sending')");
    BindResult(finish, result);
    finish.Bind(5, id);
    if (!finish.Run()) {
        error = Failure("unable to record the result of send " + std::to_string(id));
        return false;
    }
    if (sqlite3_changes(m_db) == 1) {
        return true;
    }
    SqliteStatement state(m_db, "SELECT state FROM outbox WHERE id = ?1");
    state.Bind(1, id);
    error = "store " + m_path + ": unable to record the result of send " + std::to_string(id) +
            ": " +
            (state.Step() == SQLITE_ROW ? "it is " + state.Text(0) + ", not sending"
                                        : std::string("there is no such send"));
    return false;
}

bool MessageStore::FailWaiting(std::int64_t id, const OutboxResult& result, bool& failed,
                               std::string& error)
{
    failed = false;
    std::lock_guard<std::mutex> hold(m_lock);
    SqliteStatement fail(m_db, R"(
        UPDATE outbox SET state = 'failed', code = ?1, message = ?2, time = ?3, detail = ?4
        WHERE id = ?5 AND state = 'waiting')");
    BindResult(fail, result);
    fail.Bind(5, id);
    if (!fail.Run()) {
        error = Failure("unable to give up send " + std::to_string(id));
        return false;
    }
    failed = sqlite3_changes(m_db) == 1;
    return true;
}

bool MessageStore::ExpireSending(const std::vector<std::string>& ports, const OutboxResult& result,
                                 int& expired, std::string& error)
{
    expired = 0;
    std::lock_guard<std::mutex> hold(m_lock);
    WriteTransaction transaction(m_db);
    if (!transaction.Began()) {
        error = Failure("unable to expire the sends left behind");
        return false;
    }
    int changed = 0;
    for (const std::string& port : ports) {
        SqliteStatement expire(m_db, R"(
            UPDATE outbox SET state = 'failed', code = ?1, message = ?2, time = ?3, detail = ?4
            WHERE state = 'sending' AND port = ?5)");
        BindResult(expire, result);
        expire.Bind(5, AnsiToUtf8(port));
        if (!expire.Run()) {
            error = Failure("unable to expire the sends left behind");
            return false;
        }
        changed += sqlite3_changes(m_db);
    }
    if (!transaction.Commit()) {
        error = Failure("unable to expire the sends left behind");
        return false;
    }
    expired = changed;
    return true;
}

bool MessageStore::Batch(const std::string& batch, std::vector<OutboxRow>& rows, std::string& error)
{
    rows.clear();
    std::lock_guard<std::mutex> hold(m_lock);
    SqliteStatement select(m_db,
                           "SELECT " OUTBOX_COLUMNS " FROM outbox WHERE batch = ?1 ORDER BY id");
    select.Bind(1, batch);
    int step = select.Step();
    while (step == SQLITE_ROW) {
        rows.push_back(RowOf(select));
        step = select.Step();
    }
    if (step != SQLITE_DONE) {
        rows.clear();
        error = Failure("unable to read the sends of batch " + batch);
        return false;
    }
    return true;
}
