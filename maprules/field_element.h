// The elements of a dictionary field under which field rules are stored.
#ifndef MIGPROF_MAPRULES_FIELD_ELEMENT_H_
#define MIGPROF_MAPRULES_FIELD_ELEMENT_H_

#include "migprof/automation.h"

namespace migprof::maprules {

// Walks the elements of a field of the given array depth: a plain field
// (depth 0) has one element, the field itself; a field of depth n has the
// elements 1 to n and never its bare name; a negative depth has none. The
// index is a 16-bit integer: moving past element 32767 raises 6 "Overflow".
//
//   for (FieldElements elements(depth); elements.Next();) Use(elements.Name(field));
class FieldElements {
 public:
  explicit FieldElements(Integer depth) : depth_(depth) {}

  // Moves to the first element, then to each next one; false after the last.
  bool Next();
  // The current element's index: 0 for a plain field, else 1 to depth.
  Integer Index() const { return static_cast<Integer>(index_); }
  // The name the current element's rule is stored under: field for index 0,
  // else field followed by "(", the index in decimal and ")".
  String Name(const String& field) const;

 private:
  Integer depth_;
  int index_ = -1;  // before the first element
};

}  // namespace migprof::maprules

#endif  // MIGPROF_MAPRULES_FIELD_ELEMENT_H_
