// The ports document end to end: the scan of every port, the script's twin
// of the console's port table.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "e2e/port_faults.h"
#include "e2e/tellmar_run.h"

namespace {

// Every model, one of no known model, one without SIM card, a silent port;
// COM20 is held by another program, COM21 leads to /dev/null and COM22 (as
// root) to a device that is gone.
const char* const kPorts = R"({"ports":[
  {"com":3,"model":"M35","bauds":[9600],"imei":"866104020000003","iccid":"89860012345678901233",
   "csq":"21,0","operator":"CHINA MOBILE"},
  {"com":4,"model":"CLM920_NC5","bauds":[115200],"imei":"357621097506004",
   "iccid":"89860318760203456704","operator":"CHINA TELECOM"},
  {"com":5,"model":"ME909s-821","imei":"867000000000005","iccid":"89860115881034567805"},
  {"com":6,"model":"MG301","imei":"867000000000006","iccid":"89860115881034567806",
   "operator":"CHINA UNICOM"},
  {"com":7,"model":"Q2406B","imei":"867000000000007","iccid":"89860115881034567807"},
  {"com":8,"model":"MC323","bauds":[115200],"iccid":"89860320245710000008",
   "phonebook":[{"index":1,"number":"802214417365008","type":129,"name":"WMSN"}]},
  {"com":9,"model":"unknown","iccid":"89860000000000000009"},
  {"com":10,"model":"M35","imei":"866104020000010"},
  {"com":11,"model":"silent"},
  {"com":20,"model":"M35","iccid":"89860012345678901220"}]})";

struct Port {
    int baud;
    const char* model;
    const char* imei;
    const char* iccid;
    const char* signal;
    const char* operatorName;
    const char* state;
    const char* reason;  // null: none
};

TEST(PortsCommandE2E, EveryModelAndEveryWayAPortCanFail)
{
    ModemSim sim(kPorts);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    HeldPort held(sim, 20);
    ASSERT_TRUE(held.Held());
    ASSERT_EQ(::symlink("/dev/null", (sim.Dir() + "/COM21").c_str()), 0);
    GonePort gone(sim, 22);

    const TellmarRun run = RunTellmar(sim, {"ports"});
    EXPECT_EQ(run.documentText.find("{\n   \"portcount\" : "), 0u) << "styled layout";
    const std::map<std::string, Port> expected = {
        {"COM3",
         {9600, "Quectel M35", "866104020000003", "89860012345678901233", "21,0", "CHINA MOBILE",
          "usable", nullptr}},
        {"COM4",
         {115200, "Yuga CLM920_NC5", "357621097506004", "89860318760203456704", "23,99",
          "CHINA TELECOM", "usable", nullptr}},
        {"COM5",
         {9600, "Huawei ME909s-821", "867000000000005", "89860115881034567805", "23,99",
          "CHINA MOBILE", "usable", nullptr}},
        {"COM6",
         {9600, "Huawei MG301", "867000000000006", "89860115881034567806", "23,99", "CHINA UNICOM",
          "usable", nullptr}},
        {"COM7",
         {9600, "Wavecom Q2406B", "867000000000007", "89860115881034567807", "23,99",
          "CHINA MOBILE", "usable", nullptr}},
        {"COM8",
         {115200, "Huawei MC323 (CDMA)", "802214417365008", "89860320245710000008", "23,99",
          "CHINA TELECOM", "usable", nullptr}},
        {"COM9",
         {9600, "", "866000000000009", "89860000000000000009", "23,99", "CHINA MOBILE",
          "unknown model", "unknown model"}},
        {"COM10", {9600, "Quectel M35", "866104020000010", "", "", "", "no SIM", "no SIM card"}},
        {"COM11", {115200, "", "", "", "", "", "not AT", "no answer"}},
        {"COM20", {0, "", "", "", "", "", "busy", "Code:16   Device or resource busy"}},
        {"COM21",
         {0, "", "", "", "", "", "not opened", "Code:25   Inappropriate ioctl for device"}},
        {"COM22", {0, "", "", "", "", "", "not found", "Code:6   No such device or address"}},
    };
    const Json::Value& ports = run.document["ports"];
    EXPECT_EQ(run.document["portcount"].asUInt(), ports.size());
    ASSERT_EQ(ports.size(), gone.Made() ? expected.size() : expected.size() - 1)
        << run.documentText;
    for (const Json::Value& port : ports) {
        const std::string com = port["com"].asString();
        SCOPED_TRACE(com);
        ASSERT_EQ(expected.count(com), 1u);
        const Port& e = expected.at(com);
        EXPECT_EQ(port["baud"].asInt(), e.baud);
        EXPECT_EQ(port["model"].asString(), e.model);
        EXPECT_EQ(port["imei"].asString(), e.imei);
        EXPECT_EQ(port["iccid"].asString(), e.iccid);
        EXPECT_EQ(port["signal"].asString(), e.signal);
        EXPECT_EQ(port["operator"].asString(), e.operatorName);
        EXPECT_EQ(port["state"].asString(), e.state);
        EXPECT_EQ(port.isMember("reason"), e.reason != nullptr);
        if (e.reason != nullptr) {
            EXPECT_EQ(port["reason"].asString(), e.reason);
        }
        EXPECT_FALSE(port.isMember("samemodem"));
    }
    // In port order, every port of the scan.
    EXPECT_EQ(ports[0]["com"].asString(), "COM3");
    EXPECT_EQ(ports[ports.size() - 1]["com"].asString(), gone.Made() ? "COM22" : "COM21");

    // The one-line form: the same document.
    const TellmarRun compact = RunTellmar(sim, {"sports"});
    EXPECT_EQ(compact.documentText.rfind("{\"portcount\":", 0), 0u);
    EXPECT_EQ(compact.documentText.find('\n'), compact.documentText.size() - 2);
    EXPECT_EQ(compact.document, run.document);
    EXPECT_TRUE(sim.Events("sms").empty());
    EXPECT_TRUE(CommandsStartingWith(sim, 3, "AT+CMGL").empty()) << "a scan, nothing more";
}

}  // namespace
