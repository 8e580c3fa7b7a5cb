#include "scan/probe_queries.h"

#include <random>

#include "platform/console.h"
#include "scan/port_scan.h"
#include "scan/probe_rules.h"

namespace {

// The model reply after a maker reply: code and label when it names one of
// the `candidates` together with "OK".
struct MODEL_CANDIDATE_t {
    const char* szModelText;
    int nModel;
    const char* szLabel;
};

template <std::size_t N>
bool MatchModel(const std::string& reply, const MODEL_CANDIDATE_t (&candidates)[N],
                COM_CHECK_RESULT_t& record)
{
    if (!Holds(reply, "OK")) {
        return false;
    }
    for (const MODEL_CANDIDATE_t& candidate : candidates) {
        if (Holds(reply, candidate.szModelText)) {
            record.nModel = candidate.nModel;
            record.strModel = candidate.szLabel;
            return true;
        }
    }
    return false;
}

constexpr MODEL_CANDIDATE_t kHuaweiUpper[] = {{"MG301", 1, "HuaWeiMG301"},
                                              {"MC323", 3, "HuaWeiMC323"}};
constexpr MODEL_CANDIDATE_t kHuaweiMixed[] = {{"ME909s-821", 6, "HuaWeiME909s"}};
constexpr MODEL_CANDIDATE_t kYuga[] = {{"CLM920_NC5", 7, "CLM920_NC5"}};

// The CDMA module has no readable serial number; the scan keeps one of its
// own making in the module's phone book (entry 1, name "WMSN").
bool QueryCdmaSerialNo(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    std::string reply = line.Exchange("AT+CGSN\r");
    if (Holds(reply, "OK")) {
        record.strSerialNo = SerialFromCdmaCgsn(reply);
        if (!record.strSerialNo.empty()) {
            return true;
        }
    }

    // Entry 1 is written only when a complete, successful read of the
    // selected phone book shows it empty: a late, cut or refused answer must
    // never cost the user a contact. Each command waits for its own answer.
    const bool selected = FinalLineOf(line.Exchange("AT+CPBS=\"ME\"\r")) == "OK";
    reply = line.Exchange("AT^CPBR=1\r");
    if (ShowsEntry(reply) && !FinalLineOf(reply).empty()) {
        if (EntryName(reply) != "WMSN") {
            return false;
        }
    } else if (!selected || !ShowsEntryOneEmpty(reply)) {
        return false;
    } else if (Holds(reply, "ERROR")) {
        // The write's own answer holds no entry: the number is read back by
        // the next scan.
        reply = line.Exchange(PhoneBookWriteCommand(MakeRandomDigits()));
    } else {
        line.Exchange(PhoneBookWriteCommand(MakeRandomDigits()));
        reply = line.Exchange("AT^CPBR=1\r");
    }

    if (Holds(reply, "ERROR")) {
        return false;
    }
    reply = TrimBlank(reply);
    if (reply.empty() || EntryName(reply) != "WMSN") {
        return false;
    }
    record.strSerialNo = PhoneBookNumber(reply);

    for (int attempt = 0; attempt < 3; ++attempt) {
        if (Holds(line.Exchange("AT^RSSIREP=0\r"), "OK")) {
            break;
        }
    }
    return !record.strSerialNo.empty();
}

bool QueryGsmSerialNo(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    const std::string reply = line.Exchange("AT+CGSN\r");
    if (Holds(reply, "ERROR")) {
        record.strSerialNo.clear();
    }
    if (Holds(reply, "OK")) {
        record.strSerialNo = SerialFromCgsn(reply);
    }
    return !record.strSerialNo.empty();
}

bool QueryModuleSerialNo(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    std::string reply = line.Exchange("AT+WMSN\r");
    if (Holds(reply, "ERROR") || !Holds(reply, "Serial Number")) {
        record.strSerialNo.clear();
    }
    if (SerialFromWmsn(reply, record.strSerialNo)) {
        return !record.strSerialNo.empty();
    }

    reply = line.Exchange("AT+CGSN\r");
    if (Holds(reply, "ERROR") || !Holds(reply, "Serial Number")) {
        record.strSerialNo.clear();
    }
    if (Holds(reply, "OK")) {
        record.strSerialNo = TrimBlank(reply.substr(0, reply.find("OK")));
    }
    return !record.strSerialNo.empty();
}

}  // namespace

