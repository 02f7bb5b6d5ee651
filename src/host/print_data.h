// PrintDataWriter: collects what a document prints (named values and tables of cell texts) and
// writes it to the print data file the host prints from.
#ifndef KORVANE_HOST_PRINT_DATA_H_
#define KORVANE_HOST_PRINT_DATA_H_

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class PrintDataWriter {
 public:
  using Table = std::vector<std::vector<std::string>>;
  virtual ~PrintDataWriter() = default;
  virtual void AddValue(std::string_view name, std::string_view value) = 0;
  virtual void AddTable(std::string_view name, Table cells) = 0;
  // Writes everything collected so far to `path`; false when the file could not be written.
  virtual bool WriteFile(const std::string& path) = 0;
};

}  // namespace korvane

#endif  // KORVANE_HOST_PRINT_DATA_H_
