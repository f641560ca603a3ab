// The program's command line: --version, --help, unknown options, and the
// sentence it says instead of starting without a display.
#include <QProcess>
#include <QtTest>

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
        Run unknown = Start({"--bogus"}, empty);
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(unknown.err.contains("Unknown option 'bogus'"));
    }

    void saysWhatItNeedsWithoutADisplay() {
        Run r = Start({}, QProcessEnvironment());
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("nv815-panel needs a graphical session (neither DISPLAY nor "
                                "WAYLAND_DISPLAY is set); to run it without one, set "
                                "QT_QPA_PLATFORM=offscreen.\n"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_cli.moc"
