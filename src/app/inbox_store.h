#pragma once
// The message store as the commands use it: TELLMAR_STORE names the
// database (store/message_store.h), and every message a command takes off a
// modem is kept there before its deletion is sent.

#include <memory>
#include <string>

#include "drivers/sms_message.h"
#include "store/message_store.h"

// The variable that names the store's file.
inline constexpr char kStoreVariable[] = "TELLMAR_STORE";

// The store of one command, opened once.
struct COMMAND_STORE_t {
    bool bSet = false;                    // TELLMAR_STORE is set and not empty
    std::unique_ptr<MessageStore> store;  // null when not set, or refused
    // Why a store that is set could not be opened, as the store says it
    // ("store /x/y.db: unable to open: ..."); empty otherwise.
    std::string strError;
};

// Opens the store TELLMAR_STORE names (its value is the file's path as the
// system takes it), creating it on first use. Not set, or set to an empty
// value: no store, no error.
COMMAND_STORE_t OpenCommandStore();

// "tellmar: <error>" on standard error, as it is: the one line a command
// writes about its store.
void SayStoreError(const std::string& error);

// Where a message was taken from.
struct STORE_ORIGIN_t {
    std::string strCom;       // "COM3"
    std::string strSim;       // the ICCID the scan read; empty when unknown
    std::string strStorage;   // "SIM", "DEV" or "SR"
    std::string strReceived;  // when it was read, "YYYY-MM-DD hh:mm:ss" (the program's time)
};

// The stored forms of a message (kind message, or report with its
// reference and status) and of an entry that could not be read (kind
// unreadable: its PDU line as its one part, no text).
StoredMessage StoredOf(const SmsMessage& message, const STORE_ORIGIN_t& origin);
StoredMessage StoredOf(const SmsUnreadable& entry, const STORE_ORIGIN_t& origin);

// Keeps a message, or an unreadable entry, in the store: true once it is
// committed (new, or there already from an earlier run), false with `error`
// when the store refused it, and then the caller must leave it on the
// modem. A message without raw parts, or an entry without a PDU line, has
// no identity and is refused with its reason.
bool KeepInStore(MessageStore& store, const SmsMessage& message, const STORE_ORIGIN_t& origin,
                 std::string& error);
bool KeepInStore(MessageStore& store, const SmsUnreadable& entry, const STORE_ORIGIN_t& origin,
                 std::string& error);
