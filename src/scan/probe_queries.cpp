#include "scan/probe_queries.h"

#include <random>

#include "codec/sim_pin.h"
#include "drivers/models.h"
#include "platform/console.h"
#include "platform/port_map.h"
#include "scan/probe_rules.h"

namespace {

// The maker tests of the identification, in the order they are made; the
// models of each maker are its rows in the model table.
const char* const kMakers[] = {"HUAWEI", "Huawei", "Yuga"};

// The model reply after a maker reply: type and label of the first model of
// that maker that it names together with "OK".
bool MatchModel(const std::string& reply, const std::string& maker, COM_CHECK_RESULT_t& record)
{
    if (!Holds(reply, "OK")) {
        return false;
    }
    for (const MODEL_t& model : kModels) {
        if (model.probeQuery == PROBE_QUERY_MODEL && maker == model.szProbeMaker &&
            Holds(reply, model.szProbeText)) {
            record.nModel = model.nType;
            record.strModel = model.szLabel;
            return true;
        }
    }
    return false;
}

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
    record.nModel = PHONE_TYPE_UN_KNOWN;
    record.strModel.clear();

    // A maker test that asked for the model leaves the model reply as the
    // text the following maker tests look at.
    std::string current = line.Exchange("AT+CGMI\r");
    for (const char* maker : kMakers) {
        if (Holds(current, maker)) {
            current = line.Exchange("AT+CGMM\r");
            if (MatchModel(current, maker, record)) {
                return;
            }
        }
    }

    if (ModelFromAti3(line.Exchange("ATI3\r"), record.nModel, record.strModel)) {
        return;
    }
    const std::string ati = line.Exchange("ATI\r");
    for (const MODEL_t& model : kModels) {
        if (model.probeQuery == PROBE_QUERY_ATI && Holds(ati, model.szProbeText)) {
            record.nModel = model.nType;
            record.strModel = model.szLabel;
            return;
        }
    }
}

void QueryModeConfig(COM_CHECK_RESULT_t& record, CProbeLine& line, bool verbose)
{
    if (!ModelOf(record.nModel).bNetworkMode) {
        return;
    }
    record.nModeConfig = ModeConfigFromReply(line.Exchange("AT^MODECONFIG?\r"));
    if (verbose) {
        ConsoleNote(PortNoteName(record.port) +
                    " > MODECONFIG = " + std::to_string(record.nModeConfig) + "\n");
    }
}

bool QuerySerialNo(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    switch (ModelOf(record.nModel).serialRoute) {
    case SERIAL_ROUTE_PHONE_BOOK:
        return QueryCdmaSerialNo(record, line);
    case SERIAL_ROUTE_CGSN:
        return QueryGsmSerialNo(record, line);
    case SERIAL_ROUTE_WMSN:
        return QueryModuleSerialNo(record, line);
    case SERIAL_ROUTE_NONE:
        break;
    }
    return !record.strSerialNo.empty();
}

bool QueryCardNo(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    return CardNoFromReply(line.Exchange(CardNoCommand(record.nModel)), record.strCardNo);
}

void QueryPinState(COM_CHECK_RESULT_t& record, CProbeLine& line)
{
    if (ModelOf(record.nModel).bPinState) {
        record.strPinState = PinStateOfReply(line.Exchange("AT+CPIN?\r"));
    }
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
    if (!ModelOf(record.nModel).bNetworkMode || record.strCardNo.empty()) {
        return;
    }
    const MODE_ADJUSTMENT_t adjustment =
        ModeAdjustment(record.nModeConfig, record.nRssi, record.strOperator);
    if (adjustment.strCommand.empty()) {
        return;
    }
    line.Send(adjustment.strCommand);
    ConsoleNote(PortNoteName(record.port) + adjustment.strLine + "\n");
}

void RunQuerySteps(COM_CHECK_RESULT_t& record, CProbeLine& line, bool verbose)
{
    line.Exchange("ATE0\r");
    line.Exchange("AT+CMEE=1\r");
    IdentifyModem(record, line);
    QueryModeConfig(record, line, verbose);
    QuerySerialNo(record, line);
    QueryCardNo(record, line);
    QueryPinState(record, line);
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
