// The "Effects" dialog: switches the main window's video effects. Shown modally by the main
// window; starts from the window's switches and hands them back only on "OK".
#pragma once

#include "shell/settings/TConversionSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

class Tfrm_Effects : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_Effects(QWidget *Owner);

  // The check boxes take the switches, cb_Rotate position ef_Degrees (0 when negative).
  void SetEffects(const TEffects &Effects);
  // The switches as the dialog shows them; ef_Degrees is cb_Rotate's position whether or not
  // "Rotate" is checked.
  TEffects Effects() const;

  // Opens the dialog modally over Owner; on "OK" copies the result into Effects and returns
  // true.
  static bool Execute(QWidget *Owner, TEffects &Effects);

  QCheckBox *chk_VFlip;
  QCheckBox *chk_HFlip;
  QCheckBox *chk_Negate;
  QCheckBox *chk_Dein;
  QCheckBox *chk_Rotate;
  QComboBox *cb_Rotate;
  QPushButton *btn_OK;
  QPushButton *btn_Cancel;

private:
  void chk_RotateClick();
};
