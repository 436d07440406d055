#include "shell/Tfrm_Main.h"

#include "burn/ui/Tfrm_Burn.h"
#include "components/ProgramFiles.h"
#include "components/filelist/LocalPath.h"
#include "jobs/JobTexts.h"
#include "jobs/OptionCheck.h"
#include "jobs/TBatchQueue.h"
#include "jobs/Tfrm_Audio.h"
#include "jobs/Tfrm_Video.h"
#include "media/ui/Tfrm_Preview.h"
#include "media/ui/Tfrm_Properties.h"
#include "shell/DefaultApp.h"
#include "shell/ListDocument.h"
#include "shell/OutputFolder.h"
#include "shell/SavedQueues.h"
#include "shell/TEncoderCheck.h"
#include "shell/TFileListItem.h"
#include "shell/TGlassButton.h"
#include "shell/TPresetsBox.h"
#include "shell/TSettingsPanel.h"
#include "shell/TStretchedLastColumn.h"
#include "shell/TWebData.h"
#include "shell/UpdateCheck.h"
#include "shell/adding/Tfrm_AddFiles.h"
#include "shell/adding/Tfrm_Adding.h"
#include "shell/dialogs/Tfrm_About.h"
#include "shell/dialogs/Tfrm_Command.h"
#include "shell/dialogs/Tfrm_Effects.h"
#include "shell/settings/OptionBuilders.h"
#include "shell/settings/SettingsLists.h"
#include "shell/settings/TAppSettings.h"
#include "shell/settings/TSettingsFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <csignal>
#include <cstdio>

namespace {

QString SignalName(int ASignal) {
  switch (ASignal) {
  case SIGTERM:
    return QStringLiteral("SIGTERM");
  case SIGINT:
    return QStringLiteral("SIGINT");
  case SIGHUP:
    return QStringLiteral("SIGHUP");
  default:
    return QStringLiteral("signal %1").arg(ASignal);
  }
}

constexpr int DesignClientWidth = 882;
constexpr int DesignClientHeight = 684;
constexpr int SettingsPanelHeight = 178;
const QColor SeparatorColor(0xD9, 0xD9, 0xD9);
const QColor NoteColor(0x80, 0x80, 0x80);

QAction *NewAction(QWidget *owner, const QString &caption, const QKeySequence &shortcut = {}) {
  auto *action = new QAction(caption, owner);
  action->setShortcut(shortcut);
  action->setShortcutContext(Qt::WindowShortcut);
  owner->addAction(action);
  return action;
}

QIcon ToolbarIcon(const QString &name) {
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/%1_24.png").arg(name), QSize(24, 24));
  icon.addFile(QStringLiteral(":/icons/%1_48.png").arg(name), QSize(48, 48));
  return icon;
}

// The file-type icon of a path, looked up once per extension: the lookup may read the file and
// the icon theme, which would cost more than probing when thousands of files are added.
QIcon FileTypeIcon(const QString &path) {
  static const QFileIconProvider provider;
  static QHash<QString, QIcon> icons;
  const QString name = DisplayPath(path);
  const QString suffix = QFileInfo(name).suffix().toLower();
  auto it = icons.constFind(suffix);
  if (it == icons.constEnd())
    it = icons.insert(suffix, provider.icon(QFileInfo(name)));
  return *it;
}

void SetBackground(QWidget *widget, const QColor &color) {
  QPalette p = widget->palette();
  p.setColor(QPalette::Window, color);
  widget->setPalette(p);
  widget->setAutoFillBackground(true);
}

// A data file of the program in AProgramDir: beside it or in the installed data folder.
QString ProgramDataFile(const QString &AProgramDir, const char *AName) {
  return QFile::decodeName(QByteArray::fromStdString(ProgramFilePath(
      QFile::encodeName(AProgramDir).toStdString(), AName, TProgramFileKind::pfData)));
}
} // namespace

Tfrm_Main::Tfrm_Main(QWidget *parent)
    : QMainWindow(parent), str_ProgramDir(QCoreApplication::applicationDirPath()) {
  // The icons live in a static library: register them explicitly.
  Q_INIT_RESOURCE(shell);
  setObjectName(QStringLiteral("frm_Main"));
  setWindowIcon(ToolbarIcon(QStringLiteral("quillet")));
  CreateMenus();
  auto *central = new QWidget(this);
  auto *column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(CreateToolbar());
  auto *separator = new QFrame(central);
  separator->setObjectName(QStringLiteral("pnl_Line"));
  separator->setFixedHeight(1);
  SetBackground(separator, SeparatorColor);
  column->addWidget(separator);
  CreateList();
  column->addWidget(lw_Files, 1);
  PageControl1 = new TSettingsPanel(central);
  auto *pnl_Settings = new QWidget(central);
  pnl_Settings->setFixedHeight(SettingsPanelHeight);
  auto *settingsLayout = new QVBoxLayout(pnl_Settings);
  settingsLayout->setContentsMargins(4, 4, 4, 2);
  settingsLayout->addWidget(PageControl1);
  column->addWidget(pnl_Settings);
  setCentralWidget(central);
  CreateStatusLine();
  resize(DesignClientWidth, DesignClientHeight + menuBar()->sizeHint().height());
  DesignWidth = width();
  DesignHeight = height();
  SetToolbarImages(screen() ? screen()->logicalDotsPerInch() : 96);
  // 400 × 400, or wider where the toolbar's captions or a settings page need more.
  setMinimumSize(minimumSizeHint().expandedTo(QSize(400, 400)));
  UpdateSelectionActions();
  // Until the libraries are asked (after the first show, see CheckEncoders), the encoder lists
  // offer every software encoder.
  FEncoderCheck = new TEncoderCheck(this);
  connect(FEncoderCheck, &TEncoderCheck::HardwareChecked, this,
          [this] { ShowAvailableEncoders(); });
  connect(PageControl1, &TSettingsPanel::VideoCopyChanged, mnu_Effects,
          [this](bool ACopy) { mnu_Effects->setEnabled(!ACopy); });
  connect(PageControl1->box_Presets, &TPresetsBox::RunCommand, this,
          [this](const QString &AOptions, int AFormat) { RunCommandPreset(AOptions, AFormat); });
  LoadSettings();
  if (mnu_Dark->isChecked())
    ApplyTheme();
  setWindowTitle(QStringLiteral("Quillet"));
  // The frame's middle in the area's middle (a window's position is its frame's).
  if (const QRect area = AvailableArea(); !area.isEmpty()) {
    const QSize frame = ExpectedFrame();
    move(area.center() - QPoint((width() + frame.width()) / 2, (height() + frame.height()) / 2));
  }
}

Tfrm_Main::~Tfrm_Main() = default;

