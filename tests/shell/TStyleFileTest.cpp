// The dark look's style file: the shipped file is valid; a missing name, section or colour, or a
// colour that is not #rrggbb, makes the whole file invalid.
#include "shell/TStyleFile.h"
#include "WithoutHanging.h"

#include <QTemporaryDir>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {
const char *ValidText = R"([Style]
Name=Test Dark
[Colors]
Window=#101010
WindowText=#eeeeee
Base=#202020
Text=#dddddd
Button=#303030
ButtonText=#cccccc
Highlight=#3366cc
HighlightedText=#ffffff
ButtonHot=#404850
ButtonFocused=#5080c0
ButtonPressed=#204070
)";

QString Replace(const char *from, const char *to) {
  return QString::fromLatin1(ValidText).replace(QLatin1String(from), QLatin1String(to));
}

TEST(StyleFile, ShippedFileIsValid) {
  const auto style = TStyleFile::Load(QStringLiteral(QUILLET_STYLE_FILE));
  ASSERT_TRUE(style.has_value());
  EXPECT_FALSE(style->Name.isEmpty());
  EXPECT_TRUE(style->ButtonHot.isValid());
}

TEST(StyleFile, ParsesNameAndColours) {
  const auto style = TStyleFile::Parse(QString::fromLatin1(ValidText));
  ASSERT_TRUE(style.has_value());
  EXPECT_EQ(style->Name, QStringLiteral("Test Dark"));
  EXPECT_EQ(style->Window, QColor(0x10, 0x10, 0x10));
  EXPECT_EQ(style->ButtonPressed, QColor(0x20, 0x40, 0x70));
  EXPECT_EQ(style->Palette().color(QPalette::Base), QColor(0x20, 0x20, 0x20));
  EXPECT_EQ(style->Palette().color(QPalette::HighlightedText), QColor(Qt::white));
}

TEST(StyleFile, KeysAndSectionsIgnoreCaseAndSpaces) {
  const auto style = TStyleFile::Parse(
      Replace("[Colors]", " [colors] ")
          .replace(QStringLiteral("WindowText=#eeeeee"), QStringLiteral("windowtext = #EEEEEE")));
  ASSERT_TRUE(style.has_value());
  EXPECT_EQ(style->WindowText, QColor(0xee, 0xee, 0xee));
}

// A style file saved by an editor that writes a UTF-8 byte-order mark.
TEST(StyleFile, ByteOrderMarkIsSkipped) {
  const auto style = TStyleFile::Parse(QStringLiteral("\uFEFF") + QString::fromLatin1(ValidText));
  ASSERT_TRUE(style.has_value());
  EXPECT_EQ(style->Name, QStringLiteral("Test Dark"));
}

struct InvalidCase {
  const char *Name;
  QString Text;
};

class InvalidStyleFileTest : public testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidStyleFileTest, IsRejected) {
  EXPECT_FALSE(TStyleFile::Parse(GetParam().Text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InvalidStyleFileTest,
    testing::Values(InvalidCase{"Empty", QString()},
                    InvalidCase{"NoName", Replace("Name=Test Dark", "Name=")},
                    InvalidCase{"NoStyleSection", Replace("[Style]", "[Other]")},
                    InvalidCase{"NoColorsSection", Replace("[Colors]", "[Colours]")},
                    InvalidCase{"MissingColour", Replace("ButtonHot=#404850", "")},
                    InvalidCase{"ShortColour", Replace("#5080c0", "#5080c")},
                    InvalidCase{"NamedColour", Replace("#3366cc", "blue")},
                    InvalidCase{"NotHex", Replace("#303030", "#30303g")},
                    InvalidCase{"Binary", QString::fromLatin1("\x01\x02\xff[Style")}),
    [](const testing::TestParamInfo<InvalidCase> &info) { return info.param.Name; });

TEST(StyleFile, MissingFileIsInvalid) {
  EXPECT_FALSE(TStyleFile::Load(QStringLiteral("/nonexistent/Dark.vsf")));
}

// Only a regular file is read: a FIFO would block the start-up, a folder is not a style.
TEST(StyleFile, SpecialFilesAreInvalidAndNeverBlock) {
  QTemporaryDir folder;
  const QString fifo = folder.filePath(QStringLiteral("fifo.vsf"));
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  WithoutHanging([&] { EXPECT_FALSE(TStyleFile::Load(fifo)); }, fifo.toStdString());
  EXPECT_FALSE(TStyleFile::Load(folder.path()));
}
} // namespace
