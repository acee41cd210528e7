#include "components/gui/wen_text.h"

#include "components/core/wen_dataset.h"
#include "platform/gui/text.h"

namespace components {

TWenText::TWenText(QWidget* parent) : QLabel(parent), TWenBoundControl(nullptr) {
  // Plain text always: a field's text is never read as markup.
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  data_link_.OnDataChange = [this](TWenFieldDataLink*) { DataChange(); };
}

std::string TWenText::Caption() const { return platform::gui::QStringToAnsi(text()); }

void TWenText::DataChange() {
  const TWenField* field = data_link_.Field();
  setText(field != nullptr ? platform::gui::AnsiToQString(field->GetText()) : QString());
}

}  // namespace components
