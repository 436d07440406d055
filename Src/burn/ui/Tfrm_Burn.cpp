#include "burn/ui/Tfrm_Burn.h"

#include "burn/ui/Tfrm_BurnProcess.h"
#include "burn/ui/Tfrm_Erase.h"
#include "burn/ui/Tfrm_Read.h"
#include "jobs/taskbar/TWin7TaskProgressBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString Now() {
  return QStringLiteral("[") + QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) +
         QStringLiteral("] ");
}

QString Q(const std::string &AText) {
  return QString::fromStdString(AText);
}

} // namespace

Tfrm_Burn::Tfrm_Burn(QWidget *AOwner, QList<TFileEntry> AFiles, TWin7TaskProgressBar *ATaskbar,
                     std::optional<QColor> ADarkText)
    : QDialog(AOwner), FFiles(std::move(AFiles)), FTaskbar(ATaskbar),
      FDarkText(std::move(ADarkText)) {
  setWindowTitle(QStringLiteral("Burn Disc"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(418, 423);
  CreateControls();
  tmr_Start = new QTimer(this);
  tmr_Start->setSingleShot(true);
  tmr_Start->setInterval(10);
  connect(tmr_Start, &QTimer::timeout, this, &Tfrm_Burn::DetectDevices);
  ConnectBurner();
}

void Tfrm_Burn::Execute(QWidget *AOwner, const QList<TFileEntry> &AFiles,
                        TWin7TaskProgressBar *ATaskbar, std::optional<QColor> ADarkText) {
  Tfrm_Burn form(AOwner, AFiles, ATaskbar, std::move(ADarkText));
  form.exec();
}

QString Tfrm_Burn::NoDriveText() {
  return QStringLiteral("Unable to detect CD/DVD/Blu-ray drive.\n\nPlease make sure that you may "
                        "access the drive's device (usually as a member of the \"cdrom\" group).");
}

void Tfrm_Burn::CreateControls() {
  GroupBox2 = new QGroupBox(QStringLiteral(" Disc name "));
  txt_Label = new QLineEdit(QStringLiteral("My Videos"));
  (new QVBoxLayout(GroupBox2))->addWidget(txt_Label);

  GroupBox1 = new QGroupBox(QStringLiteral(" Disc recorder "));
  cb_Device_Burn = new QComboBox;
  cb_Device_Burn->setFixedWidth(305);
  cb_WriteSpeed = new QComboBox;
  cb_WriteSpeed->setFixedWidth(70);
  chk_Eject = new QCheckBox(QStringLiteral("Eject disc after burn"));
  chk_Eject->setChecked(true);
  auto *recorder = new QGridLayout(GroupBox1);
  recorder->addWidget(cb_Device_Burn, 0, 0);
  recorder->addWidget(cb_WriteSpeed, 0, 1);
  recorder->addWidget(chk_Eject, 1, 0, 1, 2);

  log_Main = new QTextEdit;
  log_Main->setReadOnly(true);
  log_Main->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  Panel2 = new QWidget;
  btn_Burn = new QPushButton(QStringLiteral("Burn"));
  btn_Burn->setDefault(true);
  btn_Erase_Burn = new QPushButton(QStringLiteral("Erase"));
  Button1 = new QPushButton(QStringLiteral("Close"));
  auto *buttons = new QHBoxLayout(Panel2);
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->addWidget(btn_Erase_Burn);
  buttons->addStretch();
  buttons->addWidget(btn_Burn);
  buttons->addWidget(Button1);

  auto *column = new QVBoxLayout(this);
  column->addWidget(GroupBox2);
  column->addWidget(GroupBox1);
  column->addWidget(log_Main, 1);
  column->addWidget(Panel2);

  // Enter burns: the label has the focus first, then the controls from top to bottom.
  txt_Label->setFocus();
  const QList<QWidget *> order = {txt_Label, cb_Device_Burn, cb_WriteSpeed,  chk_Eject,
                                  log_Main,  btn_Burn,       btn_Erase_Burn, Button1};
  for (int i = 1; i < order.size(); ++i)
    setTabOrder(order[i - 1], order[i]);
  connect(cb_Device_Burn, &QComboBox::activated, this, &Tfrm_Burn::cb_Device_BurnChange);
  connect(cb_WriteSpeed, &QComboBox::activated, this, &Tfrm_Burn::cb_WriteSpeedChange);
  connect(btn_Burn, &QPushButton::clicked, this, &Tfrm_Burn::btn_BurnClick);
  connect(btn_Erase_Burn, &QPushButton::clicked, this, &Tfrm_Burn::btn_Erase_BurnClick);
  connect(Button1, &QPushButton::clicked, this, &Tfrm_Burn::Button1Click);
}

void Tfrm_Burn::ConnectBurner() {
  Burner.OnProcess = [this](TDiscBurner *, float percent, float, float, double written,
                            double size) { BurnerProcess(percent, written, size); };
  Burner.OnFinalize = [this](TDiscBurner *) { BurnerFinalize(); };
  Burner.OnBurnDone = [this](TDiscBurner *, const std::string &error) { BurnerBurnDone(error); };
  Burner.OnEraseDone = [this](TDiscBurner *, const std::string &error) { BurnerEraseDone(error); };
}

void Tfrm_Burn::showEvent(QShowEvent *AEvent) {
  QDialog::showEvent(AEvent);
  tmr_Start->start();
}

void Tfrm_Burn::done(int AResult) {
  if (FTaskbar) {
    FTaskbar->SetProgress(0);
    FTaskbar->SetVisible(false);
  }
  QDialog::done(AResult);
}

// ---- log ------------------------------------------------------------------------------------

void Tfrm_Burn::LogLine(const QString &AText, TLogColor AColor) {
  log_Main->setTextColor(LogColor(AColor, FDarkText));
  log_Main->append(AText);
  log_Main->verticalScrollBar()->setValue(log_Main->verticalScrollBar()->maximum());
}

void Tfrm_Burn::LogTimed(const QString &AText, TLogColor AColor) {
  LogLine(Now() + AText, AColor);
}

// ---- drives and speeds ----------------------------------------------------------------------

void Tfrm_Burn::DetectDevices() {
  LogLine(QStringLiteral("Initialization..."));
  Tfrm_Read::Execute(this, Burner, Tfrm_Read::rpInit);
  if (!Burner.Active() || Burner.DeviceCount() == 0) {
    QMessageBox::critical(this, QStringLiteral("Error"), NoDriveText());
    reject();
    return;
  }
  LogLine(QStringLiteral("Devices found:"));
  cb_Device_Burn->clear();
  for (int i = 1; i <= Burner.DeviceCount(); ++i) {
    const TDeviceInfo info = Burner.GetDeviceInfo(i);
    const QString address = Q(Burner.GetDevicesEntry(i));
    cb_Device_Burn->addItem(address + QStringLiteral(": ") + Q(info.VendorID) +
                            QStringLiteral(" ") + Q(info.ProductID));
    LogLine(address);
  }
  cb_Device_Burn->setCurrentIndex(0);
  sdk_NoDisc = !Tfrm_Read::Execute(this, Burner, Tfrm_Read::rpRead, 0);
  cb_Device_BurnChange();
  LogLine(QString());
}

void Tfrm_Burn::cb_Device_BurnChange() {
  Burner.SetBurnDevice(cb_Device_Burn->currentIndex() + 1);
  Burner.SetBurnSpeed(-1);
  const int fastest = Burner.GetBurnSpeed();
  Speeds = sdk_NoDisc ? NoDiscSpeedList()
                      : DriveSpeedList(fastest, Burner.SpeedToText(fastest), [this](int request) {
                          Burner.SetBurnSpeed(request);
                          return Burner.SpeedToText(Burner.GetBurnSpeed());
                        });
  cb_WriteSpeed->clear();
  for (const std::string &entry : Speeds.Entries)
    cb_WriteSpeed->addItem(Q(entry));
  if (cb_WriteSpeed->count() > 0)
    cb_WriteSpeed->setCurrentIndex(0);
  // The list walk left the slowest speed set; the selection must be what the drive uses.
  cb_WriteSpeedChange();
}

void Tfrm_Burn::cb_WriteSpeedChange() {
  Burner.SetBurnSpeed(SpeedOfEntry(Speeds, cb_WriteSpeed->currentIndex()));
}

// ---- burning --------------------------------------------------------------------------------

bool Tfrm_Burn::CheckDisc() {
  sdk_NoDisc = !Tfrm_Read::Execute(this, Burner, Tfrm_Read::rpRead, cb_Device_Burn->currentIndex());
  if (sdk_NoDisc)
    QMessageBox::critical(this, QStringLiteral("Error"), QStringLiteral("Disc is not inserted."));
  return !sdk_NoDisc;
}

bool Tfrm_Burn::AddFiles() {
  Burner.ClearAll();
  Burner.SetProjectType(ptISOUDF);
  TBurnOptions options = Burner.Options();
  if (chk_Eject->isChecked())
    options.Switches.insert(osEjectAfterBurn);
  else
    options.Switches.erase(osEjectAfterBurn);
  options.CacheSize = 134217728;
  options.VolumeLabel = txt_Label->text().toStdString();
  options.ReplaceOtherData = false; // asked again before each burn
  Burner.SetOptions(options);

  LogLine(QStringLiteral("Adding files..."), clGreen);
  FLeftOff = 0;
  for (const TFileEntry &entry : FFiles) {
    // A file gone since it was listed fails here too, and is named and counted.
    if (!Burner.AddFile(EntrySourceBytes(entry), EntryCaptionBytes(entry))) {
      LogLine(Q(Burner.GetLastErrorText()) + QStringLiteral("... ") + EntrySourceDisplay(entry),
              clRed);
      ++FLeftOff;
    }
  }
  return FLeftOff == 0 ||
         QMessageBox::warning(
             this, QStringLiteral("Warning"),
             QStringLiteral("Some files were not added. Would you like to continue with burning?"),
             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void Tfrm_Burn::btn_BurnClick() {
  bool_Burning = false;
  if (!CheckDisc() || !AddFiles())
    return;
  LogLine(QString());
  LogLine(DataLineText(Burner.ProjectFileCount(), Burner.ProjectSize()));
  const TMediumInfo &medium = Burner.MediumInfo();
  LogLine(DiscLineText(MediumTypeText(Q(medium.MediumType), medium.MediumTypeCode),
                       medium.MediumFreeSize));
  LogLine(QString());
  if (!PrepareImage())
    return;
  if (FTaskbar) {
    FTaskbar->SetStyle(tbpsNormal);
    FTaskbar->SetVisible(true);
  }
  bool_Burning = true;
  LogTimed(QStringLiteral("Burning disc..."), clGreen);
  Tfrm_BurnProcess window(this, Burner);
  FBurnWindow = &window;
  window.exec();
  FBurnWindow = nullptr;
}

bool Tfrm_Burn::PrepareImage() {
  if (Burner.Prepare() ||
      (Burner.LastError() == beImageHoldsData && ReplaceImageFile() && Burner.Prepare())) {
    // Files that went away while the questions were open.
    for (const std::string &path : Burner.LeftOutFiles())
      LogLine(QStringLiteral("Gone since it was added... ") + QString::fromLocal8Bit(path), clRed);
    FLeftOff += int(Burner.LeftOutFiles().size());
    return true;
  }
  LogLine(Q(Burner.GetLastErrorText()), clRed);
  LogLine(QString());
  return false;
}

bool Tfrm_Burn::ReplaceImageFile() {
  const QString question =
      QStringLiteral("The image file %1 holds other data, not a disc image. Burning replaces it "
                     "with the disc image.\n\nReplace it?")
          .arg(QString::fromLocal8Bit(Burner.ImageFilePath()));
  if (QMessageBox::warning(this, QStringLiteral("Warning"), question,
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
    return false;
  TBurnOptions options = Burner.Options();
  options.ReplaceOtherData = true;
  Burner.SetOptions(options);
  return true;
}

void Tfrm_Burn::btn_Erase_BurnClick() {
  if (QMessageBox::warning(this, QStringLiteral("Warning"),
                           QStringLiteral("Are you sure you want to erase the disc?\nErasing will "
                                          "remove all information from the disc."),
                           QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  if (!CheckDisc())
    return;
  bool_Erasing = true;
  str_EraseError.clear();
  LogTimed(QStringLiteral("Erasing disc..."), clGreen);
  {
    Tfrm_Erase window(this, Burner);
    FEraseWindow = &window;
    window.exec();
    FEraseWindow = nullptr;
  }
  if (!str_EraseError.isEmpty()) {
    LogTimed(QStringLiteral("Error!"), clRed);
    LogLine(str_EraseError, clRed);
  } else {
    LogTimed(QStringLiteral("Success!"), clGreen);
  }
  QApplication::beep();
  bool_Erasing = false;
  LogLine(QString());
}

void Tfrm_Burn::Button1Click() {
  if (Burner.Active() && !Burner.Busy())
    Burner.ClearAll();
  reject();
}

// ---- engine events --------------------------------------------------------------------------

void Tfrm_Burn::BurnerProcess(float APercent, double ABytesWritten, double AImageSize) {
  if (bool_Erasing || !bool_Burning || !FBurnWindow)
    return;
  FBurnWindow->prg_Extract->setValue(int(APercent));
  const int position = FBurnWindow->prg_Extract->value();
  if (FTaskbar)
    FTaskbar->SetProgress(position);
  FBurnWindow->lbl_Percent->setText(QString::number(position) + QStringLiteral("%"));
  FBurnWindow->lbl_Written->setText(WrittenText(ABytesWritten, AImageSize));
}

void Tfrm_Burn::BurnerFinalize() {
  bool_Burning = false;
  if (!FBurnWindow)
    return;
  LogTimed(QStringLiteral("Closing track..."), clGreen);
  FBurnWindow->lbl_Burn->setText(QStringLiteral("Closing track... "));
  FBurnWindow->prg_Extract->setValue(100);
  FBurnWindow->lbl_Percent->setText(QStringLiteral("100%"));
  FBurnWindow->btn_Cancel->setEnabled(false);
}

void Tfrm_Burn::BurnerBurnDone(const std::string &AError) {
  if (bool_Erasing)
    return;
  if (FBurnWindow)
    FBurnWindow->bool_Done = true;
  if (FTaskbar)
    FTaskbar->SetProgress(100);
  if (!AError.empty()) {
    if (FTaskbar)
      FTaskbar->SetStyle(tbpsError);
    LogTimed(Q(AError), clRed);
  } else if (FLeftOff > 0) {
    LogTimed(LeftOffText(FLeftOff), clRed);
  } else {
    LogTimed(QStringLiteral("Success!"), clGreen);
  }
  QApplication::beep();
  LogLine(QString());
}

void Tfrm_Burn::BurnerEraseDone(const std::string &AError) {
  if (FEraseWindow)
    FEraseWindow->bool_Done = true;
  str_EraseError = Q(AError);
}
