// One encoding at a time, driven frame by frame by the caller, over LAME.
#include "gogo.h"
#include "gogo_bitrates.h"
#include "info_frame.h"
#include "wav_reader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <lame/lame.h>
#include <memory>
#include <string>
#include <vector>

namespace gogo {
namespace {

constexpr int kVersion = 100;
constexpr std::int64_t kSamplesPerFrame = 1152; // MPEG-1 Layer III
constexpr int kConstantRateQuality = 4;

void silent(const char*, va_list) {}

class Encoding {
  public:
    ~Encoding() { end(); }

    void reset() {
        end();
        settings_ = Settings{};
        initialized_ = true;
    }

    int32_t set(int32_t item, int32_t number, const char* text) {
        if (!initialized_) {
            return ME_NOT_READY;
        }
        switch (item) {
        case MC_INPUT_FILE:
        case MC_OUTPUT_FILE:
            if (text == nullptr) {
                return ME_BAD_ITEM;
            }
            (item == MC_INPUT_FILE ? settings_.input : settings_.output) = text;
            return 0;
        case MC_ENCODE_MODE:
            settings_.mode = number;
            return 0;
        case MC_BITRATE:
            settings_.bitRate = number;
            return 0;
        case MC_OUTFREQ:
            settings_.outRate = number;
            return 0;
        case MC_VBR_QUALITY:
            settings_.vbrQuality = number;
            return 0;
        case MC_GAIN:
            settings_.gain = number;
            return 0;
        default:
            return ME_BAD_ITEM;
        }
    }

    int32_t detect() {
        if (!initialized_) {
            return ME_NOT_READY;
        }
        close();
        ready_ = false;
        if (settings_.vbrQuality < -1 || settings_.vbrQuality > 9 || settings_.gain < -6000 ||
            settings_.gain > 6000) {
            return ME_BAD_VBR;
        }
        if (settings_.vbrQuality < 0 && !isBitRate(settings_.bitRate)) {
            return ME_BAD_BITRATE;
        }
        if (settings_.mode < 0 || settings_.mode > 2) {
            return ME_BAD_MODE;
        }
        if (settings_.outRate != 32000 && settings_.outRate != 44100 && settings_.outRate != 48000) {
            return ME_BAD_OUTFREQ;
        }
        if (!wav_.open(settings_.input)) {
            return ME_CANNOT_OPEN;
        }
        out_ = std::fopen(settings_.output.c_str(), "wb");
        if (out_ == nullptr) {
            close();
            return ME_CANNOT_OPEN;
        }
        if (!setUpLame()) {
            close();
            return ME_ENCODER_SETUP;
        }
        audioBytes_ = 0;
        musicCrc_ = 0;
        infoFrameBytes_ = 0;
        if (ownInfoFrame_) {
            // Room for the Info frame, filled in once the stream is complete.
            infoFrameBytes_ = frameLength(settings_.bitRate, settings_.outRate);
            const std::vector<unsigned char> room(infoFrameBytes_, 0);
            if (std::fwrite(room.data(), 1, room.size(), out_) != room.size()) {
                close();
                return ME_WRITE_ERROR;
            }
        }
        consumed_ = 0;
        calls_ = 0;
        // Each counted call consumes one output frame's worth of input, the last one whatever is left.
        const std::int64_t perCallScaled = kSamplesPerFrame * wav_.rate();
        frameCount_ = std::max<std::int64_t>(1, (wav_.samples() * settings_.outRate + perCallScaled - 1) /
                                                    perCallScaled);
        ready_ = frameCount_ <= INT32_MAX;
        return ready_ ? 0 : ME_ENCODER_SETUP;
    }

    int32_t get(int32_t item, int32_t* value) const {
        if (value == nullptr) {
            return ME_BAD_ITEM;
        }
        switch (item) {
        case MC_FRAME_COUNT:
            *value = ready_ ? static_cast<int32_t>(frameCount_) : 0;
            return ready_ ? 0 : ME_NOT_READY;
        case MC_ENCODE_MODE:
            *value = settings_.mode;
            return 0;
        case MC_BITRATE:
            *value = settings_.bitRate;
            return 0;
        case MC_OUTFREQ:
            *value = settings_.outRate;
            return 0;
        case MC_VBR_QUALITY:
            *value = settings_.vbrQuality;
            return 0;
        case MC_GAIN:
            *value = settings_.gain;
            return 0;
        default:
            return ME_BAD_ITEM;
        }
    }

    int32_t processFrame() {
        if (!ready_) {
            return ME_NOT_READY;
        }
        // The frame count's calls each encode a frame's worth of input; one more call flushes the encoder
        // and completes the file, so a caller counting calls against the frame count ends at 100%.
        if (calls_ >= frameCount_) {
            return finish();
        }
        ++calls_;
        const std::int64_t target =
            calls_ == frameCount_
                ? wav_.samples()
                : std::min<std::int64_t>(wav_.samples(),
                                         (calls_ * kSamplesPerFrame * wav_.rate() + settings_.outRate - 1) /
                                             settings_.outRate);
        const std::int64_t count = target - consumed_;
        const int32_t rc = encode(count);
        if (rc != 0) {
            return fail(rc);
        }
        consumed_ = target;
        return 0;
    }

