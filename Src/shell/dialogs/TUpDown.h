// A pair of small arrow buttons that step the integer in a line edit within a range (the
// up-down spinner beside the custom frame size edits). The edit stays free text, so it may be
// empty.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class TUpDown : public QWidget {
  Q_OBJECT
public:
  TUpDown(QLineEdit *Associate, int Min, int Max, QWidget *Parent);

  // One step from the edit's value (from the last position when the edit holds no number),
  // clamped to the range; the edit shows the result.
  void StepBy(int Delta);

  int Position() const { return FPosition; }

  QToolButton *btn_Up;
  QToolButton *btn_Down;

private:
  bool eventFilter(QObject *Watched, QEvent *Event) override;

  QLineEdit *FAssociate;
  int FMin;
  int FMax;
  int FPosition;
};
