#include "sim_config.h"

#include <json/json.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <set>

#include "command_text.h"
#include "models.h"
#include "sms_pdu.h"

namespace modemsim {
namespace {

// Every check reports where it failed, e.g. "port COM3: faults.delay_ms".
class Checker {
public:
    std::string where;
    std::string error;

    bool Fail(const std::string& key, const std::string& what)
    {
        if (error.empty())
            error = where + (key.empty() ? "" : key + ": ") + what;
        return false;
    }

    bool OnlyKeys(const Json::Value& object, const std::set<std::string>& known,
                  const std::string& context)
    {
        if (!object.isObject())
            return Fail(context, "must be an object");
        for (const std::string& name : object.getMemberNames()) {
            if (!known.count(name))
                return Fail(context, "unknown key \"" + name + "\"");
        }
        return true;
    }

    bool Int(const Json::Value& object, const char* key, int& out, int low, int high)
    {
        const Json::Value& v = object[key];
        if (v.isNull())
            return true;
        if (!v.isInt() || v.asInt() < low || v.asInt() > high) {
            return Fail(key, "must be an integer from " + std::to_string(low) + " to " +
                                 std::to_string(high));
        }
        out = v.asInt();
        return true;
    }

    // A switch that may also give a count: true is `whenTrue`, false is 0.
    bool IntOrBool(const Json::Value& object, const char* key, int& out, int whenTrue, int high)
    {
        const Json::Value& v = object[key];
        if (v.isBool()) {
            out = v.asBool() ? whenTrue : 0;
            return true;
        }
        return Int(object, key, out, 0, high);
    }

    bool Bool(const Json::Value& object, const char* key, bool& out)
    {
        const Json::Value& v = object[key];
        if (v.isNull())
            return true;
        if (!v.isBool())
            return Fail(key, "must be true or false");
        out = v.asBool();
        return true;
    }

    bool String(const Json::Value& object, const char* key, std::string& out)
    {
        const Json::Value& v = object[key];
        if (v.isNull())
            return true;
        if (!v.isString())
            return Fail(key, "must be a string");
        out = v.asString();
        return true;
    }

