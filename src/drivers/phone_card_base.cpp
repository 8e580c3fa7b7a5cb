#include "drivers/phone_card_base.h"

#include <iterator>

#include "codec/phone_number.h"
#include "codec/reply_text.h"
#include "codec/sim_pin.h"
#include "codec/ussd_text.h"
#include "drivers/models.h"

namespace {

bool Contains(const std::string& text, const char* key)
{
    return text.find(key) != std::string::npos;
}

}  // namespace

CPhoneCardBase::~CPhoneCardBase() = default;

bool CPhoneCardBase::MatchIdentity(std::string reply)
{
    const MODEL_t& model = ModelOf(GetDeviceType());
    if (model.nType != GetDeviceType() || model.szIdentity == nullptr) {
        return Contains(reply, "OK");
    }
    return Contains(reply, model.szIdentity) && (!model.bIdentityWithOk || Contains(reply, "OK"));
}

std::string CPhoneCardBase::PduModeCommand()
{
    return "at+cmgf=0\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParsePduMode(std::string reply)
{
    return GeneralRule(reply);
}

PARSE_RESULT_t CPhoneCardBase::ParseSendPrompt(std::string reply)
{
    if (Contains(reply, ">")) {
        return PARSE_SUCCEED;
    }
    if (reply.empty()) {
        return PARSE_INCOMPLETE;
    }
    if (Contains(reply, "ERROR")) {
        for (char ch : {'\r', '\r', '\n', '\r', '\n'}) {
            reply = TrimChar(reply, ch);
        }
        m_strLastError = reply;
        return PARSE_FAILED;
    }
    return PARSE_INCOMPLETE;
}

PARSE_RESULT_t CPhoneCardBase::ParseSendBody(std::string reply)
{
    m_bRetryableError = false;
    m_nLastReference = -1;
    const OK_OR_ERROR_LINE_t result = FirstOkOrErrorLine(reply);
    if (result.kind == LINE_OK) {
        m_nLastReference = SendReferenceOfReply(reply);
        return PARSE_SUCCEED;
    }
    if (result.kind == LINE_ERROR) {
        // Network-side failures (500..600) are worth another attempt.
        for (const std::string& piece : SplitByChar(result.strLine, ' ')) {
            const int code = LeadingInt(piece);
            if (code >= 500 && code <= 600) {
                m_bRetryableError = true;
            }
        }
        m_strLastError = TrimCrLf(result.strLine);
        return PARSE_FAILED;
    }
    return PARSE_INCOMPLETE;
}

std::string CPhoneCardBase::ServiceCentreCommand()
{
    return "AT+CSCA?\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseServiceCentre(std::string reply)
{
    std::vector<std::string> fields;
    if (ResultFields(reply, "+CSCA", fields)) {
        // Only once the line is whole: its end tells that the value is too.
        std::size_t valueAt = 0;
        if (reply.find('\r', FindResult(reply, "+CSCA", 0, valueAt)) == std::string::npos) {
            return PARSE_INCOMPLETE;
        }
        m_strServiceCentreQuoted = Unquoted(fields[0]);
        // A value in a character set of its own is read once AT+CSCS? has
        // told the set; until then it goes into no PDU.
        m_bCentreNeedsCharset = ::ServiceCentreNeedsCharset(m_strServiceCentreQuoted);
        m_bCentreLeftToModem = m_bCentreNeedsCharset;
        m_strServiceCentre = m_bCentreNeedsCharset ? std::string() : m_strServiceCentreQuoted;
        return PARSE_SUCCEED;
    }
    const OK_OR_ERROR_LINE_t result = FirstOkOrErrorLine(reply);
    if (result.kind == LINE_ERROR) {
        m_strLastError = TrimCrLf(result.strLine);
        return PARSE_FAILED;
    }
    return result.kind == LINE_OK ? PARSE_SUCCEED : PARSE_INCOMPLETE;
}

void CPhoneCardBase::ReadServiceCentreInCharset()
{
    m_strServiceCentre = DecodeServiceCentre(m_strServiceCentreQuoted, m_strCharset);
    m_bCentreNeedsCharset = false;
    m_bCentreLeftToModem = m_strServiceCentre.empty();
}

std::string CPhoneCardBase::DeleteAllCommand()
{
    return "AT+CMGD=0,4\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseDeleteAll(std::string reply)
{
    return GeneralRule(reply);
}

std::string CPhoneCardBase::PrepareReadCommand()
{
    return "AT\r";
}

PARSE_RESULT_t CPhoneCardBase::ParsePrepareRead(std::string reply)
{
    if (Contains(reply, "OK")) {
        return PARSE_SUCCEED;
    }
    if (Contains(reply, "ERROR")) {
        m_strLastError = reply;
        return PARSE_FAILED;
    }
    return PARSE_INCOMPLETE;
}

std::string CPhoneCardBase::ListCommand()
{
    return "AT+CMGL=4\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseList(std::string reply)
{
    if (Contains(reply, "ERROR")) {
        // A failed listing has read nothing: keeping the previous storage's
        // messages would report them a second time.
        m_strListingParsed.clear();
        m_vecListingEntries.clear();
        m_vecMessages.clear();
        m_vecListedIndexes.clear();
        m_vecUnreadable.clear();
        m_strNotUnderstood.clear();
        m_strLastError = TrimCrLf(reply);
        return PARSE_FAILED;
    }
    // The reply grows poll after poll: the entries of the part parsed before
    // are kept, and only what came since is decoded, so that a long listing
    // costs time in proportion to its length, not to its length times its
    // polls.
    if (m_strListingParsed.size() > reply.size() ||
        reply.compare(0, m_strListingParsed.size(), m_strListingParsed) != 0) {
        m_strListingParsed.clear();
        m_vecListingEntries.clear();
        m_strNotUnderstood.clear();
    }
    std::size_t resumeAt = m_strListingParsed.size();
    std::vector<SmsListEntry> more = ParseListEntries(reply, resumeAt, &m_strNotUnderstood);
    m_vecListingEntries.insert(m_vecListingEntries.end(), std::make_move_iterator(more.begin()),
                               std::make_move_iterator(more.end()));
    m_strListingParsed.assign(reply, 0, resumeAt);
    const std::vector<SmsListEntry>& entries = m_vecListingEntries;
    m_vecListedIndexes = ReadableIndexes(entries);
    m_vecUnreadable = UnreadableEntries(entries);
    m_vecMessages = MergeMessages(entries);
    if (Contains(reply, "OK") || Contains(reply, "SMS DONE")) {
        m_strLastError = TrimCrLf(reply);
        return PARSE_SUCCEED;
    }
    if (Contains(reply, "SMS FULL")) {
        m_strLastError = TrimCrLf(m_strLastError);
        return PARSE_SUCCEED;
    }
    return PARSE_INCOMPLETE;
}

bool CPhoneCardBase::HasPendingRead()
{
    return false;
}

std::string CPhoneCardBase::ReadNextCommand()
{
    return "AT\r\n";
}

bool CPhoneCardBase::ParseReadNext(std::string reply)
{
    return !reply.empty();
}

PHONE_TYPE_t CPhoneCardBase::GetDeviceType()
{
    return PHONE_TYPE_BASE;
}

std::string CPhoneCardBase::GetLastErrorText()
{
    m_strLastError = TrimCrLf(m_strLastError);
    return m_strLastError;
}

std::string CPhoneCardBase::SelectMeStorageCommand()
{
    return "AT+CPMS=\"ME\"\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseSelectMeStorage(std::string reply)
{
    ReadStoredCount(reply);
    return GeneralRule(reply);
}

std::string CPhoneCardBase::SelectSmStorageCommand()
{
    return "AT+CPMS=\"SM\"\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseSelectSmStorage(std::string reply)
{
    ReadStoredCount(reply);
    return GeneralRule(reply);
}

std::vector<std::string> CPhoneCardBase::InitCommands()
{
    return {"AT+CMEE=1\r\n", "AT+CPMS=\"SM\"\r\n", "ATE0\r\n"};
}

PARSE_RESULT_t CPhoneCardBase::ParseInit(std::string reply)
{
    // Whatever the modem answers is fine, but it must have answered: a late
    // answer taken for the next command's would shift every reply after it.
    return HoldsFinalResult(reply) ? PARSE_SUCCEED : PARSE_INCOMPLETE;
}

void CPhoneCardBase::StartListing()
{
    m_vecMessages.clear();
    m_vecListedIndexes.clear();
    m_vecUnreadable.clear();
    m_strLastError.clear();
    m_strNotUnderstood.clear();
    m_strListingParsed.clear();
    m_vecListingEntries.clear();
}

void CPhoneCardBase::NoteNotUnderstood(const std::string& line)
{
    if (m_strNotUnderstood.empty()) {
        m_strNotUnderstood = line.empty() ? std::string("(an empty reply)") : line;
    }
}

void CPhoneCardBase::ReadStoredCount(const std::string& reply)
{
    // +CPMS: <used1>,<total1>,... after a selection; the query's form names
    // the storage first ("SM",<used1>,...). The storage listed next is the
    // first one.
    m_nStoredCount = -1;
    std::vector<std::string> fields;
    if (!ResultFields(reply, "+CPMS", fields)) {
        return;
    }
    std::size_t first = 0;
    while (first < fields.size() && !fields[first].empty() && fields[first][0] == '"') {
        ++first;
    }
    if (first < fields.size()) {
        m_nStoredCount = PlainIndex(fields[first]);
    }
}

std::string CPhoneCardBase::DeleteOneCommand(int index) const
{
    return "AT+CMGD=" + std::to_string(index) + "\r\n";
}

std::string CPhoneCardBase::ReadStoragesCommand() const
{
    return "AT+CPMS=?\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseReadStorages(std::string reply)
{
    if (!HoldsFinalResult(reply)) {
        return PARSE_INCOMPLETE;
    }
    m_vecReadStorages = ReadStoragesOfReply(reply);
    return PARSE_SUCCEED;
}

bool CPhoneCardBase::OffersStatusReportStorage() const
{
    for (const std::string& storage : m_vecReadStorages) {
        if (storage == "SR") {
            return true;
        }
    }
    return false;
}

std::string CPhoneCardBase::SelectSrStorageCommand() const
{
    return "AT+CPMS=\"SR\"\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseSelectSrStorage(std::string reply)
{
    return GeneralRule(reply);
}

bool CPhoneCardBase::SupportsStatusReports()
{
    return true;
}

std::string CPhoneCardBase::PinStateCommand() const
{
    return "AT+CPIN?\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParsePinState(std::string reply)
{
    m_strPinState = PinStateOfReply(reply);
    if (!m_strPinState.empty()) {
        return PARSE_SUCCEED;
    }
    const OK_OR_ERROR_LINE_t result = FirstOkOrErrorLine(reply);
    if (result.kind == LINE_ERROR) {
        m_strLastError = TrimCrLf(result.strLine);
        return PARSE_FAILED;
    }
    if (result.kind == LINE_OK) {
        // OK without a state: nothing the modem said can be relied on.
        m_strLastError = "No SIM state in the answer to AT+CPIN?";
        return PARSE_FAILED;
    }
    return PARSE_INCOMPLETE;
}

std::string CPhoneCardBase::EnterPinCommand(const std::string& pin) const
{
    return "AT+CPIN=" + PinTraceSecret(pin) + "\r\n";
}

std::string CPhoneCardBase::PinTraceSecret(const std::string& pin)
{
    return "\"" + pin + "\"";
}

PARSE_RESULT_t CPhoneCardBase::ParseEnterPin(std::string reply)
{
    return GeneralRule(reply);
}

std::string CPhoneCardBase::PinAttemptsCommand()
{
    return std::string();
}

PARSE_RESULT_t CPhoneCardBase::ParsePinAttempts(std::string reply)
{
    return HoldsFinalResult(reply) ? PARSE_SUCCEED : PARSE_INCOMPLETE;
}

PARSE_RESULT_t CPhoneCardBase::ReadPinAttempts(const std::string& reply, const char* key,
                                               std::size_t field)
{
    if (!HoldsFinalResult(reply)) {
        return PARSE_INCOMPLETE;
    }
    m_nPinAttempts = AttemptsOfReply(reply, key, field);
    return PARSE_SUCCEED;
}

bool CPhoneCardBase::SupportsUssd()
{
    return true;
}

std::string CPhoneCardBase::CharsetCommand() const
{
    return "AT+CSCS?\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseCharset(std::string reply)
{
    if (!HoldsFinalResult(reply)) {
        return PARSE_INCOMPLETE;
    }
    m_strCharset = CharsetOfReply(reply);
    return PARSE_SUCCEED;
}

std::string CPhoneCardBase::UssdCommand(const std::string& code) const
{
    return "AT+CUSD=1,\"" + code + "\",15\r\n";
}

PARSE_RESULT_t CPhoneCardBase::ParseUssd(std::string reply)
{
    const USSD_REPLY_t result = FindUssdReply(reply);
    if (result.bFound) {
        m_bUssdWantsMore = result.nStatus == 1;
        const bool answered =
            result.nStatus == 0 || result.nStatus == 1 || (result.nStatus == 2 && result.bHasText);
        if (answered) {
            m_strUssdReply = UssdText(result, m_strCharset);
            return PARSE_SUCCEED;
        }
        m_strUssdReply.clear();
        m_strLastError = UssdStatusText(result.nStatus);
        return PARSE_FAILED;
    }
    // The echo of the command is no error; an error line is.
    for (const std::string& line : SplitLines(reply)) {
        if (line.find("ERROR") != std::string::npos && IsFinalResultLine(line)) {
            m_strLastError = TrimCrLf(line);
            return PARSE_FAILED;
        }
    }
    return PARSE_INCOMPLETE;
}

std::string CPhoneCardBase::UssdCancelCommand() const
{
    return "AT+CUSD=2\r\n";
}

PARSE_RESULT_t CPhoneCardBase::GeneralRule(const std::string& reply)
{
    const OK_OR_ERROR_LINE_t result = FirstOkOrErrorLine(reply);
    if (result.kind == LINE_OK) {
        return PARSE_SUCCEED;
    }
    if (result.kind == LINE_ERROR) {
        std::string text = result.strLine;
        for (char ch : {'\r', '\n', '\r', '\n', '\r', '\n'}) {
            text = TrimChar(text, ch);
        }
        m_strLastError = text;
        return PARSE_FAILED;
    }
    // An "OK" whose line is not terminated yet still counts; an unterminated
    // "ERROR" waits for its line so that the error text is complete.
    return Contains(reply, "OK") ? PARSE_SUCCEED : PARSE_INCOMPLETE;
}

std::vector<std::string> CPhoneCardBase::IndicationCommands()
{
    return IndicationSettings(2, true, SupportsStatusReports());
}

PARSE_RESULT_t CPhoneCardBase::ParseIndicationSetting(std::string reply)
{
    return GeneralRule(reply);
}

std::vector<SMS_INDICATION_t> CPhoneCardBase::ParseUnsolicited(const std::string& text,
                                                               std::size_t& consumed) const
{
    return ParseIndications(text, consumed);
}
