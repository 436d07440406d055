#include "shell/TStretchedLastColumn.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeView>
#include <algorithm>

TStretchedLastColumn::TStretchedLastColumn(QTreeView *view)
    : QObject(view), FView(view), FColumn(view->header()->count() - 1),
      FWidth(view->header()->sectionSize(FColumn)) {
  FView->header()->setStretchLastSection(false);
  FView->viewport()->installEventFilter(this);
  connect(FView->header(), &QHeaderView::sectionResized, this,
          [this](int column, int, int newSize) { SectionResized(column, newSize); });
}

void TStretchedLastColumn::SetWidth(int width) {
  FWidth = width;
  Fill();
}

bool TStretchedLastColumn::eventFilter(QObject *watched, QEvent *event) {
  if (watched == FView->viewport() && event->type() == QEvent::Resize)
    Fill();
  return QObject::eventFilter(watched, event);
}

void TStretchedLastColumn::SectionResized(int column, int newSize) {
  if (FFilling)
    return;
  if (column == FColumn)
    FWidth = newSize;
  Fill();
}

void TStretchedLastColumn::Fill() {
  QHeaderView *header = FView->header();
  const int others = header->length() - header->sectionSize(FColumn);
  const int shown = std::max(FWidth, FView->viewport()->width() - others);
  if (shown == header->sectionSize(FColumn))
    return;
  FFilling = true;
  header->resizeSection(FColumn, shown);
  FFilling = false;
}
