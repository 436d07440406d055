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

  // One step up or down from the edit's value (an empty or invalid edit counts as Min - 1 for
  // up and Max + 1 for down, so the first step lands on the range's end); clamped to the range.
  void StepBy(int Delta);

  QToolButton *btn_Up;
  QToolButton *btn_Down;

private:
  QLineEdit *FAssociate;
  int FMin;
  int FMax;
};
