#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "ui/CEntityEditorDlg.h"
#include "ui/MainWindowServices.h"
#include "ui/MainWindowView.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/OutlinePanel.h"
#include "ui/qt/ScintillaEntityEdit.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace lw::qt {

// The main window: the controls of the main template laid out from dialog
// units, as the view of the editor's logic (lw::CEntityEditorDlg), with their
// signals routed to that logic.
class QtMainWindow final : public QDialog, public MainWindowView {
  Q_OBJECT

 public:
  explicit QtMainWindow(const MainWindowServices& services = {}, QWidget* parent = nullptr);
  ~QtMainWindow() override;

  // Runs the logic's start-up (settings, the map list, perhaps the first-run
  // warning and the folder picker) before the window is shown.
  void Initialize();
  // Initialised, and shown when `show`; a window can always be made here.
  bool Open(bool show);
  // Initialised and run until it closes; the program's exit code.
  int RunModal();

  // The editor's state and handlers, for a test to look into.
  [[nodiscard]] lw::CEntityEditorDlg& Editor() { return editor_; }

  // MainWindowView.
  void SetFolderText(const CString& text) override;
  void ResetMapList() override;
  void AddMap(const CString& name) override;
  [[nodiscard]] int MapListSelection() const override;
  [[nodiscard]] CString MapListItem(int index) const override;
  void SetMapListSelection(int index) override;
  void SetMapFilterText(const CString& text) override;
  void SetStatusText(const CString& text) override;
  [[nodiscard]] bool HasFindFeedback() const override { return true; }
  void SetFindFeedback(const CString& text) override;
  [[nodiscard]] int SearchSelection() const override;
  [[nodiscard]] CString SearchItem(int index) const override;
  [[nodiscard]] CString SearchFieldText() const override;
  void SelectSearchItem(int index) override;
  void FocusSearch() override;
  EntityEdit& Entities() override { return *entityEdit_; }
  void SetDefaultButton(int controlId) override;
  void ShowWaitCursor(bool show) override;
  MessageSink& Messages() override { return *messages_; }
  std::optional<CString> PickFolder(const CString& title) override;

  // Exit (accept), Esc and the close box (reject) end here: the window closes
  // unless the user asked to save the edits and the save failed.
  void done(int result) override;

  // The window's controls by the template's IDs, for a test to drive.
  [[nodiscard]] QWidget* Control(int controlId) const;
  [[nodiscard]] OutlinePanel* Outline() const { return outline_; }
  [[nodiscard]] QWidget* OutlineSplit() const { return splitHandle_; }
  // The text's indicators under the problems the check found.
  static constexpr int kErrorIndicator = 8;
  static constexpr int kWarningIndicator = 9;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void LayOut();
  void MarkProblems(const std::vector<CheckFinding>& findings);
  // The exit step, run once: the save question if the window was closed
  // without one, the folder stored, the dump written.
  void Finish();
  void ShowAbout();
  // The window's place and size, kept in the settings between runs.
  void RestorePlacement();
  void StorePlacement();

  QtMessageBoxSink boxes_{*this};
  MessageSink* messages_ = &boxes_;
  std::function<std::optional<CString>(const CString&)> pickFolder_;
  SettingsStore* settings_ = nullptr;

  QGroupBox* mapsGroup_ = nullptr;
  QGroupBox* entitiesGroup_ = nullptr;
  QLineEdit* mapFolder_ = nullptr;
  QPushButton* browse_ = nullptr;
  QListWidget* mapList_ = nullptr;
  QLineEdit* mapFilter_ = nullptr;
  QComboBox* searchCombo_ = nullptr;
  QPushButton* find_ = nullptr;
  ScintillaEntityEdit* entityEdit_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* deleteAll_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* exit_ = nullptr;
  QLabel* mapFolderLabel_ = nullptr;
  QLabel* mapStatus_ = nullptr;
  QLabel* findFeedback_ = nullptr;
  QLabel* searchLabel_ = nullptr;
  QPushButton* findNext_ = nullptr;
  QLabel* mapFilesLabel_ = nullptr;
  QPushButton* about_ = nullptr;
  QGroupBox* outlineGroup_ = nullptr;
  OutlinePanel* outline_ = nullptr;
  // The split between the text and the outline: the pixels the outline is
  // wider than the template's, as asked and as the window's width allows.
  QWidget* splitHandle_ = nullptr;
  int outlineGrowth_ = 0;
  int shownOutlineGrowth_ = 0;

  // The user typed into the search field since a list item was chosen: the
  // field, not the item, is the search string then.
  bool searchTyped_ = false;
  bool finished_ = false;
  // Last: it is handed this window as its view.
  lw::CEntityEditorDlg editor_;
};

// The About box: the icon, the name with the version, the notice and OK.
class QtAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit QtAboutBox(QWidget* owner);
};

}  // namespace lw::qt
