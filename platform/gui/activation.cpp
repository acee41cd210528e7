#include "platform/gui/activation.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
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

// Watches the window's show and hide events on behalf of its FormActivation.
class ShowWatcher : public QObject {
 public:
  ShowWatcher(QWidget* window, FormActivation* owner) : QObject(window), owner_(owner) {
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == owner_->window_) {
      if (event->type() == QEvent::Show && !event->spontaneous()) {
        owner_->Shown();
      } else if (event->type() == QEvent::Hide && !event->spontaneous()) {
        Forget(owner_->window_);
      }
    }
    return false;
  }

 private:
  FormActivation* owner_;
};

FormActivation::FormActivation(QWidget* window) : window_(window) {
  watcher_ = new ShowWatcher(window, this);
  Registry()[window] = this;
}

FormActivation::~FormActivation() {
  Registry().erase(window_);
  Forget(window_);
  window_->removeEventFilter(watcher_);
  delete watcher_;
}

void FormActivation::RunActivation() {
  MoveToFront(window_);
  RunGuarded([this] { FormActivate(); });
}

void FormActivation::Shown() {
  MoveToFront(window_);
  RunGuarded([this] {
    FormShow();
    FormActivate();
  });
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
