// The Add Files dialog: start folder and view, the filter, selection, Add and Close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "shell/adding/Tfrm_AddFiles.h"

namespace {

// A folder with two media files, a text file and a subfolder holding a third media file.
struct TBrowseFolder {
  TBrowseFolder() {
    for (const char *name : {"b.mp4", "a.AVI", "notes.txt", "sub/c.mkv", ".hidden.ts"}) {
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

TEST(AddFilesDialog, ListsFoldersAndAcceptedMediaFilesIncludingHiddenOnes) {
  TBrowseFolder folder;
  Tfrm_AddFiles form(nullptr, folder.Path(), avList, {});
  form.show();
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Add files"));
  EXPECT_EQ(form.CurrentFolder(), folder.Path());
  const QStringList names = ListedNames(form);
  EXPECT_TRUE(names.contains(QStringLiteral("a.AVI")));
  EXPECT_TRUE(names.contains(QStringLiteral("b.mp4")));
  EXPECT_TRUE(names.contains(QStringLiteral(".hidden.ts")));
  EXPECT_TRUE(names.contains(QStringLiteral("sub")));
  EXPECT_FALSE(names.contains(QStringLiteral("notes.txt")));
  EXPECT_FALSE(names.contains(QStringLiteral(".")));
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
