// The Add Files dialog: start folder and view, the filter, selection, Add and Close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QIcon>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "../../LayoutFaults.h"
#include "shell/adding/TBreadCrumbBar.h"
#include "shell/adding/Tfrm_AddFiles.h"

namespace {

// A folder with two media files, a text file, a subfolder holding a third media file and a
// dot-file and dot-folder.
struct TBrowseFolder {
  TBrowseFolder() {
    for (const char *name :
         {"b.mp4", "a.AVI", "notes.txt", "sub/c.mkv", ".hidden.ts", ".config/d.mp4"}) {
      const QString path = Dir.filePath(QString::fromLatin1(name));
      QDir().mkpath(QFileInfo(path).absolutePath());
      QFile file(path);
      EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    }
  }
  QString Path(const char *AName = nullptr) const {
    return AName ? Dir.filePath(QString::fromLatin1(AName)) : Dir.path();
  }
  QTemporaryDir Dir;
};

// The names the dialog lists in its current folder, once the model has read it.
QStringList ListedNames(Tfrm_AddFiles &AForm) {
  QFileSystemModel *model = AForm.Model();
  const QModelIndex root = model->index(AForm.CurrentFolder());
  EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) > 0; }, 5000));
  QTest::qWait(50); // let the gatherer finish the folder
  QStringList names;
  for (int row = 0; row < model->rowCount(root); ++row)
    names << model->index(row, 0, root).data().toString();
  names.sort();
  return names;
}

// Selects the current folder's rows shown under these names.
void Select(Tfrm_AddFiles &AForm, const QStringList &ANames) {
  QFileSystemModel *model = AForm.Model();
  const QModelIndex root = model->index(AForm.CurrentFolder());
  for (const QString &name : ANames) {
    QModelIndex index;
    for (int row = 0; row < model->rowCount(root) && !index.isValid(); ++row)
      if (model->index(row, 0, root).data().toString() == name)
        index = model->index(row, 0, root);
    ASSERT_TRUE(index.isValid()) << name.toStdString();
    AForm.lw_Data->selectionModel()->select(index, QItemSelectionModel::Select |
                                                       QItemSelectionModel::Rows);
  }
}

TEST(AddFilesDialog, ListsFoldersAndAcceptedMediaFilesButNoDotFiles) {
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), avList, {});
  form.show();
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Add files"));
  EXPECT_EQ(form.CurrentFolder(), folder.Path());
  const QStringList names = ListedNames(form);
  EXPECT_TRUE(names.contains(QStringLiteral("a.AVI")));
  EXPECT_TRUE(names.contains(QStringLiteral("b.mp4")));
  EXPECT_TRUE(names.contains(QStringLiteral("sub")));
  EXPECT_TRUE(names.contains(QStringLiteral("..")));
  EXPECT_FALSE(names.contains(QStringLiteral("notes.txt")));
  EXPECT_FALSE(names.contains(QStringLiteral(".")));
  EXPECT_FALSE(names.contains(QStringLiteral(".hidden.ts")));
  EXPECT_FALSE(names.contains(QStringLiteral(".config")));
  EXPECT_EQ(form.txt_Location->text(), folder.Path());
}

// The row shown under this name in the current folder.
QModelIndex RowNamed(Tfrm_AddFiles &AForm, const QString &AName, int AColumn = 0) {
  QFileSystemModel *model = AForm.Model();
  const QModelIndex root = model->index(AForm.CurrentFolder());
  for (int row = 0; row < model->rowCount(root); ++row)
    if (model->index(row, 0, root).data().toString() == AName)
      return model->index(row, AColumn, root);
  return {};
}

TEST(AddFilesDialog, EveryEntryHasItsIconInEveryView) {
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), avIcons, {});
  form.show();
  for (const QString &name : ListedNames(form)) {
    const QModelIndex index = RowNamed(form, name);
    // The list, icon and details views all draw the model's decoration of column 0.
    EXPECT_FALSE(index.data(Qt::DecorationRole).value<QIcon>().isNull()) << name.toStdString();
  }
  EXPECT_EQ(form.tv_Details->model(), form.lw_Data->model());
}

