// Rows returned by a statement, walked with a current position.
#include "values/recordset.h"

#include <algorithm>
#include <stdexcept>

namespace korvane {

Recordset::Recordset(std::vector<FieldInfo> fields, std::vector<Row> rows)
    : fields_(std::move(fields)), rows_(std::move(rows)) {
  for (const Row& row : rows_) {
    if (row.size() != fields_.size()) {
      throw std::invalid_argument("Recordset row has a different number of values than fields");
    }
  }
}

std::optional<int> Recordset::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (EqualsIgnoreCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  return std::nullopt;
}

void Recordset::MoveNext() {
  if (position_ < RecordCount()) ++position_;
}

void Recordset::MovePrevious() {
  if (position_ >= 0) --position_;
}

const Recordset::Row& Recordset::CurrentRow() const {
  if (Eof() || position_ < 0) {
    throw std::out_of_range("Either BOF or EOF is true, or the current record has been deleted");
  }
  return rows_[static_cast<std::size_t>(position_)];
}

const Variant& Recordset::Value(int index) const {
  const Row& row = CurrentRow();
  if (index < 0 || index >= FieldCount()) {
    throw std::out_of_range("Item cannot be found in the collection: field " +
                            std::to_string(index));
  }
  return row[static_cast<std::size_t>(index)];
}

const Variant& Recordset::Value(std::string_view name) const {
  const std::optional<int> index = FieldIndex(name);
  if (!index) {
    throw std::out_of_range("Item cannot be found in the collection: field " + std::string(name));
  }
  return Value(*index);
}

std::vector<Recordset::Row> Recordset::GetRows() {
  std::vector<Row> out;
  if (position_ < 0) position_ = 0;
  out.reserve(rows_.size() - static_cast<std::size_t>(std::min(position_, RecordCount())));
  for (; position_ < RecordCount(); ++position_) {
    out.push_back(rows_[static_cast<std::size_t>(position_)]);
  }
  return out;
}

}  // namespace korvane
