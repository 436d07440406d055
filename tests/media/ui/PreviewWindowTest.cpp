// The preview window on generated clips: loading, stepping both ways, key frames, the track
// bar, the fitted picture, the natural-size view and saving frames.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <vector>

#include "../../LayoutFaults.h"
#include "media/TFFDecoder.h"
#include "media/ui/PreviewUtils.h"
#include "media/ui/TPictureBox.h"
#include "media/ui/Tfrm_Preview.h"

namespace {

QString Fixture(const char *AName) {
  return QDir(QStringLiteral(QUILLET_FIXTURES)).filePath(QString::fromLatin1(AName));
}

// A shown preview window that has loaded its file.
struct TOpenPreview {
  explicit TOpenPreview(const QString &APath) : Form(nullptr, APath) {
    Form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Loaded = QTest::qWaitFor([&] { return !Form.Timer1.isActive(); }, 5000);
  }
  Tfrm_Preview Form;
  bool Loaded = false;
};

// Closes the next message box that opens and remembers its title and text.
struct TMessageBoxCatcher {
  TMessageBoxCatcher() {
    QTimer::singleShot(0, [this] { Poll(); });
  }
  void Poll() {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
        Title = box->windowTitle();
        Text = box->text();
        box->accept();
        return;
      }
    if (++Polls < 500)
      QTimer::singleShot(10, [this] { Poll(); });
  }
  QString Title, Text;
  int Polls = 0;
};

TEST(PreviewWindow, LoadsTheFirstFrameAndScalesTheTrackBarToTheFrames) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  EXPECT_EQ(f.windowTitle(), Fixture("av.mp4"));
  EXPECT_EQ(f.Frames(), 50); // 2 s at 25 fps
  EXPECT_EQ(f.TrackBar1->maximum(), 50);
  EXPECT_EQ(f.TrackBar1->tickInterval(), 5);
  EXPECT_EQ(f.TrackBar1->pageStep(), 5);
  EXPECT_TRUE(f.TrackBar1->isEnabled());
  EXPECT_TRUE(f.SaveImageAs1->isEnabled());
  for (QToolButton *b : {f.btn_First, f.btn_Previous, f.btn_Next, f.btn_Last})
    EXPECT_TRUE(b->isEnabled());
  EXPECT_EQ(f.CurrentPTS(), 0);
  EXPECT_EQ(f.lblPTS->text(), QStringLiteral("00:00:00.000"));
  EXPECT_EQ(f.Bitmap().Width(), 320);
  EXPECT_EQ(f.Bitmap().Height(), 240);
  EXPECT_EQ(f.TrackBar1->value(), 0);
  EXPECT_TRUE(f.Image1->Note().isEmpty());
}

// The step buttons' pictures stand out from the window in the light and the dark look.
TEST(PreviewWindow, StepButtonsAreReadableInBothLooks) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  for (const auto &[window, text] :
       {std::pair{QColor(0xef, 0xef, 0xef), QColor(Qt::black)},
        std::pair{QColor(0x2b, 0x2d, 0x31), QColor(0xe6, 0xe6, 0xe6)}}) {
    QPalette look = f.palette();
    look.setColor(QPalette::Window, window);
    look.setColor(QPalette::Button, window);
    look.setColor(QPalette::ButtonText, text);
    f.setPalette(look);
    for (QToolButton *b : {f.btn_First, f.btn_Previous, f.btn_Next, f.btn_Last}) {
      const QImage picture = b->icon().pixmap(16, 16).toImage();
      int contrast = 0;
      for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
          const QColor pixel = picture.pixelColor(x, y);
          if (pixel.alpha() == 255)
            contrast = std::max(contrast, std::abs(pixel.lightness() - window.lightness()));
        }
      EXPECT_GE(contrast, 150) << b->toolTip().toStdString() << " on "
                               << window.name().toStdString();
    }
    f.grab().save(QStringLiteral(QUILLET_SCREENSHOTS "/preview_") + window.name().mid(1) +
                  QStringLiteral(".png"));
  }
}

TEST(PreviewWindow, AtItsSmallestSizeNothingIsCut) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  p.Form.resize(p.Form.minimumSize());
  EXPECT_TRUE(QTest::qWaitFor([&] { return p.Form.size() == p.Form.minimumSize(); }, 2000));
  EXPECT_GE(p.Form.minimumWidth(), 200);
  EXPECT_GE(p.Form.TrackBar1->width(), 100);
  EXPECT_EQ(LayoutFaults(&p.Form).join(QStringLiteral("; ")).toStdString(), "");
  p.Form.grab().save(QStringLiteral(QUILLET_SCREENSHOTS "/preview_min.png"));
}

