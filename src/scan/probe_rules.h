#pragma once
// The probe's text rules: what a reply means for the scan record. Pure
// functions over reply texts; they never fail and never read past a text.
// Replies are untrusted: any byte may appear, and lengths are whatever came.

#include <cstddef>
#include <string>

#include "drivers/result_codes.h"

// A probe read takes at most this many bytes.
constexpr std::size_t kProbeReplyBytes = 255;

// A raw read as the probe sees it: a zero-terminated text of at most
// kProbeReplyBytes bytes, so a NUL byte ends the reply.
std::string ReplyText(const std::string& raw);

// Whether `reply` contains `text` (byte for byte, with case).
bool Holds(const std::string& reply, const std::string& text);

// Removes space, TAB, LF, VT, FF and CR from both ends.
std::string TrimBlank(const std::string& text);

// The value after the first ":" up to the next CR (not trimmed); ":" itself
// when the CR follows directly; up to the end when there is no CR. False when
// the reply has no ":" (the caller keeps its field).
bool ValueAfterColon(const std::string& reply, std::string& value);

// The text between the first ":" at least one byte after the first `key` (in
// either case) and
// the next CR, trimmed of space, LF, CR and TAB; empty when any of them is
// missing, when either text is empty, or when the key is not shorter than the
// reply.
std::string GetValueAfterKey(const std::string& reply, const std::string& key);

// The "ATI3" rule: true with the type and label of the first model whose
// "ATI3" text the reply holds (drivers/models.h: WISMOQ, then Q2406B), or
// with no known model and the at most 5 bytes after the first "." as label
// (whatever they are); false when none holds.
bool ModelFromAti3(const std::string& reply, PHONE_TYPE_t& nModel, std::string& strModel);

// The network mode in a "^MODECONFIG" reply: the leading decimal number of
// its value, 0 when there is none.
int ModeConfigFromReply(const std::string& reply);

// Serial number in the "AT+CGSN" reply of the SERIAL_ROUTE_CGSN models (the reply
// holds "OK"): echo and first line end dropped, the text up to the next CR
// and before "OK", trimmed.
std::string SerialFromCgsn(const std::string& reply);

// The same for the CDMA module (SERIAL_ROUTE_PHONE_BOOK), which does not cut
// at a second CR.
std::string SerialFromCdmaCgsn(const std::string& reply);

// Serial number after "Serial Number" (and the byte after it) up to the first
// CR, trimmed; empty without a CR. False when the reply lacks the key.
bool SerialFromWmsn(const std::string& reply, std::string& serial);

// The name of the phone-book entry in a reply: the text between its last two
// double quotes; with one quote the text before it; with none, empty.
std::string EntryName(const std::string& reply);

// Whether the reply lists a phone-book entry ("^CPBR:", "+CPBR:", a blank
// before the colon or not).
bool ShowsEntry(const std::string& reply);

// The first final result line of the reply (OK, ERROR, +CME ERROR: n, ...),
// without blanks around it; empty while the reply holds none.
std::string FinalLineOf(const std::string& reply);

// Whether a complete reply to "AT^CPBR=1" shows entry 1 empty: "OK" without
// an entry, or the "not found" answers ERROR and +CME ERROR: 22 (with or
// without the blank). Any other
// answer (an entry, another error, nothing complete) is no proof.
bool ShowsEntryOneEmpty(const std::string& reply);

// The number of a "^CPBR: 1,\"<number>\",129,\"WMSN\"" reply: the text after
// the first "," and the byte after it, up to the byte before the next ",";
// empty with fewer than two commas.
std::string PhoneBookNumber(const std::string& reply);

// The phone-book write that stores `digits` as entry 1 named "WMSN".
std::string PhoneBookWriteCommand(const std::string& digits);

// The card-number command of a model (its row in drivers/models.h).
std::string CardNoCommand(PHONE_TYPE_t nModel);

// The card number in a reply (value after the colon, quotes and blanks kept);
// false on "ERROR", without "CCID" (also "CXXCID", "ICCID"; either case), or
// without a colon.
bool CardNoFromReply(const std::string& reply, std::string& cardNo);

// Reads "%d,%d" from a signal value (leading blanks allowed before each
// number). A number that does not parse leaves its output, and everything
// after it, unchanged. Values beyond int saturate.
void ParseSignal(const std::string& signal, int& nRssi, int& nBer);

// The network-mode switch of the CLM920_NC5 module: the command to write and
// the text printed after the port, both empty when the mode stays.
struct MODE_ADJUSTMENT_t {
    std::string strCommand;
    std::string strLine;
};
MODE_ADJUSTMENT_t ModeAdjustment(int nModeConfig, int nRssi, const std::string& strOperator);
