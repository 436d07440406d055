#include "shell/dialogs/Tfrm_Custom.h"

#include "shell/dialogs/TUpDown.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

constexpr int MaxSide = 99999;
// Room for a title bar's buttons and margins beside the title text.
constexpr int TitleBarButtonsWidth = 96;

QLineEdit *NewSizeEdit(QWidget *Parent) {
  auto *Edit = new QLineEdit(QStringLiteral("1"), Parent);
  Edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), Edit));
  Edit->setMaxLength(5);
  Edit->setFixedWidth(Edit->fontMetrics().horizontalAdvance(QStringLiteral("999999")) + 12);
  return Edit;
}

} // namespace

Tfrm_Custom::Tfrm_Custom(QWidget *Owner)
    : QDialog(Owner, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint), txt_Width(NewSizeEdit(this)),
      txt_Height(NewSizeEdit(this)), UpDown1(new TUpDown(txt_Width, 1, MaxSide, this)),
      UpDown2(new TUpDown(txt_Height, 1, MaxSide, this)),
      OK(new QPushButton(QStringLiteral("OK"), this)),
      Cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Custom Frame Size"));

  auto *Layout = new QGridLayout(this);
  Layout->addWidget(new QLabel(QStringLiteral("Width:"), this), 0, 0, 1, 2);
  Layout->addWidget(new QLabel(QStringLiteral("Height:"), this), 0, 3, 1, 2);
  Layout->addWidget(txt_Width, 1, 0);
  Layout->addWidget(UpDown1, 1, 1);
  Layout->addWidget(new QLabel(QStringLiteral("x"), this), 1, 2);
  Layout->addWidget(txt_Height, 1, 3);
  Layout->addWidget(UpDown2, 1, 4);
  Layout->setHorizontalSpacing(4);

  auto *Buttons = new QDialogButtonBox(this);
  Buttons->addButton(OK, QDialogButtonBox::AcceptRole);
  Buttons->addButton(Cancel, QDialogButtonBox::RejectRole);
  OK->setDefault(true);
  // Wide enough for the title and the title bar's buttons: the fields alone would cut it.
  Buttons->setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + TitleBarButtonsWidth);
  Layout->addWidget(Buttons, 2, 0, 1, 5);
  Layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  txt_Width->selectAll();
}

QString Tfrm_Custom::FrameSizeText() const {
  return txt_Width->text() + QLatin1Char('x') + txt_Height->text();
}

bool Tfrm_Custom::Execute(QWidget *Owner, QString &Text) {
  Tfrm_Custom Dialog(Owner);
  if (Dialog.exec() != QDialog::Accepted)
    return false;
  Text = Dialog.FrameSizeText();
  return true;
}
