#include "app/missed_items_window.h"

#include <stdexcept>

#include "app/app_context.h"
#include "app/results_window.h"
#include "app/window_support.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {
namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(left, 400, 89, 25);
  return button;
}

}  // namespace

TMissedItemsWnd::TMissedItemsWnd() : FormActivation(this) {
  setObjectName("MissedItemsWnd");
  setWindowTitle("Missed Items");
  setFixedSize(629, 431);

  Memo1 = new QTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setGeometry(0, 0, 628, 393);
  Memo1->setAcceptRichText(false);
  Memo1->setLineWrapMode(QTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  Button1 = MakeButton(this, "Button1", "&Print", 8);
  CloseWndBtn = MakeButton(this, "CloseWndBtn", "Close Window", 270);
  Button2 = MakeButton(this, "Button2", "E&xit", 532);
  platform::gui::GuardedConnect(Button1, &QPushButton::clicked, this,
                                &TMissedItemsWnd::Button1Click);
  platform::gui::GuardedConnect(CloseWndBtn, &QPushButton::clicked, this,
                                &TMissedItemsWnd::CloseWndBtnClick);
  platform::gui::GuardedConnect(Button2, &QPushButton::clicked, this,
                                &TMissedItemsWnd::Button2Click);
}

void TMissedItemsWnd::FormCreate() { CentreOnScreen(this); }

void TMissedItemsWnd::Button1Click() {
  const platform::gui::ServiceResult result = platform::gui::Services::Current().Print(
      {"Missed Items Report", Memo1->toPlainText(), Memo1->font()});
  if (!result.ok) throw std::runtime_error(platform::gui::QStringToAnsi(result.error));
}

void TMissedItemsWnd::CloseWndBtnClick() { close(); }

void TMissedItemsWnd::Button2Click() { platform::gui::Services::Current().Quit(); }

void TMissedItemsWnd::FormClose() {
  // Back to the results window, whose activation writes the score file again.
  if (QWidget* results = Ctx().Results) platform::gui::ScheduleActivation(results);
}

void TMissedItemsWnd::closeEvent(QCloseEvent* event) {
  HandleCloseEvent(event, [this] { FormClose(); });
}

}  // namespace app
