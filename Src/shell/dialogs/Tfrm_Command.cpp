#include "shell/dialogs/Tfrm_Command.h"

#include "shell/settings/SettingsLists.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tfrm_Command::Tfrm_Command(QWidget *Owner, const QStringList &AHistory, TCheck ACheck, TSave ASave)
    : QDialog(Owner), FCheck(std::move(ACheck)), FSave(std::move(ASave)) {
  setWindowTitle(QStringLiteral("FFMPEG Command"));
  cb_Command = new QComboBox;
  cb_Command->setEditable(true);
  cb_Command->setInsertPolicy(QComboBox::NoInsert);
  cb_Command->setMaxCount(HistorySize);
  cb_Command->addItems(AHistory.mid(0, HistorySize));
  cb_Command->setCurrentIndex(-1);
  cb_Command->setEditText(QString());
  // The typed text, not the first item, is what a completer-less combo box keeps.
  cb_Command->setCompleter(nullptr);
  txt_Command = cb_Command->lineEdit();
  cb_VideoFormat = new QComboBox;
  for (const auto &item : VideoFormatItems())
    cb_VideoFormat->addItem(QString::fromUtf8(item));
  lbl_Error = new QLabel;
  lbl_Error->setWordWrap(true);
  QPalette red = lbl_Error->palette();
  red.setColor(QPalette::WindowText, QColor(0xd0, 0x20, 0x20));
  lbl_Error->setPalette(red);
  lbl_Error->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lbl_Error->hide();
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  // Apart from OK and Cancel, at the left: it keeps the dialog open.
  btn_SavePreset = new QPushButton(QStringLiteral("Save as preset..."));
  btn_SavePreset->setAutoDefault(false);
  btn_SavePreset->setVisible(bool(FSave));
  connect(btn_SavePreset, &QPushButton::clicked, this, [this] {
    const QString name =
        QInputDialog::getText(this, QStringLiteral("Save preset"), QStringLiteral("Name:"));
    if (!name.isEmpty())
      SaveAsPreset(name);
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // A changed text is checked again on OK; the old reason would only mislead.
  connect(cb_Command, &QComboBox::editTextChanged, lbl_Error, &QLabel::hide);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Enter FFMPEG Command:")));
  layout->addWidget(cb_Command);
  layout->addWidget(lbl_Error);
  auto *example =
      new QLabel(QStringLiteral("Example: -b:a 96k -ac 2 -ar 44100 -c:a aac -c:v mpeg4 -sn "));
  layout->addWidget(example);
  lbl_Error->setMaximumWidth(example->sizeHint().width());
  auto *format = new QFormLayout;
  format->addRow(QStringLiteral("Format:"), cb_VideoFormat);
  layout->addLayout(format);
  auto *row = new QHBoxLayout;
  row->addWidget(btn_SavePreset);
  row->addStretch();
  row->addWidget(buttons);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString Tfrm_Command::Refusal() const {
  return FCheck ? FCheck(txt_Command->text(), cb_VideoFormat->currentIndex()) : QString();
}

bool Tfrm_Command::Accepted(const QString &AError) {
  if (AError.isEmpty())
    return true;
  lbl_Error->setText(AError);
  lbl_Error->show();
  txt_Command->setFocus();
  return false;
}

void Tfrm_Command::accept() {
  if (Accepted(Refusal()))
    QDialog::accept();
}

bool Tfrm_Command::SaveAsPreset(const QString &AName) {
  const QString error = txt_Command->text().trimmed().isEmpty()
                            ? QStringLiteral("Enter the command to save.")
                            : Refusal();
  return FSave && Accepted(error) &&
         FSave(AName, txt_Command->text(), cb_VideoFormat->currentIndex());
}

QStringList Tfrm_Command::WithCommand(QStringList AHistory, const QString &AText) {
  const QString text = AText.trimmed();
  if (text.isEmpty())
    return AHistory;
  AHistory.removeAll(text);
  AHistory.prepend(text);
  return AHistory.mid(0, HistorySize);
}

int Tfrm_Command::Execute(QWidget *Owner, int AFormat, QString &AOptions) {
  QStringList history;
  return Execute(Owner, AFormat, AOptions, history, {});
}

int Tfrm_Command::Execute(QWidget *Owner, int AFormat, QString &AOptions, QStringList &AHistory,
                          TCheck ACheck, TSave ASave) {
  Tfrm_Command dialog(Owner, AHistory, std::move(ACheck), std::move(ASave));
  dialog.cb_VideoFormat->setCurrentIndex(AFormat);
  if (dialog.exec() != QDialog::Accepted)
    return AFormat;
  AOptions = dialog.txt_Command->text();
  AHistory = WithCommand(AHistory, AOptions);
  return dialog.cb_VideoFormat->currentIndex();
}
