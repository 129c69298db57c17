// The texts of revision control's refusals. They carry the same mark-up
// (<B>) as the component's other messages, for the front end.
#ifndef MIGPROF_CONFIGMGT_MESSAGES_H_
#define MIGPROF_CONFIGMGT_MESSAGES_H_

#include "configmgt/item.h"
#include "migprof/automation.h"

namespace migprof::configmgt::msg {

inline String ProfileMissing(Integer mprf) {
  return "Migration profile " + std::to_string(mprf) + " does not exist.";
}
inline String NotUnderRevisionControl(Integer mprf) {
  return "Migration profile " + std::to_string(mprf) + " is not under revision control.";
}
inline String NotDevelopmentVrc(const Item& item) {
  return item.vrc.Text() + " is not the development VRC of migration profile " +
         std::to_string(item.mprf) + ".";
}
inline String ItemMissing(const Item& item) {
  return ItemLabel(item) + " does not exist in " + item.vrc.Text() + " of migration profile " +
         std::to_string(item.mprf) + ".";
}
inline String CheckedOutBy(const Item& item, const String& holder) {
  return ItemLabel(item) + " is checked out by <B> " +
         (holder.empty() ? "an unknown user" : holder) + " </B>.";
}
inline String NotCheckedOut(const Item& item) { return ItemLabel(item) + " is not checked out."; }
inline String RevisionMissing(const Item& item, Long number) {
  return "Revision " + std::to_string(number) + " of " + ItemLabel(item) + " does not exist.";
}
inline String FieldMissing(const Item& item, const String& field) {
  return ItemLabel(item) + " has no rule for the field <B> " + field + " </B>.";
}
inline String NoSuchColumn(const String& table, const String& column) {
  return "The table " + table + " has no column " + column + ".";
}
inline String KeyColumn(const String& column) {
  return "The key column " + column + " cannot be changed.";
}
inline const char* kNothingToChange = "Nothing to change: give at least one value to set.";
inline const char* kNoUser = "The acting user's name is empty.";

}  // namespace migprof::configmgt::msg

#endif  // MIGPROF_CONFIGMGT_MESSAGES_H_
