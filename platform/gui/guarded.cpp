#include "platform/gui/guarded.h"

#include <string>

#include "platform/gui/activation.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace platform::gui {
namespace {

int g_depth = 0;

}  // namespace

void ShowHandlerException(const std::exception& error) { ShowHandlerException(error.what()); }

void ShowHandlerException(const char* message) {
  std::string text = message ? message : "";
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text.push_back('.');
  Services::Current().MessageBox(AnsiToQString(text), QString(), kIconStop, kButtonsOk);
}

int HandlerDepth() { return g_depth; }

namespace internal {

void EnterHandler() { ++g_depth; }

void LeaveHandler() {
  if (--g_depth == 0) QueuePendingActivations();
}

}  // namespace internal
}  // namespace platform::gui
