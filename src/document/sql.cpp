// Statements of a document that throw what the data service refused.
#include "document/sql.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace korvane::document {

std::string SqlNumber(double value) {
  if (!std::isfinite(value) || value == 0) return "0";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string SqlDate(std::string_view text) {
  const std::string trimmed = Trim(text);
  if (const std::optional<DateTime> date = ParseDate(trimmed)) return FormatDate(*date);
  return trimmed;
}

std::unique_ptr<Recordset> DocumentSql::Rows(const std::string& sql) {
  std::unique_ptr<Recordset> rows = data_->OpenSql(sql);
  if (!rows) Fail(data_->LastError());
  return rows;
}

Variant DocumentSql::Scalar(const std::string& sql) {
  Variant value = data_->ScalarSql(sql);
  if (std::string error = data_->LastError(); !error.empty()) Fail(std::move(error));
  return value;
}

void DocumentSql::Execute(const std::string& sql) {
  if (!data_->ExecuteSql(sql)) Fail(data_->LastError());
}

void DocumentSql::Fail(std::string error) {
  last_error_ = std::move(error);
  throw DataFailure(last_error_);
}

}  // namespace korvane::document
