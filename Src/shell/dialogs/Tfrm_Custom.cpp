#include "shell/dialogs/Tfrm_Custom.h"

#include "shell/dialogs/TUpDown.h"
#include "shell/settings/OptionBuilders.h"

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

Tfrm_Custom::Tfrm_Custom(QWidget *Owner, std::optional<TConversionSettings> Settings)
    : QDialog(Owner, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint), txt_Width(NewSizeEdit(this)),
      txt_Height(NewSizeEdit(this)), UpDown1(new TUpDown(txt_Width, 1, MaxSide, this)),
      UpDown2(new TUpDown(txt_Height, 1, MaxSide, this)),
      OK(new QPushButton(QStringLiteral("OK"), this)),
      Cancel(new QPushButton(QStringLiteral("Cancel"), this)), lbl_Refusal(new QLabel(this)),
      FSettings(std::move(Settings)) {
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
  lbl_Refusal->setWordWrap(true);
  lbl_Refusal->setFixedWidth(Buttons->minimumWidth());
  QPalette Red = lbl_Refusal->palette();
  Red.setColor(QPalette::WindowText, QColor(0xd0, 0x20, 0x20));
  lbl_Refusal->setPalette(Red);
  lbl_Refusal->hide();
  Layout->addWidget(lbl_Refusal, 2, 0, 1, 5);
  Layout->addWidget(Buttons, 3, 0, 1, 5);
  Layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(txt_Width, &QLineEdit::textChanged, this, &Tfrm_Custom::UpdateRefusal);
  connect(txt_Height, &QLineEdit::textChanged, this, &Tfrm_Custom::UpdateRefusal);
  UpdateRefusal();
  txt_Width->selectAll();
}

QString Tfrm_Custom::Refusal() const {
  if (!FSettings)
    return {};
  return QString::fromStdString(FrameSizeRefusal(*FSettings, FrameSizeText().toStdString()));
}

void Tfrm_Custom::UpdateRefusal() {
  const QString Reason = Refusal();
  lbl_Refusal->setText(Reason);
  lbl_Refusal->setVisible(!Reason.isEmpty());
  OK->setEnabled(Reason.isEmpty());
}

// Also when OK is reached some other way than its button (a default-button key press).
void Tfrm_Custom::accept() {
  if (Refusal().isEmpty())
    QDialog::accept();
}

QString Tfrm_Custom::FrameSizeText() const {
  return txt_Width->text() + QLatin1Char('x') + txt_Height->text();
}

bool Tfrm_Custom::Execute(QWidget *Owner, QString &Text,
                          std::optional<TConversionSettings> Settings) {
  Tfrm_Custom Dialog(Owner, std::move(Settings));
  if (Dialog.exec() != QDialog::Accepted)
    return false;
  Text = Dialog.FrameSizeText();
  return true;
}
