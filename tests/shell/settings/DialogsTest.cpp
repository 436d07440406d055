// The effects, custom frame size and about dialogs, offscreen.
#include "shell/dialogs/TUpDown.h"
#include "shell/dialogs/Tfrm_About.h"
#include "shell/dialogs/Tfrm_Command.h"
#include "shell/dialogs/Tfrm_Custom.h"
#include "shell/dialogs/Tfrm_Effects.h"
#include "shell/settings/SettingsLists.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <functional>

namespace {

// Runs Action on the modal dialog once exec() has shown it.
template <class TDialog> void WhenShown(std::function<void(TDialog *)> Action) {
  QTimer::singleShot(0, [Action] {
    auto *Dialog = qobject_cast<TDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(Dialog, nullptr);
    Action(Dialog);
  });
}

TEffects Switches(bool VFlip, bool HFlip, bool Negate, bool Dein, bool Rotate, int Degrees) {
  return {VFlip, HFlip, Negate, Dein, Rotate, Degrees};
}

TEST(Tfrm_Effects, CaptionsAndItems) {
  Tfrm_Effects Dialog(nullptr);
  EXPECT_EQ(Dialog.windowTitle(), "Effects");
  EXPECT_EQ(Dialog.chk_VFlip->text(), "Vertically flip");
  EXPECT_EQ(Dialog.chk_HFlip->text(), "Horizontally flip");
  EXPECT_EQ(Dialog.chk_Negate->text(), "Negate");
  EXPECT_EQ(Dialog.chk_Dein->text(), "Deinterlace");
  EXPECT_EQ(Dialog.chk_Rotate->text(), "Rotate");
  ASSERT_EQ(Dialog.cb_Rotate->count(), 3);
  EXPECT_EQ(Dialog.cb_Rotate->itemText(0), "90 degrees");
  EXPECT_EQ(Dialog.cb_Rotate->itemText(2), "270 degrees");
  EXPECT_TRUE(Dialog.btn_OK->isDefault());
  EXPECT_FALSE(Dialog.cb_Rotate->isEnabled());
}

TEST(Tfrm_Effects, OpensFromTheSwitches) {
  Tfrm_Effects Dialog(nullptr);
  Dialog.SetEffects(Switches(true, false, true, false, true, 2));
  EXPECT_TRUE(Dialog.chk_VFlip->isChecked());
  EXPECT_FALSE(Dialog.chk_HFlip->isChecked());
  EXPECT_TRUE(Dialog.chk_Negate->isChecked());
  EXPECT_TRUE(Dialog.cb_Rotate->isEnabled());
  EXPECT_EQ(Dialog.cb_Rotate->currentIndex(), 2);
  EXPECT_EQ(Dialog.Effects(), Switches(true, false, true, false, true, 2));
  Dialog.SetEffects(Switches(false, false, false, false, false, -1));
  EXPECT_EQ(Dialog.cb_Rotate->currentIndex(), 0);
  EXPECT_FALSE(Dialog.cb_Rotate->isEnabled());
}

TEST(Tfrm_Effects, RotateClickEnablesTheChoice) {
  Tfrm_Effects Dialog(nullptr);
  Dialog.show();
  QTest::mouseClick(Dialog.chk_Rotate, Qt::LeftButton, {},
                    QPoint(5, Dialog.chk_Rotate->height() / 2));
  EXPECT_TRUE(Dialog.cb_Rotate->isEnabled());
  Dialog.chk_Rotate->click();
  EXPECT_FALSE(Dialog.cb_Rotate->isEnabled());
}

TEST(Tfrm_Effects, OkCopiesDegreesEvenWithoutRotate) {
  TEffects Effects = Switches(false, true, false, false, false, 0);
  WhenShown<Tfrm_Effects>([](Tfrm_Effects *D) {
    D->cb_Rotate->setCurrentIndex(1); // "180 degrees", "Rotate" stays off
    D->chk_Dein->click();
    D->btn_OK->click();
  });
  EXPECT_TRUE(Tfrm_Effects::Execute(nullptr, Effects));
  EXPECT_EQ(Effects, Switches(false, true, false, true, false, 1));
}

TEST(Tfrm_Effects, CancelChangesNothing) {
  TEffects Effects = Switches(true, true, true, true, true, 2);
  WhenShown<Tfrm_Effects>([](Tfrm_Effects *D) {
    D->chk_VFlip->click();
    D->chk_Rotate->click();
    D->btn_Cancel->click();
  });
  EXPECT_FALSE(Tfrm_Effects::Execute(nullptr, Effects));
  EXPECT_EQ(Effects, Switches(true, true, true, true, true, 2));
}

// The title "Custom Frame Size" fits the title bar beside its buttons (a bold title font is
// up to a fifth wider).
TEST(Tfrm_Custom, IsWideEnoughForItsTitle) {
  Tfrm_Custom Dialog(nullptr);
  Dialog.show();
  const int title = Dialog.fontMetrics().horizontalAdvance(QStringLiteral("Custom Frame Size"));
  EXPECT_GE(Dialog.width(), title * 6 / 5 + 60);
}

TEST(Tfrm_Custom, StartsAtOneByOne) {
  Tfrm_Custom Dialog(nullptr);
  EXPECT_EQ(Dialog.windowTitle(), "Custom Frame Size");
  EXPECT_EQ(Dialog.FrameSizeText(), "1x1");
  EXPECT_TRUE(Dialog.OK->isDefault());
}

struct TTypingCase {
  const char *Name;
  const char *Width; // typed after clearing the edit
  const char *Height;
  const char *Expected;
};

void PrintTo(const TTypingCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class CustomTypingTest : public ::testing::TestWithParam<TTypingCase> {};

TEST_P(CustomTypingTest, EditsTakeDigitsOnly) {
  Tfrm_Custom Dialog(nullptr);
  Dialog.show();
  Dialog.txt_Width->clear();
  QTest::keyClicks(Dialog.txt_Width, GetParam().Width);
  Dialog.txt_Height->clear();
  QTest::keyClicks(Dialog.txt_Height, GetParam().Height);
  EXPECT_EQ(Dialog.FrameSizeText().toStdString(), GetParam().Expected);
}

const TTypingCase TypingCases[] = {
    {"Plain", "1920", "816", "1920x816"},
    {"LettersAndSignsRefused", "12a8-0", "7 2.0", "1280x720"},
    {"EmptyWidthKept", "", "720", "x720"},
    {"AtMostFiveDigits", "1234567", "99999", "12345x99999"},
};

INSTANTIATE_TEST_SUITE_P(Table, CustomTypingTest, ::testing::ValuesIn(TypingCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(Tfrm_Custom, SpinnersStepWithinRange) {
  Tfrm_Custom Dialog(nullptr);
  Dialog.show();
  Dialog.UpDown1->btn_Down->click();
  EXPECT_EQ(Dialog.txt_Width->text(), "1");
  Dialog.UpDown1->btn_Up->click();
  Dialog.UpDown1->btn_Up->click();
  EXPECT_EQ(Dialog.txt_Width->text(), "3");
  Dialog.txt_Height->setText("99999");
  Dialog.UpDown2->btn_Up->click();
  EXPECT_EQ(Dialog.txt_Height->text(), "99999");
  Dialog.txt_Height->clear(); // an empty edit steps from the last position
  QTest::keyClick(Dialog.txt_Height, Qt::Key_Down);
  EXPECT_EQ(Dialog.txt_Height->text(), "99998");
  EXPECT_EQ(Dialog.FrameSizeText(), "3x99998");
}

TEST(Tfrm_Custom, ExecuteReturnsTheTextOnlyOnOk) {
  QString Text = "unchanged";
  WhenShown<Tfrm_Custom>([](Tfrm_Custom *D) {
    D->txt_Width->setText("1280");
    D->txt_Height->setText("720");
    D->Cancel->click();
  });
  EXPECT_FALSE(Tfrm_Custom::Execute(nullptr, Text));
  EXPECT_EQ(Text, "unchanged");
  WhenShown<Tfrm_Custom>([](Tfrm_Custom *D) {
    D->txt_Width->setText("1280");
    D->txt_Height->setText("720");
    QTest::keyClick(D->txt_Height, Qt::Key_Return); // OK is the default button
  });
  EXPECT_TRUE(Tfrm_Custom::Execute(nullptr, Text));
  EXPECT_EQ(Text, "1280x720");
}

TConversionSettings WithEncoder(int AFormat, int AEncoder) {
  TConversionSettings S;
  SelectVideoFormat(S, AFormat);
  S.VideoEncoder = AEncoder;
  return S;
}

// A size the chosen encoder cannot take is refused where it is typed, with the reason; OK comes
// back once the size is one the encoder takes.
TEST(Tfrm_Custom, OddSidesRefusedForH264WithTheReason) {
  Tfrm_Custom Dialog(nullptr, WithEncoder(vfMP4, 1)); // H.264
  Dialog.show();
  Dialog.txt_Width->setText("641");
  Dialog.txt_Height->setText("361");
  EXPECT_FALSE(Dialog.OK->isEnabled());
  EXPECT_TRUE(Dialog.lbl_Refusal->isVisible());
  EXPECT_EQ(Dialog.lbl_Refusal->text(),
            "H.264 takes only an even width and height (4:2:0 colour): 641 and 361 are odd. "
            "Try 640x360 or 642x362.");
  // Neither the default-button key nor accept() gets past it.
  QTest::keyClick(Dialog.txt_Height, Qt::Key_Return);
  Dialog.accept();
  EXPECT_TRUE(Dialog.isVisible());
  EXPECT_EQ(Dialog.result(), QDialog::Rejected);
  // The reason fits the dialog, which grew to show it.
  QTest::qWait(20);
  if (const char *Shots = std::getenv("QUILLET_SCREENSHOTS"))
    Dialog.grab().save(QString::fromLocal8Bit(Shots) + "/custom_refused.png");
  EXPECT_TRUE(Dialog.rect().contains(Dialog.lbl_Refusal->geometry()));
  EXPECT_GE(Dialog.lbl_Refusal->height(),
            Dialog.lbl_Refusal->heightForWidth(Dialog.lbl_Refusal->width()));
  Dialog.txt_Height->setText("360");
  EXPECT_FALSE(Dialog.OK->isEnabled()); // the width is still odd
  Dialog.txt_Width->setText("640");
  EXPECT_TRUE(Dialog.OK->isEnabled());
  EXPECT_FALSE(Dialog.lbl_Refusal->isVisible());
}

TEST(Tfrm_Custom, ExecuteWithMpeg4TakesOddSides) {
  QString Text;
  WhenShown<Tfrm_Custom>([](Tfrm_Custom *D) {
    D->txt_Width->setText("641");
    D->txt_Height->setText("361");
    EXPECT_TRUE(D->OK->isEnabled());
    D->OK->click();
  });
  EXPECT_TRUE(Tfrm_Custom::Execute(nullptr, Text, WithEncoder(vfAVI, 0)));
  EXPECT_EQ(Text, "641x361");
  WhenShown<Tfrm_Custom>([](Tfrm_Custom *D) {
    D->txt_Width->setText("641");
    D->txt_Height->setText("361");
    D->OK->click(); // disabled: nothing happens
    EXPECT_TRUE(D->isVisible());
    D->txt_Width->setText("640");
    D->txt_Height->setText("360");
    D->OK->click();
  });
  EXPECT_TRUE(Tfrm_Custom::Execute(nullptr, Text, WithEncoder(vfAVI, 1)));
  EXPECT_EQ(Text, "640x360");
}

// The command dialog: a refused text keeps it open with the reason; the drop-down holds the
// commands used before, newest first, at most ten.
TEST(Tfrm_Command, RefusedTextKeepsTheDialogOpenWithTheReason) {
  QStringList Checked;
  Tfrm_Command Dialog(nullptr, {}, [&](const QString &AOptions, int AFormat) {
    Checked << AOptions + "|" + QString::number(AFormat);
    return AOptions.contains("-foo") ? QStringLiteral("Unrecognized option \"foo\".") : QString();
  });
  Dialog.show();
  Dialog.cb_VideoFormat->setCurrentIndex(vfMKV);
  QTest::keyClicks(Dialog.txt_Command, "-foo bar");
  QTest::keyClick(Dialog.txt_Command, Qt::Key_Return);
  EXPECT_TRUE(Dialog.isVisible());
  EXPECT_TRUE(Dialog.lbl_Error->isVisible());
  EXPECT_EQ(Dialog.lbl_Error->text(), "Unrecognized option \"foo\".");
  EXPECT_EQ(Dialog.txt_Command->text(), "-foo bar");
  // Typing again hides the old reason.
  Dialog.txt_Command->setText("-c:v mpeg4");
  EXPECT_FALSE(Dialog.lbl_Error->isVisible());
  Dialog.accept();
  EXPECT_EQ(Dialog.result(), QDialog::Accepted);
  EXPECT_EQ(Checked, QStringList({"-foo bar|2", "-c:v mpeg4|2"}));
}

// "Save as preset..." is there only with a way to save; it saves a text the check takes, with
// the dialog's container, and keeps the dialog open; an empty or refused text is not saved.
TEST(Tfrm_Command, SaveAsPresetKeepsOnlyACheckedText) {
  EXPECT_TRUE(Tfrm_Command(nullptr).btn_SavePreset->isHidden());
  QStringList Saved;
  Tfrm_Command Dialog(
      nullptr, {},
      [](const QString &AOptions, int) {
        return AOptions.contains("-foo") ? QStringLiteral("Unrecognized option \"foo\".")
                                         : QString();
      },
      [&](const QString &AName, const QString &AOptions, int AFormat) {
        Saved << AName + "|" + AOptions + "|" + QString::number(AFormat);
        return true;
      });
  Dialog.show();
  EXPECT_TRUE(Dialog.btn_SavePreset->isVisible());
  Dialog.cb_VideoFormat->setCurrentIndex(vfWebM);
  const struct {
    const char *Text;
    bool Saved;
    const char *Error;
  } Cases[] = {{"  ", false, "Enter the command to save."},
               {"-foo bar", false, "Unrecognized option \"foo\"."},
               {"-c:v libvpx-vp9 -an", true, ""}};
  for (const auto &C : Cases) {
    Dialog.txt_Command->setText(C.Text);
    EXPECT_EQ(Dialog.SaveAsPreset("Small"), C.Saved) << C.Text;
    EXPECT_EQ(Dialog.lbl_Error->isVisible() ? Dialog.lbl_Error->text() : QString(), C.Error);
  }
  EXPECT_EQ(Saved, QStringList{"Small|-c:v libvpx-vp9 -an|8"});
  EXPECT_TRUE(Dialog.isVisible());
}

TEST(Tfrm_Command, HistoryKeepsTheLastTenNewestFirst) {
  QStringList History;
  for (int i = 1; i <= 11; ++i)
    History = Tfrm_Command::WithCommand(History, QStringLiteral("-q:v %1").arg(i));
  ASSERT_EQ(History.size(), Tfrm_Command::HistorySize);
  EXPECT_EQ(History.first(), "-q:v 11");
  EXPECT_EQ(History.last(), "-q:v 2");
  History = Tfrm_Command::WithCommand(History, "  -q:v 5 ");
  EXPECT_EQ(History.first(), "-q:v 5");
  EXPECT_EQ(History.count("-q:v 5"), 1);
  EXPECT_EQ(Tfrm_Command::WithCommand(History, "   "), History);

  QString Options;
  WhenShown<Tfrm_Command>([](Tfrm_Command *D) {
    ASSERT_EQ(D->cb_Command->count(), 10);
    EXPECT_EQ(D->cb_Command->itemText(0), "-q:v 5");
    EXPECT_EQ(D->txt_Command->text(), ""); // opens empty; the drop-down offers the rest
    D->cb_Command->setCurrentIndex(3);
    D->accept();
  });
  const QString Fourth = History.at(3);
  EXPECT_EQ(Tfrm_Command::Execute(nullptr, vfAVI, Options, History, {}), vfAVI);
  EXPECT_EQ(Options, Fourth);
  EXPECT_EQ(History.first(), Fourth);
  EXPECT_EQ(History.size(), 10);
}

TEST(Tfrm_About, ShowsNameVersionDateAndLink) {
  Tfrm_About Dialog(nullptr);
  EXPECT_EQ(Dialog.windowTitle(), "About");
  EXPECT_EQ(Dialog.lbl_Product->text(), "Quillet");
  EXPECT_EQ(Dialog.lbl_Version->text(), "Version 6.1");
  EXPECT_EQ(Dialog.lbl_Compiled->text(),
            "Compiled on " + QLocale().toString(QDate(2025, 11, 4), QLocale::ShortFormat));
  EXPECT_TRUE(Dialog.lbl_Link->openExternalLinks());
  EXPECT_TRUE(Dialog.lbl_Link->text().contains(Tfrm_About::HomePage));
  EXPECT_FALSE(Dialog.img_Logo->pixmap().isNull());
}

TEST(Tfrm_About, AnyKeyCloses) {
  WhenShown<Tfrm_About>([](Tfrm_About *D) { QTest::keyClick(D, Qt::Key_A); });
  Tfrm_About::Execute(nullptr); // returns: the key closed it
  SUCCEED();
}

TEST(Tfrm_About, ClickOutsideTheLinkCloses) {
  Tfrm_About Dialog(nullptr);
  Dialog.show();
  QTest::mouseClick(Dialog.lbl_Version, Qt::LeftButton);
  EXPECT_FALSE(Dialog.isVisible());
  EXPECT_EQ(Dialog.result(), QDialog::Accepted);
}

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication App(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
