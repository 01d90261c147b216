#include "rewrite_journal.h"

#include "file_ops.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vbmp3 {
namespace {

constexpr char kMagic[] = "vbmp3 rewrite 1";
constexpr char kJournalSuffix[] = ".vbmp3-journal";
constexpr char kWorkMark[] = ".vbmp3-";
// Names up to this long go into work file names whole; of a longer one only its tail and a hash.
constexpr std::size_t kLongName = 128;
constexpr std::size_t kTail = 96;
// A journal holds two paths and a few numbers; anything much larger is not one.
constexpr off_t kJournalLimit = 64 * 1024;

std::uint64_t fnv1a(const void* data, std::size_t length, std::uint64_t hash = 14695981039346656037ull) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < length; ++i) {
        hash = (hash ^ p[i]) * 1099511628211ull;
    }
    return hash;
}

std::string hex16(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

bool endsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The boot the journal's writer ran in: after a restart its process id means nothing.
const std::string& bootId() {
    static const std::string id = [] {
        std::string text;
        if (FILE* f = std::fopen("/proc/sys/kernel/random/boot_id", "re")) {
            char buffer[64];
            text.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
            std::fclose(f);
        }
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
            text.pop_back();
        }
        return text.find('\0') == std::string::npos ? text : std::string();
    }();
    return id;
}

bool processGone(long long pid) {
    return pid > 0 && pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

// Journals whose writers are threads of this process, still at work. A journal of this process's id that
// is not among them was left by a rewrite of ours that failed half way (or by an earlier process that had
// the same id): nobody works on it.
std::mutex& activeMutex() {
    static std::mutex mutex;
    return mutex;
}

std::multiset<std::string>& activeJournals() {
    static std::multiset<std::string> journals;
    return journals;
}

struct Entry {
    std::string target;
    std::string copy; // a name in the journal's folder
    std::uint64_t size = 0;
    std::uint64_t checksum = 0;
    std::uint64_t inode = 0;
    long long pid = 0;
    std::string boot;
};

std::string serialized(const Entry& e) {
    std::string out;
    for (const std::string& field :
         {std::string(kMagic), e.target, e.copy, std::to_string(e.size), hex16(e.checksum),
          std::to_string(e.inode), std::to_string(e.pid), e.boot}) {
        out += field;
        out += '\0';
    }
    return out;
}

bool parseNumber(const std::string& text, int base, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    for (const char c : text) {
        if (base == 10 ? (c < '0' || c > '9') : !std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, base);
    return errno == 0;
}

bool parsed(const std::string& bytes, Entry& e) {
    std::vector<std::string> fields;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find('\0', at);
        if (end == std::string::npos) {
            return false;
        }
        fields.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    if (fields.size() != 8 || fields[0] != kMagic) {
        return false;
    }
    e.target = fields[1];
    e.copy = fields[2];
    e.boot = fields[7];
    std::uint64_t pid = 0;
    // The copy lies beside its journal: a name that leads elsewhere is no copy of ours.
    if (e.target.empty() || e.target[0] != '/' || e.copy.empty() || e.copy == "." || e.copy == ".." ||
        e.copy.find('/') != std::string::npos || !parseNumber(fields[3], 10, e.size) ||
        fields[4].size() != 16 || !parseNumber(fields[4], 16, e.checksum) ||
        !parseNumber(fields[5], 10, e.inode) || !parseNumber(fields[6], 10, pid) || pid == 0 ||
        pid > INT_MAX) {
        return false;
    }
    e.pid = static_cast<long long>(pid);
    return true;
}

bool readJournal(const std::string& path, std::string& bytes) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        return false;
    }
    bytes.assign(static_cast<std::size_t>(std::min<off_t>(st.st_size, kJournalLimit)), '\0');
    return bytes.empty() || readAt(fd.get(), 0, bytes.data(), bytes.size());
}

bool writerRuns(const Entry& e, const std::string& journal) {
    if (!e.boot.empty() && !bootId().empty() && e.boot != bootId()) {
        return false;
    }
    if (e.pid == ::getpid()) {
        const std::lock_guard lock(activeMutex());
        return activeJournals().count(journal) != 0;
    }
    return !processGone(e.pid);
}

enum class Outcome { Absent, Foreign, Busy, Failed, Dropped, Completed };

// Forgets a rewrite that cannot or need not be finished; `copy`, when given, goes too.
Outcome drop(const std::string& journal, const std::string& copy = {}) {
    ::unlink(journal.c_str());
    if (!copy.empty()) {
        ::unlink(copy.c_str());
    }
    return Outcome::Dropped;
}

