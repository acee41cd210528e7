// Helpers of the X11 suites of every build: the demo test copied into a test folder,
// screenshots kept in the artefact folder, and the smoke test that starts a built program as
// its own process and waits for its start window.
#pragma once

#include <sys/types.h>

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/processes.h"
#include "tests/support/x_desktop.h"

namespace testing_support {

// Copies the files of the generated demo test into `folder` (ending with "/").
void CopyDemo(const std::string& folder);

// Waits until `window` is exposed, grabs it and saves it as `name` in ArtefactDir().
void SaveScreenshot(QWidget* window, const char* name);

// The geometry of the visible windows whose name matches the pattern `name`, as xdotool
// reports them ("WxH" each).
std::vector<std::string> VisibleWindowSizes(const std::string& name);

// Starts `program` as a child of `children` from "/" on the X display, with XDG_CONFIG_HOME
// `config` and an alarm of `alarm_seconds`; its pid, or -1 when the fork failed.
pid_t StartProgram(ChildProcesses& children, const std::string& program, const std::string& config,
                   unsigned alarm_seconds);

// One run of a built program for an end-to-end test: the demo test copied into `folder`, the
// program `built` copied in as `name`, a snapshot of the folder taken, and the program started
// (StartProgram) with the profile folder under `config`.
struct ProgramRun {
  ProgramRun(const std::string& built, const std::string& folder, const std::string& name,
             const std::string& config);
  // The files of `folder` that changed since the start, one name per line.
  std::string FolderChanges() const;

  std::string folder;
  FolderSnapshot before;
  ChildProcesses children;
  pid_t pid = -1;
};

// Copies the built program `built` into `folder` (which holds a test) as `program_name`,
// starts it from "/" with XDG_CONFIG_HOME `config` on the X display, and expects a visible
// window titled `title` of 629 x 431 (the start window) within the deadline while the program
// keeps running; the program is killed afterwards.
void ExpectProgramShowsStartWindow(const std::string& built, const std::string& folder,
                                   const std::string& program_name, const std::string& title,
                                   const std::string& config);

// The text of the score file (the one *.ini file) in the profile folder under `config`; "" when
// there is none.
std::string ScoreFileText(const std::string& config);

// Through X input only: Next on the start window titled `title`, then on the objective window
// (the same title) Select None, the boxes of the objective rows `rows` (0-based) ticked,
// `questions` typed as the number of questions, and Start Test. `shot` is called with "start"
// and "objectives" once each window shows. The id of the window titled "Item 1 of
// `questions`" once the test is built, or "" (with a failure reported) when a step failed.
std::string StartTestThroughX(const std::string& title, const std::vector<int>& rows, int questions,
                              const std::function<void(const char*)>& shot);

}  // namespace testing_support
