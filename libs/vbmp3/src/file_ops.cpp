#include "file_ops.h"

#include "rewrite_journal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace vbmp3 {

Fd::~Fd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool readAt(int fd, std::uint64_t offset, void* buffer, std::size_t length) {
    auto* out = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        const ssize_t n = ::pread(fd, out, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        out += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const void* buffer, std::size_t length) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (length > 0) {
        const ssize_t n = ::write(fd, in, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        in += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

std::uint32_t littleEndian32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Length of the ID3v2 tag at the start of the file: 0 without one, -1 for a header that is damaged or
// claims more bytes than the file holds.
std::int64_t id3v2Length(int fd, std::uint64_t fileSize, std::uint64_t offset = 0) {
    unsigned char h[10];
    if (fileSize < offset + 10 || !readAt(fd, offset, h, sizeof h) || std::memcmp(h, "ID3", 3) != 0) {
        return 0;
    }
    if (h[3] < 2 || h[3] > 4 || h[4] == 0xFF || ((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0) {
        return -1;
    }
    std::uint64_t length = 10 + ((h[6] << 21) | (h[7] << 14) | (h[8] << 7) | h[9]);
    if (h[3] == 4 && (h[5] & 0x10) != 0) {
        length += 10; // footer
    }
    return length <= fileSize - offset ? static_cast<std::int64_t>(length) : -1;
}

} // namespace

bool readLayout(const std::string& path, FileLayout& layout) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    layout = FileLayout{};
    layout.size = static_cast<std::uint64_t>(st.st_size);
    const std::int64_t v2 = id3v2Length(fd.get(), layout.size);
    if (v2 < 0) {
        return false;
    }
    layout.audioBegin = static_cast<std::uint64_t>(v2);
    layout.audioEnd = layout.size;
    unsigned char buf[32];
    if (layout.audioEnd >= layout.audioBegin + 128 && readAt(fd.get(), layout.audioEnd - 128, buf, 3) &&
        std::memcmp(buf, "TAG", 3) == 0) {
        layout.hasId3v1 = true;
        layout.audioEnd -= 128;
    }
    if (layout.audioEnd >= layout.audioBegin + 32 && readAt(fd.get(), layout.audioEnd - 32, buf, 32) &&
        std::memcmp(buf, "APETAGEX", 8) == 0) {
        // The footer's size counts the items and the footer; a header, when flagged, comes on top.
        std::uint64_t apeLength = littleEndian32(buf + 12);
        if ((littleEndian32(buf + 20) & 0x80000000u) != 0) {
            apeLength += 32;
        }
        if (apeLength > layout.audioEnd - layout.audioBegin) {
            return false;
        }
        layout.audioEnd -= apeLength;
    }
    return true;
}

bool audioRegion(const std::string& path, std::uint64_t& begin, std::uint64_t& end) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    end = static_cast<std::uint64_t>(st.st_size);
    begin = static_cast<std::uint64_t>(std::max<std::int64_t>(0, id3v2Length(fd.get(), end)));
    unsigned char buf[3];
    if (end >= begin + 128 && readAt(fd.get(), end - 128, buf, 3) && std::memcmp(buf, "TAG", 3) == 0) {
        end -= 128;
    }
    return true;
}

bool readId3v2Bytes(const std::string& path, std::string& tag, std::uint64_t offset) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        return false;
    }
    const std::int64_t length = id3v2Length(fd.get(), static_cast<std::uint64_t>(st.st_size), offset);
    if (length < 0) {
        return false;
    }
    tag.assign(static_cast<std::size_t>(length), '\0');
    return length == 0 || readAt(fd.get(), offset, tag.data(), tag.size());
}

bool readId3v1Bytes(const std::string& path, unsigned char (&tag)[128]) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || st.st_size < 128) {
        return false;
    }
    return readAt(fd.get(), static_cast<std::uint64_t>(st.st_size) - 128, tag, sizeof tag) &&
           std::memcmp(tag, "TAG", 3) == 0;
}

bool sameBytes(const std::string& a, std::uint64_t beginA, const std::string& b, std::uint64_t beginB,
               std::uint64_t length) {
    const Fd fa(::open(a.c_str(), O_RDONLY | O_CLOEXEC));
    const Fd fb(::open(b.c_str(), O_RDONLY | O_CLOEXEC));
    if (fa.get() < 0 || fb.get() < 0) {
        return false;
    }
    std::vector<unsigned char> bufA(1 << 16), bufB(1 << 16);
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(bufA.size(), length - done));
        if (!readAt(fa.get(), beginA + done, bufA.data(), n) ||
            !readAt(fb.get(), beginB + done, bufB.data(), n) ||
            std::memcmp(bufA.data(), bufB.data(), n) != 0) {
            return false;
        }
        done += n;
    }
    return true;
}

bool zeroBytes(const std::string& path, std::uint64_t begin, std::uint64_t length) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    std::vector<unsigned char> buffer(1 << 16);
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - done));
        if (!readAt(fd.get(), begin + done, buffer.data(), n) ||
            std::any_of(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n),
                        [](unsigned char c) { return c != 0; })) {
            return false;
        }
        done += n;
    }
    return true;
}

Replacement::Replacement(const std::string& target) : target_(absolutePath(target)) {
    struct stat st {};
    if (::stat(target_.c_str(), &st) != 0) {
        fail();
        return;
    }
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (createBeside(folder, name)) {
        inPlace_ = !takeAttributes();
        return;
    }
    // A folder that cannot be written still lets a writable file be rewritten where it is.
    const int besideError = errno;
    if ((besideError == EACCES || besideError == EPERM || besideError == EROFS) &&
        ::access(target_.c_str(), W_OK) == 0 && createInTemporaryFolder(name)) {
        inPlace_ = true;
        inTemporaryFolder_ = true;
        return;
    }
    error_ = besideError;
}

