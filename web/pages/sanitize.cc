#include "web/pages/sanitize.h"

#include <array>
#include <cctype>

namespace migprof::web {
namespace {

// The tag that begins at text[0] when it is one of the allowed ones, in
// lower case; empty otherwise.
std::string_view AllowedTagAt(std::string_view text) {
  static constexpr std::array<std::string_view, 4> kTags = {"<b>", "</b>", "<li>", "</li>"};
  for (std::string_view tag : kTags) {
    if (text.size() < tag.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < tag.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(text[i])) == tag[i];
    }
    if (same) return tag;
  }
  return {};
}

void AppendEscaped(std::string& out, char c) {
  switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&#39;";
      break;
    default:
      out += c;
  }
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) AppendEscaped(out, c);
  return out;
}

std::string SanitizeMessage(std::string_view message) {
  std::string out;
  int open_bold = 0;
  bool list = false;
  for (std::size_t i = 0; i < message.size();) {
    std::string_view tag = AllowedTagAt(message.substr(i));
    if (tag.empty()) {
      AppendEscaped(out, message[i]);
      ++i;
      continue;
    }
    i += tag.size();
    if (tag == "<b>") {
      ++open_bold;
    } else if (tag == "</b>") {
      if (open_bold == 0) continue;
      --open_bold;
    } else if (tag == "<li>" && !list) {
      out += "<ul>";  // list items belong in a list
      list = true;
    } else if (tag == "</li>" && !list) {
      continue;
    }
    out += tag;
  }
  for (; open_bold > 0; --open_bold) out += "</b>";
  if (list) out += "</ul>";
  return out;
}

}  // namespace migprof::web
