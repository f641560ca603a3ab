// Start-up binding with different sets of libraries on the search path.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "LibraryBindings.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

struct Run {
    int exitCode = -1;
    QStringList out;
    QString err;
    QString line(const QString& key) const {
        for (const QString& l : out)
            if (l.startsWith(key + " "))
                return l.mid(key.size() + 1);
        return "(none)";
    }
};

// Starts the probe with only the given libraries on the library search path.
Run Probe(const QStringList& libraries, const QString& chassis = QString()) {
    QTemporaryDir dir;
    for (const QString& lib : libraries)
        QFile::link(lib, dir.filePath(QFileInfo(lib).fileName()));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_LIBRARY_PATH", dir.path());
    env.insert("NVSIM_CHASSIS", chassis);
    p.setProcessEnvironment(env);
    p.start(PROBE, {});
    p.waitForFinished(60000);
    Run r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

const QStringList kAll = {SIM_VISA, SIM_DRIVER, STUB_NVPX60, STUB_NVLPXI};

const QString kSearchPath = "To use a card, put its maker's libraries on the library search path "
                            "(LD_LIBRARY_PATH or /etc/ld.so.conf)";

// What the probe said is missing, its advice checked and cut off.
QString Missing(const Run& r) {
    const QString line = r.line("missing");
    const qsizetype advice = line.indexOf(" " + kSearchPath);
    if (advice < 0 || !line.endsWith("."))
        return "(no advice) " + line;
    return line.left(advice);
}

class TestBindings : public QObject {
    Q_OBJECT
private slots:
    void everyLibraryPresent() {
        Run r = Probe(kAll);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.line("loaded"), QString("1 1 1 1"));
        // VISA and the driver are complete; the switching stubs lack most names.
        QCOMPARE(r.line("nulls"), QString("0 0 33 48"));
        QCOMPARE(r.line("defaultrm"), QString("open"));
        QCOMPARE(r.line("released"),
                 QString("libNVLPXI.so libnvpx60_32.so libnv815_32.so libvisa.so"));
        QCOMPARE(r.line("message"), QString("(none)"));
        QCOMPARE(r.line("missing"), QString("(nothing)"));
    }

    void switchingLibrariesAbsentChangeNothing() {
        Run r = Probe({SIM_VISA, SIM_DRIVER});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.line("loaded"), QString("1 1 0 0"));
        QCOMPARE(r.line("nulls"), QString("0 0 35 51"));
        QCOMPARE(r.line("defaultrm"), QString("open"));
        QCOMPARE(r.line("released"), QString("libnv815_32.so libvisa.so"));
    }

    void driverAbsent() {
        Run r = Probe({SIM_VISA, STUB_NVLPXI});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.line("loaded"), QString("1 0 0 1"));
        QCOMPARE(r.line("nulls"), QString("0 48 35 48"));
        QCOMPARE(
            Missing(r),
            QString("Not found: the instrument driver libnv815_32.so; no card can be opened."));
        QCOMPARE(r.line("released"), QString("libNVLPXI.so libvisa.so"));
    }

    void visaAbsent() {
        // The simulated driver needs the VISA library, so it cannot load either.
        Run r = Probe({SIM_DRIVER, STUB_NVPX60});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.line("loaded"), QString("0 0 1 0"));
        QCOMPARE(r.line("defaultrm"), QString("0"));
        // The driver is there, but the library it needs is not: the loader says so.
        QCOMPARE(Missing(r),
                 QString("Not found: the VISA library libvisa.so; Could not load the instrument "
                         "driver libnv815_32.so (libvisa.so: cannot open shared object file: No "
                         "such file or directory); no card can be used."));
        QCOMPARE(r.line("released"), QString("libnvpx60_32.so"));
    }

    void driverThatCannotLoadIsNamedWithTheReason() {
        Run r = Probe({FOREIGN_VISA, SIM_DRIVER, STUB_NVPX60, STUB_NVLPXI});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.line("loaded"), QString("1 0 1 1"));
        const QString missing = Missing(r);
        QVERIFY2(missing.startsWith("Could not load the instrument driver libnv815_32.so (") &&
                     missing.contains("undefined symbol") &&
                     missing.endsWith("); no card can be opened."),
                 qPrintable(missing));
        QCOMPARE(r.line("released"), QString("libNVLPXI.so libnvpx60_32.so libvisa.so"));
    }

    // What to do: the search path always; the simulated chassis where this
    // program has one, by the demo launcher installed beside it, or by the
    // build tree's folder.
    void adviceForEachLayout() {
        QTemporaryDir root;
        const QString dir = root.path();
        QVERIFY(QDir(dir).mkpath("bin") && QDir(dir).mkpath("build/src") &&
                QDir(dir).mkpath("build/sim") && QDir(dir).mkpath("other/src"));
        for (const char* file : {"bin/nv815-panel-demo", "build/sim/libvisa.so"}) {
            QFile f(dir + "/" + QLatin1String(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const struct {
            const char* program;
            QString then;
        } rows[] = {
            {"/bin/nv815-panel", "; to try the panel without one, start " + dir +
                                     "/bin/nv815-panel-demo (the simulated chassis)."},
            {"/build/src/nv815-panel",
             "; to try the panel without one, start it with LD_LIBRARY_PATH=" + dir +
                 "/build/sim (the simulated chassis)."},
            {"/other/src/nv815-panel", "."},
        };
        for (const auto& row : rows)
            QCOMPARE(QString::fromStdString(LibraryAdvice((dir + row.program).toStdString())),
                     kSearchPath + row.then);
    }

    void missingDriverEntryPointStopsStartUp() {
        Run r = Probe({SIM_VISA, INCOMPLETE_DRIVER, STUB_NVPX60, STUB_NVLPXI});
        QCOMPARE(r.exitCode, 1);
        // The box's text, then the library and the entry point it lacks.
        const QStringList err = r.err.trimmed().split('\n');
        QRegularExpression text(R"(^Assertion failure \(nv815_def, line \d+\)$)");
        QVERIFY2(err.size() == 2 && text.match(err[0]).hasMatch(), qPrintable(r.err));
        QVERIFY2(err[1].startsWith("libnv815_32.so has no entry point nv815_"), qPrintable(r.err));
        // The same text in an error box (kind 0), and nothing bound after the driver.
        QCOMPARE(r.line("message"), "0 " + err[0]);
        QCOMPARE(r.line("loaded"), QString("(none)"));
        QCOMPARE(r.line("released"), QString("libnv815_32.so libvisa.so"));
    }

    void missingVisaEntryPointStopsStartUp() {
        Run r = Probe({INCOMPLETE_VISA, SIM_DRIVER});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith("Assertion failure (VISA_def_v2, line "), qPrintable(r.err));
        QCOMPARE(r.line("released"), QString("libvisa.so"));
    }

    void badChassisNamedByTheSimulatorVariable() {
        QTemporaryDir dir;
        QString path = dir.filePath("bad.ini");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Limits]\nMultiplierMax = twenty\n");
        f.close();
        Run r = Probe(kAll, path);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.line("defaultrm"), QString("0"));
        QVERIFY2(r.err.contains(path + ", line 2, key MultiplierMax in [Limits]"),
                 qPrintable(r.err));
    }
};

NV815_TEST_GUILESS_MAIN(TestBindings)
} // namespace NV815_TEST_UNIT

#include "tst_bindings.moc"
