#include "common/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <unistd.h>

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The section name of a "[name]" line, or false when the line is no section header.
bool SectionName(const std::string& line, std::string& name) {
    const std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') {
        return false;
    }
    const auto close = trimmed.find(']');
    if (close == std::string::npos) {
        return false;
    }
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

// Splits a "key=value" line; false for comments and lines without "=".
bool KeyAndValue(const std::string& line, std::string& key, std::string& value) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') {
        return false;
    }
    const auto equals = trimmed.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    key = Trim(trimmed.substr(0, equals));
    value = Trim(trimmed.substr(equals + 1));
    return true;
}

} // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines_.push_back(line);
    }
}

int IniFile::FindSection(const std::string& section) const {
    std::string name;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (SectionName(lines_[i], name) && EqualNoCase(name, section)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int IniFile::SectionEnd(int sectionLine) const {
    std::string name;
    std::size_t i = static_cast<std::size_t>(sectionLine) + 1;
    while (i < lines_.size() && !SectionName(lines_[i], name)) {
        ++i;
    }
    return static_cast<int>(i);
}

int IniFile::FindKey(int sectionLine, const std::string& key) const {
    const int end = SectionEnd(sectionLine);
    std::string name, value;
    for (int i = sectionLine + 1; i < end; ++i) {
        if (KeyAndValue(lines_[static_cast<std::size_t>(i)], name, value) &&
            EqualNoCase(name, key)) {
            return i;
        }
    }
    return -1;
}

bool IniFile::HasSection(const std::string& section) const {
    return FindSection(section) >= 0;
}

bool IniFile::HasKey(const std::string& section, const std::string& key) const {
    const int sectionLine = FindSection(section);
    return sectionLine >= 0 && FindKey(sectionLine, key) >= 0;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    const int sectionLine = FindSection(section);
    if (sectionLine < 0) {
        return defaultValue;
    }
    const int keyLine = FindKey(sectionLine, key);
    if (keyLine < 0) {
        return defaultValue;
    }
    std::string name, value;
    KeyAndValue(lines_[static_cast<std::size_t>(keyLine)], name, value);
    // A value in matching quotes is read without them, as the system call does.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    if (value.size() > MaxValueLength) {
        value.resize(MaxValueLength);
    }
    return value;
}

bool IniFile::ParseInteger(const std::string& text, int& value) {
    std::string digits = Trim(text);
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.erase(0, 1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.erase(0, 2);
    } else if (digits.size() > 1 && digits[0] == '$') {
        base = 16;
        digits.erase(0, 1);
    }
    if (digits.empty()) {
        return false;
    }
    long long result = 0;
    for (char c : digits) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        result = result * base + digit;
        // Hexadecimal values may use all 32 bits (0xFFFFFFFF is -1), decimal ones may not.
        const long long limit = base == 16 ? 0xFFFFFFFFLL : std::numeric_limits<int>::max() + 1LL;
        if (result > limit) {
            return false;
        }
    }
    if (negative) {
        result = -result;
    }
    if (base == 16 && result > std::numeric_limits<int>::max()) {
        result -= 0x100000000LL;
    }
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max()) {
        return false;
    }
    value = static_cast<int>(result);
    return true;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key,
                         int defaultValue) const {
    int value = defaultValue;
    if (!ParseInteger(ReadString(section, key, ""), value)) {
        return defaultValue;
    }
    return value;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key,
                       bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    int sectionLine = FindSection(section);
    if (sectionLine < 0) {
        if (!lines_.empty() && !Trim(lines_.back()).empty()) {
            lines_.emplace_back();
        }
        lines_.push_back("[" + section + "]");
        lines_.push_back(key + "=" + value);
        return;
    }
    const int keyLine = FindKey(sectionLine, key);
    if (keyLine >= 0) {
        // Keep the key's spelling as it stands in the file.
        std::string name, old;
        KeyAndValue(lines_[static_cast<std::size_t>(keyLine)], name, old);
        lines_[static_cast<std::size_t>(keyLine)] = name + "=" + value;
        return;
    }
    // Add after the section's last non-blank line.
    int insertAt = SectionEnd(sectionLine);
    while (insertAt - 1 > sectionLine &&
           Trim(lines_[static_cast<std::size_t>(insertAt - 1)]).empty()) {
        --insertAt;
    }
    lines_.insert(lines_.begin() + insertAt, key + "=" + value);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(const std::string& section) {
    const int sectionLine = FindSection(section);
    if (sectionLine < 0) {
        return;
    }
    lines_.erase(lines_.begin() + sectionLine, lines_.begin() + SectionEnd(sectionLine));
}

void IniFile::Save() const {
    const std::string temporary = path_ + ".tmp";
    auto fail = [&](const char* what) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        throw IniWriteError("Unable to write the settings file " + path_ + " (" + what + ": " +
                            reason + ")");
    };
    // A settings file the user may not write is refused even though renaming over it
    // would succeed.
    if (access(path_.c_str(), F_OK) == 0 && access(path_.c_str(), W_OK) != 0) {
        fail("write");
    }
    FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) {
        fail("create");
    }
    for (const auto& line : lines_) {
        if (std::fputs(line.c_str(), out) < 0 || std::fputs("\r\n", out) < 0) {
            std::fclose(out);
            fail("write");
        }
    }
    if (std::fflush(out) != 0 || fsync(fileno(out)) != 0) {
        std::fclose(out);
        fail("write");
    }
    if (std::fclose(out) != 0) {
        fail("write");
    }
    if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
        fail("rename");
    }
}
