// The File menu's configuration files in the main window: dialogs, messages,
// re-imported waveforms, the refresh, and that loading sends nothing.
#include <QLabel>
#include <QProcess>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

#include "Accepted.h"
#include "Commands.h"
#include "PanelFixture.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

class TestConfigMenu : public QObject, public PanelFixture {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() { stop(); }

    // Apply Config to Card loads the file as Load Config does, then sends every
    // channel through the buttons' operations, and says what came of it.
    void applyConfigSendsEveryChannel() {
        MainControls& m = ui();
        const QString ini = file("apply.ini", "[Channel1_Wave]\nStartF=2.5\nAttenuation=17\n"
                                              "[Channel3_Wave]\nDCOffset=1.25\n");
        dialogs.fileNames = {ini};
        m.ApplyConfig1->trigger(); // no card: nothing chosen, nothing sent
        QCOMPARE(m->Feedback(), QString("No card selected: choose one with Card Select."));
        QCOMPARE(dialogs.fileNames.size(), 1);

        selectCard(false, 0);
        nvsim_fail("nv815_SetAttenuation", static_cast<ViStatus>(0xBFFC0806u), 2, 0, nullptr);
        m.ApplyConfig1->trigger();
        nvsim_clear_faults();
        QVERIFY2(m->Feedback().startsWith("Configuration applied: ") &&
                     m->Feedback().endsWith(" commands sent, 1 refused (see the operation log)."),
                 qPrintable(m->Feedback()));
        QCOMPARE(SimValue("PXI1::13::INSTR", 1, "frequency"), 2.5);
        QCOMPARE(SimValue("PXI1::13::INSTR", 1, "attenuation"), 17.0);
        QCOMPARE(SimValue("PXI1::13::INSTR", 2, "attenuation"), 10.0); // refused: kept
        QCOMPARE(SimValue("PXI1::13::INSTR", 3, "offset"), 1.25);
        // The record keeps the file's value, as after a refused Set; the card's
        // is what it accepted.
        QCOMPARE(record().Channel[2].Wave.Attenuation, 0.0);
        QCOMPARE(card().accepted().Channel[2].Attenuation, std::optional<double>(10.0));
        for (int c = 1; c <= 3; ++c)
            QCOMPARE(SimValue("PXI1::13::INSTR", c, "outputOn"), 1.0);
        QCOMPARE(m.Att_Slider->value(), 17); // the controls show the record
    }

    // After a load the Clock page and the trigger group show the loaded
    // values too, so that their Updates send what was loaded.
    void theClockPageAndTriggerShowALoad() {
        MainControls& m = ui();
        selectCard(false, 0);
        dialogs.fileNames = {file("clock.ini", "[Channel1_Trigger]\nSource=3\nMode=2\n"
                                               "[Channel1_Clock]\nMultiplier=7\nSweepMode=1\n"
                                               "StartF=2.5\nEndF=4\nMemStep=8\n")};
        m.LoadConfig1->trigger();
        const struct {
            QWidget* control;
            QString shown;
        } rows[] = {
            {m.TrigSource_ComboBox, "3"},
            {m.TrigMode_ComboBox, "2"},
            {m.ClkX_Edit, "7"},
            {m.SweepMode_ComboBox, "1"},
            {m.SwpStartF_SpinEdit, "2500"},
            {m.SwpEndF_SpinEdit, "4000"},
            {m.CounterStep_Edit, "3"},
        };
        for (const auto& row : rows) {
            QString shown;
            if (auto* combo = qobject_cast<QComboBox*>(row.control))
                shown = QString::number(combo->currentIndex());
            else if (auto* spin = qobject_cast<QSpinBox*>(row.control))
                shown = QString::number(spin->value());
            else
                shown = static_cast<QLineEdit*>(row.control)->text();
            QVERIFY2(shown == row.shown, qPrintable(row.control->objectName() + ": " + shown));
        }
        nvsim_journal_clear();
        m.ClkUpdate_Button->click();
        QCOMPARE(DriverSets().filter("SetClock"),
                 QStringList({"nv815_SetClockSource(0, 10, 7) = 00000000",
                              "nv815_SetClockMode(1, 2.5, 4, 0.001, 1) = 00000000"}));
    }

