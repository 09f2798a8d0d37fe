// Report tables: the contents of the window's lists, kept apart from any window so
// that the stages fill them and the front ends only show them.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "app/pages.h"

namespace tessor {

// One list: fixed columns and rows of GBK texts, with the operations the stages use.
// Every row has exactly one cell per column. Operations on a row or column that does
// not exist do nothing (reads give the empty text).
class ReportTable {
 public:
  using Row = std::vector<std::string>;

  explicit ReportTable(const ListDef& def) : def_(&def) {}

  const ListDef& Definition() const { return *def_; }
  std::size_t ColumnCount() const { return def_->columns.size(); }
  std::size_t RowCount() const { return rows_.size(); }

  // Appends a row; missing cells are empty, surplus cells are dropped.
  void AppendRow(Row cells = {});
  // Inserts a row at index 0, so the latest insertion is shown first.
  void InsertTop(Row cells = {});
  void SetCell(std::size_t row, std::size_t column, std::string text);
  const std::string& Cell(std::size_t row, std::size_t column) const;
  const Row& RowAt(std::size_t row) const { return rows_.at(row); }
  void DeleteRow(std::size_t row);
  void Clear() { rows_.clear(); }

 private:
  Row Fit(Row cells) const;

  const ListDef* def_;
  std::deque<Row> rows_;
};

// Every list of the window, indexed by ListId.
class Report {
 public:
  Report();
  ReportTable& Table(ListId id) { return tables_[static_cast<std::size_t>(id)]; }
  const ReportTable& Table(ListId id) const { return tables_[static_cast<std::size_t>(id)]; }
  void Clear();

 private:
  std::vector<ReportTable> tables_;
};

}  // namespace tessor
