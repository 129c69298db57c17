#include "robust/robust_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace migprof::testing {

std::vector<std::string> FolderSnapshot(const std::string& folder) {
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    entries.push_back(entry.path().filename().string() + " " + std::to_string(bytes.str().size()) +
                      " " + std::to_string(std::hash<std::string>{}(bytes.str())));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace migprof::testing