// ---- construction ------------------------------------------------------------------------

void Tfrm_Main::CreateMenus() {
  QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
  mnu_New = NewAction(this, QStringLiteral("New"), QKeySequence(QStringLiteral("Ctrl+N")));
  mnu_Open = NewAction(this, QStringLiteral("Open"), QKeySequence(QStringLiteral("Ctrl+O")));
  mnu_Save = NewAction(this, QStringLiteral("Save"), QKeySequence(QStringLiteral("Ctrl+S")));
  mnu_Convert = NewAction(this, QStringLiteral("Convert"), QKeySequence(Qt::Key_F9));
  mnu_Command = NewAction(this, QStringLiteral("FFMpeg command"));
  mnu_Extract =
      NewAction(this, QStringLiteral("Extract audio"), QKeySequence(QStringLiteral("Ctrl+E")));
  mnu_Burn = NewAction(this, QStringLiteral("Burn disc"), QKeySequence(QStringLiteral("Ctrl+B")));
  mnu_Defaults = NewAction(this, QStringLiteral("Restore default settings"));
  mnu_Exit = NewAction(this, QStringLiteral("Exit"));
  file->addActions({mnu_New, mnu_Open, mnu_Save});
  file->addSeparator();
  file->addActions({mnu_Convert, mnu_Command, mnu_Extract, mnu_Burn});
  file->addSeparator();
  file->addAction(mnu_Defaults);
  file->addSeparator();
  file->addAction(mnu_Exit);

  QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  mnu_AddFiles =
      NewAction(this, QStringLiteral("Add files"), QKeySequence(QStringLiteral("Ctrl+D")));
  mnu_Paste = NewAction(this, QStringLiteral("Paste"), QKeySequence(QStringLiteral("Ctrl+V")));
  mnu_SelectAll =
      NewAction(this, QStringLiteral("Select all"), QKeySequence(QStringLiteral("Ctrl+A")));
  mnu_Effects = NewAction(this, QStringLiteral("Effects"));
  mnu_Play = NewAction(this, QStringLiteral("Play"));
  mnu_Preview = NewAction(this, QStringLiteral("Preview"), QKeySequence(Qt::Key_F3));
  mnu_Properties = NewAction(this, QStringLiteral("Properties"), QKeySequence(Qt::Key_F4));
  mnu_Remove = NewAction(this, QStringLiteral("Remove"), QKeySequence(QKeySequence::Delete));
  edit->addActions({mnu_AddFiles, mnu_Paste, mnu_SelectAll});
  edit->addSeparator();
  edit->addAction(mnu_Effects);
  edit->addSeparator();
  edit->addActions({mnu_Play, mnu_Preview, mnu_Properties, mnu_Remove});

  QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
  mnu_Dark = NewAction(this, QStringLiteral("Dark theme"));
  mnu_Dark->setCheckable(true);
  view->addAction(mnu_Dark);

  QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
  mnu_Help = NewAction(this, QStringLiteral("Help"), QKeySequence(Qt::Key_F1));
  mnu_Update = NewAction(this, QStringLiteral("Check for update on startup"));
  mnu_Update->setCheckable(true);
  mnu_Update->setChecked(true);
  mnu_About = NewAction(this, QStringLiteral("About"));
  help->addActions({mnu_Help, mnu_Update});
  help->addSeparator();
  help->addAction(mnu_About);

  pop_List = new QMenu(this);
  pop_List->addActions({mnu_AddFiles, mnu_Paste, mnu_SelectAll});
  pop_List->addSeparator();
  pop_List->addActions({mnu_Play, mnu_Preview, mnu_Properties, mnu_Remove});

  connect(mnu_New, &QAction::triggered, this, [this] { New1Click(); });
  connect(mnu_Open, &QAction::triggered, this, [this] { Open1Click(); });
  connect(mnu_Save, &QAction::triggered, this, [this] { Save1Click(); });
  connect(mnu_Convert, &QAction::triggered, this, [this] { btn_ConvertClick(); });
  connect(mnu_Command, &QAction::triggered, this, [this] { btn_CommandClick(); });
  connect(mnu_Extract, &QAction::triggered, this, [this] { btn_ExtractClick(); });
  connect(mnu_Burn, &QAction::triggered, this, [this] { btn_BurnClick(); });
  connect(mnu_Defaults, &QAction::triggered, this, [this] { Defaultsettings1Click(); });
  connect(mnu_Exit, &QAction::triggered, this, &QWidget::close);
  connect(mnu_AddFiles, &QAction::triggered, this, [this] { btn_AddClick(); });
  connect(mnu_Paste, &QAction::triggered, this, [this] { btn_PasteClick(); });
  connect(mnu_SelectAll, &QAction::triggered, this, [this] { SelectAll(); });
  connect(mnu_Effects, &QAction::triggered, this, [this] { btn_EffectsClick(); });
  connect(mnu_Play, &QAction::triggered, this, [this] { PlaySelected(); });
  connect(mnu_Preview, &QAction::triggered, this, [this] { btn_PlayClick(); });
  connect(mnu_Properties, &QAction::triggered, this, [this] { btn_PropertiesClick(); });
  connect(mnu_Remove, &QAction::triggered, this, [this] { btn_RemoveClick(); });
  connect(mnu_Dark, &QAction::triggered, this, [this] { ApplyTheme(); });
  connect(mnu_Help, &QAction::triggered, this, [this] { ShowHelp(); });
  connect(mnu_About, &QAction::triggered, this, [this] { Tfrm_About::Execute(this); });
}

TGlassButton *Tfrm_Main::NewToolButton(const QString &icon, const QString &caption,
                                       const QString &hint, QAction *action) {
  auto *button = new TGlassButton;
  button->setIcon(ToolbarIcon(icon));
  button->setText(caption);
  button->setToolTip(hint);
  connect(button, &QToolButton::clicked, action, &QAction::trigger);
  return button;
}