TEST(PreviewWindow, StepsOneFrameForwardAndBackWithTheButtons) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  for (int i = 1; i <= 3; ++i) {
    QTest::mouseClick(f.btn_Next, Qt::LeftButton);
    EXPECT_EQ(f.CurrentPTS(), i * 40000);
  }
  EXPECT_EQ(f.lblPTS->text(), QStringLiteral("00:00:00.120"));
  EXPECT_EQ(f.TrackBar1->value(), 3); // round(50 x 0.12 / 2)
  QTest::mouseClick(f.btn_Previous, Qt::LeftButton);
  EXPECT_EQ(f.CurrentPTS(), 80000);
  QTest::mouseClick(f.btn_Previous, Qt::LeftButton);
  QTest::mouseClick(f.btn_Previous, Qt::LeftButton);
  EXPECT_EQ(f.CurrentPTS(), 0);
  EXPECT_EQ(f.TrackBar1->value(), 0);
}

// Frames 2 and 3, 9 and 10, 16 and 17, 23 and 24 (a key frame) share their time stamps: stepping
// back from the last shows, frame by frame, the pictures stepping forward showed.
TEST(PreviewWindow, StepsBackThroughFramesThatShareATimeStamp) {
  TOpenPreview p(Fixture("same_pts.mkv"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  std::vector<int64_t> times{f.CurrentPTS()};
  std::vector<QImage> pictures{ImageOf(f.Bitmap()).copy()};
  for (int i = 1; i < 30; ++i) {
    f.btn_NextClick();
    times.push_back(f.CurrentPTS());
    pictures.push_back(ImageOf(f.Bitmap()).copy());
  }
  ASSERT_EQ(times[23], times[24]);
  for (size_t i = times.size() - 1; i > 0; --i) {
    f.btn_PreviousClick();
    ASSERT_EQ(f.CurrentPTS(), times[i - 1]) << "from frame " << i;
    ASSERT_TRUE(ImageOf(f.Bitmap()) == pictures[i - 1]) << "from frame " << i;
  }
}

TEST(PreviewWindow, KeyFrameShortcutsWorkWhicheverControlHasTheFocus) {
  TOpenPreview p(Fixture("av.mp4")); // a key frame every 25 frames: 0 s and 1 s
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  f.TrackBar1->setFocus();
  QTest::keyClick(f.TrackBar1, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(f.CurrentPTS(), 1000000);
  EXPECT_EQ(f.TrackBar1->value(), 25);
  f.btn_Next->setFocus();
  QTest::keyClick(f.btn_Next, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(f.CurrentPTS(), 0);
  // The buttons do the same.
  QTest::mouseClick(f.btn_Last, Qt::LeftButton);
  EXPECT_EQ(f.CurrentPTS(), 1000000);
  QTest::mouseClick(f.btn_Next, Qt::LeftButton);
  QTest::mouseClick(f.btn_First, Qt::LeftButton);
  EXPECT_EQ(f.CurrentPTS(), 1000000); // the key frame before 1.04 s
}

TEST(PreviewWindow, NextKeyFrameAfterTheLastKeyFrameStaysOnTheFrameShown) {
  TOpenPreview p(Fixture("av.mp4")); // key frames at 0 s and 1 s only
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  f.btn_LastClick();
  ASSERT_EQ(f.CurrentPTS(), 1000000);
  f.btn_NextClick();
  ASSERT_EQ(f.CurrentPTS(), 1040000);
  const int position = f.TrackBar1->value();
  f.btn_LastClick(); // no key frame ahead
  EXPECT_EQ(f.CurrentPTS(), 1040000);
  EXPECT_EQ(f.lblPTS->text(), QStringLiteral("00:00:01.040"));
  EXPECT_EQ(f.TrackBar1->value(), position);
  f.btn_NextClick(); // the decoder stayed there too
  EXPECT_EQ(f.CurrentPTS(), 1080000);
}

struct TKeyFrameCase {
  const char *Fixture;
  // Microseconds: the key frame after 0, the one after that (the same when there is none)
  // and the key frame before the second one.
  int64_t FirstKey, SecondKey, BeforeSecond;
};

class PreviewKeyFrameTest : public testing::TestWithParam<TKeyFrameCase> {};

TEST_P(PreviewKeyFrameTest, StepsAcrossKeyFramesBothWays) {
  const TKeyFrameCase &c = GetParam();
  TOpenPreview p(Fixture(c.Fixture));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  f.btn_LastClick();
  EXPECT_EQ(f.CurrentPTS(), c.FirstKey);
  f.btn_PreviousClick(); // back over the key frame into the previous group
  EXPECT_EQ(f.CurrentPTS(), c.FirstKey - 40000);
  f.btn_NextClick();
  EXPECT_EQ(f.CurrentPTS(), c.FirstKey);
  f.btn_LastClick();
  EXPECT_EQ(f.CurrentPTS(), c.SecondKey);
  f.btn_NextClick();
  f.btn_FirstClick(); // the key frame at or before the frame shown
  EXPECT_EQ(f.CurrentPTS(), c.SecondKey);
  f.btn_FirstClick();
  EXPECT_EQ(f.CurrentPTS(), c.BeforeSecond);
}

INSTANTIATE_TEST_SUITE_P(Clips, PreviewKeyFrameTest,
                         testing::Values(TKeyFrameCase{"av.mp4", 1000000, 1000000, 0},
                                         TKeyFrameCase{"av.avi", 520000, 1000000, 520000}));

TEST(PreviewWindow, TrackBarStepsDecodeNeighboursAndJumpsSeek) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  f.TrackBar1->setValue(1);
  EXPECT_EQ(f.CurrentPTS(), 40000);
  f.TrackBar1->setValue(2);
  EXPECT_EQ(f.CurrentPTS(), 80000);
  f.TrackBar1->setValue(1);
  EXPECT_EQ(f.CurrentPTS(), 40000);
  f.TrackBar1->setValue(30); // 1.2 s
  EXPECT_EQ(f.CurrentPTS(), 1200000);
  EXPECT_EQ(f.LastPosition(), 30);
  f.TrackBar1->setValue(0);
  EXPECT_EQ(f.CurrentPTS(), 0);
}

struct TTrackBarJumpCase {
  const char *Fixture;
  int Frames;      // the track bar's maximum: frames counted in the file
  int Position;    // a jump there
  int64_t Shown;   // the frame at or before the position's time
  int64_t LastKey; // Previous key frame from the last frame
};

class PreviewTrackBarJumpTest : public testing::TestWithParam<TTrackBarJumpCase> {};

// MPEG streams and a jittered frame rate: the slider's time shows the frame at or before it,
// position 0 the first frame, and Previous works through the last group of frames.
TEST_P(PreviewTrackBarJumpTest, JumpsShowTheFrameAtOrBeforeTheSlidersTime) {
  const TTrackBarJumpCase &c = GetParam();
  TOpenPreview p(Fixture(c.Fixture));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  EXPECT_EQ(f.TrackBar1->maximum(), c.Frames);
  f.TrackBar1->setValue(c.Position);
  EXPECT_EQ(f.CurrentPTS(), c.Shown);
  f.TrackBar1->setValue(f.TrackBar1->maximum());
  const int64_t last = f.CurrentPTS();
  f.btn_PreviousClick();
  EXPECT_LT(f.CurrentPTS(), last);
  f.TrackBar1->setValue(f.TrackBar1->maximum());
  f.btn_FirstClick();
  EXPECT_EQ(f.CurrentPTS(), c.LastKey);
  f.TrackBar1->setValue(0);
  EXPECT_EQ(f.CurrentPTS(), 0);
  EXPECT_EQ(f.lblPTS->text(), QStringLiteral("00:00:00.000"));
}

INSTANTIATE_TEST_SUITE_P(Clips, PreviewTrackBarJumpTest,
                         testing::Values(TTrackBarJumpCase{"bframes.ts", 75, 30, 1200000, 2880000},
                                         TTrackBarJumpCase{"open_gop.mpg", 75, 50, 1960000,
                                                           2880000},
                                         TTrackBarJumpCase{"open_gop.ts", 75, 31, 1240000, 2880000},
                                         // 75 frames at a claimed 1000 fps: counted, not 3007
                                         TTrackBarJumpCase{"vfr.mp4", 75, 40, 1577000, 2800000}));

TEST(PreviewWindow, ResizingKeepsThePositionAndTheTrackBarsFocus) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  f.TrackBar1->setFocus();
  f.TrackBar1->setValue(30);
  f.resize(700, 500);
  QTest::qWait(20);
  EXPECT_EQ(f.TrackBar1->value(), 30);
  EXPECT_EQ(f.LastPosition(), 30);
  EXPECT_EQ(f.CurrentPTS(), 1200000);
  EXPECT_TRUE(f.TrackBar1->hasFocus());
  QTest::keyClick(f.TrackBar1, Qt::Key_Right); // one step: the next frame
  EXPECT_EQ(f.CurrentPTS(), 1240000);
}

TEST(PreviewWindow, TrackBarStepAfterButtonStepsFollowsThePictureShown) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  QTest::mouseClick(f.btn_Next, Qt::LeftButton);
  QTest::mouseClick(f.btn_Next, Qt::LeftButton);
  ASSERT_EQ(f.TrackBar1->value(), 2);
  f.TrackBar1->setValue(1); // one step left: the previous frame, not the next
  EXPECT_EQ(f.CurrentPTS(), 40000);
}

TEST(PreviewWindow, SavesTheFrameAsJpegPngOrBmpByExtension) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  QTemporaryDir dir;
  struct TSaveCase {
    const char *Name;
    const char *Format;
  } cases[] = {{"a.jpg", "jpeg"}, {"b.JPEG", "jpeg"}, {"c.bmp", "bmp"}, {"d.BMP", "bmp"},
               {"e.png", "png"},  {"f.PNG", "png"},   {"noext", "jpeg"}};
  for (const TSaveCase &c : cases) {
    const QString path = dir.filePath(QString::fromLatin1(c.Name));
    ASSERT_TRUE(p.Form.SaveImageTo(path, true)) << c.Name;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    EXPECT_EQ(reader.format().toStdString(), c.Format) << c.Name;
    EXPECT_EQ(reader.read().size(), QSize(320, 240)) << c.Name;
  }
  EXPECT_FALSE(p.Form.SaveImageTo(dir.filePath(QStringLiteral("missing/x.bmp")), true));
}

