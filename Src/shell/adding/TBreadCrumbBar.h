// TBreadCrumbBar: a read-only row of buttons, one per folder of the current path, from the
// root down; a click on one navigates there. When the row is too narrow the folders nearest
// the root give way first; the current folder always shows.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QHBoxLayout;

class TBreadCrumbBar : public QWidget {
  Q_OBJECT

public:
  explicit TBreadCrumbBar(QWidget *AParent = nullptr);

  QString Path() const { return FPath; }
  void SetPath(const QString &APath);

  // As narrow as the current folder's button.
  QSize minimumSizeHint() const override;

signals:
  void FolderClicked(const QString &APath);

protected:
  void resizeEvent(QResizeEvent *AEvent) override;

private:
  // Shows the crumbs that fit, hiding them from the root on.
  void FitCrumbs();

  QString FPath;
  QHBoxLayout *FLayout;
  QList<QWidget *> FCrumbs; // buttons and the separators after them, root first
};
