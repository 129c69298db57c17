#include "component/ado/surrogate_key.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace migprof::ado::detail {

std::vector<std::size_t> SurrogateKeyPositions(const std::vector<String>& columns) {
  std::vector<std::size_t> positions;
  const std::size_t length = std::strlen(kSurrogateKey);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const String& name = columns[i];
    if (name.size() == length &&
        std::equal(name.begin(), name.end(), kSurrogateKey, [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == b;
        })) {
      positions.push_back(i);
    }
  }
  return positions;
}

}  // namespace migprof::ado::detail
