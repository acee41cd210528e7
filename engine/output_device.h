// The engine console: one text output device that copies everything written to it to up to
// three sinks, each behind its own switch: the program's standard output, the alternate file and
// the printer. Bytes pass unchanged.
//
//   ScreenOn = true;                                  // copy to standard output
//   AlternateFile.Rewrite("log.txt"); AlternateName = "log.txt"; AlternateOn = true;
//   PrintOn = true;                                   // copy to the print command
//   Console.Write("text\r\n");
//
// The console collects the written bytes in a 128-byte buffer and copies them to the sinks
// whenever it fills and at the end of every write. A write that fails on the alternate file or
// the printer goes through OutputError: with AbortOnError on it ends the program, otherwise the
// copying goes on. The printer is the print command of platform/core, started at the first byte
// printed (a failed start is that byte's write error) and closed, and waited for, at the end.
//
// InitOutput (run by StartEngine) closes whatever is open, switches the sinks off and opens the
// console; its exit procedure, registered once, closes the console, the alternate file and the
// printer at program end, ignoring their results.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/core/output_stream.h"

namespace engine {

extern bool ScreenOn;              // copy console output to standard output [false]
extern bool AlternateOn;           // copy console output to the alternate file [false]
extern bool PrintOn;               // copy console output to the printer [false]
extern std::string AlternateName;  // the alternate file's name, for messages [empty]

// The alternate file: opened and closed by the caller.
extern platform::OutputFile AlternateFile;

// The console device. Its operations return run-time I/O codes: 0, or 103 when it is not open.
// Failures of the sinks are reported through OutputError, not in these results.
class TConsoleDevice {
 public:
  static constexpr size_t kBufferSize = 128;

  TConsoleDevice() = default;
  TConsoleDevice(const TConsoleDevice&) = delete;
  TConsoleDevice& operator=(const TConsoleDevice&) = delete;

  // Opens the device for output.
  int Rewrite();
  // Adds `text` to the buffer, copying it to the sinks when it fills and at the end.
  int Write(std::string_view text);
  // Copies the buffered bytes to the sinks and empties the buffer.
  int Flush();
  // Flushes, then closes the device.
  int Close();

  bool IsOpen() const { return open_; }

 private:
  void CopyToSinks();

  bool open_ = false;
  std::array<char, kBufferSize> buf_{};
  size_t count_ = 0;
};

extern TConsoleDevice Console;

// ErrorCode := code, ErrorMsg := msg, then ReportError when AbortOnError is on.
void OutputError(uint16_t code, const std::string& msg);

// True while a print command started by the printer sink is running.
bool PrinterRunning();

// Closes the console, the alternate file and the printer (waiting for the print command),
// restores the start values, opens the console and registers the exit procedure once.
void InitOutput();

}  // namespace engine
