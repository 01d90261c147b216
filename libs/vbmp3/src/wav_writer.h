// A 16-bit PCM WAV file written front to back, its RIFF sizes filled in when it is finished.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vbmp3 {

class WavWriter {
  public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the file and writes a header with provisional sizes.
    bool open(const std::string& path, long rate, int channels);
    // False on a write error, or when the data would overflow RIFF's 32-bit sizes (tooLong() then says so).
    bool write(const void* data, std::size_t bytes);
    // Writes the final sizes and closes the file; false when any of it failed (a full disk shows here).
    bool finish();
    bool tooLong() const { return tooLong_; }

  private:
    std::FILE* file_ = nullptr;
    std::uint64_t dataBytes_ = 0;
    bool tooLong_ = false;
};

} // namespace vbmp3
