#include "shell/TFileListItem.h"

#include <QTreeWidget>

#include "components/filelist/LocalPath.h"

TFileListItem::TFileListItem(const TFileEntry &entry) : FEntry(entry) {
  FEntry.SubItems.resize(SubItemCount);
  setText(lcName, FEntry.Caption);
  setText(lcDuration, FEntry.SubItems[siDuration]);
  setText(lcSize, FEntry.SubItems[siSize]);
  setText(lcSource, DisplayPath(FEntry.SubItems[siSource]));
  setTextAlignment(lcDuration, Qt::AlignRight | Qt::AlignVCenter);
  setTextAlignment(lcSize, Qt::AlignRight | Qt::AlignVCenter);
}

QVariant TFileListItem::data(int column, int role) const {
  if (role != Qt::ToolTipRole || !treeWidget())
    return QTreeWidgetItem::data(column, role);
  // The cell's room for text: its width less the icon and the style's padding.
  const QTreeWidget *tree = treeWidget();
  int room = tree->columnWidth(column) - 8;
  if (!icon(column).isNull())
    room -= tree->iconSize().width() + 4;
  const QString shown = text(column);
  if (tree->fontMetrics().horizontalAdvance(shown) <= room)
    return {};
  return shown;
}

bool TFileListItem::operator<(const QTreeWidgetItem &other) const {
  const int column = treeWidget() ? treeWidget()->sortColumn() : lcName;
  return CompareEntries(column, FEntry, static_cast<const TFileListItem &>(other).FEntry) < 0;
}