    bool Digits(const Json::Value& object, const char* key, std::string& out)
    {
        if (!String(object, key, out))
            return false;
        for (char c : out) {
            if (c < '0' || c > '9')
                return Fail(key, "must hold digits only");
        }
        return true;
    }
};

bool ParseFaults(const Json::Value& f, Faults& faults, Checker& check)
{
    if (f.isNull())
        return true;
    if (!check.OnlyKeys(f,
                        {"delay_ms",
                         "split",
                         "split_gap_ms",
                         "unsolicited",
                         "cms_error_bodies",
                         "cms_error_code",
                         "error_commands",
                         "nul_bytes",
                         "garbage",
                         "overlong_reply",
                         "flood",
                         "vanish_after_commands",
                         "silent_after_commands",
                         "hcmgsf",
                         "hcmgss_delay_ms",
                         "pdu_line_suffix",
                         "silent_from",
                         "trickle",
                         "vanish_in_reply",
                         "return_after_ms",
                         "delay_commands",
                         "cms_error_body_numbers",
                         "body_delay_ms",
                         "no_indications"},
                        "faults")) {
        return false;
    }
    check.where += "faults.";
    bool ok = check.Int(f, "delay_ms", faults.delayMs, 0, 60000) &&
              check.IntOrBool(f, "split", faults.splitSize, 4, 4096) &&
              check.Int(f, "split_gap_ms", faults.splitGapMs, 0, 60000) &&
              check.Int(f, "cms_error_bodies", faults.cmsErrorBodies, 0, 1000000) &&
              check.Int(f, "cms_error_code", faults.cmsErrorCode, 0, 999) &&
              check.IntOrBool(f, "nul_bytes", faults.nulBytes, 1, 65536) &&
              check.IntOrBool(f, "garbage", faults.garbage, 8, 65536) &&
              check.Int(f, "overlong_reply", faults.overlongReply, 0, 1 << 20) &&
              check.Bool(f, "flood", faults.flood) &&
              check.Int(f, "vanish_after_commands", faults.vanishAfterCommands, 0, 1000000) &&
              check.Int(f, "silent_after_commands", faults.silentAfterCommands, 0, 1000000) &&
              check.IntOrBool(f, "hcmgsf", faults.hcmgsf, 96, 999) &&
              check.Int(f, "hcmgss_delay_ms", faults.hcmgssDelayMs, 0, 60000) &&
              check.Int(f, "body_delay_ms", faults.bodyDelayMs, 0, 3600000) &&
              check.Int(f, "return_after_ms", faults.returnAfterMs, 0, 3600000) &&
              check.String(f, "pdu_line_suffix", faults.pduLineSuffix) &&
              check.Bool(f, "no_indications", faults.noIndications);
    if (!ok)
        return false;
    const Json::Value& unsolicited = f["unsolicited"];
    if (!unsolicited.isNull()) {
        if (!unsolicited.isArray())
            return check.Fail("unsolicited", "must be a list of lines");
        for (const Json::Value& line : unsolicited) {
            if (!line.isString())
                return check.Fail("unsolicited", "must be a list of lines");
            faults.unsolicited.push_back(line.asString());
        }
    }
    const Json::Value& silentFrom = f["silent_from"];
    if (!silentFrom.isNull()) {
        if (!silentFrom.isString() || silentFrom.asString().empty()) {
            return check.Fail("silent_from", "must be a command prefix");
        }
        faults.silentFrom = silentFrom.asString();
    }
    const Json::Value& trickle = f["trickle"];
    if (!trickle.isNull()) {
        if (!trickle.isObject() || !trickle["from"].isString() ||
            trickle["from"].asString().empty() || !trickle["every_ms"].isInt() ||
            trickle["every_ms"].asInt() < 1 || trickle["every_ms"].asInt() > 60000) {
            return check.Fail("trickle", "must be {\"from\": prefix, \"every_ms\": 1..60000}");
        }
        faults.trickleFrom = trickle["from"].asString();
        faults.trickleEveryMs = trickle["every_ms"].asInt();
    }
    const Json::Value& vanish = f["vanish_in_reply"];
    if (!vanish.isNull()) {
        if (!vanish.isObject() || !vanish["prefix"].isString() ||
            vanish["prefix"].asString().empty() || !vanish["bytes"].isInt() ||
            vanish["bytes"].asInt() < 0 || vanish["bytes"].asInt() > (1 << 20)) {
            return check.Fail("vanish_in_reply", "must be {\"prefix\": prefix, \"bytes\": n}");
        }
        faults.vanishInReply = vanish["prefix"].asString();
        faults.vanishInReplyBytes = vanish["bytes"].asInt();
    }
    if (faults.returnAfterMs >= 0 && faults.vanishAfterCommands < 0 &&
        faults.vanishInReply.empty()) {
        return check.Fail("return_after_ms",
                          "needs a vanish (vanish_after_commands or vanish_in_reply)");
    }
    const Json::Value& delays = f["delay_commands"];
    if (!delays.isNull()) {
        if (!delays.isArray())
            return check.Fail("delay_commands", "must be a list");
        for (const Json::Value& rule : delays) {
            if (!rule.isObject() || !rule["prefix"].isString() || !rule["delay_ms"].isInt() ||
                rule["delay_ms"].asInt() < 0 || rule["delay_ms"].asInt() > 60000) {
                return check.Fail("delay_commands",
                                  "entries are {\"prefix\", \"delay_ms\": 0..60000} objects");
            }
            faults.delayCommands.push_back({rule["prefix"].asString(), rule["delay_ms"].asInt()});
        }
    }
    const Json::Value& refused = f["cms_error_body_numbers"];
    if (!refused.isNull()) {
        if (!refused.isArray())
            return check.Fail("cms_error_body_numbers", "must be a list");
        for (const Json::Value& number : refused) {
            if (!number.isInt() || number.asInt() < 1) {
                return check.Fail("cms_error_body_numbers", "entries are body numbers from 1");
            }
            faults.cmsErrorBodyNumbers.push_back(number.asInt());
        }
    }
    const Json::Value& errors = f["error_commands"];
    if (!errors.isNull()) {
        if (!errors.isArray())
            return check.Fail("error_commands", "must be a list");
        for (const Json::Value& rule : errors) {
            ErrorRule r;
            r.reply = "ERROR";
            if (rule.isString()) {
                r.prefix = rule.asString();
            } else if (rule.isObject() && rule["prefix"].isString() &&
                       (rule["reply"].isNull() || rule["reply"].isString())) {
                r.prefix = rule["prefix"].asString();
                if (rule["reply"].isString())
                    r.reply = rule["reply"].asString();
            } else {
                return check.Fail("error_commands",
                                  "entries are prefixes or {\"prefix\", \"reply\"} objects");
            }
            faults.errorCommands.push_back(r);
        }
    }
    return true;
}

bool ParseMessage(const Json::Value& m, const PortConfig& port, int& nextIndex, StoredMessage& out,
                  Checker& check)
{
    if (!check.OnlyKeys(
            m,
            {"index", "status", "pdu", "from", "to", "time", "text", "dcs", "concat", "sca", "tz"},
            "")) {
        return false;
    }
    out.index = nextIndex;
    out.status = 1;
    if (!check.Int(m, "index", out.index, 0, 100000) || !check.Int(m, "status", out.status, 0, 3)) {
        return false;
    }
    nextIndex = out.index + 1;
    if (m.isMember("pdu")) {
        if (!check.String(m, "pdu", out.pduHex))
            return false;
        return true;
    }
    MessageSpec spec;
    spec.serviceCentre = port.serviceCentre;
    spec.time = "00-01-01 00:00:00";
    bool outgoing = out.status >= 2;
    const char* numberKey = outgoing && m.isMember("to") ? "to" : "from";
    if (!check.String(m, numberKey, spec.number) || !check.String(m, "time", spec.time) ||
        !check.String(m, "text", spec.textUtf8) || !check.Int(m, "dcs", spec.dcs, 0, 8) ||
        !check.String(m, "sca", spec.serviceCentre) ||
        !check.Int(m, "tz", spec.timeZoneQuarters, -79, 79)) {
        return false;
    }
    if (spec.number.empty())
        return check.Fail(numberKey, "a message needs a number or a \"pdu\"");
    const Json::Value& concat = m["concat"];
    if (!concat.isNull()) {
        if (!check.OnlyKeys(concat, {"ref", "total", "part"}, "concat"))
            return false;
        spec.concat.present = true;
        if (!check.Int(concat, "ref", spec.concat.ref, 0, 255) ||
            !check.Int(concat, "total", spec.concat.total, 1, 255) ||
            !check.Int(concat, "part", spec.concat.part, 1, 255)) {
            return false;
        }
    }
    std::string error;
    out.pduHex = outgoing ? BuildSubmitPdu(spec, error) : BuildDeliverPdu(spec, error);
    if (out.pduHex.empty())
        return check.Fail("", error);
    out.hasText = true;
    out.number = spec.number;
    out.time = spec.time;
    out.textUtf8 = spec.textUtf8;
    out.dcs = spec.dcs;
    return true;
}

// "arrivals": messages with the keys of a stored one (index optional) and
// "storage", "after_ms", "announce".
bool ParseArrivals(const Json::Value& list, PortConfig& port, Checker& check)
{
    if (list.isNull())
        return true;
    if (!list.isArray())
        return check.Fail("arrivals", "must be a list");
    const std::string base = check.where;
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        check.where = base + "arrivals[" + std::to_string(i) + "].";
        const Json::Value& entry = list[i];
        if (!entry.isObject())
            return check.Fail("", "must be an object");
        Arrival arrival;
        Json::Value message = entry;
        for (const char* key : {"storage", "after_ms", "announce"})
            message.removeMember(key);
        if (!message.isMember("status"))
            message["status"] = 0;
        int nextIndex = 0;
        if (!ParseMessage(message, port, nextIndex, arrival.message, check) ||
            !check.String(entry, "storage", arrival.storage) ||
            !check.Int(entry, "after_ms", arrival.afterMs, 0, 86400000) ||
            !check.Bool(entry, "announce", arrival.announce)) {
            return false;
        }
        if (arrival.storage != "SM" && arrival.storage != "ME")
            return check.Fail("storage", "must be \"SM\" or \"ME\"");
        if (arrival.message.status > 1)
            return check.Fail("status", "an arrival is received: 0 or 1");
        port.arrivals.push_back(arrival);
    }
    check.where = base;
    return true;
}

bool ParseUssd(const Json::Value& list, PortConfig& port, Checker& check)
{
    if (list.isNull())
        return true;
    if (!list.isArray())
        return check.Fail("ussd", "must be a list of answers");
    for (const Json::Value& a : list) {
        if (!check.OnlyKeys(a, {"code", "text", "form", "status", "ok_first", "delay_ms"}, "ussd"))
            return false;
        UssdAnswer answer;
        bool okFirst = false;
        if (!check.String(a, "code", answer.code) || !check.String(a, "text", answer.textUtf8) ||
            !check.String(a, "form", answer.form) || !check.Int(a, "status", answer.status, 0, 5) ||
            !check.Int(a, "delay_ms", answer.delayMs, 0, 60000)) {
            return false;
        }
        if (a.isMember("ok_first")) {
            if (!check.Bool(a, "ok_first", okFirst))
                return false;
            answer.okFirst = okFirst ? 1 : 0;
        }
        if (answer.code.empty())
            return check.Fail("ussd", "every answer needs its \"code\"");
        if (answer.form != "plain" && answer.form != "packed" && answer.form != "ucs2")
            return check.Fail("ussd", "\"form\" is \"plain\", \"packed\" or \"ucs2\"");
        port.ussd.push_back(answer);
    }
    return true;
}

// The SIM's PIN, the character set, USSD answers and status reports.
bool ParseSimAndNetwork(const Json::Value& p, const ModelInfo& model, PortConfig& port,
                        Checker& check)
{
    if (!check.Digits(p, "pin", port.pin) || !check.Digits(p, "puk", port.puk) ||
        !check.Int(p, "pin_attempts", port.pinAttempts, 0, 3) ||
        !check.String(p, "charset", port.charset) ||
        !check.String(p, "status_reports", port.statusReports) ||
        !check.Int(p, "report_tp_st", port.reportStatus, 0, 255)) {
        return false;
    }
    if (!port.pin.empty() && (port.pin.size() < 4 || port.pin.size() > 8))
        return check.Fail("pin", "must be 4 to 8 digits");
    if (port.puk.size() != 8)
        return check.Fail("puk", "must be 8 digits");
    if (!IsCharset(port.charset))
        return check.Fail("charset", "must be \"IRA\", \"GSM\", \"UCS2\" or \"HEX\"");
    if (!port.statusReports.empty() && port.statusReports != "store" &&
        port.statusReports != "cds") {
        return check.Fail("status_reports", "must be \"store\" or \"cds\"");
    }
    if (model.cdma && (!port.pin.empty() || p.isMember("ussd") || !port.statusReports.empty())) {
        return check.Fail("model", "the CDMA model has no PIN, USSD or status reports here");
    }
    return ParseUssd(p["ussd"], port, check);
}

// AT+CNMI at start and what the module refuses. The defaults follow the
// families' documents: the CDMA module starts with indications on and takes
// <mode> 1 only; Huawei 3G/LTE modules refuse <mode> 2, the MG301's family
// takes <ds> 0 or 1 only, and Qualcomm-based modules refuse <mode> 2 and
// <ds> 1.
bool ParseCnmi(const Json::Value& p, const ModelInfo& model, PortConfig& port, Checker& check)
{
    const std::string name = model.name;
    port.cnmi = model.cdma ? "1,1,0,2,0" : "0,0,0,0,0";
    if (model.cdma) {
        port.cnmiRefused = {"mode=0", "mode=2", "mode=3"};
    } else if (name == "ME909s-821") {
        port.cnmiRefused = {"mode=2"};
    } else if (name == "MG301") {
        port.cnmiRefused = {"ds=2"};
    } else if (name == "CLM920_NC5") {
        port.cnmiRefused = {"mode=2", "ds=1"};
    }
    if (!check.String(p, "cnmi", port.cnmi))
        return false;
    int values = 0;
    for (const std::string& value : SplitArgs(port.cnmi)) {
        if (value.size() != 1 || value[0] < '0' || value[0] > '3')
            return check.Fail("cnmi", "must be five values such as \"2,1,0,0,0\"");
        ++values;
    }
    if (values != 5)
        return check.Fail("cnmi", "must be five values such as \"2,1,0,0,0\"");
    const Json::Value& refused = p["cnmi_refused"];
    if (refused.isNull())
        return true;
    port.cnmiRefused.clear();
    if (!refused.isArray())
        return check.Fail("cnmi_refused", "must be a list such as [\"mode=2\"]");
    for (const Json::Value& rule : refused) {
        static const std::regex kRule("(mode|mt|bm|ds|bfr)=[0-3]");
        if (!rule.isString() || !std::regex_match(rule.asString(), kRule))
            return check.Fail("cnmi_refused", "must be a list such as [\"mode=2\"]");
        port.cnmiRefused.push_back(rule.asString());
    }
    return true;
}

bool ParsePort(const Json::Value& p, PortConfig& port, Checker& check)
{
    if (!check.OnlyKeys(p,
                        {"com",
                         "model",
                         "bauds",
                         "wrong_baud",
                         "echo",
                         "imei",
                         "esn",
                         "serial",
                         "iccid",
                         "csq",
                         "operator",
                         "sca",
                         "modeconfig",
                         "mr",
                         "ati",
                         "ati3",
                         "cgmi",
                         "cgmm",
                         "storage",
                         "capacity",
                         "phonebook",
                         "faults",
                         "same_modem_as",
                         "pin",
                         "puk",
                         "pin_attempts",
                         "charset",
                         "ussd",
                         "status_reports",
                         "report_tp_st",
                         "compact_results",
                         "arrivals",
                         "cnmi",
                         "cnmi_refused"},
                        "port")) {
        return false;
    }
    if (!p["com"].isInt() || p["com"].asInt() < 1 || p["com"].asInt() > 9999) {
        return check.Fail("com", "every port needs a number from 1 to 9999");
    }
    port.com = p["com"].asInt();
    port.moduleCom = port.com;
    check.where = "port COM" + std::to_string(port.com) + ": ";
    if (!check.String(p, "model", port.model))
        return false;
    const ModelInfo* model = FindModel(port.model);
    if (!model)
        return check.Fail("model", "must be one of " + ModelNames());

    port.bauds = {9600, 115200};
    const Json::Value& bauds = p["bauds"];
    if (!bauds.isNull()) {
        port.bauds.clear();
        if (!bauds.isArray() || bauds.empty())
            return check.Fail("bauds", "must be a list of rates");
        for (const Json::Value& b : bauds) {
            if (!b.isInt() || b.asInt() <= 0)
                return check.Fail("bauds", "must be a list of rates");
            port.bauds.push_back(b.asInt());
        }
    }
    std::string wrongBaud = "garbage";
    if (!check.String(p, "wrong_baud", wrongBaud))
        return false;
    if (wrongBaud != "garbage" && wrongBaud != "silent") {
        return check.Fail("wrong_baud", "must be \"garbage\" or \"silent\"");
    }
    port.garbageAtWrongBaud = wrongBaud == "garbage";

    char imei[16];
    std::snprintf(imei, sizeof imei, "866%012d", port.com);
    port.imei = imei;
    port.csq = "23,99";
    port.operatorName = model->defaultOperator;
    port.serviceCentre = model->cdma ? "" : "+8613800100500";
    if (!check.Bool(p, "echo", port.echo) || !check.Digits(p, "imei", port.imei) ||
        !check.String(p, "esn", port.esn) || !check.String(p, "serial", port.serial) ||
        !check.String(p, "csq", port.csq) || !check.String(p, "operator", port.operatorName) ||
        !check.String(p, "sca", port.serviceCentre) ||
        !check.Int(p, "modeconfig", port.modeConfig, -1000000, 1000000) ||
        !check.Int(p, "mr", port.messageReference, 0, 255)) {
        return false;
    }
    if (!p["iccid"].isNull()) {
        if (!check.String(p, "iccid", port.iccid))
            return false;
        port.hasSim = true;
    }
    if (!check.Bool(p, "compact_results", port.compactResults) ||
        !ParseCnmi(p, *model, port, check))
        return false;
    for (const char* key : {"ati", "ati3", "cgmi", "cgmm"}) {
        if (p.isMember(key)) {
            std::string reply;
            if (!check.String(p, key, reply))
                return false;
            port.identity[key] = reply;
        }
    }

    port.capacity = {{"SM", 50}, {"ME", 100}, {"SR", 50}};
    const Json::Value& capacity = p["capacity"];
    if (!capacity.isNull()) {
        if (!check.OnlyKeys(capacity, {"SM", "ME"}, "capacity"))
            return false;
        if (!check.Int(capacity, "SM", port.capacity["SM"], 0, 100000) ||
            !check.Int(capacity, "ME", port.capacity["ME"], 0, 100000)) {
            return false;
        }
    }
    port.storage["SM"];
    port.storage["ME"];
    const Json::Value& storage = p["storage"];
    if (!storage.isNull()) {
        if (!check.OnlyKeys(storage, {"SM", "ME"}, "storage"))
            return false;
        for (const char* name : {"SM", "ME"}) {
            const Json::Value& list = storage[name];
            if (list.isNull())
                continue;
            if (!list.isArray())
                return check.Fail(std::string("storage.") + name, "must be a list");
            int nextIndex = 1;
            std::set<int> used;
            std::string base = check.where;
            for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
                check.where = base + "storage." + name + "[" + std::to_string(i) + "].";
                StoredMessage message;
                if (!ParseMessage(list[i], port, nextIndex, message, check))
                    return false;
                if (!used.insert(message.index).second) {
                    return check.Fail("index", "used twice");
                }
                port.storage[name].push_back(message);
                if (message.index > port.capacity[name])
                    port.capacity[name] = message.index;
            }
            check.where = base;
        }
    }
    if (!ParseArrivals(p["arrivals"], port, check))
        return false;
    const Json::Value& phoneBook = p["phonebook"];
    if (!phoneBook.isNull()) {
        if (!phoneBook.isArray())
            return check.Fail("phonebook", "must be a list");
        for (const Json::Value& e : phoneBook) {
            if (!check.OnlyKeys(e, {"index", "number", "type", "name"}, "phonebook"))
                return false;
            int index = 1;
            PhoneBookEntry entry;
            if (!check.Int(e, "index", index, 1, 1000) ||
                !check.String(e, "number", entry.number) ||
                !check.Int(e, "type", entry.type, 0, 255) || !check.String(e, "name", entry.name)) {
                return false;
            }
            port.phoneBook[index] = entry;
        }
    }
    return ParseSimAndNetwork(p, *model, port, check) &&
           ParseFaults(p["faults"], port.faults, check);
}

