// The MPEG audio frames of a file, as the decoder is given them: only frames that form a consistent
// stream, never the false frame headers found in noise, damage or trailing data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vbmp3 {

struct FrameHeader {
    int version = 0; // 1, 2 or 25 (MPEG-2.5)
    int layer = 0;   // 1..3
    int bitRate = 0; // kbit/s
    int rate = 0;    // Hz
    int mode = 0;    // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int length = 0;  // bytes, padding included
    int padding = 0; // bytes of padding in this frame
    int samples = 0; // per channel
    bool crc = false, copyright = false, original = false;
    bool freeFormat = false; // no bit rate in the header: the length comes from the next header's distance
    int emphasis = 0;

    int channels() const { return mode == 3 ? 1 : 2; }
    // Frames of one stream share these; a false header in the data rarely does.
    bool sameStream(const FrameHeader& o) const {
        return version == o.version && layer == o.layer && rate == o.rate && freeFormat == o.freeFormat;
    }
};

// Parses four header bytes; false for anything but a valid header. A free-format header parses with
// length 0 and bit rate 0: only the stream around it tells its length.
bool parseFrameHeader(const unsigned char* bytes, FrameHeader& header);

// A run of frames that lie next to each other in the file.
struct Segment {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct MpegStream {
    FrameHeader first;              // the first audio frame
    std::vector<Segment> segments;  // the audio frames, the Info frame left out
    std::int64_t frames = 0;        // audio frames
    std::int64_t decodedLength = 0; // samples per channel the frames give at the first frame's rate
    std::int64_t skip = 0;          // leading samples to drop (encoder and decoder delay)
    std::int64_t length = 0;        // samples per channel after the gapless trimming
    std::uint64_t audioBytes = 0;
    std::uint64_t cutFrame = 0;  // offset of a last frame cut short by the end of the audio, 0 for none
    std::uint64_t cutLength = 0; // the full length that frame would have
    std::uint64_t cutHeld = 0;   // the bytes of it that the file holds
    bool variableBitRate = false;

    bool sameAudio(const MpegStream& o) const {
        return frames == o.frames && skip == o.skip && length == o.length && audioBytes == o.audioBytes;
    }
};

// Maps the audio frames of a file; false when it holds no decodable stream (too short, no run of
// consistent frames, or a length beyond the 32-bit sample count).
bool scanMpegStream(const std::string& path, MpegStream& stream);

// The stream's facts from its first frames only (the Info frame's frame count, else the audio's size at the
// first frame's length): a few reads instead of a scan of the whole file. Segments stay empty.
bool estimateMpegStream(const std::string& path, MpegStream& stream);

// True when both files give a decoder the same frames with the same trimming. With `completesCutFrame`,
// b must instead hold a's frames, then a's cut last frame completed with zero bytes, at a's start trim.
bool sameDecodedAudio(const std::string& a, const std::string& b, bool completesCutFrame = false);

} // namespace vbmp3
