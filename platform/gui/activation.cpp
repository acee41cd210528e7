#include "platform/gui/activation.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/gui/application.h"
#include "platform/gui/guarded.h"

namespace platform::gui {
namespace {

std::unordered_map<QWidget*, FormActivation*>& Registry() {
  static std::unordered_map<QWidget*, FormActivation*> registry;
  return registry;
}

// Our windows in the order they were last activated, the latest at the back.
std::vector<QWidget*>& ActivationOrder() {
  static std::vector<QWidget*> order;
  return order;
}

void MoveToFront(QWidget* window) {
  auto& order = ActivationOrder();
  order.erase(std::remove(order.begin(), order.end(), window), order.end());
  order.push_back(window);
}

void Forget(QWidget* window) {
  auto& order = ActivationOrder();
  order.erase(std::remove(order.begin(), order.end(), window), order.end());
}

std::vector<QPointer<QWidget>>& Pending() {
  static std::vector<QPointer<QWidget>> pending;
  return pending;
}

bool g_flush_posted = false;

void RunPending() {
  g_flush_posted = false;
  // A nested event loop inside a handler (a real modal box) must not run them early; the
  // handler queues them again when it returns.
  if (HandlerDepth() > 0) return;
  std::vector<QPointer<QWidget>> pending;
  pending.swap(Pending());
  for (const QPointer<QWidget>& window : pending) {
    if (TerminateRequested()) return;
    if (!window || !window->isVisible()) continue;
    auto it = Registry().find(window.data());
    if (it != Registry().end()) it->second->RunActivation();
  }
}

}  // namespace

// Watches the window's show and hide events, and the expose events of its platform window,
// on behalf of its FormActivation.
class ShowWatcher : public QObject {
 public:
  ShowWatcher(QWidget* window, FormActivation* owner) : QObject(window), owner_(owner) {
    window->installEventFilter(this);
  }

  // Follows the platform window of the widget, which Qt may make anew when it shows it again.
  void WatchPlatformWindow() {
    QWindow* handle = owner_->window_->windowHandle();
    if (handle == platform_window_.data()) return;
    if (platform_window_) platform_window_->removeEventFilter(this);
    platform_window_ = handle;
    if (handle) handle->installEventFilter(this);
  }

  void Unwatch() {
    owner_->window_->removeEventFilter(this);
    if (platform_window_) platform_window_->removeEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == owner_->window_) {
      if (event->type() == QEvent::Show && !event->spontaneous()) {
        owner_->Shown();
      } else if (event->type() == QEvent::Hide && !event->spontaneous()) {
        owner_->Hidden();
      }
    } else if (watched == platform_window_.data() && event->type() == QEvent::Expose) {
      // The first expose after a show that says the window is on screen (Qt sets isExposed
      // from the event it delivers; a late expose of an earlier unmap says it is not).
      if (platform_window_->isExposed()) owner_->Exposed();
    }
    return false;
  }

 private:
  FormActivation* owner_;
  QPointer<QWindow> platform_window_;
};

FormActivation::FormActivation(QWidget* window) : window_(window) {
  watcher_ = new ShowWatcher(window, this);
  Registry()[window] = this;
}

FormActivation::~FormActivation() {
  Registry().erase(window_);
  Forget(window_);
  watcher_->Unwatch();
  delete watcher_;
}

void FormActivation::RunActivation() {
  MoveToFront(window_);
  RunGuarded([this] { FormActivate(); });
}

void FormActivation::Shown() {
  MoveToFront(window_);
  watcher_->WatchPlatformWindow();
  const bool on_screen =
      window_->windowHandle() && !window_->testAttribute(Qt::WA_DontShowOnScreen);
  awaiting_expose_ = on_screen;
  RunGuarded([this] { FormShow(); });
  // A window that is never put on screen is never exposed: its activation is queued now.
  if (!on_screen) ScheduleActivation(window_);
}

void FormActivation::Exposed() {
  if (!awaiting_expose_) return;
  awaiting_expose_ = false;
  ScheduleActivation(window_);
}

void FormActivation::Hidden() {
  awaiting_expose_ = false;
  Forget(window_);
}

bool ActivationPending(QWidget* window) {
  auto it = Registry().find(window);
  if (it == Registry().end() || !window->isVisible() || TerminateRequested()) return false;
  if (it->second->awaiting_expose_) return true;
  for (const QPointer<QWidget>& p : Pending()) {
    if (p.data() == window) return true;
  }
  return false;
}

QWidget* LastActivatedWindow() {
  const auto& order = ActivationOrder();
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    if ((*it)->isVisible()) return *it;
  }
  return nullptr;
}

void ScheduleActivation(QWidget* window) {
  if (!window || !Registry().count(window) || TerminateRequested()) return;
  for (const QPointer<QWidget>& p : Pending()) {
    if (p.data() == window) return;
  }
  Pending().emplace_back(window);
  if (HandlerDepth() == 0) QueuePendingActivations();
}

void QueuePendingActivations() {
  if (Pending().empty() || g_flush_posted || !QCoreApplication::instance()) return;
  g_flush_posted = true;
  QMetaObject::invokeMethod(QCoreApplication::instance(), &RunPending, Qt::QueuedConnection);
}

}  // namespace platform::gui
