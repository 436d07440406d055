#include "shell/adding/Tfrm_Adding.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>

#include "components/filelist/LocalPath.h"
#include "media/TFFDecoder.h"
#include "shell/adding/MediaMasks.h"
#include "shell/adding/TProbeFacts.h"

namespace fs = std::filesystem;

Tfrm_Adding::Tfrm_Adding(QWidget *AOwner, const QStringList &ADroppedFiles,
                         TFileListAccess AFileList)
    : QDialog(AOwner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      FDroppedFiles(ADroppedFiles), FFileList(std::move(AFileList)),
      FFDecoder1(std::make_unique<TFFDecoder>()) {
  setWindowTitle(QStringLiteral("Adding files..."));
  setModal(true);
  lbl_Path = new QLabel(QStringLiteral("Loading AV components..."), this);
  lbl_Path->setAlignment(Qt::AlignCenter);
  lbl_Path->setWordWrap(true);
  lbl_Path->setMinimumHeight(lbl_Path->fontMetrics().lineSpacing() * 4);
  btn_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(lbl_Path, 1);
  layout->addWidget(btn_Cancel, 0, Qt::AlignHCenter);
  setMinimumWidth(420);
  connect(btn_Cancel, &QPushButton::clicked, this, &Tfrm_Adding::btn_CancelClick);

  FFindFile1.FileName = std::string(MediaMasks);
  FFindFile1.Subfolders = true;
  FFindFile1.OnFileMatch = [this](TFindFile *, const std::string &AFolder,
                                  const std::string &AName) {
    FCandidateList.append(LocalPathText(QByteArray::fromStdString(AFolder + AName)));
  };

  tmr_Step.setInterval(0);
  connect(&tmr_Step, &QTimer::timeout, this, &Tfrm_Adding::RunStep);
}

Tfrm_Adding::~Tfrm_Adding() = default;

void Tfrm_Adding::Execute(QWidget *AOwner, const QStringList &ADroppedFiles,
                          TFileListAccess AFileList, bool AHeadless) {
  Tfrm_Adding form(AOwner, ADroppedFiles, std::move(AFileList));
  form.Headless = AHeadless;
  form.exec();
}

void Tfrm_Adding::showEvent(QShowEvent *AEvent) {
  QDialog::showEvent(AEvent);
  if (!FStarted) {
    FStarted = true;
    // Let the window paint before the libraries are loaded (without a screen, nothing to paint).
    QTimer::singleShot(Headless ? 0 : 100, this, &Tfrm_Adding::ScanPendingPaths);
  }
}

void Tfrm_Adding::closeEvent(QCloseEvent *AEvent) {
  // The run uses the decoder and the scan until it is over: only Finish() closes the window.
  if (FPhase == phDone) {
    QDialog::closeEvent(AEvent);
    return;
  }
  btn_CancelClick();
  AEvent->ignore();
}

void Tfrm_Adding::reject() {
  if (FPhase == phDone)
    QDialog::reject();
  else
    btn_CancelClick();
}

void Tfrm_Adding::btn_CancelClick() {
  btn_Cancel->setEnabled(false);
  FStopAdding = true;
}

void Tfrm_Adding::ScanPendingPaths() {
  if (!FFDecoder1->AVLibLoaded() &&
      !FFDecoder1->LoadAVLib(QCoreApplication::applicationDirPath().toStdString())) {
    const QString error = QString::fromStdString(FFDecoder1->LastErrMsg());
    if (Headless)
      std::fputs(qPrintable(error + QLatin1Char('\n')), stderr);
    else
      QMessageBox::critical(this, QStringLiteral("Error"), error);
    FPhase = phDone;
    done(QDialog::Rejected);
    return;
  }
  const QStringList listed = FFileList.ListedPaths();
  FListed = QSet<QString>(listed.begin(), listed.end());
  FPhase = phCollect;
  tmr_Step.start();
}

void Tfrm_Adding::RunStep() {
  QElapsedTimer slice;
  slice.start();
  while (slice.elapsed() < SliceMs && (FPhase == phCollect || FPhase == phProbe)) {
    if (FPhase == phCollect)
      CollectStep();
    else
      ProbeStep();
  }
  FlushEntries();
}

void Tfrm_Adding::CollectStep() {
  if (FStopAdding) {
    // Nothing is probed after a cancel; a running scan need not finish.
    FFindFile1.Abort();
    Finish();
    return;
  }
  if (FFindFile1.Busy()) {
    FFindFile1.Step();
    return;
  }
  if (FPendingIndex >= FDroppedFiles.size()) {
    FPhase = phProbe;
    return;
  }
  const QString path = CleanLocalPath(FDroppedFiles.at(FPendingIndex++));
  const std::string bytes = LocalPathString(path);
  std::error_code ec;
  if (fs::is_directory(bytes, ec)) {
    lbl_Path->setText(QStringLiteral("Searching in folders...\n\n") + DisplayPath(path));
    FFindFile1.Location = bytes;
    FFindFile1.Start();
  } else if (fs::is_regular_file(bytes, ec) && IsAcceptedMediaPath(bytes)) {
    FCandidateList.append(path);
  } else if (fs::is_regular_file(bytes, ec) && !IsInFileList(path)) {
    ++FNotAcceptedCount;
  }
}

void Tfrm_Adding::ProbeStep() {
  if (FStopAdding || FCandidateIndex >= FCandidateList.size()) {
    Finish();
    return;
  }
  const QString path = FCandidateList.at(FCandidateIndex);
  lbl_Path->setText(QStringLiteral("%1 of %2\n\n%3")
                        .arg(FCandidateIndex + 1)
                        .arg(FCandidateList.size())
                        .arg(DisplayPath(path)));
  ProbeCandidate(path);
  emit CandidateDone(FCandidateIndex++);
}

void Tfrm_Adding::ProbeCandidate(const QString &APath) {
  const std::string bytes = LocalPathString(APath);
  std::error_code ec;
  if (!fs::is_regular_file(bytes, ec) || !IsAcceptedMediaPath(bytes) || IsInFileList(APath))
    return;
  // A file the decoder cannot open is skipped; the run's end counts it in one message.
  if (!FFDecoder1->LoadFile(bytes)) {
    ++FNotMediaCount;
    return;
  }
  FNewEntries.append(FileEntryOf(APath, ProbeFactsOf(*FFDecoder1, FileSizeOf(APath))));
  FListed.insert(APath);
  ++FAddedCount;
  FFDecoder1->CloseFile();
}

void Tfrm_Adding::FlushEntries() {
  if (FNewEntries.isEmpty())
    return;
  FFileList.AddEntries(FNewEntries);
  FNewEntries.clear();
}

void Tfrm_Adding::Finish() {
  tmr_Step.stop();
  FlushEntries();
  FFileList.SortList();
  FPhase = phDone;
  accept();
  // One message for the whole run, which does not hold up the list (no modal loop).
  const QString skipped = SkippedText(FNotMediaCount, FNotAcceptedCount);
  if (!skipped.isEmpty() && !Headless) {
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Information"), skipped,
                                QMessageBox::Ok, parentWidget());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
  }
}

QString Tfrm_Adding::SkippedText(int ANotMedia, int ANotAccepted) {
  const int count = ANotMedia + ANotAccepted;
  if (count <= 0)
    return {};
  QString text = count == 1 ? QStringLiteral("1 file skipped: ")
                            : QStringLiteral("%1 files skipped: ").arg(count);
  if (ANotAccepted == 0)
    return text + QStringLiteral("not media");
  if (ANotMedia == 0)
    return text + QStringLiteral("type not accepted");
  return text +
         QStringLiteral("%1 not media, %2 type not accepted").arg(ANotMedia).arg(ANotAccepted);
}
