#include "app/report.h"

namespace tessor {

namespace {
const std::string kEmpty;
}

ReportTable::Row ReportTable::Fit(Row cells) const {
  cells.resize(ColumnCount());
  return cells;
}

void ReportTable::AppendRow(Row cells) { rows_.push_back(Fit(std::move(cells))); }

void ReportTable::InsertTop(Row cells) { rows_.push_front(Fit(std::move(cells))); }

void ReportTable::SetCell(std::size_t row, std::size_t column, std::string text) {
  if (row < rows_.size() && column < ColumnCount()) rows_[row][column] = std::move(text);
}

const std::string& ReportTable::Cell(std::size_t row, std::size_t column) const {
  if (row < rows_.size() && column < ColumnCount()) return rows_[row][column];
  return kEmpty;
}

void ReportTable::DeleteRow(std::size_t row) {
  if (row < rows_.size()) rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

Report::Report() {
  tables_.reserve(kListCount);
  for (const auto& def : kLists) tables_.emplace_back(def);
}

void Report::Clear() {
  for (auto& table : tables_) table.Clear();
}

}  // namespace tessor
