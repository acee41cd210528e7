// Program end: the list of exit procedures, the halt routine, and the replaceable message
// hook through which the engine's boxes (the halt box among them) are shown.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Message box flags, as the engine and the class layer ask for them.
enum MessageIcon { kIconNone = 0, kIconStop = 1, kIconWarning = 2, kIconInformation = 3, kIconQuestion = 4 };
enum MessageButtons { kButtonsOk = 0, kButtonsOkCancel = 1, kButtonsYesNo = 2, kButtonsYesNoCancel = 3 };
enum MessageResult { kResultOk = 1, kResultCancel = 2, kResultYes = 6, kResultNo = 7 };

// Shows a message (ANSI bytes) and returns the button chosen. The default hook writes
// "caption: text" to stderr and answers OK (or Yes).
using MessageHook = std::function<int(const std::string& text, const std::string& caption,
                                      MessageIcon icon, MessageButtons buttons)>;
void SetMessageHook(MessageHook hook);  // an empty hook restores the default
int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                MessageButtons buttons = kButtonsOk);

// Registers a procedure to run when the program ends (by Halt or by RunExitProcs at a normal
// end). Procedures run newest first. Returns an id for RemoveExitProc.
int AddExitProc(std::function<void()> proc);
void RemoveExitProc(int id);
// Runs the registered procedures newest first, each taken off the list before it runs, so a
// procedure that halts again never re-enters itself and the remaining ones still run.
void RunExitProcs();

// The exit status for an error code: 1..255 as it stands, anything larger 255, 0 stays 0.
int ExitStatusFor(int code);

// Runs the exit procedures, flushes stdio and ends the process with ExitStatusFor(code).
[[noreturn]] void Halt(int code);

}  // namespace platform
