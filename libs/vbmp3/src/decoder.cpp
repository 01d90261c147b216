// Decoding the current file into a WAV file on a thread of the library, over libmpg123.
#include "file_ops.h"
#include "tags.h"
#include "text_codec.h"
#include "vbmp3.h"
#include "wav_writer.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <mpg123.h>
#include <mutex>
#include <thread>
#include <vector>

namespace vbmp3 {
namespace {

struct StreamFacts {
    long rate = 0;
    int channels = 0;
    off_t length = 0; // samples per channel, gapless
    off_t frames = 0;
    mpg123_frameinfo info{};
};

// Opens a file for decoding to 16-bit PCM at its first frame's rate and channel count. That output
// format is then fixed: libmpg123 resamples and mixes any later frames that differ (glued files), so the
// WAV header always describes its data. With `scan` the whole stream is parsed for the exact length.
mpg123_handle* openStream(const std::string& path, bool scan, StreamFacts& facts) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (mh == nullptr) {
        return nullptr;
    }
    int encoding = 0;
    // Each call is judged by its own result: mpg123_errcode may still hold an older error.
    const bool ok = mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0) == MPG123_OK &&
                    // Resync over damaged stretches of any length instead of giving up after 1 KiB.
                    mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0) == MPG123_OK &&
                    mpg123_open(mh, path.c_str()) == MPG123_OK &&
                    mpg123_getformat(mh, &facts.rate, &facts.channels, &encoding) == MPG123_OK &&
                    mpg123_format_none(mh) == MPG123_OK &&
                    mpg123_format(mh, facts.rate, facts.channels == 1 ? MPG123_MONO : MPG123_STEREO,
                                  MPG123_ENC_SIGNED_16) == MPG123_OK &&
                    (!scan || mpg123_scan(mh) == MPG123_OK) && mpg123_info(mh, &facts.info) == MPG123_OK;
    if (ok) {
        facts.length = mpg123_length(mh);
        facts.frames = mpg123_framelength(mh);
        if (facts.length > 0 && facts.length <= INT32_MAX && facts.channels >= 1 && facts.channels <= 2) {
            return mh;
        }
    }
    mpg123_delete(mh);
    return nullptr;
}

int32_t averageBitRate(const std::string& path, const StreamFacts& facts) {
    FileLayout layout;
    if (facts.info.vbr == MPG123_CBR || !readLayout(path, layout) || facts.rate <= 0) {
        return facts.info.bitrate;
    }
    const double seconds = static_cast<double>(facts.length) / static_cast<double>(facts.rate);
    return static_cast<int32_t>((layout.audioEnd - layout.audioBegin) * 8.0 / seconds / 1000.0 + 0.5);
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
        StreamFacts facts;
        mpg123_handle* mh = openStream(path, true, facts);
        const std::lock_guard lock(mutex_);
        if (info != nullptr) {
            std::memset(info, 0, sizeof *info);
        }
        if (mh == nullptr) {
            return false;
        }
        handle_ = mh;
        facts_ = facts;
        if (info != nullptr) {
            VBMP3_TAG_INFO tag;
            readTag(path, tag);
            putField(info->trackName, sizeof info->trackName, fieldText(tag.title, sizeof tag.title));
            putField(info->artistName, sizeof info->artistName, fieldText(tag.artist, sizeof tag.artist));
            info->channels = facts.channels;
            info->bitRate = averageBitRate(path, facts);
            info->samplingRate = static_cast<int32_t>(facts.rate);
            info->totalLength = static_cast<int32_t>(facts.length);
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
        if (!wav->open(wavPath, facts_.rate, facts_.channels)) {
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
    int32_t decode(WavWriter& wav) {
        std::vector<unsigned char> buffer(1 << 16);
        const std::size_t frameBytes = 2 * static_cast<std::size_t>(facts_.channels);
        std::int64_t samples = 0;
        while (!stop_) {
            std::size_t done = 0;
            const int rc = mpg123_read(handle_, buffer.data(), buffer.size(), &done);
            if (done > 0 && !wav.write(buffer.data(), done)) {
                return wav.tooLong() ? VBMP3_STATE_TOO_LONG : VBMP3_STATE_WRITE_ERROR;
            }
            samples += static_cast<std::int64_t>(done / frameBytes);
            position_ = static_cast<int32_t>(std::min<std::int64_t>(samples, INT32_MAX));
            if (rc == MPG123_DONE) {
                return wav.finish() ? VBMP3_STATE_DONE : VBMP3_STATE_WRITE_ERROR;
            }
            if (rc == MPG123_NEW_FORMAT) {
                // The format table allows one format only, so this is a formality; anything else would
                // mean the header no longer describes the data.
                long rate = 0;
                int channels = 0, encoding = 0;
                if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
                    rate != facts_.rate || channels != facts_.channels || encoding != MPG123_ENC_SIGNED_16) {
                    return VBMP3_STATE_FORMAT_ERROR;
                }
            } else if (rc != MPG123_OK) {
                return VBMP3_STATE_DECODE_ERROR;
            }
        }
        return VBMP3_STATE_CANCELLED;
    }

    std::mutex mutex_;
    bool initialized_ = false;
    mpg123_handle* handle_ = nullptr;
    StreamFacts facts_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<int32_t> state_{VBMP3_STATE_NOT_STARTED};
    std::atomic<int32_t> position_{0};
};

Session& session() {
    static Session instance;
    return instance;
}

void fillMpegInfo(const StreamFacts& facts, VBMP3_MPEG_INFO& out) {
    const mpg123_frameinfo& fi = facts.info;
    out.version = fi.version == MPG123_1_0 ? 1 : fi.version == MPG123_2_0 ? 2 : 25;
    out.layer = fi.layer;
    out.bitRate = fi.bitrate;
    out.samplingRate = static_cast<int32_t>(fi.rate);
    out.channels = facts.channels;
    out.channelMode = fi.mode;
    out.frameCount = static_cast<int32_t>(std::min<off_t>(facts.frames, INT32_MAX));
    out.totalSamples = static_cast<int32_t>(facts.length);
    out.durationMs = static_cast<int32_t>(std::min<double>(facts.length * 1000.0 / facts.rate, INT32_MAX));
    out.vbr = fi.vbr;
    out.crc = (fi.flags & MPG123_CRC) != 0;
    out.copyright = (fi.flags & MPG123_COPYRIGHT) != 0;
    out.original = (fi.flags & MPG123_ORIGINAL) != 0;
    out.emphasis = fi.emphasis;
}

} // namespace

bool hasMpegAudio(const std::string& path) {
    StreamFacts facts;
    mpg123_handle* mh = openStream(path, false, facts);
    if (mh == nullptr) {
        return false;
    }
    mpg123_delete(mh);
    return true;
}

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
    if (tag != nullptr) {
        VBMP3_TAG_INFO full;
        vbmp3::readTag(fileName, full);
        std::memcpy(tag, &full, sizeof *tag);
    }
    if (info != nullptr) {
        std::memset(info, 0, sizeof *info);
    }
    vbmp3::StreamFacts facts;
    mpg123_handle* mh = vbmp3::openStream(fileName, true, facts);
    if (mh == nullptr) {
        return 0;
    }
    mpg123_delete(mh);
    if (info != nullptr) {
        vbmp3::fillMpegInfo(facts, *info);
    }
    return 1;
}

int16_t vbmp3_open(const char* fileName, VBMP3_INPUT_INFO* info) {
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
