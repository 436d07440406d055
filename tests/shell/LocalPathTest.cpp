// Path texts of file names that need not be valid UTF-8: exact round trips, readable display,
// lexical cleaning and file URLs.
#include "components/filelist/LocalPath.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

struct TBytesCase {
  const char *Name;
  QByteArray Bytes;
  const char16_t *Shown; // DisplayPath of the text
};

class LocalPathBytesTest : public testing::TestWithParam<TBytesCase> {};

TEST_P(LocalPathBytesTest, RoundTripsExactlyAndShowsReadably) {
  const TBytesCase &c = GetParam();
  const QString text = LocalPathText(c.Bytes);
  EXPECT_EQ(LocalPathBytes(text), c.Bytes);
  EXPECT_EQ(LocalPathString(text), c.Bytes.toStdString());
  EXPECT_EQ(DisplayPath(text), QString::fromUtf16(c.Shown));
  EXPECT_EQ(LocalPathOfUrl(LocalPathUrl(text)), text);
  if (QString::fromUtf8(c.Bytes).toUtf8() == c.Bytes) { // valid UTF-8: the plain decoded text
    EXPECT_EQ(text, QString::fromUtf8(c.Bytes));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, LocalPathBytesTest,
    testing::Values(
        TBytesCase{"Ascii", "/m/clip 1.avi", u"/m/clip 1.avi"},
        TBytesCase{"Utf8", "/m/caf\xc3\xa9/\xe6\x97\xa5.mp4", u"/m/caf\u00e9/\u65e5.mp4"},
        TBytesCase{"FourByteUtf8", "/m/\xf0\x9f\x8e\xac.mkv", u"/m/\U0001F3AC.mkv"},
        TBytesCase{"Latin1Byte", "/m/caf\xe9.avi", u"/m/caf\uFFFD.avi"},
        TBytesCase{"TruncatedSequence", "/m/a\xc3", u"/m/a\uFFFD"},
        TBytesCase{"Overlong", "/m/\xc0\xaf.avi", u"/m/\uFFFD\uFFFD.avi"},
        TBytesCase{"EncodedSurrogate", "/m/\xed\xa0\x80.avi", u"/m/\uFFFD\uFFFD\uFFFD.avi"},
        TBytesCase{"AboveUnicode", "/m/\xf4\x90\x80\x80", u"/m/\uFFFD\uFFFD\uFFFD\uFFFD"},
        // A kept byte right after a character outside the BMP stays a byte.
        TBytesCase{"ByteAfterPair", "/\xf0\x9f\x8e\xac\xdc", u"/\U0001F3AC\uFFFD"},
        TBytesCase{"UrlSpecials", "/m/a%20b#c?d\xff.ts", u"/m/a%20b#c?d\uFFFD.ts"}),
    [](const testing::TestParamInfo<TBytesCase> &info) { return info.param.Name; });

TEST(LocalPath, TwoNamesThatShowAlikeStayApart) {
  EXPECT_NE(LocalPathText("/m/a\xe9.avi"), LocalPathText("/m/a\xe8.avi"));
  EXPECT_EQ(DisplayPath(LocalPathText("/m/a\xe9.avi")), DisplayPath(LocalPathText("/m/a\xe8.avi")));
}

struct TCleanCase {
  const char *Path;
  const char *Clean; // relative results are below the current folder
};

class CleanLocalPathTest : public testing::TestWithParam<TCleanCase> {};

TEST_P(CleanLocalPathTest, AbsoluteAndLexicallyClean) {
  QString expected = QString::fromUtf8(GetParam().Clean);
  if (!expected.startsWith(QLatin1Char('/')))
    expected = QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + expected);
  EXPECT_EQ(CleanLocalPath(QString::fromUtf8(GetParam().Path)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CleanLocalPathTest,
    testing::Values(TCleanCase{"/media/../media/tree/top.avi", "/media/tree/top.avi"},
                    TCleanCase{"/media/./tree//top.avi", "/media/tree/top.avi"},
                    TCleanCase{"/media/tree/", "/media/tree"}, TCleanCase{"/..", "/"},
                    TCleanCase{"clip.avi", "clip.avi"}, TCleanCase{"./a/../b.avi", "b.avi"}));

TEST(LocalPath, CleaningKeepsBytesThatAreNotUtf8) {
  const QString path = LocalPathText("/m/x\xff/../y\xfe/./z.avi");
  EXPECT_EQ(LocalPathBytes(CleanLocalPath(path)), QByteArray("/m/y\xfe/z.avi"));
}

} // namespace
