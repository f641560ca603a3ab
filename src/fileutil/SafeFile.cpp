#include "SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileReader::FileReader(const std::string& path) {
    // Without blocking: a FIFO would wait for a writer before open returns.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat info;
    if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ >= 0)
        size_ = info.st_size;
}

int FileReader::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

FileReader::~FileReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

ssize_t FileReader::read(char* buffer, size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, n);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

bool FileReader::readAll(std::string& out) {
    char piece[65536];
    for (;;) {
        const ssize_t got = read(piece, sizeof piece);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(piece, static_cast<size_t>(got));
    }
}

bool FileReader::readAtMost(size_t limit, std::string& out, bool& tooLarge) {
    tooLarge = false;
    char piece[65536];
    for (;;) {
        const size_t want = std::min(sizeof piece, limit + 1 - std::min(out.size(), limit));
        const ssize_t got = read(piece, want);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(piece, static_cast<size_t>(got));
        if (out.size() > limit) {
            tooLarge = true;
            return false;
        }
    }
}

namespace {

bool WriteAll(int fd, const std::string& content) {
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, p, left);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        left -= static_cast<size_t>(done);
    }
    return true;
}

} // namespace

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Whether an open would follow the link at `path` (owned as `link` says)
// under the kernel's protected-symlinks rule: outside a folder that is both
// sticky and world-writable, or when the link belongs to the user or to the
// folder's owner.
bool MayFollow(const std::string& path, const struct stat& link) {
    const std::string folder = FolderOf(path);
    struct stat info;
    if (::stat(folder.empty() ? "." : folder.c_str(), &info) != 0)
        return false;
    const bool protectedFolder = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
    return !protectedFolder || link.st_uid == ::geteuid() || link.st_uid == info.st_uid;
}

// The file a save of `path` writes: links followed one by one where the rule
// allows. False when a link may not be followed or the chain is too long.
bool SaveTarget(const std::string& path, std::string& target, bool& exists, struct stat& info) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        if (::lstat(target.c_str(), &info) != 0) {
            exists = false;
            return errno == ENOENT;
        }
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            return true;
        }
        if (!MayFollow(target, info))
            return false;
        std::string destination(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), destination.data(), destination.size());
        if (n <= 0 || static_cast<size_t>(n) >= destination.size())
            return false;
        destination.resize(static_cast<size_t>(n));
        target = destination[0] == '/' ? destination : FolderOf(target) + destination;
    }
    return false;
}

// Writes the content over the file itself: its names, owner and mode all
// stay. Room for the whole content is taken first, so a full disk changes
// nothing.
bool WriteInPlace(const std::string& target, const struct stat& info, const std::string& content) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat now;
    bool ok = ::fstat(fd, &now) == 0 && now.st_dev == info.st_dev && now.st_ino == info.st_ino;
    if (ok && !content.empty()) {
        const int room = ::fallocate(fd, 0, 0, static_cast<off_t>(content.size()));
        ok = room == 0 || errno == EOPNOTSUPP;
    }
    ok = ok && WriteAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 &&
         ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

namespace {

// A file of a save, written beside its target but not yet in its place.
struct Staged {
    std::string target, temporary;
    bool exists = false;
    bool inPlace = false;   // written over the file itself when the set is committed
    bool ownerOnly = false; // mode 0600 whatever the old file's was; never in place
    struct stat info = {};
};

// Whether a rename may replace the target: in a sticky folder only the
// file's owner, the folder's owner (or root) may.
bool MayRenameOver(const std::string& target, const struct stat& info) {
    const std::string folder = FolderOf(target);
    struct stat dir;
    if (::stat(folder.empty() ? "." : folder.c_str(), &dir) != 0)
        return false;
    const uid_t me = ::geteuid();
    return !(dir.st_mode & S_ISVTX) || me == 0 || info.st_uid == me || dir.st_uid == me;
}

// Room for `size` bytes in the file itself, its content as it is.
bool ReserveInPlace(const std::string& target, size_t size) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    const int room =
        size == 0 ? 0 : ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
    const bool ok = room == 0 || errno == EOPNOTSUPP;
    return ::close(fd) == 0 && ok;
}

