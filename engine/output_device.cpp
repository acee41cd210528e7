// The engine console and its three sinks.
#include "engine/output_device.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/error.h"
#include "platform/core/halt.h"
#include "platform/core/output_stream.h"

namespace engine {

bool ScreenOn = false;
bool AlternateOn = false;
bool PrintOn = false;
std::string AlternateName;
platform::OutputFile AlternateFile;
TConsoleDevice Console;

namespace {

constexpr int kIoNotOpen = 103;
const char kOutputErrorText[] = "Output error, alternate file: ";

platform::PipeProcess g_printer;
int g_exit_proc_id = -1;

// Copies n bytes to the printer, starting the print command first when it is not running.
int Print(const char* data, size_t n) {
  if (!g_printer.IsRunning()) {
    const int rc = g_printer.Start(platform::PrintCommand());
    if (rc != 0) return rc;
  }
  return g_printer.Write(data, n);
}

// Closes the three sinks; results are ignored.
void CloseOutput() {
  Console.Close();
  AlternateFile.Close();
  g_printer.Close();
}

}  // namespace

void OutputError(uint16_t code, const std::string& msg) {
  ErrorCode = code;
  ErrorMsg = msg;
  if (AbortOnError) ReportError();
}

int TConsoleDevice::Rewrite() {
  count_ = 0;
  open_ = true;
  return 0;
}

int TConsoleDevice::Write(std::string_view text) {
  if (!open_) return kIoNotOpen;
  for (const char c : text) {
    buf_[count_++] = c;
    if (count_ == kBufferSize) CopyToSinks();
  }
  if (count_ > 0) CopyToSinks();
  return 0;
}

int TConsoleDevice::Flush() {
  if (!open_) return kIoNotOpen;
  if (count_ > 0) CopyToSinks();
  return 0;
}

int TConsoleDevice::Close() {
  if (!open_) return kIoNotOpen;
  Flush();
  open_ = false;
  return 0;
}

void TConsoleDevice::CopyToSinks() {
  const size_t n = count_;
  count_ = 0;  // emptied first: a sink failure that ends the program must not copy it again
  if (ScreenOn) {
    std::fwrite(buf_.data(), 1, n, stdout);
    std::fflush(stdout);
  }
  if (AlternateOn) {
    const int rc = AlternateFile.Write(buf_.data(), n);
    ErrorCode = static_cast<uint16_t>(rc);
    if (rc != 0) OutputError(static_cast<uint16_t>(rc), kOutputErrorText + AlternateName);
  }
  if (PrintOn) {
    const int rc = Print(buf_.data(), n);
    if (rc != 0) OutputError(static_cast<uint16_t>(rc), kOutputErrorText);
  }
}

bool PrinterRunning() { return g_printer.IsRunning(); }

void InitOutput() {
  CloseOutput();
  ScreenOn = false;
  AlternateOn = false;
  PrintOn = false;
  AlternateName.clear();
  Console.Rewrite();
  // One exit procedure however often the engine starts: the one of an earlier start goes.
  if (g_exit_proc_id >= 0) platform::RemoveExitProc(g_exit_proc_id);
  g_exit_proc_id = platform::AddExitProc(&CloseOutput);
}

}  // namespace engine
