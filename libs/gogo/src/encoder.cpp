// One encoding at a time, driven frame by frame by the caller, over LAME.
#include "gogo.h"
#include "wav_reader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <lame/lame.h>
#include <memory>
#include <string>
#include <vector>

namespace gogo {
namespace {

constexpr int kVersion = 100;
constexpr std::int64_t kSamplesPerFrame = 1152; // MPEG-1 Layer III

bool validBitRate(int kbps) {
    static const int rates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    return std::find(std::begin(rates), std::end(rates), kbps) != std::end(rates);
}

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
        if (settings_.vbrQuality < 0 && !validBitRate(settings_.bitRate)) {
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
        return lame_set_num_channels(lame_, lameChannels_) == 0 &&
               lame_set_in_samplerate(lame_, wav_.rate()) == 0 &&
               lame_set_out_samplerate(lame_, settings_.outRate) == 0 &&
               lame_set_num_samples(lame_, static_cast<unsigned long>(wav_.samples())) == 0 && setRate() &&
               lame_set_mode(lame_, modes[settings_.mode]) == 0 && lame_set_bWriteVbrTag(lame_, 1) == 0 &&
               setGain() && lame_init_params(lame_) == 0;
    }

    // Constant bit rate unless a VBR quality was set; LAME's -V is its default VBR mode at that quality.
    bool setRate() {
        if (settings_.vbrQuality < 0) {
            return lame_set_VBR(lame_, vbr_off) == 0 && lame_set_brate(lame_, settings_.bitRate) == 0;
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
        return std::fwrite(mp3_.data(), 1, length, out_) == length ? 0 : ME_WRITE_ERROR;
    }

    // Flushes LAME, fills the Info tag into the placeholder frame LAME put at the start, and closes the
    // output here rather than in MPGE_closeCoderVB so that a failing close still counts as an error.
    int32_t finish() {
        mp3_.resize(std::max<std::size_t>(mp3_.size(), 7200));
        int32_t rc = write(lame_encode_flush(lame_, mp3_.data(), static_cast<int>(mp3_.size())));
        if (rc == 0) {
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
