// The SIM and the network in the simulator: the PIN and its attempts in each
// module family's commands, what a locked SIM refuses, USSD answers in each
// form, and status reports on sends that asked for one.

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "sim_line.h"
#include "support/modem_sim.h"

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string Port(int com, const std::string& model, const std::string& extra = "")
{
    return "{\"com\":" + std::to_string(com) + ",\"model\":\"" + model +
           "\",\"echo\":false,\"bauds\":[9600],\"iccid\":\"8986001234567890123" +
           std::to_string(com % 10) + "\"" + extra + "}";
}

// A reply that is complete at a line of its own (the state line of Wavecom,
// which no OK follows; a late +CUSD line).
std::string CommandUntil(SimLine& line, const std::string& command, const std::string& last)
{
    line.Send(command);
    return line.ReadUntil(last, 3000);
}

TEST(SimulatorSim, PinAttemptsCountDownToThePuk)
{
    ModemSim sim("{\"ports\":[" + Port(3, "M35", ",\"pin\":\"1234\"") + "," +
                 Port(5, "ME909s-821", ",\"pin\":\"1234\",\"pin_attempts\":0") + "," +
                 Port(6, "Q2406B", ",\"pin\":\"4321\"") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine m35;
    ASSERT_TRUE(m35.Open(sim.PortPath(3), B9600));
    m35.Command("AT+CMEE=1\r");
    EXPECT_EQ(m35.Command("AT+CPIN?\r"), "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
    // A locked SIM gives its ICCID and the signal, and nothing that needs
    // the network or the PIN.
    EXPECT_TRUE(Has(m35.Command("AT+CCID\r"), "+CCID:"));
    EXPECT_TRUE(Has(m35.Command("AT+CSQ\r"), "+CSQ: 23,99"));
    EXPECT_EQ(m35.Command("AT+COPS?\r"), "\r\n+COPS: 0\r\n\r\nOK\r\n");
    EXPECT_EQ(m35.Command("AT+CSCA?\r"), "\r\n+CME ERROR: 11\r\n");
    EXPECT_EQ(m35.Command("AT+CMGL=4\r"), "\r\n+CMS ERROR: 311\r\n");
    EXPECT_EQ(m35.Command("AT+QTRPIN\r"), "\r\n+QTRPIN: 3,3,10,10\r\n\r\nOK\r\n");
    EXPECT_EQ(m35.Command("AT+CPIN=\"0000\"\r"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(m35.Command("AT+QTRPIN\r"), "\r\n+QTRPIN: 2,3,10,10\r\n\r\nOK\r\n");
    EXPECT_EQ(m35.Command("AT+CPIN=\"1111\"\r"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(m35.Command("AT+CPIN=\"2222\"\r"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(m35.Command("AT+CPIN?\r"), "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n");
    EXPECT_EQ(m35.Command("AT+CPIN=\"1234\"\r"), "\r\n+CME ERROR: 12\r\n")
        << "the right PIN no longer helps";
    EXPECT_EQ(m35.Command("AT+CMGL=4\r"), "\r\n+CMS ERROR: 316\r\n");
    EXPECT_EQ(m35.Command("AT+CPIN=\"12345678\",\"5678\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(m35.Command("AT+CPIN?\r"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
    EXPECT_TRUE(Has(m35.Command("AT+CSCA?\r"), "+CSCA: \"+8613800100500\",145"));
    EXPECT_EQ(m35.Command("AT+CPIN=\"5678\"\r"), "\r\n+CME ERROR: 3\r\n") << "nothing to enter";

    SimLine huawei;
    ASSERT_TRUE(huawei.Open(sim.PortPath(5), B9600));
    huawei.Command("AT+CMEE=1\r");
    EXPECT_EQ(huawei.Command("AT^CPIN?\r"), "\r\n^CPIN: SIM PUK,10,10,0,10,3\r\n\r\nOK\r\n");
    EXPECT_EQ(huawei.Command("AT+QTRPIN\r"), "\r\n+CME ERROR: 100\r\n") << "not its family's";

    SimLine wavecom;
    ASSERT_TRUE(wavecom.Open(sim.PortPath(6), B9600));
    wavecom.Command("AT+CMEE=1\r");
    // The state line alone: no OK follows it.
    EXPECT_EQ(CommandUntil(wavecom, "AT+CPIN?\r", "SIM PIN\r\n") + wavecom.ReadFor(300),
              "\r\n+CPIN: SIM PIN\r\n");
    EXPECT_EQ(wavecom.Command("AT+CPINC\r"), "\r\n+CPINC: 3,3,10,10\r\n\r\nOK\r\n");
    EXPECT_EQ(wavecom.Command("AT+CPIN=4321\r"), "\r\nOK\r\n");

    std::vector<bool> accepted;
    for (const Json::Value& e : sim.Events("pin")) {
        accepted.push_back(e["accepted"].asBool());
    }
    EXPECT_EQ(accepted, (std::vector<bool>{false, false, false, true, true}));
}

TEST(SimulatorNetwork, UssdAnswersInEachForm)
{
    const std::string answers =
        ",\"ussd\":["
        "{\"code\":\"*100#\",\"text\":\"Balance 1.23\",\"form\":\"packed\"},"
        "{\"code\":\"*101#\",\"text\":\"Balance\",\"form\":\"packed\"},"
        "{\"code\":\"*102#\",\"text\":\"余额5元\",\"form\":\"ucs2\"},"
        "{\"code\":\"*103#\",\"text\":\"1 Balance\\n2 Bonus\",\"status\":1},"
        "{\"code\":\"*104#\",\"text\":\"Saldo\",\"ok_first\":true,\"delay_ms\":400}]";
    ModemSim sim("{\"ports\":[" + Port(3, "MG301", answers) + "," +
                 Port(6, "Q2406B", answers + ",\"charset\":\"UCS2\"") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    line.Command("AT+CMEE=1\r");
    EXPECT_EQ(line.Command("AT+CSCS?\r"), "\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n");
    // Packed septets as 3GPP TS 23.038 6.1.2.3 has them (python3-gammu reads
    // these octets back to the text), the seven spare bits of a text of
    // 8n-1 characters filled with <CR>.
    EXPECT_EQ(line.Command("AT+CUSD=1,\"*100#\",15\r"),
              "\r\n+CUSD: 0,\"C2303BEC1E974131976C06\",15\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+CUSD=1,\"*101#\",15\r"),
              "\r\n+CUSD: 0,\"C2303BEC1E971B\",15\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+CUSD=1,\"*102#\",15\r"),
              "\r\n+CUSD: 0,\"4F59989D00355143\",72\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+CUSD=1,\"*103#\",15\r"),
              "\r\n+CUSD: 1,\"1 Balance\n2 Bonus\",15\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+CUSD=2\r"), "\r\nOK\r\n");
    EXPECT_EQ(sim.Events("ussd_end").size(), 1u);
    const std::string late = CommandUntil(line, "AT+CUSD=1,\"*104#\",15\r", "15\r\n");
    EXPECT_EQ(late, "\r\nOK\r\n\r\n+CUSD: 0,\"Saldo\",15\r\n");
    EXPECT_EQ(CommandUntil(line, "AT+CUSD=1,\"*999#\",15\r", "+CUSD: 4\r\n"),
              "\r\nOK\r\n\r\n+CUSD: 4\r\n")
        << "a code the network does not know";

    // Wavecom: OK first; in the UCS2 character set a plain text is UCS-2 hex.
    SimLine wavecom;
    ASSERT_TRUE(wavecom.Open(sim.PortPath(6), B9600));
    EXPECT_EQ(CommandUntil(wavecom, "AT+CUSD=1,\"*104#\",15\r", "15\r\n"),
              "\r\nOK\r\n\r\n+CUSD: 0,\"00530061006C0064006F\",15\r\n");

    std::vector<std::string> codes;
    for (const Json::Value& e : sim.Events("ussd")) {
        codes.push_back(e["code"].asString() + "/" + e["dcs"].asString());
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"*100#/15", "*101#/15", "*102#/15", "*103#/15",
                                               "*104#/15", "*999#/15", "*104#/15"}));
}

// The SUBMIT of "AB" to 13800138000 with TP-SRR (first octet 0x31), and
// without it (0x11).
const std::string kAsking = "0031000B813108108300F00008AA0400410042";
const std::string kPlain = "0011000B813108108300F00008AA0400410042";

std::string Submit(SimLine& line, const std::string& pdu)
{
    line.Command("AT+CMGS=18\r");
    return line.Command(pdu + "\x1A");
}

TEST(SimulatorNetwork, StatusReportsOfTheSendsThatAskForThem)
{
    ModemSim sim("{\"ports\":[" + Port(3, "M35", ",\"status_reports\":\"store\",\"mr\":40") + "," +
                 Port(6, "Q2406B", ",\"status_reports\":\"store\",\"report_tp_st\":70") + "," +
                 Port(7, "MG301", ",\"status_reports\":\"cds\"") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    // The M35 keeps the report on the SIM; its TP-MR is the +CMGS reference.
    SimLine m35;
    ASSERT_TRUE(m35.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(Submit(m35, kPlain), "\r\n+CMGS: 40\r\n\r\nOK\r\n");
    EXPECT_EQ(Submit(m35, kAsking), "\r\n+CMGS: 41\r\n\r\nOK\r\n");
    EXPECT_EQ(m35.Command("AT+CPMS=?\r"),
              "\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")\r\n\r\nOK\r\n");
    m35.Command("AT+CPMS=\"SM\"\r");
    const std::string listed = m35.Command("AT+CMGL=4\r");
    // SCA 0891683108100005F0, first octet 06, TP-MR 29 (41), recipient
    // 0B 81 3108108300F0, two time stamps, TP-ST 00.
    EXPECT_TRUE(Has(listed, "+CMGL: 1,0,,25\r\n0891683108100005F006290B813108108300F0")) << listed;
    EXPECT_EQ(listed.substr(listed.find("\r\n\r\nOK") - 2, 2), "00");
    std::vector<Json::Value> sms = sim.Events("sms");
    ASSERT_EQ(sms.size(), 2u);
    EXPECT_FALSE(sms[0].isMember("report"));
    EXPECT_TRUE(sms[1]["report"].asBool());

    // The Wavecom keeps it in its storage of reports.
    SimLine wavecom;
    ASSERT_TRUE(wavecom.Open(sim.PortPath(6), B9600));
    wavecom.Command("AT+CMEE=1\r");
    EXPECT_EQ(Submit(wavecom, kAsking), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(wavecom.Command("AT+CPMS=?\r"),
              "\r\n+CPMS: ((\"SM\",\"ME\",\"SR\"),(\"SM\",\"ME\"))\r\n\r\nOK\r\n");
    EXPECT_TRUE(Has(wavecom.Command("AT+CPMS=\"SR\"\r"), "OK"));
    const std::string reports = wavecom.Command("AT+CMGL=4\r");
    EXPECT_TRUE(Has(reports, "0891683108100005F006010B813108108300F0")) << reports;
    EXPECT_EQ(reports.substr(reports.find("\r\n\r\nOK") - 2, 2), "46") << "TP-ST 70";
    EXPECT_EQ(wavecom.Command("AT+CPMS=\"ME\",\"SR\"\r"), "\r\n+CMS ERROR: 302\r\n")
        << "reports are never written";

    // The MG301 routes it as +CDS once AT+CNMI asks for that, else drops it.
    SimLine mg301;
    ASSERT_TRUE(mg301.Open(sim.PortPath(7), B9600));
    EXPECT_EQ(Submit(mg301, kAsking), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(mg301.Command("AT+CNMI=2,1,0,1,0\r"), "\r\nOK\r\n");
    mg301.Command("AT+CMGS=18\r");
    mg301.Send(kAsking + "\x1A");
    const std::string routed = mg301.ReadUntil("\r\n+CDS: 25\r\n", 3000) + mg301.ReadFor(300);
    EXPECT_TRUE(Has(routed, "\r\n+CMGS: 2\r\n\r\nOK\r\n\r\n+CDS: 25\r\n0891683108100005F006020B81"))
        << routed;

    std::vector<std::string> where;
    for (const Json::Value& e : sim.Events("status_report")) {
        where.push_back(std::to_string(e["mr"].asInt()) + ":" +
                        (e.isMember("storage") ? e["storage"].asString()
                         : e.isMember("cds")   ? std::string("cds")
                                               : std::string("dropped")));
    }
    EXPECT_EQ(where, (std::vector<std::string>{"41:SM", "1:SR", "1:dropped", "2:cds"}));
}

}  // namespace
