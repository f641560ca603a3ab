// The Waveform page on the simulated chassis: Update in its three modes, the
// restoring of refused commands, loading into wave memory, the software sweep
// buttons, the start-frequency stepping keys and the refresh rules.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTemporaryDir>
#include <functional>
#include <limits>
#include <optional>

#include "FrequencyText.h"
#include "PanelFixture.h"
#include "PanelWidgets.h"
#include "TestRegistry.h"
#include "WaveParse.h"

namespace NV815_TEST_UNIT {

const char* const kCardA = "PXI1::13::INSTR";

// One key event as the platform reports it, the modifiers already held (QTest
// would press them first, one after another).
void SendKey(QWidget* to, QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers held) {
    QKeyEvent e(type, key, held);
    QApplication::sendEvent(to, &e);
}

// The ways an operator steps a spin edit with `held` modifiers, and the
// direction of each: a click on either arrow, the arrow and Page keys, a
// notch of the wheel either way.
std::vector<std::pair<std::function<void()>, int>> StepperActions(QSpinBox* spin,
                                                                  Qt::KeyboardModifiers held) {
    QStyleOptionSpinBox option;
    option.initFrom(spin);
    option.subControls = QStyle::SC_All;
    option.buttonSymbols = spin->buttonSymbols();
    option.frame = spin->hasFrame();
    auto arrow = [=](QStyle::SubControl which) {
        return spin->style()->subControlRect(QStyle::CC_SpinBox, &option, which, spin).center();
    };
    auto click = [=](QPoint at) {
        return [=] { QTest::mouseClick(spin, Qt::LeftButton, held, at); };
    };
    auto key = [=](Qt::Key k) {
        return [=] {
            SendKey(spin, QEvent::KeyPress, k, held);
            SendKey(spin, QEvent::KeyRelease, k, held);
        };
    };
    auto wheel = [=](int delta) {
        return [=] {
            QWheelEvent e(QPointF(spin->rect().center()),
                          QPointF(spin->mapToGlobal(spin->rect().center())), QPoint(),
                          QPoint(0, delta), Qt::NoButton, held, Qt::NoScrollPhase, false);
            QApplication::sendEvent(spin, &e);
        };
    };
    return {{click(arrow(QStyle::SC_SpinBoxUp)), 1},
            {click(arrow(QStyle::SC_SpinBoxDown)), -1},
            {key(Qt::Key_Up), 1},
            {key(Qt::Key_Down), -1},
            {key(Qt::Key_PageUp), 1},
            {key(Qt::Key_PageDown), -1},
            {wheel(120), 1},
            {wheel(-120), -1}};
}
const ViStatus kRefused = static_cast<ViStatus>(0xBFFC0806u);

QString Checksum(const std::vector<double>& samples, size_t count) {
    return QString("%1")
        .arg(nvsim_checksum(samples.data(), int(count)), 16, 16, QChar('0'))
        .toUpper();
}

class TestWaveform : public QObject, public PanelFixture {
    Q_OBJECT

    TChannelInfo& ch(int c = 1) { return record().Channel[c]; }

