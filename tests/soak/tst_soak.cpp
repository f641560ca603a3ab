// A long random run of operator actions against the simulated chassis, with
// driver failures injected at random. After every action the record holds
// what the card last accepted. NV815_SOAK_ACTIONS sets the length (a short
// run by default, as in CI), NV815_SOAK_SEED the seed; a failure names both.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

#include "CardInvariant.h"
#include "ExtClkFreq_Unit.h"
#include "JournalRecording.h"
#include "MemTest_Unit.h"
#include "PanelFixture.h"
#include "PanelWidgets.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

const char* const kCard = "PXI1::13::INSTR";

// Driver calls a random fault may hit, with the statuses it may give.
const char* const kFallible[] = {"nv815_SetActiveChannel",
                                 "nv815_SetInstrumentMode",
                                 "nv815_SetAttenuation",
                                 "nv815_SetOutputOffsetVoltage",
                                 "nv815_SetAMMode",
                                 "nv815_SetFSKPin",
                                 "nv815_SetFSKSource",
                                 "nv815_SetTriggerMode",
                                 "nv815_SetClockSource",
                                 "nv815_SetClockMode",
                                 "nv815_SetCounterStep",
                                 "nv815_GenerateSignal",
                                 "nv815_GenerateSweep",
                                 "nv815_LoadArbitraryWaveform",
                                 "nv815_MemoryTest",
                                 "nv815_GetCalibrationDate",
                                 "nv815_error_message",
                                 "viFindRsrc",
                                 "viOpen",
                                 "nv815_init"};

long ResidentKb() {
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(1).toLong() * 4;
}

// SplitMix64: the same sequence from a seed with every compiler and
// standard library, so a recorded run stays reproducible.
class Random {
public:
    void seed(uint64_t value) { state_ = value; }
    // A number from 0 to n - 1 (n small: the bias of the remainder is negligible).
    int below(int n) { return int(next() % uint64_t(n)); }

private:
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t state_ = 0;
};

class TestSoak : public QObject, public PanelFixture {
    Q_OBJECT
    Random random;
    std::array<bool, 4> memStepKnown{true, true, true, true};
    // An attenuation not known when a configuration was saved loads as the
    // file's default, which the card need not hold, until one is set.
    std::array<bool, 4> attenuationKnown{true, true, true, true};
    std::array<bool, 4> outputMayShowOn{}; // a switch-off refused at a card selection

    int pick(int n) { return random.below(n); }
    bool chance(int percent) { return pick(100) < percent; }
    QString garbage() {
        static const QString chars = "0123456789.,-+eE xq!#\t";
        QString s;
        for (int i = pick(12); i > 0; --i)
            s += chars[pick(int(chars.size()))];
        return s;
    }
    QByteArray randomWave() {
        QByteArray text;
        const int kind = pick(6), n = std::array{1, 2, 3, 16, 1024, 1000}[size_t(pick(6))];
        if (kind == 0) { // binary
            for (int i = 0; i < 2 * n + pick(2); ++i)
                text += char(pick(256));
            return text;
        }
        for (int i = 0; i < n; ++i) {
            if (kind == 1 && chance(1))
                text += "garbage\n";
            else if (kind == 2)
                text += QByteArray::number(pick(400) - 150) + "\n"; // out of range: a question
            else
                text += QByteArray::number(pick(10001) / 100.0) + (chance(5) ? " ! note\n" : "\n");
        }
        return text;
    }

