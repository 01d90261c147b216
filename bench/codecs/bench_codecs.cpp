// Decode and encode speed through the codec libraries (as the program calls them) against direct
// libmpg123 and LAME calls doing the same work, in the same run. Prints times real time and the
// libraries' overhead; the goal is an overhead under 5%.
//
// Usage: bench_codecs [seconds of audio, default 60] [rounds, default 7]
#include "codecs/decoder.h"
#include "codecs/encoder.h"
#include "mp3_fixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <lame/lame.h>
#include <mpg123.h>
#include <vector>

namespace {

// The program's decode loop, polling until the library's thread is done; the poller yields so that on a
// busy machine it measures the library rather than the competition for a core.
bool decodeThroughLibrary(const QString& mp3, const QString& wav) {
    codecs::Decoder decoder;
    codecs::InputInfo info;
    bool ok = decoder.init() && decoder.open(mp3, info);
    if (ok) {
        ok = decoder.decodeWave(wav);
        int position = 0;
        while (decoder.getState(position) == 1) {
            QThread::yieldCurrentThread();
        }
        ok = decoder.getState(position) == 0 && ok;
    }
    decoder.close();
    decoder.free();
    return ok;
}

void put32(unsigned char* p, unsigned v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

// The same job done directly: exact length scan, 16-bit output, WAV file with a final header.
bool decodeDirectly(const QString& mp3, const QString& wav) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    bool ok = mpg123_open(mh, QFile::encodeName(mp3).constData()) == MPG123_OK &&
              mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK;
    mpg123_format_none(mh);
    mpg123_format(mh, rate, channels, MPG123_ENC_SIGNED_16);
    ok = ok && mpg123_scan(mh) == MPG123_OK && mpg123_length(mh) > 0;
    std::FILE* out = std::fopen(QFile::encodeName(wav).constData(), "wb");
    std::setvbuf(out, nullptr, _IOFBF, 1 << 16);
    unsigned char header[44] = {'R',
                                'I',
                                'F',
                                'F',
                                0,
                                0,
                                0,
                                0,
                                'W',
                                'A',
                                'V',
                                'E',
                                'f',
                                'm',
                                't',
                                ' ',
                                16,
                                0,
                                0,
                                0,
                                1,
                                0,
                                static_cast<unsigned char>(channels)};
    put32(header + 24, static_cast<unsigned>(rate));
    put32(header + 28, static_cast<unsigned>(rate * channels * 2));
    header[32] = static_cast<unsigned char>(channels * 2);
    header[34] = 16;
    std::memcpy(header + 36, "data", 4);
    std::fwrite(header, 1, sizeof header, out);
    std::vector<unsigned char> buffer(1 << 16);
    unsigned dataBytes = 0;
    for (int rc = MPG123_OK; ok && rc != MPG123_DONE;) {
        std::size_t done = 0;
        rc = mpg123_read(mh, buffer.data(), buffer.size(), &done);
        ok = (rc == MPG123_OK || rc == MPG123_DONE || rc == MPG123_NEW_FORMAT) &&
             std::fwrite(buffer.data(), 1, done, out) == done;
        dataBytes += static_cast<unsigned>(done);
    }
    put32(header + 4, dataBytes + 36);
    put32(header + 40, dataBytes);
    std::fseek(out, 0, SEEK_SET);
    std::fwrite(header, 1, sizeof header, out);
    ok = std::fclose(out) == 0 && ok;
    mpg123_delete(mh);
    return ok;
}

bool encodeThroughLibrary(const QString& wav, const QString& mp3) {
    codecs::Encoder encoder;
    if (encoder.initializeWork() != 0) {
        return false;
    }
    static_cast<void>(encoder.getUnitStates()); // a step of the protocol; its report is not needed
    int rc = encoder.setConfigure(codecs::Encoder::InputFile, 0, wav) |
             encoder.setConfigure(codecs::Encoder::OutputFile, 0, mp3) |
             encoder.setConfigure(codecs::Encoder::OutputRate, 44100) |
             encoder.setConfigure(codecs::Encoder::Mode, 2) |
             encoder.setConfigure(codecs::Encoder::BitRate, 128);
    if (rc == 0)
        rc = encoder.detectConfigure();
    int frames = 0;
    if (rc == 0)
        rc = encoder.getConfigure(codecs::Encoder::FrameCount, frames);
    if (rc == 0) {
        while ((rc = encoder.processFrame()) == 0) {
        }
    }
    encoder.closeCoder();
    encoder.endCoder();
    return rc == 1;
}

void silent(const char*, va_list) {}

bool encodeDirectly(const QString& wav, const QString& mp3) {
    const QByteArray pcmFile = fixtures::readFile(wav);
    const auto header = fixtures::readWavHeader(pcmFile);
    if (!header || header->channels != 2) {
        return false;
    }
    lame_t lame = lame_init();
    lame_set_errorf(lame, silent);
    lame_set_msgf(lame, silent);
    lame_set_debugf(lame, silent);
    lame_set_num_channels(lame, 2);
    lame_set_in_samplerate(lame, header->sampleRate);
    lame_set_out_samplerate(lame, 44100);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 4); // as the program encodes CBR
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_bWriteVbrTag(lame, 1);
    lame_init_params(lame);
    std::FILE* out = std::fopen(QFile::encodeName(mp3).constData(), "wb");
    const auto* pcm = reinterpret_cast<const short*>(pcmFile.constData() + header->dataOffset);
    const qint64 samples = header->dataBytes / 4;
    std::vector<unsigned char> buffer(16384);
    for (qint64 at = 0; at < samples; at += 1152) {
        const int n = static_cast<int>(std::min<qint64>(1152, samples - at));
        const int bytes = lame_encode_buffer_interleaved(lame, const_cast<short*>(pcm + 2 * at), n,
                                                         buffer.data(), static_cast<int>(buffer.size()));
        std::fwrite(buffer.data(), 1, static_cast<std::size_t>(bytes), out);
    }
    const int bytes = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    std::fwrite(buffer.data(), 1, static_cast<std::size_t>(bytes), out);
    const std::size_t tag = lame_get_lametag_frame(lame, buffer.data(), buffer.size());
    std::fseek(out, 0, SEEK_SET);
    std::fwrite(buffer.data(), 1, tag, out);
    lame_close(lame);
    return std::fclose(out) == 0;
}

