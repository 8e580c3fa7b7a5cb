#include "app/inbox_store.h"

#include <cstdio>
#include <cstdlib>

COMMAND_STORE_t OpenCommandStore()
{
    COMMAND_STORE_t opened;
    const char* path = std::getenv(kStoreVariable);
    if (path == nullptr || *path == '\0') {
        return opened;
    }
    opened.bSet = true;
    opened.store = MessageStore::Open(path, opened.strError);
    return opened;
}

void SayStoreError(const std::string& error)
{
    std::fprintf(stderr, "tellmar: %s\n", error.c_str());
}

StoredMessage StoredOf(const SmsMessage& message, const STORE_ORIGIN_t& origin)
{
    StoredMessage stored;
    stored.received = origin.strReceived;
    stored.com = origin.strCom;
    stored.sim = origin.strSim;
    stored.storage = origin.strStorage;
    stored.sender = message.strFrom;
    stored.sent = message.strTime;
    stored.text = message.strText;
    stored.parts = message.nParts;
    stored.missing = message.vecMissing;
    stored.pdu = message.vecPdus;
    if (message.bReport) {
        stored.kind = StoredKind::Report;
        stored.reference = message.report.nReference;
        stored.status = message.report.nStatus;
    }
    return stored;
}

StoredMessage StoredOf(const SmsUnreadable& entry, const STORE_ORIGIN_t& origin)
{
    StoredMessage stored;
    stored.received = origin.strReceived;
    stored.com = origin.strCom;
    stored.sim = origin.strSim;
    stored.storage = origin.strStorage;
    stored.kind = StoredKind::Unreadable;
    if (!entry.strPdu.empty()) {
        stored.pdu = {entry.strPdu};
    }
    return stored;
}

bool KeepInStore(MessageStore& store, const SmsMessage& message, const STORE_ORIGIN_t& origin,
                 std::string& error)
{
    KeepOutcome outcome;
    return store.Keep(StoredOf(message, origin), outcome, error);
}

bool KeepInStore(MessageStore& store, const SmsUnreadable& entry, const STORE_ORIGIN_t& origin,
                 std::string& error)
{
    KeepOutcome outcome;
    return store.Keep(StoredOf(entry, origin), outcome, error);
}
