// The engine's error state: one process-wide error code and message, the halt-on-error
// switch, the optional user error procedure, the halt box and the table of error texts.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace engine {

// The one exception class of the engine and the class layer.
class EWendalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using ErrorProc = void (*)();

extern uint16_t ErrorCode;          // last error; 0 = none
extern std::string ErrorMsg;        // its message, OEM bytes
extern uint16_t LastReportedError;  // copy taken by SetError and ReportError
extern bool AbortOnError;           // halt-on-error switch (start: true)
extern ErrorProc UserErrorProc;     // when set, called instead of the halt box

// ErrorCode := code, LastReportedError := code, ErrorMsg := msg; then ReportError when
// AbortOnError is on.
void SetError(uint16_t code, const std::string& msg);

// Shows the pending error in the halt box ("Program halted.") and ends the program with the
// error code; with a UserErrorProc calls it instead and returns. Does nothing for code 0.
void ReportError();

// ErrorMsg converted to ANSI; clears ErrorMsg and LastReportedError. ErrorCode is unchanged.
std::string GetErrorMsg();

// "Error # <code> (<text>)" in ANSI; empty for 0.
std::string ErrorText(uint16_t code);

// The bare table text of a code, OEM ("Undefined error" for codes not in the table).
const char* ErrorTableText(uint16_t code);

[[noreturn]] void RaiseEngineError(const std::string& msg);

// Resets the error state to its start values.
void ResetErrorState();

}  // namespace engine
