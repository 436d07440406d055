// Layout checks for windows at their smallest size: the controls a user reads or uses must be
// whole (inside the window, at least as large as their content needs) and apart from each
// other. Only the visible controls count; the inner parts of lists, combo and spin boxes and tab
// bars are theirs to lay out.
#pragma once

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

namespace layout_faults {

inline bool IsControl(const QWidget *AWidget) {
  return qobject_cast<const QLabel *>(AWidget) || qobject_cast<const QAbstractButton *>(AWidget) ||
         qobject_cast<const QComboBox *>(AWidget) || qobject_cast<const QLineEdit *>(AWidget) ||
         qobject_cast<const QAbstractSlider *>(AWidget) ||
         qobject_cast<const QAbstractSpinBox *>(AWidget);
}

// A part of a control, list or tab bar rather than a control of the window.
inline bool IsInnerPart(const QWidget *AWidget, const QWidget *AWindow) {
  for (const QWidget *up = AWidget->parentWidget(); up && up != AWindow; up = up->parentWidget())
    if (IsControl(up) || qobject_cast<const QAbstractScrollArea *>(up) ||
        qobject_cast<const QTabBar *>(up))
      return true;
  return false;
}

inline QString NameOf(const QWidget *AWidget) {
  QString text;
  if (const auto *label = qobject_cast<const QLabel *>(AWidget))
    text = label->text();
  else if (const auto *button = qobject_cast<const QAbstractButton *>(AWidget))
    text = button->text();
  return QStringLiteral("%1 \"%2\" %3")
      .arg(QString::fromLatin1(AWidget->metaObject()->className()), text, AWidget->objectName());
}

// The size a control needs to show its content: a one-line label its text (a label's own
// size hint can be stale), anything else its minimum size hint or set minimum.
inline QSize NeededSize(const QWidget *AWidget) {
  const auto *label = qobject_cast<const QLabel *>(AWidget);
  if (label && !label->wordWrap() && label->pixmap().isNull() && !label->text().contains(u'<')) {
    const QFontMetrics metrics = label->fontMetrics();
    return {metrics.horizontalAdvance(label->text()) + 2 * label->margin(),
            metrics.height() + 2 * label->margin()};
  }
  return AWidget->minimumSizeHint().expandedTo(AWidget->minimumSize());
}

} // namespace layout_faults

// One line per fault found among the visible controls of AWindow; empty when all is well.
inline QStringList LayoutFaults(QWidget *AWindow) {
  using namespace layout_faults;
  QList<QWidget *> controls;
  QList<QRect> places;
  for (QWidget *w : AWindow->findChildren<QWidget *>()) {
    if (!w->isVisibleTo(AWindow) || !IsControl(w) || IsInnerPart(w, AWindow))
      continue;
    controls << w;
    places << QRect(w->mapTo(AWindow, QPoint()), w->size());
  }
  QStringList faults;
  for (int i = 0; i < controls.size(); ++i) {
    const QSize need = NeededSize(controls[i]);
    if (!AWindow->rect().contains(places[i]))
      faults << NameOf(controls[i]) + QStringLiteral(" reaches out of the window");
    if (places[i].width() < need.width() || places[i].height() < need.height())
      faults << NameOf(controls[i]) + QStringLiteral(" is cut: %1x%2 of %3x%4")
                                          .arg(places[i].width())
                                          .arg(places[i].height())
                                          .arg(need.width())
                                          .arg(need.height());
    for (int j = i + 1; j < controls.size(); ++j)
      if (places[i].intersects(places[j]))
        faults << NameOf(controls[i]) + QStringLiteral(" overlaps ") + NameOf(controls[j]);
  }
  return faults;
}
