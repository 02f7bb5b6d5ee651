// DataService: the host's gateway to the database. Modules send statement texts (or procedure
// names) and read the results as recordsets; every failure leaves its text in LastError().
#ifndef KORVANE_HOST_DATA_SERVICE_H_
#define KORVANE_HOST_DATA_SERVICE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "values/recordset.h"
#include "values/variant.h"

namespace korvane {

enum class CommandType : int { kText = 1, kStoredProcedure = 4 };

struct Parameter {
  std::string name;
  Variant value;
  // An output parameter's value is replaced by what the procedure returned.
  bool output = false;
};

// A statement opened from a text and a command type, with the parameters it is executed with.
struct Command {
  std::string text;
  CommandType type = CommandType::kText;
  std::vector<Parameter> parameters;
};

class DataService {
 public:
  virtual ~DataService() = default;

  // Executes the command and returns what it selected (an empty recordset for a statement
  // that selects nothing). Output parameters are written back into `command`.
  // Returns nullptr on failure; LastError() then holds the database's message.
  // A command whose text or text parameter holds a NUL byte (HoldsNul) fails without running:
  // the database would read the statement only up to it.
  virtual std::unique_ptr<Recordset> Open(Command& command) = 0;
  // Executes the command for its effect. Returns false on failure (see LastError()).
  virtual bool Execute(Command& command) = 0;
  // First column of the first row; empty when the statement returned no row. On failure the
  // result is empty and LastError() is not empty.
  virtual Variant Scalar(Command& command) = 0;

  virtual bool BeginTrans() = 0;
  virtual bool CommitTrans() = 0;
  virtual bool RollbackTrans() = 0;

  // The text of the last failure; empty after every successful operation.
  virtual std::string LastError() const = 0;
  // How many rows the last Open or Execute inserted, updated or deleted (its statements
  // together); -1 when the service cannot tell.
  virtual std::int64_t RowsAffected() const { return -1; }

  // Conveniences for SQL text without parameters.
  std::unique_ptr<Recordset> OpenSql(std::string_view sql);
  bool ExecuteSql(std::string_view sql);
  Variant ScalarSql(std::string_view sql);
};

// A text as a SQL string literal: between single quotes, every single quote inside doubled.
// The one way any text a user typed reaches a statement.
//
// A NUL byte is kept where it stands, never dropped or replaced: a statement holding one is
// refused as a whole by the DataService (and by the translator), so the text cannot reach
// the database as a shorter statement, nor as another value than the one given. Controls
// refuse a typed NUL before it gets this far.
std::string SqlQuote(std::string_view text);
// Only the doubling, for texts that are placed inside a literal the statement already opens
// (for example between "'%" and "%'"). A NUL byte is kept, as SqlQuote keeps it.
std::string SqlEscape(std::string_view text);

}  // namespace korvane

#endif  // KORVANE_HOST_DATA_SERVICE_H_
