#pragma once

#include <string>

// Windows code page 1252: the character set of table fields and keys, of "\ansi" RTF
// documents and their "\'hh" escapes.

// The Unicode character of a byte; undefined bytes of the code page map to themselves.
char32_t DecodeCp1252(unsigned char byte);

// The byte of a character, or -1 when the code page has none.
int EncodeCp1252(char32_t ch);

// UTF-8 <-> UTF-32 for names and text handed in and out of the model. Malformed UTF-8
// sequences become U+FFFD.
std::string ToUtf8(const std::u32string& text);

// Appends the UTF-8 form of one character.
void AppendUtf8(std::string& out, char32_t ch);
std::u32string FromUtf8(const std::string& text);
