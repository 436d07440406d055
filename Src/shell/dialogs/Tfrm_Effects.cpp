#include "shell/dialogs/Tfrm_Effects.h"

#include "shell/settings/SettingsLists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QPushButton>

Tfrm_Effects::Tfrm_Effects(QWidget *Owner)
    : QDialog(Owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      chk_VFlip(new QCheckBox(QStringLiteral("Vertically flip"), this)),
      chk_HFlip(new QCheckBox(QStringLiteral("Horizontally flip"), this)),
      chk_Negate(new QCheckBox(QStringLiteral("Negate"), this)),
      chk_Dein(new QCheckBox(QStringLiteral("Deinterlace"), this)),
      chk_Rotate(new QCheckBox(QStringLiteral("Rotate"), this)), cb_Rotate(new QComboBox(this)),
      btn_OK(new QPushButton(QStringLiteral("OK"), this)),
      btn_Cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Effects"));
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  for (const std::string &Item : RotateItems())
    cb_Rotate->addItem(QString::fromStdString(Item));

  auto *Layout = new QGridLayout(this);
  Layout->addWidget(chk_VFlip, 0, 0);
  Layout->addWidget(chk_HFlip, 1, 0);
  Layout->addWidget(chk_Negate, 2, 0);
  Layout->addWidget(chk_Dein, 3, 0);
  Layout->addWidget(chk_Rotate, 4, 0);
  Layout->addWidget(cb_Rotate, 4, 1);
  auto *Buttons = new QDialogButtonBox(this);
  Buttons->addButton(btn_OK, QDialogButtonBox::AcceptRole);
  Buttons->addButton(btn_Cancel, QDialogButtonBox::RejectRole);
  btn_OK->setDefault(true);
  Layout->addWidget(Buttons, 5, 0, 1, 2);
  Layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(chk_Rotate, &QCheckBox::toggled, this, &Tfrm_Effects::chk_RotateClick);
  chk_RotateClick();
}

void Tfrm_Effects::chk_RotateClick() {
  cb_Rotate->setEnabled(chk_Rotate->isChecked());
}

void Tfrm_Effects::SetEffects(const TEffects &Effects) {
  chk_VFlip->setChecked(Effects.ef_VFlip);
  chk_HFlip->setChecked(Effects.ef_HFlip);
  chk_Negate->setChecked(Effects.ef_Negate);
  chk_Dein->setChecked(Effects.ef_Dein);
  chk_Rotate->setChecked(Effects.ef_Rotate);
  const bool Valid = Effects.ef_Degrees >= 0 && Effects.ef_Degrees < cb_Rotate->count();
  cb_Rotate->setCurrentIndex(Valid ? Effects.ef_Degrees : 0);
  chk_RotateClick();
}

TEffects Tfrm_Effects::Effects() const {
  TEffects E;
  E.ef_VFlip = chk_VFlip->isChecked();
  E.ef_HFlip = chk_HFlip->isChecked();
  E.ef_Negate = chk_Negate->isChecked();
  E.ef_Dein = chk_Dein->isChecked();
  E.ef_Rotate = chk_Rotate->isChecked();
  E.ef_Degrees = cb_Rotate->currentIndex();
  return E;
}

bool Tfrm_Effects::Execute(QWidget *Owner, TEffects &Effects) {
  Tfrm_Effects Dialog(Owner);
  Dialog.SetEffects(Effects);
  if (Dialog.exec() != QDialog::Accepted)
    return false;
  Effects = Dialog.Effects();
  return true;
}
