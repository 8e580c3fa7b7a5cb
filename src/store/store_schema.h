#pragma once
// The store's schema: its version and the migrations that lead to it (the
// schema itself is described in store/message_store.h).

#include <sqlite3.h>

#include <string>

namespace store_schema {

// The version this program writes and reads (PRAGMA user_version).
int CurrentVersion();

// Brings a database of version `from` (0: an empty file) up to
// CurrentVersion(), one step after the other, inside the caller's write
// transaction; each step sets the version it leads to. False with the
// failing step's SQLite error left on the connection.
bool Migrate(sqlite3* db, int from);

}  // namespace store_schema
