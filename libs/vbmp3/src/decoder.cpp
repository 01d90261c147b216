// Decoding the current file into a WAV file on a thread of the library, over libmpg123.
#include "file_ops.h"
#include "mpeg_stream.h"
#include "rewrite_journal.h"
#include "tags.h"
#include "text_codec.h"
#include "vbmp3.h"
#include "wav_writer.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <mpg123.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vbmp3 {
namespace {

// One run of frames presented to libmpg123 as a file of its own, so that a gap in the stream is never
// bridged by a bit reservoir from the frames before it.
struct SegmentReader {
    int fd = -1;
    Segment segment;
    std::uint64_t position = 0;
};

ssize_t readSegment(void* handle, void* buffer, size_t count) {
    auto* r = static_cast<SegmentReader*>(handle);
    const std::uint64_t left = r->segment.length - r->position;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, left));
    const ssize_t got =
        n == 0 ? 0 : ::pread(r->fd, buffer, n, static_cast<off_t>(r->segment.offset + r->position));
    if (got > 0) {
        r->position += static_cast<std::uint64_t>(got);
    }
    return got;
}

off_t seekSegment(void* handle, off_t offset, int whence) {
    auto* r = static_cast<SegmentReader*>(handle);
    const std::int64_t base = whence == SEEK_SET   ? 0
                              : whence == SEEK_CUR ? static_cast<std::int64_t>(r->position)
                                                   : static_cast<std::int64_t>(r->segment.length);
    const std::int64_t target = base + offset;
    if (target < 0 || target > static_cast<std::int64_t>(r->segment.length)) {
        return -1;
    }
    r->position = static_cast<std::uint64_t>(target);
    return static_cast<off_t>(target);
}

// A decoder for 16-bit PCM at the first frame's rate and channel count. That output format is then fixed:
// libmpg123 resamples and mixes any later frames that differ (joined files), so the WAV header always
// describes its data. Gapless trimming is ours: libmpg123 gives up on it for cut files.
mpg123_handle* newDecoder(const MpegStream& stream) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (mh == nullptr) {
        return nullptr;
    }
    // libmpg123 finds a free-format frame's size by looking ahead, which our reader allows only buffered.
    const long flags = MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_PEEK_END |
                       (stream.first.freeFormat ? MPG123_SEEKBUFFER : 0);
    const bool ok =
        mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) == MPG123_OK &&
        mpg123_param(mh, MPG123_ADD_FLAGS, flags, 0) == MPG123_OK &&
        mpg123_replace_reader_handle(mh, readSegment, seekSegment, nullptr) == MPG123_OK &&
        mpg123_format_none(mh) == MPG123_OK &&
        mpg123_format(mh, stream.first.rate, stream.first.channels() == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) == MPG123_OK;
    if (!ok) {
        mpg123_delete(mh);
        return nullptr;
    }
    return mh;
}

int32_t averageBitRate(const MpegStream& stream) {
    if (!stream.variableBitRate) {
        return stream.first.bitRate;
    }
    const double seconds = static_cast<double>(stream.decodedLength) / stream.first.rate;
    return static_cast<int32_t>(static_cast<double>(stream.audioBytes) * 8.0 / seconds / 1000.0 + 0.5);
}

class Session {
  public:
    ~Session() { close(); }

    bool init() {
        const std::lock_guard lock(mutex_);
        initialized_ = true;
        return true;
    }

    void release() {
        close();
        const std::lock_guard lock(mutex_);
        initialized_ = false;
    }

    bool open(const std::string& path, VBMP3_INPUT_INFO* info) {
        close();
        MpegStream stream;
        mpg123_handle* mh = scanMpegStream(path, stream) ? newDecoder(stream) : nullptr;
        const std::lock_guard lock(mutex_);
        if (info != nullptr) {
            std::memset(info, 0, sizeof *info);
        }
        if (mh == nullptr) {
            return false;
        }
        handle_ = mh;
        stream_ = stream;
        path_ = path;
        if (info != nullptr) {
            VBMP3_TAG_INFO tag;
            readTag(path, tag);
            putField(info->trackName, sizeof info->trackName, fieldText(tag.title, sizeof tag.title));
            putField(info->artistName, sizeof info->artistName, fieldText(tag.artist, sizeof tag.artist));
            info->channels = stream.first.channels();
            info->bitRate = averageBitRate(stream);
            info->samplingRate = stream.first.rate;
            info->totalLength = static_cast<int32_t>(stream.length);
        }
        return true;
    }

