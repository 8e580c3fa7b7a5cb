// Status reports in the watch's stream: one kept in a storage and one the
// module sends as a +CDS line are each written once as a "report" line with
// the report object of the inbox documents.

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "e2e/watch_run.h"

namespace {

// A status report from the field: gammu 1.42.0 (Debian source package
// gammu 1.42.0-8), tests/at-sms/30.dump; python3-gammu decodes it as
// reference 232, delivered, discharged 09-09-07 16:48:26.
const char* const kFieldReport =
    "079124603050020006E80C91666666666666909070618422809090706184628000";

TEST(WatchReportsE2E, AStoredReportAndAReportLineAreEachWrittenOnce)
{
    // COM3 keeps the report on its SIM; COM4 sends one as a +CDS line (after
    // every reply: the same report again and again).
    ModemSim sim(std::string(R"({"ports":[
      {"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",
       "storage":{"SM":[{"index":4,"status":0,"pdu":")") +
                 kFieldReport + R"("}]}},
      {"com":4,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",
       "faults":{"unsolicited":["+CDS: 25\r\n)" +
                 kFieldReport + R"("]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));
    ASSERT_TRUE(watch.WaitForLines("report", 2)) << watch.ErrorText();
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>&) {
        return !sim.Events("delete").empty() && CommandsStartingWith(sim, 4, "AT+CMGL").size() >= 4;
    }));
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::vector<Json::Value> reports = watch.Lines("report");
    ASSERT_EQ(reports.size(), 2u);
    for (const Json::Value& line : reports) {
        SCOPED_TRACE(line.toStyledString());
        EXPECT_EQ(line["from"].asString(), "+666666666666");
        EXPECT_EQ(line["report"]["reference"].asInt(), 232);
        EXPECT_EQ(line["report"]["status"].asString(), "delivered");
        EXPECT_EQ(line["report"]["tp_st"].asInt(), 0);
        EXPECT_EQ(line["report"]["discharged"].asString(), "09-09-07 16:48:26");
        if (line["com"].asString() == "COM3") {
            EXPECT_EQ(line["storage"].asString(), "SIM");
        } else {
            EXPECT_EQ(line["com"].asString(), "COM4");
            EXPECT_FALSE(line.isMember("storage")) << "a +CDS line is kept nowhere";
        }
    }
    EXPECT_TRUE(watch.Lines("message").empty());
    const std::vector<Json::Value> deletions = sim.Events("delete");
    ASSERT_EQ(deletions.size(), 1u);
    EXPECT_EQ(deletions[0]["com"].asInt(), 3);
    EXPECT_EQ(deletions[0]["index"].asInt(), 4);
}

}  // namespace
