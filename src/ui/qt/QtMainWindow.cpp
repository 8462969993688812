#include "ui/qt/QtMainWindow.h"

#include <cstdio>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableView>
#include <QValidator>
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/CodePage.h"
#include "platform/CommandLine.h"
#include "settings/MapFolderSettings.h"
#include "ui/EntityClasses.h"
#include "ui/MainLayout.h"
#include "ui/Resource.h"
#include "ui/qt/DialogUnits.h"

// The icon is compiled into this library; a program that links the library
// takes it only when something names it.
static void InitLumpwrightResources() { Q_INIT_RESOURCE(lumpwright); }

namespace lw::qt {
namespace {

// Where the window's place and size are kept ("X Y WIDTH HEIGHT"), beside the
// map folder, and the outline's width in pixels (the split between the text
// and the outline).
constexpr const char* kPlacementValue = "WindowPlacement";
constexpr const char* kOutlineWidthValue = "OutlineWidth";
// How narrow the split may make the outline, in dialog units.
constexpr int kNarrowestOutline = 90;
// A closed combo box's height, in dialog units (the template gives the
// dropped-down height).
constexpr int kComboHeight = 12;
constexpr int kVisibleSearchItems = 30;
constexpr const char* kIconPath = ":/lumpwright/Lumpwright.ico";
// The one menu, which holds the About entry (there is no system menu here).
constexpr const char* kHelpMenu = "&Help";
// The Exit button's ID: the system's OK command.
constexpr int kIdOk = 1;

// The map list as a Windows list box of one choice behaves: a click, with
// Ctrl or without, chooses the map under it and nothing un-chooses it; a key
// that moves the focus frame (arrows, Home, End, Page Up and Down, the first
// key after Tab) chooses the map the frame lands on.
class MapListWidget : public QListWidget {
 public:
  using QListWidget::QListWidget;

 protected:
  // Only a press of the mouse chooses (once: the release and the moves
  // change nothing, whatever the logic did about the press).
  [[nodiscard]] QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const override {
    const bool press =
        event != nullptr && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick);
    return press && index.isValid() ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate;
  }

  // A key that moves the frame chooses the map it lands on, with one
  // notification, which the logic may turn back (a Cancel).
  void keyPressEvent(QKeyEvent* event) override {
    const std::optional<CursorAction> move = MoveFor(event->key());
    if (!move || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
      QListWidget::keyPressEvent(event);
      return;
    }
    event->accept();
    const QModelIndex target = moveCursor(*move, event->modifiers());
    if (!target.isValid()) return;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    scrollTo(target);
    if (!selectionModel()->isSelected(target)) selectionModel()->select(target, QItemSelectionModel::ClearAndSelect);
  }

 private:
  static std::optional<CursorAction> MoveFor(int key) {
    switch (key) {
      case Qt::Key_Up: return MoveUp;
      case Qt::Key_Down: return MoveDown;
      case Qt::Key_Left: return MoveLeft;
      case Qt::Key_Right: return MoveRight;
      case Qt::Key_Home: return MoveHome;
      case Qt::Key_End: return MoveEnd;
      case Qt::Key_PageUp: return MovePageUp;
      case Qt::Key_PageDown: return MovePageDown;
      default: return std::nullopt;
    }
  }
};

// The search field takes text as the Windows one does: up to what fits in
// the field, no further.
class FitsFieldValidator : public QValidator {
 public:
  explicit FitsFieldValidator(QLineEdit& field) : QValidator(&field), field_(field) {}

  State validate(QString& input, int& /*position*/) const override {
    const QMargins margins = field_.textMargins();
    const int room = field_.contentsRect().width() - margins.left() - margins.right() - kCursorRoom;
    return field_.fontMetrics().horizontalAdvance(input) <= room ? Acceptable : Invalid;
  }