TEST(AddFilesDialog, TheRootHasNoParentEntryAndAParentIsAFolderNotADrive) {
  Tfrm_AddFiles atRoot(nullptr, QStringLiteral("/"), avDetails, {});
  atRoot.show();
  EXPECT_FALSE(ListedNames(atRoot).contains(QStringLiteral("..")));

  // A folder right below the root: its ".." is "/".
  QString top = QStringLiteral("/") + QDir::tempPath().split(u'/', Qt::SkipEmptyParts).value(0);
  Tfrm_AddFiles belowRoot(nullptr, top, avDetails, {});
  belowRoot.show();
  ASSERT_TRUE(ListedNames(belowRoot).contains(QStringLiteral("..")));
  const QModelIndex type = RowNamed(belowRoot, QStringLiteral(".."), 2);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !type.data().toString().isEmpty(); }, 2000));
  EXPECT_EQ(type.data().toString(), QStringLiteral("Folder"));
}

struct TLocationCase {
  const char *Typed;    // "@" stands for the test folder and a slash
  const char *Folder;   // expected folder below the test folder; nullptr: home; "=": unchanged
  const char *Selected; // the item selected afterwards, or nullptr
};

class AddFilesLocationTest : public testing::TestWithParam<TLocationCase> {};

TEST_P(AddFilesLocationTest, ATypedPathOpensItsFolder) {
  const TLocationCase &c = GetParam();
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), avList, {});
  form.show();
  ListedNames(form);
  const QString typed = QString::fromLatin1(c.Typed).replace(u'@', folder.Path() + u'/');
  const bool found = form.GoToLocation(typed);
  EXPECT_EQ(found, std::string(c.Folder) != "=");
  const QString expected = !found                         ? folder.Path()
                           : std::string(c.Folder) == "~" ? QDir::homePath()
                                                          : folder.Path(c.Folder);
  EXPECT_EQ(form.CurrentFolder(), QDir::cleanPath(expected));
  const QStringList selected = form.SelectedPaths();
  if (c.Selected) {
    EXPECT_EQ(selected, QStringList{folder.Path(c.Selected)});
  } else {
    EXPECT_TRUE(selected.isEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Typed, AddFilesLocationTest,
    testing::Values(TLocationCase{"sub", "sub", nullptr},            // relative to the folder
                    TLocationCase{" @sub ", "sub", nullptr},         // absolute, spaces around
                    TLocationCase{"@sub/c.mkv", "sub", "sub/c.mkv"}, // a file: its folder
                    TLocationCase{"@sub/..", ".", nullptr},          // cleaned
                    TLocationCase{"~", "~", nullptr},                // the home folder
                    TLocationCase{"@missing", "=", nullptr},         // nothing there
                    TLocationCase{"", "=", nullptr}));

// At its smallest size every control shows whole: the buttons, the location field and the
// current folder's crumb (the crumbs nearer the root give way).
TEST(AddFilesDialog, AtItsSmallestSizeNothingIsCut) {
  TBrowseFolder folder;
  const QString deep = folder.Path("a folder with a rather long name/and another one below it");
  QDir().mkpath(deep);
  Tfrm_AddFiles form(nullptr, deep, avIcons, {});
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.resize(form.minimumSize());
  EXPECT_TRUE(QTest::qWaitFor([&] { return form.size() == form.minimumSize(); }, 2000));
  QTest::qWait(50); // the crumbs that give way are hidden after the resize
  EXPECT_GE(form.minimumWidth(), 200);
  EXPECT_GE(form.minimumHeight(), 200);
  EXPECT_EQ(LayoutFaults(&form).join(QStringLiteral("; ")).toStdString(), "");
  const QList<QToolButton *> crumbs = form.JamShellBreadCrumbBar1->findChildren<QToolButton *>();
  ASSERT_FALSE(crumbs.isEmpty());
  EXPECT_TRUE(crumbs.constLast()->isVisible());
  EXPECT_FALSE(crumbs.constFirst()->isVisible()); // "/" gave way
  form.grab().save(QStringLiteral(QUILLET_SCREENSHOTS "/addfiles_min.png"));
}

TEST(AddFilesDialog, BackspaceAndAltUpOpenTheParentWithTheFolderSelected) {
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path("sub"), avList, {});
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  ListedNames(form);
  // In the location field Backspace edits the text.
  form.txt_Location->setFocus();
  QTest::keyClick(form.txt_Location, Qt::Key_Backspace);
  EXPECT_EQ(form.CurrentFolder(), folder.Path("sub"));
  form.lw_Data->setFocus();
  QTest::keyClick(form.lw_Data, Qt::Key_Backspace);
  EXPECT_EQ(form.CurrentFolder(), folder.Path());
  EXPECT_EQ(form.SelectedPaths(), QStringList{folder.Path("sub")});
  EXPECT_EQ(form.txt_Location->text(), folder.Path());
  QTest::keyClick(form.txt_Location, Qt::Key_Up, Qt::AltModifier);
  EXPECT_EQ(form.CurrentFolder(), QFileInfo(folder.Path()).absolutePath());
  form.SetCurrentFolder(QStringLiteral("/"));
  form.GoUp();
  EXPECT_EQ(form.CurrentFolder(), QStringLiteral("/"));
}

