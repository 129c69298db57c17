// The time the application layer stamps on what it stores (sessions,
// accounts, activity, jobs): whole seconds since 1970.
#ifndef MIGPROF_APP_CLOCK_H_
#define MIGPROF_APP_CLOCK_H_

#include <ctime>
#include <sstream>
#include <string>

namespace migprof::app {

inline long long UnixSeconds() { return static_cast<long long>(std::time(nullptr)); }

// A number as stored and shown: up to 15 significant digits, no trailing
// zeros (an error number 3021, a failure number 0).
inline std::string NumberText(double number) {
  std::ostringstream text;
  text.precision(15);
  text << number;
  return text.str();
}

}  // namespace migprof::app

#endif  // MIGPROF_APP_CLOCK_H_
