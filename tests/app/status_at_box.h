// Test services that keep the question window's status line at the moment each box shows, so a
// test can tell whether a message came before or after the status line changed.
#pragma once

#include <QString>
#include <vector>

#include "app/app_context.h"
#include "app/question_window.h"
#include "platform/gui/test_services.h"

namespace testing_support {

class StatusAtBoxServices : public platform::gui::TestServices {
 public:
  std::vector<QString> status_at_box;

 protected:
  int DoMessageBox(const QString& text, const QString& caption, platform::MessageIcon icon,
                   platform::MessageButtons buttons, QWidget* owner) override {
    status_at_box.push_back(app::Ctx().Questions->StatusBar1->SimpleText());
    return TestServices::DoMessageBox(text, caption, icon, buttons, owner);
  }
};

}  // namespace testing_support
