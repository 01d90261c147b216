#include "info_frame.h"

#include <algorithm>
#include <cstring>

namespace gogo {
namespace {

constexpr std::size_t kXingFieldsWithoutToc = 4 + 4 + 4 + 4 + 4; // "Info", flags, frames, bytes, quality
constexpr std::size_t kLameExtension = 36;
constexpr std::uint32_t kFramesFlag = 0x1, kBytesFlag = 0x2, kQualityFlag = 0x8;

std::size_t sideInformation(bool mono) {
    return mono ? 17 : 32;
}

void putBigEndian32(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

void putBigEndian16(unsigned char* at, std::uint16_t value) {
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

// The LAME extension's code for the sampling rate: 0 up to 32 kHz, 1 for 44.1 kHz, 2 for 48 kHz.
int sampleRateCode(int sampleRate) {
    return sampleRate == 48000 ? 2 : sampleRate == 44100 ? 1 : 0;
}

} // namespace

std::uint16_t crc16(std::uint16_t crc, const unsigned char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::size_t frameLength(int kbps, int sampleRate) {
    return static_cast<std::size_t>(144000 * kbps / sampleRate);
}

bool lameTagDoesNotFit(int kbps, int sampleRate, bool mono) {
    // LAME's layout: header, side information, the Xing fields with the seek table (120 bytes), and its
    // 36-byte extension.
    return frameLength(kbps, sampleRate) < 4 + sideInformation(mono) + 120 + kLameExtension;
}

std::vector<unsigned char> buildInfoFrame(const InfoFrameFields& fields) {
    const bool mono = (fields.firstHeader[3] >> 6) == 3;
    const int sampleRate = fields.firstHeader[2] >> 2 & 3;
    const int rates[] = {44100, 48000, 32000};
    std::vector<unsigned char> frame(frameLength(fields.kbps, rates[std::min(sampleRate, 2)]), 0);
    // The first frame's header, without its padding byte and its mode extension: the frame holds no sound.
    std::memcpy(frame.data(), fields.firstHeader, 4);
    frame[2] &= 0xFD;
    frame[3] &= 0xCF;

    unsigned char* at = frame.data() + 4 + sideInformation(mono);
    std::memcpy(at, "Info", 4);
    putBigEndian32(at + 4, kFramesFlag | kBytesFlag | kQualityFlag);
    putBigEndian32(at + 8, fields.frames);
    putBigEndian32(at + 12, fields.streamBytes);
    putBigEndian32(at + 16, fields.quality);

    unsigned char* lame = at + kXingFieldsWithoutToc;
    std::memcpy(lame, fields.encoder.data(), std::min<std::size_t>(fields.encoder.size(), 9));
    lame[9] = 0x01; // tag revision 0, constant bit rate
    lame[10] = static_cast<unsigned char>(std::clamp((fields.lowpassHz + 50) / 100, 0, 255));
    // Peak and replay gains stay 0: not measured. No flags; ATH type 4, LAME's default.
    lame[19] = 0x04;
    lame[20] = static_cast<unsigned char>(std::min(fields.kbps, 255));
    const int delay = std::clamp(fields.encoderDelay, 0, 4095);
    const int padding = std::clamp(fields.encoderPadding, 0, 4095);
    lame[21] = static_cast<unsigned char>(delay >> 4);
    lame[22] = static_cast<unsigned char>((delay & 0x0F) << 4 | padding >> 8);
    lame[23] = static_cast<unsigned char>(padding);
    lame[24] = static_cast<unsigned char>(sampleRateCode(rates[std::min(sampleRate, 2)]) << 6);
    putBigEndian32(lame + 28, fields.streamBytes);
    putBigEndian16(lame + 32, fields.musicCrc);
    const std::size_t tagEnd = static_cast<std::size_t>(lame + 34 - frame.data());
    putBigEndian16(lame + 34, crc16(0, frame.data(), tagEnd));
    return frame;
}

} // namespace gogo
