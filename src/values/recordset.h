// Recordset: the rows a statement returned, with a current position, read the way the modules
// read database results (fields by name or index, EOF/BOF, moving, all rows at once).
//
// A recordset owns a copy of its rows; it stays valid after the statement or the data service
// that produced it is gone. Field names are matched without regard to ASCII case, as the
// database does.
#ifndef KORVANE_VALUES_RECORDSET_H_
#define KORVANE_VALUES_RECORDSET_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "values/variant.h"

namespace korvane {

// Field type codes of the host's data access library.
enum AdoType : int {
  kAdEmpty = 0,
  kAdSmallInt = 2,
  kAdInteger = 3,
  kAdSingle = 4,
  kAdDouble = 5,
  kAdCurrency = 6,
  kAdDate = 7,
  kAdBoolean = 11,
  kAdVariant = 12,
  kAdDecimal = 14,
  kAdTinyInt = 16,
  kAdBigInt = 20,
  kAdNumeric = 131,
  kAdChar = 129,
  kAdWChar = 130,
  kAdDBTimeStamp = 135,
  kAdVarChar = 200,
  kAdLongVarChar = 201,
  kAdVarWChar = 202,
  kAdLongVarWChar = 203,
};

struct FieldInfo {
  std::string name;
  int type = kAdVariant;
};

class Recordset {
 public:
  using Row = std::vector<Variant>;

  Recordset() = default;
  // REQUIRES: every row has fields.size() values.
  Recordset(std::vector<FieldInfo> fields, std::vector<Row> rows);

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  const std::vector<FieldInfo>& Fields() const { return fields_; }
  // REQUIRES: 0 <= index < FieldCount().
  const FieldInfo& Field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }
  std::optional<int> FieldIndex(std::string_view name) const;

  long RecordCount() const { return static_cast<long>(rows_.size()); }
  bool Eof() const { return position_ >= RecordCount(); }
  bool Bof() const { return position_ < 0 || rows_.empty(); }
  // 0-based position of the current row; RecordCount() at EOF, -1 at BOF.
  long Position() const { return position_; }

  void MoveFirst() { position_ = 0; }
  void MoveLast() { position_ = rows_.empty() ? 0 : RecordCount() - 1; }
  void MoveNext();
  void MovePrevious();

  // Values of the current row. Throws std::out_of_range at EOF/BOF or for an unknown field,
  // since reading outside the rows is a fault of the caller.
  const Variant& Value(int index) const;
  const Variant& Value(std::string_view name) const;
  const Variant& operator[](std::string_view name) const { return Value(name); }

  // Every row from the current one to the end; the position moves to EOF as the host's own
  // GetRows does.
  std::vector<Row> GetRows();
  // Every row regardless of the position; the position is kept.
  const std::vector<Row>& Rows() const { return rows_; }

 private:
  const Row& CurrentRow() const;
  std::vector<FieldInfo> fields_;
  std::vector<Row> rows_;
  long position_ = 0;
};

}  // namespace korvane

#endif  // KORVANE_VALUES_RECORDSET_H_
