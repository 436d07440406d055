// One entry of the main window's file list: keeps the caption and all eight sub-items as the
// entry's data and shows the caption and the first three sub-items in the four columns.
#pragma once

#include "components/filelist/FileListUtils.h"

#include <QTreeWidgetItem>

class TFileListItem : public QTreeWidgetItem {
public:
  explicit TFileListItem(const TFileEntry &entry);

  const TFileEntry &Entry() const { return FEntry; }

  // The whole text as the tooltip of a cell too narrow to show it.
  QVariant data(int column, int role) const override;

  // Ascending order of the tree's current sort column (the view reverses it for descending).
  bool operator<(const QTreeWidgetItem &other) const override;

private:
  TFileEntry FEntry;
};
