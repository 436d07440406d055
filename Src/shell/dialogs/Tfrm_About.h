// The "About" box: product name, version, build date and a link to the maker's web page.
// Any key press or a click anywhere but on the link closes it.
#pragma once

#include <QDate>
#include <QDialog>

class QLabel;

class Tfrm_About : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_About(QWidget *Owner);

  static void Execute(QWidget *Owner);

  // The maker's web page the link opens.
  static const char *const HomePage;
  // The program's own version, "major.minor".
  static const char *const Version;
  // Build date shown as "Compiled on <date>" in the user's short date format.
  static QDate BuildDate();

  QLabel *img_Logo;
  QLabel *lbl_Product;
  QLabel *lbl_Version;
  QLabel *lbl_Compiled;
  QLabel *lbl_Link;

protected:
  void keyPressEvent(QKeyEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;
};
