// The version line of `tellmar -v`.

#include <gtest/gtest.h>

#include <string>

#include "app/application.h"
#include "iconv/text_literal.h"
#include "platform/build_info.h"

namespace {

TEST(VersionTextTest, NamesTheProjectVersionTheBuildTimeAndTheCompiler)
{
    const std::string text = VersionText();
    const std::string head = std::string(TELLMAR_PROJECT_VERSION) + GB("版本 编译时间 ") + __DATE__;
    EXPECT_EQ(text.compare(0, head.size(), head), 0) << text;
    const std::string tail = GB("  编译器版本") + std::to_string(CompilerVersionNumber()) + "\n";
    ASSERT_GT(text.size(), head.size() + tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    EXPECT_GT(CompilerVersionNumber(), 0);
}

}  // namespace
