// Helpers of the X11 suites of every build: the demo test copied into a test folder,
// screenshots kept in the artefact folder, and the smoke test that starts a built program as
// its own process and waits for its start window.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

namespace testing_support {

// Copies the files of the generated demo test into `folder` (ending with "/").
void CopyDemo(const std::string& folder);

// Waits until `window` is exposed, grabs it and saves it as `name` in ArtefactDir().
void SaveScreenshot(QWidget* window, const char* name);

// The geometry of the visible windows whose name matches the pattern `name`, as xdotool
// reports them ("WxH" each).
std::vector<std::string> VisibleWindowSizes(const std::string& name);

// Copies the built program `built` into `folder` (which holds a test) as `program_name`,
// starts it from "/" with XDG_CONFIG_HOME `config` on the X display, and expects a visible
// window titled `title` of 629 x 431 (the start window) within the deadline while the program
// keeps running; the program is killed afterwards.
void ExpectProgramShowsStartWindow(const std::string& built, const std::string& folder,
                                   const std::string& program_name, const std::string& title,
                                   const std::string& config);

}  // namespace testing_support