    // One random operator action; the name of what it did.
    QString act() {
        MainControls& m = ui();
        switch (pick(30)) {
        case 0:
            selectCard(false, 0, chance(80));
            return "card selection";
        case 1:
            m.Channel_PageControl->setCurrentIndex(pick(3));
            return "channel tab";
        case 2:
            m.Settings_PageControl->setCurrentIndex(pick(2));
            return "settings page";
        case 3:
            m.Wave_PageControl->setCurrentIndex(pick(2));
            return "wave page";
        case 4:
            m.Ch1_Mode_Button->click();
            return "output";
        case 5:
            m.Att_Slider->setValue(pick(41));
            m.AttenSetButton->click();
            return "attenuation";
        case 6:
            m.V_Edit->setText(chance(50) ? QString::number((pick(1401) - 700) / 100.0) : garbage());
            QTest::keyClick(m.V_Edit, Qt::Key_Return);
            return "typed offset";
        case 7:
            m.OffsetButton->click();
            return "offset set";
        case 8:
            m.OffsetBut->click();
            return "offset power";
        case 9:
            m.WaveType_ComboBox->setCurrentIndex(pick(3));
            m.Symm_SpinEdit->setValue(pick(101));
            m.StartF_SpinEdit->setValue(1 + pick(20000000));
            m.EndF_SpinEdit->setValue(1 + pick(20000000));
            m.SweepStep_SpinEdit->setValue(pick(3000) - 10);
            m.StepInt_SpinEdit->setValue(pick(6000));
            m.AM_CheckBox->setChecked(chance(50));
            return "waveform page values";
        case 10:
            (chance(50) ? m.SingleF_RadioButton : m.SweepF_RadioButton)->click();
            return "single/sweep";
        case 11:
            (chance(50) ? m.AutoRadioButton : m.ManualRadioButton)->click();
            return "auto/manual";
        case 12:
            m.FSK_ComboBox->setEditText(chance(70) ? m.FSK_ComboBox->itemText(pick(11))
                                                   : garbage());
            return "FSK source typed";
        case 13:
        case 14:
            m.WaveUpdate_Button->click();
            return "waveform update";
        case 15:
            (chance(50) ? m.ManualUpButton : m.ManualDownButton)->click();
            return "up/down";
        case 16:
            m.TrigMode_ComboBox->setCurrentIndex(pick(7));
            m.TrigSource_ComboBox->setCurrentIndex(pick(10));
            m.TrigUpdate_Button->click();
            return "trigger update";
        case 17:
            m.SweepMode_ComboBox->setCurrentIndex(pick(5) - 1);
            m.SwpStartF_SpinEdit->setValue(pick(200000));
            m.SwpEndF_SpinEdit->setValue(pick(200000));
            m.SwpStep_SpinEdit->setValue(pick(1000) - 5);
            m.SwpInt_SpinEdit->setValue(pick(6000));
            m.FSKSource_ComboBox->setCurrentIndex(pick(11));
            for (int i = pick(4); i > 0; --i)
                (chance(50) ? m.CounterStep_UpDown->upButton() : m.CounterStep_UpDown->downButton())
                    ->click();
            for (int i = pick(4); i > 0; --i)
                (chance(50) ? m.ClkX_SpinButton->upButton() : m.ClkX_SpinButton->downButton())
                    ->click();
            m.ClkUpdate_Button->click();
            return "clock update";
        case 18:
            m.InternalClk_MenuItem->trigger();
            return "internal clock";
        case 19: {
            const QString typed = chance(60) ? QString::number(1 + pick(120)) : garbage();
            const bool ok = chance(70);
            whenModal([=, this] {
                TExternalClk_Form* d = w->extClk;
                if (!d->isVisible())
                    return;
                d->ExtClkFreq_Edit->setText(typed);
                (ok ? d->OK_Button : d->Cancel_Button)->click();
                if (d->isVisible())
                    d->Cancel_Button->click();
            });
            m.ExternalClk_MenuItem->trigger();
            return "external clock";
        }
        case 20:
        case 21: {
            const bool missing = chance(5);
            dialogs.fileNames = {missing ? dir.filePath("missing.txt")
                                         : file("wave.dat", randomWave())};
            dialogs.answers = {chance(50) ? Dialogs::Answer::Ok : Dialogs::Answer::Abort};
            (chance(20) ? m.LoadBin_RadioButton : m.LoadText_RadioButton)->click();
            m.Import_Button->click();
            return "import";
        }
        case 22:
            dialogs.fileNames = {dir.filePath(chance(50) ? "out.txt" : "out.bin")};
            (chance(50) ? m.SaveText_RadioButton : m.SaveBin_RadioButton)->click();
            m.Save_Button->click();
            return "export";
        case 23: {
            // A save and a load of it give the record back; a malformed file
            // in between must not harm anything.
            const QString saved = dir.filePath("soak.ini");
            dialogs.fileNames = {saved};
            m.SaveConfig1->trigger();
            if (chance(30)) {
                QByteArray junk;
                for (int i = pick(300); i > 0; --i)
                    junk += char(pick(256));
                dialogs.fileNames = {file("junk.ini", "[Channel1_Wave]\n" + junk)};
                m.LoadConfig1->trigger();
            }
            dialogs.fileNames = {saved};
            dialogs.answers = {Dialogs::Answer::Ok};
            m.LoadConfig1->trigger();
            return "configuration save and load";
        }
        case 24:
            m.Preview_Button->click();
            return "preview";
        case 25:
            whenModal([this] {
                if (!w->memTest->isVisible())
                    return;
                w->memTest->Test_Button->click();
                w->memTest->Close_Button->click();
            });
            m.MemoryTest1->trigger();
            return "memory test";
        case 26:
            m.ReadCalibrationDate1->trigger();
            return "calibration date";
        case 27:
        case 28:
            nvsim_fail(kFallible[pick(int(std::size(kFallible)))],
                       static_cast<ViStatus>(chance(50) ? 0xBFFC0806u : 0xBFFF0015u), 1 + pick(3),
                       0, nullptr);
            return "fault injected";
        default:
            nvsim_clear_faults();
            return "faults cleared";
        }
    }

