// The last column of a tree view fills the rest of the view, as a display only: the width the
// user (or the program) set is kept apart, so it is what gets saved and restored.
#pragma once

#include <QObject>

class QTreeView;

class TStretchedLastColumn : public QObject {
  Q_OBJECT
public:
  // Takes over the last column's sizing; the view must have all its columns already.
  explicit TStretchedLastColumn(QTreeView *view);

  // The set width (not the filled one shown).
  int Width() const { return FWidth; }
  void SetWidth(int width);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void SectionResized(int column, int newSize);
  // Shows the column at its set width, or wider where the view has room left.
  void Fill();

  QTreeView *FView;
  int FColumn;
  int FWidth;
  bool FFilling = false;
};
