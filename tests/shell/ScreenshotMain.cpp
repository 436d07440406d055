// Not a test: renders the main window with a few entries in the light and the dark look and
// saves PNGs, for looking at the layout. Usage: shell_screenshot OUTDIR [PROGRAMDIR]
#include "media/ui/Tfrm_Properties.h"
#include "shell/TGlassButton.h"
#include "shell/TLookStyle.h"
#include "shell/TPresetsBox.h"
#include "shell/TSettingsPanel.h"
#include "shell/Tfrm_Main.h"
#include "shell/adding/Tfrm_AddFiles.h"
#include "shell/dialogs/Tfrm_About.h"
#include "shell/dialogs/Tfrm_Command.h"
#include "shell/dialogs/Tfrm_Custom.h"
#include "shell/dialogs/Tfrm_Effects.h"
#include "shell/settings/RateControl.h"
#include "shell/settings/SettingsLists.h"

#include <QApplication>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

namespace {
TFileEntry Sample(const QString &path, int64_t seconds, int64_t bytes, const QString &size) {
  TFileEntry e;
  e.Caption = QFileInfo(path).fileName();
  e.SubItems[siDuration] = FormatDuration(seconds * 1000000);
  e.SubItems[siSize] = HumanSizeText(bytes);
  e.SubItems[siSource] = path;
  e.SubItems[siRawDuration] = QString::number(seconds * 1000000);
  e.SubItems[siRawSize] = QString::number(bytes);
  e.SubItems[siFrameRate] = QStringLiteral("25.00 fps");
  e.SubItems[siBitRate] = QStringLiteral("1500 kb");
  e.SubItems[siFrameSize] = size;
  return e;
}

void Save(QWidget &w, const QString &file) {
  QApplication::processEvents();
  w.grab().save(file);
}

// The dialogs opened from the main window, shown without their modal loop, at their default
// and their smallest size.
void SaveDialogs(Tfrm_Main &w, const QString &out, const QString &look) {
  const auto save = [&](QDialog &d, const char *name) {
    d.show();
    QApplication::processEvents();
    Save(d, out + QStringLiteral("/dialog_%1_%2.png").arg(QLatin1String(name), look));
    d.resize(d.minimumSize());
    Save(d, out + QStringLiteral("/dialog_%1_%2_min.png").arg(QLatin1String(name), look));
  };
  Tfrm_AddFiles add(&w, QStringLiteral("/usr/share"), avIcons, {});
  save(add, "addfiles");
  Tfrm_Properties properties(&w);
  properties.Fill(w.Entry(0).Caption, w.Entry(0).SubItems);
  save(properties, "properties");
  Tfrm_About about(&w);
  save(about, "about");
  Tfrm_Effects effects(&w);
  save(effects, "effects");
  Tfrm_Custom custom(&w);
  save(custom, "custom");
  Tfrm_Command command(&w, {}, {}, [](const QString &, const QString &, int) { return true; });
  save(command, "command");
}
} // namespace

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QApplication::setStyle(new TLookStyle);
  QApplication::setPalette(QApplication::style()->standardPalette());
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
  QTemporaryDir config;
  qputenv("APPDATA", config.path().toUtf8());
  Tfrm_Main w;
  if (argc > 2)
    w.str_ProgramDir = QString::fromLocal8Bit(argv[2]);
  w.show();
  Save(w, out + QStringLiteral("/quillet_empty.png"));
  w.AppendEntry(Sample(QStringLiteral("/home/me/Videos/Holiday 2025.mp4"), 754, 187654321,
                       QStringLiteral("1920x1080")));
  w.AppendEntry(Sample(QStringLiteral("/home/me/Videos/interview.avi"), 3723, 1293942784,
                       QStringLiteral("1280x720")));
  w.AppendEntry(Sample(QStringLiteral("/home/me/Music/clips/concert.mkv"), 95, 25165824,
                       QStringLiteral("640x480")));
  w.SortList();
  w.UpdateSize();
  w.lw_Files->topLevelItem(1)->setSelected(true);
  // Show a hovered and a pressed toolbar button.
  w.btn_Convert->setAttribute(Qt::WA_UnderMouse);
  w.btn_Paste->setDown(true);
  Save(w, out + QStringLiteral("/quillet_light.png"));
  w.PageControl1->setCurrentIndex(TSettingsPanel::tsVideo);
  Save(w, out + QStringLiteral("/quillet_light_video.png"));
  // Constant quality at a chosen speed, and the audio's quality.
  TConversionSettings quality = w.PageControl1->ConversionSettings();
  SelectVideoFormat(quality, vfMKV);
  quality.VideoEncoder = IndexOfItem(VideoEncoderItems(vfMKV), "H.265");
  quality.VideoRateControl = quality.AudioRateControl = rcQuality;
  quality.VideoSpeed = IndexOfItem(SpeedItems(), "Fast");
  quality.Subtitles = sbKeep;
  w.PageControl1->ShowConversionSettings(quality);
  Save(w, out + QStringLiteral("/quillet_light_video_quality.png"));
  w.PageControl1->setCurrentIndex(TSettingsPanel::tsAudio);
  Save(w, out + QStringLiteral("/quillet_light_audio_quality.png"));
  w.mnu_Dark->trigger();
  Save(w, out + QStringLiteral("/quillet_dark_audio_quality.png"));
  w.PageControl1->setCurrentIndex(TSettingsPanel::tsVideo);
  Save(w, out + QStringLiteral("/quillet_dark_video_quality.png"));
  // A target size: the job sets the bit rate, so the rate controls are off.
  TConversionSettings target = quality;
  target.TargetSize = 700;
  w.PageControl1->ShowConversionSettings(target);
  Save(w, out + QStringLiteral("/quillet_dark_video_target.png"));
  // A copied video stream: its rates and sizes are off.
  quality.VideoEncoder = IndexOfItem(VideoEncoderItems(vfMKV), CopyItem);
  w.PageControl1->ShowConversionSettings(quality);
  Save(w, out + QStringLiteral("/quillet_dark_video_copy.png"));
  w.mnu_Dark->trigger();
  w.PageControl1->box_Presets->SaveCurrent(QStringLiteral("Phone, small MKV"));
  w.PageControl1->ShowConversionSettings(TConversionSettings());
  w.mnu_Dark->trigger();
  Save(w, out + QStringLiteral("/quillet_dark_video.png"));
  w.PageControl1->setCurrentIndex(TSettingsPanel::tsOutput);
  Save(w, out + QStringLiteral("/quillet_dark_output.png"));
  w.PageControl1->setCurrentIndex(TSettingsPanel::tsProfiles);
  Save(w, out + QStringLiteral("/quillet_dark.png"));
  w.PageControl1->setCurrentIndex(TSettingsPanel::tsAudio);
  w.mnu_Dark->trigger();
  Save(w, out + QStringLiteral("/quillet_light_audio.png"));
  w.lw_Files->clear();
  w.UpdateSize();
  w.mnu_Dark->trigger();
  Save(w, out + QStringLiteral("/quillet_dark_empty.png"));
  w.AppendEntry(Sample(QStringLiteral("/home/me/Videos/interview.avi"), 3723, 1293942784,
                       QStringLiteral("1280x720")));
  SaveDialogs(w, out, QStringLiteral("dark"));
  w.mnu_Dark->trigger();
  SaveDialogs(w, out, QStringLiteral("light"));
  w.mnu_Dark->trigger();
  // Every page at the smallest size the window allows, in both looks.
  w.resize(w.minimumSize());
  for (bool dark : {true, false}) {
    for (int page = 0; page < w.PageControl1->count(); ++page) {
      w.PageControl1->setCurrentIndex(page);
      Save(w, out + QStringLiteral("/quillet_min_%1_%2.png")
                        .arg(dark ? QStringLiteral("dark") : QStringLiteral("light"))
                        .arg(page));
    }
    w.mnu_Dark->trigger();
  }
  return 0;
}
