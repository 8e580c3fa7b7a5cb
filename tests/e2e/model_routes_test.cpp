// Every send and read route of every model against the simulator, in
// process: one thread per model with its own port and driver, so the six
// models cost about as much time as the slowest one.

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/application.h"
#include "codec/charset_conv.h"
#include "drivers/result_codes.h"
#include "support/listed_port.h"
#include "support/modem_sim.h"
#include "transport/com_port.h"
#include "transport/sms_sequences.h"

namespace {

struct Model {
    const char* name;  // the simulator's model
    int com;
    int baud;
    PHONE_TYPE_t deviceType;
    bool cdma;
    // The route the driver must take: its send, listing and single-read
    // commands ("" where the model reads everything from the listing).
    const char* send;
    const char* list;
    const char* singleRead;
    // Storages read: modem memory and SIM, and the storage of status
    // reports where the module offers one.
    std::size_t storages = 2;
};

const Model kModels[] = {
    {"M35", 3, 9600, PHONE_TYPE_VELT_C, false, "AT+CMGS=", "AT+CMGL=4", ""},
    {"CLM920_NC5", 4, 115200, PHONE_TYPE_VELT_B, false, "AT+CMGS=", "AT+CMGD=?", "AT+CMGR="},
    {"ME909s-821", 5, 115200, PHONE_TYPE_VELT_D, false, "AT+CMGS=", "AT+CMGL=4", ""},
    {"MG301", 6, 9600, PHONE_TYPE_VELT_E, false, "AT+CMGS=", "AT+CMGL=4", ""},
    {"Q2406B", 7, 9600, PHONE_TYPE_VELT_F, false, "AT+CMGS=", "AT+CMGL=4", "", 3},
    {"MC323", 8, 115200, PHONE_TYPE_VELT_G, true, "AT^HCMGS=", "AT^HCMGL=4", "AT^HCMGR="},
};

// The characters of a UTF-8 text, one string each.
std::vector<std::string> Utf8Chars(const std::string& text)
{
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        chars.push_back(text.substr(i, length));
        i += length;
    }
    return chars;
}

// `count` characters of a UTF-8 text from character `first`.
std::string Utf8Slice(const std::string& text, std::size_t first, std::size_t count)
{
    const std::vector<std::string> chars = Utf8Chars(text);
    std::string slice;
    for (std::size_t i = first; i < first + count && i < chars.size(); ++i) {
        slice += chars[i];
    }
    return slice;
}

// Many of these characters have 0x00, 0x0A, 0x0D or 0x1A as a UCS-2 byte
// (一 4E00, 上 4E0A, 不 4E0D, 业 4E1A, ： FF1A): raw UCS-2 bodies and
// replies must carry them as text, not as line ends or terminators.
const std::string kNotice =
    u8"尊敬的客户您好：您本月的上网流量已使用百分之八十，为了不影响您的正常使用，"
    u8"请及时办理流量加油包业务。一次办理即可在本月内有效，下月一号自动失效，不会产生额外费用。"
    u8"如需帮助请拨打客服热线一零零八六，或登录网上营业厅查询详情，感谢您的支持与配合。"
    u8"本短信由系统自动发送，无需回复，祝您生活愉快，工作顺利！";

// Numbered items, so that a part sent or joined out of order shows.
std::string AsciiItems(std::size_t length)
{
    std::string text;
    for (int item = 1; text.size() < length; ++item) {
        char piece[32];
        std::snprintf(piece, sizeof piece, "Item %02d %c. ", item, 'a' + item % 26);
        text += piece;
    }
    return text.substr(0, length);
}

const char kNational[] = "13912345678";
const char kInternational[] = "008613912345678";

struct SendRow {
    const char* label;
    std::string text;  // UTF-8
    bool international;
    int parts;
};

// The international number on one single and one concatenated route; the
// CDMA model sends every row to the national number (it dials as given).
std::vector<SendRow> SendRows()
{
    return {
        {"short ASCII", "Meet at gate 3, 18:30.", false, 1},
        {"70 Chinese", Utf8Slice(kNotice, 0, 70), true, 1},
        {"71 Chinese", Utf8Slice(kNotice, 0, 71), false, 2},
        {"300 ASCII", AsciiItems(300), true, 5},
    };
}

