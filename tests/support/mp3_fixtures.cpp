#include "mp3_fixtures.h"

#include <QProcess>
#include <QStringEncoder>
#include <cmath>
#include <cstdarg>
#include <iconv.h>
#include <lame/lame.h>
#include <vector>

namespace fixtures {
namespace {

void silent(const char*, va_list) {}

std::vector<short> sineSamples(int sampleRate, int channels, qint64 samples, double frequency) {
    std::vector<short> pcm(static_cast<std::size_t>(samples * channels));
    for (qint64 i = 0; i < samples; ++i) {
        const double value = 12000.0 * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / sampleRate);
        for (int c = 0; c < channels; ++c) {
            // A slightly different level per channel keeps stereo encoders honest.
            pcm[static_cast<std::size_t>(i * channels + c)] = static_cast<short>(value / (c + 1));
        }
    }
    return pcm;
}

void put32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i) {
        out.append(static_cast<char>(v >> (8 * i)));
    }
}

void put16(QByteArray& out, quint32 v) {
    out.append(static_cast<char>(v));
    out.append(static_cast<char>(v >> 8));
}

QByteArray synchsafe(quint32 v) {
    QByteArray out;
    for (int shift = 21; shift >= 0; shift -= 7) {
        out.append(static_cast<char>((v >> shift) & 0x7F));
    }
    return out;
}

QByteArray bigEndian(quint32 v, int bytes) {
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i) {
        out.append(static_cast<char>(v >> (8 * i)));
    }
    return out;
}

QByteArray fixedField(const QByteArray& bytes, int size) {
    return bytes.left(size).leftJustified(size, '\0');
}

} // namespace

Mp3 makeMp3(const ToneSpec& spec) {
    Mp3 result;
    result.samples = std::llround(spec.seconds * spec.sampleRate);
    lame_t lame = lame_init();
    lame_set_errorf(lame, silent);
    lame_set_debugf(lame, silent);
    lame_set_msgf(lame, silent);
    lame_set_in_samplerate(lame, spec.sampleRate);
    lame_set_out_samplerate(lame, spec.sampleRate);
    lame_set_num_channels(lame, spec.channels);
    lame_set_mode(lame, spec.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(lame, 7);
    if (spec.vbr) {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_q(lame, spec.vbrQuality);
    } else {
        lame_set_brate(lame, spec.bitRate);
    }
    lame_set_bWriteVbrTag(lame, spec.infoTag ? 1 : 0);
    lame_set_error_protection(lame, spec.crc ? 1 : 0);
    lame_set_free_format(lame, spec.freeFormat ? 1 : 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return {};
    }
    const std::vector<short> pcm =
        sineSamples(spec.sampleRate, spec.channels, result.samples, spec.frequency);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(result.samples) * 5 / 4 + 7200 * 2);
    int bytes = spec.channels == 2
                    ? lame_encode_buffer_interleaved(lame, const_cast<short*>(pcm.data()),
                                                     static_cast<int>(result.samples), buffer.data(),
                                                     static_cast<int>(buffer.size()))
                    : lame_encode_buffer(lame, pcm.data(), pcm.data(), static_cast<int>(result.samples),
                                         buffer.data(), static_cast<int>(buffer.size()));
    result.bytes.append(reinterpret_cast<const char*>(buffer.data()), bytes);
    bytes = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    result.bytes.append(reinterpret_cast<const char*>(buffer.data()), bytes);
    if (spec.infoTag) {
        // LAME left a placeholder first frame; the finished tag replaces it.
        const std::size_t tag = lame_get_lametag_frame(lame, buffer.data(), buffer.size());
        result.bytes.replace(
            0, static_cast<qsizetype>(tag),
            QByteArray(reinterpret_cast<const char*>(buffer.data()), static_cast<qsizetype>(tag)));
    }
    lame_close(lame);
    return result;
}

