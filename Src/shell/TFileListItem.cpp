#include "shell/TFileListItem.h"

#include <QTreeWidget>

#include "shell/LocalPath.h"

TFileListItem::TFileListItem(const TFileEntry &entry) : FEntry(entry) {
  FEntry.SubItems.resize(SubItemCount);
  setText(lcName, FEntry.Caption);
  setText(lcDuration, FEntry.SubItems[siDuration]);
  setText(lcSize, FEntry.SubItems[siSize]);
  setText(lcSource, DisplayPath(FEntry.SubItems[siSource]));
  setTextAlignment(lcDuration, Qt::AlignRight | Qt::AlignVCenter);
  setTextAlignment(lcSize, Qt::AlignRight | Qt::AlignVCenter);
}

bool TFileListItem::operator<(const QTreeWidgetItem &other) const {
  const int column = treeWidget() ? treeWidget()->sortColumn() : lcName;
  return CompareEntries(column, FEntry, static_cast<const TFileListItem &>(other).FEntry) < 0;
}
