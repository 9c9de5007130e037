// Letter case of Windows-1252 text, as the original file system and profile functions saw it:
// ASCII letters, the Latin-1 letters from 0xC0 to 0xFE, and Š Œ Ž Ÿ with their lower forms.
#pragma once

#include <string>
#include <string_view>

namespace qv {

char ToUpperChar(char c);
char ToLowerChar(char c);
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);

// Whole-length comparison without regard to letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Ordering without regard to letter case (<0, 0, >0); ties are broken by the bytes so that
// the order is total and the same on every machine.
int CompareNoCase(std::string_view a, std::string_view b);

}  // namespace qv
