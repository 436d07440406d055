// Tfrm_Preview: shows one frame of a file at a time and steps through the video: next and
// previous frame, next and previous key frame, or any point by the track bar whose positions
// are the video's frames. A click on the picture shows it at its natural size; the picture's
// menu saves it as a BMP or JPEG file. The window owns its own decoder; the caption is the
// path of the file shown. The file is opened 100 ms after the window is first shown.
#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "media/TBitmap.h"

class QAction;
class QLabel;
class QMenu;
class QSlider;
class QToolButton;
class TFFDecoder;
class TPictureBox;

class Tfrm_Preview : public QDialog {
  Q_OBJECT

public:
  Tfrm_Preview(QWidget *AOwner, const QString &AFileName);
  ~Tfrm_Preview() override;

  // Shows the preview of a file modally; returns when the window has closed.
  static void Execute(QWidget *AOwner, const QString &AFileName);

  // The folder a frame was last saved to in this session; empty until then, when the Save
  // dialog opens in the video's own folder.
  static QString LastSaveFolder;

  TPictureBox *Image1;
  QToolButton *btn_First;    // previous key frame (Ctrl+Left)
  QToolButton *btn_Previous; // previous frame
  QLabel *lblPTS;            // position of the frame shown
  QToolButton *btn_Next;     // next frame
  QToolButton *btn_Last;     // next key frame (Ctrl+Right)
  QSlider *TrackBar1;
  QMenu *PopupMenu1;
  QAction *SaveImageAs1;
  QAction *Action1; // Ctrl+Left
  QAction *Action2; // Ctrl+Right
  QTimer Timer1;

  void LoadPreviewFile();
  void btn_FirstClick();
  void btn_PreviousClick();
  void btn_NextClick();
  void btn_LastClick();
  void Image1Click();
  void SaveImageAs1Click();
  // Writes the frame shown: a BMP or PNG when the name ends in ".bmp" or ".png" (any case), a
  // JPEG otherwise.
  // False (with a message box unless AQuiet) when there is no frame or the file cannot be
  // written.
  bool SaveImageTo(const QString &AFileName, bool AQuiet = false);
  // The natural-size view of the frame shown (not yet shown), or nullptr without a frame.
  QDialog *CreateNaturalSizeView();

  int64_t Duration() const { return FDuration; }
  int Frames() const { return FFrames; }
  int64_t CurrentPTS() const { return FCurrentPTS; }
  int LastPosition() const { return FLastPosition; }
  const TBitmap &Bitmap() const { return FBitmap; }
  TFFDecoder &Decoder() { return *FFDecoder1; }

protected:
  void showEvent(QShowEvent *AEvent) override;
  void resizeEvent(QResizeEvent *AEvent) override;
  void changeEvent(QEvent *AEvent) override;
  void done(int AResult) override;

private:
  void ResetDisplay();
  void ShowFrame();
  void SeekAndShow(int64_t ATarget);
  void UpdateTrackBarScale();
  void TrackBar1Change(int APosition);
  void ShowStep(bool AStepped);
  // The step buttons' icons in the palette's button text colour.
  void UpdateStepIcons();
  void ShowError(const QString &AText);
  bool HasVideo() const;

  std::unique_ptr<TFFDecoder> FFDecoder1;
  QString FFileName; // the path as the file list keeps it (shell/LocalPath.h)
  TBitmap FBitmap;
  int64_t FDuration = 0;
  int FFrames = 0;
  bool FChanging = false;
  int64_t FCurrentPTS = 0;
  int FLastPosition = 0;
  bool FShown = false;
};
