// Document numbering over the database: numbers are formed per program by its rule in
// xt_numbering_rule and every number taken is recorded in xt_document_number, so that
// processes sharing one database file never take the same number twice.
#ifndef KORVANE_HOSTAPP_NUMBERING_H_
#define KORVANE_HOSTAPP_NUMBERING_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/pg_data_service.h"
#include "data/sqlite_data_service.h"
#include "host/host_context.h"

namespace korvane::hostapp {

// How a program's numbers are formed: prefix + date part + serial.
struct NumberingRule {
  std::string prefix;
  // Pattern of the date part: "yyyy", "yy", "mm" and "dd" (any case) stand for the date's
  // fields, every other character is kept as it is; empty: serials never restart.
  std::string date_part = "yyyymm";
  // Serials are zero-padded to this many digits; a serial past it simply grows longer.
  int serial_width = 4;
};

// The date part of a number: FormatDatePart("yyyymm", 2026-03-05) is "202603".
std::string FormatDatePart(std::string_view pattern, std::chrono::year_month_day date);

// Every call is one statement of the connection it is given, so each is atomic by itself and
// also works inside a transaction the caller has open on that connection. The reader is
// borrowed and must outlive the object. Nothing throws.
class DocumentNumbering {
 public:
  explicit DocumentNumbering(data::SqlReader& db) : db_(db) {}

  // The program's rule; the default rule when it has none (or it cannot be read).
  NumberingRule Rule(std::int32_t progid);
  // prefix + date part + (the highest serial taken under that prefix and date part, plus one),
  // the serial zero-padded. Empty when the database cannot be read (`error` then says why).
  std::string Propose(std::int32_t progid, std::chrono::year_month_day date, std::string& error);
  // Takes the number for the program. False when it is empty, already taken (compared ignoring
  // ASCII case and trailing blanks, as the database compares) or the database fails.
  bool Commit(std::int32_t progid, std::string_view number, std::string_view user_name,
              std::string& error);
  // Frees a taken number; false when it was not taken or the database fails.
  bool Release(std::int32_t progid, std::string_view number, std::string& error);

 private:
  data::SqlReader& db_;
};

// Issues a new key for table.key_column on a PostgreSQL server: one above both the last key
// issued (xt_key) and the highest key in the table. The xt_key row is read under a row lock
// (SELECT ... FOR UPDATE) inside the caller's transaction, or inside one of its own, so two
// connections are never handed the same key; a key issued in a transaction that is rolled back
// goes back with it.
NewKeyAnswer IssuePgKey(data::PgDataService& db, std::string_view table,
                        std::string_view key_column);

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_NUMBERING_H_