QByteArray makeWav(int sampleRate, int channels, qint64 samples, double frequency) {
    const std::vector<short> pcm = sineSamples(sampleRate, channels, samples, frequency);
    const auto dataBytes = static_cast<quint32>(pcm.size() * 2);
    QByteArray wav("RIFF");
    put32(wav, 36 + dataBytes);
    wav.append("WAVEfmt ");
    put32(wav, 16);
    put16(wav, 1);
    put16(wav, static_cast<quint32>(channels));
    put32(wav, static_cast<quint32>(sampleRate));
    put32(wav, static_cast<quint32>(sampleRate * channels * 2));
    put16(wav, static_cast<quint32>(channels * 2));
    put16(wav, 16);
    wav.append("data");
    put32(wav, dataBytes);
    for (const short s : pcm) {
        put16(wav, static_cast<quint16>(s));
    }
    return wav;
}

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u; // a fixed generator: the same bytes on every platform
        c = static_cast<char>(seed >> 23);
    }
    return bytes;
}

QByteArray id3v1(const Id3v1Fields& f) {
    QByteArray tag("TAG");
    tag +=
        fixedField(f.title, 30) + fixedField(f.artist, 30) + fixedField(f.album, 30) + fixedField(f.year, 4);
    if (f.track >= 1 && f.track <= 255) {
        tag += fixedField(f.comment, 28) + '\0' + static_cast<char>(f.track);
    } else {
        tag += fixedField(f.comment, 30);
    }
    tag += static_cast<char>(f.genre);
    return tag;
}

QByteArray textPayload(Encoding encoding, const QString& text) {
    QByteArray out(1, static_cast<char>(encoding));
    switch (encoding) {
    case Encoding::Latin1:
        return out + text.toLatin1();
    case Encoding::Utf8:
        return out + text.toUtf8();
    case Encoding::Utf16:
        return out + QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom).encode(text);
    case Encoding::Utf16BE:
        return out + QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    }
    return out;
}

QByteArray rawLatin1Payload(const QByteArray& bytes) {
    return QByteArray(1, '\0') + bytes;
}

QByteArray commentPayload(Encoding encoding, const QString& text, const QString& description) {
    const QByteArray desc = textPayload(encoding, description).mid(1);
    const QByteArray terminator(encoding == Encoding::Utf16 || encoding == Encoding::Utf16BE ? 2 : 1, '\0');
    return QByteArray(1, static_cast<char>(encoding)) + "eng" + desc + terminator +
           textPayload(encoding, text).mid(1);
}

QByteArray picturePayload(const QByteArray& mimeType, const QByteArray& imageData) {
    return QByteArray(1, '\0') + mimeType + '\0' + '\x03' + "cover" + '\0' + imageData;
}

QByteArray id3v2Frame(int version, const QByteArray& id, const QByteArray& payload) {
    const auto size = static_cast<quint32>(payload.size());
    if (version == 2) {
        return id.left(3) + bigEndian(size, 3) + payload;
    }
    return id.left(4) + (version == 4 ? synchsafe(size) : bigEndian(size, 4)) + QByteArray(2, '\0') + payload;
}

QByteArray id3v2Tag(int version, const QList<QByteArray>& frames, int padding) {
    QByteArray body = frames.join() + QByteArray(padding, '\0');
    return QByteArray("ID3") + static_cast<char>(version) + '\0' + '\0' +
           synchsafe(static_cast<quint32>(body.size())) + body;
}

QByteArray toCp932(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open("CP932", "UTF-8");
    QByteArray out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.constData());
    std::size_t inLeft = static_cast<std::size_t>(utf8.size());
    char* dst = out.data();
    std::size_t outLeft = static_cast<std::size_t>(out.size());
    const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) {
        return {};
    }
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return out;
}

qint64 endedProcessId() {
    QProcess process;
    process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    if (!process.waitForStarted())
        return -1;
    const qint64 pid = process.processId();
    process.kill();
    process.waitForFinished();
    return pid;
}

} // namespace fixtures
