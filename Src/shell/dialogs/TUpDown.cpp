#include "shell/dialogs/TUpDown.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QToolButton *NewArrow(Qt::ArrowType Arrow, QWidget *Parent) {
  auto *Button = new QToolButton(Parent);
  Button->setArrowType(Arrow);
  Button->setAutoRepeat(true);
  Button->setFocusPolicy(Qt::NoFocus);
  Button->setFixedSize(16, 11);
  return Button;
}

} // namespace

TUpDown::TUpDown(QLineEdit *Associate, int Min, int Max, QWidget *Parent)
    : QWidget(Parent), btn_Up(NewArrow(Qt::UpArrow, this)), btn_Down(NewArrow(Qt::DownArrow, this)),
      FAssociate(Associate), FMin(Min), FMax(Max), FPosition(Min) {
  auto *Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  Layout->addWidget(btn_Up);
  Layout->addWidget(btn_Down);
  connect(btn_Up, &QToolButton::clicked, this, [this] { StepBy(1); });
  connect(btn_Down, &QToolButton::clicked, this, [this] { StepBy(-1); });
  FAssociate->installEventFilter(this); // arrow keys in the edit step too
}

void TUpDown::StepBy(int Delta) {
  bool Ok = false;
  const int Value = FAssociate->text().toInt(&Ok);
  if (Ok)
    FPosition = Value;
  FPosition = std::clamp(static_cast<long long>(FPosition) + Delta, static_cast<long long>(FMin),
                         static_cast<long long>(FMax));
  FAssociate->setText(QString::number(FPosition));
}

bool TUpDown::eventFilter(QObject *Watched, QEvent *Event) {
  if (Watched == FAssociate && Event->type() == QEvent::KeyPress) {
    const int Key = static_cast<QKeyEvent *>(Event)->key();
    if (Key == Qt::Key_Up || Key == Qt::Key_Down) {
      StepBy(Key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}
