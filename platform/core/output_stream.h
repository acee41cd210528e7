// Sequential output: a file written from its start or its end (the engine's alternate file) and
// a program, started without a shell, whose standard input is a pipe (the printer), with the
// setting that names the print command.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// The run-time I/O code of a device that no longer takes output (a program that has closed its
// input or ended).
inline constexpr int kDeviceWriteFault = 160;

// The print command: the program (looked up on PATH when its name holds no "/") and its
// arguments, started with the text to print on its standard input. Default: {"lp"}.
std::vector<std::string> PrintCommand();
// Sets the print command; an empty list restores the default.
void SetPrintCommand(std::vector<std::string> argv);

// A file written sequentially (also a device or a FIFO). Not copyable.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates `path` (an existing file is emptied) for writing. Returns 0 or a DOS code; a file
  // that is open is closed first.
  int Rewrite(const std::string& path);
  // Opens the existing file `path` for writing at its end. Returns 0 or a DOS code (2 missing).
  int Append(const std::string& path);
  // Writes all n bytes. Returns 0, 103 when the file is not open, or the DOS code of the failure
  // (101 for a full disk).
  int Write(const void* data, size_t n);
  // Closes the file. Returns 0, 103 when it was not open, or a DOS code.
  int Close();

  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A program whose standard input is the write end of a pipe held here. It is started without a
// shell (posix_spawn), with the default SIGPIPE disposition and no blocked signals. Writing to a
// program that has closed its input never raises SIGPIPE in this process: the signal is blocked
// around the write and one it raised is consumed. Not copyable; the destructor closes.
class PipeProcess {
 public:
  PipeProcess() = default;
  ~PipeProcess();
  PipeProcess(const PipeProcess&) = delete;
  PipeProcess& operator=(const PipeProcess&) = delete;

  // Starts argv[0] with the arguments argv[1..]. Returns 0, or the DOS code of the failure (2 when
  // the program is not found, 5 when it cannot be run); an empty argv is 2. A running program
  // is closed first.
  int Start(const std::vector<std::string>& argv);
  // Writes all n bytes to the program's input. Returns 0, kDeviceWriteFault when the program no
  // longer reads its input (it closed it or ended), 103 when no program is running, or another
  // DOS code.
  int Write(const void* data, size_t n);
  // Closes the pipe and waits for the program to end. Returns 0 when it ended with status 0 (or
  // none was running), kDeviceWriteFault otherwise.
  int Close();

  bool IsRunning() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

 private:
  int fd_ = -1;
  pid_t pid_ = -1;
};

}  // namespace platform