    // Values beyond a setting's limits are held alike by the window and the
    // command line: Apply Config and --apply of one file make the same calls.
    void bothFrontEndsHoldAndSendTheSame() {
        const QString ini = file("wide.ini", "[Channel1_Wave]\nSymmetry=150\nAttenuation=55\n"
                                             "DCOffset=9.5\nWaveType=99\nStartF=0.0004\n"
                                             "[Channel2_Clock]\nMultiplier=-20\nMemStep=0\n"
                                             "SweepMode=9\nExtFreq=1e300\nStepInterval=0.0005\n"
                                             "[Channel3_Clock]\nMultiplier=3\nMemStep=100\n");
        const QString journal = dir.filePath("apply.journal");
        QProcess p;
        QProcessEnvironment env;
        env.insert("LD_LIBRARY_PATH", SIM_DIR);
        env.insert("NVSIM_CHASSIS", "");
        env.insert("NVSIM_JOURNAL_FILE", journal);
        p.setProcessEnvironment(env);
        p.start(PROGRAM, {"--apply", ini, "--resource", "PXI1::13::INSTR", "--quiet"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QString err = p.readAllStandardError();
        QVERIFY2(err.contains("Channel1_Wave/Symmetry was out of range") &&
                     err.contains("Channel3_Clock/MemStep was out of range"),
                 qPrintable(err));
        QFile f(journal);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QStringList applied;
        const QStringList lines = QString::fromLatin1(f.readAll()).split('\n');
        for (const QString& line :
             lines.mid(lines.indexOf(QRegularExpression("^nv815_GetCardId.*"))))
            if (line.startsWith("nv815_Set") || line.startsWith("nv815_Generate"))
                applied << line.section('(', 0, 0) + "(" + line.section(", ", 1);

        selectCard(false, 0);
        nvsim_journal_clear();
        card().link().forgetSelectedChannel(); // as a freshly opened card, which --apply is
        dialogs.fileNames = {ini};
        ui().ApplyConfig1->trigger();
        QVERIFY(ui()->Feedback().contains("Out of range, held at the limit: Channel1_Wave/"));
        QVERIFY(applied.size() > 20);
        QCOMPARE(DriverSets(), applied);
    }

    void saveAndLoadBringBackSettingsAndSamples() {
        MainControls& m = ui();
        selectCard(false, 0);
        const QString wave = file("wave.txt", "0\n25\n50\n100\n");
        record().Channel[1].Wave.Arb.ArbFile = wave.toStdString();
        record().Channel[1].Wave.ArbitraryFlag = true;
        record().Channel[1].Wave.Arb.Data = {0, 25, 50, 100};
        record().Channel[1].Wave.Arb.WaveLength = 4;
        record().Channel[1].Wave.StartF = 2.5;
        record().Channel[1].Wave.Attenuation = 17;
        dialogs.fileNames = {dir.filePath("panel.ini")};
        m.SaveConfig1->trigger();
        QCOMPARE(dialogs.lastFilter, QString("Ini files (*.ini)|*.INI|All Files (*.*)|*.*"));
        QCOMPARE(dialogs.lastSuffix, QString("ini"));
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(m->Feedback(), QString("Configuration saved to panel.ini.")); // said, not red
        QVERIFY(!m.Feedback_Label->styleSheet().isEmpty() &&
                m.Feedback_Label->property("tone").toString() == "advice");
        QFile saved(dir.filePath("panel.ini")); // the open card is the file's card
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().startsWith("[Card]\nResource=PXI1::13::INSTR\n"));

        record().Channel[1].Wave.Arb.Data.clear();
        record().Channel[1].Wave.Arb.WaveLength = 0;
        record().Channel[1].Wave.StartF = 1;
        nvsim_journal_clear();
        dialogs.fileNames = {dir.filePath("panel.ini")};
        m.LoadConfig1->trigger();
        QCOMPARE(dialogs.lastSuffix, QString("ini"));
        QCOMPARE(record().Channel[1].Wave.Arb.Data, std::vector<double>({0, 25, 50, 100}));
        QCOMPARE(m.Arbwave_DataCount_Label->text(), QString("Data Points: 4"));
        QCOMPARE(m.Wave_PageControl->currentWidget(), m.TabSheet8);
        QCOMPARE(m.Att_Slider->value(), 17);
        QCOMPARE(nvsim_journal_count(), 0); // nothing reaches the card
        m.Wave_PageControl->setCurrentWidget(m.TabSheet7);
        QCOMPARE(m.StartF_SpinEdit->value(), 2500);
    }

    void aMissingWaveFileIsReportedAndTheLoadGoesOn() {
        const QString wave = file("three.txt", "10\n20\n");
        const QString ini = file("arb.ini", "[Channel2_Wave]\nArbitraryFlag=1\nWaveLength=262144\n"
                                            "[Channel3_Wave]\nArbitraryFlag=1\nArbFile=" +
                                                wave.toLocal8Bit() + "\n");
        dialogs.fileNames = {ini};
        ui().LoadConfig1->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QString("The selected file '' does not exist."));
        QCOMPARE(record().Channel[2].Wave.Arb.WaveLength, 0); // never more than it holds
        QCOMPARE(record().Channel[3].Wave.Arb.Data, std::vector<double>({10, 20}));
    }

    void aRefusedFileChangesNothingAndSaysWhy() {
        MainControls& m = ui();
        m.StartF_SpinEdit->setValue(4321); // an edit not yet applied
        const QString bad = file("nul.ini", QByteArray("[Channel1_Wave]\nStartF=2\n\0", 26));
        dialogs.fileNames = {bad};
        m.LoadConfig1->trigger();
        QVERIFY(dialogs.messages.isEmpty()); // no box: the status field tells
        QVERIFY2(m->Feedback().startsWith("Configuration not loaded: '" + bad + "'"),
                 qPrintable(m->Feedback()));
        QCOMPARE(record().Channel[1].Wave.StartF, 1.0);
        QCOMPARE(m.StartF_SpinEdit->value(), 4321);
    }

    void anUnwritableFileIsReported() {
        const QString target = dir.filePath("no/such/folder/panel.ini");
        dialogs.fileNames = {target};
        ui().SaveConfig1->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Error);
        QCOMPARE(dialogs.messages[0].text, "Unable to write to " + target);
        ui().SaveConfig1->trigger(); // cancelled: nothing
        ui().LoadConfig1->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
    }
};

NV815_TEST_MAIN(TestConfigMenu)
} // namespace NV815_TEST_UNIT

#include "tst_configmenu.moc"
