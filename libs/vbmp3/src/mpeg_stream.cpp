#include "mpeg_stream.h"

#include "file_ops.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace vbmp3 {
namespace {

// Frames in a row that make a stream: a chain of this many consistent headers does not happen by chance.
constexpr int kChain = 4;
// libmpg123's synthesis delay, which the LAME tag's encoder delay does not include.
constexpr int kDecoderDelay = 529;

const short kBitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1}}};
const int kRates[3] = {44100, 48000, 32000};

// Random access to a file through a buffered window; reads past the end give nothing.
class FileWindow {
  public:
    explicit FileWindow(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), buffer_(std::size_t{1} << 18) {}
    ~FileWindow() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileWindow(const FileWindow&) = delete;
    FileWindow& operator=(const FileWindow&) = delete;
    bool ok() const { return fd_ >= 0; }

    // Pointer to `length` bytes at `offset`, or null when the file does not hold them.
    const unsigned char* at(std::uint64_t offset, std::size_t length) {
        if (offset < start_ || offset + length > start_ + size_) {
            // Keep a little behind the offset: a search steps back to just after a rejected candidate.
            start_ = offset > 16384 ? offset - 16384 : 0;
            size_ = 0;
            while (size_ < buffer_.size()) {
                const ssize_t n = ::pread(fd_, buffer_.data() + size_, buffer_.size() - size_,
                                          static_cast<off_t>(start_ + size_));
                if (n <= 0) {
                    break;
                }
                size_ += static_cast<std::size_t>(n);
            }
            if (offset + length > start_ + size_) {
                return nullptr;
            }
        }
        return buffer_.data() + (offset - start_);
    }

  private:
    int fd_;
    std::uint64_t start_ = 0;
    std::size_t size_ = 0;
    std::vector<unsigned char> buffer_;
};

bool startsWith(const unsigned char* p, const char* text) {
    return p != nullptr && std::memcmp(p, text, std::strlen(text)) == 0;
}

// The largest free-format frame looked for: 640 kbit/s at 32 kHz (layer III), as libmpg123 allows.
constexpr std::uint64_t kMaxFreeFrame = 2881;

// The file, and the frame size of a free-format stream once its start has fixed it.
struct Source {
    explicit Source(const std::string& path) : file(path) {}
    FileWindow file;
    int freeSize = 0; // bytes of a free-format frame without its padding; 0 until known
};

// A free-format frame's size without padding: the distance to the next header of the same kind, as
// libmpg123 finds it. 0 when no such header follows within reach.
int freeFrameSize(FileWindow& file, std::uint64_t offset, const FrameHeader& h) {
    const unsigned char* p = file.at(offset, 4);
    if (p == nullptr) {
        return 0;
    }
    const unsigned char b1 = p[1], b2 = p[2] & 0xFC, b3 = p[3] & 0xC0;
    for (std::uint64_t d = 16; d <= kMaxFreeFrame + 4; ++d) {
        const unsigned char* n = file.at(offset + d, 4);
        if (n == nullptr) {
            return 0;
        }
        if (n[0] == 0xFF && n[1] == b1 && (n[2] & 0xFC) == b2 && (n[3] & 0xC0) == b3) {
            return static_cast<int>(d) - h.padding;
        }
    }
    return 0;
}

// What may follow the last frame of a stream: tags, or zero padding.
bool trailerAt(FileWindow& file, std::uint64_t offset) {
    const unsigned char* p = file.at(offset, 4);
    return p != nullptr && (startsWith(p, "TAG") || startsWith(p, "ID3") || startsWith(p, "APET") ||
                            startsWith(p, "LYRI") || std::memcmp(p, "\0\0\0\0", 4) == 0);
}

bool headerAt(Source& source, std::uint64_t offset, FrameHeader& header) {
    const unsigned char* p = source.file.at(offset, 4);
    if (p == nullptr || !parseFrameHeader(p, header)) {
        return false;
    }
    if (header.freeFormat) {
        const int size = source.freeSize > 0 ? source.freeSize : freeFrameSize(source.file, offset, header);
        if (size <= header.padding + 4) {
            return false;
        }
        header.length = size + header.padding;
        const int unit = header.layer == 1 ? 48 : header.samples == 576 ? 72 : 144;
        header.bitRate = static_cast<int>(static_cast<long long>(size) * header.rate / unit / 1000);
    }
    return true;
}

