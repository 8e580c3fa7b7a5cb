// The simulator's line behaviour: rates, echo, silence, state across runs,
// hostile input, configuration errors and many ports at once.

#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim_line.h"
#include "support/modem_sim.h"
#include "support/process.h"

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(SimulatorLine, AnswersOnlyAtItsRates)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"CLM920_NC5","bauds":[115200]},
                              {"com":4,"model":"M35","bauds":[9600],"wrong_baud":"silent"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine garbled;
    ASSERT_TRUE(garbled.Open(sim.PortPath(3), B9600));
    garbled.Send("AT\r");
    std::string noise = garbled.ReadFor(300);
    EXPECT_FALSE(noise.empty());
    EXPECT_FALSE(Has(noise, "OK"));
    for (char c : noise)
        EXPECT_GE(static_cast<unsigned char>(c), 0x80);
    SimLine quiet;
    ASSERT_TRUE(quiet.Open(sim.PortPath(4), B115200));
    quiet.Send("AT\r");
    EXPECT_EQ(quiet.ReadFor(300), "");

    ASSERT_TRUE(garbled.Open(sim.PortPath(3), B115200));
    EXPECT_EQ(garbled.Command("AT\r"), "AT\r\r\nOK\r\n");
    std::vector<Json::Value> wrong = sim.Events("wrong_baud");
    ASSERT_EQ(wrong.size(), 2u);
    EXPECT_EQ(wrong[0]["com"].asInt(), 3);
    EXPECT_EQ(wrong[0]["baud"].asInt(), 9600);
    EXPECT_TRUE(sim.Commands(3) == std::vector<std::string>{"AT"});
}

TEST(SimulatorLine, EchoFollowsAte)
{
    ModemSim sim(
        R"({"ports":[{"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901234"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(line.Command("AT+CGSN\r"), "AT+CGSN\r\r\n866000000000003\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("at+csq\r\n"), "at+csq\r\n\r\n+CSQ: 23,99\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+CGSN\r"), "\r\n866000000000003\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT+NOSUCH\r"), "\r\nERROR\r\n");
    line.Command("AT+CMEE=1\r");
    EXPECT_EQ(line.Command("AT+NOSUCH\r"), "\r\n+CME ERROR: 100\r\n");
    EXPECT_EQ(line.Command("ATE1\r"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT\r"), "AT\r\r\nOK\r\n");
    EXPECT_TRUE(sim.Commands(3) ==
                (std::vector<std::string>{"AT+CGSN", "at+csq", "ATE0", "AT+CGSN", "AT+NOSUCH",
                                          "AT+CMEE=1", "AT+NOSUCH", "ATE1", "AT"}));
}

TEST(SimulatorLine, SilentModemLogsButNeverAnswers)
{
    ModemSim sim(R"({"ports":[{"com":9,"model":"silent"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(9), B9600));
    line.Send("AT\r");
    EXPECT_EQ(line.ReadFor(300), "");
    ASSERT_TRUE(line.Open(sim.PortPath(9), B115200));
    line.Send("AT\r");
    EXPECT_EQ(line.ReadFor(300), "");
    EXPECT_EQ(sim.Commands(9).size(), 2u);
}

// The exclusive mode of a tty as a fresh descriptor sees it (root may open an
// exclusive tty); -1 when the port cannot be opened.
int ExclusiveMode(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int exclusive = -1;
    ioctl(fd, TIOCGEXCL, &exclusive);
    close(fd);
    return exclusive;
}

// A program killed while it held a port exclusively never clears the mode;
// the simulator keeps the tty open, so it would stay and every later program
// would find the port busy. Like a real device on its last close, the
// simulator clears it once no program has the port open, and not before.
TEST(SimulatorLine, ExclusiveModeEndsWhenTheLastProgramLetsGo)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "looking at an exclusive tty needs root";
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string port = sim.PortPath(3);
    const int holder = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
    // Other opens and closes meanwhile leave the holder's mode alone.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(ExclusiveMode(port), 1);
    }
    usleep(200 * 1000);
    EXPECT_EQ(ExclusiveMode(port), 1);

    close(holder);  // as a killed program's descriptors are closed
    int exclusive = 1;
    for (int waited = 0; waited < 5000 && exclusive != 0; waited += 20) {
        usleep(20 * 1000);
        exclusive = ExclusiveMode(port);
    }
    EXPECT_EQ(exclusive, 0);
}