QWidget *Tfrm_Main::CreateToolbar() {
  auto *bar = new QWidget;
  bar->setObjectName(QStringLiteral("pnl_Toolbar"));
  auto *row = new QHBoxLayout(bar);
  row->setContentsMargins(4, 4, 4, 4);
  row->setSpacing(2);
  btn_Convert = NewToolButton(QStringLiteral("convert"), QStringLiteral(" Convert"),
                              QStringLiteral("Convert files (F9)"), mnu_Convert);
  btn_Command = NewToolButton(QStringLiteral("command"), QStringLiteral("FFMPEG command"),
                              QStringLiteral("Send FFMPEG command"), mnu_Command);
  btn_Extract = NewToolButton(QStringLiteral("extract"), {},
                              QStringLiteral("Extract audio (Ctrl+E)"), mnu_Extract);
  btn_Burn =
      NewToolButton(QStringLiteral("burn"), {}, QStringLiteral("Burn disc (Ctrl+B)"), mnu_Burn);
  btn_Add =
      NewToolButton(QStringLiteral("add"), {}, QStringLiteral("Add files (Ctrl+D)"), mnu_AddFiles);
  btn_Paste =
      NewToolButton(QStringLiteral("paste"), {}, QStringLiteral("Paste (Ctrl+V)"), mnu_Paste);
  btn_Play =
      NewToolButton(QStringLiteral("preview"), {}, QStringLiteral("Preview (F3)"), mnu_Preview);
  btn_Properties = NewToolButton(QStringLiteral("properties"), {},
                                 QStringLiteral("Properties (F4)"), mnu_Properties);
  btn_Remove =
      NewToolButton(QStringLiteral("remove"), {}, QStringLiteral("Remove (Del)"), mnu_Remove);
  for (TGlassButton *b : {btn_Convert, btn_Command, btn_Extract, btn_Burn, btn_Add, btn_Paste,
                          btn_Play, btn_Properties, btn_Remove})
    row->addWidget(b);
  row->addStretch();
  return bar;
}

void Tfrm_Main::SetToolbarImages(qreal dotsPerInch) {
  const int side = dotsPerInch > 150 ? 48 : 24;
  const int buttonHeight = side + 16;
  const int offset = (buttonHeight - side) / 2;
  for (TGlassButton *b : findChildren<TGlassButton *>()) {
    b->setIconSize(QSize(side, side));
    b->setFixedHeight(buttonHeight);
    b->SetImageOffset(offset);
  }
  btn_Convert->parentWidget()->setFixedHeight(buttonHeight + 8);
}

void Tfrm_Main::CreateList() {
  lw_Files = new QTreeWidget;
  lw_Files->setObjectName(QStringLiteral("lw_Files"));
  lw_Files->setColumnCount(ListColumnCount);
  lw_Files->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Duration"),
                             QStringLiteral("Size"), QStringLiteral("Source")});
  lw_Files->headerItem()->setTextAlignment(lcDuration, Qt::AlignRight | Qt::AlignVCenter);
  lw_Files->headerItem()->setTextAlignment(lcSize, Qt::AlignRight | Qt::AlignVCenter);
  lw_Files->setRootIsDecorated(false);
  lw_Files->setUniformRowHeights(true);
  lw_Files->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lw_Files->setSelectionBehavior(QAbstractItemView::SelectRows);
  lw_Files->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lw_Files->setAllColumnsShowFocus(true);
  lw_Files->setFrameShape(QFrame::NoFrame);
  lw_Files->setIconSize(QSize(16, 16));
  lw_Files->setContextMenuPolicy(Qt::CustomContextMenu);
  lw_Files->viewport()->setAcceptDrops(true);
  lw_Files->viewport()->installEventFilter(this);
  lw_Files->installEventFilter(this);
  lw_Files->header()->setSectionsClickable(true);
  lw_Files->header()->setSortIndicatorShown(true);
  // "Source" fills the rest of the list, while the width the user gave it is what is saved.
  FSourceColumn = new TStretchedLastColumn(lw_Files);

  pnl_Note = new QWidget(lw_Files);
  pnl_Note->setObjectName(QStringLiteral("pnl_Note"));
  auto *noteLayout = new QHBoxLayout(pnl_Note);
  noteLayout->setContentsMargins(8, 4, 8, 4);
  lbl_Note = new QLabel(QStringLiteral("Click here to add files"), pnl_Note);
  lbl_Note->setCursor(Qt::PointingHandCursor);
  QFont font = lbl_Note->font();
  font.setUnderline(true);
  font.setPointSizeF(font.pointSizeF() + 1);
  lbl_Note->setFont(font);
  QPalette notePalette = lbl_Note->palette();
  notePalette.setColor(QPalette::WindowText, NoteColor);
  lbl_Note->setPalette(notePalette);
  lbl_Note->installEventFilter(this);
  noteLayout->addWidget(lbl_Note);
  pnl_Note->adjustSize();

  connect(lw_Files->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { lw_FilesColumnClick(column); });
  connect(lw_Files, &QTreeWidget::itemActivated, this, [this] { PlaySelected(); });
  connect(lw_Files, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { pop_List->exec(lw_Files->viewport()->mapToGlobal(pos)); });
  connect(lw_Files->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection &selected, const QItemSelection &deselected) {
            lw_FilesSelectItem(selected, deselected);
          });
}

void Tfrm_Main::CreateStatusLine() {
  sts_0 = new QLabel;
  sts_1 = new QLabel;
  sts_0->setObjectName(QStringLiteral("sts_0"));
  sts_1->setObjectName(QStringLiteral("sts_1"));
  statusBar()->addWidget(sts_0);
  statusBar()->addWidget(sts_1, 1);
}

// ---- file list -----------------------------------------------------------------------------

int Tfrm_Main::EntryCount() const {
  return lw_Files->topLevelItemCount();
}

TFileEntry Tfrm_Main::Entry(int index) const {
  const auto *item = static_cast<const TFileListItem *>(lw_Files->topLevelItem(index));
  return item ? item->Entry() : TFileEntry{};
}

void Tfrm_Main::AppendEntry(const TFileEntry &entry) {
  AppendEntries({entry});
}

void Tfrm_Main::AppendEntries(const QList<TFileEntry> &entries) {
  QList<QTreeWidgetItem *> items;
  items.reserve(entries.size());
  for (const TFileEntry &entry : entries) {
    auto *item = new TFileListItem(entry);
    item->setIcon(lcName, FileTypeIcon(entry.SubItems.value(siSource)));
    items.append(item);
  }
  lw_Files->addTopLevelItems(items);
}

QStringList Tfrm_Main::ListedPaths() const {
  QStringList paths;
  paths.reserve(EntryCount());
  for (int i = 0; i < EntryCount(); ++i)
    paths.append(Entry(i).SubItems[siSource]);
  return paths;
}

QList<int> Tfrm_Main::SelectedEntries() const {
  QList<int> indexes;
  for (int i = 0; i < EntryCount(); ++i)
    if (lw_Files->topLevelItem(i)->isSelected())
      indexes.append(i);
  return indexes;
}

