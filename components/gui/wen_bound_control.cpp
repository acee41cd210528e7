#include "components/gui/wen_bound_control.h"

#include <QWidget>
#include <exception>

#include "platform/gui/guarded.h"

namespace components {

TWenBoundControl::TWenBoundControl(QWidget* widget) : widget_(widget) {}

TWenBoundControl::~TWenBoundControl() {
  data_link_.ClearEvents();
  data_link_.SetControl(nullptr);
  data_link_.SetDataSource(nullptr);
}

void TWenBoundControl::SetDataSource(TWenDataSource* data_source) {
  data_link_.SetDataSource(data_source);
  data_link_.UpdateField();
}

bool TWenBoundControl::StoreOnExit() {
  try {
    data_link_.UpdateRecord();
    return true;
  } catch (const std::exception& error) {
    widget_->setFocus(Qt::OtherFocusReason);
    platform::gui::ShowHandlerException(error);
    return false;
  }
}

bool TWenBoundControl::CanFocus() const {
  return widget_ != nullptr && widget_->isVisible() && widget_->isEnabled() &&
         widget_->focusPolicy() != Qt::NoFocus;
}

void TWenBoundControl::SetFocus() {
  if (widget_ != nullptr) widget_->setFocus(Qt::OtherFocusReason);
}

}  // namespace components