TEST(SimulatorLine, PhoneBookAndModeSurviveARestart)
{
    const std::string config = R"({"ports":[
        {"com":4,"model":"CLM920_NC5","echo":false,"iccid":"89860318760203456789"},
        {"com":6,"model":"MC323","echo":false,"iccid":"89860320245710000006"}]})";
    ModemSim sim(config);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    {
        SimLine cdma;
        ASSERT_TRUE(cdma.Open(sim.PortPath(6), B115200));
        // The probe's pattern: CPBS without a read of its own, then CPBR.
        // The two replies may come in one read or two: read until the second.
        cdma.Send("AT+CPBS=\"ME\"\r");
        cdma.Send("AT^CPBR=1\r");
        EXPECT_EQ(cdma.ReadUntil("ERROR\r\n", 3000), "\r\nOK\r\n\r\nERROR\r\n");
        EXPECT_EQ(cdma.Command("AT^CPBW=1,\"315427690812734\",129,\"WMSN\"\r"), "\r\nOK\r\n");
        SimLine clm;
        ASSERT_TRUE(clm.Open(sim.PortPath(4), B9600));
        EXPECT_EQ(clm.Command("AT^MODECONFIG?\r"), "\r\n^MODECONFIG: 2\r\n\r\nOK\r\n");
        EXPECT_EQ(clm.Command("AT^MODECONFIG=22\r"), "\r\nOK\r\n");
    }
    EXPECT_EQ(sim.Events("phonebook").size(), 1u);
    ASSERT_EQ(sim.Events("modeconfig").size(), 1u);
    EXPECT_EQ(sim.Events("modeconfig")[0]["value"].asInt(), 22);

    ASSERT_TRUE(sim.Restart()) << sim.LastError();
    SimLine cdma;
    ASSERT_TRUE(cdma.Open(sim.PortPath(6), B115200));
    cdma.Command("AT+CMEE=1\r");
    EXPECT_EQ(cdma.Command("AT^CPBR=1\r"),
              "\r\n^CPBR: 1,\"315427690812734\",129,\"WMSN\"\r\n\r\nOK\r\n");
    EXPECT_EQ(cdma.Command("AT^CPBR=2\r"), "\r\n+CME ERROR: 22\r\n");
    SimLine clm;
    ASSERT_TRUE(clm.Open(sim.PortPath(4), B9600));
    EXPECT_EQ(clm.Command("AT^MODECONFIG?\r"), "\r\n^MODECONFIG: 22\r\n\r\nOK\r\n");

    // A second fixture on the same files sees the same state.
    sim.Stop();
    ModemSim again(config, sim.Root());
    ASSERT_TRUE(again.Start()) << again.LastError();
    ASSERT_TRUE(cdma.Open(again.PortPath(6), B115200));
    EXPECT_TRUE(Has(cdma.Command("AT^CPBR=1\r"), "315427690812734"));
}

