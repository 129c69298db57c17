#include "web/pages/revision_view.h"

#include <cstdio>

#include "web/pages/pages.h"

namespace migprof::web {

using configmgt::Change;
using configmgt::Item;
using configmgt::ItemKind;

std::optional<Item> ParseItem(Integer mprf, const configmgt::Vrc& vrc, const std::string& kind,
                              const std::string& name) {
  // A function's name as people type it may carry blanks around it; a table
  // code may be typed either way ("oritm001" or "or itm 001").
  const std::size_t begin = name.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::nullopt;
  const std::string trimmed = name.substr(begin, name.find_last_not_of(" \t") - begin + 1);
  if (kind == "function") return Item{mprf, vrc, ItemKind::kFunction, trimmed};
  if (kind == "rule") {
    if (std::optional<app::TableKey> key = app::ParseTableCode(trimmed)) {
      return Item{mprf, vrc, ItemKind::kRule, key->Code()};
    }
  }
  return std::nullopt;
}

std::string KindWord(ItemKind kind) { return kind == ItemKind::kFunction ? "function" : "rule"; }

std::string ItemQuery(const Item& item) {
  return "?vers=" + UrlEncode(item.vrc.vers) + "&rele=" + UrlEncode(item.vrc.rele) +
         "&cust=" + UrlEncode(item.vrc.cust) + "&kind=" + KindWord(item.kind) +
         "&name=" + UrlEncode(item.name);
}

std::vector<std::pair<String, String>> ChangedValues(
    const std::vector<std::pair<String, String>>& current,
    const std::vector<std::pair<String, String>>& submitted) {
  std::vector<std::pair<String, String>> changed;
  for (const auto& [column, value] : submitted) {
    for (const auto& [known, was] : current) {
      if (known == column) {
        if (was != value) changed.emplace_back(column, value);
        break;
      }
    }
  }
  return changed;
}

std::string RowLabel(const Change& change) {
  if (change.table == "qzlib100") return "Function";
  if (change.table == "qzmap120") return "Table rule";
  if (change.table == "qzmap140") return "Field rule " + change.row;
  return change.table + " " + change.row;
}

std::vector<Change> Reversed(std::vector<Change> changes) {
  for (Change& change : changes) {
    std::swap(change.before, change.after);
    std::swap(change.added, change.removed);
    for (String& line : change.lines) {
      if (line.rfind("+ ", 0) == 0) {
        line[0] = '-';
      } else if (line.rfind("- ", 0) == 0) {
        line[0] = '+';
      }
    }
  }
  return changes;
}

std::string UnixLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else if (i + 1 == text.size() || text[i + 1] != '\n') {
      out += '\n';
    }
  }
  return out;
}

namespace {

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const long long of_era = year - era * 400;
  const long long of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long of_cycle = of_era * 365 + of_era / 4 - of_era / 100 + of_year;
  return era * 146097 + of_cycle - 719468;
}

long long Seconds(const DateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

}  // namespace

std::string AgeText(const String& since, const DateTime& now) {
  DateTime then;
  char tail = 0;
  if (std::sscanf(since.c_str(), "%d-%d-%d %d:%d:%d%c", &then.year, &then.month, &then.day,
                  &then.hour, &then.minute, &then.second, &tail) != 6) {
    return "";
  }
  const long long age = Seconds(now) - Seconds(then);
  if (age < 60) return "just now";
  if (age < 3600) return std::to_string(age / 60) + " min";
  if (age < 86400) return std::to_string(age / 3600) + " h";
  const long long days = age / 86400;
  return std::to_string(days) + (days == 1 ? " day" : " days");
}

}  // namespace migprof::web
