#include "shell/dialogs/Tfrm_Command.h"

#include "shell/settings/SettingsLists.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tfrm_Command::Tfrm_Command(QWidget *Owner) : QDialog(Owner) {
  setWindowTitle(QStringLiteral("FFMPEG Command"));
  txt_Command = new QLineEdit;
  cb_VideoFormat = new QComboBox;
  for (const auto &item : VideoFormatItems())
    cb_VideoFormat->addItem(QString::fromUtf8(item));
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Enter FFMPEG Command:")));
  layout->addWidget(txt_Command);
  layout->addWidget(
      new QLabel(QStringLiteral("Example: -b:a 96k -ac 2 -ar 44100 -c:a aac -c:v mpeg4 -sn ")));
  auto *format = new QFormLayout;
  format->addRow(QStringLiteral("Format:"), cb_VideoFormat);
  layout->addLayout(format);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

int Tfrm_Command::Execute(QWidget *Owner, int AFormat, QString &AOptions) {
  Tfrm_Command dialog(Owner);
  dialog.cb_VideoFormat->setCurrentIndex(AFormat);
  if (dialog.exec() != QDialog::Accepted)
    return AFormat;
  AOptions = dialog.txt_Command->text();
  return dialog.cb_VideoFormat->currentIndex();
}
