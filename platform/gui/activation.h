// Activation as our windows know it, raised by our code and never by Qt's focus changes:
// when a window of ours is shown, its show handler runs at once and its activation once the
// window is mapped and exposed (queued after the first expose that follows the show, so that a
// box the activation shows stands over its window); when one of our message boxes on that
// window closes, its activation runs again, deferred until the handler that showed the box has
// returned. Each show gives exactly one activation; none runs once termination was requested.
//
// Every platform we run on reports exposure, the headless "offscreen" one included (its
// windows count as exposed once shown). A window that is never put on screen
// (Qt::WA_DontShowOnScreen, or one without a platform window) gets its activation queued at
// the show.
#pragma once

class QObject;
class QWidget;

namespace platform::gui {

class ShowWatcher;

// The mixin of our windows: a window class derives from its Qt base first and from this one
// second, passing itself, and overrides FormShow and FormActivate as it needs:
//   class TStart : public QDialog, public platform::gui::FormActivation {
//    public:
//     TStart() : FormActivation(this) {}
//     void FormActivate() override;
//   };
// Both handlers run guarded (guarded.h).
class FormActivation {
 public:
  explicit FormActivation(QWidget* window);
  FormActivation(const FormActivation&) = delete;
  FormActivation& operator=(const FormActivation&) = delete;
  virtual ~FormActivation();

  QWidget* activation_window() const { return window_; }

  // Runs the activation now (guarded) and makes this window the one activated last.
  void RunActivation();

 protected:
  // The show handler: runs each time the window is shown (not on a restore from minimised).
  virtual void FormShow() {}
  // The activation handler.
  virtual void FormActivate() {}

 private:
  friend class ShowWatcher;
  friend bool ActivationPending(QWidget* window);
  void Shown();
  void Exposed();
  void Hidden();

  QWidget* window_;
  ShowWatcher* watcher_;
  // A show whose activation waits for the window's first expose.
  bool awaiting_expose_ = false;
};

// True while an activation of `window` is due: its show waits for the first expose, or the
// activation is queued and has not run yet. Tests wait on it after showing a window.
bool ActivationPending(QWidget* window);

// The visible window of ours that was activated last, or nullptr.
QWidget* LastActivatedWindow();

// Asks for the activation of `window` (one of ours; anything else is ignored) to run once no
// handler is running and control is back in the event loop. Requests for one window before
// then run once. Dropped when the window is hidden or destroyed meanwhile, or once
// termination was requested.
void ScheduleActivation(QWidget* window);

// Posts the run of the pending activations to the event loop (the guarded handlers call it
// when the outermost handler returns).
void QueuePendingActivations();

}  // namespace platform::gui