// A USB modem whose modem and PC UI ports both answer AT: one module, its
// identity and its storages the same through either port.
TEST(SimulatorLine, TwoPortsOfOneModuleShareItsIdentityAndStorages)
{
    ModemSim sim(R"({"ports":[
      {"com":3,"model":"ME909s-821","imei":"867000000000003","iccid":"89860000000000000003",
       "storage":{"SM":[{"index":1,"from":"10086","time":"24-05-01 09:30:00","text":"one"},
                        {"index":2,"from":"10086","time":"24-05-01 09:31:00","text":"two"}]}},
      {"com":4,"same_modem_as":3,"bauds":[115200],"echo":false},
      {"com":5,"model":"ME909s-821","iccid":"89860000000000000005"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine first;
    SimLine second;
    SimLine other;
    ASSERT_TRUE(first.Open(sim.PortPath(3), B9600));
    ASSERT_TRUE(second.Open(sim.PortPath(4), B115200));
    ASSERT_TRUE(other.Open(sim.PortPath(5), B9600));
    for (const char* command : {"AT+CGSN\r", "AT^ICCID?\r", "AT+CGMM\r"}) {
        SCOPED_TRACE(command);
        const std::string one = first.Command(command);
        const std::string two = second.Command(command);
        EXPECT_TRUE(Has(one, "OK")) << one;
        // The second port has echo off; the answer is the same.
        EXPECT_EQ(one.substr(one.find("\r\n")), two) << two;
    }
    EXPECT_TRUE(Has(second.Command("AT+CGSN\r"), "867000000000003"));
    EXPECT_FALSE(Has(other.Command("AT+CGSN\r"), "867000000000003"));

    // A deletion through one port is gone through the other.
    EXPECT_TRUE(Has(second.Command("AT+CPMS=\"SM\"\r"), "OK"));
    EXPECT_TRUE(Has(second.Command("AT+CMGD=1\r"), "OK"));
    EXPECT_TRUE(Has(first.Command("AT+CPMS=\"SM\"\r"), "+CPMS: 1,"));
    const std::string listing = first.Command("AT+CMGL=4\r");
    EXPECT_FALSE(Has(listing, "+CMGL: 1,")) << listing;
    EXPECT_TRUE(Has(listing, "+CMGL: 2,")) << listing;
    // Each port logs what came in on it.
    ASSERT_EQ(sim.Events("delete").size(), 1u);
    EXPECT_EQ(sim.Events("delete")[0]["com"].asInt(), 4);
}

TEST(SimulatorLine, HostileInputIsBoundedAndLeavesTheModemUsable)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","echo":false,"iccid":"89860012345678901234"},
                              {"com":6,"model":"MC323","echo":false,"iccid":"89860320245710000006"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine gsm;
    ASSERT_TRUE(gsm.Open(sim.PortPath(3), B9600));
    gsm.Command("AT+CMEE=1\r");
    EXPECT_EQ(gsm.Command("AT" + std::string(5000, 'X') + "\r"), "\r\nERROR\r\n");
    EXPECT_EQ(gsm.Command("AT+CMGS=2000\r"), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(gsm.Command("AT+CMGS=20\r"), "\r\n> ");
    EXPECT_EQ(gsm.Command(std::string(1000, '0')), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(gsm.Command("AT+CMGS=20\r"), "\r\n> ");
    EXPECT_EQ(gsm.Command("0011\x1B"), "\r\nOK\r\n");  // ESC: nothing sent
    gsm.Send(std::string("\0\xFF\x1A\r", 4));
    EXPECT_EQ(gsm.ReadFor(100), "");
    EXPECT_EQ(gsm.Command("AT+CMGR=\r"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(gsm.Command("AT+CMGD=1,9\r"), "\r\n+CMS ERROR: 302\r\n");
    EXPECT_EQ(gsm.Command("AT\r"), "\r\nOK\r\n");

    SimLine cdma;
    ASSERT_TRUE(cdma.Open(sim.PortPath(6), B115200));
    EXPECT_EQ(cdma.Command("AT^HCMGS=\"10086\"\r"), "\r\n> ");
    EXPECT_EQ(cdma.Command(std::string(3000, 'A')), "\r\nERROR\r\n");
    EXPECT_EQ(cdma.Command("AT^CPBW=999,\"1\",129,\"X\"\r"), "\r\nERROR\r\n");
    EXPECT_EQ(cdma.Command("AT\r"), "\r\nOK\r\n");
    EXPECT_TRUE(sim.Events("sms").empty());
    EXPECT_EQ(sim.Events("sms_rejected").size(), 2u);
    EXPECT_EQ(sim.Commands(3)[4], "AT+CMGS=20");
}

TEST(SimulatorProgram, BadConfigurationsAreRefusedWithAReason)
{
    struct Case {
        const char* config;
        const char* reason;
    };
    const Case cases[] = {
        {"{", "not valid JSON"},
        {R"({"ports":[{"com":3,"model":"M36"}]})", "model"},
        {R"({"ports":[{"com":3,"model":"M35"},{"com":3,"model":"MG301"}]})",
         "COM3 is configured twice"},
        {R"({"ports":[{"com":3,"model":"M35","faults":{"delay":5}}]})", "unknown key \"delay\""},
        {u8R"({"ports":[{"com":3,"model":"M35","storage":{"SM":[{"from":"10086","text":"€","dcs":0,
            "time":"24-1-1 00:00:00"}]}}]})",
         "time"},
        {R"({"ports":[{"com":6,"model":"MC323","storage":{"SM":[{"status":3,"to":"10086",
            "text":"Hi","time":"soon"}]}}]})",
         "time must read YY-MM-DD hh:mm:ss: soon"},
        {R"({"ports":[{"com":3,"model":"M35","storage":{"SM":[{"from":"10086","dcs":8,
            "text":"0123456789012345678901234567890123456789012345678901234567890123456789X"}]}}]})",
         "longer than one message"},
        {R"({"ports":[{"com":3,"model":"M35","storage":{"SM":[{"index":1,"pdu":"00"},{"index":1,"pdu":"00"}]}}]})",
         "used twice"},
        {R"({"ports":[{"com":3,"model":"M35","faults":{"trickle":{"from":"AT","every_ms":0}}}]})",
         "faults.trickle"},
        {R"({"ports":[{"com":3,"model":"M35","faults":{"cms_error_body_numbers":[0]}}]})",
         "faults.cms_error_body_numbers"},
        {R"({"ports":[{"com":3,"model":"M35","faults":{"return_after_ms":100}}]})",
         "faults.return_after_ms: needs a vanish"},
        {R"({"ports":[{"com":3,"model":"M35","arrivals":[{"from":"1","text":"a","storage":"SR"}]}]})",
         "arrivals[0].storage: must be \"SM\" or \"ME\""},
        {R"({"ports":[{"com":3,"model":"M35","arrivals":[{"status":2,"to":"1","text":"a"}]}]})",
         "arrivals[0].status: an arrival is received"},
        {R"({"ports":[{"com":3,"model":"M35","arrivals":[{"from":"1","text":"a","after_ms":-5}]}]})",
         "arrivals[0].after_ms"},
        {R"({"ports":[{"com":3,"model":"M35"},{"com":4,"same_modem_as":5}]})",
         "port COM4: same_modem_as: must be the number of another port"},
        {R"({"ports":[{"com":3,"model":"M35"},{"com":4,"same_modem_as":4}]})",
         "port COM4: same_modem_as"},
        {R"({"ports":[{"com":3,"model":"M35"},{"com":4,"same_modem_as":3,"iccid":"8986"}]})",
         "not \"iccid\""},
        {R"({"ports":[{"com":3,"model":"M35"},{"com":4,"same_modem_as":3},
                      {"com":5,"same_modem_as":4}]})",
         "port COM5: same_modem_as: must be the number of another port that is no further port"},
    };
    char dir[] = "/tmp/tellmar-simcfg-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string configPath = std::string(dir) + "/config.json";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config);
        std::ofstream(configPath, std::ios::trunc) << c.config;
        ProcessResult r = RunProcess(
            {TELLMAR_MODEMSIM, "--config", configPath, "--dir", std::string(dir) + "/ports"}, {},
            "", 10);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Has(r.err, c.reason)) << r.err;
    }
    ProcessResult usage = RunProcess({TELLMAR_MODEMSIM, "--config"}, {}, "", 10);
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(Has(usage.err, "usage:"));
    EXPECT_EQ(usage.out, "");
    // Asked for, the help is the answer: on standard output, status 0.
    for (const char* help : {"--help", "-h"}) {
        ProcessResult asked = RunProcess({TELLMAR_MODEMSIM, help}, {}, "", 10);
        EXPECT_EQ(asked.exitCode, 0) << help;
        EXPECT_TRUE(Has(asked.out, "usage: tellmar-modemsim --config CFG.json --dir DIR"));
        EXPECT_TRUE(Has(asked.out, "--until-stdin-eof"));
        EXPECT_EQ(asked.err, "");
    }
    std::remove(configPath.c_str());
    rmdir((std::string(dir) + "/ports").c_str());
    rmdir(dir);
}

