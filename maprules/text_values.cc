#include "maprules/text_values.h"

#include <locale.h>
#include <wctype.h>

namespace migprof::maprules {
namespace {

// Length in bytes of the well-formed UTF-8 character at text[pos], or 0 when
// the bytes there do not form one.
std::size_t CharLength(std::string_view text, std::size_t pos, char32_t* code_point) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(pos + i) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not characters.
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
    return 0;
  }
  *code_point = value;
  return length;
}

// Bytes of the character at pos; a byte that starts no valid character
// counts as one character of its own.
std::size_t CharBytes(std::string_view text, std::size_t pos) {
  char32_t ignored = 0;
  std::size_t length = CharLength(text, pos, &ignored);
  return length == 0 ? 1 : length;
}

void AppendUtf8(char32_t c, String& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The Unicode case tables of the C library's built-in UTF-8 locale, so the
// result does not depend on the locale of the process. Null when the C
// library has none; then only A-Z are lowered.
locale_t Utf8Locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

char32_t LowerCodePoint(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  locale_t locale = Utf8Locale();
  if (locale == locale_t{}) return c;
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
}

}  // namespace

String MidText(std::string_view text, std::size_t start, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t skipped = 1; skipped < start && pos < text.size(); ++skipped) {
    pos += CharBytes(text, pos);
  }
  std::size_t end = pos;
  for (std::size_t taken = 0; taken < count && end < text.size(); ++taken) {
    end += CharBytes(text, end);
  }
  return String(text.substr(pos, end - pos));
}

String TrimBlanks(std::string_view text) {
  std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return String();
  std::size_t end = text.find_last_not_of(' ');
  return String(text.substr(begin, end - begin + 1));
}

String LowerCase(std::string_view text) {
  String out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c = 0;
    std::size_t length = CharLength(text, pos, &c);
    if (length == 0) {
      out += text[pos++];
      continue;
    }
    AppendUtf8(LowerCodePoint(c), out);
    pos += length;
  }
  return out;
}

Variant TrimmedValue(const Variant& value) {
  if (value.IsNull()) return value;
  return Variant(TrimBlanks(value.ToString()));
}

}  // namespace migprof::maprules
