// The migprof tool run as a separate process, for tests that need what only
// a process shows: exit, a kill at any moment, and several processes on one
// database file.
#ifndef MIGPROF_TESTS_ROBUST_TOOL_PROCESS_H_
#define MIGPROF_TESTS_ROBUST_TOOL_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace migprof::testing {

// Runs `migprof <args...>` with no input to its end; its exit status and
// standard output, up to its first empty line.
struct ToolRun {
  int status = -1;
  std::string out;
};
ToolRun RunTool(const std::vector<std::string>& args);

// A `migprof <args...>` process, such as a session, with pipes to its
// standard input and output.
class ToolSession {
 public:
  // args follow "migprof", such as {"session", "--database", "sqlite:/tmp/p.db"}.
  explicit ToolSession(const std::vector<std::string>& args);
  ~ToolSession();  // kills the process if it still runs
  ToolSession(const ToolSession&) = delete;
  ToolSession& operator=(const ToolSession&) = delete;

  // Writes one request line.
  void Send(const std::string& line);
  // Reads one answer line; "" when the process ended first.
  std::string Receive();
  // Sends SIGKILL and reaps the process.
  void Kill();
  // Closes its input and waits for it to end; its exit status.
  int Finish();

 private:
  friend ToolRun RunTool(const std::vector<std::string>& args);
  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
  std::string buffer_;
};

// A few Boolean-valued JSON answers, read without a JSON library.
bool AnswerIsTrue(const std::string& answer);

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_ROBUST_TOOL_PROCESS_H_