// Number of consistent frames, up to kChain, that follow each other from `offset` inside [.., end).
// `clean` tells whether the run ends exactly at the end of the audio or before a trailing tag.
int chainAt(Source& source, std::uint64_t offset, std::uint64_t end, const FrameHeader& key, bool& clean) {
    clean = false;
    int count = 0;
    FrameHeader h;
    while (count < kChain && headerAt(source, offset, h) && h.sameStream(key) && offset + h.length <= end) {
        ++count;
        offset += static_cast<std::uint64_t>(h.length);
        if (offset == end || trailerAt(source.file, offset)) {
            clean = true;
            break;
        }
    }
    return count;
}

// A frame that starts a stream: several consistent frames in a row, or a short run that ends cleanly.
bool confirmedAt(Source& source, std::uint64_t offset, std::uint64_t end, const FrameHeader& key) {
    bool clean = false;
    const int count = chainAt(source, offset, end, key, clean);
    return count >= kChain || (clean && count >= 2);
}

std::uint32_t bigEndian32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

struct InfoFrame {
    bool present = false;
    bool gapless = false; // the LAME extension gives the delays
    std::int64_t frames = -1;
    int delay = 0, padding = 0;
};

// The Xing/Info frame LAME puts first: no audio, but the stream's frame count and encoder delays.
InfoFrame readInfoFrame(FileWindow& file, std::uint64_t offset, const FrameHeader& h) {
    InfoFrame info;
    if (h.layer != 3) {
        return info;
    }
    const int sideInfo = h.version == 1 ? (h.channels() == 1 ? 17 : 32) : (h.channels() == 1 ? 9 : 17);
    // LAME marks its Info frame as CRC-protected in a protected stream but writes no CRC into it: the tag
    // is looked for both after a CRC and right after the header.
    std::uint64_t at = 0;
    const unsigned char* p = nullptr;
    for (const int crcBytes : {h.crc ? 2 : 0, 0}) {
        at = offset + 4 + static_cast<std::uint64_t>(crcBytes + sideInfo);
        p = file.at(at, 8);
        if (p != nullptr && (startsWith(p, "Xing") || startsWith(p, "Info"))) {
            break;
        }
        p = nullptr;
    }
    if (p == nullptr) {
        return info;
    }
    info.present = true;
    const std::uint32_t flags = bigEndian32(p + 4);
    std::uint64_t field = at + 8;
    if ((flags & 1) != 0) {
        const unsigned char* count = file.at(field, 4);
        info.frames = count == nullptr ? -1 : bigEndian32(count);
        field += 4;
    }
    field += ((flags & 2) != 0 ? 4 : 0) + ((flags & 4) != 0 ? 100 : 0) + ((flags & 8) != 0 ? 4 : 0);
    // The LAME extension: 9 bytes of encoder name, then at byte 21 the 12-bit delay and padding.
    const unsigned char* lame = file.at(field, 24);
    if (field + 24 <= offset + static_cast<std::uint64_t>(h.length) && lame != nullptr &&
        (startsWith(lame, "LAME") || startsWith(lame, "Lavc") || startsWith(lame, "Lavf") ||
         startsWith(lame, "GOGO"))) {
        info.gapless = true;
        info.delay = (lame[21] << 4) | (lame[22] >> 4);
        info.padding = ((lame[22] & 0x0F) << 8) | lame[23];
    }
    return info;
}

class StreamBuilder {
  public:
    explicit StreamBuilder(MpegStream& out) : out_(out) {}

    void add(std::uint64_t offset, const FrameHeader& h) {
        if (out_.frames == 0) {
            out_.first = h;
        } else if (h.bitRate != out_.first.bitRate) {
            out_.variableBitRate = true;
        }
        if (!out_.segments.empty() && out_.segments.back().offset + out_.segments.back().length == offset) {
            out_.segments.back().length += static_cast<std::uint64_t>(h.length);
        } else {
            out_.segments.push_back({offset, static_cast<std::uint64_t>(h.length)});
        }
        ++out_.frames;
        out_.audioBytes += static_cast<std::uint64_t>(h.length);
        // Frames at another rate are resampled to the first one's.
        out_.decodedLength += static_cast<std::int64_t>(h.samples) * out_.first.rate / h.rate;
    }

