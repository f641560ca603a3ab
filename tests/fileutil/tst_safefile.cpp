// Replacing a file: what a save may follow, and what the saved file stays.
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileFaults.h"
#include "SafeFile.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

const uid_t kNobody = 65534;

std::string Bytes(const std::string& path) {
    return FileBytes(path).toStdString();
}

void Put(const std::string& path, const std::string& content, mode_t mode = 0644) {
    ::unlink(path.c_str());
    QVERIFY(::ReplaceFile(path, content));
    QVERIFY(::chmod(path.c_str(), mode) == 0);
}

struct stat Info(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

class TestSafeFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::string at(const char* name) { return dir.filePath(name).toStdString(); }

private slots:
    void initTestCase() { QVERIFY(::chmod(dir.path().toLocal8Bit().constData(), 0755) == 0); }

    // A link is followed only where the kernel's protected-symlinks rule
    // would let an open follow it: a link of the saving user, or one in a
    // folder that is not both sticky and world-writable.
    void linksAreFollowedOnlyWhereAnOpenMayFollowThem() {
        if (::getuid() != 0)
            QSKIP("links of another user need root to be made");
        const std::string outside = at("outside.txt");
        struct Case {
            const char* folder;
            mode_t mode;
            uid_t linkOwner;
            bool followed;
        };
        const Case cases[] = {
            {"shared", 01777, kNobody, false}, // planted by another user
            {"shared2", 01777, 0, true},       // the saver's own link
            {"open", 0777, kNobody, true},     // no sticky bit: no protection
        };
        for (const Case& c : cases) {
            Put(outside, "outside");
            const std::string folder = at(c.folder);
            QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
            QVERIFY(::chmod(folder.c_str(), c.mode) == 0);
            const std::string link = folder + "/save.txt";
            QVERIFY(::symlink(outside.c_str(), link.c_str()) == 0);
            QVERIFY(::lchown(link.c_str(), c.linkOwner, c.linkOwner) == 0);
            QCOMPARE(::ReplaceFile(link, "new"), c.followed);
            QCOMPARE(Bytes(outside), std::string(c.followed ? "new" : "outside"));
            QVERIFY(S_ISLNK(Info(link).st_mode));
            StreamFile log; // a file written as a run goes on follows the same rule
            QCOMPARE(log.open(link), c.followed);
            QVERIFY(!log.isOpen() || (log.write("log") && log.close()));
            QCOMPARE(Bytes(outside), std::string(c.followed ? "log" : "outside"));
            // A dangling link is decided by the same rule.
            ::unlink(outside.c_str());
            QCOMPARE(::ReplaceFile(link, "created"), c.followed);
            QCOMPARE(QFile::exists(QString::fromStdString(outside)), c.followed);
            ::unlink(link.c_str());
        }
    }

    // A file written piece by piece: never a FIFO or a device, emptied once
    // open, and a write the system refuses is said so.
    void aStreamedFileIsARegularFile() {
        const std::string fifo = at("stream.fifo"), regular = at("stream.txt");
        QVERIFY(::mkfifo(fifo.c_str(), 0600) == 0);
        for (const std::string& path : {fifo, std::string("/dev/null"), at("")}) {
            StreamFile s;
            QVERIFY(!s.open(path));
            QVERIFY(!s.error().empty());
        }
        Put(regular, "old and long");
        {
            StreamFile s;
            QVERIFY(s.open(regular) && s.write("new") && s.close());
            QCOMPARE(Bytes(regular), std::string("new"));
        }
        // Beyond the file size limit (the signal ignored, as the program's is not:
        // the write then fails with EFBIG).
        struct rlimit old;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
        const auto previous = ::signal(SIGXFSZ, SIG_IGN);
        StreamFile s;
        QVERIFY(s.open(regular));
        struct rlimit small = old;
        small.rlim_cur = 4;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        const bool written = s.write("more than four bytes");
        ::setrlimit(RLIMIT_FSIZE, &old);
        ::signal(SIGXFSZ, previous);
        QVERIFY(!written && !s.write("x") && !s.close());
        QCOMPARE(QString::fromStdString(s.error()), QString("File too large"));
    }

    // A set is replaced all or none: when one file cannot be written (a
    // full disk, a folder in its place), every old file stays as it was
    // and no temporary file is left beside them.
    void aSetIsReplacedAllOrNone() {
        const std::string folder = at("set"), ini = folder + "/a.ini",
                          wave = folder + "/a_channel1.txt";
        QVERIFY(QDir().mkpath(QString::fromStdString(folder + "/dir")));
        Put(ini, "old ini");
        Put(wave, "old wave");
        const struct {
            const char* what;
            std::vector<std::pair<std::string, std::string>> files;
            rlim_t room;
            bool replaced;
        } rows[] = {
            {"a folder in the way",
             {{wave, "new wave"}, {folder + "/dir", "x"}},
             RLIM_INFINITY,
             false},
            {"a full disk", {{wave, "new wave"}, {ini, std::string(8192, 'x')}}, 4096, false},
            {"room for all", {{wave, "new wave"}, {ini, "new ini"}}, RLIM_INFINITY, true},
        };
        for (const auto& row : rows) {
            bool replaced = false;
            {
                const FileSizeLimit limit(row.room);
                replaced = ::ReplaceFiles(row.files);
            }
            QVERIFY2(replaced == row.replaced, row.what);
            QCOMPARE(Bytes(wave), std::string(row.replaced ? "new wave" : "old wave"));
            QCOMPARE(Bytes(ini), std::string(row.replaced ? "new ini" : "old ini"));
            QCOMPARE(QDir(QString::fromStdString(folder))
                         .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList({"a.ini", "a_channel1.txt", "dir"}));
        }
    }

    void aSavedFileStaysWhatItWas() {
        // Owner, group and mode are kept.
        const std::string owned = at("owned.txt");
        Put(owned, "old", 0640);
        if (::getuid() == 0)
            QVERIFY(::chown(owned.c_str(), kNobody, kNobody) == 0);
        const struct stat before = Info(owned);
        QVERIFY(::ReplaceFile(owned, "new"));
        const struct stat after = Info(owned);
        QCOMPARE(Bytes(owned), std::string("new"));
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_mode, before.st_mode);

        // Every name of a file with several keeps showing it.
        const std::string first = at("first.txt"), second = at("second.txt");
        Put(first, "old");
        QVERIFY(::link(first.c_str(), second.c_str()) == 0);
        QVERIFY(::ReplaceFile(first, "new"));
        QCOMPARE(Bytes(second), std::string("new"));
        QCOMPARE(Info(first).st_ino, Info(second).st_ino);

        // A name as long as a name may be.
        const std::string longName = dir.path().toStdString() + "/" + std::string(250, 'n');
        QVERIFY(::ReplaceFile(longName, "long"));
        QVERIFY(::ReplaceFile(longName, "longer"));
        QCOMPARE(Bytes(longName), std::string("longer"));
    }

    void whatTheUserMayNotWriteIsNotReplaced() {
        // As another user: a read-only file of theirs, and a file of root's in
        // a folder they may write, are refused; a file they may write in a
        // folder that takes no new files is written in place.
        const std::string folder = at("users");
        QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
        struct Case {
            const char* name;
            mode_t mode;
            bool theirs;
            mode_t folderMode;
            bool saved;
        };
        const Case cases[] = {
            {"readonly.txt", 0444, true, 0777, false},
            {"roots.txt", 0644, false, 0777, false},
            {"writable.txt", 0666, false, 0555, true},
        };
        for (const Case& c : cases) {
            const std::string file = folder + "/" + c.name;
            QVERIFY(::chmod(folder.c_str(), 0755) == 0);
            Put(file, "old", c.mode);
            if (c.theirs && ::getuid() == 0)
                QVERIFY(::chown(file.c_str(), kNobody, kNobody) == 0);
            QVERIFY(::chmod(folder.c_str(), c.folderMode) == 0);
            const SaveAsUser result =
                SavedAsAnotherUser([&] { return ::ReplaceFile(file, "new"); });
            if (result == SaveAsUser::NoSuchUser)
                QSKIP("no other user to save as here");
            QCOMPARE(result == SaveAsUser::Saved, c.saved);
            QCOMPARE(Bytes(file), std::string(c.saved ? "new" : "old"));
        }
        QVERIFY(::chmod(folder.c_str(), 0755) == 0);
    }
};

NV815_TEST_GUILESS_MAIN(TestSafeFile)
} // namespace NV815_TEST_UNIT

#include "tst_safefile.moc"
