// Reads the samples of a 16-bit PCM WAV file (plain or WAVE_FORMAT_EXTENSIBLE), mono or stereo.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace gogo {

class WavReader {
  public:
    WavReader() = default;
    ~WavReader() { close(); }
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // False when the file is missing or not a 16-bit PCM WAV with one or two channels.
    bool open(const std::string& path);
    void close();

    int rate() const { return rate_; }
    int channels() const { return channels_; }
    // Samples per channel in the data chunk (a size the file cannot hold is cut to what it holds).
    std::int64_t samples() const { return samples_; }

    // Reads exactly `count` interleaved sample frames; false on a read error or an early end.
    bool read(std::int16_t* out, std::int64_t count);

  private:
    std::FILE* file_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    std::int64_t samples_ = 0;
};

} // namespace gogo
