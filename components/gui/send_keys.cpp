#include "components/gui/send_keys.h"

#include <QCoreApplication>
#include <QString>
#include <vector>

#include "platform/gui/text.h"

namespace components {

std::optional<TKeyStroke> TBackendKeyboardLayout::KeyForChar(unsigned char ch) const {
  const QString text = platform::gui::AnsiToQString(std::string(1, static_cast<char>(ch)));
  if (text.size() != 1) return std::nullopt;
  const std::optional<platform::gui::XKeyLevel> level =
      backend_.KeyForCharacter(static_cast<char32_t>(text.at(0).unicode()));
  if (!level) return std::nullopt;
  uint8_t modifiers = 0;
  if (level->Shift) modifiers |= kShiftBit;
  if (level->Level3) modifiers |= kLevel3Bit;
  return TKeyStroke{level->Keysym, modifiers};
}

TSendKeys::TSendKeys(platform::gui::KeySenderBackend* backend) : backend_(backend) {
  if (!backend_) {
    own_backend_ = std::make_unique<platform::gui::X11KeySender>();
    backend_ = own_backend_.get();
  }
}

TSendKeys::~TSendKeys() = default;

TSendKeys::THandle TSendKeys::FindWindowByTitle(const std::string& Title) {
  return backend_->FindWindowByTitle(platform::gui::AnsiToQString(Title).toUtf8().toStdString());
}

bool TSendKeys::ActivateWindow(THandle Handle) {
  return Handle != 0 && backend_->ActivateWindow(Handle);
}

bool TSendKeys::SendKeyString(const std::string& Keys) {
  if (Keys.empty()) return true;
  if (!backend_->BeginKeys()) return false;
  TBackendKeyboardLayout layout(*backend_);
  TKeyStringTranslator translator(layout);
  bool ok = true;
  for (const char c : Keys) {
    const std::vector<TKeyEvent> events = translator.Translate(static_cast<unsigned char>(c));
    bool typable = true;
    for (const TKeyEvent& e : events) typable = typable && backend_->HasKey(e.Key);
    std::vector<TKeySym> down;  // pressed by this byte and not released yet
    for (std::size_t i = 0; typable && ok && i < events.size(); ++i) {
      const TKeyEvent& e = events[i];
      ok = backend_->SendKey(e.Key, e.Press);
      if (ok && e.Press) down.push_back(e.Key);
      if (ok && !e.Press) std::erase(down, e.Key);
    }
    if (!ok) {
      for (auto it = down.rbegin(); it != down.rend(); ++it) backend_->SendKey(*it, false);
    }
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
    if (!ok) break;
  }
  // No key stays down: what the codes pressed and did not release is released now, also after
  // a failure (a failed press leaves nothing to release, a release twice does no harm).
  for (const TKeyEvent& e : translator.Finish()) {
    if (backend_->HasKey(e.Key)) backend_->SendKey(e.Key, e.Press);
  }
  return ok;
}

bool TSendKeys::SendKeysTo(const std::string& Title, const std::string& Keys) {
  const THandle handle = FindWindowByTitle(Title);
  if (handle == 0) return false;
  if (!ActivateWindow(handle)) return false;
  return SendKeyString(Keys);
}

}  // namespace components
