#include "drivers/sms_indication.h"

#include <cctype>

#include "codec/reply_text.h"

namespace {

std::string UpperUnquoted(const std::string& field)
{
    std::string name = Unquoted(field);
    for (char& c : name) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

// "+CMTI: "SM",3" and its kin: the storage and the index.
bool ReadStoredIndication(const std::string& line, const char* prefix, SMS_INDICATION_KIND_t kind,
                          SMS_INDICATION_t& indication)
{
    std::vector<std::string> fields;
    if (!ResultFields(line, prefix, fields) || fields.size() < 2) {
        return false;
    }
    indication.nKind = kind;
    indication.strStorage = UpperUnquoted(fields[0]);
    indication.nIndex = PlainIndex(fields[1]);
    return true;
}

// The report of a +CDS line's PDU, decoded as a listed PDU is.
void ReadReportPdu(const std::string& line, SMS_INDICATION_t& indication)
{
    LISTED_PDU_t listed;
    listed.strPdu = PduOfLine(line);
    listed.bFound = listed.bComplete = !listed.strPdu.empty();
    indication.strPdu = listed.bFound ? listed.strPdu : line;
    if (!listed.bFound) {
        return;
    }
    const SmsListEntry entry = DecodeListedPdu(listed);
    const std::vector<SmsMessage> messages = MergeMessages({entry});
    if (messages.size() == 1 && messages[0].bReport) {
        indication.bReadable = true;
        indication.report = messages[0];
    }
}

}  // namespace

std::vector<SMS_INDICATION_t> ParseIndications(const std::string& text, std::size_t& consumed)
{
    std::vector<SMS_INDICATION_t> found;
    consumed = 0;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         end = text.find('\n', start)) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::size_t next = end + 1;
        SMS_INDICATION_t indication;
        if (ReadStoredIndication(line, "+CMTI", INDICATION_MESSAGE_STORED, indication) ||
            ReadStoredIndication(line, "+CDSI", INDICATION_REPORT_STORED, indication)) {
            found.push_back(indication);
        } else if (HoldsResult(line, "^SMMEMFULL")) {
            std::vector<std::string> fields;
            ResultFields(line, "^SMMEMFULL", fields);
            indication.nKind = INDICATION_STORAGE_FULL;
            indication.strStorage = fields.empty() ? std::string() : UpperUnquoted(fields[0]);
            found.push_back(indication);
        } else if (HoldsResult(line, "+CDS")) {
            // The PDU comes on the next non-empty line.
            std::size_t pduStart = next;
            std::size_t pduEnd = text.find('\n', pduStart);
            while (pduEnd != std::string::npos &&
                   text.find_first_not_of("\r", pduStart) == pduEnd) {
                pduStart = pduEnd + 1;
                pduEnd = text.find('\n', pduStart);
            }
            if (pduEnd == std::string::npos) {
                if (text.size() - pduStart <= kLongestIndicationLine) {
                    break;
                }
                pduEnd = text.size() - 1;
            }
            std::string pdu = text.substr(pduStart, pduEnd - pduStart);
            if (!pdu.empty() && pdu.back() == '\r') {
                pdu.pop_back();
            }
            indication.nKind = INDICATION_REPORT;
            ReadReportPdu(pdu, indication);
            found.push_back(indication);
            next = pduEnd + 1;
        }
        start = next;
        consumed = next;
    }
    if (text.size() - consumed > kLongestIndicationLine) {
        consumed = text.size();
    }
    return found;
}

std::vector<std::string> IndicationSettings(int modeFirst, bool reportsKeptFirst, bool reports)
{
    const int modes[] = {modeFirst, modeFirst == 2 ? 1 : 2};
    std::vector<int> dsValues;
    if (reports) {
        dsValues = reportsKeptFirst ? std::vector<int>{2, 1} : std::vector<int>{1, 2};
    }
    dsValues.push_back(0);
    std::vector<std::string> settings;
    for (int ds : dsValues) {
        for (int mode : modes) {
            settings.push_back("AT+CNMI=" + std::to_string(mode) + ",1,0," + std::to_string(ds) +
                               ",0\r\n");
        }
    }
    return settings;
}