struct TViewCase {
  int AddView;
  const char *Caption;
  int ViewIndex;
  bool Details;
  QListView::ViewMode Mode;
};

class AddFilesViewTest : public testing::TestWithParam<TViewCase> {};

TEST_P(AddFilesViewTest, OpensInTheRememberedView) {
  const TViewCase &c = GetParam();
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), c.AddView, {});
  EXPECT_EQ(form.cb_View->currentText().toStdString(), c.Caption);
  EXPECT_EQ(form.ViewIndex(), c.ViewIndex);
  auto *stack = qobject_cast<QStackedWidget *>(form.lw_Data->parentWidget());
  ASSERT_TRUE(stack);
  EXPECT_EQ(stack->currentWidget() == form.tv_Details, c.Details);
  if (!c.Details) {
    EXPECT_EQ(form.lw_Data->viewMode(), c.Mode);
  }
}

INSTANTIATE_TEST_SUITE_P(Views, AddFilesViewTest,
                         testing::Values(TViewCase{0, "Details", 0, true, QListView::ListMode},
                                         TViewCase{1, "List", 1, false, QListView::ListMode},
                                         TViewCase{2, "Icons", 2, false, QListView::IconMode},
                                         TViewCase{7, "List", 1, false, QListView::ListMode},
                                         TViewCase{-1, "List", 1, false, QListView::ListMode}));

TEST(AddFilesDialog, SwitchingTheViewIsWhatClosingReports) {
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), avList, {});
  form.cb_View->setCurrentIndex(form.cb_View->findText(QStringLiteral("Details")));
  EXPECT_EQ(form.ViewIndex(), avDetails);
  form.cb_View->setCurrentIndex(form.cb_View->findText(QStringLiteral("Icons")));
  EXPECT_EQ(form.ViewIndex(), avIcons);
  EXPECT_EQ(form.lw_Data->viewMode(), QListView::IconMode);
}

TEST(AddFilesDialog, AMissingStartFolderOpensAtTheDesktopOrHome) {
  Tfrm_AddFiles form(nullptr, QStringLiteral("/no/such/folder"), avList, {});
  QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!QFileInfo(desktop).isDir())
    desktop = QDir::homePath();
  EXPECT_EQ(form.CurrentFolder(), QDir::cleanPath(desktop));
}

