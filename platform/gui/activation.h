// Activation as our windows know it, raised by our code and never by Qt's focus changes:
// when a window of ours is shown, its show handler runs and then its activation; when one of
// our message boxes on that window closes, its activation runs again, deferred until the
// handler that showed the box has returned, and not at all once termination was requested.
#pragma once

class QObject;
class QWidget;

namespace platform::gui {

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
  void Shown();

  QWidget* window_;
  QObject* watcher_;
};

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
