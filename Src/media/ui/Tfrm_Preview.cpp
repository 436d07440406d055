#include "media/ui/Tfrm_Preview.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

#include "components/filelist/LocalPath.h"
#include "media/TFFDecoder.h"
#include "media/ui/PreviewUtils.h"
#include "media/ui/TPictureBox.h"

namespace {

// Closes its dialog on a left click on the watched widget.
class TClickCloser : public QObject {
public:
  TClickCloser(QDialog *ADialog) : QObject(ADialog), FDialog(ADialog) {}

protected:
  bool eventFilter(QObject *AObject, QEvent *AEvent) override {
    if (AEvent->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(AEvent)->button() == Qt::LeftButton) {
      FDialog->accept();
      return true;
    }
    return QObject::eventFilter(AObject, AEvent);
  }

private:
  QDialog *FDialog;
};

// The step buttons' pictures, drawn rather than taken from the style so that they follow the
// palette: the style's media icons are dark grey whatever the look.
enum TStepIcon { siPreviousKey, siPrevious, siNext, siNextKey };

QPixmap StepPixmap(TStepIcon AKind, const QColor &AColor, int ASide) {
  QPixmap pixmap(ASide, ASide);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(ASide / 16.0, ASide / 16.0);
  // Drawn pointing left; the forward ones are mirrored.
  if (AKind == siNext || AKind == siNextKey)
    painter.setTransform(QTransform(-1, 0, 0, 1, 16, 0), true);
  QPainterPath path;
  if (AKind == siPreviousKey || AKind == siNextKey) {
    path.addRect(3, 3, 2, 10);
    path.addPolygon(QPolygonF({{13, 3}, {13, 13}, {6, 8}}));
  } else {
    path.addPolygon(QPolygonF({{8, 3}, {8, 13}, {2, 8}}));
    path.addPolygon(QPolygonF({{14, 3}, {14, 13}, {8, 8}}));
  }
  painter.fillPath(path, AColor);
  return pixmap;
}

QIcon StepIcon(TStepIcon AKind, const QPalette &APalette) {
  QIcon icon;
  for (int side : {16, 32}) {
    icon.addPixmap(StepPixmap(AKind, APalette.color(QPalette::Active, QPalette::ButtonText), side));
    icon.addPixmap(
        StepPixmap(AKind, APalette.color(QPalette::Disabled, QPalette::ButtonText), side),
        QIcon::Disabled);
  }
  return icon;
}

QToolButton *NavigationButton(QWidget *AParent, const QString &AHint, int ALeft) {
  auto *button = new QToolButton(AParent);
  button->setIconSize(QSize(16, 16));
  button->setToolTip(AHint);
  button->setAutoRaise(true);
  button->setEnabled(false);
  button->setGeometry(ALeft, 4, 24, 24);
  return button;
}

} // namespace

