// Where tags and audio lie inside an MP3 file, and replacing a file only by a complete, verified copy.
#pragma once

#include <cstdint>
#include <string>

namespace vbmp3 {

// A file descriptor closed at the end of its scope.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// All `length` bytes at `offset`; false at an error or the file's end.
bool readAt(int fd, std::uint64_t offset, void* buffer, std::size_t length);
// All `length` bytes at the descriptor's position.
bool writeAll(int fd, const void* buffer, std::size_t length);

// Byte layout of an MP3 file: [ID3v2 tag][audio][APE tag][ID3v1 tag], each tag optional.
struct FileLayout {
    std::uint64_t size = 0;
    std::uint64_t audioBegin = 0; // end of the ID3v2 tag, 0 without one
    std::uint64_t audioEnd = 0;   // start of the trailing tags
    bool hasId3v1 = false;
};

// False when the file cannot be read or its tags claim more bytes than the file holds (a damaged header
// that would make a tag writer cut away the audio).
bool readLayout(const std::string& path, FileLayout& layout);

// Where MPEG frames may lie: after a sound ID3v2 tag (from the start when it is damaged), before an ID3v1
// tag. Other trailing tags are left to the frame scan, which stops at them.
bool audioRegion(const std::string& path, std::uint64_t& begin, std::uint64_t& end);

// The whole ID3v2 tag of a file (header, frames, padding, footer) that starts at `offset`; empty when
// there is none.
bool readId3v2Bytes(const std::string& path, std::string& tag, std::uint64_t offset = 0);

// The last 128 bytes of the file when they are an ID3v1 tag.
bool readId3v1Bytes(const std::string& path, unsigned char (&tag)[128]);

// True when the byte ranges [beginA, beginA+length) of file a and [beginB, ...) of file b are equal.
bool sameBytes(const std::string& a, std::uint64_t beginA, const std::string& b, std::uint64_t beginB,
               std::uint64_t length);

// True when the byte range [begin, begin+length) of the file holds only zero bytes.
bool zeroBytes(const std::string& path, std::uint64_t begin, std::uint64_t length);

// A temporary file beside a target, replacing the target only on commit(). Dropped unless committed, so a
// failure at any step leaves the target as it was. The replacement keeps the target's owner, group, mode
// and extended attributes (ACLs included); where a new file cannot carry them (another owner) or cannot
// be made (a folder that cannot be written), the temporary file lies in the system's temporary folder and
// commit() rewrites the target in place, under a journal (rewrite_journal.h) that lets the next library
// call finish a rewrite a crash cut short. The temporary file's name, .NAME.vbmp3-PID-XXXXXX, carries
// the writer's process id, so that a sweep can tell the leftovers of a killed writer.
class Replacement {
  public:
    explicit Replacement(const std::string& target);
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // The errno of the first step that failed (0 when none did, or the failure was no system error).
    int error() const { return error_; }
    // Appends bytes [begin, end) of a file to the temporary file.
    bool appendFrom(const std::string& source, std::uint64_t begin, std::uint64_t end);
    bool append(const std::string& bytes);
    // Closes the temporary file; later steps may reopen it by path (TagLib does).
    bool finishWriting();
    // Flushes the temporary file to disk and renames it over the target; a target with several hard links,
    // or one whose attributes the new file could not take, is rewritten in place instead.
    bool commit();

  private:
    bool createBeside(const std::string& folder, const std::string& name);
    bool createInTemporaryFolder(const std::string& name);
    bool takeAttributes();
    bool copyInPlace(int from);
    bool fail();

    std::string target_; // resolved: the journal of an in-place rewrite is found from the resolved path
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
    bool inPlace_ = false;
    bool inTemporaryFolder_ = false;
    bool journaled_ = false; // a journal names the temporary file: it stays until the target is whole
    bool written_ = false;
    bool committed_ = false;
};

} // namespace vbmp3