TEST(PreviewWindow, SaveImageAsDialogWritesTheChosenFile) {
  Tfrm_Preview::LastSaveFolder.clear();
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("shot.jpg"));
  QString preset, opened;
  // Answers the Save dialog: remembers where it opened, then saves to the chosen name or
  // cancels.
  auto answer = [&](const QString &AName) {
    QTimer::singleShot(50, [&, AName] {
      for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QFileDialog *>(w); dialog && dialog->isVisible()) {
          auto *edit = dialog->findChild<QLineEdit *>();
          if (!edit)
            continue;
          preset = edit->text();
          opened = dialog->directory().absolutePath();
          if (AName.isEmpty()) {
            static_cast<QDialog *>(dialog)->reject();
            continue;
          }
          dialog->setDirectory(dir.path());
          edit->setText(AName); // typed by the user
          static_cast<QDialog *>(dialog)->accept();
        }
    });
  };
  answer(QStringLiteral("shot.jpg"));
  p.Form.SaveImageAs1Click();
  EXPECT_EQ(preset, QStringLiteral("av"));
  EXPECT_EQ(opened, QFileInfo(Fixture("av.mp4")).absolutePath()); // the video's folder
  QImageReader reader(target);
  reader.setDecideFormatFromContent(true);
  EXPECT_EQ(reader.format(), QByteArray("jpeg"));
  EXPECT_EQ(reader.read().size(), QSize(320, 240));
  // The next time, also from another preview window, it opens where the last frame went.
  TOpenPreview other(Fixture("av.avi"));
  ASSERT_TRUE(other.Loaded);
  answer(QString());
  other.Form.SaveImageAs1Click();
  EXPECT_EQ(opened, QFileInfo(dir.path()).absoluteFilePath());
  Tfrm_Preview::LastSaveFolder.clear();
}

