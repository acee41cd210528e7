#include "platform/gui/text.h"

#include <array>
#include <cmath>
#include <optional>

#include "platform/core/code_pages.h"

namespace platform::gui {
namespace {

// The classic light-grey scheme for system colours 0..24, as $BBGGRR.
constexpr std::array<uint32_t, 25> kSystemColors = {
    0xC0C0C0,  // scroll bar
    0x808000,  // desktop
    0x800000,  // active caption
    0x808080,  // inactive caption
    0xC0C0C0,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC0C0C0,  // active border
    0xC0C0C0,  // inactive border
    0x808080,  // application work space
    0x800000,  // highlight
    0xFFFFFF,  // highlight text
    0xC0C0C0,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC0C0C0,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x000000,  // 3D dark shadow
    0xC0C0C0,  // 3D light
    0x000000,  // info text
    0xE1FFFF,  // info background
};

QFont MakeFont(const char* family, QFont::StyleHint hint, int pixels) {
  QFont font(QString::fromLatin1(family));
  font.setStyleHint(hint);
  font.setPixelSize(pixels > 0 ? pixels : 1);
  return font;
}

}  // namespace

QString AnsiToQString(const std::string& ansi) {
  const platform::CodePage page = platform::AnsiCodePage();
  QString text;
  text.reserve(static_cast<qsizetype>(ansi.size()));
  for (char ch : ansi)
    text.append(QChar(platform::CodePageChar(page, static_cast<unsigned char>(ch))));
  return text;
}

std::string QStringToAnsi(const QString& text) {
  const platform::CodePage page = platform::AnsiCodePage();
  std::string ansi;
  ansi.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      ++i;
      ansi.push_back('?');
      continue;
    }
    std::optional<unsigned char> b = platform::CodePageByte(page, c);
    ansi.push_back(b ? static_cast<char>(*b) : '?');
  }
  return ansi;
}

QColor ColorFromBgr(uint32_t value) {
  if ((value & 0xFF000000u) == 0x80000000u) {
    uint32_t index = value & 0x00FFFFFFu;
    if (index >= kSystemColors.size()) return QColor();
    value = kSystemColors[index];
  } else if ((value & 0xFF000000u) != 0) {
    return QColor();
  }
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

int PointsToPixels(int points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

QFont SansFont(int points) { return SansFontPixels(PointsToPixels(points)); }
QFont SansFontPixels(int pixels) { return MakeFont("DejaVu Sans", QFont::SansSerif, pixels); }
QFont MonoFont(int points) { return MonoFontPixels(PointsToPixels(points)); }
QFont MonoFontPixels(int pixels) {
  QFont font = MakeFont("DejaVu Sans Mono", QFont::TypeWriter, pixels);
  font.setFixedPitch(true);
  return font;
}

}  // namespace platform::gui
