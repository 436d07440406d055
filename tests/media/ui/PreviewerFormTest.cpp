// The engine's preview window, offscreen: shown stay-on-top at the picture's size with the
// position as caption, the picture drawn, and closing it stops the previews.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

#include "media/TPreviewer.h"
#include "media/ui/TPreviewerForm.h"

namespace {

TPreviewerForm *ShownForm() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *form = qobject_cast<TPreviewerForm *>(w); form && form->isVisible())
      return form;
  return nullptr;
}

// AWidth x AHeight (320x240 by default): left half red, right half blue.
TBitmap Picture(int AWidth = 320, int AHeight = 240) {
  TBitmap bitmap;
  bitmap.SetSize(AWidth, AHeight, pf32bit);
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x) {
      uint8_t *p = bitmap.ScanLine(y) + 4 * x;
      p[0] = x < AWidth / 2 ? 0 : 255; // B
      p[1] = 0;
      p[2] = x < AWidth / 2 ? 255 : 0; // R
      p[3] = 255;
    }
  return bitmap;
}

// The form shown, once exposed; null when none is.
TPreviewerForm *ExposedForm() {
  TPreviewerForm *form = ShownForm();
  return form && QTest::qWaitForWindowExposed(form) ? form : nullptr;
}

struct TInstalledWindows {
  TInstalledWindows() { InstallPreviewerWindows(); }
  ~TInstalledWindows() { SetPreviewWindowFactory(nullptr); }
};

TEST(TPreviewerForm, ShowsThePictureStayingOnTopUntilClosed) {
  TInstalledWindows windows;
  TBitmap bitmap = Picture();
  TPreviewer previewer;
  ASSERT_TRUE(previewer.PaintFrame(bitmap, 1, 61500000));
  TPreviewerForm *form = ExposedForm();
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMinMaxButtonsHint);
  EXPECT_EQ(form->size(), QSize(320, 240));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("00:01:01.500"));

  bitmap.FillBlack(); // the engine reuses its bitmap: the window keeps its own copy
  const QImage shown = form->grab().toImage();
  QDir().mkpath(QStringLiteral(QUILLET_SCREENSHOTS));
  shown.save(QDir(QStringLiteral(QUILLET_SCREENSHOTS)).filePath("previewer.png"));
  EXPECT_EQ(shown.pixelColor(10, 10), QColor(Qt::red));
  EXPECT_EQ(shown.pixelColor(310, 230), QColor(Qt::blue));

  form->close(); // as the user does
  EXPECT_FALSE(previewer.PaintFrame(bitmap, 2, 61540000));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("00:01:01.500"));
}

// The job window runs modally; the preview that opens over it still takes the user's mouse:
// a press and a move drag it.
TEST(TPreviewerForm, AModalWindowDoesNotBlockIt) {
  TInstalledWindows windows;
  QDialog job;
  job.setWindowModality(Qt::ApplicationModal);
  job.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&job));
  TBitmap bitmap = Picture();
  TPreviewer previewer;
  ASSERT_TRUE(previewer.PaintFrame(bitmap, 1, 0));
  TPreviewerForm *form = ExposedForm();
  ASSERT_NE(form, nullptr);
  const QPoint before = form->pos();
  QTest::mousePress(form->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(form->windowHandle(), QPoint(60, 50));
  QTest::mouseRelease(form->windowHandle(), Qt::LeftButton, {}, QPoint(60, 50));
  EXPECT_NE(form->pos(), before);
}

// A large output (2560x1600) opens at most half the screen's area, scaled with its aspect kept,
// beside the modal job window and never over it (its buttons stay reachable); the user may
// resize it and it keeps that size for the next pictures.
TEST(TPreviewerForm, ALargePictureOpensBesideTheJobWindowAtMostHalfTheScreen) {
  TInstalledWindows windows;
  QDialog job;
  job.setWindowTitle(QStringLiteral("Saving... [1/1]"));
  auto *layout = new QVBoxLayout(&job);
  layout->addStretch();
  layout->addWidget(new QDialogButtonBox(QDialogButtonBox::Cancel | QDialogButtonBox::Close |
                                         QDialogButtonBox::Ok));
  job.setWindowModality(Qt::ApplicationModal);
  job.resize(494, 427);
  const QRect area = job.screen()->availableGeometry();
  job.move(area.center() - QPoint(247, 213)); // where a job window opens: the middle
  job.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&job));
  TBitmap bitmap = Picture(2560, 1600);
  TPreviewer previewer;
  ASSERT_TRUE(previewer.PaintFrame(bitmap, 1, 0));
  TPreviewerForm *form = ExposedForm();
  ASSERT_NE(form, nullptr);
  const QRect frame = form->frameGeometry();
  EXPECT_TRUE(area.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width()
                                    << "x" << frame.height();
  EXPECT_FALSE(frame.intersects(job.frameGeometry()));
  EXPECT_LE(qint64(form->width()) * form->height(), qint64(area.width()) * area.height() / 2);
  EXPECT_NEAR(double(form->width()) / form->height(), 1.6, 0.02);
  EXPECT_LT(form->width(), 2560);
  // The whole picture is drawn, scaled: red on the left, blue on the right.
  const QImage shown = form->grab().toImage();
  EXPECT_EQ(shown.pixelColor(5, shown.height() / 2), QColor(Qt::red));
  EXPECT_EQ(shown.pixelColor(shown.width() - 5, shown.height() / 2), QColor(Qt::blue));
  // The screen as the user sees it, in the light and the dark look.
  for (const auto &[look, window] : {std::pair{"light", QColor(0xef, 0xef, 0xef)},
                                     std::pair{"dark", QColor(0x2b, 0x2d, 0x31)}}) {
    QPalette palette = job.palette();
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, window.lightness() > 128 ? Qt::black : Qt::white);
    job.setPalette(palette);
    QImage screen(job.screen()->geometry().size(), QImage::Format_RGB32);
    screen.fill(QColor(0x30, 0x50, 0x70));
    QPainter painter(&screen);
    painter.drawPixmap(job.geometry().topLeft(), job.grab());
    painter.drawPixmap(form->geometry().topLeft(), form->grab());
    painter.end();
    screen.save(QDir(QStringLiteral(QUILLET_SCREENSHOTS))
                    .filePath(QStringLiteral("previewer_screen_%1x%2_%3.png")
                                  .arg(screen.width())
                                  .arg(screen.height())
                                  .arg(QLatin1String(look))));
  }
  form->resize(300, 200); // the user's size stays for the next pictures of the same size
  ASSERT_TRUE(previewer.PaintFrame(bitmap, 2, 40000));
  EXPECT_EQ(form->size(), QSize(300, 200));
}

} // namespace