bool Replacement::createBeside(const std::string& folder, const std::string& name) {
    std::string pattern =
        folder + "." + workFileStem(name) + ".vbmp3-" + std::to_string(::getpid()) + "-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    path_ = pattern;
    return true;
}

bool Replacement::createInTemporaryFolder(const std::string& name) {
    return createBeside(temporaryFolder(), name);
}

// Gives the new file the target's owner, group, mode and extended attributes; false when any of them
// could not be taken, so that the target is rewritten in place and keeps its own.
bool Replacement::takeAttributes() {
    struct stat st {};
    const Fd source(::open(target_.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0 || ::fstat(source.get(), &st) != 0) {
        return false;
    }
    // Owner first: changing it may clear the set-id bits the mode then restores. Only the superuser may
    // give a file away; for anyone else a file of another owner is rewritten in place.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0 || ::fchmod(fd_, st.st_mode & 07777) != 0) {
        return false;
    }
    const ssize_t listed = ::flistxattr(source.get(), nullptr, 0);
    if (listed < 0) {
        return errno == ENOTSUP;
    }
    std::vector<char> names(static_cast<std::size_t>(listed));
    const ssize_t got = ::flistxattr(source.get(), names.data(), names.size());
    if (got < 0) {
        return false;
    }
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got); at += std::strlen(names.data() + at) + 1) {
        const char* name = names.data() + at;
        const ssize_t size = ::fgetxattr(source.get(), name, nullptr, 0);
        if (size < 0) {
            return false;
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t read = ::fgetxattr(source.get(), name, value.data(), value.size());
        // The ACL sets the group bits of the mode, as it did on the target.
        if (read < 0 || ::fsetxattr(fd_, name, value.data(), static_cast<std::size_t>(read), 0) != 0) {
            return false;
        }
    }
    return true;
}

bool Replacement::fail() {
    if (error_ == 0) {
        error_ = errno;
    }
    return false;
}

Replacement::~Replacement() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    // A journaled copy that did not reach the target is the only whole version: it waits for whoever
    // touches the file next.
    if (!path_.empty() && !committed_ && !journaled_) {
        ::unlink(path_.c_str());
    }
}

bool Replacement::appendFrom(const std::string& source, std::uint64_t begin, std::uint64_t end) {
    const Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd_ < 0 || in.get() < 0) {
        return fail();
    }
    std::vector<unsigned char> buffer(1 << 16);
    for (std::uint64_t at = begin; at < end;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
        if (!readAt(in.get(), at, buffer.data(), n) || !writeAll(fd_, buffer.data(), n)) {
            return fail();
        }
        at += n;
    }
    return true;
}

bool Replacement::append(const std::string& bytes) {
    return (fd_ >= 0 && writeAll(fd_, bytes.data(), bytes.size())) || fail();
}

bool Replacement::finishWriting() {
    if (fd_ < 0) {
        return false;
    }
    const bool synced = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    written_ = synced && closed;
    return written_ || fail();
}

bool Replacement::commit() {
    if (!written_) {
        return false;
    }
    // Later edits (TagLib, the ID3v1 tag) went through their own descriptors; flush those too.
    const Fd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0) {
        return fail();
    }
    struct stat st {};
    if (::stat(target_.c_str(), &st) != 0) {
        return fail();
    }
    if (st.st_nlink > 1 || inPlace_) {
        // A rename would split the file from its other names, or give it another owner: its content is
        // rewritten in place.
        return copyInPlace(fd.get());
    }
    committed_ = ::rename(path_.c_str(), target_.c_str()) == 0;
    if (!committed_) {
        return fail();
    }
    // The rename lives in the folder's entries: flushed too, a power loss right after the write keeps the
    // new file under its name.
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target_.substr(0, slash + 1);
    const Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    return true;
}

// The copy is complete and flushed. A journal naming it goes to disk before the first byte of the target
// changes, so that a crash at any point leaves the target either untouched (no journal) or finishable from
// the copy (journal); once the target is whole, the journal goes first, then the copy.
bool Replacement::copyInPlace(int from) {
    struct stat st {};
    struct stat ts {};
    const Fd to(::open(target_.c_str(), O_WRONLY | O_CLOEXEC));
    if (::fstat(from, &st) != 0 || to.get() < 0 || ::fstat(to.get(), &ts) != 0) {
        return fail();
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    // Claim the space first, so that a full disk stops the write before it touches the file; the file's
    // size stays, or a crash right after would leave it grown.
    if (::fallocate(to.get(), FALLOC_FL_KEEP_SIZE, 0, st.st_size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS && errno != EINVAL) {
        return fail();
    }
    // The copy and its journal belong to the writer (the copy took the target's owner when it could), so
    // that a later run of the same user may finish and remove them.
    if (st.st_uid != ::geteuid() && ::fchown(from, ::geteuid(), static_cast<gid_t>(-1)) != 0) {
        return fail();
    }
    std::uint64_t checksum = 0;
    if (!checksumOf(from, size, checksum)) {
        return fail();
    }
    RewriteJournal journal(inTemporaryFolder_ ? journalInTemporaryFolder(target_) : journalBeside(target_));
    const std::size_t slash = path_.rfind('/');
    if (!journal.record(target_, static_cast<std::uint64_t>(ts.st_ino), path_.substr(slash + 1), size,
                        checksum)) {
        return fail();
    }
    journaled_ = true;
    if (!overwriteInPlace(from, to.get(), size)) {
        return fail(); // journal and copy stay: the next call on the file finishes the rewrite
    }
    journal.remove();
    ::unlink(path_.c_str());
    committed_ = true;
    return true;
}

} // namespace vbmp3