TEST(AddFilesDialog, AddHandsOverTheSelectedFilesAndFoldersAndStaysOpen) {
  TBrowseFolder folder;
  QList<QStringList> added;
  Tfrm_AddFiles form(nullptr, folder.Path(), avDetails,
                     [&](Tfrm_AddFiles *ASender, const QStringList &APaths) {
                       EXPECT_EQ(ASender, &form);
                       added << APaths;
                     });
  form.show();
  ListedNames(form);
  EXPECT_FALSE(form.btn_Add->isEnabled());
  Select(form, {QStringLiteral("b.mp4"), QStringLiteral("sub"), QStringLiteral("a.AVI")});
  EXPECT_TRUE(form.btn_Add->isEnabled());
  QTest::mouseClick(form.btn_Add, Qt::LeftButton);
  ASSERT_EQ(added.size(), 1);
  // List order: the folder first, then the files by name.
  EXPECT_EQ(added[0],
            (QStringList{folder.Path("sub"), folder.Path("a.AVI"), folder.Path("b.mp4")}));
  EXPECT_TRUE(form.isVisible());
  form.lw_Data->selectionModel()->clearSelection();
  EXPECT_FALSE(form.btn_Add->isEnabled());
}

TEST(AddFilesDialog, CtrlASelectsEverything) {
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), avList, {});
  form.show();
  const int rows = ListedNames(form).size();
  form.lw_Data->setFocus();
  QTest::keyClick(form.lw_Data, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(form.lw_Data->selectionModel()->selectedRows().size(), rows);
  EXPECT_TRUE(form.btn_Add->isEnabled());
}

TEST(AddFilesDialog, TheParentEntryAloneAddsNothing) {
  TBrowseFolder folder;
  int calls = 0;
  Tfrm_AddFiles form(nullptr, folder.Path("sub"), avList,
                     [&](Tfrm_AddFiles *, const QStringList &) { ++calls; });
  form.show();
  const QStringList names = ListedNames(form);
  if (!names.contains(QStringLiteral("..")))
    GTEST_SKIP() << "this file system model shows no parent entry";
  Select(form, {QStringLiteral("..")});
  form.btn_AddClick();
  EXPECT_EQ(calls, 0);
}

TEST(AddFilesDialog, OpeningAFolderNavigatesIntoItAndCloseKeepsTheFolder) {
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), avDetails, {});
  form.show();
  ListedNames(form);
  const QModelIndex sub = form.Model()->index(folder.Path("sub"));
  emit form.tv_Details->activated(sub);
  EXPECT_EQ(form.CurrentFolder(), folder.Path("sub"));
  EXPECT_EQ(ListedNames(form).filter(QStringLiteral("c.mkv")).size(), 1);
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.CurrentFolder(), folder.Path("sub"));
  EXPECT_EQ(form.ViewIndex(), avDetails);
}

} // namespace

TEST(AddFilesDialog, Screenshot) {
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), avDetails, {});
  form.show();
  ListedNames(form);
  Select(form, {QStringLiteral("b.mp4")});
  EXPECT_TRUE(form.grab().save(QStringLiteral(QUILLET_SCREENSHOTS "/addfiles.png")));
}

TEST(AddFilesDialog, ExecuteWritesTheFolderAndViewBack) {
  TBrowseFolder folder;
  QString addPath = folder.Path();
  int addView = avIcons;
  QTimer::singleShot(50, [&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *form = qobject_cast<Tfrm_AddFiles *>(w); form && form->isVisible()) {
        form->SetCurrentFolder(folder.Path("sub"));
        form->cb_View->setCurrentIndex(form->cb_View->findText(QStringLiteral("Details")));
        QTest::mouseClick(form->btn_Close, Qt::LeftButton);
      }
  });
  Tfrm_AddFiles::Execute(nullptr, addPath, addView, {});
  EXPECT_EQ(addPath, folder.Path("sub"));
  EXPECT_EQ(addView, avDetails);
}