// The new file written and flushed beside the target (or, where it must be
// written in place, room for it taken); nothing of the target changed.
bool Stage(const std::string& path, const std::string& content, Staged& s) {
    if (path.empty() || !SaveTarget(path, s.target, s.exists, s.info))
        return false;
    if (s.exists && !S_ISREG(s.info.st_mode))
        return false; // a directory or a device is never replaced
    // What the user may not write is not replaced either, even where the
    // folder would let a new file take its name.
    if (s.exists && ::faccessat(AT_FDCWD, s.target.c_str(), W_OK, AT_EACCESS) != 0)
        return false;
    // Other names of the file must keep showing it; another user's file in
    // a sticky folder cannot be renamed over, but may still be written.
    s.inPlace = s.exists && (s.info.st_nlink > 1 || !MayRenameOver(s.target, s.info));
    if (s.inPlace)
        return ReserveInPlace(s.target, content.size());

    s.temporary = FolderOf(s.target) + ".nv815-XXXXXX"; // short: any name fits
    const int fd = ::mkstemp(s.temporary.data());
    if (fd < 0) {
        s.temporary.clear();
        // A folder that takes no new files: the file is written where it is.
        s.inPlace = s.exists && !s.ownerOnly && (errno == EACCES || errno == EPERM);
        return s.inPlace && ReserveInPlace(s.target, content.size());
    }
    mode_t mode;
    if (s.ownerOnly) {
        mode = 0600;
    } else if (s.exists) {
        mode = s.info.st_mode & 07777;
        // The owner and group stay where the process may keep them (before
        // the mode: a change of owner clears set-id bits).
        if (::fchown(fd, s.info.st_uid, s.info.st_gid) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), s.info.st_gid);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(s.temporary.c_str());
        s.temporary.clear();
        return false;
    }
    return true;
}

void Discard(Staged& s) {
    if (!s.temporary.empty())
        ::unlink(s.temporary.c_str());
    s.temporary.clear();
}

// The staged file takes its name, and the new name reaches the disk.
bool Commit(Staged& s, const std::string& content) {
    if (s.inPlace)
        return WriteInPlace(s.target, s.info, content);
    if (::rename(s.temporary.c_str(), s.target.c_str()) != 0) {
        const int why = errno;
        Discard(s);
        // A sticky folder's rule the check before did not foresee.
        return s.exists && (why == EPERM || why == EACCES) &&
               WriteInPlace(s.target, s.info, content);
    }
    s.temporary.clear();
    const std::string folder = FolderOf(s.target);
    const int dirFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace

bool ReplaceFile(const std::string& path, const std::string& content) {
    return ReplaceFiles({{path, content}});
}

bool ReplaceOwnerOnlyFile(const std::string& path, const std::string& content) {
    Staged s;
    s.ownerOnly = true;
    if (!Stage(path, content, s))
        return false;
    return Commit(s, content);
}

bool ReplaceFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<Staged> staged(files.size());
    for (size_t k = 0; k < files.size(); ++k)
        if (!Stage(files[k].first, files[k].second, staged[k])) {
            for (size_t j = 0; j < k; ++j)
                Discard(staged[j]);
            return false;
        }
    bool ok = true;
    for (size_t k = 0; k < files.size(); ++k)
        ok = Commit(staged[k], files[k].second) && ok;
    return ok;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x, y;
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

StreamFile::~StreamFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool StreamFile::open(const std::string& path) {
    std::string target;
    bool exists = false;
    struct stat info;
    if (path.empty() || !SaveTarget(path, target, exists, info)) {
        error_ = "it is a link that is not followed (another user's, in a shared folder), or "
                 "its folder cannot be read";
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        error_ = "it is no regular file";
        return false;
    }
    // Not blocking: a FIFO put in its place since is found by fstat, not waited on.
    const int fd =
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    struct stat now;
    if (::fstat(fd, &now) != 0 || !S_ISREG(now.st_mode)) {
        error_ = "it is no regular file";
        ::close(fd);
        return false;
    }
    if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error_ = std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    error_.clear();
    return true;
}

bool StreamFile::write(const std::string& bytes) {
    if (fd_ < 0 || !error_.empty())
        return false;
    errno = 0;
    if (!WriteAll(fd_, bytes)) {
        error_ = errno ? std::strerror(errno) : "the disk is full";
        return false;
    }
    return true;
}

bool StreamFile::close() {
    if (fd_ < 0)
        return error_.empty();
    const bool synced = ::fsync(fd_) == 0 || errno == EINVAL;
    if (!synced && error_.empty())
        error_ = std::strerror(errno);
    if (::close(fd_) != 0 && error_.empty())
        error_ = std::strerror(errno);
    fd_ = -1;
    return error_.empty();
}
