// The watch with a message store (TELLMAR_STORE): a store that cannot be
// opened is said once, and while it cannot take the messages nothing is
// deleted from any modem; the messages are still written.

#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "e2e/watch_run.h"

namespace {

TEST(WatchStoreE2E, ARefusedStoreIsSaidOnceAndNothingIsDeleted)
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
