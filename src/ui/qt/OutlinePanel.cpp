#include "ui/qt/OutlinePanel.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTimer>
#include <algorithm>

namespace lw::qt {
namespace {

// Typing pauses this long before the rows are read again.
constexpr int kRefreshDelayMs = 50;

enum Column { kBlock, kClass, kTargetname, kOrigin, kColumns };

QString FromBytes(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

void OutlineModel::Reset(std::vector<OutlineRow> rows, std::vector<size_t> shown) {
  beginResetModel();
  rows_ = std::move(rows);
  shown_ = std::move(shown);
  endResetModel();
}

void OutlineModel::SetShown(std::vector<size_t> shown) {
  beginResetModel();
  shown_ = std::move(shown);
  endResetModel();
}

int OutlineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int OutlineModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant OutlineModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || static_cast<size_t>(index.row()) >= shown_.size()) return {};
  const OutlineRow& row = rows_[shown_[static_cast<size_t>(index.row())]];
  switch (index.column()) {
    case kBlock: return static_cast<qulonglong>(row.block);
    case kClass: return FromBytes(row.className);
    case kTargetname: return FromBytes(row.targetname);
    case kOrigin: return FromBytes(row.origin);
    default: return {};
  }
}

QVariant OutlineModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  static const char* const kTitles[] = {"#", "classname", "targetname", "origin"};
  return section >= 0 && section < kColumns ? QString::fromLatin1(kTitles[section]) : QVariant();
}

OutlinePanel::OutlinePanel(QWidget* parent) : QWidget(parent) {
  filter_ = new QLineEdit(this);
  filter_->setPlaceholderText(QStringLiteral("Filter: any key or value"));
  filter_->setClearButtonEnabled(true);
  view_ = new QTableView(this);
  view_->setModel(&model_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  view_->verticalHeader()->hide();
  // Rows of one height: 20,000 of them are laid out without measuring each.
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  // Widths for what the columns usually hold: measuring 20,000 rows would
  // cost more than the rows themselves.
  const QFontMetrics metrics = view_->fontMetrics();
  view_->setColumnWidth(kBlock, metrics.horizontalAdvance(QStringLiteral("00000")) + 10);
  view_->setColumnWidth(kClass, metrics.horizontalAdvance(QStringLiteral("info_player_deathmatch")) + 10);
  view_->setColumnWidth(kTargetname, metrics.horizontalAdvance(QStringLiteral("bombsite_00")) + 10);
  counts_ = new QLabel(this);
  counts_->setTextFormat(Qt::PlainText);
  counts_->setWordWrap(true);
  counts_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  problemsLabel_ = new QLabel(QStringLiteral("Problems"), this);
  problems_ = new QListWidget(this);
  problems_->setUniformItemSizes(true);
  connect(problems_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { emit ProblemChosen(item->data(Qt::UserRole).toInt()); });
  connect(problems_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { emit ProblemChosen(item->data(Qt::UserRole).toInt()); });
  pending_ = new QTimer(this);
  pending_->setSingleShot(true);
  pending_->setInterval(kRefreshDelayMs);
  connect(pending_, &QTimer::timeout, this, &OutlinePanel::Rebuild);
  connect(filter_, &QLineEdit::textChanged, this, &OutlinePanel::ApplyFilter);
  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
    if (marking_ || !current.isValid()) return;
    if (RefreshPending()) {
      // The rows are read again first, so that the block chosen is
      // the one shown; the choice is the row's block number.
      const size_t block = model_.Shown()[static_cast<size_t>(current.row())];
      Rebuild();
      if (block >= model_.Rows().size()) return;
      const OutlineRow& row = model_.Rows()[block];
      emit BlockChosen(static_cast<int>(row.open), static_cast<int>(row.close));
      return;
    }
    const OutlineRow& row = model_.Rows()[model_.Shown()[static_cast<size_t>(current.row())]];
    emit BlockChosen(static_cast<int>(row.open), static_cast<int>(row.close));
  });
}

void OutlinePanel::TextChanged() { pending_->start(); }

bool OutlinePanel::RefreshPending() const { return pending_->isActive(); }

void OutlinePanel::Rebuild() {
  pending_->stop();
  if (liveText) Refresh(liveText());
}

void OutlinePanel::Refresh(std::string_view text) {
  pending_->stop();
  text_.assign(text);
  std::vector<OutlineRow> rows = BuildOutline(text_);
  std::vector<size_t> shown = FilterOutline(text_, rows, filter_->text().toLatin1().toStdString());
  marking_ = true;
  model_.Reset(std::move(rows), std::move(shown));
  marking_ = false;
  ShowCounts();
  ShowProblems();
  // The caret's block is marked in the new rows as it was in the old.
  MarkRowAt(caret_);
}

void OutlinePanel::ShowProblems() {
  problems_->clear();
  if (!check) return;
  const std::vector<CheckFinding> findings = check(text_);
  if (problemsFound) problemsFound(findings);
  for (size_t i = 0; i < findings.size() && i < kListedProblems; ++i) {
    auto* item = new QListWidgetItem(QString::fromLatin1(DescribeProblem(findings[i]).c_str()));
    item->setData(Qt::UserRole, static_cast<int>(findings[i].offset));
    problems_->addItem(item);
  }
  problemsLabel_->setText(QString::fromLatin1(ProblemsHeading(findings.size()).c_str()));
}

void OutlinePanel::ShowCounts() {
  const QString counts =
      QString::fromLatin1(DescribeClassCounts(CountOutlineClasses(model_.Rows(), model_.Shown())).c_str());
  counts_->setText(counts);
  // The whole list where the label cuts it.
  counts_->setToolTip(counts);
}

void OutlinePanel::ApplyFilter() {
  std::vector<size_t> shown = FilterOutline(text_, model_.Rows(), filter_->text().toLatin1().toStdString());
  marking_ = true;
  model_.SetShown(std::move(shown));
  marking_ = false;
  ShowCounts();
  MarkRowAt(caret_);
}

void OutlinePanel::MarkRowAt(size_t offset) {
  caret_ = offset;
  if (RefreshPending()) return;  // the rows are about to be read again; then marked
  const size_t row = OutlineRowAt(model_.Rows(), offset);
  const std::vector<size_t>& shown = model_.Shown();
  const auto at = std::lower_bound(shown.begin(), shown.end(), row);
  marking_ = true;
  if (at == shown.end() || *at != row) {
    view_->selectionModel()->clearSelection();
  } else {
    const QModelIndex index = model_.index(static_cast<int>(at - shown.begin()), 0);
    view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
  }
  marking_ = false;
}

void OutlinePanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int w = width();
  const int h = height();
  const int field = filter_->sizeHint().height();
  const int line = fontMetrics().height();
  const int countsHeight = 3 * line + 4;
  // The rows take three fifths of what is left, the problems the rest.
  const int left = std::max(0, h - field - countsHeight - line - 16);
  const int rowsHeight = left * 3 / 5;
  filter_->setGeometry(0, 0, w, field);
  view_->setGeometry(0, field + 4, w, rowsHeight);
  int y = field + 4 + rowsHeight + 4;
  counts_->setGeometry(0, y, w, countsHeight);
  y += countsHeight + 4;
  problemsLabel_->setGeometry(0, y, w, line);
  y += line + 4;
  problems_->setGeometry(0, y, w, std::max(0, h - y));
}

}  // namespace lw::qt
