#include <gtest/gtest.h>

#include "transcode/common/TFFOptions.h"

namespace {

struct TSplitCase {
  const char *text;
  std::vector<std::string> args;
};

class SplitOptionTextTest : public testing::TestWithParam<TSplitCase> {};

TEST_P(SplitOptionTextTest, SplitsIntoArguments) {
  EXPECT_EQ(SplitOptionText(GetParam().text), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitOptionTextTest,
    testing::Values(
        TSplitCase{"-vf \"scale=1280:720,vflip\"", {"-vf", "scale=1280:720,vflip"}},
        TSplitCase{"title=\"A \\\"B\\\"\"", {"title=A \"B\""}},
        TSplitCase{"\"a\"\"b c\"", {"a\"b", "c"}}, TSplitCase{"a\\\\b", {"a\\\\b"}},
        TSplitCase{"\"C:\\dir\\\\\"", {"C:\\dir\\"}}, TSplitCase{"", {}}, TSplitCase{" \t  ", {}},
        TSplitCase{"\"\"", {""}}, TSplitCase{"a \"\" b", {"a", "", "b"}},
        TSplitCase{"\t-c:a\tlibmp3lame  -b:a 128k ", {"-c:a", "libmp3lame", "-b:a", "128k"}},
        TSplitCase{"a\"b c\"d", {"ab cd"}}, TSplitCase{"\\\\\\\"x", {"\\\"x"}},
        TSplitCase{"\"unterminated text", {"unterminated text"}}, TSplitCase{"end\\", {"end\\"}},
        TSplitCase{"\"a\tb\"", {"a\tb"}}, TSplitCase{"x\"\"\"y", {"x\"y"}},
        TSplitCase{"caf\xC3\xA9 \xE6\x97\xA5", {"caf\xC3\xA9", "\xE6\x97\xA5"}}));

TEST(SplitOptionText, TextEndsAtZeroByte) {
  EXPECT_EQ(SplitOptionText(std::string("-an\0 -vn", 8)), std::vector<std::string>{"-an"});
}

} // namespace
