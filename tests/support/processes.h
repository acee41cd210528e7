// Helpers for tests with several processes: a pipe to synchronise through (never sleeps) and
// the children of one test, each of which arms an alarm and ends with _exit, and all of which
// are killed and reaped when the owner goes, however the test ends. Children open their files
// inside their body, after the fork.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <functional>
#include <vector>

namespace testing_support {

// One direction of a pipe; both ends close with the object.
class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe2(fd_, O_CLOEXEC), 0) << "pipe failed"; }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  // Writes all `size` bytes; false on error (for instance when every reader is gone).
  bool Write(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t w = ::write(fd_[1], p, size);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      p += w;
      size -= static_cast<size_t>(w);
    }
    return true;
  }
  // Reads exactly `size` bytes; false at end of file (every writer gone) or on error.
  bool Read(void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
      const ssize_t r = ::read(fd_[0], p, size);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      p += r;
      size -= static_cast<size_t>(r);
    }
    return true;
  }

  bool Put(char c) { return Write(&c, 1); }
  // Reads one byte; false at end of file or on error.
  bool Get(char* c) { return Read(c, 1); }
  // One byte; 0 at end of file or on error.
  char Get() {
    char c = 0;
    return Get(&c) ? c : 0;
  }
  // Blocks until every writer has closed its end; false when a byte or an error comes first.
  bool WaitClosed() {
    char c = 0;
    ssize_t r = 0;
    do {
      r = ::read(fd_[0], &c, 1);
    } while (r < 0 && errno == EINTR);
    return r == 0;
  }

  void CloseRead() { Close(fd_[0]); }
  void CloseWrite() { Close(fd_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int fd_[2] = {-1, -1};
};

// The children of one test: every child still running when the object goes is killed and
// reaped.
class ChildProcesses {
 public:
  ChildProcesses() = default;
  ~ChildProcesses() {
    for (pid_t pid : pids_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  ChildProcesses(const ChildProcesses&) = delete;
  ChildProcesses& operator=(const ChildProcesses&) = delete;

  // Runs `body` in a child that arms alarm(alarm_seconds) first and ends with _exit(body()).
  // Returns the child's id, or -1 (and a test failure) when the fork fails.
  pid_t Start(const std::function<int()>& body, unsigned alarm_seconds = 30) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(alarm_seconds);
      ::_exit(body());
    }
    EXPECT_GT(pid, 0) << "fork failed";
    if (pid > 0) pids_.push_back(pid);
    return pid;
  }
  // Waits for the child and returns its exit status (-1 when it did not exit normally or is
  // not a running child of this object).
  int Wait(pid_t pid) {
    if (!Owns(pid)) return -1;
    int status = 0;
    pid_t r = 0;
    do {
      r = ::waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    std::erase(pids_, pid);
    if (r != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }
  // Sends SIGKILL to the child; Wait (or the destructor) reaps it.
  void Kill(pid_t pid) {
    if (Owns(pid)) ::kill(pid, SIGKILL);
  }

 private:
  bool Owns(pid_t pid) const {
    return pid > 0 && std::find(pids_.begin(), pids_.end(), pid) != pids_.end();
  }
  std::vector<pid_t> pids_;
};

}  // namespace testing_support
