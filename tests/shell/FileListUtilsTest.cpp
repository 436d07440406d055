// Display texts, the sort compare and the sort direction of the main window's file list.
#include "components/filelist/FileListUtils.h"
#include "ListEntry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {
const QLocale English(QLocale::English, QLocale::UnitedStates);

TFileEntry MakeEntry(const QString &caption, const QString &path, int64_t duration, int64_t size) {
  return ListEntry(caption, path, duration, size, English);
}

struct DurationCase {
  int64_t Micros;
  const char *Text;
};
class FormatDurationTest : public testing::TestWithParam<DurationCase> {};

TEST_P(FormatDurationTest, FormatsHoursMinutesSeconds) {
  EXPECT_EQ(FormatDuration(GetParam().Micros).toStdString(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Durations, FormatDurationTest,
    testing::Values(DurationCase{0, "00:00:00"},
                    // Negative is unknown: the decoder's -1, AV_NOPTS_VALUE, a header's claim.
                    DurationCase{-1, "-"}, DurationCase{INT64_MIN, "-"},
                    DurationCase{-5000000000000000000, "-"},
                    DurationCase{INT64_MAX, "2562047788:00:54"}, DurationCase{999999, "00:00:00"},
                    DurationCase{1000000, "00:00:01"}, DurationCase{59999999, "00:00:59"},
                    DurationCase{60000000, "00:01:00"}, DurationCase{3723000000, "01:02:03"},
                    DurationCase{86399000000, "23:59:59"},
                    DurationCase{360000000000, "100:00:00"}));

struct SizeCase {
  int64_t Bytes;
  const char *Text;
};
class SizeTextTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeTextTest, MegabytesUpToOneGibibyteThenGigabytes) {
  EXPECT_EQ(SizeText(GetParam().Bytes, English).toStdString(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeTextTest,
                         testing::Values(SizeCase{0, "0 MB"}, SizeCase{524287, "0 MB"},
                                         SizeCase{524288, "1 MB"}, SizeCase{1048576, "1 MB"},
                                         SizeCase{1293942784, "1.21 GB"},
                                         SizeCase{1073741824, "1,024 MB"},
                                         SizeCase{1073741825, "1.00 GB"},
                                         SizeCase{1293942784LL * 10, "12.05 GB"},
                                         SizeCase{1099511627776LL * 2, "2048.00 GB"}));

// The units of the Add Files dialog: bytes, then binary units with two decimals.
TEST(FileListTexts, HumanSizesInTheAddFilesDialogsUnits) {
  const struct {
    int64_t Bytes;
    const char *Text;
  } cases[] = {{0, "0 bytes"},        {1023, "1,023 bytes"},        {494592, "483.00 KiB"},
               {1234567, "1.18 MiB"}, {1073741823, "1,024.00 MiB"}, {1293942784, "1.21 GiB"}};
  for (const auto &c : cases)
    EXPECT_EQ(HumanSizeText(c.Bytes, English).toStdString(), c.Text) << c.Bytes;
}

TEST(FileListTexts, StatusTexts) {
  EXPECT_EQ(FilesStatusText(0, 0, 0, English),
            QStringLiteral("Files: 0 (Size: 0 bytes, Duration: 00:00:00)"));
  EXPECT_EQ(FilesStatusText(3, 1293942784, 3723000000, English),
            QStringLiteral("Files: 3 (Size: 1.21 GiB, Duration: 01:02:03)"));
  EXPECT_EQ(SelectedStatusText(1, 1073741824, English),
            QStringLiteral("Selected: 1 file, 1.00 GiB"));
  // A small selection is not "0 MB".
  EXPECT_EQ(SelectedStatusText(1, 494592, English), QStringLiteral("Selected: 1 file, 483.00 KiB"));
  EXPECT_EQ(SelectedStatusText(2, 1073741825, English),
            QStringLiteral("Selected: 2 files, 1.00 GiB"));
}

TEST(FileListTexts, RawValueOfBadTextIsZero) {
  EXPECT_EQ(RawValue(QStringLiteral("123456789012")), 123456789012LL);
  EXPECT_EQ(RawValue(QStringLiteral("-1")), -1);
  EXPECT_EQ(RawValue(QStringLiteral("")), 0);
  EXPECT_EQ(RawValue(QStringLiteral("12abc")), 0);
}

struct TotalsCase {
  const char *Name;
  std::vector<std::pair<int64_t, int64_t>> Entries; // duration, size
  int64_t Duration, Size;
};

class ListTotalsTest : public testing::TestWithParam<TotalsCase> {};

TEST_P(ListTotalsTest, SumsKnownDurationsAndSizesHeldAtTheLimits) {
  TListTotals totals;
  for (const auto &[duration, size] : GetParam().Entries)
    totals.Add(MakeEntry("a.avi", "/a.avi", duration, size));
  EXPECT_EQ(totals.Duration, GetParam().Duration);
  EXPECT_EQ(totals.Size, GetParam().Size);
}

constexpr int64_t Huge = 9000000000000000000;

INSTANTIATE_TEST_SUITE_P(
    Totals, ListTotalsTest,
    testing::Values(
        TotalsCase{"Empty", {}, 0, 0},
        TotalsCase{"Plain", {{1000000, 10}, {2000000, 20}}, 3000000, 30},
        TotalsCase{"UnknownDurationsLeftOut", {{-1, 1}, {5, 2}, {INT64_MIN, 3}}, 5, 6},
        TotalsCase{
            "HugeClaimsHoldAtTheTop", {{Huge, Huge}, {Huge, Huge}, {1, 1}}, INT64_MAX, INT64_MAX},
        // A hand-edited list may carry negative sizes: they hold at the bottom.
        TotalsCase{"NegativeSizesHoldAtTheBottom", {{0, -Huge}, {0, -Huge}}, 0, INT64_MIN}),
    [](const testing::TestParamInfo<TotalsCase> &info) { return info.param.Name; });

TEST(FileListTexts, SaturatingAdd) {
  EXPECT_EQ(SaturatingAdd(INT64_MAX, 1), INT64_MAX);
  EXPECT_EQ(SaturatingAdd(INT64_MIN, -1), INT64_MIN);
  EXPECT_EQ(SaturatingAdd(INT64_MAX, INT64_MIN), -1);
  EXPECT_EQ(SaturatingAdd(-3, 5), 2);
}

struct CompareCase {
  const char *Name;
  int Column;
  TFileEntry A, B;
  int Sign; // expected sign of compare(A, B), ascending
};

class CompareEntriesTest : public testing::TestWithParam<CompareCase> {};

int Sign(int v) {
  return (v > 0) - (v < 0);
}

TEST_P(CompareEntriesTest, AscendingAndDescending) {
  const CompareCase &c = GetParam();
  EXPECT_EQ(Sign(CompareEntries(c.Column, c.A, c.B)), c.Sign);
  EXPECT_EQ(Sign(CompareEntries(c.Column, false, c.A, c.B)), c.Sign);
  EXPECT_EQ(Sign(CompareEntries(c.Column, true, c.A, c.B)), -c.Sign);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, CompareEntriesTest,
    testing::Values(
        CompareCase{"NameIgnoresCase", lcName, MakeEntry("apple.avi", "/z/apple.avi", 0, 0),
                    MakeEntry("Banana.avi", "/a/Banana.avi", 0, 0), -1},
        CompareCase{"NameEqualApartFromCase", lcName, MakeEntry("Clip.avi", "/a/Clip.avi", 0, 0),
                    MakeEntry("clip.AVI", "/b/clip.AVI", 0, 0), 0},
        CompareCase{"DurationIsNumericNotText", lcDuration, MakeEntry("a", "/a", 9000000, 0),
                    MakeEntry("b", "/b", 10000000, 0), -1},
        CompareCase{"UnknownDurationFirst", lcDuration, MakeEntry("a", "/a", -1, 0),
                    MakeEntry("b", "/b", 0, 0), -1},
        CompareCase{"SizeIsNumeric64Bit", lcSize, MakeEntry("a", "/a", 0, 5000000000LL),
                    MakeEntry("b", "/b", 0, 999), 1},
        CompareCase{"SourceGroupsFolders", lcSource, MakeEntry("b.avi", "/Media/b.avi", 0, 0),
                    MakeEntry("a.avi", "/other/a.avi", 0, 0), -1},
        CompareCase{"SourceIgnoresCase", lcSource, MakeEntry("x", "/media/B.avi", 0, 0),
                    MakeEntry("y", "/MEDIA/a.avi", 0, 0), 1}),
    [](const testing::TestParamInfo<CompareCase> &info) { return info.param.Name; });

TEST(SortState, SameColumnTogglesOtherColumnStartsAscending) {
  TSortState s;
  EXPECT_EQ(s.SortColumn, lcName);
  EXPECT_FALSE(s.SortDescending);
  s.ColumnClicked(lcName); // the start column clicked: descending
  EXPECT_TRUE(s.SortDescending);
  s.ColumnClicked(lcDuration);
  EXPECT_EQ(s.SortColumn, lcDuration);
  EXPECT_FALSE(s.SortDescending);
  s.ColumnClicked(lcDuration);
  EXPECT_TRUE(s.SortDescending);
  s.ColumnClicked(lcSize);
  EXPECT_EQ(s.SortColumn, lcSize);
  EXPECT_FALSE(s.SortDescending);
}
} // namespace