Tfrm_Preview::Tfrm_Preview(QWidget *AOwner, const QString &AFileName)
    : QDialog(AOwner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FFDecoder1(std::make_unique<TFFDecoder>()), FFileName(AFileName) {
  setWindowTitle(DisplayPath(AFileName));
  setMinimumSize(200, 200);
  resize(592, 473);

  auto *Panel1 = new QWidget(this);
  Image1 = new TPictureBox(Panel1);
  Image1->SetBitmap(&FBitmap);
  Image1->setContextMenuPolicy(Qt::CustomContextMenu);
  auto *imageLayout = new QVBoxLayout(Panel1);
  imageLayout->setContentsMargins(3, 3, 3, 3);
  imageLayout->addWidget(Image1);

  auto *pnl_Top = new QWidget(this);
  pnl_Top->setFixedHeight(38);
  auto *Panel2 = new QWidget(pnl_Top);
  Panel2->setFixedSize(209, 32);
  btn_First = NavigationButton(Panel2, QStringLiteral("Previous key frame (Ctrl+Left)"), 2);
  btn_Previous = NavigationButton(Panel2, QStringLiteral("Previous frame"), 28);
  lblPTS = new QLabel(Panel2);
  lblPTS->setGeometry(58, 0, 82, 32);
  lblPTS->setAlignment(Qt::AlignCenter);
  btn_Next = NavigationButton(Panel2, QStringLiteral("Next frame"), 145);
  btn_Last = NavigationButton(Panel2, QStringLiteral("Next key frame (Ctrl+Right)"), 171);
  UpdateStepIcons();
  TrackBar1 = new QSlider(Qt::Horizontal, pnl_Top);
  // Room to drag the slider at the window's smallest size.
  TrackBar1->setMinimumWidth(100);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setRange(0, 10);
  TrackBar1->setEnabled(false);
  auto *barLayout = new QHBoxLayout(pnl_Top);
  barLayout->setContentsMargins(3, 3, 3, 3);
  barLayout->addWidget(Panel2);
  barLayout->addWidget(TrackBar1, 1);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel1, 1);
  layout->addWidget(pnl_Top);

  PopupMenu1 = new QMenu(this);
  SaveImageAs1 = PopupMenu1->addAction(QStringLiteral("Save Image As..."));
  SaveImageAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  SaveImageAs1->setEnabled(false);
  addAction(SaveImageAs1);
  Action1 = new QAction(this);
  Action1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Left));
  Action2 = new QAction(this);
  Action2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right));
  addAction(Action1);
  addAction(Action2);

  Timer1.setSingleShot(true);
  Timer1.setInterval(100);

  connect(&Timer1, &QTimer::timeout, this, &Tfrm_Preview::LoadPreviewFile);
  connect(btn_First, &QToolButton::clicked, this, &Tfrm_Preview::btn_FirstClick);
  connect(btn_Previous, &QToolButton::clicked, this, &Tfrm_Preview::btn_PreviousClick);
  connect(btn_Next, &QToolButton::clicked, this, &Tfrm_Preview::btn_NextClick);
  connect(btn_Last, &QToolButton::clicked, this, &Tfrm_Preview::btn_LastClick);
  connect(Action1, &QAction::triggered, this, &Tfrm_Preview::btn_FirstClick);
  connect(Action2, &QAction::triggered, this, &Tfrm_Preview::btn_LastClick);
  connect(SaveImageAs1, &QAction::triggered, this, &Tfrm_Preview::SaveImageAs1Click);
  connect(TrackBar1, &QSlider::valueChanged, this, &Tfrm_Preview::TrackBar1Change);
  connect(Image1, &TPictureBox::clicked, this, &Tfrm_Preview::Image1Click);
  connect(Image1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &APos) { PopupMenu1->popup(Image1->mapToGlobal(APos)); });
  ResetDisplay();
  // 200 × 200, or wider where the buttons, the time and the track bar need it.
  setMinimumSize(minimumSizeHint().expandedTo(QSize(200, 200)));
}

Tfrm_Preview::~Tfrm_Preview() = default;

QString Tfrm_Preview::LastSaveFolder;

void Tfrm_Preview::Execute(QWidget *AOwner, const QString &AFileName) {
  Tfrm_Preview form(AOwner, AFileName);
  form.exec();
}

void Tfrm_Preview::showEvent(QShowEvent *AEvent) {
  QDialog::showEvent(AEvent);
  if (!FShown) {
    // The window is on screen before the file is opened.
    FShown = true;
    ResetDisplay();
    Timer1.start();
  }
}

void Tfrm_Preview::resizeEvent(QResizeEvent *AEvent) {
  QDialog::resizeEvent(AEvent);
  UpdateTrackBarScale();
}

void Tfrm_Preview::changeEvent(QEvent *AEvent) {
  QDialog::changeEvent(AEvent);
  if (AEvent->type() == QEvent::PaletteChange)
    UpdateStepIcons();
}

void Tfrm_Preview::UpdateStepIcons() {
  btn_First->setIcon(StepIcon(siPreviousKey, palette()));
  btn_Previous->setIcon(StepIcon(siPrevious, palette()));
  btn_Next->setIcon(StepIcon(siNext, palette()));
  btn_Last->setIcon(StepIcon(siNextKey, palette()));
}

void Tfrm_Preview::done(int AResult) {
  Timer1.stop();
  FBitmap.SetSize(0, 0, pf32bit);
  FFDecoder1->CloseFile();
  QDialog::done(AResult);
}

bool Tfrm_Preview::HasVideo() const {
  return FFDecoder1->VideoStreamCount() > 0;
}

void Tfrm_Preview::ShowError(const QString &AText) {
  QMessageBox::critical(this, QStringLiteral("Error"), AText);
}

void Tfrm_Preview::ResetDisplay() {
  FDuration = 0;
  FFrames = 0;
  FCurrentPTS = 0;
  FBitmap.SetSize(0, 0, pf32bit);
  Image1->update();
  TrackBar1->setEnabled(false);
  TrackBar1->setValue(0);
  UpdateTrackBarScale();
  lblPTS->setText(TimeText(0));
}