TEST(PreviewWindow, NaturalSizeViewShowsTheFrameAtOneToOne) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  QTest::mouseClick(p.Form.btn_Next, Qt::LeftButton);
  std::unique_ptr<QDialog> view(p.Form.CreateNaturalSizeView());
  ASSERT_TRUE(view);
  view->setAttribute(Qt::WA_DeleteOnClose, false);
  EXPECT_EQ(view->windowTitle(), QStringLiteral("320x240 @ 00:00:00.040"));
  view->show();
  EXPECT_EQ(view->size(), QSize(320, 240));
  QLabel *picture = view->findChild<QLabel *>();
  ASSERT_TRUE(picture);
  QTest::mouseClick(picture, Qt::LeftButton);
  EXPECT_EQ(view->result(), QDialog::Accepted);
  EXPECT_FALSE(view->isVisible());
}

TEST(PreviewWindow, DrawsFittedWithBlackBars) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  f.resize(300, 500); // a tall window: the landscape frame keeps the full width
  QTest::qWait(20);
  const QRect r = f.Image1->PictureRect();
  EXPECT_EQ(r.left(), 0);
  EXPECT_EQ(r.width(), f.Image1->width());
  EXPECT_GT(r.top(), 0);
  EXPECT_NEAR(double(r.width()) / r.height(), 320.0 / 240.0, 0.02);
  const QImage shot = f.Image1->grab().toImage();
  EXPECT_EQ(shot.pixelColor(shot.width() / 2, 1), QColor(Qt::black));
  EXPECT_NE(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(Qt::black));
  f.resize(592, 473);
  QTest::qWait(20);
  f.grab().save(QStringLiteral(QUILLET_SCREENSHOTS "/preview.png"));
}

