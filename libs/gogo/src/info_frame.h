// The Info frame of a constant-bit-rate stream whose frames are too small for the one LAME writes.
//
// LAME puts its Info tag (frame count, encoder delay and padding, which decoders need to give back the
// exact number of samples) only into a first frame that holds the whole Xing layout with its 100-byte
// seek table. At 32 to 48 kbit/s (and 56 kbit/s in stereo) the frames are smaller, and LAME leaves the
// tag out. A constant bit rate needs no seek table, and without it the tag fits every frame size: this
// builds that frame, at the stream's own bit rate, for the encoder to put in front of the audio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gogo {

// CRC-16 as the LAME tag's two checksums use it (polynomial 0x8005, bits reflected, starting at 0).
std::uint16_t crc16(std::uint16_t crc, const unsigned char* data, std::size_t length);

// Frame length of MPEG-1 Layer III at `kbps` and `sampleRate` without the padding byte.
std::size_t frameLength(int kbps, int sampleRate);

// True when LAME's own Info frame does not fit a frame of `kbps` (MPEG-1 Layer III, side information
// of 17 bytes for one channel, 32 for two).
bool lameTagDoesNotFit(int kbps, int sampleRate, bool mono);

struct InfoFrameFields {
    unsigned char firstHeader[4] = {}; // the header of the first audio frame, for version, rate and mode
    int kbps = 0;
    std::uint32_t frames = 0;      // audio frames after the Info frame
    std::uint32_t streamBytes = 0; // the Info frame and the audio frames
    std::uint32_t quality = 0;     // the Xing quality field, as LAME fills it
    std::string encoder;           // up to 9 characters, e.g. "LAME3.100"
    int lowpassHz = 0;
    int encoderDelay = 0;       // samples LAME put before the music
    int encoderPadding = 0;     // samples after it, to fill the last frame
    std::uint16_t musicCrc = 0; // CRC-16 of the audio frames
};

// The whole frame, `frameLength(kbps, rate)` bytes: the header (padding off), empty side information,
// "Info" with the frame count, the byte count and the quality (no seek table), then the LAME extension
// with the delay, the padding, the music length and both checksums.
std::vector<unsigned char> buildInfoFrame(const InfoFrameFields& fields);

} // namespace gogo