    // A card is selected and the journal and log start empty.
    void withCard() {
        selectCard(false, 0);
        nvsim_journal_clear();
        LogLines->clear();
    }
    void setPage(bool sweep, int start, int end, int step, int interval, bool manual) {
        // The radio buttons refresh the page from the record: click them first.
        MainControls& m = ui();
        (sweep ? m.SweepF_RadioButton : m.SingleF_RadioButton)->click();
        (manual ? m.ManualRadioButton : m.AutoRadioButton)->click();
        m.StartF_SpinEdit->setValue(start);
        m.EndF_SpinEdit->setValue(end);
        m.SweepStep_SpinEdit->setValue(step);
        m.StepInt_SpinEdit->setValue(interval);
    }
    void holdArbitrary(int c, size_t count) {
        TArbWave& arb = ch(c).Wave.Arb;
        std::vector<double> samples(count);
        for (size_t i = 0; i < count; ++i)
            samples[i] = double(i % 101);
        arb.Data = samples;
        arb.WaveLength = int32_t(count);
        ui().Wave_PageControl->setCurrentWidget(ui().TabSheet8);
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() { stop(); }

    void typicalRequestSendsExactlyItsCommands() {
        withCard();
        MainControls& m = ui();
        m.Channel_PageControl->setCurrentIndex(1);
        setPage(false, 5000, 1000, 1, 1000, false);
        m.WaveType_ComboBox->setCurrentIndex(1);
        m.Symm_SpinEdit->setValue(30);
        m.WaveUpdate_Button->click();
        const QString ok = "\r\n > Success";
        QCOMPARE(LogTexts(),
                 QStringList({"Set Active Channel \r\n     Channel 2" + ok,
                              "Switch Channel Mode - \r\n     Channel 2\r\n     Mode 0" + ok,
                              "Set AM Mode - \r\n     Channel 2\r\n     Mode 0" + ok,
                              "Generate Signal - \r\n     Channel 2\r\n     SignalType 1\r\n"
                              "     Freq 5kHz\r\n     Symmetry 30%" +
                                  ok,
                              "Switch Channel Mode - \r\n     Channel 2\r\n     Mode 1" + ok,
                              "Set Trigger Mode - \r\n     Channel 2\r\n     Source 0\r\n"
                              "     Mode 6" +
                                  ok}));
        QCOMPARE(DriverSets(), QStringList({"nv815_SetActiveChannel(2) = 00000000",
                                            "nv815_SetInstrumentMode(0) = 00000000",
                                            "nv815_SetAMMode(0) = 00000000",
                                            "nv815_GenerateSignal(5, 1, 30) = 00000000",
                                            "nv815_SetInstrumentMode(1) = 00000000",
                                            "nv815_SetTriggerMode(0, 6) = 00000000"}));
        QCOMPARE(ch(2).Wave.StartF, 5.0);
        QCOMPARE(ch(2).Wave.Symmetry, 30.0);
        QVERIFY(ch(2).OutputOn);
        QVERIFY(m.Ch1_Mode_Button->lit());
    }

    void updateSendsThePageAsEntered() {
        const struct {
            bool sweep;
            int start, end;
            bool manual;
            const char* generate;
        } cases[] = {
            {false, 1000, 1000, false, "nv815_GenerateSignal(1, 0, 50) = 00000000"},
            {true, 1000, 5000, false, "nv815_GenerateSweep(0, 50, 0, 1, 5, 0.001, 1) = 00000000"},
            {true, 1000, 5000, true, "nv815_GenerateSweep(0, 50, 1, 1, 5, 0.001, 1) = 00000000"},
            {true, 5000, 1000, false, "nv815_GenerateSweep(0, 50, 0, 5, 1, 0.001, 1) = 00000000"},
        };
        withCard();
        for (const auto& c : cases) {
            ui().Ch1_Mode_Button->click(); // off or on before: on after
            setPage(c.sweep, c.start, c.end, 1, 1000, c.manual);
            nvsim_journal_clear();
            ui().WaveUpdate_Button->click();
            const QStringList sets = DriverSets();
            QCOMPARE(sets.mid(2, 2),
                     QStringList({c.generate, "nv815_SetInstrumentMode(1) = 00000000"}));
            QCOMPARE(ch().Wave.StartF, c.start / 1000.0);
            QCOMPARE(ch().Wave.EndF, c.end / 1000.0);
            QCOMPARE(ch().Wave.SweepStep, 0.001);
            QCOMPARE(ch().Wave.StepInterval, 1000.0);
            QVERIFY(ch().OutputOn);
        }
    }

    // The sweep's step interval: 1 to 5242 µs, the longest sent as typed,
    // one more held at the longest.
    void stepIntervalLimits() {
        MainControls& m = ui();
        QCOMPARE(m.StepInt_SpinEdit->minimum(), 1);
        QCOMPARE(m.StepInt_SpinEdit->maximum(), 5242);
        withCard();
        setPage(true, 1000, 5000, 1, 5243, false);
        QCOMPARE(m.StepInt_SpinEdit->value(), 5242);
        m.WaveUpdate_Button->click();
        QVERIFY(
            DriverSets().contains("nv815_GenerateSweep(0, 50, 0, 1, 5, 0.001, 5.242) = 00000000"));
        QCOMPARE(ch().Wave.StepInterval, 5242.0);
    }

    // After a refused command the page and the lamp show the record: the
    // operations' own rules are the card object's tests (tst_updates).
    void refusedCommandsRestoreTheirFields_data() {
        QTest::addColumn<QString>("function");
        QTest::addColumn<int>("nth");
        QTest::addColumn<bool>("sweep");
        QTest::newRow("sweep") << "nv815_GenerateSweep" << 1 << true;
        QTest::newRow("output on") << "nv815_SetInstrumentMode" << 2 << false;
    }
    void refusedCommandsRestoreTheirFields() {
        QFETCH(QString, function);
        QFETCH(int, nth);
        QFETCH(bool, sweep);
        withCard();
        MainControls& m = ui();
        m.Ch1_Mode_Button->click(); // output on before the Update
        const TChannelInfo before = ch();
        setPage(sweep, 3000, 4000, 7, 2000, false);
        m.AM_CheckBox->setChecked(true);
        m.repRate1->setValue(777);
        m.WaveType_ComboBox->setCurrentIndex(2);
        m.Symm_SpinEdit->setValue(25);
        m.LoadBin_RadioButton->click();
        m.TrigMode_ComboBox->setCurrentIndex(2);
        nvsim_fail(function.toLatin1(), kRefused, nth, 0, nullptr);
        m.WaveUpdate_Button->click();

        const TWaveSettings& w = ch().Wave;
        const bool generateRefused = function.startsWith("nv815_Generate");
        QCOMPARE(w.AMFlag, function != "nv815_SetAMMode");
        QCOMPARE(w.RepRate, 777.0);
        QVERIFY(!w.Arb.TextFlag);
        QVERIFY(w.Arb.NormaliseFlag);
        QCOMPARE(w.WaveType, generateRefused ? before.Wave.WaveType : 2);
        QCOMPARE(w.Symmetry, generateRefused ? before.Wave.Symmetry : 25.0);
        QCOMPARE(w.StartF, generateRefused ? before.Wave.StartF : 3.0);
        QCOMPARE(w.EndF, generateRefused ? before.Wave.EndF : 4.0);
        QCOMPARE(w.SweepStep, generateRefused ? before.Wave.SweepStep : 0.007);
        QCOMPARE(w.StepInterval, generateRefused ? before.Wave.StepInterval : 2000.0);
        QCOMPARE(w.SweepFlag, sweep); // set by the radio button before the Update
        QCOMPARE(ch().TrigMode, function == "nv815_SetTriggerMode" ? 6 : 2);
        // The output is on unless switching it on was refused after it was
        // switched off: then the record and the lamp say off, as the card is.
        const bool on = !(function == "nv815_SetInstrumentMode" && nth == 2);
        QCOMPARE(ch().OutputOn, on);
        QCOMPARE(m.Ch1_Mode_Button->lit(), on);
        QCOMPARE(SimValue(kCardA, 1, "outputOn"), on ? 1.0 : 0.0);
        // The page shows the record again.
        QCOMPARE(m.StartF_SpinEdit->value(), int(std::lround(w.StartF * 1000)));
        QCOMPARE(m.Symm_SpinEdit->value(), int(std::lround(w.Symmetry)));
        QCOMPARE(m.AM_CheckBox->isChecked(), w.AMFlag);
    }

    void arbitraryLoad() {
        const QString power = "File doesn't contain a 2^n number of lines!";
        const struct {
            int count;
            const char* fault;
            QString message;
            uint32_t memStep;
        } cases[] = {
            {0, nullptr, power, 1},
            {1000, nullptr, power, 1},
            {1024, nullptr, "", 256},
            {1024, "nv815_SetCounterStep", "Set Counter Step for Load Waveform failed.", 256},
            {1024, "nv815_LoadArbitraryWaveform", "Load Arbitrary Waveform failed.", 256},
        };
        for (const auto& c : cases) {
            cleanup();
            init();
            withCard();
            holdArbitrary(1, size_t(c.count));
            if (c.fault)
                nvsim_fail(c.fault, kRefused, 0, 0, nullptr);
            int journalAtMessage = -1;
            dialogs.onMessage = [&] { journalAtMessage = nvsim_journal_count(); };
            ui().WaveUpdate_Button->click();

            QCOMPARE(dialogs.messages.size(), c.message.isEmpty() ? 0 : 1);
            if (!c.message.isEmpty()) {
                QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Information);
                QCOMPARE(dialogs.messages[0].text, c.message);
                // Between the output switched off and on again.
                const QStringList journal = SimJournal();
                QCOMPARE(journal.mid(0, journalAtMessage).filter("SetInstrumentMode").size(), 1);
                QCOMPARE(journal.mid(journalAtMessage).filter("SetInstrumentMode").size(), 1);
            }
            QCOMPARE(ch().MemStep, c.memStep);
            const bool loaded = c.memStep != 1 && !c.fault;
            QCOMPARE(SimCalls("nv815_LoadArbitraryWaveform").size(),
                     loaded || (c.fault && QByteArray(c.fault).contains("Load")) ? 1 : 0);
            QCOMPARE(SimValue(kCardA, 1, "waveLength"), loaded ? 1024.0 : 0.0);
            QVERIFY(ch().OutputOn);
        }
    }