void Tfrm_Main::SortList() {
  lw_Files->setUpdatesEnabled(false);
  lw_Files->sortItems(SortColumn, SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
  // Sorting resets the header's indicator; put the arrow of the current order back.
  ShowSortArrow(SortColumn, SortDescending);
  lw_Files->setUpdatesEnabled(true);
}

void Tfrm_Main::lw_FilesColumnClick(int column) {
  TSortState state{SortColumn, SortDescending};
  state.ColumnClicked(column);
  ShowSortArrow(column, state.SortDescending);
  SortColumn = state.SortColumn;
  SortDescending = state.SortDescending;
  SortList();
}

void Tfrm_Main::ShowSortArrow(int column, bool descending) {
  // Qt's header draws Qt::AscendingOrder as a down arrow; an ascending sort shows an up arrow.
  lw_Files->header()->setSortIndicator(column, SortArrowOrder(descending));
}

void Tfrm_Main::AddFiles() {
  Tfrm_Adding::Execute(this, DroppedFiles,
                       {[this] { return ListedPaths(); },
                        [this](const QList<TFileEntry> &entries) { AppendEntries(entries); },
                        [this] { SortList(); }},
                       bool_Headless);
  UpdateSize();
}

void Tfrm_Main::UpdateSize() {
  pnl_Note->setVisible(EntryCount() == 0);
  TListTotals totals;
  for (int i = 0; i < EntryCount(); ++i)
    totals.Add(Entry(i));
  TotalSize = totals.Size;
  TotalDuration = totals.Duration;
  sts_0->setText(FilesStatusText(EntryCount(), TotalSize, TotalDuration));
}

void Tfrm_Main::lw_FilesSelectItem(const QItemSelection &selected,
                                   const QItemSelection &deselected) {
  UpdateSelectionActions();
  if (!selected.isEmpty()) {
    const QList<int> indexes = SelectedEntries();
    int64_t size = 0;
    for (int i : indexes)
      size = SaturatingAdd(size, RawValue(Entry(i).SubItems[siRawSize]));
    sts_1->setText(SelectedStatusText(int(indexes.size()), size));
  } else if (!deselected.isEmpty()) {
    sts_1->clear();
  }
}

void Tfrm_Main::UpdateSelectionActions() {
  const bool any = !lw_Files->selectedItems().isEmpty();
  for (QWidget *b : {static_cast<QWidget *>(btn_Remove), static_cast<QWidget *>(btn_Properties),
                     static_cast<QWidget *>(btn_Play)})
    b->setEnabled(any);
  for (QAction *a : {mnu_Play, mnu_Preview, mnu_Properties, mnu_Remove})
    a->setEnabled(any);
}

void Tfrm_Main::btn_RemoveClick() {
  if (lw_Files->selectedItems().isEmpty()) {
    UpdateSelectionActions();
    return;
  }
  lw_Files->setUpdatesEnabled(false);
  for (int i = EntryCount() - 1; i >= 0; --i)
    if (lw_Files->topLevelItem(i)->isSelected())
      delete lw_Files->takeTopLevelItem(i);
  lw_Files->setUpdatesEnabled(true);
  UpdateSelectionActions();
  sts_1->clear();
  UpdateSize();
}

void Tfrm_Main::EndBySignal(int ASignal) {
  FEndingBySignal = true;
  if (CommandLine.Mode != TCommandLine::cmLoadOnly && CommandLine.SaveLogAndQuit &&
      FStopReason.isEmpty()) {
    FStopReason = QStringLiteral("Stopped by %1.").arg(SignalName(ASignal));
    int_ExitCode = 128 + ASignal;
    std::fprintf(stderr, "%s\n", qPrintable(FStopReason));
    // No job window to keep the log: the job had not started.
    if (!FJobStarted)
      WriteCommandLineLog(FStopReason + QStringLiteral(" No file was converted.\r\n"));
  }
  CloseWithModals();
}

void Tfrm_Main::CloseWithModals() {
  QWidget *modal = QApplication::activeModalWidget();
  while (modal && modal != this) {
    modal->close();
    QWidget *next = QApplication::activeModalWidget();
    if (next == modal)
      return StopThenClose(modal);
    modal = next;
  }
  close();
}

// A window that refuses to close ends the walk and this window stays too: a job window goes on
// using what this one owns (its taskbar indicator), the adding window its list. A running job
// is stopped, as Stop does (the adding window has cancelled its run on the refused close),
// and the closing is tried again until the window has gone.
void Tfrm_Main::StopThenClose(QWidget *AModal) {
  if (auto *job = qobject_cast<Tfrm_Video *>(AModal); job && job->btn_Stop->isEnabled()) {
    if (FStopReason.isEmpty() && !FEndingBySignal)
      job->btn_StopClick();
    else
      job->Stop(FStopReason.isEmpty() ? QStringLiteral("Cancelled by user!") : FStopReason,
                FEndingBySignal);
  }
  QTimer::singleShot(100, this, [this] { CloseWithModals(); });
}

void Tfrm_Main::SelectAll() {
  lw_Files->selectAll();
}

QStringList Tfrm_Main::LocalPaths(const QList<QUrl> &urls) {
  QStringList paths;
  for (const QUrl &url : urls)
    if (url.isLocalFile())
      paths.append(LocalPathOfUrl(url));
  return paths;
}

void Tfrm_Main::btn_PasteClick() {
  DroppedFiles.clear();
  const QMimeData *data = QGuiApplication::clipboard()->mimeData();
  if (data && data->hasUrls())
    DroppedFiles = LocalPaths(data->urls());
  if (!DroppedFiles.isEmpty())
    AddFiles();
}

bool Tfrm_Main::eventFilter(QObject *watched, QEvent *event) {
  if (watched == lw_Files->viewport()) {
    switch (event->type()) {
    case QEvent::DragEnter: {
      // Only local files are taken: a drag without any (text, remote links) is refused.
      auto *drag = static_cast<QDragEnterEvent *>(event);
      if (!drag->mimeData()->hasUrls())
        return false;
      const QStringList paths = LocalPaths(drag->mimeData()->urls());
      if (paths.isEmpty())
        return false;
      DroppedFiles = paths;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::DragMove:
      static_cast<QDragMoveEvent *>(event)->acceptProposedAction();
      return true;
    case QEvent::Drop: {
      auto *drop = static_cast<QDropEvent *>(event);
      drop->acceptProposedAction();
      AddFiles();
      return true;
    }
    default:
      return false;
    }
  }
  if (watched == lw_Files && event->type() == QEvent::Resize && pnl_Note)
    CenterNote();
  if (watched == lbl_Note && event->type() == QEvent::MouseButtonRelease) {
    btn_AddClick();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void Tfrm_Main::CenterNote() {
  pnl_Note->move(lw_Files->width() / 2 - pnl_Note->width() / 2,
                 lw_Files->height() / 2 - pnl_Note->height() / 2);
}

// ---- actions --------------------------------------------------------------------------------

bool Tfrm_Main::HasFilesOrAdd() {
  if (EntryCount() == 0)
    btn_AddClick();
  return EntryCount() > 0;
}

void Tfrm_Main::btn_ConvertClick() {
  LaunchJob(false);
}

void Tfrm_Main::btn_ExtractClick() {
  LaunchJob(true);
}

void Tfrm_Main::LaunchJob(bool AAudio) {
  if (!HasFilesOrAdd())
    return;
  const std::optional<QString> folder = JobOutputFolder(true);
  if (!folder)
    return;
  if (AAudio)
    BuildAudioOptions();
  else
    BuildVideoOptions();
  RunJob(AAudio, SettingsJobRecord(AAudio, *folder));
}

namespace {

// Why the engine's parser refuses AOptions for an output in the container at AFormat; empty
// when it takes them.
QString CommandRefusal(const QString &AOptions, int AFormat) {
  const QString extension = QString::fromStdString(ItemText(VideoFormatItems(), AFormat)).toLower();
  return OutputOptionsError(AOptions, QStringLiteral("output.") + extension,
                            QCoreApplication::applicationDirPath());
}

} // namespace

void Tfrm_Main::btn_CommandClick() {
  if (!HasFilesOrAdd())
    return;
  str_Options.clear();
  // The text goes through the engine's parser before the batch starts, so a text every task
  // would refuse is refused once, in the dialog.
  const auto save = [this](const QString &AName, const QString &AOptions, int AFormat) {
    return PageControl1->box_Presets->SaveCommand(AName, AOptions, AFormat);
  };
  const int format = Tfrm_Command::Execute(this, PageControl1->cb_VideoFormat->currentIndex(),
                                           str_Options, str_Commands, CommandRefusal, save);
  if (!str_Options.isEmpty())
    RunCommand(format);
}

void Tfrm_Main::RunCommandPreset(const QString &AOptions, int AFormat) {
  if (!HasFilesOrAdd())
    return;
  // Checked again: an imported preset, or libraries changed since it was saved.
  if (const QString error = CommandRefusal(AOptions, AFormat); !error.isEmpty()) {
    QMessageBox::critical(this, QStringLiteral("Error"), error);
    return;
  }
  str_Options = AOptions;
  RunCommand(AFormat);
}

void Tfrm_Main::RunCommand(int AFormat) {
  // The command's container decides the extension; the encoder lists stay as they are.
  {
    const QSignalBlocker quiet(PageControl1->cb_VideoFormat);
    PageControl1->cb_VideoFormat->setCurrentIndex(AFormat);
  }
  const std::optional<QString> folder = JobOutputFolder(false);
  if (!folder)
    return;
  RunJob(false, JobRecord(*folder));
}

std::optional<QString> Tfrm_Main::JobOutputFolder(bool AUseCommandLine) {
  if (AUseCommandLine && CommandLine.Active)
    return CommandLine.OutputFolder;
  if (PageControl1->chk_Specify->isChecked()) {
    const QString chosen = ChooseOutputFolder();
    if (chosen.isEmpty())
      return std::nullopt;
    if (!CanWriteToFolder(chosen)) {
      QMessageBox::critical(this, QStringLiteral("Error"),
                            QStringLiteral("Access is denied. Unable to save to the selected "
                                           "directory."));
      return std::nullopt;
    }
    return WithDelimiter(chosen);
  }
  if (PageControl1->chk_Original->isChecked())
    return QString();
  if (PageControl1->txt_Path->text().isEmpty()) {
    QMessageBox::critical(this, QStringLiteral("Error"),
                          QStringLiteral("Output path is not specified."));
    PageControl1->setCurrentIndex(TSettingsPanel::tsOutput);
    return std::nullopt;
  }
  return WithDelimiter(PageControl1->txt_Path->text());
}

QString Tfrm_Main::ChooseOutputFolder() {
  return QFileDialog::getExistingDirectory(this, QStringLiteral("Specify destination folder."));
}

TJobRecord Tfrm_Main::JobRecord(const QString &AOutputPath) const {
  TJobRecord job;
  for (int i = 0; i < EntryCount(); ++i)
    job.Entries << Entry(i);
  job.Options = str_Options;
  job.OutputPath = AOutputPath;
  job.VideoFormat = PageControl1->cb_VideoFormat->currentText();
  job.AudioFormat = PageControl1->ConversionSettings().AudioFormat;
  job.QueueFile = NewQueueFile(QueueFolder());
  AddRunSettings(job);
  return job;
}

void Tfrm_Main::AddRunSettings(TJobRecord &AJob) const {
  AJob.CPUUsage = PageControl1->cb_CPUUsage->currentIndex();
  AJob.FilesAtOnce = FilesAtOnce(PageControl1->cb_Threads->currentIndex());
  AJob.Win7 = prg_Win7.get();
  if (FActiveStyle)
    AJob.DarkText = btn_Convert->FontColor();
  AJob.SaveLogAndQuit = CommandLine.SaveLogAndQuit;
  AJob.Preview = bool_Preview;
  AJob.Headless = bool_Headless;
}

TJobRecord Tfrm_Main::SettingsJobRecord(bool AAudio, const QString &AOutputPath) const {
  TJobRecord job = JobRecord(AOutputPath);
  const TConversionSettings S = PageControl1->ConversionSettings();
  if (!AAudio) {
    job.TargetSize = ConversionTargetSize(S);
    job.AudioKbps = ConversionAudioKbps(S);
  }
  job.SubtitlesDropped = !AAudio && S.Subtitles == sbKeep && !ContainerTakesSubtitles(S);
  if (!AAudio && DependsOnSource(S))
    job.PerSource = TSourceSettings{S, Effects};
  return job;
}

void Tfrm_Main::RunJob(bool AAudio, const TJobRecord &job) {
  if (ExecuteJob(AAudio, job).Completed && job.SaveLogAndQuit)
    QTimer::singleShot(0, this, &QWidget::close);
}

TJobOutcome Tfrm_Main::ExecuteJob(bool AAudio, const TJobRecord &job) {
  FJobStarted = true;
  const TJobOutcome outcome =
      AAudio ? Tfrm_Audio::Execute(this, job) : Tfrm_Video::Execute(this, job);
  bool_Preview = outcome.Preview;
  // A script can tell from the exit status that a file of the job failed.
  if (outcome.Completed && job.SaveLogAndQuit && outcome.FailedFiles > 0)
    int_ExitCode = 1;
  return outcome;
}

QString Tfrm_Main::QueueFolder() const {
  return QFileInfo(QString::fromStdString(FSettingsFile.Path())).path();
}

void Tfrm_Main::ResumeBatch(bool AAsk) {
  const TSavedQueues found = FindSavedQueues(QueueFolder());
  for (const QString &path : found.Done)
    QFile::remove(path);
  if (!found.Unreadable.isEmpty())
    Report(QMessageBox::Warning, UnreadableQueuesText(found.Unreadable));
  if (found.Left.isEmpty()) {
    if (!AAsk)
      EndWithMessage(found.Running > 0
                         ? QStringLiteral("No batch to resume: the last batch is still running.")
                         : QStringLiteral("No batch to resume: every file of the last batch was "
                                          "converted, or none was cut off."));
    return;
  }
  if (AAsk && QMessageBox::question(this, QStringLiteral("Resume"), ResumeQuestionText(found.Left),
                                    QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
    for (const TSavedQueue &queue : found.Left)
      QFile::remove(queue.Path);
    return;
  }
  RunQueues(found.Left);
}

void Tfrm_Main::RunQueues(const QList<TSavedQueue> &AQueues) {
  // Taken over first, so that a start while the first one runs does not offer the others.
  for (const TSavedQueue &queue : AQueues)
    SaveBatchQueue(queue.Path, Claimed(queue.Batch));
  for (int i = 0; i < AQueues.size(); ++i) {
    TJobRecord job = ResumedJob(AQueues[i]);
    job.AppendLog = i > 0;
    // A stopped batch stops the run: the queues not started stay for the next start.
    if (!ExecuteJob(AQueues[i].Batch.Audio, job).Completed || FEndingBySignal)
      return;
  }
  if (CommandLine.SaveLogAndQuit)
    QTimer::singleShot(0, this, &QWidget::close);
}

TJobRecord Tfrm_Main::ResumedJob(const TSavedQueue &AQueue) const {
  TJobRecord job = ResumeJob(AQueue.Batch);
  job.QueueFile = AQueue.Path;
  AddRunSettings(job);
  return job;
}

// ---- list documents and command line --------------------------------------------------------

void Tfrm_Main::RemoveAll() {
  if (EntryCount() == 0)
    return;
  lw_Files->selectAll();
  btn_RemoveClick();
}

void Tfrm_Main::New1Click() {
  RemoveAll();
}

void Tfrm_Main::Open1Click() {
  DroppedFiles.clear();
  const QString name = ChooseOpenDocument();
  if (name.isEmpty() || !LocalPathExists(name))
    return;
  // A document that cannot be read leaves the list as it is.
  if (!LoadListDocument(name))
    return;
  RemoveAll();
  AddFiles();
}

bool Tfrm_Main::LoadListDocument(const QString &AName) {
  QString error;
  if (!ReadListDocument(AName, DroppedFiles, error)) {
    Report(QMessageBox::Critical, error);
    return false;
  }
  if (const QStringList folders = TakeFolderLines(DroppedFiles); !folders.isEmpty())
    Report(QMessageBox::Warning, FolderLinesText(folders));
  return true;
}

void Tfrm_Main::Report(QMessageBox::Icon AIcon, const QString &AText) {
  if (bool_Headless) {
    std::fputs(qPrintable(AText + QLatin1Char('\n')), stderr);
    return;
  }
  QMessageBox box(
      AIcon, AIcon == QMessageBox::Critical ? QStringLiteral("Error") : QStringLiteral("Warning"),
      AText, QMessageBox::Ok, this);
  box.exec();
}

void Tfrm_Main::Save1Click() {
  DroppedFiles.clear();
  const QString name = ChooseSaveDocument();
  if (!name.isEmpty() && EntryCount() > 0) {
    DroppedFiles = ListedPaths();
    QString error;
    if (!WriteListDocument(name, DroppedFiles, error))
      QMessageBox::critical(this, QStringLiteral("Error"), error);
  }
  DroppedFiles.clear();
}

QString Tfrm_Main::ChooseOpenDocument() {
  return QFileDialog::getOpenFileName(this, {}, {}, QStringLiteral("Quillet Filelist (*.fls)"));
}

QString Tfrm_Main::ChooseSaveDocument() {
  QFileDialog dialog(this, {}, {}, QStringLiteral("Quillet Filelist (*.fls)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("fls"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().first();
}

void Tfrm_Main::tmr_ParamTimer() {
  if (CommandLine.Mode == TCommandLine::cmResume) {
    ResumeBatch(false);
    return;
  }
  if (!CommandLine.Active) {
    OpenFiles(CommandLine.Files);
    return;
  }
  DroppedFiles.clear();
  if (!CommandLine.ListDocument.isEmpty()) {
    LoadListDocument(CommandLine.ListDocument);
  } else {
    for (const QString &file : CommandLine.Files)
      if (IsLocalFile(file))
        DroppedFiles << file;
  }
  AddFiles();
  if (CommandLine.Mode != TCommandLine::cmLoadOnly && CommandLine.SaveLogAndQuit &&
      EntryCount() == 0) {
    EndWithoutFiles();
    return;
  }
  if (CommandLine.Mode == TCommandLine::cmExtract)
    btn_ExtractClick();
  else if (CommandLine.Mode == TCommandLine::cmConvert)
    btn_ConvertClick();
}

void Tfrm_Main::OpenFiles(const QStringList &APaths) {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  raise();
  activateWindow();
  if (!APaths.isEmpty())
    AddWhenNotModal(APaths);
}

void Tfrm_Main::AddWhenNotModal(const QStringList &APaths) {
  if (QWidget *modal = QApplication::activeModalWidget(); modal && modal != this) {
    QTimer::singleShot(250, this, [this, APaths] { AddWhenNotModal(APaths); });
    return;
  }
  DroppedFiles = APaths;
  AddFiles();
}

// ---- update check ---------------------------------------------------------------------------

void Tfrm_Main::tmr_UpdateTimer() {
  Update = new TWebData(this);
  Update->URL = VersionFileURL();
  Update->OnData = [this](TWebData *, const QString &AData) { UpdateDataReceived(AData); };
  Update->ThreadCollectData();
}

void Tfrm_Main::UpdateDataReceived(const QString &AData) {
  if (!OffersNewerVersion(QString::fromLatin1(Tfrm_About::Version), AData))
    return;
  QMessageBox box(QMessageBox::Information, QStringLiteral("Update"), UpdateQuestion(AData),
                  QMessageBox::Yes | QMessageBox::No, this);
  if (box.exec() == QMessageBox::Yes)
    QDesktopServices::openUrl(QUrl(DownloadPageURL()));
}

void Tfrm_Main::EndWithoutFiles() {
  EndWithMessage(
      QStringLiteral("No media file to work on: none of the files given on the command line "
                     "exists or can be read as media."));
}

void Tfrm_Main::EndWithMessage(const QString &AMessage) {
  std::fputs(qPrintable(AMessage + QLatin1Char('\n')), stderr);
  WriteCommandLineLog(AMessage + QStringLiteral("\r\n"));
  int_ExitCode = 1;
  QTimer::singleShot(0, this, &QWidget::close);
}

void Tfrm_Main::btn_BurnClick() {
  if (!HasFilesOrAdd())
    return;
  QList<TFileEntry> files;
  for (int i = 0; i < EntryCount(); ++i)
    files << Entry(i);
  std::optional<QColor> darkText;
  if (FActiveStyle)
    darkText = btn_Convert->FontColor();
  Tfrm_Burn::Execute(this, files, prg_Win7.get(), darkText);
}

void Tfrm_Main::btn_AddClick() {
  Tfrm_AddFiles::Execute(this, str_AddPath, int_AddView,
                         [this](Tfrm_AddFiles *, const QStringList &paths) {
                           DroppedFiles = paths;
                           AddFiles();
                         });
}

void Tfrm_Main::btn_PlayClick() {
  if (SelectedEntries().isEmpty())
    return;
  Tfrm_Preview::Execute(this, Entry(SelectedEntries().first()).SubItems[siSource]);
}

void Tfrm_Main::btn_PropertiesClick() {
  if (SelectedEntries().isEmpty())
    return;
  const TFileEntry entry = Entry(SelectedEntries().first());
  Tfrm_Properties::Execute(this, entry.Caption, entry.SubItems);
}

void Tfrm_Main::PlaySelected() {
  const QList<int> selected = SelectedEntries();
  if (selected.isEmpty())
    return;
  OpenWithDefaultApp(this, Entry(selected.first()).SubItems[siSource]);
}

void Tfrm_Main::ShowHelp() {
  const QString path = ProgramDataFile(str_ProgramDir, "Quillet.html");
  if (QFileInfo::exists(path)) {
    OpenWithDefaultApp(this, path);
    return;
  }
  QMessageBox::warning(
      this, QStringLiteral("Warning"),
      QStringLiteral("The help file is not found. Please re-install the program."));
}

void Tfrm_Main::btn_EffectsClick() {
  Tfrm_Effects::Execute(this, Effects);
}

void Tfrm_Main::BuildVideoOptions() {
  str_Options =
      QString::fromStdString(::BuildVideoOptions(PageControl1->ConversionSettings(), Effects));
}

void Tfrm_Main::BuildAudioOptions() {
  str_Options = QString::fromStdString(::BuildAudioOptions(PageControl1->ConversionSettings()));
}

// ---- look -----------------------------------------------------------------------------------

void Tfrm_Main::ApplyTheme() {
  if (!mnu_Dark->isChecked()) {
    FActiveStyle.reset();
    QApplication::setPalette(QApplication::style()->standardPalette());
    SetColors(true);
    return;
  }
  std::optional<TStyleFile> style = TStyleFile::Load(ProgramDataFile(str_ProgramDir, "Dark.vsf"));
  if (!style)
    return;
  FActiveStyle = std::move(style);
  QApplication::setPalette(FActiveStyle->Palette());
  SetColors(false);
}

void Tfrm_Main::SetColors(bool Default) {
  if (!Default && !FActiveStyle)
    return;
  const QColor font = Default ? QApplication::style()->standardPalette().color(QPalette::WindowText)
                              : FActiveStyle->WindowText;
  for (TGlassButton *b : findChildren<TGlassButton *>()) {
    if (Default)
      b->SetColors(font, QColor(232, 239, 247), QColor(98, 162, 228), QColor(201, 224, 247));
    else
      b->SetColors(font, FActiveStyle->ButtonHot, FActiveStyle->ButtonFocused,
                   FActiveStyle->ButtonPressed);
  }
  if (auto *line = findChild<QFrame *>(QStringLiteral("pnl_Line")))
    SetBackground(line, Default ? SeparatorColor : FActiveStyle->Button);
}

// ---- settings -------------------------------------------------------------------------------

void Tfrm_Main::SetColumnWidths(const TAppSettings &S) {
  lw_Files->setColumnWidth(lcName, S.Column1);
  lw_Files->setColumnWidth(lcDuration, S.Column2);
  lw_Files->setColumnWidth(lcSize, S.Column3);
  FSourceColumn->SetWidth(S.Column4);
}

QRect Tfrm_Main::AvailableArea() const {
  const QScreen *s = screen();
  return s ? s->availableGeometry() : QRect();
}

void Tfrm_Main::LoadSettings() {
  const int listWidth = isVisible() ? lw_Files->width() : width();
  TAppSettings S = FSettingsFile.Load(DefaultAppSettings(listWidth, DesignWidth, DesignHeight));
  // Whatever the file says, the window and its columns fit the screen, and so does the frame a
  // window manager will add (a window as large as the screen would be taken for a full-screen
  // one, or have its title bar pushed off the screen).
  if (const QRect area = AvailableArea(); !area.isEmpty()) {
    const QSize frame = ExpectedFrame();
    S = FittedToArea(S, area.width() - frame.width(), area.height() - frame.height());
  }
  PageControl1->SetLocOption(S.LocOption);
  PageControl1->txt_Path->setText(QString::fromStdString(S.Location));
  str_AddPath = QString::fromStdString(S.AddPath);
  int_AddView = S.AddView;
  mnu_Update->setChecked(S.Update);
  PageControl1->chk_OriginalSettings->setChecked(S.OriginalSettings);
  SetColumnWidths(S);
  resize(S.Width, S.Height);
  PageControl1->setCurrentIndex(S.Tab);
  if (S.Maximized)
    setWindowState(windowState() | Qt::WindowMaximized);
  mnu_Dark->setChecked(S.Dark);
  PageControl1->cb_Type->setCurrentIndex(S.ProfileType);
  PageControl1->cb_TypeSelect();
  PageControl1->cb_Format->setCurrentIndex(S.ProfileFormat);
  PageControl1->ShowConversionSettings(S.Conversion);
  bool_Preview = S.Preview;
  str_Commands.clear();
  for (const std::string &command : S.Commands)
    str_Commands << QString::fromStdString(command);
}

void Tfrm_Main::SaveSettings() {
  TAppSettings S;
  S.LocOption = PageControl1->LocOption();
  S.Location = PageControl1->txt_Path->text().toStdString();
  S.AddPath = str_AddPath.toStdString();
  S.AddView = int_AddView;
  S.Maximized = isMaximized();
  S.Height = height();
  S.Width = width();
  S.OriginalSettings = PageControl1->chk_OriginalSettings->isChecked();
  S.Tab = PageControl1->currentIndex();
  S.Update = mnu_Update->isChecked();
  S.Column1 = lw_Files->columnWidth(lcName);
  S.Column2 = lw_Files->columnWidth(lcDuration);
  S.Column3 = lw_Files->columnWidth(lcSize);
  S.Column4 = FSourceColumn->Width();
  S.Conversion = PageControl1->ConversionSettings();
  S.Dark = mnu_Dark->isChecked();
  S.ProfileType = PageControl1->cb_Type->currentIndex();
  S.ProfileFormat = PageControl1->cb_Format->currentIndex();
  S.Preview = bool_Preview;
  for (const QString &command : str_Commands)
    S.Commands.push_back(command.toStdString());
  try {
    FSettingsFile.Save(S);
  } catch (const ESettingsWriteError &e) {
    QMessageBox::critical(this, QStringLiteral("Error"), QString::fromUtf8(e.what()));
  }
}

void Tfrm_Main::Defaultsettings1Click() {
  FSettingsFile.Delete();
  if (isMaximized())
    showNormal();
  LoadSettings();
  ApplyTheme();
  PageControl1->setCurrentIndex(TSettingsPanel::tsProfiles);
  PageControl1->cb_Type->setCurrentIndex(0);
  PageControl1->cb_TypeSelect();
  Effects = TEffects();
  resize(DesignWidth, DesignHeight);
  KeepOnScreen();
  // The list spans the window's width.
  SetColumnWidths(DefaultAppSettings(DesignWidth, DesignWidth, DesignHeight));
}

QSize Tfrm_Main::ExpectedFrame() const {
  // Before the window is shown its frame is not known (and may read as anything).
  const QMargins known = isVisible() ? FrameMargins() : QMargins();
  if (!known.isNull() && known.left() >= 0 && known.top() >= 0 && known.right() >= 0 &&
      known.bottom() >= 0)
    return QSize(known.left() + known.right(), known.top() + known.bottom());
  return EstimatedFrame();
}

QSize Tfrm_Main::EstimatedFrame() const {
  // Offscreen windows get no frame from a window manager.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
    return QSize(0, 0);
  const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, this);
  return QSize(2 * border,
               style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 2 * border);
}

QMargins Tfrm_Main::FrameMargins() const {
  const QRect outer = frameGeometry(), inner = geometry();
  return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                  outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

void Tfrm_Main::KeepOnScreenForNewFrame() {
  if (bool_Shown && FrameMargins() != FKeptFrame)
    KeepOnScreen();
}

void Tfrm_Main::KeepOnScreen() {
  FKeptFrame = FrameMargins();
  const QRect area = AvailableArea();
  if (area.isEmpty() || isMaximized() || isFullScreen())
    return;
  // The frame the window system reports, but never less than a title bar and borders where a
  // window manager frames windows: while it is framing the window the report may still be
  // none, or wrong (a title bar reported as a bottom edge).
  QMargins frame = FrameMargins();
  if (frame.left() < 0 || frame.top() < 0 || frame.right() < 0 || frame.bottom() < 0)
    frame = QMargins();
  if (const QSize estimate = EstimatedFrame(); !estimate.isEmpty()) {
    const int border = estimate.width() / 2;
    frame =
        QMargins(std::max(frame.left(), border), std::max(frame.top(), estimate.height() - border),
                 std::max(frame.right(), border), std::max(frame.bottom(), border));
  }
  const QRect inner = area.marginsRemoved(frame);
  resize(size().boundedTo(inner.size()));
  // The window itself within the area less the frame: the title bar then lies on the screen.
  // Moved by the difference, whether the window system places the frame or the window.
  const QRect client = geometry();
  const int left =
      std::max(inner.left(), std::min(client.left(), inner.right() + 1 - client.width()));
  const int top =
      std::max(inner.top(), std::min(client.top(), inner.bottom() + 1 - client.height()));
  if (left != client.left() || top != client.top())
    move(pos() + QPoint(left - client.left(), top - client.top()));
}

void Tfrm_Main::WarnUnreadableSettings() {
  QMessageBox::warning(this, QStringLiteral("Warning"),
                       QStringLiteral("The settings file %1 cannot be read (%2). The default "
                                      "settings are used and the file is left unchanged.")
                           .arg(QString::fromStdString(FSettingsFile.Path()),
                                QString::fromStdString(FSettingsFile.ReadError())));
}

// ---- window events --------------------------------------------------------------------------

void Tfrm_Main::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  if (bool_Shown)
    return;
  bool_Shown = true;
  prg_Win7 = std::make_unique<TWin7TaskProgressBar>(uintptr_t(winId()));
  prg_Win7->SetVisible(false);
  // Now that the window has its frame, the frame too must fit. A window manager frames the
  // window a little later, and may place it with its title bar above the screen: the window
  // is checked again while that happens, and whenever the frame changes.
  KeepOnScreen();
  for (const int ms : {100, 400, 1000, 2000})
    QTimer::singleShot(ms, this, [this] { KeepOnScreen(); });
  ShowSortArrow(lcName, false);
  UpdateSize();
  // Loading the libraries takes a moment: the window shows first.
  QTimer::singleShot(0, this, [this] { CheckEncoders(); });
  // Files to open are no job: the update check runs for them too. Without a screen there is no
  // painted window to wait for.
  if (CommandLine.Active || !CommandLine.Files.isEmpty())
    QTimer::singleShot(bool_Headless ? 0 : 100, this, [this] { tmr_ParamTimer(); });
  if (!CommandLine.Active && mnu_Update->isChecked())
    QTimer::singleShot(100, this, [this] { tmr_UpdateTimer(); });
  // A plain start offers to finish a batch that was cut off; no one could answer without a
  // display.
  if (!CommandLine.Active && CommandLine.Files.isEmpty() && !bool_Headless)
    QTimer::singleShot(0, this, [this] { ResumeBatch(true); });
  // After the window has painted, so the warning stands over it.
  if (!FSettingsFile.ReadError().empty())
    QTimer::singleShot(0, this, [this] { WarnUnreadableSettings(); });
}

void Tfrm_Main::CheckEncoders() {
  FEncoderCheck->Start(str_ProgramDir);
  ShowAvailableEncoders();
}

void Tfrm_Main::ShowAvailableEncoders() {
  PageControl1->SetEncoderFilter(
      [this](const std::string &AEncoder) { return FEncoderCheck->Available(AEncoder); });
}

void Tfrm_Main::closeEvent(QCloseEvent *event) {
  prg_Win7.reset();
  SaveSettings();
  event->accept();
}

void Tfrm_Main::moveEvent(QMoveEvent *event) {
  QMainWindow::moveEvent(event);
  KeepOnScreenForNewFrame();
}

void Tfrm_Main::resizeEvent(QResizeEvent *event) {
  QMainWindow::resizeEvent(event);
  KeepOnScreenForNewFrame();
  sts_0->setFixedWidth(width() / 2);
}
