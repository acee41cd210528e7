// The single-byte code pages of the system: OEM 437 and 866, ANSI 1252 and 1251, as tables of
// our own between their bytes and Unicode, and the process's one choice between them.
#pragma once

#include <optional>

namespace platform {

// The order is fixed: it indexes the reverse tables.
enum class CodePage { k437, k1252, k866, k1251 };

// The Unicode character of byte b in page. Bytes below 0x80 are ASCII; a byte the page leaves
// undefined gives the C1 control of the same number.
char16_t CodePageChar(CodePage page, unsigned char b);

// The byte of page whose character is c (the inverse of CodePageChar), or nullopt when the page
// has none. ASCII maps to itself.
std::optional<unsigned char> CodePageByte(CodePage page, char16_t c);

// The capital of a small letter of code pages 1252 and 1251 (ASCII, Latin-1, the Latin letters
// of 1252's upper half, Cyrillic), as a Unicode character; any other character unchanged.
char32_t UpperCaseLetter(char32_t c);

// The process's code pages: OEM 437 and ANSI 1252, or OEM 866 and ANSI 1251 for a user whose
// language is Russian. This one setting serves the engine's OEM <-> ANSI conversions, the class
// layer, the GUI's text helpers and the key sender, so that every layer reads a byte alike.
// Western (437/1252) until ChooseCodePages runs.
bool RussianCodePages();
CodePage OemCodePage();
CodePage AnsiCodePage();

// Decides the setting from the user's language (UserLanguage(): Russian gives 866/1251, any
// other language 437/1252). The engine's start routine calls it once at program start; a test
// that sets a language calls it (or restarts the engine) to take that language.
void ChooseCodePages();

}  // namespace platform
