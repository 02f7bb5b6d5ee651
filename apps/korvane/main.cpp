// korvane: the reference host's command line.
#include <cstring>
#include <iostream>
#include <string_view>

namespace {

constexpr std::string_view kUsage =
    "Usage: korvane [--help] [--version]\n"
    "\n"
    "Korvane is a library of manufacturing-ERP business modules (work reports with piece-rate\n"
    "wages, master production plans, bills of materials, process routes, pickers and reports)\n"
    "that a host application embeds. This command is its reference host.\n"
    "\n"
    "Options:\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
    std::cout << "korvane " << KORVANE_VERSION << "\n";
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage;
    return 0;
  }
  if (argc == 1) {
    std::cout << kUsage;
    return 0;
  }
  std::cerr << "korvane: unknown argument '" << argv[1] << "'\n" << kUsage;
  return 2;
}
