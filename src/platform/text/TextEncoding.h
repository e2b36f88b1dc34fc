#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Kerrion works in UTF-8. Settings files written by the Windows program hold their Japanese text
// in Shift-JIS (code page 932); these helpers let such text be read without losing it.
namespace kerrion {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Decodes Shift-JIS (code page 932) text to UTF-8. Bytes that do not form a character become
// U+FFFD, so the result is always valid UTF-8.
std::string DecodeShiftJis(std::string_view text);

// Text as stored in a settings file: valid UTF-8 is kept, anything else is taken as Shift-JIS.
std::string ProfileTextToUtf8(std::string_view text);

// Cuts UTF-8 text to at most `maxBytes` bytes without splitting a character.
std::string TruncateUtf8(std::string_view text, std::size_t maxBytes);

} // namespace kerrion
