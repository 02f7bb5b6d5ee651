// Conveniences over the data service, and the quoting every user text goes through.
#include "host/data_service.h"

namespace korvane {

std::unique_ptr<Recordset> DataService::OpenSql(std::string_view sql) {
  Command command{std::string(sql), CommandType::kText, {}};
  return Open(command);
}

bool DataService::ExecuteSql(std::string_view sql) {
  Command command{std::string(sql), CommandType::kText, {}};
  return Execute(command);
}

Variant DataService::ScalarSql(std::string_view sql) {
  Command command{std::string(sql), CommandType::kText, {}};
  return Scalar(command);
}

std::string SqlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string SqlQuote(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '\'';
  quoted += SqlEscape(text);
  quoted += '\'';
  return quoted;
}

}  // namespace korvane