// The simulator makes links and rewrites its log and state in its folder: a
// folder that another user could change is refused, as the program refuses
// it, and so is one that is no folder.
TEST(SimulatorProgram, AFolderOthersCouldChangeIsRefused)
{
    char dir[] = "/tmp/tellmar-simdir-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string root = dir;
    std::ofstream(root + "/config.json") << R"({"ports":[{"com":3,"model":"M35"}]})";
    ASSERT_EQ(mkdir((root + "/shared").c_str(), 0777), 0);
    ASSERT_EQ(chmod((root + "/shared").c_str(), 0777), 0);
    // A private folder below one that others may write (and that is not
    // sticky): they could move it away and put another in its place.
    ASSERT_EQ(mkdir((root + "/shared/mine").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((root + "/sticky").c_str(), 0777), 0);
    ASSERT_EQ(chmod((root + "/sticky").c_str(), 01777), 0);
    ASSERT_EQ(mkdir((root + "/sticky/mine").c_str(), 0700), 0);
    std::ofstream(root + "/file") << "";
    const struct {
        const char* folder;
        const char* why;
    } cases[] = {
        {"/shared", "only this user may write"},
        {"/shared/mine", "above it can be written by other users"},
        {"/shared/new", "above it can be written by other users"},  // made, then refused
        {"/file", "not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        ProcessResult r = RunProcess({TELLMAR_MODEMSIM, "--config", root + "/config.json", "--dir",
                                      root + c.folder, "--until-stdin-eof"},
                                     {}, "", 10);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Has(r.err, c.why)) << r.err;
        EXPECT_NE(access((root + c.folder + "/COM3").c_str(), F_OK), 0);
    }
    // Below a sticky folder (as /tmp) a private folder is safe.
    ProcessResult sticky = RunProcess({TELLMAR_MODEMSIM, "--config", root + "/config.json", "--dir",
                                       root + "/sticky/mine", "--until-stdin-eof"},
                                      {}, "", 10);
    EXPECT_EQ(sticky.exitCode, 0) << sticky.err;
    EXPECT_EQ(sticky.out, "READY\n");
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

