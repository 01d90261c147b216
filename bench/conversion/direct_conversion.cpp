#include "direct_conversion.h"

#include <QFile>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <lame/lame.h>
#include <mpg123.h>
#include <vector>

namespace {

void put32(unsigned char* p, unsigned v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void wavHeader(unsigned char* h, long rate, int channels, unsigned dataBytes) {
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    h[20] = 1, h[21] = 0, h[22] = static_cast<unsigned char>(channels), h[23] = 0;
    put32(h + 24, static_cast<unsigned>(rate));
    put32(h + 28, static_cast<unsigned>(rate * channels * 2));
    h[32] = static_cast<unsigned char>(channels * 2), h[33] = 0, h[34] = 16, h[35] = 0;
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes);
}

bool decode(const QString& mp3, const QString& wav, long& rate, int& channels) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    int encoding = 0;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    bool ok = mpg123_open(mh, QFile::encodeName(mp3).constData()) == MPG123_OK &&
              mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK;
    mpg123_format_none(mh);
    mpg123_format(mh, rate, channels, MPG123_ENC_SIGNED_16);
    ok = ok && mpg123_scan(mh) == MPG123_OK;
    std::FILE* out = std::fopen(QFile::encodeName(wav).constData(), "wb");
    unsigned char header[44] = {};
    ok = ok && out && std::fwrite(header, 1, 44, out) == 44;
    std::vector<unsigned char> buffer(1 << 16);
    unsigned dataBytes = 0;
    while (ok) {
        size_t done = 0;
        const int rc = mpg123_read(mh, buffer.data(), buffer.size(), &done);
        if (done > 0) {
            ok = std::fwrite(buffer.data(), 1, done, out) == done;
            dataBytes += static_cast<unsigned>(done);
        }
        if (rc == MPG123_DONE)
            break;
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)
            ok = false;
    }
    wavHeader(header, rate, channels, dataBytes);
    ok = ok && std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(header, 1, 44, out) == 44;
    if (out)
        ok = std::fclose(out) == 0 && ok;
    mpg123_close(mh);
    mpg123_delete(mh);
    return ok;
}

bool encode(const QString& wav, const QString& mp3, long rate, int channels, int bitRate) {
    std::FILE* in = std::fopen(QFile::encodeName(wav).constData(), "rb");
    std::FILE* out = std::fopen(QFile::encodeName(mp3).constData(), "wb+");
    if (!in || !out)
        return false;
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, static_cast<int>(rate));
    lame_set_num_channels(lame, channels);
    lame_set_out_samplerate(lame, 44100);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_brate(lame, bitRate);
    lame_set_quality(lame, 4); // as the program encodes CBR
    lame_set_bWriteVbrTag(lame, 1);
    bool ok = lame_init_params(lame) >= 0 && std::fseek(in, 44, SEEK_SET) == 0;
    std::vector<short> pcm(1152 * 2 * 4);
    std::vector<unsigned char> encoded(1 << 17);
    while (ok) {
        const size_t frames = std::fread(pcm.data(), 2 * channels, pcm.size() / 2, in);
        if (frames == 0)
            break;
        const int n = channels == 2 ? lame_encode_buffer_interleaved(lame, pcm.data(), int(frames),
                                                                     encoded.data(), int(encoded.size()))
                                    : lame_encode_buffer(lame, pcm.data(), pcm.data(), int(frames),
                                                         encoded.data(), int(encoded.size()));
        ok = n >= 0 && std::fwrite(encoded.data(), 1, size_t(n), out) == size_t(n);
    }
    const int tail = lame_encode_flush(lame, encoded.data(), int(encoded.size()));
    ok = ok && tail >= 0 && std::fwrite(encoded.data(), 1, size_t(tail), out) == size_t(tail);
    const size_t tagBytes = lame_get_lametag_frame(lame, encoded.data(), encoded.size());
    ok = ok && std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(encoded.data(), 1, tagBytes, out) == tagBytes;
    lame_close(lame);
    std::fclose(in);
    return std::fclose(out) == 0 && ok;
}

} // namespace

bool convertDirectly(const QString& mp3, const QString& wav, const QString& out, int bitRate) {
    long rate = 0;
    int channels = 0;
    const bool ok = decode(mp3, wav, rate, channels) && encode(wav, out, rate, channels, bitRate);
    QFile::remove(wav);
    return ok;
}

bool writeLongMp3(const QString& path, int seconds) {
    std::FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, 44100);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 192);
    lame_set_quality(lame, 7);
    bool ok = lame_init_params(lame) >= 0;
    std::vector<short> left(44100), right(44100);
    std::vector<unsigned char> encoded(1 << 18);
    for (int s = 0; ok && s < seconds; ++s) {
        for (int i = 0; i < 44100; ++i) {
            const double t = (s * 44100.0 + i) / 44100.0;
            left[i] = short(8000 * std::sin(2 * M_PI * 440 * t));
            right[i] = short(8000 * std::sin(2 * M_PI * 660 * t));
        }
        const int n =
            lame_encode_buffer(lame, left.data(), right.data(), 44100, encoded.data(), int(encoded.size()));
        ok = n >= 0 && std::fwrite(encoded.data(), 1, size_t(n), out) == size_t(n);
    }
    const int tail = lame_encode_flush(lame, encoded.data(), int(encoded.size()));
    ok = ok && tail >= 0 && std::fwrite(encoded.data(), 1, size_t(tail), out) == size_t(tail);
    lame_close(lame);
    return std::fclose(out) == 0 && ok;
}
