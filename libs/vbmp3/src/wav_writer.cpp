#include "wav_writer.h"

#include <cstring>

namespace vbmp3 {
namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - (kHeaderBytes - 8);

void put16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, std::uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

} // namespace

WavWriter::~WavWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool WavWriter::open(const std::string& path, long rate, int channels) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    unsigned char h[kHeaderBytes] = {};
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, kHeaderBytes - 8);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1); // PCM
    put16(h + 22, static_cast<std::uint32_t>(channels));
    put32(h + 24, static_cast<std::uint32_t>(rate));
    put32(h + 28, static_cast<std::uint32_t>(rate * channels * 2));
    put16(h + 32, static_cast<std::uint32_t>(channels * 2));
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    return std::fwrite(h, 1, sizeof h, file_) == sizeof h;
}

bool WavWriter::write(const void* data, std::size_t bytes) {
    if (dataBytes_ + bytes > kMaxDataBytes) {
        tooLong_ = true;
        return false;
    }
    dataBytes_ += bytes;
    return std::fwrite(data, 1, bytes, file_) == bytes;
}

bool WavWriter::finish() {
    unsigned char size[4];
    bool ok = std::fflush(file_) == 0;
    put32(size, static_cast<std::uint32_t>(kHeaderBytes - 8 + dataBytes_));
    ok = ok && std::fseek(file_, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
    put32(size, static_cast<std::uint32_t>(dataBytes_));
    ok = ok && std::fseek(file_, 40, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

} // namespace vbmp3