// Best of the rounds, in seconds; negative when a run failed.
template <typename Job> double bestTime(int rounds, Job job) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!job()) {
            return -1;
        }
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

void report(const char* what, double seconds, double library, double direct) {
    std::printf(
        "%-7s library %7.1fx real time (%.3f s)   direct %7.1fx real time (%.3f s)   overhead %+.1f%%\n",
        what, seconds / library, library, seconds / direct, direct, (library / direct - 1.0) * 100.0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    QTemporaryDir dir;
    const QString mp3 = dir.filePath(QStringLiteral("source.mp3"));
    const QString wav = dir.filePath(QStringLiteral("decoded.wav"));
    const QString out = dir.filePath(QStringLiteral("encoded.mp3"));
    if (!fixtures::writeFile(mp3, fixtures::makeMp3({44100, 2, 192, false, 4, seconds}).bytes)) {
        return 1;
    }
    std::printf("%.0f s of 44100 Hz stereo audio, best of %d rounds\n", seconds, rounds);
    // Interleave the rounds of both sides so that a busy machine hurts both alike.
    double decodeLib = 1e9, decodeDirect = 1e9, encodeLib = 1e9, encodeDirect = 1e9;
    for (int i = 0; i < rounds; ++i) {
        decodeLib = std::min(decodeLib, bestTime(1, [&] { return decodeThroughLibrary(mp3, wav); }));
        decodeDirect = std::min(decodeDirect, bestTime(1, [&] { return decodeDirectly(mp3, wav); }));
        encodeLib = std::min(encodeLib, bestTime(1, [&] { return encodeThroughLibrary(wav, out); }));
        encodeDirect = std::min(encodeDirect, bestTime(1, [&] { return encodeDirectly(wav, out); }));
    }
    if (decodeLib < 0 || decodeDirect < 0 || encodeLib < 0 || encodeDirect < 0) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    report("decode", seconds, decodeLib, decodeDirect);
    report("encode", seconds, encodeLib, encodeDirect);
    return 0;
}