    void run(uint seed, int actions) {
        random.seed(seed);
        memStepKnown = attenuationKnown = {true, true, true, true};
        outputMayShowOn = {};
        start();
        selectCard(false, 0);
        QVERIFY(session() != 0);
        long residentAfterWarmUp = 0;
        QElapsedTimer timer;
        timer.start();
        for (int step = 1; step <= actions; ++step) {
            const int channel = main().ActiveChannelNumber();
            const int before = nvsim_journal_count();
            std::array<bool, 4> unknownAttenuation{};
            for (int c = 1; c <= kChannelCount; ++c)
                unknownAttenuation[c] = !IsKnown(record().Channel[c].Wave.Attenuation);
            const QString what = act();
            // A wave memory load whose counter step was refused keeps the new
            // step in the record; a later accepted step brings them together.
            const QStringList calls = SimJournal().mid(before).filter("nv815_SetCounterStep");
            if (!calls.isEmpty())
                memStepKnown[channel] = calls.last().endsWith("= 00000000") ||
                                        (what != "waveform update" && memStepKnown[channel]);
            // A selection that went through sets every channel (a cancelled one nothing).
            const bool selected =
                what == "card selection" &&
                !SimJournal().mid(before).filter("nv815_SetAttenuation").isEmpty();
            for (int c = 1; c <= kChannelCount; ++c) {
                const bool on = record().Channel[c].OutputOn;
                if (selected)
                    outputMayShowOn[c] = on;
                if (on == (SimValue(kCard, c, "outputOn") != 0))
                    outputMayShowOn[c] = false;
                if (selected || (what == "attenuation" && c == channel))
                    attenuationKnown[c] = true;
                if (what == "configuration save and load" && unknownAttenuation[c])
                    attenuationKnown[c] = false;
            }
            InvariantOptions options;
            options.memStep = memStepKnown;
            options.attenuation = attenuationKnown;
            options.outputMayShowOn = outputMayShowOn;
            const QString difference = CardDifference(record(), kCard, 3, options);
            if (!difference.isEmpty() || QTest::currentTestFailed())
                QFAIL(qPrintable(QString("seed %1, step %2 (%3): %4")
                                     .arg(seed)
                                     .arg(step)
                                     .arg(what)
                                     .arg(difference)));
            if (nvsim_journal_count() > 20000)
                nvsim_journal_clear();
            if (step == std::min(actions, 200))
                residentAfterWarmUp = ResidentKb();
        }
        const double seconds = timer.elapsed() / 1000.0;
        qInfo("seed %u: %d actions in %.1f s (%.0f actions/s); resident memory %ld kB after "
              "warm-up, %ld kB at the end",
              seed, actions, seconds, actions / seconds, residentAfterWarmUp, ResidentKb());
        stop();
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }

    void randomOperatorActions() {
        const uint seed = qEnvironmentVariableIsSet("NV815_SOAK_SEED")
                              ? qEnvironmentVariable("NV815_SOAK_SEED").toUInt()
                              : 20261208u;
        const int actions = qEnvironmentVariableIsSet("NV815_SOAK_ACTIONS")
                                ? qEnvironmentVariableIntValue("NV815_SOAK_ACTIONS")
                                : 400;
        run(seed, actions);
    }

    // The card receives exactly what it received when the run was recorded.
    void sameCallsAsRecorded() {
        JournalRecording journal;
        run(20261208u, 2000);
        if (QTest::currentTestFailed())
            return;
        const QString difference = journal.compareWith(SOAK_DIR "/data/soak-20261208-2000.journal");
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        qInfo("%d calls compared", journal.size());
    }
};

NV815_TEST_MAIN(TestSoak)
} // namespace NV815_TEST_UNIT

#include "tst_soak.moc"
