// The application object, the choice of the Qt platform, termination, and the engine's
// message hook on the GUI.
#pragma once

#include <QApplication>

namespace platform::gui {

// True when `display` (a DISPLAY value) names an X server: ":n" or ":n.s" with its socket
// /tmp/.X11-unix/Xn present, or a "host:n" display (trusted as given).
bool XDisplayAvailable(const char* display);

// Called by a program's main before the application object exists: chooses xcb when an X
// display exists and QT_QPA_PLATFORM is not set (window positions are part of the windows,
// and Wayland does not let a program place its windows). An explicit QT_QPA_PLATFORM wins.
void PreferXcbWhenXDisplay();

// The application object. It keeps the program running when its last window closes (a
// window's close is its own handler's business), makes DejaVu Sans 8 points the default font,
// installs the GUI message hook for its lifetime, and catches, as a last resort, an
// exception escaping an event handler (shown like one escaping a guarded handler).
class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  ~Application() override;

  bool notify(QObject* receiver, QEvent* event) override;
};

// Routes platform::ShowMessage (the engine's and the class layer's boxes, the halt box among
// them) through Services::Current().MessageBox. An empty caption gives the application title.
void InstallGuiMessageHook();

// Termination: sets the flag and asks the loop of RunApplication to end once control returns
// to it (after the current handler, and after a modal box the handler still shows). The rest
// of the handler still runs; no close handler runs because of it. A request before the loop
// starts ends the program as soon as RunApplication is called.
void RequestTerminate();
bool TerminateRequested();
// Clears the flag (tests that run several loops in one process).
void ResetTerminateRequest();

// Runs the event loop until termination is requested; returns its exit code. Returns 0 at
// once when termination was requested before.
int RunApplication();

}  // namespace platform::gui
