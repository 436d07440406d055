#include "shell/adding/Tfrm_AddFiles.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/adding/MediaMasks.h"
#include "shell/adding/TBreadCrumbBar.h"

namespace {

// The accepted masks as the model's name filters.
QStringList MediaNameFilters() {
  QStringList filters;
  for (const std::string &mask : SplitList(MediaMasks))
    filters << QString::fromStdString(mask);
  return filters;
}

// cb_View rows, in the order the user sees them.
enum TViewRow : int { vrIcons = 0, vrList = 1, vrDetails = 2 };

int RowOfView(int AView) {
  switch (AView) {
  case avDetails:
    return vrDetails;
  case avIcons:
    return vrIcons;
  default:
    return vrList;
  }
}

} // namespace

Tfrm_AddFiles::Tfrm_AddFiles(QWidget *AOwner, const QString &AStartFolder, int AView,
                             TAddEvent AOnAdd)
    : QDialog(AOwner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FOnAdd(std::move(AOnAdd)) {
  setMinimumSize(200, 200);
  resize(560, 420);

  FModel = new QFileSystemModel(this);
  FModel->setOption(QFileSystemModel::DontWatchForChanges);
  FModel->setReadOnly(true);
  FModel->setFilter(QDir::AllDirs | QDir::Files | QDir::Hidden | QDir::System | QDir::NoDot);
  FModel->setNameFilters(MediaNameFilters());
  FModel->setNameFilterDisables(false);
  FModel->setRootPath(QStringLiteral("/"));

  JamShellBreadCrumbBar1 = new TBreadCrumbBar(this);
  lw_Data = new QListView(this);
  tv_Details = new QTreeView(this);
  lw_Data->setModel(FModel);
  tv_Details->setModel(FModel);
  // Both views share one selection, so switching the view keeps it.
  FSelection = lw_Data->selectionModel();
  tv_Details->setSelectionModel(FSelection);
  tv_Details->setRootIsDecorated(false);
  tv_Details->setItemsExpandable(false);
  tv_Details->setSortingEnabled(true);
  tv_Details->sortByColumn(0, Qt::AscendingOrder);
  tv_Details->header()->setStretchLastSection(false);
  tv_Details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tv_Details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (QAbstractItemView *view :
       {static_cast<QAbstractItemView *>(lw_Data), static_cast<QAbstractItemView *>(tv_Details)}) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(view, &QAbstractItemView::activated, this, &Tfrm_AddFiles::OpenItem);
  }
  FViews = new QStackedWidget(this);
  FViews->addWidget(lw_Data);
  FViews->addWidget(tv_Details);

  cb_View = new QComboBox(this);
  cb_View->addItems({QStringLiteral("Icons"), QStringLiteral("List"), QStringLiteral("Details")});
  btn_Add = new QPushButton(QStringLiteral("Add"), this);
  btn_Add->setEnabled(false);
  btn_Close = new QPushButton(QStringLiteral("Close"), this);
  btn_Add->setAutoDefault(false);
  btn_Close->setAutoDefault(false);

  auto *buttons = new QHBoxLayout;
  buttons->addWidget(cb_View);
  buttons->addStretch(1);
  buttons->addWidget(btn_Add);
  buttons->addWidget(btn_Close);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(JamShellBreadCrumbBar1);
  layout->addWidget(FViews, 1);
  layout->addLayout(buttons);

  connect(FSelection, &QItemSelectionModel::selectionChanged, this,
          &Tfrm_AddFiles::SelectionChanged);
  connect(cb_View, &QComboBox::currentIndexChanged, this, &Tfrm_AddFiles::cb_ViewChange);
  connect(btn_Add, &QPushButton::clicked, this, &Tfrm_AddFiles::btn_AddClick);
  connect(btn_Close, &QPushButton::clicked, this, &QDialog::reject);
  connect(JamShellBreadCrumbBar1, &TBreadCrumbBar::FolderClicked, this,
          &Tfrm_AddFiles::SetCurrentFolder);

  QString start = AStartFolder;
  if (start.isEmpty() || !QFileInfo(start).isDir())
    start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!QFileInfo(start).isDir())
    start = QDir::homePath();
  SetCurrentFolder(start);
  cb_View->setCurrentIndex(RowOfView(AView));
  cb_ViewChange(cb_View->currentIndex());
}

void Tfrm_AddFiles::Execute(QWidget *AOwner, QString &AAddPath, int &AAddView, TAddEvent AOnAdd) {
  Tfrm_AddFiles form(AOwner, AAddPath, AAddView, std::move(AOnAdd));
  form.exec();
  AAddPath = form.CurrentFolder();
  AAddView = form.ViewIndex();
}

void Tfrm_AddFiles::showEvent(QShowEvent *AEvent) {
  setWindowTitle(QStringLiteral("Add files"));
  btn_Add->setText(QStringLiteral("Add"));
  btn_Close->setText(QStringLiteral("Close"));
  QDialog::showEvent(AEvent);
}

void Tfrm_AddFiles::SetCurrentFolder(const QString &AFolder) {
  FCurrentFolder = QDir::cleanPath(QFileInfo(AFolder).absoluteFilePath());
  FSelection->clearSelection();
  QModelIndex root = FModel->setRootPath(FCurrentFolder);
  lw_Data->setRootIndex(root);
  tv_Details->setRootIndex(root);
  JamShellBreadCrumbBar1->SetPath(FCurrentFolder);
}

int Tfrm_AddFiles::ViewIndex() const {
  switch (cb_View->currentIndex()) {
  case vrIcons:
    return avIcons;
  case vrDetails:
    return avDetails;
  default:
    return avList;
  }
}

void Tfrm_AddFiles::cb_ViewChange(int AIndex) {
  if (AIndex == vrDetails) {
    FViews->setCurrentWidget(tv_Details);
    return;
  }
  const bool icons = AIndex == vrIcons;
  lw_Data->setViewMode(icons ? QListView::IconMode : QListView::ListMode);
  lw_Data->setFlow(icons ? QListView::LeftToRight : QListView::TopToBottom);
  lw_Data->setWrapping(true);
  lw_Data->setResizeMode(QListView::Adjust);
  lw_Data->setMovement(QListView::Static);
  lw_Data->setIconSize(icons ? QSize(32, 32) : QSize(16, 16));
  lw_Data->setGridSize(icons ? QSize(96, 72) : QSize());
  lw_Data->setWordWrap(icons);
  FViews->setCurrentWidget(lw_Data);
}

void Tfrm_AddFiles::OpenItem(const QModelIndex &AIndex) {
  if (AIndex.isValid() && FModel->isDir(AIndex))
    SetCurrentFolder(FModel->filePath(AIndex));
}

void Tfrm_AddFiles::SelectionChanged() {
  btn_Add->setEnabled(FSelection->hasSelection());
}

QStringList Tfrm_AddFiles::SelectedPaths() const {
  QModelIndexList rows = FSelection->selectedRows(0);
  // List order: the order of the sorted model rows.
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
  QStringList paths;
  for (const QModelIndex &index : rows)
    if (index.data().toString() != QLatin1String(".."))
      paths << FModel->filePath(index);
  return paths;
}

void Tfrm_AddFiles::btn_AddClick() {
  const QStringList paths = SelectedPaths();
  if (!paths.isEmpty() && FOnAdd)
    FOnAdd(this, paths);
}
