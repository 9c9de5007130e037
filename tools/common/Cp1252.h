// Windows-1252, the code page every text of the module is in, and UTF-8, the encoding of
// everything the tools and the console exchange with the outside (JSON, the browser).
#pragma once

#include <string>
#include <string_view>

namespace qv::text {

// The character that starts at `pos` in `text` and its length in bytes; 0 when the bytes there
// are not well-formed UTF-8 (overlong forms, surrogates, characters past U+10FFFF and cut
// sequences are not).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t* cp);
// Appends the UTF-8 bytes of `cp` (at most U+10FFFF) to *out.
void AppendUtf8(char32_t cp, std::string* out);

// Windows-1252 text as UTF-8. Every byte has a character: 0x80-0x9F by the code page's table,
// its five unused bytes (0x81 0x8D 0x8F 0x90 0x9D) as U+0081 and so on, and every other byte
// as the character of the same number, so no byte is lost on the way out.
std::string Cp1252ToUtf8(std::string_view text);

// UTF-8 text as Windows-1252 bytes in *out: the exact reverse of Cp1252ToUtf8. False, *out
// unchanged, when the text is not well-formed UTF-8 (overlong forms, surrogates, characters
// past U+10FFFF, cut sequences) or holds a character that has no Windows-1252 byte.
bool Utf8ToCp1252(std::string_view text, std::string* out);
// As Utf8ToCp1252, but a character that has no Windows-1252 byte becomes `replacement`, one
// for each character, as an ANSI edit box of Windows takes typed or pasted text; false only
// for text that is not well-formed UTF-8.
bool Utf8ToCp1252Replacing(std::string_view text, std::string* out, char replacement = '?');

}  // namespace qv::text