TEST(SimulatorProgram, MalformedStateFilesAreRefusedWithAReason)
{
    const char* const states[] = {
        R"({"ports":{"3":7}})",
        R"({"ports":{"3":{"phonebook":[]}}})",
        R"({"ports":{"3":{"phonebook":{"ME":5}}}})",
        R"({"ports":{"3":{"phonebook":{"ME":{"1":"10086"}}}}})",
        R"({"ports":{"3":{"phonebook":{"ME":{"1":{"number":["10086"]}}}}}})",
        R"({"ports":{"3":{"phonebook":{"ME":{"1":{"number":"10086","type":"129"}}}}}})",
        R"({"ports":{"3":{"phonebook":{"ME":{"1":{"number":"10086","name":{}}}}}}})",
    };
    char dir[] = "/tmp/tellmar-simstate-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string root = dir;
    std::ofstream(root + "/config.json") << R"({"ports":[{"com":3,"model":"MC323"}]})";
    for (const char* state : states) {
        SCOPED_TRACE(state);
        std::ofstream(root + "/state.json", std::ios::trunc) << state;
        ProcessResult r =
            RunProcess({TELLMAR_MODEMSIM, "--config", root + "/config.json", "--dir",
                        root + "/ports", "--state", root + "/state.json", "--until-stdin-eof"},
                       {}, "", 10);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Has(r.err, "is not a state file")) << r.err;
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

TEST(SimulatorProgram, EndOfInputStopsItAndRemovesTheLinks)
{
    char dir[] = "/tmp/tellmar-simeof-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string root = dir;
    std::ofstream(root + "/config.json")
        << R"({"ports":[{"com":3,"model":"M35"},{"com":12,"model":"silent"}]})";
    ProcessResult r = RunProcess({TELLMAR_MODEMSIM, "--config", root + "/config.json", "--dir",
                                  root + "/ports", "--until-stdin-eof"},
                                 {}, "", 10);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "READY\n");
    EXPECT_NE(access((root + "/ports/COM3").c_str(), F_OK), 0);
    EXPECT_NE(access((root + "/ports/COM12").c_str(), F_OK), 0);
    // Log and state go into the port folder unless named, for their owner
    // alone, also a log an earlier run left readable.
    struct stat log {};
    ASSERT_EQ(stat((root + "/ports/modemsim-log.jsonl").c_str(), &log), 0);
    EXPECT_EQ(log.st_mode & 07777, 0600u);
    ASSERT_EQ(chmod((root + "/ports/modemsim-log.jsonl").c_str(), 0644), 0);
    std::ofstream(root + "/config.json", std::ios::trunc)
        << R"({"ports":[{"com":3,"model":"CLM920_NC5","iccid":"8986","modeconfig":22}]})";
    r = RunProcess({TELLMAR_MODEMSIM, "--config", root + "/config.json", "--dir", root + "/ports",
                    "--until-stdin-eof"},
                   {}, "", 10);
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_EQ(stat((root + "/ports/modemsim-log.jsonl").c_str(), &log), 0);
    EXPECT_EQ(log.st_mode & 07777, 0600u);
    struct stat state {};
    ASSERT_EQ(stat((root + "/ports/modemsim-state.json").c_str(), &state), 0);
    EXPECT_EQ(state.st_mode & 07777, 0600u);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

TEST(SimulatorProgram, ServesThreeHundredPorts)
{
    Json::Value root;
    for (int com = 1; com <= 300; ++com) {
        Json::Value port;
        port["com"] = com;
        port["model"] = com % 2 ? "M35" : "MC323";
        port["echo"] = false;
        root["ports"].append(port);
    }
    ModemSim sim(Json::writeString(Json::StreamWriterBuilder(), root));
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    std::vector<SimLine> lines(300);
    for (int com = 1; com <= 300; ++com) {
        ASSERT_TRUE(lines[com - 1].Open(sim.PortPath(com), B9600)) << com;
        lines[com - 1].Send("AT\r");
    }
    for (int com = 1; com <= 300; ++com) {
        ASSERT_EQ(lines[com - 1].ReadUntilComplete(3000), "\r\nOK\r\n") << com;
    }
    for (auto& line : lines)
        line.Close();
    sim.Stop();
    EXPECT_NE(access(sim.PortPath(1).c_str(), F_OK), 0);
}

TEST(ProcessRunner, FeedsInputSetsEnvironmentAndKillsAtTheTimeout)
{
    ProcessResult cat = RunProcess({"/bin/sh", "-c", "cat; echo \"$TELLMAR_X\" >&2; exit 3"},
                                   {{"TELLMAR_X", "set"}}, std::string(200000, 'x'), 20);
    EXPECT_EQ(cat.exitCode, 3);
    EXPECT_EQ(cat.out, std::string(200000, 'x'));
    EXPECT_EQ(cat.err, "set\n");
    EXPECT_FALSE(cat.timedOut);

    ProcessResult slow = RunProcess({"/bin/sleep", "30"}, {}, "", 1);
    EXPECT_TRUE(slow.timedOut);
    EXPECT_EQ(slow.exitCode, 128 + 9);

    EXPECT_EQ(RunProcess({"/nonexistent/program"}, {}, "", 5).exitCode, 127);
}

TEST(ScopedEnvTest, RestoresTheOldValueOrAbsence)
{
    unsetenv("TELLMAR_SCOPED");
    {
        ScopedEnv outer("TELLMAR_SCOPED", "a");
        {
            ScopedEnv inner("TELLMAR_SCOPED", "b");
            EXPECT_STREQ(getenv("TELLMAR_SCOPED"), "b");
        }
        EXPECT_STREQ(getenv("TELLMAR_SCOPED"), "a");
    }
    EXPECT_EQ(getenv("TELLMAR_SCOPED"), nullptr);
}

}  // namespace
