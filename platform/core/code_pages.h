// The single-byte code pages of the system: OEM 437 and 866, ANSI 1252 and 1251, as tables of
// our own between their bytes and Unicode.
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

}  // namespace platform