// The entry of a further port of a module ("same_modem_as": the module's
// first port): that port's entry with this port's number, line settings and
// faults; its identity (the IMEI included, whose default follows the port
// number) is the module's. False for a module port that is missing or is a
// further port itself, and for keys of the module's in this entry.
bool FurtherPortOfModule(const Json::Value& entry, const Json::Value& ports, Json::Value& merged,
                         int& module, Checker& check)
{
    const std::set<std::string> own = {"com",        "same_modem_as", "bauds",
                                       "wrong_baud", "echo",          "faults"};
    const Json::Value& com = entry["com"];
    check.where = com.isInt() ? "port COM" + std::to_string(com.asInt()) + ": " : "";
    for (const std::string& name : entry.getMemberNames()) {
        if (!own.count(name)) {
            return check.Fail("same_modem_as",
                              "a further port of a modem has only com, bauds, "
                              "wrong_baud, echo and faults of its own, not \"" +
                                  name + "\"");
        }
    }
    const Json::Value& target = entry["same_modem_as"];
    const Json::Value* first = nullptr;
    for (const Json::Value& candidate : ports) {
        if (target.isInt() && candidate.isObject() && candidate["com"] == target &&
            candidate["com"] != com) {
            first = &candidate;
        }
    }
    if (first == nullptr || first->isMember("same_modem_as")) {
        return check.Fail("same_modem_as",
                          "must be the number of another port that is no "
                          "further port itself");
    }
    merged = *first;
    // Arrivals come once, from the module's first port.
    for (const char* line : {"bauds", "wrong_baud", "echo", "faults", "arrivals"}) {
        merged.removeMember(line);
    }
    for (const std::string& name : entry.getMemberNames()) {
        if (name != "same_modem_as")
            merged[name] = entry[name];
    }
    if (!merged.isMember("imei")) {
        char imei[16];
        std::snprintf(imei, sizeof imei, "866%012d", target.asInt());
        merged["imei"] = imei;
    }
    module = target.asInt();
    check.where.clear();
    return true;
}

}  // namespace

