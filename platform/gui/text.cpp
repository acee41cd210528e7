#include "platform/gui/text.h"

#include <array>
#include <cmath>
#include <unordered_map>

namespace platform::gui {
namespace {

bool g_russian = false;

// Characters of bytes 0x80..0x9F in code page 1252 (0 = undefined there).
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Characters of bytes 0x80..0xBF in code page 1251 (0 = undefined); 0xC0..0xFF are
// U+0410..U+044F.
constexpr std::array<char16_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0,      0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char16_t Cp1252Char(unsigned char b) {
  if (b < 0x80 || b > 0x9F) return b;
  char16_t c = kCp1252High[b - 0x80];
  return c ? c : b;
}

char16_t Cp1251Char(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return static_cast<char16_t>(0x0410 + (b - 0xC0));
  char16_t c = kCp1251High[b - 0x80];
  return c ? c : b;
}

using ReverseTable = std::unordered_map<char16_t, char>;

ReverseTable BuildReverse(char16_t (*forward)(unsigned char)) {
  ReverseTable table;
  for (int b = 0; b < 256; ++b)
    table.emplace(forward(static_cast<unsigned char>(b)), static_cast<char>(b));
  return table;
}

const ReverseTable& Reverse() {
  static const ReverseTable cp1252 = BuildReverse(Cp1252Char);
  static const ReverseTable cp1251 = BuildReverse(Cp1251Char);
  return g_russian ? cp1251 : cp1252;
}

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

void UseRussianAnsiCodePage(bool russian) { g_russian = russian; }
bool RussianAnsiCodePage() { return g_russian; }

QString AnsiToQString(const std::string& ansi) {
  QString text;
  text.reserve(static_cast<qsizetype>(ansi.size()));
  for (char ch : ansi) {
    auto b = static_cast<unsigned char>(ch);
    text.append(QChar(g_russian ? Cp1251Char(b) : Cp1252Char(b)));
  }
  return text;
}

std::string QStringToAnsi(const QString& text) {
  const ReverseTable& reverse = Reverse();
  std::string ansi;
  ansi.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      ++i;
      ansi.push_back('?');
      continue;
    }
    auto it = reverse.find(c);
    ansi.push_back(it == reverse.end() ? '?' : it->second);
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
