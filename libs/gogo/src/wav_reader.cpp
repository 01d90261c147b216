#include "wav_reader.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace gogo {
namespace {

std::uint32_t le16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}

std::uint32_t le32(const unsigned char* p) {
    return le16(p) | (le16(p + 2) << 16);
}

constexpr std::uint32_t kFormatPcm = 1;
constexpr std::size_t kReadBuffer = std::size_t(1) << 20;
constexpr std::uint32_t kFormatExtensible = 0xFFFE;

} // namespace

bool WavReader::open(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "rb");
    struct stat st {};
    if (file_ == nullptr || ::fstat(fileno(file_), &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        return false;
    }
    // stdio's default 4 KB buffer turns a four-minute WAV into thousands of small reads; one frame's
    // samples are 4.6 KB, so a larger buffer makes each read carry many frames.
    std::setvbuf(file_, nullptr, _IOFBF, kReadBuffer);
    unsigned char riff[12];
    if (std::fread(riff, 1, 12, file_) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        close();
        return false;
    }
    bool haveFormat = false;
    std::int64_t at = 12;
    for (;;) {
        unsigned char chunk[8];
        if (std::fseek(file_, static_cast<long>(at), SEEK_SET) != 0 || std::fread(chunk, 1, 8, file_) != 8) {
            break;
        }
        const std::uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16 && size <= 64) {
            unsigned char fmt[64];
            if (std::fread(fmt, 1, size, file_) != size) {
                break;
            }
            std::uint32_t tag = le16(fmt);
            if (tag == kFormatExtensible && size >= 26) {
                tag = le16(fmt + 24); // first two bytes of the sub-format GUID
            }
            rate_ = static_cast<int>(le32(fmt + 4));
            channels_ = static_cast<int>(le16(fmt + 2));
            haveFormat = tag == kFormatPcm && le16(fmt + 14) == 16 && (channels_ == 1 || channels_ == 2) &&
                         rate_ >= 8000 && rate_ <= 192000;
        } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
            // Streams written without a final size (0 or 0xFFFFFFFF) run to the end of the file.
            const std::int64_t available = static_cast<std::int64_t>(st.st_size) - (at + 8);
            const std::int64_t bytes = size == 0 || size > available ? available : size;
            samples_ = bytes / (2 * channels_);
            return true;
        }
        at += 8 + size + (size & 1); // chunks are word aligned
    }
    close();
    return false;
}

void WavReader::close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    rate_ = channels_ = 0;
    samples_ = 0;
}

bool WavReader::read(std::int16_t* out, std::int64_t count) {
    const std::size_t values = static_cast<std::size_t>(count) * static_cast<std::size_t>(channels_);
    if (file_ == nullptr || std::fread(out, sizeof *out, values, file_) != values) {
        return false;
    }
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (std::size_t i = 0; i < values; ++i) {
        out[i] = static_cast<std::int16_t>(__builtin_bswap16(static_cast<std::uint16_t>(out[i])));
    }
#endif
    return true;
}

} // namespace gogo
