// ProfileStore: reader and writer of one per-user settings file of sections and keys.
// A missing file, section or key yields the caller's default; writing a key keeps every other
// line of the file.
#ifndef KORVANE_HOST_PROFILE_STORE_H_
#define KORVANE_HOST_PROFILE_STORE_H_

#include <string>
#include <string_view>

namespace korvane {

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  // Selects the file the following reads and writes address.
  virtual void SetFile(std::string path) = 0;
  virtual const std::string& File() const = 0;
  virtual bool FileExists() const = 0;
  virtual std::string Read(std::string_view section, std::string_view key,
                           std::string_view default_value) = 0;
  // Returns false when the file could not be written; the file is then left as it was.
  virtual bool Write(std::string_view section, std::string_view key, std::string_view value) = 0;
};

}  // namespace korvane

#endif  // KORVANE_HOST_PROFILE_STORE_H_
