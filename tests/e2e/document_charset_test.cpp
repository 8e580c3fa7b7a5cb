// The documents in the locale's charset: UTF-8 as it is where the locale
// names UTF-8, \u escapes elsewhere (the C locale included).

#include <gtest/gtest.h>

#include <string>

#include "e2e/tellmar_run.h"

namespace {

TEST(DocumentCharsetE2E, TheSameDocumentReadableInUtf8AndAsciiElsewhere)
{
    ModemSim sim(
        u8R"({"ports":[{"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901234",
      "storage":{"SM":[{"index":1,"from":"13700001111","time":"24-05-01 12:00:05","dcs":8,
                        "text":"你好，今天下午三点开会。"}]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun utf8 = RunTellmar(sim, {"sms", "sread"});
    const TellmarRun ascii = RunTellmar(sim, {"sms", "sread"}, 300, {{"LC_ALL", "C"}});
    EXPECT_NE(utf8.documentText.find(u8"\"text\":\"你好，今天下午三点开会。\""), std::string::npos)
        << utf8.documentText;
    EXPECT_NE(ascii.documentText.find(R"("text":"\u4f60\u597d\uff0c\u4eca)"), std::string::npos)
        << ascii.documentText;
    Json::Value a = utf8.document;
    Json::Value b = ascii.document;
    a.removeMember("seconds");
    b.removeMember("seconds");
    EXPECT_EQ(a, b);
    EXPECT_EQ(a["ports"][0]["msgs"][0]["text"].asString(), u8"你好，今天下午三点开会。");
}

}  // namespace
