#include "robust/tool_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace migprof::testing {
namespace {

// Starts the tool with its standard input and output on new pipes.
pid_t Spawn(const std::vector<std::string>& args, int* to_child, int* from_child) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<std::string> all{MIGPROF_TOOL};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, MIGPROF_TOOL, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (rc != 0) throw std::runtime_error("cannot start " MIGPROF_TOOL);
  *to_child = in[1];
  *from_child = out[0];
  return pid;
}

int Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& args) {
  ToolSession tool(args);
  ::close(tool.to_child_);
  tool.to_child_ = -1;
  ToolRun run;
  for (std::string line; !(line = tool.Receive()).empty();) run.out += line + "\n";
  run.status = tool.Finish();
  return run;
}

ToolSession::ToolSession(const std::vector<std::string>& args) {
  // A write to a session that died must fail, not end the test program.
  ::signal(SIGPIPE, SIG_IGN);
  pid_ = Spawn(args, &to_child_, &from_child_);
}

ToolSession::~ToolSession() {
  if (pid_ > 0) Kill();
  if (to_child_ >= 0) ::close(to_child_);
  if (from_child_ >= 0) ::close(from_child_);
}

void ToolSession::Send(const std::string& line) {
  std::string text = line + "\n";
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t put = ::write(to_child_, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;  // the process has gone; Receive reports it
    done += static_cast<std::size_t>(put);
  }
}

std::string ToolSession::Receive() {
  for (;;) {
    std::size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    char chunk[4096];
    ssize_t got = ::read(from_child_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return "";
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

void ToolSession::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  Reap(pid_);
  pid_ = -1;
}

int ToolSession::Finish() {
  if (to_child_ >= 0) ::close(to_child_);
  to_child_ = -1;
  int status = Reap(pid_);
  pid_ = -1;
  return status;
}

bool AnswerIsTrue(const std::string& answer) { return answer.rfind("{\"result\":true", 0) == 0; }

}  // namespace migprof::testing
