// A window size saved on a larger screen or at another scale comes back with the title bar on
// screen, under a real window manager that frames the window after it is shown (the way
// desktops do; offscreen windows have no title bar). Run by saved_geometry.sh on a private
// Xvfb screen with openbox, once at scale 1 and once at QT_SCALE_FACTOR=2.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "shell/Tfrm_Main.h"

namespace {

QString XWinInfo(const QStringList &AArguments) {
  QProcess process;
  process.start(QStringLiteral("xwininfo"), AArguments);
  process.waitForFinished(10000);
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString Field(const QString &AText, const QString &AName) {
  const QRegularExpressionMatch m =
      QRegularExpression(QRegularExpression::escape(AName) + QStringLiteral(":\\s*(\\S+)"))
          .match(AText);
  return m.hasMatch() ? m.captured(1) : QString();
}

// The frame around window AId as the X server has it (in device pixels): its top-level
// ancestor below the root window, which is the window manager's frame. Qt's frameGeometry() is
// learnt from the window manager and may lag or be wrong while it frames the window.
QRect XFrame(WId AId) {
  QString id = QStringLiteral("0x") + QString::number(AId, 16);
  for (int depth = 0; depth < 10; ++depth) {
    const QString tree = XWinInfo({QStringLiteral("-children"), QStringLiteral("-id"), id});
    const QString root = Field(tree, QStringLiteral("Root window id"));
    const QString parent = Field(tree, QStringLiteral("Parent window id"));
    if (parent.isEmpty() || parent == root)
      break;
    id = parent;
  }
  const QString info = XWinInfo({QStringLiteral("-id"), id});
  return QRect(Field(info, QStringLiteral("Absolute upper-left X")).toInt(),
               Field(info, QStringLiteral("Absolute upper-left Y")).toInt(),
               Field(info, QStringLiteral("Width")).toInt(),
               Field(info, QStringLiteral("Height")).toInt());
}

// Waits until the window manager has framed window AWindow and neither the frame nor the window
// has moved for a while (the program places the window once more when the frame arrives).
void WaitUntilFramedAndStill(const QWidget &AWindow) {
  constexpr qint64 StillFor = 700, GiveUpAfter = 15000;
  QRect lastFrame, lastWindow;
  QElapsedTimer still, total;
  still.start();
  total.start();
  while (total.elapsed() < GiveUpAfter) {
    QTest::qWait(100);
    const QRect frame = XFrame(AWindow.winId());
    const QRect window = AWindow.geometry();
    const bool framed = frame.size() != window.size() * AWindow.devicePixelRatioF();
    if (!framed || frame != lastFrame || window != lastWindow) {
      lastFrame = frame;
      lastWindow = window;
      still.restart();
    } else if (still.elapsed() >= StillFor) {
      return;
    }
  }
}

struct TSavedCase {
  const char *Name;
  int Width, Height; // as saved
};

void PrintTo(const TSavedCase &C, std::ostream *Out) {
  *Out << C.Width << "x" << C.Height;
}

class SavedGeometryTest : public testing::TestWithParam<TSavedCase> {};

TEST_P(SavedGeometryTest, TitleBarComesBackOnScreen) {
  QTemporaryDir config;
  qputenv("APPDATA", config.path().toUtf8());
  QDir().mkpath(config.filePath(QStringLiteral("Sablewick/Quillet")));
  QFile ini(config.filePath(QStringLiteral("Sablewick/Quillet/quillet.ini")));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write(QStringLiteral("[Quillet]\nWidth=%1\nHeight=%2\nUpdate=0\n")
                .arg(GetParam().Width)
                .arg(GetParam().Height)
                .toUtf8());
  ini.close();
  Tfrm_Main w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  WaitUntilFramedAndStill(w);
  // In device pixels, as the X server has them.
  const qreal scale = w.devicePixelRatioF();
  const QRect logical = w.screen()->availableGeometry();
  const QRect area(QPoint(qRound(logical.left() * scale), qRound(logical.top() * scale)),
                   QPoint(qRound((logical.right() + 1) * scale) - 1,
                          qRound((logical.bottom() + 1) * scale) - 1));
  const QRect frame = XFrame(w.winId());
  const auto text = [](const QRect &r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
  };
  const int clientTop = qRound(w.geometry().top() * scale);
  ASSERT_GT(clientTop, frame.top())
      << "no title bar: frame " << text(frame) << ", window at " << clientTop;
  EXPECT_GE(frame.top(), area.top()) << "frame " << text(frame) << " on " << text(area);
  EXPECT_GE(frame.left(), area.left()) << "frame " << text(frame) << " on " << text(area);
  // The rest of the frame too, where the window's smallest size lets it fit; while the window
  // manager frames the window the program may only estimate its borders, so a bottom or right
  // edge a few pixels over is let pass.
  const int slack = qRound(4 * scale);
  const QSize decoration = frame.size() - w.size() * scale;
  if (w.minimumWidth() * scale + decoration.width() <= area.width()) {
    EXPECT_LE(frame.right(), area.right() + slack)
        << "frame " << text(frame) << " on " << text(area);
  }
  if (w.minimumHeight() * scale + decoration.height() <= area.height()) {
    EXPECT_LE(frame.bottom(), area.bottom() + slack)
        << "frame " << text(frame) << " on " << text(area);
  }
}

INSTANTIATE_TEST_SUITE_P(Saved, SavedGeometryTest,
                         testing::Values(TSavedCase{"LargerMonitor", 3000, 2000},
                                         TSavedCase{"ScreenSized", 1280, 900},
                                         TSavedCase{"Design", 900, 720}),
                         [](const auto &AInfo) { return std::string(AInfo.param.Name); });

} // namespace