    void importedSamplesReachTheCardExactly() {
        withCard();
        QByteArray text;
        for (int i = 0; i < WaveMemorySize; ++i)
            text += QByteArray::number((i * 37) % 1000 / 7.0, 'g', 17) + "\n";
        dialogs.fileNames = {file("full.txt", text)};
        ui().Wave_PageControl->setCurrentWidget(ui().TabSheet8);
        ui().Import_Button->click();
        QCOMPARE(ch().Wave.Arb.WaveLength, WaveMemorySize);
        ui().WaveUpdate_Button->click();
        QCOMPARE(SimCalls("nv815_LoadArbitraryWaveform"),
                 QStringList({QString("nv815_LoadArbitraryWaveform(%1, 262144, %2) = 00000000")
                                  .arg(session())
                                  .arg(Checksum(ch().Wave.Arb.Data, 262144))}));
        QCOMPARE(ch().MemStep, 1u);
    }

    void arbitraryWithoutCardSaysTheSelectionFailed() {
        holdArbitrary(1, 1024);
        ui().WaveUpdate_Button->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QString("Set Active Channel for Load Waveform failed."));
        QCOMPARE(nvsim_journal_count(), 0);
        QCOMPARE(ch().MemStep, 1u);
    }

    void typedFskTextSelectsNoSource() {
        withCard();
        MainControls& m = ui();
        m.SweepF_RadioButton->click();
        m.FSK_ComboBox->setEditText("Sofware");
        m.WaveUpdate_Button->click();
        QCOMPARE(ch().FSKSource, -1);
        QVERIFY(!m.AutoRadioButton->isEnabled());
        QVERIFY(!m.ManualUpButton->isEnabled());
    }

