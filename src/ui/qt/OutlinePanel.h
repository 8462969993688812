#pragma once

// The outline beside the text: one row per entity block of the live text (its
// number, class, targetname and origin, read as `lumpwright-cli entities`
// reads them), a filter field above it and the counts per class below; under
// them the problems the save's check finds in the text. The rows are a model
// over the core's outline, not one widget per block.

#include <QAbstractTableModel>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "entities/EntityCheck.h"
#include "entities/EntityOutline.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QTableView;
class QTimer;

namespace lw::qt {

class OutlineModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  // New rows, and the indices of those shown.
  void Reset(std::vector<OutlineRow> rows, std::vector<size_t> shown);
  // Other rows shown of the same ones.
  void SetShown(std::vector<size_t> shown);

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  [[nodiscard]] const std::vector<OutlineRow>& Rows() const { return rows_; }
  [[nodiscard]] const std::vector<size_t>& Shown() const { return shown_; }

 private:
  std::vector<OutlineRow> rows_;
  std::vector<size_t> shown_;
};

class OutlinePanel : public QWidget {
  Q_OBJECT

 public:
  explicit OutlinePanel(QWidget* parent = nullptr);

  // The text changed: the rows follow once typing has paused.
  void TextChanged();
  // Reads the text again at once (a map loaded, a row about to be chosen).
  void Refresh(std::string_view text);
  // Marks the row of the block that holds `offset`, without choosing it.
  void MarkRowAt(size_t offset);

  [[nodiscard]] bool RefreshPending() const;
  [[nodiscard]] QTableView* View() const { return view_; }
  [[nodiscard]] QLineEdit* Filter() const { return filter_; }
  [[nodiscard]] QLabel* Counts() const { return counts_; }
  [[nodiscard]] const OutlineModel& Model() const { return model_; }

  [[nodiscard]] QListWidget* Problems() const { return problems_; }

  // The text the rows are read from, and the check of it; set by the window.
  std::function<std::string_view()> liveText;
  std::function<std::vector<CheckFinding>(std::string_view)> check;
  // Told every finding of each check, with the places in the text read.
  std::function<void(const std::vector<CheckFinding>&)> problemsFound;

 signals:
  // The user chose a row: the block from `open` to `close` of the text.
  void BlockChosen(int open, int close);
  // The user chose a problem: its place in the text.
  void ProblemChosen(int offset);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Rebuild();
  void ApplyFilter();
  void ShowCounts();
  void ShowProblems();

  OutlineModel model_;
  QLineEdit* filter_ = nullptr;
  QTableView* view_ = nullptr;
  QLabel* counts_ = nullptr;
  QLabel* problemsLabel_ = nullptr;
  QListWidget* problems_ = nullptr;
  QTimer* pending_ = nullptr;
  std::string text_;  // the text the rows were read from, for the filter
  bool marking_ = false;
  size_t caret_ = 0;  // where the caret was last told to be
};

}  // namespace lw::qt
