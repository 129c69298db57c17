#include "component/odbc/wide_text.h"

#include <cstdint>

namespace migprof::odbc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(char32_t c, WideString* out) {
  if (c < 0x10000) {
    out->push_back(static_cast<SQLWCHAR>(c));
  } else {
    c -= 0x10000;
    out->push_back(static_cast<SQLWCHAR>(0xD800 | (c >> 10)));
    out->push_back(static_cast<SQLWCHAR>(0xDC00 | (c & 0x3FF)));
  }
}

// Decodes the character at *pos, advancing past it; an ill-formed sequence
// is consumed up to the first byte that cannot continue it.
char32_t NextCodePoint(std::string_view s, std::size_t* pos) {
  const auto lead = static_cast<unsigned char>(s[(*pos)++]);
  if (lead < 0x80) return lead;
  int length = 0;
  char32_t c = 0;
  char32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 1;
    c = lead & 0x1F;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 2;
    c = lead & 0x0F;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 3;
    c = lead & 0x07;
    min = 0x10000;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < length; ++k) {
    if (*pos >= s.size()) return kReplacement;
    const auto next = static_cast<unsigned char>(s[*pos]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    const char32_t candidate = (c << 6) | (next & 0x3F);
    // Overlong forms, surrogates and values beyond U+10FFFF show at the
    // second byte, which then starts the next character.
    if (k == 0 && length >= 2) {
      const char32_t top = candidate << (6 * (length - 1));
      if (top < min || top > 0x10FFFF || (top >= 0xD800 && top <= 0xDFFF)) return kReplacement;
    }
    c = candidate;
    ++*pos;
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  return c;
}

}  // namespace

WideString ToWide(std::string_view utf8) {
  WideString out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) AppendUtf16(NextCodePoint(utf8, &pos), &out);
  return out;
}

std::string FromWide(const SQLWCHAR* text, std::size_t units) {
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(c, &out);
  }
  return out;
}

}  // namespace migprof::odbc