    void singleAndSweepChoicesApplyAtOnce() {
        MainControls& m = ui();
        m.StartF_SpinEdit->setValue(7000); // not applied
        m.SweepF_RadioButton->click();
        QVERIFY(ch().Wave.SweepFlag);
        QCOMPARE(m.StartF_SpinEdit->value(), 1000);
        QCOMPARE(nvsim_journal_count(), 0);
        m.SingleF_RadioButton->click();
        QVERIFY(!ch().Wave.SweepFlag);
    }

    void enablingRules() {
        const struct {
            bool sweep;
            int fskSource;
            bool manual, fieldsOn, modeOn, buttonsOn;
        } cases[] = {
            {false, 0, true, false, false, false}, // single frequency
            {true, 0, false, true, true, false},   // sweep, software, auto
            {true, 0, true, true, true, true},     // sweep, software, manual
            {true, 2, true, true, false, false},   // sweep, PXI 0
        };
        MainControls& m = ui();
        for (const auto& c : cases) {
            ch().FSKSource = c.fskSource;
            m.ManualRadioButton->setChecked(c.manual);
            m.AutoRadioButton->setChecked(!c.manual);
            (c.sweep ? m.SweepF_RadioButton : m.SingleF_RadioButton)->click();
            QVERIFY(m.StartF_SpinEdit->isEnabled());
            for (QWidget* field : std::initializer_list<QWidget*>{
                     m.EndF_SpinEdit, m.SweepStep_SpinEdit, m.StepInt_SpinEdit, m.FSK_ComboBox})
                QCOMPARE(field->isEnabled(), c.fieldsOn);
            QCOMPARE(m.AutoRadioButton->isEnabled(), c.modeOn);
            QCOMPARE(m.ManualRadioButton->isEnabled(), c.modeOn);
            QCOMPARE(m.ManualUpButton->isEnabled(), c.buttonsOn);
            QCOMPARE(m.ManualDownButton->isEnabled(), c.buttonsOn);
        }
    }

