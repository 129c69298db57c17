// Line-by-line differences between two texts, for function definitions and
// other multi-line values.
#ifndef MIGPROF_CONFIGMGT_LINE_DIFF_H_
#define MIGPROF_CONFIGMGT_LINE_DIFF_H_

#include <vector>

#include "migprof/automation.h"

namespace migprof::configmgt {

// The lines of `before` and `after` merged along their longest common
// subsequence: a kept line starts with "  ", a removed one with "- ", an
// added one with "+ ". Texts too long to compare line by line (over four
// million line pairs) give every old line removed, then every new line added.
std::vector<String> LineDiff(const String& before, const String& after);

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_LINE_DIFF_H_
