// The program's command line: --version, --help, unknown options, the
// sentence it says instead of starting without a display, and the window
// module it loads to show the panel.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "Credentials.h"
#include "TestRegistry.h"
#include "Transport.h"

namespace NV815_TEST_UNIT {

class TestCommandLine : public QObject {
    Q_OBJECT

    struct Run {
        int exitCode;
        QString out, err;
    };
    static Run Start(const QStringList& arguments, const QProcessEnvironment& environment) {
        QProcess p;
        p.setProcessEnvironment(environment);
        p.start(PROGRAM, arguments);
        if (!p.waitForFinished(20000))
            p.kill();
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

private slots:
    void answersWithoutAWindow() {
        const QProcessEnvironment empty;
        Run version = Start({"--version"}, empty);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QString("nv815-panel 1.46\n"));
        Run help = Start({"--help"}, empty);
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("Usage:") && help.out.contains("--version"));
        for (const TransportKind& kind : Transports()) // each row's options
            QVERIFY(help.out.contains("--" + kind.portOption + " <N>") &&
                    help.out.contains("--" + (kind.required ? "port" : kind.offOption)));
        Run unknown = Start({"--bogus"}, empty);
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(unknown.err.contains("Unknown option 'bogus'"));
    }

    // --add-user keeps a hash only, in a file only its owner reads; a new
    // password replaces the old; a name that is none, or a file others may
    // read, is refused and the file left as it was.
    void addUserKeepsAHashOnly() {
        QTemporaryDir dir;
        const QString file = dir.filePath("users");
        const auto add = [&](const QString& name, const QByteArray& password) {
            QProcess p;
            p.start(PROGRAM, {"--add-user", name, "--users", file});
            p.write(password + "\n");
            p.closeWriteChannel();
            p.waitForFinished(20000);
            return Run{p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                       QString::fromLocal8Bit(p.readAllStandardError())};
        };
        QCOMPARE(add("alice", "s3cret").out, "Added alice in " + file + ".\n");
        QFile f(file);
        QCOMPARE(f.permissions() &
                     ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QFileDevice::Permissions());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray first = f.readAll();
        f.close();
        QVERIFY(first.startsWith("alice:$argon2id$") && !first.contains("s3cret"));
        Credentials users;
        QString error;
        QVERIFY(users.load(file, error) && users.check("alice", "s3cret"));
        QVERIFY(!users.check("alice", "s3creT") && !users.check("bob", "s3cret"));
        QCOMPARE(add("alice", "other").out, "New password of alice in " + file + ".\n");
        QVERIFY(users.load(file, error) && users.check("alice", "other"));
        const Run bad = add("a b", "x");
        QVERIFY(bad.exitCode == 1 && bad.err.contains("'a b' is no user name"));
        QCOMPARE(add("carol", "").exitCode, 1); // no password
        f.setPermissions(f.permissions() | QFile::ReadOther);
        const Run open = add("dave", "x");
        QVERIFY(open.exitCode == 1 && open.err.contains("chmod 600"));
        QVERIFY(!users.load(file, error) && users.users().isEmpty());
    }

    void saysWhatItNeedsWithoutADisplay() {
        Run r = Start({}, QProcessEnvironment());
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("nv815-panel needs a graphical session (neither DISPLAY nor "
                                "WAYLAND_DISPLAY is set); to run it without one, set "
                                "QT_QPA_PLATFORM=offscreen.\n"));
    }

    void loadsTheWindowsOnlyToShowThem() {
        QProcessEnvironment env;
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LD_LIBRARY_PATH", SIM_DIR);
        env.insert("NVSIM_CHASSIS", "");
        {
            // The panel comes up and stays until it is closed.
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(PROGRAM, QStringList());
            QVERIFY(p.waitForStarted());
            QVERIFY2(!p.waitForFinished(3000), p.readAllStandardError().constData());
            p.kill();
            p.waitForFinished();
        }
        // Without its module the program says where it looked, and why it failed.
        QTemporaryDir dir;
        const QString alone = dir.filePath("nv815-panel");
        QVERIFY(QFile::copy(PROGRAM, alone));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(alone, QStringList());
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains("the windows could not be loaded") &&
                     err.contains(dir.filePath("nv815-panel-window.so")),
                 qPrintable(err));
        // The command line needs no module.
        p.start(alone, {"--version"});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
    }

    // A driver without one of its entry points: the window (offscreen, where
    // no box can be seen) and the command line both stop at once, naming the
    // library and the entry point.
    void startUpAssertionNeverWaits() {
        QProcessEnvironment env;
        env.insert("LD_LIBRARY_PATH", QString(INCOMPLETE_DRIVER_DIR) + ":" + SIM_DIR);
        env.insert("NVSIM_CHASSIS", "");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        for (const QStringList& arguments : {QStringList(), QStringList({"--list-cards"})}) {
            const Run r = Start(arguments, env);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains(
                         QRegularExpression(R"(Assertion failure \(nv815_def, line \d+\))")) &&
                         r.err.contains("libnv815_32.so has no entry point nv815_SetAttenuation."),
                     qPrintable(r.err));
        }
    }
};

NV815_TEST_GUILESS_MAIN(TestCommandLine)
} // namespace NV815_TEST_UNIT

#include "tst_cli.moc"
