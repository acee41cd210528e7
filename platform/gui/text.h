// Where text, colours and fonts reach Qt: the one pair of ANSI <-> QString helpers, colours
// given as $BBGGRR values, and the fonts of the windows.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <cstdint>
#include <string>

namespace platform::gui {

// ANSI is the process's ANSI code page (platform::AnsiCodePage: 1252, or 1251 for a Russian
// user), the same one the engine and the class layer convert with.

// Converts ANSI bytes to text. Every byte maps to one character; the bytes that the code page
// leaves undefined map to the control character of the same number, as the system does.
QString AnsiToQString(const std::string& ansi);
// Converts text to ANSI bytes. A character the code page cannot hold becomes '?' (a surrogate
// pair counts as one character).
std::string QStringToAnsi(const QString& text);

// A colour value as the windows give it: $00BBGGRR is blue, green and red; $80000000 + n is
// system colour n (0..24, the classic light-grey scheme, fixed so windows look the same on
// every desktop); any other value (none, default) gives an invalid QColor.
QColor ColorFromBgr(uint32_t value);

// The pixel size of a font given in points on a 96 dpi screen: round(points * 96 / 72).
int PointsToPixels(int points);
// DejaVu Sans, the face for the sans-serif fonts of the windows, sized in pixels.
QFont SansFont(int points);
QFont SansFontPixels(int pixels);
// DejaVu Sans Mono, the face for Courier New, sized in pixels.
QFont MonoFont(int points);
QFont MonoFontPixels(int pixels);

}  // namespace platform::gui
