// In-place rewrites that a crash cannot tear. Where a new version cannot be renamed over a file, its
// content is copied over the file's own bytes; a process killed during that copy would leave every name of
// the file with neither version. So before the first byte is overwritten, a journal beside the complete,
// flushed copy names the file, the copy and the copy's size and checksum, and the next library call on the
// file (or a sweep of the folder) finishes the copy from it.
//
// Names, from a file's resolved path /FOLDER/NAME:
//   copy                       .NAME.vbmp3-PID-XXXXXX, beside the file or in the temporary folder
//   journal beside the file    /FOLDER/.NAME.vbmp3-journal
//   journal in the temporary   TMP/.NAME.HASH.vbmp3-journal (HASH of the whole path: folders of other
//   folder                     files may hold the same name)
//   journal being written      JOURNAL-PID-XXXXXX
// NAME is cut when it is long. A journal holds, each ended by a NUL byte: "vbmp3 rewrite 1", the file's
// path, the copy's name (in the journal's folder), the copy's size, its FNV-1a checksum (16 hex digits),
// the file's inode number, the writer's process id and the boot id of the system it ran on.
#pragma once

#include <cstdint>
#include <string>

namespace vbmp3 {

// The path with every symbolic link resolved; the path made absolute when it cannot be resolved.
std::string absolutePath(const std::string& path);

// The system's folder for temporary files ($TMPDIR, else /tmp), resolved, with a trailing slash.
std::string temporaryFolder();

// The part of a file name that work files made from it carry: the name, or for a long one its tail and a
// hash of the whole, so that the work files' names stay within the file system's limit.
std::string workFileStem(const std::string& name);

// Where the journal of an in-place rewrite of `target` (a resolved path) lies.
std::string journalBeside(const std::string& target);
std::string journalInTemporaryFolder(const std::string& target);

// FNV-1a over the first `size` bytes of the file; false when they cannot be read.
bool checksumOf(int fd, std::uint64_t size, std::uint64_t& checksum);

// Copies the `size` bytes of `from` over the start of `to`, cuts `to` to that size and flushes it.
bool overwriteInPlace(int from, int to, std::uint64_t size);

// The journal of one in-place rewrite, held by its writer: while the writer runs, nobody else finishes it.
class RewriteJournal {
  public:
    explicit RewriteJournal(std::string path);
    ~RewriteJournal();
    RewriteJournal(const RewriteJournal&) = delete;
    RewriteJournal& operator=(const RewriteJournal&) = delete;

    // Makes the journal durable (written under a temporary name, flushed, renamed, its folder flushed).
    // `copy` lies in the journal's folder. Only after true may the target be overwritten; false (errno
    // set) when it could not be made, or a journal of that name exists (EEXIST).
    bool record(const std::string& target, std::uint64_t inode, const std::string& copy, std::uint64_t size,
                std::uint64_t checksum);
    // The target is whole on disk: the journal goes.
    void remove();

  private:
    std::string path_;
};

// Finishes an interrupted in-place rewrite of the file before a call reads or writes it. False when the
// file must not be used: a rewrite of it could not be finished (it holds parts of two versions), or, for
// a writer, another living process is rewriting it.
bool readyToRead(const std::string& file);
bool readyToWrite(const std::string& file);

// Finishes every interrupted rewrite whose journal lies in `folder` and removes the work files of
// writers that no longer run. The number of files finished or removed; -1 when the folder cannot be read.
int completeRewritesIn(const std::string& folder);

} // namespace vbmp3
