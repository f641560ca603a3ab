// Files named by the file system's own bytes (not necessarily UTF-8), read
// without mapping and replaced only by complete new files.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Whether the name is a regular file (a directory or a missing name is not).
bool IsRegularFile(const std::string& path);

// Whether the name names anything at all (a link is followed).
bool PathExists(const std::string& path);

// The last part of a path, after its last "/".
std::string BaseName(const std::string& path);

// A regular file open for reading; closed when it goes. Anything else (a
// directory, a FIFO, a device) is never opened: reading it could block or
// never end.
class FileReader {
public:
    explicit FileReader(const std::string& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Hands the descriptor over to the caller, who closes it; -1 when none.
    int release();
    // The size the file had when opened.
    long long size() const { return size_; }
    // Up to `n` bytes: the count read, 0 at the end, -1 on a read error.
    ssize_t read(char* buffer, size_t n);
    // The whole rest of the file; false on a read error.
    bool readAll(std::string& out);
    // The rest of the file when it holds at most `limit` bytes; `tooLarge`
    // (and false) when it holds more. Reads no more than limit + 1 bytes.
    bool readAtMost(size_t limit, std::string& out, bool& tooLarge);

private:
    int fd_ = -1;
    long long size_ = 0;
};

// Replaces the file at `path` (or creates it) with `content`: a temporary
// file beside it is written and flushed to disk, then renamed over it. On
// any failure the old file is untouched, the temporary is removed and false
// is returned. An existing file keeps its owner, group (where the process
// may set them) and mode; a file the user may not write is not replaced. A
// file with other names, or in a folder that takes no new files, is written
// in place (room for it taken first). A link is followed only where the
// kernel's protected-symlinks rule lets an open follow it: the user's own
// link, one owned by the folder's owner, or one outside a sticky
// world-writable folder; a dangling one creates the file it names.
bool ReplaceFile(const std::string& path, const std::string& content);
// The same for a file only its owner may read and write (mode 0600 whatever
// the old one's was), never written in place.
bool ReplaceOwnerOnlyFile(const std::string& path, const std::string& content);

// Replaces (or creates) a set of files, each by the rules of ReplaceFile,
// all or none: every new file is written and flushed beside its target
// (room taken for one written in place) before any takes its name. When one
// cannot be written, every old file is left as it was. Only a rename
// failing once all are written (which nothing on a working file system
// does) would leave the set part old, part new.
bool ReplaceFiles(const std::vector<std::pair<std::string, std::string>>& files);

// Whether two names name the same file (both exist).
bool SameFile(const std::string& a, const std::string& b);

// A file written piece by piece as a run goes on, such as a log. It is
// opened only when it is a regular file or does not exist yet (never a FIFO
// or a device, which could block or swallow it), links followed as
// ReplaceFile follows them, and emptied once open. Every write is checked.
class StreamFile {
public:
    StreamFile() = default;
    ~StreamFile();
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // False, with the reason in error(), when it cannot be opened.
    bool open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    // False (and error() says why) when the bytes could not all be written;
    // later writes are then refused too.
    bool write(const std::string& bytes);
    // Flushes to disk and closes; false on a failure then or before.
    bool close();
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};
