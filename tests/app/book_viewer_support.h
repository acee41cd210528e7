// Helpers for the tests that run the book viewer: its page log, environment variables for the
// viewers a test starts, the window title as the desktop reads it, and the end of a viewer.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QtGlobal>
#include <optional>
#include <string>

// After Qt: the X headers define macros that Qt uses as names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace testing_support {

// The viewer's page log, read from a fifo: the test holds a writer of its own too, so the fifo
// never reports an end while viewers come and go.
class PageLog {
 public:
  explicit PageLog(const std::string& path) {
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    read_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    write_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(read_, 0);
    EXPECT_GE(write_, 0);
  }
  ~PageLog() {
    ::close(read_);
    ::close(write_);
  }
  PageLog(const PageLog&) = delete;
  PageLog& operator=(const PageLog&) = delete;

  // Waits, at most `ms`, for the next line of the log to come; true when it is `line`.
  bool Next(const std::string& line, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (buffer_.find('\n') == std::string::npos) {
      const qint64 left = ms - timer.elapsed();
      if (left <= 0) break;
      struct pollfd p = {read_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[256];
      const ssize_t n = ::read(read_, chunk, sizeof chunk);
      if (n > 0) buffer_.append(chunk, static_cast<size_t>(n));
    }
    const size_t end = buffer_.find('\n');
    if (end == std::string::npos) {
      ADD_FAILURE() << "no line \"" << line << "\" in the page log, only \"" << buffer_ << "\"";
      return false;
    }
    const std::string got = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    EXPECT_EQ(got, line);
    return got == line;
  }

 private:
  int read_ = -1;
  int write_ = -1;
  std::string buffer_;
};

// _NET_WM_NAME of `window`, as the window manager and the key sender read it.
inline std::string NetWmName(XID window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return {};
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                         False, XInternAtom(display, "UTF8_STRING", False), &type, &format, &count,
                         &after, &data) == Success &&
      data) {
    name.assign(reinterpret_cast<char*>(data), count);
  }
  if (data) XFree(data);
  XCloseDisplay(display);
  return name;
}

// Sets an environment variable for the viewers started while it lives: the page log, and the
// temporary folder (where a viewer keeps its socket, which one that is killed leaves behind).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Ends the viewer `pid` (nobody's child of ours) and waits, at most 10 s, until it is gone.
inline bool KillAndWait(qint64 pid) {
  const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
  if (fd < 0) return false;
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  struct pollfd p = {fd, POLLIN, 0};
  bool ended = ::poll(&p, 1, 10000) == 1;
  if (!ended) {
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    ended = ::poll(&p, 1, 10000) == 1;
  }
  ::close(fd);
  return ended;
}

}  // namespace testing_support
