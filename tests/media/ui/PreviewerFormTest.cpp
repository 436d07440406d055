// The engine's preview window, offscreen: shown stay-on-top at the picture's size with the
// position as caption, the picture drawn, and closing it stops the previews.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTest>

#include "media/TPreviewer.h"
#include "media/ui/TPreviewerForm.h"

namespace {

TPreviewerForm *ShownForm() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *form = qobject_cast<TPreviewerForm *>(w); form && form->isVisible())
      return form;
  return nullptr;
}

// 320x240: left half red, right half blue.
TBitmap Picture() {
  TBitmap bitmap;
  bitmap.SetSize(320, 240, pf32bit);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      uint8_t *p = bitmap.ScanLine(y) + 4 * x;
      p[0] = x < 160 ? 0 : 255; // B
      p[1] = 0;
      p[2] = x < 160 ? 255 : 0; // R
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

} // namespace
