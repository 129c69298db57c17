// The dispatch entries of each area of the component, each list defined in
// its area's own source file and collected by Members().
#ifndef MIGPROF_COMPONENT_DISPATCH_TABLES_H_
#define MIGPROF_COMPONENT_DISPATCH_TABLES_H_

#include <vector>

#include "migprof/dispatch.h"

namespace migprof::dispatch {

// Settings, error state and the connection factory.
std::vector<Member> FrameMembers();
// Function library (funclib/).
std::vector<Member> FuncLibMembers();
// Mapping rules (maprules/).
std::vector<Member> MapRulesMembers();
// Profile maintenance (profiles/).
std::vector<Member> ProfileMembers();

}  // namespace migprof::dispatch

#endif  // MIGPROF_COMPONENT_DISPATCH_TABLES_H_
