// The properties window filled from file list entries.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "media/ui/Tfrm_Properties.h"

namespace {

QString Fixture(const char *AName) {
  return QDir(QStringLiteral(QUILLET_FIXTURES)).filePath(QString::fromLatin1(AName));
}

struct TPropertiesCase {
  const char *Label;
  QString Caption;
  QStringList SubItems;
  const char *Size, *FrameRate, *BitRate, *FrameSize;
};

class PropertiesWindowTest : public testing::TestWithParam<TPropertiesCase> {};

TEST_P(PropertiesWindowTest, ShowsTheEntrysValues) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  const TPropertiesCase &c = GetParam();
  Tfrm_Properties form(nullptr);
  ASSERT_TRUE(form.Fill(c.Caption, c.SubItems));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Properties"));
  EXPECT_EQ(form.size(), QSize(375, 314));
  EXPECT_EQ(form.txt_Name->text(), c.Caption);
  EXPECT_EQ(form.txt_Source->text(), c.SubItems[2]);
  EXPECT_EQ(form.txt_Duration->text(), c.SubItems[0]);
  EXPECT_EQ(form.txt_Size->text().toStdString(), c.Size);
  EXPECT_EQ(form.txt_FrameRate->text().toStdString(), c.FrameRate);
  EXPECT_EQ(form.txt_Bitrate->text().toStdString(), c.BitRate);
  EXPECT_EQ(form.txt_FrameSize->text().toStdString(), c.FrameSize);
  EXPECT_FALSE(form.txt_Type->text().isEmpty());
  for (QLineEdit *e : {form.txt_Name, form.txt_Type, form.txt_Size, form.txt_Source})
    EXPECT_TRUE(e->isReadOnly());
  EXPECT_FALSE(form.Image1->pixmap().isNull()); // an icon even for a file that moved away
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, PropertiesWindowTest,
    testing::Values(TPropertiesCase{"video",
                                    "av.mp4",
                                    {"00:00:02", "50,019", Fixture("av.mp4"), "2000000", "50019",
                                     "25.00 fps", "180 kb", "320x240"},
                                    "49 KB",
                                    "25.00 fps",
                                    "180 kb",
                                    "320x240"},
                    TPropertiesCase{"audio_only",
                                    "audio.mp3",
                                    {"00:00:03", "12,452", Fixture("audio.mp3"), "3000000", "12452",
                                     "-", "-", "-"},
                                    "12 KB",
                                    "-",
                                    "-",
                                    "-"},
                    TPropertiesCase{"moved_away",
                                    "gone.mkv",
                                    {"01:00:00", "1,610,612,736", "/nowhere/gone.mkv", "3600000000",
                                     "1610612736", "29.97 fps", "0 kb", "720x480"},
                                    "1.50 GB",
                                    "29.97 fps",
                                    "0 kb",
                                    "720x480"}),
    [](const testing::TestParamInfo<TPropertiesCase> &info) {
      return std::string(info.param.Label);
    });

struct TTypeCase {
  QString Source;
  const char *Type; // a part of the type name
};

class PropertiesTypeTest : public testing::TestWithParam<TTypeCase> {};

TEST_P(PropertiesTypeTest, TheTypeNameComesFromTheNameAndWhereAmbiguousFromTheContent) {
  const TTypeCase &c = GetParam();
  Tfrm_Properties form(nullptr);
  ASSERT_TRUE(form.Fill(QFileInfo(c.Source).fileName(),
                        {"00:00:01", "1", c.Source, "1000000", "1", "-", "-", "-"}));
  EXPECT_TRUE(form.txt_Type->text().contains(QString::fromLatin1(c.Type), Qt::CaseInsensitive))
      << form.txt_Type->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Types, PropertiesTypeTest,
                         testing::Values(TTypeCase{"/nowhere/x.mp4", "MPEG-4"},
                                         // ".ts" names a Qt message catalog too
                                         TTypeCase{Fixture("clip.ts"), "transport stream"},
                                         TTypeCase{Fixture("av.mp4"), "MPEG-4"}));

TEST(PropertiesWindow, ARawSizeThatIsNotANumberIsRefused) {
  Tfrm_Properties form(nullptr);
  EXPECT_FALSE(form.Fill(QStringLiteral("x.avi"),
                         {"00:00:01", "1", "/x.avi", "1000000", "12a", "-", "-", "-"}));
  EXPECT_FALSE(form.Fill(QStringLiteral("x.avi"), {"00:00:01"}));
  EXPECT_TRUE(form.txt_Name->text().isEmpty());
}

TEST(PropertiesWindow, ExecuteReportsARawSizeThatIsNotANumber) {
  QString title, text;
  QTimer::singleShot(50, [&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
        title = box->windowTitle();
        text = box->text();
        box->accept();
      }
  });
  Tfrm_Properties::Execute(nullptr, QStringLiteral("x.avi"),
                           {"00:00:01", "1", "/x.avi", "1000000", "12a", "-", "-", "-"});
  EXPECT_EQ(title, QStringLiteral("Error"));
  EXPECT_EQ(text, QStringLiteral("'12a' is not a valid integer value"));
}

TEST(PropertiesWindow, ExecuteShowsTheWindowModallyUntilOK) {
  bool shown = false;
  QTimer::singleShot(50, [&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *form = qobject_cast<Tfrm_Properties *>(w); form && form->isVisible()) {
        shown = form->isModal() && form->txt_Name->text() == QStringLiteral("av.mp4");
        QTest::mouseClick(form->btn_OK, Qt::LeftButton);
      }
  });
  Tfrm_Properties::Execute(nullptr, QStringLiteral("av.mp4"),
                           {"00:00:02", "50,019", Fixture("av.mp4"), "2000000", "50019",
                            "25.00 fps", "180 kb", "320x240"});
  EXPECT_TRUE(shown);
}

TEST(PropertiesWindow, Screenshot) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  Tfrm_Properties form(nullptr);
  ASSERT_TRUE(
      form.Fill(QStringLiteral("av.mp4"), {"00:00:02", "50,019", Fixture("av.mp4"), "2000000",
                                           "50019", "25.00 fps", "180 kb", "320x240"}));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_TRUE(form.grab().save(QStringLiteral(QUILLET_SCREENSHOTS "/properties.png")));
}

} // namespace