struct Stored {
    int index;
    int status;  // 0 unread, 1 read
    const char* from;
    const char* time;
    int dcs;
    std::string text;  // UTF-8
    int ref;           // concatenated: reference, total, part; 0 otherwise
    int total;
    int part;
};

// Each storage: a 7-bit and a UCS-2 single, then a three-part message stored
// as parts 3, 1, 2. The SIM's long message is UCS-2 with full 67-character
// parts, the modem memory's 7-bit with full 153-character parts.
const std::string kSevenBitLong = AsciiItems(153 * 2 + 40);

std::vector<Stored> SimStorage()
{
    return {
        {1, 1, "13912345678", "24-05-01 09:30:00", 0, "Meeting moved to 10:30, room 5.", 0, 0, 0},
        {2, 0, "13700001111", "24-05-01 12:00:05", 8, u8"明天上午不开会，业务培训改到下午三点。", 0,
         0, 0},
        {3, 1, "10086", "24-05-02 08:00:09", 8, Utf8Slice(kNotice, 134, 67), 77, 3, 3},
        {4, 0, "10086", "24-05-02 08:00:01", 8, Utf8Slice(kNotice, 0, 67), 77, 3, 1},
        {5, 1, "10086", "24-05-02 08:00:05", 8, Utf8Slice(kNotice, 67, 67), 77, 3, 2},
    };
}

std::vector<Stored> MemoryStorage()
{
    return {
        {1, 1, "10010", "24-06-11 21:15:30", 0,
         "Your data plan renews on 06-01. Reply 1 for usage.", 0, 0, 0},
        {2, 0, "18612345678", "24-06-12 07:45:00", 8, u8"快递已放在楼下快递柜，取件码：3208。", 0,
         0, 0},
        {3, 1, "95588", "24-06-13 10:00:40", 0, kSevenBitLong.substr(306), 200, 3, 3},
        {4, 1, "95588", "24-06-13 10:00:20", 0, kSevenBitLong.substr(0, 153), 200, 3, 1},
        {5, 0, "95588", "24-06-13 10:00:30", 0, kSevenBitLong.substr(153, 153), 200, 3, 2},
    };
}

Json::Value StorageJson(const std::vector<Stored>& messages)
{
    Json::Value list(Json::arrayValue);
    for (const Stored& m : messages) {
        Json::Value message;
        message["index"] = m.index;
        message["status"] = m.status;
        message["from"] = m.from;
        message["time"] = m.time;
        message["dcs"] = m.dcs;
        message["text"] = m.text;
        if (m.ref != 0) {
            message["concat"]["ref"] = m.ref;
            message["concat"]["total"] = m.total;
            message["concat"]["part"] = m.part;
        }
        list.append(message);
    }
    return list;
}

// `compact`: every result line without the blank after its colon
// ("+CMGL:1,1,,23"), as some modules write them.
std::string SimConfig(bool compact)
{
    Json::Value ports(Json::arrayValue);
    for (const Model& model : kModels) {
        Json::Value port;
        port["compact_results"] = compact;
        port["com"] = model.com;
        port["model"] = model.name;
        port["bauds"].append(model.baud);
        port["iccid"] = "8986001234567890000" + std::to_string(model.com);
        port["storage"]["SM"] = StorageJson(SimStorage());
        port["storage"]["ME"] = StorageJson(MemoryStorage());
        ports.append(port);
    }
    Json::Value config;
    config["ports"] = ports;
    return Json::FastWriter().write(config);
}

using Message = std::tuple<std::string, std::string, std::string>;  // from, time, UTF-8 text

// What a GSM model reads: singles in index order, then the long message
// joined in part order with the number and time of its last part.
std::vector<Message> GsmExpected(const std::vector<Stored>& stored, const std::string& longText)
{
    return {{stored[0].from, stored[0].time, stored[0].text},
            {stored[1].from, stored[1].time, stored[1].text},
            {stored[2].from, stored[2].time, longText}};
}

// The CDMA module keeps no concatenation: every stored part is a message of
// its own, in index order, with a four-digit year.
std::vector<Message> CdmaExpected(const std::vector<Stored>& stored)
{
    std::vector<Message> expected;
    for (const Stored& m : stored) {
        expected.emplace_back(m.from, std::string("20") + m.time, m.text);
    }
    return expected;
}

std::vector<Message> AsUtf8(const std::vector<SmsMessage>& messages)
{
    std::vector<Message> result;
    for (const SmsMessage& m : messages) {
        result.emplace_back(m.strFrom, m.strTime, AnsiToUtf8(m.strText));
    }
    return result;
}