void IdentifyModem(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    record.strATI = line.Exchange("ATI\r");
    record.nModel = 0;
    record.strModel.clear();

    // A maker test that asked for the model leaves the model reply as the
    // text the following maker tests look at.
    std::string current = line.Exchange("AT+CGMI\r");
    if (Holds(current, "HUAWEI")) {
        current = line.Exchange("AT+CGMM\r");
        if (MatchModel(current, kHuaweiUpper, record)) {
            return;
        }
    }
    if (Holds(current, "Huawei")) {
        current = line.Exchange("AT+CGMM\r");
        if (MatchModel(current, kHuaweiMixed, record)) {
            return;
        }
    }
    if (Holds(current, "Yuga")) {
        current = line.Exchange("AT+CGMM\r");
        if (MatchModel(current, kYuga, record)) {
            return;
        }
    }

    if (ModelFromAti3(line.Exchange("ATI3\r"), record.nModel, record.strModel)) {
        return;
    }
    if (Holds(line.Exchange("ATI\r"), "SIEMENS")) {
        record.nModel = 2;
    }
}

void QueryModeConfig(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    if (record.nModel != 7) {
        return;
    }
    record.nModeConfig = ModeConfigFromReply(line.Exchange("AT^MODECONFIG?\r"));
    if (gVerbose) {
        ConsoleNote(record.port.strPath + " > MODECONFIG = " + std::to_string(record.nModeConfig) + "\n");
    }
}

bool QuerySerialNo(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    switch (record.nModel) {
    case 3: return QueryCdmaSerialNo(record, line);
    case 1:
    case 2:
    case 5:
    case 6: return QueryGsmSerialNo(record, line);
    case 0:
    case -1:
    case 7: return QueryModuleSerialNo(record, line);
    default: return !record.strSerialNo.empty();
    }
}

bool QueryCardNo(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    return CardNoFromReply(line.Exchange(CardNoCommand(record.nModel)), record.strCardNo);
}

void QuerySignal(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    record.strATI = line.Exchange("ATI\r");
    ValueAfterColon(line.Exchange("AT+CSQ\r"), record.strSignal);
    ParseSignal(record.strSignal, record.nRssi, record.nBer);
}

void QueryOperator(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    record.strOperator = GetValueAfterKey(line.Exchange("AT+COPS?\r"), "+COPS");
}

void AdjustModeConfig(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    if (record.nModel != 7 || record.strCardNo.empty()) {
        return;
    }
    const MODE_ADJUSTMENT_t adjustment =
        ModeAdjustment(record.nModeConfig, record.nRssi, record.strOperator);
    if (adjustment.strCommand.empty()) {
        return;
    }
    line.Send(adjustment.strCommand);
    ConsoleNote(record.port.strPath + adjustment.strLine + "\n");
}

void RunQuerySteps(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    line.Exchange("ATE0\r");
    line.Exchange("AT+CMEE=1\r");
    IdentifyModem(record, line);
    QueryModeConfig(record, line);
    QuerySerialNo(record, line);
    QueryCardNo(record, line);
    if (!record.strCardNo.empty()) {
        QuerySignal(record, line);
        QueryOperator(record, line);
        AdjustModeConfig(record, line);
    }
}

std::string MakeRandomDigits()
{
    // Seeded per thread from the system's entropy: a fixed seed would give
    // every module scanned in the same second the same "serial number".
    thread_local std::mt19937 generator{std::random_device{}()};
    static const char kDigits[] = "1234567890";
    std::string digits;
    for (int i = 0; i < 15; ++i) {
        digits += kDigits[generator() % 10];
    }
    return digits;
}
