#include "store/store_schema.h"

#include <vector>

#include "store/sqlite_statement.h"

namespace store_schema {

namespace {

// kSteps[n] takes a database from version n to version n + 1. A new version
// is a new step at the end; a step once released never changes, so that
// every older database goes the same way.
const std::vector<std::vector<const char*>> kSteps = {
    // 0 -> 1: an empty file becomes a store.
    {
        R"(CREATE TABLE messages (
            id        INTEGER PRIMARY KEY AUTOINCREMENT,
            received  TEXT    NOT NULL,
            com       TEXT    NOT NULL,
            sim       TEXT    NOT NULL,
            storage   TEXT    NOT NULL,
            sender    TEXT    NOT NULL,
            sent      TEXT    NOT NULL,
            text      TEXT    NOT NULL,
            kind      TEXT    NOT NULL CHECK (kind IN ('message', 'report', 'unreadable')),
            parts     INTEGER NOT NULL CHECK (parts >= 1),
            missing   TEXT,
            pdu       TEXT    NOT NULL,
            reference INTEGER,
            status    INTEGER,
            digest    TEXT    NOT NULL
        ))",
        // A message's identity: its SIM, storage and raw parts; its port
        // stands in for a SIM whose ICCID is unknown.
        "CREATE UNIQUE INDEX messages_identity ON messages (sim, storage, digest) "
        "WHERE sim <> ''",
        "CREATE UNIQUE INDEX messages_identity_by_port ON messages (com, storage, digest) "
        "WHERE sim = ''",
        R"(CREATE TABLE outbox (
            id        INTEGER PRIMARY KEY AUTOINCREMENT,
            batch     TEXT    NOT NULL,
            port      TEXT    NOT NULL,
            number    TEXT    NOT NULL,
            text      TEXT    NOT NULL,
            options   TEXT    NOT NULL DEFAULT '',
            state     TEXT    NOT NULL
                      CHECK (state IN ('waiting', 'sending', 'done', 'failed')),
            queued    INTEGER NOT NULL,
            owner     TEXT,
            claimed   INTEGER,
            code      INTEGER,
            message   TEXT,
            time      TEXT,
            detail    TEXT
        ))",
        "CREATE INDEX outbox_by_state ON outbox (state, port, id)",
        "CREATE INDEX outbox_by_batch ON outbox (batch, id)",
        // "TLMR": the file is a store of this program (MessageStore::kApplicationId).
        "PRAGMA application_id = 1414286674",
        "PRAGMA user_version = 1",
    },
};

}  // namespace

int CurrentVersion()
{
    return static_cast<int>(kSteps.size());
}

bool Migrate(sqlite3* db, int from)
{
    for (std::size_t step = static_cast<std::size_t>(from); step < kSteps.size(); ++step) {
        for (const char* sql : kSteps[step]) {
            if (!RunSql(db, sql)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace store_schema
