#include "component/sqlite/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "migprof/com_error.h"

namespace migprof::sqlite {
namespace {

class FileLock final : public detail::ChangeLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override { ::close(fd_); }  // closing the only descriptor unlocks
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

}  // namespace

String LockFilePath(const String& database_path) {
  std::error_code failed;
  std::filesystem::path real = std::filesystem::canonical(database_path, failed);
  return (failed ? database_path : real.string()) + "-lock";
}

std::shared_ptr<detail::ChangeLock> TakeFileLock(const String& database_path,
                                                 long timeout_seconds) {
  const String path = LockFilePath(database_path);
  // The lock file gets the database file's permissions, as SQLite gives its
  // -wal and -shm files; reading is all flock() needs.
  struct stat database {};
  const mode_t mode =
      ::stat(database_path.c_str(), &database) == 0 ? (database.st_mode & 0666) : 0644;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) {
    throw ComError(errc::kProviderFailure,
                   "Cannot open the lock file " + path + ": " + std::strerror(errno));
  }
  auto lock = std::make_shared<FileLock>(fd);
  // Polled rather than blocking, so that the wait can end: a short first
  // pause, doubling up to 16 ms.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  auto pause = std::chrono::microseconds(250);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      throw ComError(errc::kProviderFailure,
                     "Cannot lock the lock file " + path + ": " + std::strerror(errno));
    }
    if (timeout_seconds > 0 && std::chrono::steady_clock::now() >= deadline) {
      throw ComError(errc::kQueryTimeout, errtext::kQueryTimeout);
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(16000));
  }
  return lock;
}

}  // namespace migprof::sqlite
