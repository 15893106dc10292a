#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

// Fuzz input written to a file of its own (the engines read files), removed at exit.
class FuzzInputFile {
public:
    explicit FuzzInputFile(const char* suffix) {
        const std::string folder = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
        name_ = folder + "/qpfuzz-" + std::to_string(getpid()) + suffix;
        output_ = folder + "/qpfuzz-" + std::to_string(getpid()) + "-out.APF";
    }
    ~FuzzInputFile() {
        std::remove(name_.c_str());
        std::remove(output_.c_str());
    }
    const std::string& Write(const std::uint8_t* data, std::size_t size) {
        std::FILE* file = std::fopen(name_.c_str(), "wb");
        if (file) {
            std::fwrite(data, 1, size, file);
            std::fclose(file);
        }
        return name_;
    }
    const std::string& Output() const { return output_; }

private:
    std::string name_;
    std::string output_;
};