TEST(PreviewWindow, AStillPictureIsShownWithTheTrackBarDisabled) {
  TOpenPreview p(Fixture("still.png"));
  ASSERT_TRUE(p.Loaded);
  EXPECT_FALSE(p.Form.TrackBar1->isEnabled());
  EXPECT_EQ(p.Form.Bitmap().Width(), 320);
  QTest::mouseClick(p.Form.btn_Next, Qt::LeftButton);
  EXPECT_EQ(p.Form.Bitmap().Width(), 320);
}

TEST(PreviewWindow, AFileWithoutVideoShowsNothingAndIgnoresTheButtons) {
  TOpenPreview p(Fixture("audio.mp3"));
  ASSERT_TRUE(p.Loaded);
  Tfrm_Preview &f = p.Form;
  EXPECT_FALSE(f.TrackBar1->isEnabled());
  EXPECT_TRUE(f.Bitmap().Empty());
  for (QToolButton *b : {f.btn_First, f.btn_Previous, f.btn_Next, f.btn_Last})
    QTest::mouseClick(b, Qt::LeftButton);
  EXPECT_EQ(f.lblPTS->text(), QStringLiteral("00:00:00.000"));
  EXPECT_TRUE(f.Bitmap().Empty());
  EXPECT_FALSE(f.SaveImageTo(QDir::temp().filePath(QStringLiteral("never.bmp")), true));
  EXPECT_EQ(f.CreateNaturalSizeView(), nullptr);
  // It says so instead of a plain black window, and offers no steps.
  EXPECT_EQ(f.Image1->Note(), QStringLiteral("This file has no video."));
  for (QToolButton *b : {f.btn_First, f.btn_Previous, f.btn_Next, f.btn_Last})
    EXPECT_FALSE(b->isEnabled());
  EXPECT_FALSE(f.SaveImageAs1->isEnabled());
  f.grab().save(QStringLiteral(QUILLET_SCREENSHOTS "/preview_audio.png"));
}

TEST(PreviewWindow, AFileThatCannotBeOpenedIsReportedAndTheWindowStaysEmpty) {
  for (const char *name : {"not_media.mp4", "no_such_file.avi"}) {
    TMessageBoxCatcher catcher;
    TOpenPreview p(Fixture(name));
    EXPECT_TRUE(p.Loaded);
    EXPECT_EQ(catcher.Title, QStringLiteral("Error")) << name;
    EXPECT_TRUE(catcher.Text.startsWith(Fixture(name))) << catcher.Text.toStdString();
    EXPECT_TRUE(p.Form.isVisible());
    EXPECT_FALSE(p.Form.btn_Next->isEnabled());
    EXPECT_FALSE(p.Form.SaveImageAs1->isEnabled());
    EXPECT_TRUE(p.Form.Bitmap().Empty());
  }
}

TEST(PreviewWindow, ClosingReleasesTheFile) {
  TOpenPreview p(Fixture("av.mp4"));
  ASSERT_TRUE(p.Loaded);
  p.Form.reject();
  EXPECT_EQ(p.Form.Decoder().StreamCount(), -1);
  EXPECT_TRUE(p.Form.Bitmap().Empty());
}

} // namespace

TEST(PreviewWindow, ExecuteShowsTheFileModallyWithItsPathAsCaption) {
  QString caption;
  int frameWidth = 0;
  std::function<void()> poll;
  int polls = 0;
  poll = [&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *form = qobject_cast<Tfrm_Preview *>(w);
          form && form->isVisible() && !form->Timer1.isActive() && form->btn_Next->isEnabled()) {
        caption = form->windowTitle();
        frameWidth = form->Bitmap().Width();
        form->close();
        return;
      }
    if (++polls < 500)
      QTimer::singleShot(10, poll);
  };
  QTimer::singleShot(10, poll);
  Tfrm_Preview::Execute(nullptr, Fixture("ntsc.mp4"));
  EXPECT_EQ(caption, Fixture("ntsc.mp4"));
  EXPECT_EQ(frameWidth, 320);
}