    void sweepButtonsDriveTheFskLevel() {
        withCard();
        MainControls& m = ui();
        setPage(true, 1000, 2000, 1, 1000, true);
        QVERIFY(m.ManualUpButton->isEnabled());
        struct Step {
            TLampButton* button;
            const char* fault;
            bool high, upLit, downLit;
        };
        const Step steps[] = {
            {m.ManualUpButton, nullptr, true, true, false},
            {m.ManualDownButton, nullptr, false, false, true},
            {m.ManualUpButton, nullptr, true, true, false},
            {m.ManualDown_Button, nullptr, false, false, false},
            {m.ManualUpButton, "nv815_SetFSKPin", false, false, false},
            {m.ManualDownButton, "nv815_SetFSKPin", false, false, false},
        };
        for (const Step& s : steps) {
            nvsim_clear_faults();
            if (s.fault)
                nvsim_fail(s.fault, kRefused, 0, 0, nullptr);
            s.button->click();
            QCOMPARE(ch().FSKHigh, s.high);
            QCOMPARE(m.ManualUpButton->lit(), s.upLit);
            QCOMPARE(m.ManualDownButton->lit(), s.downLit);
        }
        QCOMPARE(SimCalls("nv815_SetFSKPin").size(), 6);
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty()) {
            m.ManualUpButton->click();
            m.WaveUpdate_Button->click();
            m->grab().save(dir + "/main_form_sweep.png");
        }
        QCOMPARE(SimValue(kCardA, 1, "fskPin"), 0.0);
    }

    void typedFrequenciesAreReadExactly() {
        struct Case {
            const char* locale;
            const char* typed;
            std::optional<int64_t> read;
        };
        const Case cases[] = {
            {"C", "10.5k", 10500},
            {"C", "2M", 2000000},
            {"C", " 7 K ", 7000},
            {"C", "0.5M", 500000},
            {"C", "10.0", 10},
            {"C", "1.000000k", 1000},
            {"C", "-5", -5},
            {"C", "+5", 5},
            {"C", "0.000001M", 1},
            {"C", "10.5", {}},
            {"C", "1.0005k", {}},
            {"C", "2m", {}},
            {"C", "", {}},
            {"C", "k", {}},
            {"C", "1.2.3", {}},
            {"C", "1e3", {}},
            {"C", "12x", {}},
            {"C", "1,000", {}},
            {"C", "0.0000001M", {}},
            {"de_DE", "1,5k", 1500},
            {"de_DE", "1.5k", {}},
            {"ar_EG", "\u0661\u0662k", 12000},
            {"C", "99999999999999999999", std::numeric_limits<int64_t>::max()},
        };
        for (const Case& c : cases)
            QVERIFY2(ParseWholeFrequency(QString::fromUtf8(c.typed), QLocale(c.locale)) == c.read,
                     c.typed);
    }

    void typedFrequencyFieldsReadOrRefuse() {
        withCard();
        MainControls& m = ui();
        m.SweepF_RadioButton->click();
        const auto type = [](TFrequencySpinEdit* spin, const QString& text) {
            auto* edit = spin->findChild<QLineEdit*>();
            edit->selectAll();
            QTest::keyClicks(edit, text);
            QTest::keyClick(spin, Qt::Key_Return);
        };
        // Every frequency field of both pages reads the suffixes, or keeps
        // a refused text marked with its value unchanged.
        for (TFrequencySpinEdit* spin :
             {m.StartF_SpinEdit, m.EndF_SpinEdit, m.SweepStep_SpinEdit, m.repRate1,
              m.SwpStartF_SpinEdit, m.SwpEndF_SpinEdit, m.SwpStep_SpinEdit}) {
            spin->setEnabled(true);
            type(spin, "2k");
            QCOMPARE(spin->value(), 2000);
            type(spin, "1.5");
            QCOMPARE(spin->findChild<QLineEdit*>()->text(), QString("1.5"));
            QVERIFY(spin->property("refused").toBool());
            QCOMPARE(spin->value(), 2000);
            spin->setValue(2000); // a refresh clears the mark
            QVERIFY(!spin->property("refused").toBool());
        }
        m.SingleF_RadioButton->click();
        type(m.StartF_SpinEdit, "10.5k");
        m.WaveUpdate_Button->click();
        QCOMPARE(ch().Wave.StartF, 10.5);
        QCOMPARE(SimValue(kCardA, 1, "frequency"), 10.5);
        type(m.StartF_SpinEdit, "2M");
        QCOMPARE(m.StartF_SpinEdit->value(), 2000000);
        m.WaveUpdate_Button->click();
        QCOMPARE(ch().Wave.StartF, 2000.0);

        // An Update that would read a refused field sends nothing and says why.
        type(m.StartF_SpinEdit, "3.7");
        nvsim_journal_clear();
        m.WaveUpdate_Button->click();
        QCOMPARE(nvsim_journal_count(), 0);
        QCOMPARE(ch().Wave.StartF, 2000.0);
        QVERIFY2(m->Feedback().contains("Start Frequency (Hz)") && m->Feedback().contains("3.7"),
                 qPrintable(m->Feedback()));
    }

    void startFrequencySteppingKeys() {
        MainControls& m = ui();
        m->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m.window));
        m.Symm_SpinEdit->setFocus();
        // Before any click on the start frequency the focused control keeps its keys.
        QTest::keyPress(m.Symm_SpinEdit, Qt::Key_Shift, Qt::ShiftModifier);
        QCOMPARE(m.StartF_SpinEdit->singleStep(), 1);
        QTest::keyRelease(m.Symm_SpinEdit, Qt::Key_Shift);
        QVERIFY(!m->KeyPreview());

        QTest::mouseClick(m.StartF_SpinEdit->findChild<QLineEdit*>(), Qt::LeftButton);
        QVERIFY(m->KeyPreview());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        struct Case {
            Qt::Key key;
            Qt::KeyboardModifiers held;
            int step;
        };
        const Case cases[] = {
            {Qt::Key_Shift, Qt::ShiftModifier, 10},
            {Qt::Key_Control, Qt::ShiftModifier | Qt::ControlModifier, 10}, // unchanged
            {Qt::Key_Control, Qt::ControlModifier, 100},
            {Qt::Key_Alt, Qt::AltModifier, 1000},
            {Qt::Key_F4, Qt::NoModifier, 1000}, // unchanged
        };
        for (const Case& c : cases) {
            QTest::keyPress(focus, c.key, c.held);
            QCOMPARE(m.StartF_SpinEdit->singleStep(), c.step);
        }
        QTest::keyRelease(focus, Qt::Key_F4);
        QCOMPARE(m.StartF_SpinEdit->singleStep(), 1);

        // Every way of stepping steps by exactly what the keys chose, the
        // modifiers still held: arrow clicks, arrow and Page keys, the wheel.
        QSpinBox* const start = m.StartF_SpinEdit;
        struct Step {
            QList<std::pair<Qt::Key, Qt::KeyboardModifiers>> presses; // choosing the step
            Qt::KeyboardModifiers held;
            int step;
        };
        const Qt::KeyboardModifiers shiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;
        const Step steps[] = {
            {{{Qt::Key_Shift, Qt::ShiftModifier}}, Qt::ShiftModifier, 10},
            {{{Qt::Key_Control, Qt::ControlModifier}}, Qt::ControlModifier, 100},
            // Ctrl chose 100; Shift as well leaves it, and Qt adds no factor of its own.
            {{{Qt::Key_Control, Qt::ControlModifier}, {Qt::Key_Shift, shiftCtrl}}, shiftCtrl, 100},
            {{{Qt::Key_Alt, Qt::AltModifier}}, Qt::AltModifier, 1000}};
        for (const Step& s : steps)
            for (const auto& [stepper, sign] : StepperActions(start, s.held)) {
                // Any key up sets the step back to 1: the modifiers choose it again.
                for (const auto& [key, held] : s.presses)
                    SendKey(QApplication::focusWidget(), QEvent::KeyPress, key, held);
                QCOMPARE(start->singleStep(), s.step);
                const int before = start->value();
                stepper();
                QCOMPARE(start->value() - before, sign * s.step);
            }
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Alt);
        // The other spin edits always step by 1, Ctrl or not.
        m.EndF_SpinEdit->setEnabled(true);
        for (const auto& [stepper, sign] : StepperActions(m.EndF_SpinEdit, Qt::ControlModifier)) {
            const int before = m.EndF_SpinEdit->value();
            stepper();
            QCOMPARE(m.EndF_SpinEdit->value() - before, sign);
        }
    }

    void minimiseAndRestoreKeepUnappliedEdits() {
        MainControls& m = ui();
        m.StartF_SpinEdit->setValue(4321);
        m.TrigMode_ComboBox->setCurrentIndex(2);
        emit m.TrigMode_ComboBox->activated(2); // chosen as the operator does
        m->setWindowState(Qt::WindowMinimized);
        m->setWindowState(Qt::WindowNoState);
        QCOMPARE(m.StartF_SpinEdit->value(), 4321);
        QVERIFY(m.TrigSource_ComboBox->isEnabled());
        // A full refresh follows the trigger mode rule as well.
        m.Channel_PageControl->setCurrentIndex(1);
        QVERIFY(m.TrigSource_ComboBox->isEnabled());
        m.TrigMode_ComboBox->setCurrentIndex(6);
        m.Channel_PageControl->setCurrentIndex(0);
        QVERIFY(!m.TrigSource_ComboBox->isEnabled());
    }

    void newCardSelectsItsChannelFirst() {
        selectCard(false, 0);
        ui().Ch1_Mode_Button->click(); // the card was last told channel 1
        nvsim_journal_clear();
        selectCard(false, 1);
        const QStringList sets = DriverSets();
        QVERIFY(!sets.isEmpty());
        QCOMPARE(sets[0], QString("nv815_SetActiveChannel(1) = 00000000"));
    }

    void infoLabelsDescribeTheActiveChannel() {
        MainControls& m = ui();
        ch(1).Wave.Arb.ArbFile = "/w/one.txt";
        ch(1).Wave.Arb.WaveLength = 4;
        ch(2).Wave.Arb.ArbFile = "/w/two.txt";
        ch(2).Wave.Arb.WaveLength = 8;
        for (const auto& [tab, name, count] :
             {std::tuple{1, "two.txt", "8"}, {0, "one.txt", "4"}, {2, "", "0"}}) {
            m.Channel_PageControl->setCurrentIndex(tab);
            QCOMPARE(m.ArbWave_Filename_Label->text(), QString("Filename: ") + name);
            QCOMPARE(m.Arbwave_DataCount_Label->text(), QString("Data Points: ") + count);
        }
    }
};

NV815_TEST_MAIN(TestWaveform)
} // namespace NV815_TEST_UNIT

#include "tst_waveform.moc"