 private:
  // The frame and the caret take a few pixels of the field.
  static constexpr int kCursorRoom = 6;
  QLineEdit& field_;
};

// The split between the text and the outline: dragged left, it gives the
// outline the width the text gives up; dragged right, the other way.
class SplitGrip : public QWidget {
 public:
  SplitGrip(QWidget* parent, std::function<void(int)> moved) : QWidget(parent), moved_(std::move(moved)) {
    setCursor(Qt::SplitHCursor);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override { lastX_ = event->globalPosition().toPoint().x(); }
  void mouseMoveEvent(QMouseEvent* event) override {
    if ((event->buttons() & Qt::LeftButton) == 0) return;
    const int x = event->globalPosition().toPoint().x();
    moved_(lastX_ - x);
    lastX_ = x;
  }

 private:
  std::function<void(int)> moved_;
  int lastX_ = 0;
};

QString Text(const char* latin1) { return QString::fromLatin1(latin1); }

CString BytesOf(const QByteArray& bytes) { return CString(bytes.constData(), static_cast<size_t>(bytes.size())); }

QIcon ProgramIcon() {
  InitLumpwrightResources();
  return QIcon(Text(kIconPath));
}

QPushButton* MakeButton(QWidget* parent, const char* text) {
  auto* button = new QPushButton(Text(text), parent);
  button->setAutoDefault(true);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* text) {
  auto* label = new QLabel(Text(text), parent);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

QtMainWindow::QtMainWindow(const MainWindowServices& services, QWidget* parent)
    : QDialog(parent),
      messages_(services.messages != nullptr ? services.messages : &boxes_),
      pickFolder_(services.pickFolder),
      settings_(&services.Settings()),
      editor_(*this, services.Settings(), services.Files(), services.EditorOptions()) {
  setWindowTitle(Text(LW_TEXT_MAIN_CAPTION));
  setWindowIcon(ProgramIcon());
  // A resizable frame without minimise or maximise boxes, shown on the task bar.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  setSizeGripEnabled(false);
  CreateControls();
  LayOut();
}

QtMainWindow::~QtMainWindow() { Finish(); }

void QtMainWindow::CreateControls() {
  auto* menuBar = new QMenuBar(this);
  QMenu* help = menuBar->addMenu(Text(kHelpMenu));
  help->addAction(Text(LW_TEXT_ABOUT_MENU), this, &QtMainWindow::ShowAbout);
  menuBar->setObjectName(QStringLiteral("menuBar"));

  // The group boxes first, so that they lie beneath the controls they frame.
  mapsGroup_ = new QGroupBox(Text(LW_TEXT_MAPS_GROUP), this);
  entitiesGroup_ = new QGroupBox(Text(LW_TEXT_ENTITIES_GROUP), this);

  // The template's order, which is the tab order.
  mapFolder_ = new QLineEdit(this);
  mapFolder_->setReadOnly(true);
  browse_ = MakeButton(this, LW_TEXT_BROWSE);
  mapList_ = new MapListWidget(this);
  mapList_->setSelectionMode(QAbstractItemView::SingleSelection);
  mapList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  mapList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  searchCombo_ = new QComboBox(this);
  searchCombo_->setEditable(true);
  // Typing searches nothing by itself, adds no item and completes nothing:
  // only Find, Find Next, Enter or choosing an item search.
  searchCombo_->setInsertPolicy(QComboBox::NoInsert);
  searchCombo_->setCompleter(nullptr);
  searchCombo_->lineEdit()->setValidator(new FitsFieldValidator(*searchCombo_->lineEdit()));
  searchCombo_->setMaxVisibleItems(kVisibleSearchItems);
  for (const std::string_view name : kEntityClassNames) {
    searchCombo_->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  }
  find_ = MakeButton(this, LW_TEXT_FIND);
  entityEdit_ = new ScintillaEntityEdit(this);
  delete_ = MakeButton(this, LW_TEXT_DELETE);
  deleteAll_ = MakeButton(this, LW_TEXT_DELETE_ALL);
  save_ = MakeButton(this, LW_TEXT_SAVE);
  exit_ = MakeButton(this, LW_TEXT_EXIT);
  mapFolderLabel_ = MakeLabel(this, LW_TEXT_MAP_FOLDER);
  mapStatus_ = MakeLabel(this, LW_TEXT_MAP_STATUS);
  findFeedback_ = MakeLabel(this, "");
  findFeedback_->setTextFormat(Qt::PlainText);
  searchLabel_ = MakeLabel(this, LW_TEXT_SEARCH_LABEL);
  findNext_ = MakeButton(this, LW_TEXT_FIND_NEXT);
  mapFilesLabel_ = MakeLabel(this, LW_TEXT_MAP_FILES);
  mapFilter_ = new QLineEdit(this);
  mapFilter_->setPlaceholderText(QStringLiteral("Filter"));
  mapFilter_->setClearButtonEnabled(true);
  outlineGroup_ = new QGroupBox(QStringLiteral("Outline"), this);
  outline_ = new OutlinePanel(this);
  splitHandle_ = new SplitGrip(this, [this](int wider) {
    outlineGrowth_ = shownOutlineGrowth_ + wider;
    LayOut();
  });
  outline_->liveText = [this] { return entityEdit_->LiveText(); };
  outline_->check = [this](std::string_view text) { return editor_.CheckText(text); };
  outline_->problemsFound = [this](const std::vector<CheckFinding>& findings) { MarkProblems(findings); };

  QWidget* const tabOrder[] = {
      mapFolder_,         browse_,          mapFilter_,          mapList_, searchCombo_, find_,
      entityEdit_,        delete_,          deleteAll_,          save_,    exit_,        findNext_,
      outline_->Filter(), outline_->View(), outline_->Problems()};
  for (size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  connect(browse_, &QPushButton::clicked, this, [this] { editor_.BrowseForMapFolder(); });
  connect(save_, &QPushButton::clicked, this, [this] { editor_.OnSave(); });
  connect(delete_, &QPushButton::clicked, this, [this] { editor_.OnDelete(); });
  connect(deleteAll_, &QPushButton::clicked, this, [this] { editor_.OnDeleteAll(); });
  connect(find_, &QPushButton::clicked, this, [this] { editor_.OnFind(); });
  connect(findNext_, &QPushButton::clicked, this, [this] { editor_.OnFindNext(); });
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
  // F1 asks for help, which there is none of, as in the Windows program.
  auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
  helpKey->setContext(Qt::WindowShortcut);
  connect(helpKey, &QShortcut::activated, this, [this] { messages_->ShowMessage(LW_TEXT_HELP_FAILED); });
  // The keys of the editors these users know, from every control.
  const struct {
    QKeySequence keys;
    void (lw::CEntityEditorDlg::*handler)();
  } shortcuts[] = {{QKeySequence(Qt::CTRL | Qt::Key_F), &lw::CEntityEditorDlg::OnFocusSearch},
                   {QKeySequence(Qt::Key_F3), &lw::CEntityEditorDlg::OnFindNext},
                   {QKeySequence(Qt::CTRL | Qt::Key_S), &lw::CEntityEditorDlg::OnSave},
                   {QKeySequence(Qt::Key_F5), &lw::CEntityEditorDlg::OnRefreshMapList}};
  for (const auto& shortcut : shortcuts) {
    auto* key = new QShortcut(shortcut.keys, this);
    key->setContext(Qt::WindowShortcut);
    connect(key, &QShortcut::activated, this, [this, handler = shortcut.handler] { (editor_.*handler)(); });
  }
  // "*" before the caption while the text has unsaved changes.
  connect(entityEdit_, &QsciScintilla::modificationChanged, this, [this](bool modified) {
    setWindowTitle((modified ? QStringLiteral("*") : QString()) + Text(LW_TEXT_MAIN_CAPTION));
  });
  connect(mapList_, &QListWidget::itemSelectionChanged, this, [this] { editor_.OnSelchangeMapList(); });
  connect(mapFilter_, &QLineEdit::textChanged, this,
          [this](const QString& text) { editor_.OnMapFilterChanged(BytesOf(text.toLocal8Bit())); });
  // The outline follows the text and the caret; a row chosen selects its block.
  connect(entityEdit_, &QsciScintilla::textChanged, outline_, &OutlinePanel::TextChanged);
  // A selection marks the block it starts in (a block Find selected ends at
  // the next block's '{').
  connect(entityEdit_, &QsciScintilla::cursorPositionChanged, this, [this] {
    outline_->MarkRowAt(static_cast<size_t>(entityEdit_->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART)));
  });
  connect(outline_, &OutlinePanel::BlockChosen, this,
          [this](int open, int close) { editor_.OnOutlineChosen(open, close); });
  connect(outline_, &OutlinePanel::ProblemChosen, this,
          [this](int offset) { editor_.OnProblemChosen(static_cast<size_t>(offset)); });
  // Only a user's choice of an item (mouse, arrow keys, wheel) runs Find.
  connect(searchCombo_, &QComboBox::activated, this, [this] {
    searchTyped_ = false;
    editor_.OnFind();
  });
  connect(searchCombo_->lineEdit(), &QLineEdit::textEdited, this, [this] { searchTyped_ = true; });
}

void QtMainWindow::LayOut() {
  const DialogUnits units(*this);
  auto* menuBar = findChild<QMenuBar*>(QStringLiteral("menuBar"));
  const int top = menuBar->sizeHint().height();
  const int baseWidth = units.X(LW_MAIN_WIDTH);
  const int baseHeight = units.Y(LW_MAIN_HEIGHT) + top;
  const int minimumHeightNow = units.Y(LW_MAIN_HEIGHT - LW_MAIN_SHRINKABLE_HEIGHT) + top;
  if (minimumWidth() != baseWidth || minimumHeight() != minimumHeightNow) {
    setMinimumSize(baseWidth, minimumHeightNow);
    if (width() < baseWidth || height() < minimumHeightNow)
      resize(std::max(width(), baseWidth), std::max(height(), minimumHeightNow));
  }
  // What the window has grown (or shrunk) by: the split gives the outline its
  // share of the width, the text the rest.
  const int grownX = std::max(0, width() - baseWidth);
  const int grownY = std::max(height() - baseHeight, minimumHeightNow - baseHeight);
  const int outlineGrowth = std::clamp(outlineGrowth_, units.X(kNarrowestOutline - 183), grownX);
  const int textGrowth = grownX - outlineGrowth;
  shownOutlineGrowth_ = outlineGrowth;
  const auto grown = [&](const ControlPlace& place, int height = 0) {
    QRect rect = units.Rect(place);
    if (height != 0) rect.setHeight(units.Y(height));
    const PixelRect moved =
        Grown({rect.x(), rect.y() + top, rect.width(), rect.height()}, place.grow, textGrowth, outlineGrowth, grownY);
    return QRect(moved.x, moved.y, moved.width, std::max(0, moved.height));
  };
  menuBar->setGeometry(0, 0, width(), top);
  mapFolder_->setGeometry(grown(kPlaceMapFolder));
  browse_->setGeometry(grown(kPlaceBrowse));
  mapList_->setGeometry(grown(kPlaceMapList));
  searchCombo_->setGeometry(grown(kPlaceEntityCombo, kComboHeight));
  find_->setGeometry(grown(kPlaceFind));
  entityEdit_->setGeometry(grown(kPlaceEntityText));
  findFeedback_->setGeometry(grown(kPlaceFindFeedback));
  delete_->setGeometry(grown(kPlaceDelete));
  deleteAll_->setGeometry(grown(kPlaceDeleteAll));
  save_->setGeometry(grown(kPlaceSave));
  exit_->setGeometry(grown(kPlaceExit));
  mapFolderLabel_->setGeometry(grown(kPlaceMapFolderLabel));
  mapStatus_->setGeometry(grown(kPlaceMapStatus));
  searchLabel_->setGeometry(grown(kPlaceSearchLabel));
  mapsGroup_->setGeometry(grown(kPlaceMapsGroup));
  entitiesGroup_->setGeometry(grown(kPlaceEntitiesGroup));
  findNext_->setGeometry(grown(kPlaceFindNext));
  mapFilesLabel_->setGeometry(grown(kPlaceMapFilesLabel));
  mapFilter_->setGeometry(grown(kPlaceMapFilter));
  outlineGroup_->setGeometry(grown(kPlaceOutlineGroup));
  // The panel holds the outline's filter, rows, counts and problems, from the
  // filter's top to the problems' bottom.
  const QRect filter = grown(kPlaceOutlineFilter);
  outline_->setGeometry(filter.united(grown(kPlaceProblems)));
  // The split: the gap between the text's group and the outline's.
  const QRect entities = entitiesGroup_->geometry();
  const QRect outline = outlineGroup_->geometry();
  splitHandle_->setGeometry(entities.right() + 1, outline.top(), outline.left() - entities.right() - 1,
                            outline.height());
}

void QtMainWindow::MarkProblems(const std::vector<CheckFinding>& findings) {
  // A wavy line under each problem, from its place to its line's end: red
  // for an error, orange for a warning.
  const auto send = [this](unsigned message, unsigned long wParam = 0, long lParam = 0) {
    return entityEdit_->SendScintilla(message, wParam, lParam);
  };
  const long length = send(QsciScintilla::SCI_GETLENGTH);
  for (const int indicator : {kErrorIndicator, kWarningIndicator}) {
    send(QsciScintilla::SCI_INDICSETSTYLE, static_cast<unsigned long>(indicator), QsciScintilla::INDIC_SQUIGGLE);
    send(QsciScintilla::SCI_INDICSETFORE, static_cast<unsigned long>(indicator),
         indicator == kErrorIndicator ? 0x0000D0 : 0x0080E0);
    send(QsciScintilla::SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
    send(QsciScintilla::SCI_INDICATORCLEARRANGE, 0, length);
  }
  constexpr size_t kMarkedProblems = 2000;
  for (size_t i = 0; i < findings.size() && i < kMarkedProblems; ++i) {
    const auto start = static_cast<long>(findings[i].offset);
    if (start >= length) continue;
    const long line = send(QsciScintilla::SCI_LINEFROMPOSITION, static_cast<unsigned long>(start));
    const long end = std::max(start + 1, send(QsciScintilla::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)));
    send(QsciScintilla::SCI_SETINDICATORCURRENT,
         static_cast<unsigned long>(findings[i].severity == CheckSeverity::kError ? kErrorIndicator
                                                                                  : kWarningIndicator));
    send(QsciScintilla::SCI_INDICATORFILLRANGE, static_cast<unsigned long>(start), std::min(end, length) - start);
  }
}

void QtMainWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
}

void QtMainWindow::Initialize() {
  // The template's size, lower where the screen is (its title bar left
  // room); the window opens centred when first shown.
  const DialogUnits units(*this);
  const int menu = findChild<QMenuBar*>(QStringLiteral("menuBar"))->sizeHint().height();
  int height = units.Y(LW_MAIN_HEIGHT) + menu;
  if (const QScreen* shown = screen(); shown != nullptr) {
    constexpr int kTitleBarRoom = 40;
    height = std::min(height, shown->availableGeometry().height() - kTitleBarRoom);
  }
  resize(units.X(LW_MAIN_WIDTH), std::max(height, minimumHeight()));
  RestorePlacement();
  editor_.OnInitDialog();
}

QWidget* QtMainWindow::Control(int controlId) const {
  switch (controlId) {
    case kIdOk: return exit_;
    case IDC_DELETE: return delete_;
    case IDC_BROWSE: return browse_;
    case IDC_DELETE_ALL: return deleteAll_;
    case IDC_FIND: return find_;
    case IDC_FIND_NEXT: return findNext_;
    case IDC_MAP_LIST: return mapList_;
    case IDC_ENTITY_TEXT: return entityEdit_;
    case IDC_MAP_FOLDER: return mapFolder_;
    case IDC_ENTITY_COMBO: return searchCombo_;
    case IDC_SAVE: return save_;
    case IDC_MAP_STATUS: return mapStatus_;
    case IDC_FIND_FEEDBACK: return findFeedback_;
    case IDC_OUTLINE_FILTER: return outline_->Filter();
    case IDC_OUTLINE: return outline_->View();
    case IDC_PROBLEMS: return outline_->Problems();
    case IDC_MAP_FILTER: return mapFilter_;
    default: return nullptr;
  }
}

void QtMainWindow::SetFolderText(const CString& text) { mapFolder_->setText(ToDisplayString(text)); }

void QtMainWindow::ResetMapList() {
  const QSignalBlocker blocker(mapList_);
  mapList_->clear();
}

void QtMainWindow::AddMap(const CString& name) {
  // The list keeps the file name's own bytes beside the text it shows, and
  // its order is the core's, not the locale's.
  int low = 0;
  int high = mapList_->count();
  while (low < high) {
    const int middle = (low + high) / 2;
    if (MapNameLess(name, MapListItem(middle))) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  auto* item = new QListWidgetItem(ToDisplayString(name));
  item->setData(Qt::UserRole, QByteArray(name.GetString(), name.GetLength()));
  const QSignalBlocker blocker(mapList_);
  mapList_->insertItem(low, item);
}

int QtMainWindow::MapListSelection() const {
  const QList<QListWidgetItem*> selected = mapList_->selectedItems();
  return selected.isEmpty() ? -1 : mapList_->row(selected.front());
}

CString QtMainWindow::MapListItem(int index) const {
  const QListWidgetItem* item = mapList_->item(index);
  return item == nullptr ? CString() : BytesOf(item->data(Qt::UserRole).toByteArray());
}

void QtMainWindow::SetMapFilterText(const CString& text) {
  const QSignalBlocker blocker(mapFilter_);
  mapFilter_->setText(QString::fromLocal8Bit(text.GetString(), static_cast<qsizetype>(text.Size())));
}

void QtMainWindow::SetMapListSelection(int index) {
  const QSignalBlocker blocker(mapList_);
  if (index < 0 || index >= mapList_->count()) {
    mapList_->clearSelection();
    mapList_->setCurrentItem(nullptr);
    return;
  }
  mapList_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
  // Called while the list is still moving its focus frame (a key or a click
  // that the logic turned back), the frame would end on the map not chosen:
  // it goes back to the chosen one once the list is done.
  QMetaObject::invokeMethod(
      mapList_,
      [list = mapList_, index] {
        if (index >= list->count()) return;
        const QSignalBlocker later(list);
        list->selectionModel()->setCurrentIndex(list->model()->index(index, 0), QItemSelectionModel::NoUpdate);
      },
      Qt::QueuedConnection);
}

void QtMainWindow::SetStatusText(const CString& text) { mapStatus_->setText(ToDisplayString(text)); }

void QtMainWindow::SetFindFeedback(const CString& text) { findFeedback_->setText(ToDisplayString(text)); }

int QtMainWindow::SearchSelection() const { return searchTyped_ ? -1 : searchCombo_->currentIndex(); }

CString QtMainWindow::SearchItem(int index) const { return BytesOf(searchCombo_->itemText(index).toLatin1()); }

CString QtMainWindow::SearchFieldText() const {
  // Typed characters become the bytes the editor shows them with.
  const QString text = searchCombo_->currentText();
  return BytesOf(entityEdit_->IsUtf8() ? text.toUtf8() : text.toLatin1());
}

void QtMainWindow::SelectSearchItem(int index) {
  const QSignalBlocker blocker(searchCombo_);
  searchCombo_->setCurrentIndex(index);
  searchTyped_ = false;
}

void QtMainWindow::FocusSearch() { searchCombo_->setFocus(Qt::OtherFocusReason); }

void QtMainWindow::SetDefaultButton(int controlId) {
  if (auto* button = qobject_cast<QPushButton*>(Control(controlId))) button->setDefault(true);
}

void QtMainWindow::ShowWaitCursor(bool show) {
  if (show) {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else {
    QApplication::restoreOverrideCursor();
  }
}

std::optional<CString> QtMainWindow::PickFolder(const CString& title) {
  if (pickFolder_) return pickFolder_(title);
  const QString start = ToDisplayString(editor_.GetMapFolder());
  const QString chosen =
      QFileDialog::getExistingDirectory(this, ToDisplayString(title), start, QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return std::nullopt;
  std::string path = QFile::encodeName(chosen).toStdString();
  while (!path.empty() && path.back() == '/') path.pop_back();
  return CString(std::move(path));
}

void QtMainWindow::done(int result) {
  if (!finished_ && !editor_.OnCloseRequest()) return;
  QDialog::done(result);
  Finish();
}

void QtMainWindow::Finish() {
  if (finished_) return;
  finished_ = true;
  StorePlacement();
  editor_.OnDestroy();
}

void QtMainWindow::RestorePlacement() {
  if (char width[kRegistryBufferSize] = {}; ReadRegistryString(*settings_, kSettingsKey, kOutlineWidthValue, width)) {
    outlineGrowth_ = std::atoi(width) - DialogUnits(*this).X(kPlaceOutlineGroup.width);
    LayOut();
  }
  char stored[kRegistryBufferSize] = {};
  if (!ReadRegistryString(*settings_, kSettingsKey, kPlacementValue, stored)) return;
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  if (std::sscanf(stored, "%d %d %d %d", &x, &y, &w, &h) != 4) return;
  const QRect placed(x, y, std::max(w, minimumWidth()), std::max(h, minimumHeight()));
  // Only where a screen still shows it (a monitor may be gone since).
  for (const QScreen* each : QGuiApplication::screens()) {
    if (each->availableGeometry().intersects(placed)) {
      setGeometry(placed);
      return;
    }
  }
}

void QtMainWindow::StorePlacement() {
  const QRect placed = geometry();
  StoreString(*settings_, kSettingsKey, kPlacementValue,
              FormatString("%d %d %d %d", placed.x(), placed.y(), placed.width(), placed.height()));
  StoreString(*settings_, kSettingsKey, kOutlineWidthValue, FormatString("%d", outlineGroup_->width()));
}

void QtMainWindow::ShowAbout() {
  QtAboutBox about(this);
  about.exec();
}

QtAboutBox::QtAboutBox(QWidget* owner) : QDialog(owner) {
  setWindowTitle(Text(LW_TEXT_ABOUT_CAPTION));
  setWindowIcon(ProgramIcon());
  const DialogUnits units(*this);
  setFixedSize(units.X(LW_ABOUT_WIDTH), units.Y(LW_ABOUT_HEIGHT));

  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  const QRect iconPlace = units.Rect(kPlaceAboutIcon);
  icon->setGeometry(iconPlace.x(), iconPlace.y(), std::max(32, iconPlace.width()), std::max(32, iconPlace.height()));
  auto* name = MakeLabel(this, LW_TEXT_ABOUT_NAME LUMPWRIGHT_VERSION_STRING);
  name->setGeometry(units.Rect(kPlaceAboutName));
  auto* notice = MakeLabel(this, LW_TEXT_ABOUT_NOTICE);
  notice->setGeometry(units.Rect(kPlaceAboutNotice));
  auto* ok = MakeButton(this, LW_TEXT_ABOUT_OK);
  ok->setDefault(true);
  ok->setGeometry(units.Rect(kPlaceAboutOk));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool QtMainWindow::Open(bool show) {
  Initialize();
  if (show) this->show();
  return true;
}

int QtMainWindow::RunModal() {
  Initialize();
  exec();
  return 0;
}

}  // namespace lw::qt
