#include "profiles/profile_text.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "migprof/com_error.h"

namespace migprof::profiles {
namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The characters of UTF-8 text, each as its bytes.
std::vector<std::string_view> CharactersOf(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t i = 1; i <= text.size(); ++i) {
    if (i == text.size() || !IsContinuationByte(text[i])) {
      out.push_back(text.substr(start, i - start));
      start = i;
    }
  }
  return out;
}

bool IsU(std::string_view character) { return character == "U" || character == "u"; }

}  // namespace

std::vector<String> SplitText(std::string_view text, std::string_view separator) {
  std::vector<String> pieces;
  if (text.empty()) return pieces;
  std::size_t start = 0;
  while (true) {
    std::size_t found = text.find(separator, start);
    if (found == std::string_view::npos) {
      pieces.emplace_back(text.substr(start));
      return pieces;
    }
    pieces.emplace_back(text.substr(start, found - start));
    start = found + separator.size();
  }
}

const String& Piece(const std::vector<String>& pieces, std::size_t index) {
  if (index >= pieces.size()) RaiseSubscriptOutOfRange();
  return pieces[index];
}

String TrimBlanks(std::string_view text) {
  std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return "";
  std::size_t end = text.find_last_not_of(' ');
  return String(text.substr(begin, end - begin + 1));
}

String UpperAscii(std::string_view text) {
  String out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool HoldsU(std::string_view version) {
  // A byte 'U' or 'u' in UTF-8 is always that letter itself.
  return version.find_first_of("Uu") != std::string_view::npos;
}

bool PassesUPositionRule(std::string_view version) {
  std::vector<std::string_view> characters = CharactersOf(version);
  if (characters.size() == 3) return IsU(characters[2]);
  if (characters.size() == 4) return IsU(characters[3]);
  return true;
}

bool IsNumericLiteral(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::size_t end = text.size();
  while (end > i && text[end - 1] == ' ') --end;
  const std::string_view literal = text.substr(i, end - i);
  std::size_t k = 0;
  if (k < literal.size() && (literal[k] == '-' || literal[k] == '+')) ++k;
  const auto digits = [&literal, &k] {
    const std::size_t from = k;
    while (k < literal.size() && std::isdigit(static_cast<unsigned char>(literal[k]))) ++k;
    return k - from;
  };
  const std::size_t first = k;
  std::size_t whole = digits();
  std::size_t fraction = 0;
  if (k < literal.size() && literal[k] == '.') {
    ++k;
    fraction = digits();
  }
  if (whole + fraction == 0) return false;
  if (k < literal.size() && (literal[k] == 'e' || literal[k] == 'E')) {
    ++k;
    if (k < literal.size() && (literal[k] == '-' || literal[k] == '+')) ++k;
    if (digits() == 0 || k != literal.size()) return false;
    // A float SQL Server can hold (it refuses 1e309 with message 168).
    const std::string copy(literal);
    errno = 0;
    const double value = std::strtod(copy.c_str(), nullptr);
    return errno != ERANGE || std::fabs(value) < 1;
  }
  if (k != literal.size()) return false;
  // A decimal of at most 38 digits (SQL Server's largest precision), the
  // leading zeros of the whole part not counted.
  std::size_t zeros = 0;
  while (zeros < whole && literal[first + zeros] == '0') ++zeros;
  return whole - zeros + fraction <= 38;
}

}  // namespace migprof::profiles
