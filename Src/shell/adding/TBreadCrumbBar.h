// TBreadCrumbBar: a read-only row of buttons, one per folder of the current path, from the
// root down; a click on one navigates there.
#pragma once

#include <QString>
#include <QWidget>

class QHBoxLayout;

class TBreadCrumbBar : public QWidget {
  Q_OBJECT

public:
  explicit TBreadCrumbBar(QWidget *AParent = nullptr);

  QString Path() const { return FPath; }
  void SetPath(const QString &APath);

signals:
  void FolderClicked(const QString &APath);

private:
  QString FPath;
  QHBoxLayout *FLayout;
};