    bool startDecoding(const std::string& wavPath) {
        const std::lock_guard lock(mutex_);
        if (handle_ == nullptr || worker_.joinable()) {
            return false;
        }
        position_ = 0;
        auto wav = std::make_unique<WavWriter>();
        if (!wav->open(wavPath, stream_.first.rate, stream_.first.channels())) {
            state_ = VBMP3_STATE_WRITE_ERROR;
            return false;
        }
        stop_ = false;
        state_ = 1;
        worker_ = std::thread([this, w = std::move(wav)]() mutable { state_ = decode(*w); });
        return true;
    }

    int32_t state(int32_t* position) const {
        // Read the state first: a finished decoding has published its final position before it.
        const int32_t s = state_;
        if (position != nullptr) {
            *position = position_;
        }
        return s;
    }

    void close() {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        if (worker_.joinable()) {
            worker_.join();
        }
        if (handle_ != nullptr) {
            mpg123_delete(handle_);
            handle_ = nullptr;
        }
    }

  private:
    // Writes the part of `samples` decoded samples (starting at decoded sample `at`) that lies inside
    // the gapless range.
    bool emit(WavWriter& wav, const unsigned char* data, std::int64_t at, std::int64_t samples) {
        const std::int64_t from = std::max(at, stream_.skip);
        const std::int64_t to = std::min(at + samples, stream_.skip + stream_.length);
        if (from >= to) {
            return true;
        }
        const std::size_t frameBytes = 2 * static_cast<std::size_t>(stream_.first.channels());
        if (!wav.write(data + static_cast<std::size_t>(from - at) * frameBytes,
                       static_cast<std::size_t>(to - from) * frameBytes)) {
            return false;
        }
        written_ += to - from;
        position_ = static_cast<int32_t>(written_);
        return true;
    }

    // Decodes one run of frames; false only when the WAV could not be written.
    int32_t decodeSegment(WavWriter& wav, int fd, const Segment& segment, std::int64_t& decoded) {
        SegmentReader reader{fd, segment, 0};
        if (mpg123_open_handle(handle_, &reader) != MPG123_OK) {
            return 1; // nothing of it could be decoded: skipped, the length is kept by padding
        }
        std::vector<unsigned char> buffer(1 << 16);
        const std::size_t frameBytes = 2 * static_cast<std::size_t>(stream_.first.channels());
        int32_t result = 1;
        while (!stop_) {
            std::size_t done = 0;
            const int rc = mpg123_read(handle_, buffer.data(), buffer.size(), &done);
            const auto samples = static_cast<std::int64_t>(done / frameBytes);
            if (!emit(wav, buffer.data(), decoded, samples)) {
                result = wav.tooLong() ? VBMP3_STATE_TOO_LONG : VBMP3_STATE_WRITE_ERROR;
                break;
            }
            decoded += samples;
            if (rc == MPG123_NEW_FORMAT) {
                // The format table allows one format only, so this is a formality; anything else would
                // mean the header no longer describes the data.
                long rate = 0;
                int channels = 0, encoding = 0;
                if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
                    rate != stream_.first.rate || channels != stream_.first.channels() ||
                    encoding != MPG123_ENC_SIGNED_16) {
                    result = VBMP3_STATE_FORMAT_ERROR;
                    break;
                }
            } else if (rc != MPG123_OK) {
                break; // the end, or frames libmpg123 refuses: skipped like any damage
            }
        }
        mpg123_close(handle_);
        return result;
    }

    int32_t decode(WavWriter& wav) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return VBMP3_STATE_DECODE_ERROR;
        }
        written_ = 0;
        std::int64_t decoded = 0;
        int32_t result = 1;
        for (const Segment& segment : stream_.segments) {
            if (stop_ || (result = decodeSegment(wav, fd, segment, decoded)) != 1) {
                break;
            }
        }
        ::close(fd);
        if (stop_) {
            return VBMP3_STATE_CANCELLED;
        }
        if (result != 1) {
            return result;
        }
        // The promised length holds even where libmpg123 gave fewer samples than the frames promise.
        const std::vector<unsigned char> silence(1 << 14, 0);
        const std::size_t frameBytes = 2 * static_cast<std::size_t>(stream_.first.channels());
        while (written_ < stream_.length) {
            const std::int64_t n = std::min<std::int64_t>(
                stream_.length - written_, static_cast<std::int64_t>(silence.size() / frameBytes));
            if (!emit(wav, silence.data(), stream_.skip + written_, n)) {
                return wav.tooLong() ? VBMP3_STATE_TOO_LONG : VBMP3_STATE_WRITE_ERROR;
            }
        }
        return wav.finish() ? VBMP3_STATE_DONE : VBMP3_STATE_WRITE_ERROR;
    }

    std::mutex mutex_;
    bool initialized_ = false;
    mpg123_handle* handle_ = nullptr;
    MpegStream stream_;
    std::string path_;
    std::int64_t written_ = 0;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<int32_t> state_{VBMP3_STATE_NOT_STARTED};
    std::atomic<int32_t> position_{0};
};

