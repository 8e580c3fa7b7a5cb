#include "store/sqlite_statement.h"

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql)
{
    m_prepareResult = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
    if (m_prepareResult != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

void SqliteStatement::Bind(int index, const std::string& text)
{
    sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void SqliteStatement::Bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(m_statement, index, value);
}

void SqliteStatement::Bind(int index, const std::optional<int>& value)
{
    if (value) {
        sqlite3_bind_int64(m_statement, index, *value);
    } else {
        sqlite3_bind_null(m_statement, index);
    }
}

int SqliteStatement::Step()
{
    return m_statement != nullptr ? sqlite3_step(m_statement) : m_prepareResult;
}

bool SqliteStatement::Run()
{
    int result = Step();
    while (result == SQLITE_ROW) {
        result = Step();
    }
    return result == SQLITE_DONE;
}

std::string SqliteStatement::Text(int column) const
{
    const auto* text = sqlite3_column_text(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

std::int64_t SqliteStatement::Integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

bool SqliteStatement::IsNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

bool RunSql(sqlite3* db, const char* sql)
{
    SqliteStatement statement(db, sql);
    return statement.Run();
}

WriteTransaction::WriteTransaction(sqlite3* db) : m_db(db)
{
    m_open = RunSql(db, "BEGIN IMMEDIATE");
}

WriteTransaction::~WriteTransaction()
{
    // A failed statement may have ended the transaction already.
    if (m_open && sqlite3_get_autocommit(m_db) == 0) {
        RunSql(m_db, "ROLLBACK");
    }
}

bool WriteTransaction::Commit()
{
    if (!m_open || !RunSql(m_db, "COMMIT")) {
        return false;
    }
    m_open = false;
    return true;
}
