#include "component/text/cp1252.h"

#include <array>
#include <cstdint>

namespace migprof::text {
namespace {

// Code points of bytes 0x80-0x9F. The five bytes Windows leaves undefined map
// to the C1 control of the same value, as MultiByteToWideChar does.
constexpr std::array<char32_t, 32> kHighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t CodePointOf(unsigned char byte) {
  return (byte >= 0x80 && byte <= 0x9F) ? kHighBlock[byte - 0x80] : byte;
}

unsigned char ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  // Everything else, the C1 range included, can only come from the 0x80 block;
  // a C1 control other than the five undefined ones has no byte.
  for (std::size_t i = 0; i < kHighBlock.size(); ++i) {
    if (kHighBlock[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {  // cp1252 only reaches the Basic Multilingual Plane.
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

unsigned char NextCp1252Byte(std::string_view utf8, std::size_t* pos) {
  std::size_t i = *pos;
  const auto lead = static_cast<unsigned char>(utf8[i++]);
  if (lead < 0x80) {
    *pos = i;
    return lead;
  }
  // Length and the allowed range of the second byte per lead byte (RFC 3629
  // table), which excludes overlong forms, surrogates and code points above
  // U+10FFFF.
  int trail = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    *pos = i;
    return '?';
  }
  char32_t cp = lead & (0x3F >> trail);
  for (int k = 0; k < trail; ++k) {
    if (i >= utf8.size()) break;
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < lo || b > hi) break;
    cp = (cp << 6) | (b & 0x3F);
    lo = 0x80;
    hi = 0xBF;
    ++i;
    if (k == trail - 1) {
      *pos = i;
      return ByteOf(cp);
    }
  }
  // An incomplete sequence: everything consumed so far is one '?', and the
  // offending byte starts the next character.
  *pos = i;
  return '?';
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) out.push_back(NextCp1252Byte(utf8, &pos));
  return out;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) AppendUtf8(CodePointOf(static_cast<unsigned char>(c)), &out);
  return out;
}

unsigned char UpperCp1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  switch (c) {
    case 0x9A:  // š
      return 0x8A;
    case 0x9C:  // œ
      return 0x8C;
    case 0x9E:  // ž
      return 0x8E;
    case 0xFF:  // ÿ
      return 0x9F;
    default:
      return c;
  }
}

}  // namespace migprof::text
