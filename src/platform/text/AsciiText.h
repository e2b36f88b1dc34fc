#pragma once

#include <string>
#include <string_view>

// The few text operations the file readers share (settings, driver files, the driver registry):
// blanks and letter case in the ASCII range only, whatever the process locale, so that a name
// reads the same on every machine. Any thread.
namespace kerrion {

// Space, tab, CR, vertical tab and form feed.
bool IsBlank(char c);

// `text` without the blanks around it.
std::string_view TrimBlanks(std::string_view text);

// A to Z made lower case; every other byte as it is.
char AsciiLower(char c);
std::string AsciiLower(std::string_view text);

// Equal when A to Z are taken as a to z.
bool EqualNoCase(std::string_view a, std::string_view b);

} // namespace kerrion