Session& session() {
    static Session instance;
    return instance;
}

void fillMpegInfo(const MpegStream& stream, VBMP3_MPEG_INFO& out) {
    const FrameHeader& h = stream.first;
    out.version = h.version;
    out.layer = h.layer;
    out.bitRate = h.bitRate;
    out.samplingRate = h.rate;
    out.channels = h.channels();
    out.channelMode = h.mode;
    out.frameCount = static_cast<int32_t>(std::min<std::int64_t>(stream.frames, INT32_MAX));
    out.totalSamples = static_cast<int32_t>(stream.length);
    out.durationMs = static_cast<int32_t>(static_cast<double>(stream.length) * 1000.0 / h.rate);
    out.vbr = stream.variableBitRate ? 1 : 0;
    out.crc = h.crc;
    out.copyright = h.copyright;
    out.original = h.original;
    out.emphasis = h.emphasis;
}

} // namespace
} // namespace vbmp3

extern "C" {

int16_t vbmp3_init(void) {
    return vbmp3::session().init() ? 1 : 0;
}

void vbmp3_free(void) {
    vbmp3::session().release();
}

int16_t vbmp3_getFileInfo(const char* fileName, VBMP3_SHORT_TAG_INFO* tag, VBMP3_MPEG_INFO* info) {
    if (fileName == nullptr) {
        return 0;
    }
    const bool ready = vbmp3::readyToRead(fileName);
    if (tag != nullptr) {
        VBMP3_TAG_INFO full;
        if (ready) {
            vbmp3::readTag(fileName, full);
        } else {
            vbmp3::clearTag(full);
        }
        std::memcpy(tag, &full, sizeof *tag);
    }
    if (info != nullptr) {
        std::memset(info, 0, sizeof *info);
    }
    vbmp3::MpegStream stream;
    if (!ready || !vbmp3::scanMpegStream(fileName, stream)) {
        return 0;
    }
    if (info != nullptr) {
        vbmp3::fillMpegInfo(stream, *info);
    }
    return 1;
}

int16_t vbmp3_estimateFileInfo(const char* fileName, VBMP3_MPEG_INFO* info) {
    if (fileName == nullptr || info == nullptr) {
        return 0;
    }
    std::memset(info, 0, sizeof *info);
    vbmp3::MpegStream stream;
    if (!vbmp3::readyToRead(fileName) || !vbmp3::estimateMpegStream(fileName, stream)) {
        return 0;
    }
    vbmp3::fillMpegInfo(stream, *info);
    return 1;
}

int16_t vbmp3_open(const char* fileName, VBMP3_INPUT_INFO* info) {
    if (fileName != nullptr && !vbmp3::readyToRead(fileName)) {
        vbmp3::session().close();
        if (info != nullptr) {
            std::memset(info, 0, sizeof *info);
        }
        return 0;
    }
    return fileName != nullptr && vbmp3::session().open(fileName, info) ? 1 : 0;
}

int16_t vbmp3_decodeWave(const char* wavFileName) {
    return wavFileName != nullptr && vbmp3::session().startDecoding(wavFileName) ? 1 : 0;
}

int32_t vbmp3_getState(int32_t* position) {
    return vbmp3::session().state(position);
}

void vbmp3_close(void) {
    vbmp3::session().close();
}

} // extern "C"