struct SendOutcome {
    bool sent = false;
    std::string error;
};

struct ModelRun {
    std::string openError;
    std::vector<SendOutcome> sends;
    INBOX_READ_t inbox;
};

// One model's whole session; runs on its own thread and only records.
// The simulator answers at once; a route that fails should fail in seconds,
// not after the minutes of a real network's budget.
AT_PACING_t ShortPacing()
{
    AT_PACING_t pacing;
    pacing.silenceMs = pacing.shortDeadlineMs = pacing.listBaseMs = 5000;
    pacing.bodyMs = 10000;
    return pacing;
}

void RunModel(const Model& model, const std::vector<SendRow>& rows, ModelRun& run)
{
    {
        CComPortBase port(ListedPort(model.com), model.baud, ShortPacing());
        const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(model.deviceType);
        if (!port.IsOpen()) {
            run.openError = port.GetErrorText();
            return;
        }
        RunInitCommands(driver.get(), &port);
        for (const SendRow& row : rows) {
            const std::string number =
                row.international && !model.cdma ? kInternational : kNational;
            SendOutcome outcome;
            outcome.sent = TransmitSms(driver.get(), &port, number, Utf8ToAnsi(row.text));
            outcome.error = driver->GetLastErrorText();
            run.sends.push_back(outcome);
        }
    }
    COM_DEVICE_t device;
    device.port = ListedPort(model.com);
    device.nBaud = model.baud;
    device.bAT = true;
    device.nDeviceType = model.deviceType;
    device.pacing = ShortPacing();
    run.inbox = ReadInbox(device);
}

