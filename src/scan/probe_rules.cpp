#include "scan/probe_rules.h"

#include "codec/reply_text.h"
#include "drivers/models.h"

namespace {

constexpr char kBlanks[] = " \t\n\v\f\r";

// The part of `text` before the first `mark`; the whole text without one.
std::string Before(const std::string& text, const std::string& mark)
{
    return text.substr(0, text.find(mark));
}

// Drops everything up to and including the first CR, when there is one.
void DropFirstLine(std::string& t)
{
    const std::size_t cr = t.find('\r');
    if (!t.empty() && cr != std::string::npos) {
        t.erase(0, cr + 1);
    }
}

// The echo of a command, when the modem still echoes.
void DropEcho(std::string& t)
{
    if (Holds(t, "AT+CGSN")) {
        t.erase(0, 7);
    }
}

}  // namespace

std::string ReplyText(const std::string& raw)
{
    const std::string bounded = raw.substr(0, kProbeReplyBytes);
    return bounded.substr(0, bounded.find('\0'));
}

bool Holds(const std::string& reply, const std::string& text)
{
    return reply.find(text) != std::string::npos;
}

std::string TrimBlank(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return std::string();
    }
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool ValueAfterColon(const std::string& reply, std::string& value)
{
    const std::size_t colon = reply.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    const std::size_t cr = reply.find('\r', colon + 1);
    if (cr == std::string::npos) {
        value = reply.substr(colon + 1);
    } else if (cr == colon + 1) {
        value = ":";
    } else {
        value = reply.substr(colon + 1, cr - colon - 1);
    }
    return true;
}

std::string GetValueAfterKey(const std::string& reply, const std::string& key)
{
    if (reply.empty() || key.empty() || key.size() >= reply.size()) {
        return std::string();
    }
    const std::size_t at = FindNoCase(reply, key);
    if (at == std::string::npos) {
        return std::string();
    }
    const std::size_t colon = reply.find(':', at + 1);
    if (colon == std::string::npos) {
        return std::string();
    }
    const std::size_t cr = reply.find('\r', colon);
    if (cr == std::string::npos) {
        return std::string();
    }
    const std::string value = reply.substr(colon + 1, cr - colon - 1);
    const std::size_t first = value.find_first_not_of(" \n\r\t");
    if (first == std::string::npos) {
        return std::string();
    }
    return value.substr(first, value.find_last_not_of(" \n\r\t") - first + 1);
}

bool ModelFromAti3(const std::string& reply, PHONE_TYPE_t& nModel, std::string& strModel)
{
    for (const MODEL_t& model : kModels) {
        if (model.probeQuery == PROBE_QUERY_ATI3 && Holds(reply, model.szProbeText)) {
            nModel = model.nType;
            strModel = model.szLabel;
            return true;
        }
    }
    if (!Holds(reply, ".")) {
        return false;
    }
    nModel = PHONE_TYPE_UN_KNOWN;
    strModel = reply.substr(reply.find('.') + 1, 5);
    return true;
}

int ModeConfigFromReply(const std::string& reply)
{
    const std::string value = GetValueAfterKey(reply, "^MODECONFIG");
    return value.empty() ? 0 : LeadingInt(value);
}

std::string SerialFromCgsn(const std::string& reply)
{
    std::string t = reply;
    DropEcho(t);
    DropFirstLine(t);
    if (!t.empty()) {
        t = Before(t, "\r");
    }
    return TrimBlank(Before(t, "OK"));
}

std::string SerialFromCdmaCgsn(const std::string& reply)
{
    std::string t = reply;
    DropEcho(t);
    DropFirstLine(t);
    return TrimBlank(Before(t, "OK"));
}

bool SerialFromWmsn(const std::string& reply, std::string& serial)
{
    const std::size_t at = reply.find("Serial Number");
    if (at == std::string::npos) {
        return false;
    }
    std::string t = reply.size() > at + 14 ? reply.substr(at + 14) : std::string();
    const std::size_t cr = t.find('\r');
    t = cr == std::string::npos ? std::string() : t.substr(0, cr);
    serial = TrimBlank(t);
    return true;
}

std::string EntryName(const std::string& reply)
{
    const std::size_t last = reply.rfind('"');
    if (last == std::string::npos) {
        return std::string();
    }
    const std::size_t before = last == 0 ? std::string::npos : reply.rfind('"', last - 1);
    if (before == std::string::npos) {
        return reply.substr(0, last);
    }
    return reply.substr(before + 1, last - before - 1);
}

bool ShowsEntry(const std::string& reply)
{
    return HoldsResult(reply, "CPBR");
}

std::string FinalLineOf(const std::string& reply)
{
    for (const std::string& line : SplitLines(reply)) {
        if (IsFinalResultLine(line)) {
            return TrimBlank(line);
        }
    }
    return std::string();
}

bool ShowsEntryOneEmpty(const std::string& reply)
{
    const std::string final = FinalLineOf(reply);
    // An entry anywhere in the reply, even after a final line, is no proof.
    std::vector<std::string> code;
    const bool notFound =
        ResultFields(final, "+CME ERROR", code) && code.size() == 1 && PlainIndex(code[0]) == 22;
    return !ShowsEntry(reply) && (final == "OK" || final == "ERROR" || notFound);
}

std::string PhoneBookNumber(const std::string& reply)
{
    const std::size_t first = reply.find(',');
    if (first == std::string::npos || first + 2 > reply.size()) {
        return std::string();
    }
    const std::string rest = reply.substr(first + 2);
    const std::size_t next = rest.find(',');
    if (next == std::string::npos || next == 0) {
        return std::string();
    }
    return rest.substr(0, next - 1);
}

std::string PhoneBookWriteCommand(const std::string& digits)
{
    return "AT^CPBW=1,\"" + digits + "\",129,\"WMSN\"\r";
}

std::string CardNoCommand(PHONE_TYPE_t nModel)
{
    return ModelOf(nModel).szCardCommand;
}

bool CardNoFromReply(const std::string& reply, std::string& cardNo)
{
    if (Holds(reply, "ERROR")) {
        return false;
    }
    if (!HoldsNoCase(reply, "CCID") && !HoldsNoCase(reply, "CXXCID")) {
        return false;
    }
    return ValueAfterColon(reply, cardNo);
}

void ParseSignal(const std::string& signal, int& nRssi, int& nBer)
{
    std::size_t pos = 0;
    if (!ReadDecimal(signal, pos, nRssi)) {
        return;
    }
    if (pos >= signal.size() || signal[pos] != ',') {
        return;
    }
    ++pos;
    ReadDecimal(signal, pos, nBer);
}

MODE_ADJUSTMENT_t ModeAdjustment(int nModeConfig, int nRssi, const std::string& strOperator)
{
    const MODE_ADJUSTMENT_t toMode2{"AT^MODECONFIG=2\r", " > setting MODECONFIG=2"};
    const MODE_ADJUSTMENT_t toMode22{"AT^MODECONFIG=22\r", " > setting MODECONFIG=22"};
    if (nModeConfig == 22) {
        return nRssi >= 99 ? toMode2 : MODE_ADJUSTMENT_t{};
    }
    if (nModeConfig == 2) {
        const bool telecom = Holds(strOperator, "CT\"") || Holds(strOperator, "TELECOM\"");
        return nRssi >= 0 && nRssi < 99 && telecom ? toMode22 : MODE_ADJUSTMENT_t{};
    }
    return toMode2;
}
