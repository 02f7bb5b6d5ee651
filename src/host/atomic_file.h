// Replacing a file's whole content so that readers and crashes see either the old or the new
// content, never a part of one.
#ifndef KORVANE_HOST_ATOMIC_FILE_H_
#define KORVANE_HOST_ATOMIC_FILE_H_

#include <string>
#include <string_view>

namespace korvane {

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. REQUIRES: the folder of `path` exists. Returns false (and leaves `path` as it was,
// with no temporary file behind) when any step fails. Does not throw.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace korvane

#endif  // KORVANE_HOST_ATOMIC_FILE_H_
