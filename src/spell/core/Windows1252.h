#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversions between UTF-8 (the command line, the word list, the editor's text through
// Qt) and Windows-1252, the character set of the dictionary files.
namespace Windows1252 {

// The Windows-1252 bytes of a UTF-8 text, or nothing when it holds a character that
// Windows-1252 lacks (or is not valid UTF-8).
std::optional<std::string> FromUtf8(std::string_view utf8);

// The number of characters in a UTF-8 text (bytes that do not continue a character).
std::size_t CharacterCount(std::string_view utf8);

// The UTF-8 form of Windows-1252 bytes (bytes the code page leaves undefined become
// U+FFFD).
std::string ToUtf8(std::string_view bytes);

} // namespace Windows1252
