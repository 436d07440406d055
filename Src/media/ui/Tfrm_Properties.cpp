#include "media/ui/Tfrm_Properties.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "components/filelist/LocalPath.h"
#include "media/ui/PreviewUtils.h"
#include "media/ui/ShellInfo.h"

namespace {

// Sub-item positions the window reads.
enum : int {
  siDuration = 0,
  siSource = 2,
  siRawSize = 4,
  siFrameRate = 5,
  siBitRate = 6,
  siFrameSize = 7,
  siCount = 8
};

QLineEdit *ValueField(QWidget *AParent, int ALeft, int ATop, int AWidth) {
  auto *edit = new QLineEdit(AParent);
  edit->setReadOnly(true);
  edit->setGeometry(ALeft, ATop, AWidth, edit->sizeHint().height());
  return edit;
}

} // namespace

Tfrm_Properties::Tfrm_Properties(QWidget *AOwner)
    : QDialog(AOwner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Properties"));
  setFixedSize(375, 314);

  Image1 = new QLabel(this);
  Image1->setGeometry(16, 16, 32, 32);
  txt_Name = ValueField(this, 80, 24, 281);
  txt_Name->setFrame(false);
  // Reads as a caption: the window's colour instead of an edit's base.
  QPalette namePalette = txt_Name->palette();
  namePalette.setColor(QPalette::Base, namePalette.color(QPalette::Window));
  txt_Name->setPalette(namePalette);

  const char *captions[] = {
      "Type:", "Size:", "Duration:", "Frame rate:", "BitRate:", "Frame size:", "Source:"};
  QLineEdit **fields[] = {&txt_Type,    &txt_Size,      &txt_Duration, &txt_FrameRate,
                          &txt_Bitrate, &txt_FrameSize, &txt_Source};
  for (int i = 0; i < 7; ++i) {
    const int top = 80 + 24 * i;
    *fields[i] = ValueField(this, 104, top, 257);
    auto *label = new QLabel(QString::fromLatin1(captions[i]), this);
    label->setGeometry(16, top, 84, (*fields[i])->height());
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setBuddy(*fields[i]);
  }

  btn_OK = new QPushButton(QStringLiteral("OK"), this);
  btn_OK->setGeometry(150, 270, 75, 25);
  btn_OK->setDefault(true);
  connect(btn_OK, &QPushButton::clicked, this, &QDialog::accept);
}

void Tfrm_Properties::Execute(QWidget *AOwner, const QString &ACaption,
                              const QStringList &ASubItems) {
  Tfrm_Properties form(AOwner);
  if (!form.Fill(ACaption, ASubItems)) {
    QMessageBox::critical(
        AOwner, QStringLiteral("Error"),
        QStringLiteral("'%1' is not a valid integer value").arg(ASubItems.value(siRawSize)));
    return;
  }
  form.exec();
}

bool Tfrm_Properties::Fill(const QString &ACaption, const QStringList &ASubItems) {
  bool ok = false;
  const qlonglong size = ASubItems.value(siRawSize).toLongLong(&ok);
  if (!ok || ASubItems.size() < siCount)
    return false;
  txt_Name->setText(ACaption);
  txt_Source->setText(DisplayPath(ASubItems.at(siSource)));
  txt_Type->setText(ShellTypeName(ASubItems.at(siSource)));
  txt_Size->setText(PropertiesSizeText(size));
  txt_Duration->setText(ASubItems.at(siDuration));
  txt_FrameRate->setText(ASubItems.at(siFrameRate));
  txt_Bitrate->setText(ASubItems.at(siBitRate));
  txt_FrameSize->setText(ASubItems.at(siFrameSize));
  for (QLineEdit *edit : {txt_Name, txt_Type, txt_Size, txt_Duration, txt_FrameRate, txt_Bitrate,
                          txt_FrameSize, txt_Source})
    edit->setCursorPosition(0);
  return true;
}

void Tfrm_Properties::showEvent(QShowEvent *AEvent) {
  // The icon follows the extension: of the path when the file is there, else of the name.
  const QString name =
      QFileInfo(txt_Source->text()).isFile() ? txt_Source->text() : txt_Name->text();
  Image1->setPixmap(ShellIcon(name).pixmap(32, 32));
  QDialog::showEvent(AEvent);
}
