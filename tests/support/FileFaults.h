// Saves that are refused or cut short, for the tests of every file the
// program writes.
#pragma once

#include <QFile>
#include <QtTest>
#include <csignal>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// What became of a save tried by a user who may not write where root may.
enum class SaveAsUser { Saved, Refused, NoSuchUser };

// Runs `save` in a child process, as user "nobody" when this is root (who may
// write anywhere).
inline SaveAsUser SavedAsAnotherUser(const std::function<bool()>& save) {
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        _exit(save() ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 2;
    return code == 0 ? SaveAsUser::Saved : code == 1 ? SaveAsUser::Refused : SaveAsUser::NoSuchUser;
}

inline QByteArray FileBytes(const std::string& path) {
    QFile f(QFile::decodeName(path.c_str()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Kills a child that saves `a` and `b` to `target` by turns, at varied
// moments, and checks each time that the target holds exactly one of them.
inline void KillDuringSaves(const std::string& target, const std::function<void()>& saveA,
                            const std::function<void()>& saveB, const QByteArray& textA,
                            const QByteArray& textB, int rounds = 20) {
    for (int round = 0; round < rounds; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            for (int i = 0;; ++i)
                (i % 2 ? saveA : saveB)();
        }
        QVERIFY(child > 0);
        QTest::qSleep(2 + round % 7);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const QByteArray now = FileBytes(target);
        QVERIFY2(now == textA || now == textB, "a torn or empty file");
    }
}

// While it lives, no file of this process grows beyond `bytes` (a write
// beyond fails with EFBIG, its signal ignored), as on a disk that is full.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit old_ = {};
    void (*previous_)(int) = nullptr;
};

// A small file system that fills up, when this process may mount one; its
// folder, or "" (the caller then skips).
class FullFileSystem {
public:
    explicit FullFileSystem(const std::string& folder) : folder_(folder) {
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0)
            mounted_ = true;
    }
    ~FullFileSystem() {
        if (mounted_)
            ::umount(folder_.c_str());
    }
    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};