void Tfrm_Preview::LoadPreviewFile() {
  if (!FFDecoder1->AVLibLoaded() &&
      !FFDecoder1->LoadAVLib(QCoreApplication::applicationDirPath().toStdString())) {
    ShowError(QString::fromStdString(FFDecoder1->LastErrMsg()));
    return;
  }
  if (!FFDecoder1->LoadFile(LocalPathString(FFileName))) {
    ShowError(QString::fromStdString(FFDecoder1->LastErrMsg()));
    return;
  }
  // Without video there is nothing to step through or save.
  Image1->SetNote(HasVideo() ? QString() : QStringLiteral("This file has no video."));
  for (QToolButton *button : {btn_Next, btn_Previous, btn_First, btn_Last})
    button->setEnabled(HasVideo());
  SaveImageAs1->setEnabled(HasVideo());
  // A single picture cannot be stepped through.
  TrackBar1->setEnabled(!IsSinglePictureFormat(FFDecoder1->FormatName()) && HasVideo());
  FDuration = FFDecoder1->FileStreamInfo().Duration;
  if (HasVideo()) {
    const TVideoStreamInfo info = FFDecoder1->FirstVideoStreamInfo();
    // Pictures come upright, as a player shows them: the picture box, the natural-size view
    // and a saved frame all take them so.
    FFDecoder1->VideoFilters = DisplayTurnFilter(info.Rotation);
    // Frames counted in the file where its packets can be read, else duration x rate.
    const int64_t counted = FFDecoder1->VideoFrameCount();
    FFrames = counted > 0 ? int(std::min<int64_t>(counted, INT_MAX))
                          : FrameCountOf(info.DurationScaled, FDuration, info.FrameRate);
    if (FFDecoder1->Decode())
      ShowFrame();
  }
  UpdateTrackBarScale();
}

void Tfrm_Preview::UpdateTrackBarScale() {
  // Changes made here are not the user's. Blocking the signal rather than disabling the
  // track bar keeps its keyboard focus across a resize.
  const QSignalBlocker blocker(TrackBar1);
  const int oldMax = TrackBar1->maximum();
  const double fraction = oldMax > 0 ? double(TrackBar1->value()) / oldMax : 0.0;
  const TTrackBarScale scale = TrackBarScaleOf(oldMax, FFrames);
  TrackBar1->setMaximum(scale.Max);
  TrackBar1->setTickInterval(scale.Tick);
  TrackBar1->setPageStep(scale.Page);
  TrackBar1->setValue(int(std::nearbyint(fraction * scale.Max)));
  FLastPosition = TrackBar1->value();
}

void Tfrm_Preview::ShowFrame() {
  const int64_t pts = FFDecoder1->FrameInfo().PTS;
  FCurrentPTS = pts == AV_NOPTS_VALUE ? 0 : pts;
  lblPTS->setText(TimeText(FCurrentPTS));
  if (!FChanging && FDuration > 0) {
    FChanging = true;
    TrackBar1->setValue(TrackBarPositionOf(FCurrentPTS, FDuration, TrackBar1->maximum()));
    // The next one-step move of the track bar is counted from here.
    FLastPosition = TrackBar1->value();
    FChanging = false;
  }
  if (FFDecoder1->CopyToBitmap(FBitmap))
    Image1->update();
}

void Tfrm_Preview::ShowStep(bool AStepped) {
  if (AStepped)
    ShowFrame();
}

void Tfrm_Preview::btn_FirstClick() {
  ShowStep(FFDecoder1->DecodePreviousKeyFrame());
}
void Tfrm_Preview::btn_PreviousClick() {
  ShowStep(FFDecoder1->DecodePreviousFrame());
}
void Tfrm_Preview::btn_NextClick() {
  ShowStep(FFDecoder1->Decode());
}
void Tfrm_Preview::btn_LastClick() {
  // With no key frame ahead the decoder lands on the last one, behind the frame shown; the
  // window then stays where it is and takes the decoder back there.
  const int64_t shown = FFDecoder1->FrameInfo().PTS;
  const bool stepped = FFDecoder1->DecodeNextKeyFrame();
  if (shown == AV_NOPTS_VALUE || (stepped && FFDecoder1->FrameInfo().PTS > shown)) {
    ShowStep(stepped);
    return;
  }
  FChanging = true; // the track bar stays as it is
  SeekAndShow(shown);
  FChanging = false;
}

