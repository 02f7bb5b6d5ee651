// A document's way to the database: statements that throw the data service's error text when
// it refuses them, the last error kept for the host, and the one-transaction runner every
// multi-statement write goes through.
#ifndef KORVANE_DOCUMENT_SQL_H_
#define KORVANE_DOCUMENT_SQL_H_

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "document/guard.h"
#include "host/data_service.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::document {

// A statement the data service refused (its text), as opposed to an unexpected error.
class DataFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A quantity or an amount as a statement's number: the shortest text that reads back as the
// same double, so no digit is lost on its way to the database; "0" for what is not finite.
std::string SqlNumber(double value);
// A typed date as a statement writes it, "yyyy-mm-dd"; a text that is no date is kept as it
// is (trimmed), an empty one stays empty.
std::string SqlDate(std::string_view text);

class DocumentSql {
 public:
  // REQUIRES for every statement: a service is bound (bound() is true).
  void Bind(std::shared_ptr<DataService> data) { data_ = std::move(data); }
  void Unbind() { data_.reset(); }
  bool bound() const { return data_ != nullptr; }
  DataService& service() const { return *data_; }

  // Each throws DataFailure with the service's error text (also kept as last_error) when the
  // service refuses the statement.
  std::unique_ptr<Recordset> Rows(const std::string& sql);
  Variant Scalar(const std::string& sql);
  void Execute(const std::string& sql);
  // Keeps `error` as the last error and throws it as a DataFailure.
  [[noreturn]] void Fail(std::string error);

  // The last error text a statement of this document got; empty until one failed.
  const std::string& last_error() const { return last_error_; }

  // Runs `writes` inside one transaction: committed when it returns true, rolled back when it
  // returns false or throws. A refused statement (DataFailure), a failed begin or commit is
  // reported through `guard` as an error of `routine` and gives false; any other exception is
  // passed on to the caller after the rollback.
  template <typename Writes>
  bool InTransaction(const ErrorGuard& guard, std::string_view routine, Writes&& writes) {
    if (!data_->BeginTrans()) {
      last_error_ = data_->LastError();
      guard.Report(routine, last_error_);
      return false;
    }
    try {
      if (!writes()) {
        data_->RollbackTrans();
        return false;
      }
    } catch (const DataFailure& failure) {
      data_->RollbackTrans();
      guard.Report(routine, failure.what());
      return false;
    } catch (...) {
      data_->RollbackTrans();
      throw;
    }
    if (!data_->CommitTrans()) {
      last_error_ = data_->LastError();
      data_->RollbackTrans();
      guard.Report(routine, last_error_);
      return false;
    }
    return true;
  }

 private:
  std::shared_ptr<DataService> data_;
  std::string last_error_;
};

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_SQL_H_