    void close() {
        wav_.close();
        if (out_ != nullptr) {
            std::fclose(out_);
            out_ = nullptr;
        }
        ready_ = false;
    }

    void end() {
        close();
        if (lame_ != nullptr) {
            lame_close(lame_);
            lame_ = nullptr;
        }
        initialized_ = false;
    }

  private:
    struct Settings {
        std::string input, output;
        int mode = 1;
        int bitRate = 128;
        int outRate = 44100;
        int vbrQuality = -1;
        int gain = 0;
    };

    bool setUpLame() {
        if (lame_ != nullptr) {
            lame_close(lame_);
        }
        lame_ = lame_init();
        if (lame_ == nullptr) {
            return false;
        }
        lame_set_errorf(lame_, silent);
        lame_set_debugf(lame_, silent);
        lame_set_msgf(lame_, silent);
        // A mono source is fed as two equal channels when stereo output is wanted; LAME mixes a stereo
        // source down for mono output.
        lameChannels_ = settings_.mode == 0 ? wav_.channels() : 2;
        const MPEG_mode modes[] = {MONO, STEREO, JOINT_STEREO};
        // Where LAME's Info frame does not fit a frame of the rate, this library writes a smaller one.
        ownInfoFrame_ = settings_.vbrQuality < 0 &&
                        lameTagDoesNotFit(settings_.bitRate, settings_.outRate, settings_.mode == 0);
        return lame_set_num_channels(lame_, lameChannels_) == 0 &&
               lame_set_in_samplerate(lame_, wav_.rate()) == 0 &&
               lame_set_out_samplerate(lame_, settings_.outRate) == 0 &&
               lame_set_num_samples(lame_, static_cast<unsigned long>(wav_.samples())) == 0 && setRate() &&
               lame_set_mode(lame_, modes[settings_.mode]) == 0 &&
               lame_set_bWriteVbrTag(lame_, ownInfoFrame_ ? 0 : 1) == 0 && setGain() &&
               lame_init_params(lame_) == 0;
    }

    // Constant bit rate unless a VBR quality was set; LAME's -V is its default VBR mode at that quality.
    // Constant bit rates are encoded at LAME's algorithmic quality 4, not its default 3: in LAME 3.100
    // the noise shaping of qualities 0 to 3 starves bands in CBR and ABR, heard as warbling cymbals in
    // stereo (a known LAME fault; later LAME packages clamp CBR to 4 themselves). VBR keeps LAME's own
    // default.
    bool setRate() {
        if (settings_.vbrQuality < 0) {
            return lame_set_VBR(lame_, vbr_off) == 0 && lame_set_brate(lame_, settings_.bitRate) == 0 &&
                   lame_set_quality(lame_, kConstantRateQuality) == 0;
        }
        return lame_set_VBR(lame_, vbr_default) == 0 && lame_set_VBR_q(lame_, settings_.vbrQuality) == 0;
    }

    // LAME scales the samples as floating point before encoding, so a gain costs no extra pass and adds
    // no rounding of its own.
    bool setGain() {
        return settings_.gain == 0 ||
               lame_set_scale(lame_, static_cast<float>(std::pow(10.0, settings_.gain / 2000.0))) == 0;
    }

    int32_t encode(std::int64_t count) {
        pcm_.resize(static_cast<std::size_t>(count) * 2);
        mp3_.resize(static_cast<std::size_t>(count) * 5 / 4 + 7200);
        if (count > 0 && !wav_.read(pcm_.data(), count)) {
            return ME_READ_ERROR;
        }
        if (wav_.channels() == 1 && lameChannels_ == 2) {
            for (std::int64_t i = count - 1; i >= 0; --i) {
                pcm_[2 * i] = pcm_[2 * i + 1] = pcm_[i];
            }
        }
        const int n = static_cast<int>(count);
        const int bytes = lameChannels_ == 2
                              ? lame_encode_buffer_interleaved(lame_, pcm_.data(), n, mp3_.data(),
                                                               static_cast<int>(mp3_.size()))
                              : lame_encode_buffer(lame_, pcm_.data(), pcm_.data(), n, mp3_.data(),
                                                   static_cast<int>(mp3_.size()));
        return write(bytes);
    }

    int32_t write(int bytes) {
        if (bytes < 0) {
            return ME_ENCODE_ERROR;
        }
        const auto length = static_cast<std::size_t>(bytes);
        if (ownInfoFrame_) {
            // The Info frame copies the first audio frame's header and carries a checksum of the audio.
            for (std::size_t i = 0; i < length && audioBytes_ + i < sizeof firstHeader_; ++i) {
                firstHeader_[audioBytes_ + i] = mp3_[i];
            }
            musicCrc_ = crc16(musicCrc_, mp3_.data(), length);
        }
        audioBytes_ += length;
        return std::fwrite(mp3_.data(), 1, length, out_) == length ? 0 : ME_WRITE_ERROR;
    }

