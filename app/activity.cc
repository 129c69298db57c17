#include "app/activity.h"

#include <cstdio>
#include <ctime>

#include "app/clock.h"
#include "component/sql_text.h"

namespace migprof::app {
namespace {

constexpr const char* kOutcomeNames[] = {"done", "refused", "failed", "forbidden"};

String Where(const ActivityFilter& filter) {
  String where;
  auto add = [&where](const String& condition) {
    where += (where.empty() ? " where " : " and ") + condition;
  };
  if (filter.mprf) add("mprf = " + SqlNumber(*filter.mprf));
  if (!filter.user.empty()) add("usrn = " + SqlQuoted(filter.user));
  if (filter.since) add("tstm >= " + SqlNumber(*filter.since));
  if (filter.before) add("tstm < " + SqlNumber(*filter.before));
  return where;
}

// Texts longer than the column are cut at a character boundary.
String Fit(const String& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

const char* OutcomeName(Outcome outcome) { return kOutcomeNames[static_cast<int>(outcome)]; }

std::optional<Outcome> ParseOutcome(std::string_view text) {
  for (int i = 0; i < 4; ++i) {
    if (text == kOutcomeNames[i]) return static_cast<Outcome>(i);
  }
  return std::nullopt;
}

long long ActivityEntry::TotalRows() const {
  long long total = 0;
  for (const auto& [table, count] : rows) total += count;
  return total;
}

void ActivityLog::Record(ActivityEntry entry) {
  if (entry.when == 0) entry.when = UnixSeconds();
  if (const long days = retention_days_.load(); days > 0) {
    long long last = last_prune_.load();
    if (entry.when - last >= 24 * 3600 && last_prune_.compare_exchange_strong(last, entry.when)) {
      Prune(days);
    }
  }
  db_.Execute(
      "insert into mpweb_activity (tstm, usrn, entr, oper, mprf, args, otcm, errn, errd, chgs, "
      "rtot) values (" +
      SqlNumber(entry.when) + ", " + SqlQuoted(Fit(entry.user, 64)) + ", " +
      SqlQuoted(EntryPointName(entry.entry)) + ", " + SqlQuoted(Fit(entry.operation, 64)) + ", " +
      (entry.mprf ? SqlNumber(*entry.mprf) : String("null")) + ", " +
      SqlQuoted(Fit(EncodeArguments(entry.arguments), 4000)) + ", " +
      SqlQuoted(OutcomeName(entry.outcome)) + ", " + SqlQuoted(Fit(entry.error_number, 32)) + ", " +
      SqlQuoted(Fit(entry.message, 4000)) + ", " +
      SqlQuoted(Fit(EncodeRowCounts(entry.rows), 1000)) + ", " + SqlNumber(entry.TotalRows()) +
      ")");
}

long long ActivityLog::Count(const ActivityFilter& filter) const {
  return db_.QueryNumber("select count(*) from mpweb_activity" + Where(filter));
}

std::vector<ActivityEntry> ActivityLog::List(const ActivityFilter& filter, long offset,
                                             long count) const {
  std::vector<ActivityEntry> out;
  for (const Row& r : db_.Query("select actn, tstm, usrn, entr, oper, mprf, args, otcm, errn, "
                                "errd, chgs from mpweb_activity" +
                                Where(filter) + " order by tstm desc, actn desc" +
                                db_.PageClause(offset, count))) {
    ActivityEntry e;
    e.id = std::stoll(r[0]);
    e.when = std::stoll(r[1]);
    e.user = r[2];
    e.entry = ParseEntryPoint(r[3]).value_or(EntryPoint::kCli);
    e.operation = r[4];
    if (!r[5].empty()) e.mprf = static_cast<Integer>(std::stoi(r[5]));
    e.arguments = DecodeArguments(r[6]);
    e.outcome = ParseOutcome(r[7]).value_or(Outcome::kFailed);
    e.error_number = r[8];
    e.message = r[9];
    e.rows = DecodeRowCounts(r[10]);
    out.push_back(std::move(e));
  }
  return out;
}

long ActivityLog::Prune(long days) {
  return db_.Execute("delete from mpweb_activity where tstm < " +
                     SqlNumber(UnixSeconds() - static_cast<long long>(days) * 24 * 3600));
}

String EncodeArguments(const Arguments& arguments) {
  String out;
  for (const auto& [name, value] : arguments) {
    if (!out.empty()) out += '\n';
    out += name + '=';
    for (char c : value) {
      if (c == '\\') {
        out += "\\\\";
      } else if (c == '\n') {
        out += "\\n";
      } else {
        out += c;
      }
    }
  }
  return out;
}

Arguments DecodeArguments(const String& text) {
  Arguments out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == String::npos) end = text.size();
    const String line = text.substr(at, end - at);
    at = end + 1;
    const std::size_t eq = line.find('=');
    if (eq == String::npos) continue;
    String value;
    for (std::size_t i = eq + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        value += line[++i] == 'n' ? '\n' : line[i];
      } else {
        value += line[i];
      }
    }
    out.emplace_back(line.substr(0, eq), std::move(value));
  }
  return out;
}

String EncodeRowCounts(const RowCounts& rows) {
  String out;
  for (const auto& [table, count] : rows) {
    if (!out.empty()) out += ',';
    out += table + '=' + SqlNumber(count);
  }
  return out;
}

RowCounts DecodeRowCounts(const String& text) {
  RowCounts out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(',', at);
    if (end == String::npos) end = text.size();
    const String item = text.substr(at, end - at);
    at = end + 1;
    const std::size_t eq = item.find('=');
    if (eq == String::npos || eq + 1 == item.size()) continue;
    try {
      out[item.substr(0, eq)] = std::stoll(item.substr(eq + 1));
    } catch (const std::exception&) {
      // A damaged entry loses its count, not the whole log.
    }
  }
  return out;
}

std::optional<long long> DayStart(const std::string& text) {
  std::tm day{};
  char rest = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &day.tm_year, &day.tm_mon,
                                       &day.tm_mday, &rest) != 3) {
    return std::nullopt;
  }
  day.tm_year -= 1900;
  day.tm_mon -= 1;
  const std::time_t seconds = timegm(&day);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<long long>(seconds);
}

}  // namespace migprof::app
