#pragma once

#include <string>
#include <vector>

// A settings file in the classic sectioned key=value format, read and written with the
// semantics of the Windows private-profile calls:
// - section and key names are matched without regard to case;
// - writing a key replaces its value in place, or adds it at the end of its section
//   (adding the section at the end of the file when missing); every other line, including
//   sections and keys this program does not know, is kept as it was;
// - text values are read up to 1023 characters, with blanks around them removed;
// - integers are read leniently ("0x"/"0X" hexadecimal; anything that is not a number
//   gives the default) and written in decimal; booleans are written "1"/"0" and read as
//   true for any non-zero integer.
// Changes stay in memory until Save(), which writes a temporary file and renames it over
// the settings file, so a crash never leaves a half-written file.
class IniFile {
public:
    static constexpr std::size_t MaxValueLength = 1023;

    // Loads `path` when it exists; a missing file is an empty one.
    explicit IniFile(std::string path);

    const std::string& FileName() const { return path_; }

    bool HasKey(const std::string& section, const std::string& key) const;
    bool HasSection(const std::string& section) const;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    void EraseSection(const std::string& section);

    // Writes the file; throws IniWriteError naming the file when the system refuses.
    void Save() const;

    // Parses an integer the way ReadInteger does; false when the text is not a number.
    static bool ParseInteger(const std::string& text, int& value);

private:
    struct Line {
        std::string text;
    };
    // Index of the section header line, or -1.
    int FindSection(const std::string& section) const;
    // Index of the key's line within the section starting at `sectionLine`, or -1.
    int FindKey(int sectionLine, const std::string& key) const;
    int SectionEnd(int sectionLine) const;

    std::string path_;
    std::vector<std::string> lines_;
};

// Raised when the settings file cannot be written; the message names the file.
class IniWriteError : public std::exception {
public:
    explicit IniWriteError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};
