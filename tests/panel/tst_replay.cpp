// A session of every operation kind saved as a C program from the log window,
// compiled with the system's compiler and run against the simulated chassis:
// it makes the session's driver calls again, identical.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QToolButton>

#include "ExtClkFreq_Unit.h"
#include "Log_Unit.h"
#include "MemTest_Unit.h"
#include "PanelFixture.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

// The session's driver calls from its opening, the session written "vi".
QStringList SessionCalls(const QStringList& journal, ViSession session) {
    const QString vi = QString::number(session);
    int from = 0;
    for (int i = 0; i < journal.size(); ++i)
        if (journal[i].startsWith("nv815_init(\"PXI1::13::INSTR\""))
            from = i; // the last opening of the card: the session's
    QStringList calls;
    for (const QString& line : journal.mid(from))
        if (line.startsWith("nv815_init(") && calls.isEmpty())
            calls << line;
        else if (line.startsWith("nv815_") && line.section('(', 1).section(',', 0, 0) == vi)
            calls << line.section('(', 0, 0) + "(vi" + line.section(vi, 1);
    return calls;
}

class TestReplay : public QObject, public PanelFixture {
    Q_OBJECT

    void everyOperation() {
        MainControls& m = ui();
        m.Ch1_Mode_Button->click();
        m.Att_Slider->setValue(23);
        m.AttenSetButton->click();
        m.V_Slider->setValue(-125);
        m.OffsetBut->click();
        m.OffsetButton->click();
        m.StartF_SpinEdit->setValue(12345);
        m.WaveType_ComboBox->setCurrentIndex(2);
        m.WaveUpdate_Button->click();
        m.SweepF_RadioButton->click();
        m.EndF_SpinEdit->setValue(50000);
        m.AM_CheckBox->setChecked(true);
        m.WaveUpdate_Button->click();
        m.Channel_PageControl->setCurrentIndex(1);
        dialogs.fileNames = {file("w.txt", "0\n12.5\n33.3333333333333\n100\n")};
        m.Import_Button->click();
        m.Wave_PageControl->setCurrentWidget(m.TabSheet8);
        m.WaveUpdate_Button->click();
        m.TrigMode_ComboBox->setCurrentIndex(2);
        m.TrigSource_ComboBox->setCurrentIndex(4);
        m.TrigUpdate_Button->click();
        m.Settings_PageControl->setCurrentIndex(1);
        m.SweepMode_ComboBox->setCurrentIndex(2);
        m.SwpEndF_SpinEdit->setValue(3000);
        m.ClkX_SpinButton->downButton()->click();
        m.ClkUpdate_Button->click();
        whenModal([this] {
            w->extClk->ExtClkFreq_Edit->setText("25");
            w->extClk->OK_Button->click();
        });
        m.ExternalClk_MenuItem->trigger();
        m.ReadCalibrationDate1->trigger();
        whenModal([this] {
            w->memTest->Test_Button->click();
            w->memTest->Close_Button->click();
        });
        m.MemoryTest1->trigger();
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() { stop(); }

    void aSessionRunsAgainAsACProgram() {
        selectCard(false, 0);
        everyOperation();
        const QStringList calls = SessionCalls(SimJournal(), session());
        QVERIFY(calls.size() > 40);

        // A folder and a name that a C string could mistake: trigraphs, quotes,
        // a backslash, bytes beyond ASCII.
        const QString folder = dir.filePath("odd \?\?/ \"folder\"");
        QVERIFY(QDir().mkpath(folder));
        const QString source = folder + "/re\?\?!play \?\?' \\ \u00e9.c";
        dialogs.fileNames = {source};
        w->log->SaveCProgram_Button->click();
        QVERIFY2(w->log->Export_Label->text().startsWith("Saved "),
                 qPrintable(w->log->Export_Label->text()));
        // It builds without a warning as C89, C99, C11 and C++, with each compiler
        // there is (as C++ from a copy named as C++ source).
        const QString program = dir.filePath("replay"), cxxSource = dir.filePath("replay.cpp");
        QVERIFY(QFile::copy(source, cxxSource));
        for (const char* compiler : {"gcc", "clang", "g++", "clang++"}) {
            if (QStandardPaths::findExecutable(compiler).isEmpty())
                continue;
            const bool cxx = QByteArray(compiler).endsWith("++");
            const QStringList standards =
                cxx ? QStringList{"c++17"} : QStringList{"c89", "c99", "c11"};
            for (const QString& standard : standards) {
                QProcess cc;
                QStringList arguments = {"-std=" + standard,
                                         "-Wall",
                                         "-Wextra",
                                         "-pedantic",
                                         "-Werror",
                                         "-I" API_DIR,
                                         "-L" SIM_DIR,
                                         "-Wl,-rpath-link," SIM_DIR,
                                         "-o",
                                         program,
                                         cxx ? cxxSource : source,
                                         "-lnv815_32"};
                if (!QByteArray(CC_FLAGS).isEmpty())
                    arguments << CC_FLAGS;
                cc.start(compiler, arguments);
                QVERIFY(cc.waitForFinished(60000));
                QVERIFY2(cc.exitCode() == 0,
                         qPrintable(QString("%1 -std=%2: %3")
                                        .arg(compiler, standard, cc.readAllStandardError())));
            }
        }
        // Against an installed program: its header and the simulated driver.
        const QString prefix = dir.filePath("prefix");
        QCOMPARE(QProcess::execute(CMAKE, {"--install", BUILD_DIR, "--prefix", prefix}), 0);
        QProcess installed;
        QStringList line = {source,
                            "-I" + prefix + "/include",
                            "-L" + prefix + "/" SIM_INSTALL_DIR,
                            "-lnv815_32",
                            "-o",
                            program};
        if (!QByteArray(CC_FLAGS).isEmpty())
            line << CC_FLAGS;
        installed.start("cc", line);
        QVERIFY(installed.waitForFinished(60000));
        QVERIFY2(installed.exitCode() == 0, installed.readAllStandardError().constData());
        // The last build lies elsewhere: it is moved beside its sample files
        // and started from another folder.
        const QString beside = folder + "/replay";
        QVERIFY(QFile::rename(program, beside));

        QProcess run;
        QProcessEnvironment env;
        env.insert("LD_LIBRARY_PATH", SIM_DIR);
        env.insert("NVSIM_CHASSIS", "");
        env.insert("NVSIM_JOURNAL_FILE", dir.filePath("journal.txt"));
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(QDir::rootPath());
        run.start(beside, {});
        QVERIFY(run.waitForFinished(60000));
        QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
        QFile journal(dir.filePath("journal.txt"));
        QVERIFY(journal.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(journal.readAll()).split('\n');
        QStringList replayed = SessionCalls(
            lines, session() == 0 ? 0 : [&] {
                // The program's own session number, from its opening.
                for (const QString& l : lines)
                    if (l.startsWith("nv815_SetActiveChannel("))
                        return ViSession(l.section('(', 1).section(',', 0, 0).toUInt());
                return ViSession(0);
            }());
        for (int i = 0; i < std::max(replayed.size(), calls.size()); ++i)
            QVERIFY2(replayed.value(i) == calls.value(i),
                     qPrintable(QString("call %1: replayed %2, session %3")
                                    .arg(i)
                                    .arg(replayed.value(i), calls.value(i))));
    }

    // The documented lines that build a saved program against the simulated
    // driver of the build tree and of an installed program work as written,
    // without a library path of the test's own.
    void theDocumentedLinesBuildASavedProgram() {
        selectCard(false, 0);
        ui().WaveUpdate_Button->click();
        const QString folder = dir.filePath("readme");
        QVERIFY(QDir().mkpath(folder));
        dialogs.fileNames = {folder + "/session.c"};
        w->log->SaveCProgram_Button->click();
        const QString prefix = dir.filePath("installed");
        QCOMPARE(QProcess::execute(CMAKE, {"--install", BUILD_DIR, "--prefix", prefix}), 0);
        QFile readme(COMMAND_LINE_DOC);
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        static const QRegularExpression block(R"(```sh\n(cc session\.c [^`]*)```)");
        QStringList lines;
        for (auto m = block.globalMatch(text); m.hasNext();) {
            QString line = m.next().captured(1);
            line.replace("\\\n", " ").replace('\n', ' ');
            if (line.contains("ROOT") || line.contains("PREFIX"))
                lines << line.replace("ROOT/build", BUILD_DIR)
                             .replace("ROOT", PROJECT_DIR)
                             .replace("PREFIX/lib/nv815-panel/sim", prefix + "/" SIM_INSTALL_DIR)
                             .replace("PREFIX", prefix)
                             .replace("cc session.c", "cc " CC_FLAGS " session.c");
        }
        QCOMPARE(lines.size(), 2);
        for (const QString& line : lines) {
            QFile::remove(folder + "/session");
            QProcess sh;
            QProcessEnvironment env; // no library path but the line's own
            env.insert("PATH", qEnvironmentVariable("PATH"));
            env.insert("NVSIM_CHASSIS", "");
            sh.setProcessEnvironment(env);
            sh.setWorkingDirectory(folder);
            sh.start("sh", {"-c", line});
            QVERIFY(sh.waitForFinished(60000));
            QVERIFY2(sh.exitCode() == 0, qPrintable(line + "\n" + sh.readAllStandardError()));
        }
    }

    void noCardNoProgram() {
        dialogs.fileNames = {dir.filePath("none.c")};
        w->log->SaveCProgram_Button->click();
        QCOMPARE(w->log->Export_Label->text(),
                 QString("No card in use: there is no session to replay."));
        QVERIFY(!QFile::exists(dir.filePath("none.c")));
    }
};

NV815_TEST_MAIN(TestReplay)
} // namespace NV815_TEST_UNIT

#include "tst_replay.moc"
