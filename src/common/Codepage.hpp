#pragma once

// Conversions between the program's UTF-8 text and the single-byte code pages found in files (cp1251) and on
// the wire of two collectors (cp866), plus the locale-independent case helpers used for names and keys.
//
// The tables are our own: no iconv, no locale, no Qt, so the result never depends on the machine.

#include <string>
#include <string_view>

namespace velmar::common {

// cp1251 bytes → UTF-8. Byte 0x98 has no character in cp1251; it decodes to U+0098 (as Windows does) and
// Utf8ToCp1251 turns U+0098 back into 0x98, so every one of the 256 bytes survives a round trip.
std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-8 → cp1251 bytes. A character cp1251 cannot hold, and every ill-formed UTF-8 sequence, becomes "?" and
// sets *lossy to true (it is never reset to false, so one flag can collect several conversions).
std::string Utf8ToCp1251(std::string_view utf8, bool* lossy = nullptr);

// cp866 bytes → UTF-8; every byte has a character.
std::string Cp866ToUtf8(std::string_view bytes);

// UTF-8 → cp866 bytes, with the same "?" rule as Utf8ToCp1251.
std::string Utf8ToCp866(std::string_view utf8, bool* lossy = nullptr);

// cp866 bytes → cp1251 bytes. Characters cp1251 lacks (box drawing, √, ∙, ■) become "?".
std::string OemToAnsi(std::string_view cp866Bytes);

// Upper case of Latin a-z and of the Cyrillic lower-case letters cp1251 holds (а-я, ё, ђ ѓ є ѕ і ї ј љ њ ћ ќ
// ў џ ґ). Everything else, including ill-formed UTF-8, is copied unchanged.
std::string UpperCase(std::string_view utf8);

// The same mapping on raw cp1251 bytes.
std::string UpperCaseCp1251(std::string_view bytes);

// Removes spaces, tabs, CR and LF at both ends.
std::string TrimSpaces(std::string_view text);

// Compares two UTF-8 texts under UpperCase.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace velmar::common
