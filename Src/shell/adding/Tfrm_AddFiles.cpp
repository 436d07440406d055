#include "shell/adding/Tfrm_AddFiles.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTreeView>
#include <QUrl>
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

// Folder and file-type icons as Qt's own file dialog shows them (the model alone has none
// without a desktop's icon theme). Every folder, ".." and "/" included, is a "Folder".
class TBrowserIcons : public QFileIconProvider {
public:
  using QFileIconProvider::icon;
  QIcon icon(const QFileInfo &AInfo) const override {
    return AInfo.isDir() ? icon(Folder) : QFileIconProvider::icon(AInfo);
  }
  QString type(const QFileInfo &AInfo) const override {
    return AInfo.isDir() ? QStringLiteral("Folder") : QFileIconProvider::type(AInfo);
  }
};

// Dot-files and dot-folders stay out of sight; ".." is offered except at the root.
QDir::Filters FiltersAt(const QString &AFolder) {
  QDir::Filters filters = QDir::AllDirs | QDir::Files | QDir::System | QDir::NoDot;
  if (AFolder == QLatin1String("/"))
    filters |= QDir::NoDotDot;
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
  resize(560, 420);

  FIcons = std::make_unique<TBrowserIcons>();
  FModel = new QFileSystemModel(this);
  FModel->setIconProvider(FIcons.get());
  FModel->setOption(QFileSystemModel::DontWatchForChanges);
  FModel->setReadOnly(true);
  FModel->setNameFilters(MediaNameFilters());
  FModel->setNameFilterDisables(false);
  FModel->setRootPath(QStringLiteral("/"));

  JamShellBreadCrumbBar1 = new TBreadCrumbBar(this);
  txt_Location = new QLineEdit(this);
  txt_Location->setClearButtonEnabled(true);
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
  layout->addWidget(txt_Location);
  layout->addWidget(FViews, 1);
  layout->addLayout(buttons);

  connect(FSelection, &QItemSelectionModel::selectionChanged, this,
          &Tfrm_AddFiles::SelectionChanged);
  connect(cb_View, &QComboBox::currentIndexChanged, this, &Tfrm_AddFiles::cb_ViewChange);
  connect(btn_Add, &QPushButton::clicked, this, &Tfrm_AddFiles::btn_AddClick);
  connect(btn_Close, &QPushButton::clicked, this, &QDialog::reject);
  connect(JamShellBreadCrumbBar1, &TBreadCrumbBar::FolderClicked, this,
          &Tfrm_AddFiles::SetCurrentFolder);
  connect(txt_Location, &QLineEdit::returnPressed, this, &Tfrm_AddFiles::txt_LocationReturn);
  // Backspace goes up only from the views, so that it still edits the location field.
  auto *back = new QShortcut(QKeySequence(Qt::Key_Backspace), FViews, nullptr, nullptr,
                             Qt::WidgetWithChildrenShortcut);
  connect(back, &QShortcut::activated, this, &Tfrm_AddFiles::GoUp);
  auto *up = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Up), this);
  connect(up, &QShortcut::activated, this, &Tfrm_AddFiles::GoUp);

  QString start = AStartFolder;
  if (start.isEmpty() || !QFileInfo(start).isDir())
    start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!QFileInfo(start).isDir())
    start = QDir::homePath();
  SetCurrentFolder(start);
  cb_View->setCurrentIndex(RowOfView(AView));
  cb_ViewChange(cb_View->currentIndex());
}

Tfrm_AddFiles::~Tfrm_AddFiles() {
  // The model goes before the icon provider it uses.
  delete FModel;
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
  // The keys (Backspace, Ctrl+A) go to the list, not to the location field.
  FViews->currentWidget()->setFocus();
}

void Tfrm_AddFiles::SetCurrentFolder(const QString &AFolder) {
  FCurrentFolder = QDir::cleanPath(QFileInfo(AFolder).absoluteFilePath());
  FSelection->clearSelection();
  FModel->setFilter(FiltersAt(FCurrentFolder));
  QModelIndex root = FModel->setRootPath(FCurrentFolder);
  lw_Data->setRootIndex(root);
  tv_Details->setRootIndex(root);
  JamShellBreadCrumbBar1->SetPath(FCurrentFolder);
  txt_Location->setText(FCurrentFolder);
  // 200 × 200, or more where the buttons or the current folder's crumb need it.
  setMinimumSize(layout()->minimumSize().expandedTo(QSize(200, 200)));
}

void Tfrm_AddFiles::GoUp() {
  if (FCurrentFolder == QLatin1String("/"))
    return;
  const QString child = FCurrentFolder;
  SetCurrentFolder(QFileInfo(child).absolutePath());
  SelectPath(child);
}

bool Tfrm_AddFiles::GoToLocation(const QString &APath) {
  QString path = APath.trimmed();
  if (path.startsWith(QLatin1String("file:")))
    path = QUrl(path).toLocalFile();
  if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
    path = QDir::homePath() + path.mid(1);
  const QFileInfo info(QDir(FCurrentFolder), path);
  if (path.isEmpty() || !info.exists())
    return false;
  if (info.isDir()) {
    SetCurrentFolder(info.absoluteFilePath());
    return true;
  }
  SetCurrentFolder(info.absolutePath());
  SelectPath(info.absoluteFilePath());
  return true;
}

void Tfrm_AddFiles::txt_LocationReturn() {
  if (GoToLocation(txt_Location->text()))
    return;
  QMessageBox::warning(this, QStringLiteral("Warning"),
                       QStringLiteral("\"%1\" is not found.").arg(txt_Location->text().trimmed()));
  txt_Location->setFocus();
}

void Tfrm_AddFiles::SelectPath(const QString &APath) {
  const QModelIndex index = FModel->index(APath);
  if (!index.isValid())
    return;
  FSelection->setCurrentIndex(index,
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  static_cast<QAbstractItemView *>(FViews->currentWidget())->scrollTo(index);
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