// Finishes the rewrite that the journal `name` in `folder` (with a trailing slash) records. With
// `expected`, only a rewrite of that file counts. `copyName` gets the copy's name once the journal could
// be read.
Outcome settle(const std::string& folder, const std::string& name, const std::string* expected,
               std::string* copyName) {
    const std::string journal = folder + name;
    struct stat js {};
    if (::lstat(journal.c_str(), &js) != 0) {
        return Outcome::Absent;
    }
    // Only our own journals count: one of another user could make us write whatever it names.
    if (!S_ISREG(js.st_mode) || js.st_uid != ::geteuid()) {
        return Outcome::Foreign;
    }
    std::string bytes;
    if (!readJournal(journal, bytes)) {
        return Outcome::Failed;
    }
    Entry e;
    if (!parsed(bytes, e)) {
        // It is renamed into place only once complete and flushed, so the file was never touched for it.
        return drop(journal);
    }
    if (copyName != nullptr) {
        *copyName = e.copy;
    }
    if (expected != nullptr && e.target != *expected) {
        return Outcome::Foreign; // another file whose name shares the journal's
    }
    if (writerRuns(e, journal)) {
        return Outcome::Busy;
    }
    // The journal is made only once the copy is complete on disk: a copy that is missing or not what the
    // journal says means the target was never touched (or was finished, and the copy's removal reached
    // the disk before the journal's). Either way the target stays as it is.
    const std::string copy = folder + e.copy;
    const Fd from(::open(copy.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat cs {};
    if (from.get() < 0) {
        return errno == ENOENT || errno == ELOOP ? drop(journal) : Outcome::Failed;
    }
    if (::fstat(from.get(), &cs) != 0) {
        return Outcome::Failed;
    }
    if (!S_ISREG(cs.st_mode) || cs.st_uid != js.st_uid || static_cast<std::uint64_t>(cs.st_size) != e.size) {
        return drop(journal);
    }
    std::uint64_t checksum = 0;
    if (!checksumOf(from.get(), e.size, checksum)) {
        return Outcome::Failed;
    }
    if (checksum != e.checksum) {
        return drop(journal);
    }
    struct stat ts {};
    if (::stat(e.target.c_str(), &ts) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            return Outcome::Failed;
        }
        // Gone from a folder that is still there: nothing is left to finish. A folder that is gone may lie
        // on a volume not mounted now, and the copy waits for it.
        struct stat fs {};
        return ::stat(folderOf(e.target).c_str(), &fs) == 0 ? drop(journal, copy) : Outcome::Failed;
    }
    // Another file under the name (the torn one replaced since) is not ours to write.
    if (!S_ISREG(ts.st_mode) || static_cast<std::uint64_t>(ts.st_ino) != e.inode) {
        return drop(journal, copy);
    }
    const Fd to(::open(e.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (to.get() < 0 || ::fstat(to.get(), &ts) != 0) {
        return Outcome::Failed;
    }
    if (static_cast<std::uint64_t>(ts.st_ino) != e.inode) {
        return drop(journal, copy);
    }
    if (!overwriteInPlace(from.get(), to.get(), e.size)) {
        return Outcome::Failed;
    }
    // The journal first: a copy without one is a leftover, a journal without its copy is dropped.
    ::unlink(journal.c_str());
    ::unlink(copy.c_str());
    return Outcome::Completed;
}

// Finishes a pending rewrite of the file; Busy or Failed when one is left pending.
Outcome settleFile(const std::string& file) {
    char* real = ::realpath(file.c_str(), nullptr);
    if (real == nullptr) {
        return Outcome::Absent; // nothing there to finish
    }
    const std::string target(real);
    std::free(real);
    Outcome result = Outcome::Absent;
    for (const std::string& journal : {journalBeside(target), journalInTemporaryFolder(target)}) {
        const Outcome outcome = settle(folderOf(journal), nameOf(journal), &target, nullptr);
        if (outcome == Outcome::Failed || outcome == Outcome::Busy) {
            return outcome;
        }
        if (outcome == Outcome::Completed) {
            result = outcome;
        }
    }
    return result;
}

// The process id in the name of a copy or a journal being written (.NAME.vbmp3-[journal-]PID-XXXXXX);
// 0 for any other name.
long long workFileWriter(const std::string& name) {
    const std::size_t mark = name.rfind(kWorkMark);
    if (name.empty() || name[0] != '.' || mark == std::string::npos) {
        return 0;
    }
    std::string rest = name.substr(mark + std::strlen(kWorkMark));
    if (rest.rfind("journal-", 0) == 0) {
        rest.erase(0, 8);
    }
    const std::size_t dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || dash > 10 || rest.size() != dash + 7) {
        return 0;
    }
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const auto c = static_cast<unsigned char>(rest[i]);
        if (i == dash ? c != '-' : i < dash ? !std::isdigit(c) : !std::isalnum(c)) {
            return 0;
        }
    }
    const long long pid = std::strtoll(rest.substr(0, dash).c_str(), nullptr, 10);
    return pid <= INT_MAX ? pid : 0;
}

} // namespace

