// The watch with a message store (TELLMAR_STORE): every message it takes
// off a modem is committed there before its deletion, unreadable entries
// and reports the module did not keep too; a store that cannot be opened is
// said once, and while it cannot take the messages nothing is deleted from
// any modem; the messages are still written.

#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "e2e/watch_run.h"
#include "store/store_test_support.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A status report from the field: gammu 1.42.0 (Debian source package
// gammu 1.42.0-8), tests/at-sms/30.dump (reference 232, delivered).
const char* const kFieldReport =
    "079124603050020006E80C91666666666666909070618422809090706184628000";

class WatchStoreE2E : public store_test::StoreFolder {};

TEST_F(WatchStoreE2E, EveryMessageTakenOffAModemIsInTheStore)
{
    ModemSim sim(std::string(u8R"({"ports":[
  {"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",
   "storage":{
    "SM":[{"index":1,"status":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"Meeting at 10:30"},
          {"index":5,"status":1,"pdu":"0791ZZ"}],
    "ME":[{"index":4,"status":1,"from":"10086","time":"24-05-02 08:00:00","dcs":8,
           "concat":{"ref":21,"total":2,"part":2},"text":"，请及时充值。"},
          {"index":3,"status":1,"from":"10086","time":"24-05-02 08:00:00","dcs":8,
           "concat":{"ref":21,"total":2,"part":1},"text":"尊敬的客户，余额不足"}]},
   "arrivals":[{"after_ms":1500,"from":"13700001111","time":"24-05-01 12:00:05","dcs":8,"text":"你好"}]},
  {"com":4,"model":"M35","bauds":[115200],"iccid":"89860012345678901235",
   "faults":{"unsolicited":["+CDS: 25\r\n)") +
                 kFieldReport + R"("]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}, {{"TELLMAR_STORE", DbPath()}}));
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>& lines) {
        return TextsWritten(lines).size() == 3 && sim.Events("delete").size() == 4 &&
               !watch.Lines("report").empty();
    })) << watch.ErrorText();
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(watch.ErrorText(), "");

    const char* const kIccid = "89860012345678901234";
    EXPECT_EQ(store_test::Query(DbPath(),
                                "SELECT com, sim, storage, sender, text, kind, parts FROM messages "
                                "ORDER BY kind, storage, sender"),
              (Rows{
                  {"COM3", kIccid, "DEV", "10086", u8"尊敬的客户，余额不足，请及时充值。",
                   "message", "2"},
                  {"COM3", kIccid, "SIM", "13700001111", u8"你好", "message", "1"},
                  {"COM3", kIccid, "SIM", "13912345678", "Meeting at 10:30", "message", "1"},
                  {"COM4", "89860012345678901235", "", "+666666666666",
                   "Delivery report for message 232: delivered (TP-ST 0x00)", "report", "1"},
                  {"COM3", kIccid, "SIM", "", "", "unreadable", "1"},
              }));
    // Once each, however often the module sent the report line.
    EXPECT_EQ(store_test::Query(DbPath(), "SELECT count(*) FROM messages"), (Rows{{"5"}}));
}

TEST(WatchStoreRefusedE2E, ARefusedStoreIsSaidOnceAndNothingIsDeleted)
{
    ModemSim sim(R"({"ports":[
      {"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",
       "storage":{"SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"kept on the modem"}]}},
      {"com":4,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",
       "storage":{"ME":[{"index":1,"from":"10086","time":"24-05-01 09:31:00","text":"kept too"}]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    // A folder where the store's file should be.
    const std::string folder = sim.Root() + "/a-folder";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}, {{"TELLMAR_STORE", folder}}));
    ASSERT_TRUE(watch.WaitForLines("message", 2)) << watch.ErrorText();
    // Another sweep of both: still nothing deleted.
    const std::size_t listed = CommandsStartingWith(sim, 3, "AT+CMGL").size() +
                               CommandsStartingWith(sim, 4, "AT+CMGL").size();
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>&) {
        return CommandsStartingWith(sim, 3, "AT+CMGL").size() +
                   CommandsStartingWith(sim, 4, "AT+CMGL").size() >=
               listed + 4;
    }));
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(sim.Events("delete").empty());
    EXPECT_TRUE(CommandsStartingWith(sim, 3, "AT+CMGD").empty());
    EXPECT_EQ(TextsWritten(watch.Lines()),
              (std::map<std::string, int>{{"kept on the modem", 1}, {"kept too", 1}}));
    // Said once, naming the store.
    const std::string errors = watch.ErrorText();
    const std::size_t first = errors.find(folder);
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find(folder, first + 1), std::string::npos) << errors;
}

}  // namespace
