// The page's files (src/web/page), built into the program by cmake/EmbedFiles.cmake.
#ifndef KORVANE_WEB_PAGE_FILES_H_
#define KORVANE_WEB_PAGE_FILES_H_

#include <string_view>
#include <vector>

namespace korvane::web {

struct PageFile {
  std::string_view path;  // "index.html", "app.js"
  std::string_view text;
};

const std::vector<PageFile>& PageFiles();

}  // namespace korvane::web

#endif  // KORVANE_WEB_PAGE_FILES_H_
