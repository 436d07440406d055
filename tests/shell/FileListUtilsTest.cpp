// Display texts, the sort compare and the sort direction of the main window's file list.
#include "shell/FileListUtils.h"
#include "ListEntry.h"

#include <gtest/gtest.h>

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
    testing::Values(DurationCase{0, "00:00:00"}, DurationCase{-1, "00:00:00"},
                    DurationCase{999999, "00:00:00"}, DurationCase{1000000, "00:00:01"},
                    DurationCase{59999999, "00:00:59"}, DurationCase{60000000, "00:01:00"},
                    DurationCase{3723000000, "01:02:03"}, DurationCase{86399000000, "23:59:59"},
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

TEST(FileListTexts, ByteCountUsesGroupSeparatorsAndShowsZero) {
  EXPECT_EQ(FormatByteCount(1234567, English), QStringLiteral("1,234,567"));
  EXPECT_EQ(FormatByteCount(0, English), QStringLiteral("0"));
}

TEST(FileListTexts, StatusTexts) {
  EXPECT_EQ(FilesStatusText(0, 0, 0, English),
            QStringLiteral("Files: 0 (Size: 0 MB, Duration: 00:00:00)"));
  EXPECT_EQ(FilesStatusText(3, 1293942784, 3723000000, English),
            QStringLiteral("Files: 3 (Size: 1.21 GB, Duration: 01:02:03)"));
  EXPECT_EQ(SelectedStatusText(1, 1073741824, English),
            QStringLiteral("Selected: 1 file, 1,024 MB"));
  EXPECT_EQ(SelectedStatusText(2, 1073741825, English),
            QStringLiteral("Selected: 2 files, 1.00 GB"));
}

TEST(FileListTexts, RawValueOfBadTextIsZero) {
  EXPECT_EQ(RawValue(QStringLiteral("123456789012")), 123456789012LL);
  EXPECT_EQ(RawValue(QStringLiteral("-1")), -1);
  EXPECT_EQ(RawValue(QStringLiteral("")), 0);
  EXPECT_EQ(RawValue(QStringLiteral("12abc")), 0);
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
