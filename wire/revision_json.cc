#include "wire/revision_json.h"

#include <cstdio>
#include <ctime>

namespace migprof::wire {
namespace {

Json TextOrNull(const std::optional<String>& text) { return text ? Json(*text) : Json(nullptr); }

// Seconds from a stored "YYYY-MM-DD hh:mm:ss" until now (both local time);
// null when the date is not known.
Json AgeSeconds(const Variant& since) {
  if (since.IsNull() || since.IsEmpty()) return nullptr;
  std::tm then{};
  if (std::sscanf(since.ToString().c_str(), "%d-%d-%d %d:%d:%d", &then.tm_year, &then.tm_mon,
                  &then.tm_mday, &then.tm_hour, &then.tm_min, &then.tm_sec) != 6) {
    return nullptr;
  }
  then.tm_year -= 1900;
  then.tm_mon -= 1;
  then.tm_isdst = -1;
  return static_cast<long long>(std::difftime(std::time(nullptr), std::mktime(&then)));
}

}  // namespace

Json ItemJson(const configmgt::Item& item) {
  Json json{{"mprf", item.mprf}, {"vrc", item.vrc.Text()}};
  json[item.kind == configmgt::ItemKind::kFunction ? "function" : "table"] = item.name;
  return json;
}

Json HistoryJson(const configmgt::Item& item, const std::vector<configmgt::Revision>& revisions) {
  Json list = Json::array();
  for (const configmgt::Revision& revision : revisions) {
    list.push_back({{"revision", revision.number},
                    {"user", revision.user},
                    {"date", JsonFromVariant(revision.date)},
                    {"action", revision.action},
                    {"comment", revision.comment}});
  }
  return Json{{"item", ItemJson(item)}, {"revisions", list}};
}

Json DiffJson(const configmgt::Item& item, Long from, std::optional<Long> to,
              const std::vector<configmgt::Change>& changes) {
  Json list = Json::array();
  for (const configmgt::Change& change : changes) {
    Json entry{{"table", change.table},
               {"row", change.row},
               {"column", change.column},
               {"before", TextOrNull(change.before)},
               {"after", TextOrNull(change.after)}};
    if (change.added) entry["added"] = true;
    if (change.removed) entry["removed"] = true;
    if (!change.lines.empty()) entry["lines"] = change.lines;
    list.push_back(entry);
  }
  return Json{{"item", ItemJson(item)},
              {"from", from},
              {"to", to ? Json(*to) : Json("current")},
              {"changes", list}};
}

Json CheckOutsJson(const std::vector<configmgt::CheckOutRecord>& open) {
  Json list = Json::array();
  for (const configmgt::CheckOutRecord& held : open) {
    Json entry = ItemJson(held.item);
    entry["holder"] = held.holder;
    entry["since"] = JsonFromVariant(held.since);
    entry["ageSeconds"] = AgeSeconds(held.since);
    entry["recorded"] = held.recorded;
    list.push_back(entry);
  }
  return Json{{"checkOuts", list}};
}

}  // namespace migprof::wire