    // Fills the room left at the start with the Info frame: the frame count, and the encoder delay and
    // padding that let decoders trim the stream to the source's exact length.
    int32_t writeOwnInfoFrame() {
        if (audioBytes_ < sizeof firstHeader_) {
            return ME_ENCODE_ERROR;
        }
        InfoFrameFields fields;
        std::memcpy(fields.firstHeader, firstHeader_, sizeof firstHeader_);
        fields.kbps = settings_.bitRate;
        fields.frames = static_cast<std::uint32_t>(lame_get_frameNum(lame_));
        fields.streamBytes = static_cast<std::uint32_t>(infoFrameBytes_ + audioBytes_);
        fields.quality = static_cast<std::uint32_t>(
            std::clamp(100 - 10 * lame_get_VBR_q(lame_) - lame_get_quality(lame_), 0, 100));
        fields.encoder = std::string("LAME") + get_lame_short_version();
        fields.lowpassHz = lame_get_lowpassfreq(lame_);
        fields.encoderDelay = lame_get_encoder_delay(lame_);
        fields.encoderPadding = lame_get_encoder_padding(lame_);
        fields.musicCrc = musicCrc_;
        const std::vector<unsigned char> frame = buildInfoFrame(fields);
        return frame.size() == infoFrameBytes_ && std::fseek(out_, 0, SEEK_SET) == 0 &&
                       std::fwrite(frame.data(), 1, frame.size(), out_) == frame.size()
                   ? 0
                   : ME_WRITE_ERROR;
    }

    // Flushes LAME, fills the Info tag into the placeholder frame LAME put at the start, and closes the
    // output here rather than in MPGE_closeCoderVB so that a failing close still counts as an error.
    int32_t finish() {
        mp3_.resize(std::max<std::size_t>(mp3_.size(), 7200));
        int32_t rc = write(lame_encode_flush(lame_, mp3_.data(), static_cast<int>(mp3_.size())));
        if (rc == 0 && ownInfoFrame_) {
            rc = writeOwnInfoFrame();
        } else if (rc == 0) {
            const std::size_t tagBytes = lame_get_lametag_frame(lame_, mp3_.data(), mp3_.size());
            if (tagBytes > mp3_.size() ||
                (tagBytes > 0 && (std::fseek(out_, 0, SEEK_SET) != 0 ||
                                  std::fwrite(mp3_.data(), 1, tagBytes, out_) != tagBytes))) {
                rc = ME_WRITE_ERROR;
            }
        }
        const bool closed = std::fclose(out_) == 0;
        out_ = nullptr;
        if (rc == 0 && !closed) {
            rc = ME_WRITE_ERROR;
        }
        if (rc != 0) {
            return fail(rc);
        }
        ready_ = false;
        return 1;
    }

    int32_t fail(int32_t rc) {
        ready_ = false;
        return rc;
    }

    bool initialized_ = false;
    bool ready_ = false;
    Settings settings_;
    WavReader wav_;
    std::FILE* out_ = nullptr;
    lame_t lame_ = nullptr;
    int lameChannels_ = 2;
    bool ownInfoFrame_ = false;
    std::size_t infoFrameBytes_ = 0;
    std::uint64_t audioBytes_ = 0;
    unsigned char firstHeader_[4] = {};
    std::uint16_t musicCrc_ = 0;
    std::int64_t consumed_ = 0;
    std::int64_t calls_ = 0;
    std::int64_t frameCount_ = 0;
    std::vector<short> pcm_;
    std::vector<unsigned char> mp3_;
};

Encoding& encoding() {
    static Encoding instance;
    return instance;
}

} // namespace
} // namespace gogo

extern "C" {

int32_t MPGE_getVersionVB(int32_t* version, char* text) {
    if (version != nullptr) {
        *version = gogo::kVersion;
    }
    if (text != nullptr) {
        std::snprintf(text, 255, "libgogo %d.%02d (MP3Recast) with LAME %s", gogo::kVersion / 100,
                      gogo::kVersion % 100, get_lame_version());
    }
    return 0;
}

int32_t MPGE_initializeWorkVB(void) {
    gogo::encoding().reset();
    return 0;
}

int32_t MPGE_getUnitStatesVB(int32_t* units) {
    if (units != nullptr) {
        *units = 1;
    }
    return 0;
}

int32_t MPGE_setConfigureVB(int32_t item, int32_t number, const char* text) {
    return gogo::encoding().set(item, number, text);
}

int32_t MPGE_detectConfigureVB(void) {
    return gogo::encoding().detect();
}

int32_t MPGE_getConfigureVB(int32_t item, int32_t* value) {
    return gogo::encoding().get(item, value);
}

int32_t MPGE_processFrameVB(void) {
    return gogo::encoding().processFrame();
}

void MPGE_closeCoderVB(void) {
    gogo::encoding().close();
}

void MPGE_endCoderVB(void) {
    gogo::encoding().end();
}

} // extern "C"
