#include "platform/core/output_stream.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/core/dos_error.h"

extern char** environ;

namespace platform {
namespace {

constexpr int kNotOpen = 103;

std::vector<std::string>& PrintCommandSetting() {
  static std::vector<std::string> argv;
  return argv;
}

// Writes all n bytes to fd; 0 or the errno of the failure.
int WriteAll(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return errno;
    if (w == 0) return ENOSPC;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return 0;
}

// Blocks SIGPIPE for this thread while it lives; Consume() takes a SIGPIPE that the guarded
// writes raised, so it is never delivered when the old mask comes back.
class SigpipeBlock {
 public:
  SigpipeBlock() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
  }
  ~SigpipeBlock() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;

  void Consume() {
    if (was_pending_) return;  // that one was not ours
    const timespec zero{0, 0};
    while (sigtimedwait(&set_, nullptr, &zero) < 0 && errno == EINTR) {
    }
  }

 private:
  sigset_t set_;
  sigset_t old_;
  bool was_pending_ = false;
};

}  // namespace

std::vector<std::string> PrintCommand() {
  const auto& argv = PrintCommandSetting();
  return argv.empty() ? std::vector<std::string>{"lp"} : argv;
}

void SetPrintCommand(std::vector<std::string> argv) { PrintCommandSetting() = std::move(argv); }

// ---- OutputFile ---------------------------------------------------------------------------

OutputFile::~OutputFile() { Close(); }

int OutputFile::Rewrite(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return LastDosCode();
  fd_ = fd;
  return 0;
}

int OutputFile::Append(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return LastDosCode();
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kDosAccessDenied;
  }
  fd_ = fd;
  return 0;
}

int OutputFile::Write(const void* data, size_t n) {
  if (fd_ < 0) return kNotOpen;
  const int err = WriteAll(fd_, data, n);
  return err == 0 ? 0 : DosCodeFromErrno(err);
}

int OutputFile::Close() {
  if (fd_ < 0) return kNotOpen;
  const int rc = ::close(fd_) == 0 ? 0 : LastDosCode();
  fd_ = -1;
  return rc;
}

// ---- PipeProcess --------------------------------------------------------------------------

PipeProcess::~PipeProcess() { Close(); }

int PipeProcess::Start(const std::vector<std::string>& argv) {
  Close();
  if (argv.empty() || argv[0].empty()) return kDosFileNotFound;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return LastDosCode();

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  // The read end becomes the program's standard input; dup2 clears close-on-exec on it.
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  sigset_t none, pipe_default;
  sigemptyset(&none);
  sigemptyset(&pipe_default);
  sigaddset(&pipe_default, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &pipe_default);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int err = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(fds[0]);
  if (err != 0) {
    ::close(fds[1]);
    return DosCodeFromErrno(err);
  }
  fd_ = fds[1];
  pid_ = pid;
  return 0;
}

int PipeProcess::Write(const void* data, size_t n) {
  if (fd_ < 0) return kNotOpen;
  SigpipeBlock block;
  const int err = WriteAll(fd_, data, n);
  if (err == 0) return 0;
  if (err == EPIPE) {
    block.Consume();
    return kDeviceWriteFault;
  }
  return DosCodeFromErrno(err);
}

int PipeProcess::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (pid_ <= 0) return 0;
  int status = 0;
  pid_t r = 0;
  do {
    r = ::waitpid(pid_, &status, 0);
  } while (r < 0 && errno == EINTR);
  pid_ = -1;
  return r > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : kDeviceWriteFault;
}

}  // namespace platform
