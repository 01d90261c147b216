// The library reads files by name: each input goes into one file of this process.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <unistd.h>

inline const std::string& fuzzFile(const unsigned char* data, std::size_t size) {
    static const std::string path = "/tmp/mp3recast-fuzz-" + std::to_string(::getpid()) + ".mp3";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    return path;
}
