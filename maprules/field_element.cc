#include "maprules/field_element.h"

#include <limits>
#include <string>

#include "migprof/com_error.h"

namespace migprof::maprules {

bool FieldElements::Next() {
  if (index_ < 0) {
    index_ = 0;
  } else {
    if (index_ == std::numeric_limits<Integer>::max()) RaiseOverflow();
    ++index_;
  }
  if (index_ > depth_) return false;
  // An array field is never looked up under its bare name.
  if (index_ == 0 && depth_ != 0) index_ = 1;
  return true;
}

String FieldElements::Name(const String& field) const {
  if (index_ == 0) return field;
  return field + "(" + std::to_string(index_) + ")";
}

}  // namespace migprof::maprules
