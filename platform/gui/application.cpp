#include "platform/gui/application.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <QEventLoop>
#include <cstring>
#include <exception>
#include <string>

#include "platform/core/halt.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace platform::gui {
namespace {

bool g_terminate = false;
// The loop RunApplication runs. Termination ends only this loop: QCoreApplication::exit would
// also end every nested loop at once and keep later ones from running.
QEventLoop* g_main_loop = nullptr;

}  // namespace

bool XDisplayAvailable(const char* display) {
  if (!display || !*display) return false;
  std::string value = display;
  size_t colon = value.rfind(':');
  if (colon == std::string::npos || colon + 1 >= value.size()) return false;
  std::string host = value.substr(0, colon);
  std::string number = value.substr(colon + 1);
  size_t dot = number.find('.');
  if (dot != std::string::npos) number.resize(dot);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
  if (!host.empty() && host != "unix") return true;
  struct stat st;
  std::string socket = "/tmp/.X11-unix/X" + number;
  return ::stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

void PreferXcbWhenXDisplay() {
  const char* platform = ::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return;
  if (XDisplayAvailable(::getenv("DISPLAY"))) ::setenv("QT_QPA_PLATFORM", "xcb", 1);
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  setQuitOnLastWindowClosed(false);
  setFont(SansFont(8));
  InstallGuiMessageHook();
}

Application::~Application() { platform::SetMessageHook(nullptr); }

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowHandlerException(error);
  } catch (...) {
    ShowHandlerException("Unknown exception");
  }
  return false;
}

void InstallGuiMessageHook() {
  platform::SetMessageHook([](const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) {
    return Services::Current().MessageBox(AnsiToQString(text), AnsiToQString(caption), icon,
                                          buttons);
  });
}

void RequestTerminate() {
  g_terminate = true;
  if (g_main_loop) g_main_loop->exit(0);
}

bool TerminateRequested() { return g_terminate; }

void ResetTerminateRequest() { g_terminate = false; }

int RunApplication() {
  if (g_terminate) return 0;
  QEventLoop loop;
  g_main_loop = &loop;
  int result = loop.exec();
  g_main_loop = nullptr;
  return result;
}

}  // namespace platform::gui
