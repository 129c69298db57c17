// A request that revision control turns down, with the reason for people.
#ifndef MIGPROF_CONFIGMGT_REFUSAL_H_
#define MIGPROF_CONFIGMGT_REFUSAL_H_

#include <stdexcept>
#include <string>

namespace migprof::configmgt {

class Refusal : public std::runtime_error {
 public:
  explicit Refusal(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_REFUSAL_H_
