#pragma once
// A prepared SQLite statement that finalizes itself: the store's only way
// to run SQL. Values are bound, never written into the SQL text.

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

class SqliteStatement {
public:
    // Prepares the first statement of `sql`; Ok() tells whether it could be.
    SqliteStatement(sqlite3* db, const char* sql);
    ~SqliteStatement() { sqlite3_finalize(m_statement); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool Ok() const { return m_statement != nullptr; }

    // Parameters count from 1, as in SQLite.
    void Bind(int index, const std::string& text);
    void Bind(int index, std::int64_t value);
    void Bind(int index, const std::optional<int>& value);

    // One step: SQLITE_ROW, SQLITE_DONE or an error code (the connection's
    // sqlite3_errmsg says which). A statement that was not prepared gives
    // its preparation's error code.
    int Step();
    // Steps to the end: true when the statement ran without an error.
    bool Run();

    std::string Text(int column) const;
    std::int64_t Integer(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_prepareResult = SQLITE_OK;
};

// Runs a statement that needs no parameters (the schema's, the pragmas',
// a transaction's BEGIN and COMMIT): true when it ran without an error.
bool RunSql(sqlite3* db, const char* sql);

// A transaction that takes the write lock at once (BEGIN IMMEDIATE, so its
// reads and writes see one state), rolled back unless Commit succeeded.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool Began() const { return m_open; }
    bool Commit();

private:
    sqlite3* m_db;
    bool m_open = false;
};