void Tfrm_Preview::TrackBar1Change(int APosition) {
  if (FChanging || !TrackBar1->isEnabled() || !HasVideo() || APosition == FLastPosition)
    return;
  FChanging = true;
  const int64_t target = TrackBarTimeOf(APosition, TrackBar1->maximum(), FDuration);
  if (APosition == FLastPosition + 1)
    ShowStep(FFDecoder1->Decode());
  else if (APosition == FLastPosition - 1)
    ShowStep(FFDecoder1->DecodePreviousFrame());
  else
    SeekAndShow(target);
  FLastPosition = APosition;
  FChanging = false;
}

void Tfrm_Preview::SeekAndShow(int64_t ATarget) {
  // From the key frame at or before the target to the frame at or before it.
  if (!FFDecoder1->Seek(ATarget, sfBackward) && !FFDecoder1->Seek(ATarget) &&
      !FFDecoder1->Seek(ATarget, sfAny))
    return;
  bool first = true;
  while (FFDecoder1->Decode()) {
    const int64_t pts = FFDecoder1->FrameInfo().PTS;
    if (pts > ATarget && !first && FFDecoder1->DecodePreviousFrame())
      break;
    if (pts >= ATarget || ATarget <= 0)
      break;
    first = false;
  }
  if (FFDecoder1->FrameInfo().Ready)
    ShowFrame();
}

QDialog *Tfrm_Preview::CreateNaturalSizeView() {
  if (FBitmap.Empty())
    return nullptr;
  auto *view = new QDialog(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                     Qt::MSWindowsFixedSizeDialogHint);
  view->setAttribute(Qt::WA_DeleteOnClose);
  view->setWindowTitle(QStringLiteral("%1x%2 @ %3")
                           .arg(FBitmap.Width())
                           .arg(FBitmap.Height())
                           .arg(TimeText(FCurrentPTS)));
  auto *picture = new QLabel(view);
  picture->setPixmap(QPixmap::fromImage(ImageOf(FBitmap).copy()));
  picture->setGeometry(0, 0, FBitmap.Width(), FBitmap.Height());
  picture->installEventFilter(new TClickCloser(view));
  // A zero-size default button: Enter closes the view (Esc does as the dialog's cancel).
  auto *closer = new QPushButton(view);
  closer->setGeometry(0, 0, 0, 0);
  closer->setDefault(true);
  connect(closer, &QPushButton::clicked, view, &QDialog::accept);
  view->setFixedSize(FBitmap.Width(), FBitmap.Height());
  if (QScreen *screen = this->screen()) {
    QRect frame(QPoint(), view->size());
    frame.moveCenter(screen->availableGeometry().center());
    view->move(frame.topLeft());
  }
  return view;
}

void Tfrm_Preview::Image1Click() {
  if (QDialog *view = CreateNaturalSizeView())
    view->exec();
}

void Tfrm_Preview::SaveImageAs1Click() {
  if (FBitmap.Width() <= 0)
    return;
  QFileDialog dialog(this, QStringLiteral("Save Image As"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("Bitmaps (*.bmp)"),
                         QStringLiteral("JPEG Image File (*.jpg *.jpeg)"),
                         QStringLiteral("PNG Image File (*.png)")});
  dialog.setDefaultSuffix(QStringLiteral("bmp"));
  dialog.setDirectory(LastSaveFolder.isEmpty() ? QFileInfo(windowTitle()).absolutePath()
                                               : LastSaveFolder);
  dialog.selectFile(QFileInfo(windowTitle()).completeBaseName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  const QString target = dialog.selectedFiles().constFirst();
  LastSaveFolder = QFileInfo(target).absolutePath();
  SaveImageTo(target);
}

bool Tfrm_Preview::SaveImageTo(const QString &AFileName, bool AQuiet) {
  if (FBitmap.Empty())
    return false;
  // The format the extension names; JPEG for .jpg, .jpeg and names without a known one.
  const QString suffix = QFileInfo(AFileName).suffix().toLower();
  const char *format = suffix == QLatin1String("bmp")   ? "BMP"
                       : suffix == QLatin1String("png") ? "PNG"
                                                        : "JPG";
  if (ImageOf(FBitmap).save(AFileName, format))
    return true;
  if (!AQuiet)
    ShowError(QStringLiteral("Cannot save the picture to %1.").arg(AFileName));
  return false;
}