std::size_t CommandCount(const ModemSim& sim, int com, const std::string& prefix)
{
    std::size_t count = 0;
    for (const std::string& command : sim.Commands(com)) {
        count += command.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

// The driver took its model's own route: one send command per part, one
// listing per storage, one single read per stored message where it reads
// singly, and none where the listing carries the messages.
void CheckRoute(const ModemSim& sim, const Model& model, const std::vector<SendRow>& rows,
                std::size_t storedInBoth)
{
    std::size_t parts = 0;
    for (const SendRow& row : rows) {
        parts += static_cast<std::size_t>(row.parts);
    }
    EXPECT_EQ(CommandCount(sim, model.com, model.send), parts);
    EXPECT_EQ(CommandCount(sim, model.com, model.list), model.storages);
    if (*model.singleRead != '\0') {
        EXPECT_EQ(CommandCount(sim, model.com, model.singleRead), storedInBoth);
    } else {
        EXPECT_EQ(CommandCount(sim, model.com, "AT+CMGR="), 0u);
    }
}

std::vector<Json::Value> EventsOf(const ModemSim& sim, const char* event, int com)
{
    std::vector<Json::Value> events;
    for (const Json::Value& e : sim.Events(event)) {
        if (e["com"].asInt() == com) {
            events.push_back(e);
        }
    }
    return events;
}

// GSM: one "message" per row with the whole text, its parts as "sms" events
// numbered 1..N under one reference, the international number as 86... 145.
void CheckGsmSends(const ModemSim& sim, const Model& model, const std::vector<SendRow>& rows)
{
    const std::vector<Json::Value> messages = EventsOf(sim, "message", model.com);
    const std::vector<Json::Value> parts = EventsOf(sim, "sms", model.com);
    ASSERT_EQ(messages.size(), rows.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SendRow& row = rows[i];
        SCOPED_TRACE(std::string(model.name) + ", " + row.label);
        const std::string number = row.international ? "8613912345678" : kNational;
        EXPECT_EQ(messages[i]["number"].asString(), number);
        EXPECT_EQ(messages[i]["text"].asString(), row.text);
        EXPECT_EQ(messages[i]["parts"].asInt(), row.parts);
        ASSERT_LE(next + row.parts, parts.size());
        for (int k = 1; k <= row.parts; ++k, ++next) {
            const Json::Value& sms = parts[next];
            EXPECT_EQ(sms["number"].asString(), number);
            if (row.international) {
                EXPECT_EQ(sms["toa"].asInt(), 145);
            } else {
                EXPECT_NE(sms["toa"].asInt(), 145);
            }
            EXPECT_EQ(sms["dcs"].asInt(), 8);
            if (row.parts == 1) {
                EXPECT_FALSE(sms.isMember("concat"));
                continue;
            }
            EXPECT_EQ(sms["concat"]["total"].asInt(), row.parts);
            EXPECT_EQ(sms["concat"]["part"].asInt(), k);
            EXPECT_EQ(sms["concat"]["ref"], parts[next + 1 - k]["concat"]["ref"]);
        }
    }
    EXPECT_EQ(next, parts.size());
}

// CDMA: every part is a message of its own ending in "(k/N)", N the number
// of parts actually sent; without the marks the parts give the text.
void CheckCdmaSends(const ModemSim& sim, const Model& model, const std::vector<SendRow>& rows)
{
    const std::vector<Json::Value> messages = EventsOf(sim, "message", model.com);
    std::size_t next = 0;
    for (const SendRow& row : rows) {
        SCOPED_TRACE(std::string(model.name) + ", " + row.label);
        ASSERT_LE(next + row.parts, messages.size());
        std::string joined;
        for (int k = 1; k <= row.parts; ++k, ++next) {
            const Json::Value& message = messages[next];
            EXPECT_EQ(message["number"].asString(), kNational);
            EXPECT_EQ(message["parts"].asInt(), 1);
            std::string text = message["text"].asString();
            if (row.parts > 1) {
                const std::string mark =
                    "(" + std::to_string(k) + "/" + std::to_string(row.parts) + ")";
                ASSERT_GE(text.size(), mark.size());
                EXPECT_EQ(text.substr(text.size() - mark.size()), mark);
                text.resize(text.size() - mark.size());
            }
            joined += text;
        }
        EXPECT_EQ(joined, row.text);
    }
    EXPECT_EQ(next, messages.size());
}

// Result lines with the blank after the colon, and without it.
class ModelRoutesE2E : public testing::TestWithParam<bool> {};

TEST_P(ModelRoutesE2E, EveryModelSendsEachTextAndReadsBothStorages)
{
    const std::vector<SendRow> rows = SendRows();
    ASSERT_EQ(Utf8Chars(rows[1].text).size(), 70u);
    ASSERT_EQ(Utf8Chars(rows[2].text).size(), 71u);
    ASSERT_EQ(rows[3].text.size(), 300u);
    ASSERT_GT(Utf8Chars(kNotice).size(), 134u) << "the SIM's long message needs a third part";

    ModemSim sim(SimConfig(GetParam()));
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    ScopedEnv ports("TELLMAR_SERIALCOMM", sim.Dir());
    std::vector<ModelRun> runs(std::size(kModels));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        threads.emplace_back(RunModel, std::cref(kModels[i]), std::cref(rows), std::ref(runs[i]));
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Model& model = kModels[i];
        const ModelRun& run = runs[i];
        SCOPED_TRACE(model.name);
        ASSERT_EQ(run.openError, "");
        ASSERT_EQ(run.sends.size(), rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            EXPECT_TRUE(run.sends[r].sent) << rows[r].label << ": " << run.sends[r].error;
        }
        if (model.cdma) {
            CheckCdmaSends(sim, model, rows);
        } else {
            CheckGsmSends(sim, model, rows);
        }

        CheckRoute(sim, model, rows, SimStorage().size() + MemoryStorage().size());

        const INBOX_READ_t& inbox = run.inbox;
        EXPECT_TRUE(inbox.bSmRead && inbox.bSmComplete);
        EXPECT_TRUE(inbox.bMeRead && inbox.bMeComplete);
        EXPECT_EQ(inbox.vecSmIndexes, (std::vector<int>{1, 2, 3, 4, 5}));
        EXPECT_EQ(inbox.vecMeIndexes, (std::vector<int>{1, 2, 3, 4, 5}));
        if (model.cdma) {
            EXPECT_EQ(AsUtf8(inbox.vecSm), CdmaExpected(SimStorage())) << "SIM";
            EXPECT_EQ(AsUtf8(inbox.vecMe), CdmaExpected(MemoryStorage())) << "modem memory";
        } else {
            EXPECT_EQ(AsUtf8(inbox.vecSm), GsmExpected(SimStorage(), kNotice)) << "SIM";
            EXPECT_EQ(AsUtf8(inbox.vecMe), GsmExpected(MemoryStorage(), kSevenBitLong))
                << "modem memory";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Framing, ModelRoutesE2E, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithoutTheBlank" : "WithTheBlank";
                         });

}  // namespace
