// Tfrm_AddFiles: the Add Files dialog, a small file browser over folders and the accepted
// media files. "Add" hands every selected item (files and folders) to the caller, which runs
// the adding window; the dialog stays open so the user can add from several folders in turn.
// The current folder and view are read back by the caller after the dialog has closed.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

class QComboBox;
class QFileIconProvider;
class QFileSystemModel;
class QLineEdit;
class QItemSelectionModel;
class QListView;
class QPushButton;
class QStackedWidget;
class QTreeView;
class TBreadCrumbBar;

// View styles as the settings keep them (int_AddView).
enum TAddView : int { avDetails = 0, avList = 1, avIcons = 2 };

class Tfrm_AddFiles : public QDialog {
  Q_OBJECT

public:
  using TAddEvent = std::function<void(Tfrm_AddFiles *Sender, const QStringList &APaths)>;

  // AStartFolder: opened when it names an existing folder, else the desktop. AView: 0 details,
  // 1 list, 2 icons; any other value gives the list view.
  Tfrm_AddFiles(QWidget *AOwner, const QString &AStartFolder, int AView, TAddEvent AOnAdd);
  ~Tfrm_AddFiles() override;

  // Shows the dialog modally from AAddPath/AAddView and writes the folder and view back to
  // them when it closes.
  static void Execute(QWidget *AOwner, QString &AAddPath, int &AAddView, TAddEvent AOnAdd);

  TBreadCrumbBar *JamShellBreadCrumbBar1;
  QLineEdit *txt_Location; // the current folder; a typed or pasted path is opened on Enter
  QListView *lw_Data;      // list and icon views
  QTreeView *tv_Details;   // details view
  QComboBox *cb_View;      // "Icons", "List", "Details"
  QPushButton *btn_Add;
  QPushButton *btn_Close;

  QString CurrentFolder() const { return FCurrentFolder; }
  void SetCurrentFolder(const QString &AFolder);
  // Opens the parent of the current folder with the folder left selected (Backspace, Alt+Up);
  // nothing at the root.
  void GoUp();
  // Opens a typed path: "~" is the home folder, a relative path is taken from the current
  // folder; a file opens its folder with the file selected. False, with the field kept for
  // correcting, when nothing is there.
  bool GoToLocation(const QString &APath);
  // 0 details, 1 list, 2 icons.
  int ViewIndex() const;
  // Full paths of the selected items in list order, without "..".
  QStringList SelectedPaths() const;
  QFileSystemModel *Model() const { return FModel; }

  void btn_AddClick();

protected:
  void showEvent(QShowEvent *AEvent) override;

private:
  void cb_ViewChange(int AIndex);
  void OpenItem(const QModelIndex &AIndex);
  void SelectionChanged();
  void txt_LocationReturn();
  void SelectPath(const QString &APath);

  std::unique_ptr<QFileIconProvider> FIcons;
  QFileSystemModel *FModel;
  QItemSelectionModel *FSelection;
  QStackedWidget *FViews;
  QString FCurrentFolder;
  TAddEvent FOnAdd;
};