std::string absolutePath(const std::string& path) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        std::string result(real);
        std::free(real);
        return result;
    }
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    std::vector<char> cwd(PATH_MAX);
    return ::getcwd(cwd.data(), cwd.size()) != nullptr ? std::string(cwd.data()) + "/" + path : path;
}

std::string temporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = absolutePath(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string workFileStem(const std::string& name) {
    if (name.size() <= kLongName) {
        return name;
    }
    std::size_t start = name.size() - kTail;
    while (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80) {
        ++start; // not into the middle of a UTF-8 character
    }
    return name.substr(start) + "." + hex16(fnv1a(name.data(), name.size()));
}

std::string journalBeside(const std::string& target) {
    return folderOf(target) + "." + workFileStem(nameOf(target)) + kJournalSuffix;
}

std::string journalInTemporaryFolder(const std::string& target) {
    return temporaryFolder() + "." + workFileStem(nameOf(target)) + "." +
           hex16(fnv1a(target.data(), target.size())) + kJournalSuffix;
}

bool checksumOf(int fd, std::uint64_t size, std::uint64_t& checksum) {
    std::vector<unsigned char> buffer(1 << 16);
    checksum = fnv1a(nullptr, 0);
    for (std::uint64_t at = 0; at < size;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - at));
        if (!readAt(fd, at, buffer.data(), n)) {
            return false;
        }
        checksum = fnv1a(buffer.data(), n, checksum);
        at += n;
    }
    return true;
}

bool overwriteInPlace(int from, int to, std::uint64_t size) {
    std::vector<unsigned char> buffer(1 << 16);
    for (std::uint64_t at = 0; at < size;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - at));
        if (!readAt(from, at, buffer.data(), n)) {
            return false;
        }
        for (std::size_t done = 0; done < n;) {
            const ssize_t written =
                ::pwrite(to, buffer.data() + done, n - done, static_cast<off_t>(at + done));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(written);
        }
        at += n;
    }
    return ::ftruncate(to, static_cast<off_t>(size)) == 0 && ::fsync(to) == 0;
}

RewriteJournal::RewriteJournal(std::string path) : path_(std::move(path)) {
    const std::lock_guard lock(activeMutex());
    activeJournals().insert(path_);
}

RewriteJournal::~RewriteJournal() {
    const std::lock_guard lock(activeMutex());
    const auto at = activeJournals().find(path_);
    if (at != activeJournals().end()) {
        activeJournals().erase(at);
    }
}

bool RewriteJournal::record(const std::string& target, std::uint64_t inode, const std::string& copy,
                            std::uint64_t size, std::uint64_t checksum) {
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0) {
        errno = EEXIST; // another rewrite of the file is pending: its journal must stay
        return false;
    }
    Entry e;
    e.target = target;
    e.copy = copy;
    e.size = size;
    e.checksum = checksum;
    e.inode = inode;
    e.pid = ::getpid();
    e.boot = bootId();
    const std::string bytes = serialized(e);
    std::string temporary = path_ + "-" + std::to_string(e.pid) + "-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), path_.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    // The journal's name must be on disk before the target's bytes change.
    const Fd folder(::open(folderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0 && ::fsync(folder.get()) != 0 && errno != EINVAL) {
        error = errno;
        ::unlink(path_.c_str());
        errno = error;
        return false;
    }
    return true;
}

void RewriteJournal::remove() {
    ::unlink(path_.c_str());
}

bool readyToRead(const std::string& file) {
    return settleFile(file) != Outcome::Failed;
}

bool readyToWrite(const std::string& file) {
    const Outcome outcome = settleFile(file);
    return outcome != Outcome::Failed && outcome != Outcome::Busy;
}

int completeRewritesIn(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return -1;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 2 && name[0] == '.' && name.find(kWorkMark) != std::string::npos) {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::string base = absolutePath(folder);
    if (base.back() != '/') {
        base += '/';
    }
    int count = 0;
    std::set<std::string> kept; // copies of rewrites still pending
    bool unknownCopies = false; // a pending journal that could not be read: its copy is not known
    for (const std::string& name : names) {
        if (!endsWith(name, kJournalSuffix)) {
            continue;
        }
        std::string copy;
        switch (settle(base, name, nullptr, &copy)) {
        case Outcome::Completed:
        case Outcome::Dropped:
            ++count;
            break;
        case Outcome::Busy:
        case Outcome::Failed:
            unknownCopies = unknownCopies || copy.empty();
            kept.insert(copy);
            break;
        default:
            break;
        }
    }
    if (unknownCopies) {
        return count;
    }
    for (const std::string& name : names) {
        const long long writer = workFileWriter(name);
        struct stat st {};
        if (writer <= 0 || kept.count(name) != 0 || !processGone(writer) ||
            ::lstat((base + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
            continue;
        }
        if (::unlink((base + name).c_str()) == 0) {
            ++count;
        }
    }
    return count;
}

} // namespace vbmp3