bool ParseConfig(const std::string& text, SimConfig& config, std::string& error)
{
    Json::CharReaderBuilder builder;
    builder["failIfExtra"] = true;
    builder["rejectDupKeys"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string parseErrors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &parseErrors)) {
        error = "configuration is not valid JSON: " + parseErrors;
        return false;
    }
    Checker check;
    if (!check.OnlyKeys(root, {"ports"}, "configuration") || !root["ports"].isArray()) {
        error = check.error.empty() ? "configuration needs a \"ports\" list" : check.error;
        return false;
    }
    std::set<int> coms;
    config.ports.clear();
    for (const Json::Value& entry : root["ports"]) {
        check.where.clear();
        Json::Value p = entry;
        int module = 0;
        if (entry.isObject() && entry.isMember("same_modem_as") &&
            !FurtherPortOfModule(entry, root["ports"], p, module, check)) {
            error = check.error;
            return false;
        }
        PortConfig port;
        if (!ParsePort(p, port, check)) {
            error = check.error;
            return false;
        }
        if (module != 0)
            port.moduleCom = module;
        if (!coms.insert(port.com).second) {
            error = "COM" + std::to_string(port.com) + " is configured twice";
            return false;
        }
        config.ports.push_back(port);
    }
    return true;
}

}  // namespace modemsim