  private:
    MpegStream& out_;
};

void applyGapless(MpegStream& stream, const InfoFrame& info) {
    stream.skip = 0;
    stream.length = stream.decodedLength;
    if (!info.gapless) {
        return;
    }
    // The start delay holds whatever the frame count says; the end padding only when the count is the
    // real one (a cut file's count lies beyond its end, a damaged one's anywhere).
    stream.skip = std::min<std::int64_t>(info.delay + kDecoderDelay, stream.decodedLength);
    std::int64_t end = stream.decodedLength;
    if (info.frames == stream.frames) {
        // The padding counts from the encoder's end; the decoder's delay moves that end as it moves the
        // start.
        end = std::clamp<std::int64_t>(end - info.padding + kDecoderDelay, stream.skip, end);
    }
    stream.length = end - stream.skip;
}

} // namespace

bool parseFrameHeader(const unsigned char* b, FrameHeader& h) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) {
        return false;
    }
    const int versionBits = (b[1] >> 3) & 3, layerBits = (b[1] >> 1) & 3;
    const int bitRateIndex = b[2] >> 4, rateIndex = (b[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitRateIndex == 15 || rateIndex == 3 || (b[3] & 3) == 2) {
        return false;
    }
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.freeFormat = bitRateIndex == 0;
    h.bitRate = kBitRates[h.version == 1 ? 0 : 1][h.layer - 1][bitRateIndex];
    h.rate = kRates[rateIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    h.mode = b[3] >> 6;
    const int padding = (b[2] >> 1) & 1;
    if (h.layer == 1) {
        h.length = (12 * h.bitRate * 1000 / h.rate + padding) * 4;
        h.padding = padding * 4;
        h.samples = 384;
    } else {
        const int factor = h.layer == 3 && h.version != 1 ? 72 : 144;
        h.length = factor * h.bitRate * 1000 / h.rate + padding;
        h.padding = padding;
        h.samples = factor == 72 ? 576 : 1152;
    }
    h.crc = (b[1] & 1) == 0;
    h.copyright = (b[3] & 8) != 0;
    h.original = (b[3] & 4) != 0;
    h.emphasis = b[3] & 3;
    return h.freeFormat || h.length > 4;
}

bool scanMpegStream(const std::string& path, MpegStream& stream) {
    stream = MpegStream{};
    std::uint64_t pos = 0, end = 0;
    Source source(path);
    if (!source.file.ok() || !audioRegion(path, pos, end)) {
        return false;
    }
    StreamBuilder builder(stream);
    InfoFrame info;
    FrameHeader key, h, pending;
    bool haveKey = false, synced = false;
    // The frame before bytes that are no frame: audio when nothing of the stream follows (junk or a
    // foreign tag after the last frame, as every decoder plays it), damage when the stream goes on.
    std::uint64_t pendingAt = 0;
    bool hasPending = false;
    while (pos + 4 <= end) {
        if (!synced) {
            // Searching: for the stream's start, then past damage for more frames of the same stream.
            if (headerAt(source, pos, h) && (!haveKey || h.sameStream(key)) &&
                confirmedAt(source, pos, end, h)) {
                synced = true;
                hasPending = false;
                if (!haveKey) {
                    haveKey = true;
                    key = h;
                    source.freeSize = h.freeFormat ? h.length - h.padding : 0;
                    info = readInfoFrame(source.file, pos, h);
                    if (info.present) {
                        pos += static_cast<std::uint64_t>(h.length);
                        continue;
                    }
                }
            } else {
                ++pos;
            }
            continue;
        }
        // In step: pos is a frame header. It counts when the next frame follows it, or the audio ends.
        if (!headerAt(source, pos, h) || pos + static_cast<std::uint64_t>(h.length) > end) {
            if (headerAt(source, pos, h) && h.sameStream(key)) {
                stream.cutFrame = pos;
                stream.cutLength = static_cast<std::uint64_t>(h.length);
                stream.cutHeld = end - pos;
            }
            break;
        }
        const std::uint64_t next = pos + static_cast<std::uint64_t>(h.length);
        FrameHeader n;
        if (next == end || trailerAt(source.file, next)) {
            builder.add(pos, h);
            synced = false;
            pos = next;
        } else if (headerAt(source, next, n) && (n.sameStream(key) || confirmedAt(source, next, end, n))) {
            // A change of stream (files joined together) must prove itself like a new start.
            builder.add(pos, h);
            key = n;
            pos = next;
        } else {
            // The frame runs into bytes that are no frame: held back until the search tells what they are.
            pending = h;
            pendingAt = pos;
            hasPending = true;
            synced = false;
            ++pos;
        }
    }
    if (hasPending) {
        builder.add(pendingAt, pending);
    }
    applyGapless(stream, info);
    return stream.frames > 0 && stream.length > 0 && stream.decodedLength <= INT32_MAX;
}

bool estimateMpegStream(const std::string& path, MpegStream& stream) {
    stream = MpegStream{};
    std::uint64_t pos = 0, end = 0;
    Source source(path);
    if (!source.file.ok() || !audioRegion(path, pos, end)) {
        return false;
    }
    // The first confirmed frame within the first 64 KB of the audio; a stream that starts later is left
    // to the full scan.
    const std::uint64_t searchEnd = std::min(end, pos + 65536);
    FrameHeader h;
    while (pos + 4 <= searchEnd && !(headerAt(source, pos, h) && confirmedAt(source, pos, end, h))) {
        ++pos;
    }
    if (pos + 4 > searchEnd) {
        return false;
    }
    const InfoFrame info = readInfoFrame(source.file, pos, h);
    stream.first = h;
    stream.audioBytes = end - pos - (info.present ? static_cast<std::uint64_t>(h.length) : 0);
    stream.frames = info.frames > 0 ? info.frames : static_cast<std::int64_t>(stream.audioBytes) / h.length;
    stream.decodedLength = stream.frames * h.samples;
    applyGapless(stream, info);
    return stream.frames > 0 && stream.length > 0 && stream.decodedLength <= INT32_MAX;
}

bool sameDecodedAudio(const std::string& a, const std::string& b, bool completesCutFrame) {
    MpegStream sa, sb;
    if (!scanMpegStream(a, sa) || !scanMpegStream(b, sb)) {
        return false;
    }
    std::vector<Segment> expected = sa.segments;
    std::uint64_t zeros = 0;
    if (completesCutFrame) {
        if (sa.cutFrame == 0 || sb.frames != sa.frames + 1 || sb.skip != sa.skip ||
            sb.audioBytes != sa.audioBytes + sa.cutLength) {
            return false;
        }
        expected.push_back({sa.cutFrame, sa.cutHeld});
        zeros = sa.cutLength - sa.cutHeld;
    } else if (!sa.sameAudio(sb)) {
        return false;
    }
    // The segments may be split differently; compare the concatenated frames.
    std::size_t ia = 0, ib = 0;
    std::uint64_t doneA = 0, doneB = 0;
    while (ia < expected.size() && ib < sb.segments.size()) {
        const Segment& x = expected[ia];
        const Segment& y = sb.segments[ib];
        const std::uint64_t n = std::min(x.length - doneA, y.length - doneB);
        if (!sameBytes(a, x.offset + doneA, b, y.offset + doneB, n)) {
            return false;
        }
        doneA += n;
        doneB += n;
        if (doneA == x.length) {
            ++ia;
            doneA = 0;
        }
        if (doneB == y.length) {
            ++ib;
            doneB = 0;
        }
    }
    if (ia != expected.size()) {
        return false;
    }
    // What b holds beyond a's frames: the zeros that complete the cut frame, and nothing else.
    std::uint64_t rest = 0;
    for (; ib < sb.segments.size(); ++ib, doneB = 0) {
        const Segment& y = sb.segments[ib];
        if (!zeroBytes(b, y.offset + doneB, y.length - doneB)) {
            return false;
        }
        rest += y.length - doneB;
    }
    return rest == zeros;
}

} // namespace vbmp3
