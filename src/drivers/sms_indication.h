#pragma once
// New-message indications: the unsolicited lines a module sends by itself
// when a message or a status report arrives (TS 27.005 3.4.1), as a
// long-running reader asks for them with AT+CNMI.

#include <cstddef>
#include <string>
#include <vector>

#include "drivers/sms_message.h"

enum SMS_INDICATION_KIND_t {
    INDICATION_MESSAGE_STORED,  // +CMTI: <mem>,<index>
    INDICATION_REPORT_STORED,   // +CDSI: <mem>,<index>
    INDICATION_REPORT,          // +CDS: <length> and the report's PDU on the next line
    INDICATION_STORAGE_FULL,    // ^SMMEMFULL: <mem> (Huawei): a storage has no room left
};

struct SMS_INDICATION_t {
    SMS_INDICATION_KIND_t nKind = INDICATION_MESSAGE_STORED;
    // The storage as the module named it, unquoted and in upper case ("SM",
    // "ME", "SR"); empty for a +CDS line.
    std::string strStorage;
    int nIndex = -1;  // -1 where the line gives no plain index
    // +CDS: the PDU line (its hexadecimal digits), and the report it holds
    // when it could be read as one (bReadable).
    std::string strPdu;
    bool bReadable = false;
    SmsMessage report;
};

// The indications among the complete lines of `text` (lines end with LF; a
// CR before it is dropped), in order; every other line is passed over. A
// +CDS line whose PDU line has not come yet stops the parse there.
// `consumed` becomes the number of bytes of `text` that need not be seen
// again: up to the end of the last line used or passed over. A last piece
// without line end that is longer than kLongestIndicationLine bytes cannot
// be the start of an indication and is consumed too, so that noise without
// line ends does not pile up.
std::vector<SMS_INDICATION_t> ParseIndications(const std::string& text, std::size_t& consumed);

constexpr std::size_t kLongestIndicationLine = 1024;

// The AT+CNMI settings a reader that keeps a port open tries, best first:
// messages kept in their storage and announced (+CMTI, <mt> 1), status
// reports kept and announced (+CDSI, <ds> 2) or, where the module does not
// keep them, sent as +CDS lines (<ds> 1), then without status reports at
// all. `modeFirst` is the <mode> tried first (2 buffers the indications
// while the line is busy; modules that refuse it take 1), `reportsKeptFirst`
// whether <ds> 2 comes before <ds> 1, and `reports` whether status reports
// are asked for at all.
std::vector<std::string> IndicationSettings(int modeFirst, bool reportsKeptFirst, bool reports);
