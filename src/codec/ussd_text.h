#pragma once
// USSD replies as modems give them: the "+CUSD:" result code (3GPP TS 27.007
// 7.15) and the text it carries. Pure functions over reply texts; they never
// fail and never read past a text.

#include <string>

#include "codec/pdu.h"

// What "+CUSD: <m>[,<str>[,<dcs>]]" holds.
struct USSD_REPLY_t {
    bool bFound = false;  // a complete +CUSD result is in the reply
    // <m>: 0 no further action, 1 further action required (the network
    // waits for an answer), 2 terminated by the network, 3 answered by
    // another local client, 4 not supported, 5 network time-out.
    int nStatus = -1;
    bool bHasText = false;
    std::string strText;  // <str> without its quotes, as it came (line ends kept)
    int nDcs = -1;        // <dcs>; -1 when the result gives none
};

// The first complete +CUSD result of `reply`. The blank after the colon and
// blanks around the commas are optional; <str> may come quoted or not. A
// quoted <str> may run over line ends (menus do): it ends at the first quote
// that an optional ",<dcs>" and a line end follow. bFound stays false while
// no complete result is there (its line end has not come yet).
USSD_REPLY_t FindUssdReply(const std::string& reply);

// The alphabet of a USSD data coding scheme. USSD uses the coding of cell
// broadcast (3GPP TS 23.038 5), not that of short messages: 0x0F is the
// default alphabet without language, 0x48 UCS-2, 0x11 UCS-2 after a
// language of two characters; groups the standard reserves are read as the
// default alphabet, as it asks. Compressed text has no readable alphabet.
SMS_ALPHABET_t UssdAlphabetOfDcs(int dcs);

// The text of a reply's <str> in the internal code page. `charset` is the
// modem's character set as AT+CSCS? names it ("IRA", "GSM", "UCS2", ...;
// empty when not known). Modules give the text in one of three forms:
//   - UCS-2 hexadecimal: when the coding is UCS-2 (0x11: after its
//     language), or when the modem's character set is "UCS2";
//   - hexadecimal of packed default-alphabet septets (TS 23.038 6.1.2.3),
//     which several modules send whatever their character set: taken when
//     <str> is hexadecimal, holds more than decimal digits (a plain number
//     stays one) and three in four of its septets are letters, digits,
//     blanks, line ends or signs ASCII shares; a last <CR> that pads the
//     septets to whole octets is dropped;
//   - plain text in the modem's character set: "GSM" bytes are septet
//     values of the default alphabet, any other set is read as ISO 8859-1
//     (of which IRA, ASCII, is a part).
// A hexadecimal <str> that reads better as UCS-2 units (nine in ten of them
// of the scripts and signs texts are written in) is read as UCS-2: a modem
// in a UCS-2 character set that could not be learnt. 8-bit data in
// hexadecimal is read as ISO 8859-1 octets. UCS-2 text ends at its first
// U+0000 (modules fill the rest of a field with rubbish).
std::string UssdText(const USSD_REPLY_t& reply, const std::string& charset);

// Why a +CUSD status ends a request without an answer to show: "USSD
// terminated by the network" (2), "USSD answered by another client" (3),
// "USSD not supported by the network" (4), "USSD network time-out" (5);
// "USSD status <m>" for any other status but 0 and 1; empty for 0 and 1.
std::string UssdStatusText(int status);

// The character set named by an "+CSCS: \"<set>\"" line of `reply` (the
// prefix in either case), in upper case; empty when the reply holds none.
std::string CharsetOfReply(const std::string& reply);
