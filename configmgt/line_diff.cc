#include "configmgt/line_diff.h"

namespace migprof::configmgt {
namespace {

std::vector<String> Lines(const String& text) {
  std::vector<String> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != String::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::vector<String> LineDiff(const String& before, const String& after) {
  const std::vector<String> a = Lines(before);
  const std::vector<String> b = Lines(after);
  std::vector<String> out;
  if (a.size() * b.size() > 4'000'000) {
    for (const String& line : a) out.push_back("- " + line);
    for (const String& line : b) out.push_back("+ " + line);
    return out;
  }
  // common[i][j]: length of the longest common subsequence of a[i..] and b[j..].
  std::vector<std::vector<int>> common(a.size() + 1, std::vector<int>(b.size() + 1, 0));
  for (std::size_t i = a.size(); i-- > 0;) {
    for (std::size_t j = b.size(); j-- > 0;) {
      common[i][j] =
          a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (i < a.size() && j < b.size() && a[i] == b[j]) {
      out.push_back("  " + a[i++]);
      ++j;
    } else if (i < a.size() && (j == b.size() || common[i + 1][j] >= common[i][j + 1])) {
      out.push_back("- " + a[i++]);
    } else {
      out.push_back("+ " + b[j++]);
    }
  }
  return out;
}

}  // namespace migprof::configmgt
