#include "shell/settings/Languages.h"

#include <gtest/gtest.h>

namespace {

using TCodes = std::vector<std::string>;

struct TCodesCase {
  const char *Name;
  const char *Text;
  TCodes Codes;
  TCodes Rejected;
};

void PrintTo(const TCodesCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class LanguageCodesTest : public ::testing::TestWithParam<TCodesCase> {};

TEST_P(LanguageCodesTest, ReadsTheTypedList) {
  const TCodesCase &C = GetParam();
  TCodes Rejected;
  EXPECT_EQ(LanguageCodes(C.Text, &Rejected), C.Codes);
  EXPECT_EQ(Rejected, C.Rejected);
}

const TCodesCase CodesCases[] = {
    {"Empty", "", {}, {}},
    {"CommasAndBlanks", "eng, fre;spa\tita", {"eng", "fre", "spa", "ita"}, {}},
    {"TwoLetterCodesMapped", "en fr de", {"eng", "fre", "ger"}, {}},
    {"TerminologyFormsMapped", "fra, DEU, zho", {"fre", "ger", "chi"}, {}},
    {"EachLanguageOnce", "fr, fre, fra, FR", {"fre"}, {}},
    {"UnknownThreeLettersKept", "Tlh, und", {"tlh", "und"}, {}},
    {"WordsThatAreNoCode", "english, xx, e1g, -", {}, {"english", "xx", "e1g", "-"}},
};

INSTANTIATE_TEST_SUITE_P(Table, LanguageCodesTest, ::testing::ValuesIn(CodesCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// A stream's tag matches any form of its code; tags come back as the streams spell them, in
// the order of the codes, each once; a tag of other characters never matches.
TEST(TagsOfLanguages, MatchesEveryFormInTheCodesOrder) {
  const TCodes Tags{"ENG", "fra", "ger", "fre", "eng", "e n", ""};
  EXPECT_EQ(TagsOfLanguages({"fre", "eng"}, Tags), (TCodes{"fra", "fre", "ENG", "eng"}));
  EXPECT_EQ(TagsOfLanguages({"spa"}, Tags), TCodes{});
  EXPECT_EQ(TagsOfLanguages({"ger"}, {"de"}), TCodes{"de"});
}

} // namespace
