#include "SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
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

bool ReplaceFile(const std::string& path, const std::string& content) {
    if (path.empty())
        return false;
    // A link is followed: the file it names is the one replaced.
    std::string target = path;
    struct stat info;
    bool exists = ::lstat(path.c_str(), &info) == 0;
    if (exists && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved))
            return false;
        target = resolved;
        exists = ::stat(target.c_str(), &info) == 0;
    }
    if (exists && !S_ISREG(info.st_mode))
        return false; // a directory or a device is never replaced
    const size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string temporary = folder + "." + BaseName(target) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    mode_t mode;
    if (exists) {
        mode = info.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
