// The window's views on their own, each bound to a card on the simulated
// chassis: what they send, what they show, and what a change the window did
// not make redraws.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include "ClockView.h"
#include "LibraryBindings.h"
#include "Operations.h"
#include "OutputView.h"
#include "PanelWidgets.h"
#include "ProgramState.h"
#include "QuietUi.h"
#include "StatusStripView.h"
#include "TestRegistry.h"
#include "TriggerView.h"
#include "UnsentMarks.h"
#include "WaveformView.h"
#include "nvsim.h"

namespace NV815_TEST_UNIT {

class TestViews : public QObject, private CardSubscriber {
    Q_OBJECT

    Card card;
    QWidget client;
    UnsentMarks marks;
    std::optional<CardChange> told; // the last change the card told
    void cardChanged(const CardChange& change) override { told = change; }

    // What the pages' views are given: the window's part played by the test.
    int edits = 0;
    ViewHost host(std::function<void()> refresh = [] {}) {
        return ViewHost{card,
                        marks,
                        [] { return 1; },
                        [this](const std::function<void()>& body) {
                            Card::Operation own(card, &client);
                            body();
                        },
                        [this] { ++edits; },
                        std::move(refresh),
                        {},
                        {},
                        {},
                        &client};
    }

    // A control of a view, by its object name.
    template <typename W> static W* In(QObject* root, const char* name) {
        W* control = root->findChild<W*>(name);
        if (!control)
            qFatal("no control %s", name);
        return control;
    }

    OutputView* output() {
        return new OutputView(
            &client, card, marks, [] { return 1; },
            [this](const std::function<void()>& body) {
                Card::Operation own(card, &client);
                body();
            },
            &client);
    }

private slots:
    void initTestCase() { QVERIFY(BindAllLibraries().ok()); }
    void init() {
        nvsim_load_chassis(nullptr, nullptr, 0);
        ResetProgramState();
        card.clear();
        card.resetRecord();
        card.subscribe(*this);
        QCOMPARE(card.open("PXI1::13::INSTR", true), VI_SUCCESS);
        UseCard(card, card.session(), kChannelCount);
        told.reset();
    }
    void cleanup() {
        qDeleteAll(client.children());
        card.unsubscribe(*this);
        card.close();
    }

    // Set sends the slider's value and the mark goes; another's change shows
    // in the attenuation only, the operator's unsent offset staying marked.
    void outputViewSendsAndFollowsItsCard() {
        OutputView* view = output();
        view->showAttenuation();
        In<QSlider>(&client, "Att_Slider")->setValue(12);
        view->refreshMarks();
        QVERIFY(marks.marked(In<QSlider>(&client, "Att_Slider")) &&
                marks.marked(In<QLineEdit>(&client, "Att_Edit")));
        view->setAttenuation();
        QVERIFY(told && told->origin == &client && told->channel[1].accepted);
        view->refreshMarks();
        QVERIFY(!marks.marked(In<QSlider>(&client, "Att_Slider")) &&
                !marks.marked(In<QLineEdit>(&client, "Att_Edit")));
        QCOMPARE(card.accepted().Channel[1].Attenuation, std::optional<double>(12));
        In<QSlider>(&client, "V_Slider")->setValue(150); // an offset not sent

        QCOMPARE(SetAttenuation(card, 1, 30), VI_SUCCESS); // not the window's
        QVERIFY(told && told->origin == nullptr);
        QVERIFY(told->channel[1].settings[Setting("_Wave/Attenuation").index()]);
        QVERIFY(!told->channel[2].any());
        view->refreshMarks(); // the view drew the change from the card's notice
        QCOMPARE(In<QSlider>(&client, "Att_Slider")->value(), 30);
        QCOMPARE(In<QLineEdit>(&client, "Att_Edit")->text(), QString("30"));
        QCOMPARE(In<QSlider>(&client, "V_Slider")->value(), 150);
        QVERIFY(marks.marked(In<QSlider>(&client, "V_Slider")));
        {
            // Its owner's operation is left to the refreshes the owner names.
            Card::Operation own(card, &client);
            QCOMPARE(SetAttenuation(card, 1, 20), VI_SUCCESS);
        }
        QCOMPARE(In<QSlider>(&client, "Att_Slider")->value(), 30);
    }

    // Update sends what the lists show, as the window's operation; a
    // continuous trigger takes no source.
    void triggerViewSendsItsLists() {
        TriggerView view(
            &client, card, [] { return 1; },
            [this](const std::function<void()>& body) {
                Card::Operation own(card, &client);
                body();
            });
        In<QComboBox>(&client, "TrigMode_ComboBox")->setCurrentIndex(2);   // positive edge
        In<QComboBox>(&client, "TrigSource_ComboBox")->setCurrentIndex(4); // PXI 3
        In<QPushButton>(&client, "TrigUpdate_Button")->click();
        QVERIFY(told && told->origin == &client);
        QCOMPARE(card.accepted().Channel[1].Trigger, std::optional(TTriggerSetting{4, 2}));
        QCOMPARE(card.channel(1).TrigMode, 2);
        In<QComboBox>(&client, "TrigMode_ComboBox")->setCurrentIndex(6);
        view.modeChosen();
        QVERIFY(!In<QComboBox>(&client, "TrigSource_ComboBox")->isEnabled());
    }

    // The Waveform page shows the record, sends what it shows and marks
    // only what the card does not hold; a change another made redraws only
    // its own controls: the operator's unsent symmetry and the page stay.
    void waveformViewShowsSendsAndFollows() {
        WaveformView view(host());
        card.channel(1).Wave.Symmetry = 30;
        view.show(1);
        QCOMPARE(In<QSpinBox>(view.page(), "Symm_SpinEdit")->value(), 30);
        QCOMPARE(In<QTabWidget>(view.page(), "Wave_PageControl")->currentWidget(),
                 In<QWidget>(view.page(), "TabSheet7"));
        QVERIFY(!In<QSpinBox>(view.page(), "EndF_SpinEdit")->isEnabled()); // a single frequency
        QuietUi ui;
        ApplyWaveform(card, 1, view.draft(1), view.manualSweep(), ui);
        view.refreshMarks(1);
        QVERIFY(!marks.marked(In<QSpinBox>(view.page(), "Symm_SpinEdit")));

        const int before = edits;
        In<QSpinBox>(view.page(), "Symm_SpinEdit")->setValue(45);
        QVERIFY(edits > before);
        QCOMPARE(view.draft(1).Wave.Symmetry, 45.0);
        view.refreshMarks(1);
        QVERIFY(marks.marked(In<QSpinBox>(view.page(), "Symm_SpinEdit")) &&
                !marks.marked(In<QSpinBox>(view.page(), "StartF_SpinEdit")));

        TChannelInfo client = DraftOf(card.channel(1));
        client.Wave.StartF = 2.5;                  // kHz: the field shows Hz
        ApplyWaveform(card, 1, client, false, ui); // not the window's
        QVERIFY(told && told->origin == nullptr);
        QCOMPARE(In<QSpinBox>(view.page(), "StartF_SpinEdit")->value(), 2500);
        QCOMPARE(In<QSpinBox>(view.page(), "Symm_SpinEdit")->value(), 45);
        QCOMPARE(In<QTabWidget>(view.page(), "Wave_PageControl")->currentWidget(),
                 In<QWidget>(view.page(), "TabSheet7"));

        // Sweep takes effect in the record at once, and the window shows it.
        int refreshed = 0;
        WaveformView swept(host([&] { ++refreshed; }));
        In<QRadioButton>(swept.page(), "SweepF_RadioButton")->click();
        QVERIFY(card.channel(1).Wave.SweepFlag);
        QCOMPARE(refreshed, 1);
    }

    // The multiplier's arrows keep to 1 and 4 to 20, send nothing and leave
    // the other channels' alone; the draft holds the multiplier shown and the
    // counter step 2^N; each sweep mode enables its fields.
    void clockViewArrowsDraftAndRules() {
        ClockView view(host());
        const int calls = nvsim_journal_count();
        const struct {
            int from;
            bool up;
            int to;
        } arrows[] = {{1, true, 4}, {4, false, 1}, {5, false, 4}, {19, true, 20}, {20, true, 20}};
        for (const auto& a : arrows) {
            card.pendingMultiplier(1) = a.from;
            a.up ? view.multiplierUp() : view.multiplierDown();
            QCOMPARE(card.pendingMultiplier(1), a.to);
            QCOMPARE(In<QLineEdit>(view.page(), "ClkX_Edit")->text(), QString::number(a.to));
        }
        QCOMPARE(nvsim_journal_count(), calls);
        QCOMPARE(card.pendingMultiplier(2), 20);
        In<TUpDown>(view.page(), "CounterStep_UpDown")->setPosition(5);
        view.counterStepChosen();
        const TChannelInfo draft = view.draft(1);
        QCOMPARE(draft.Multiplier, 20);
        QCOMPARE(draft.MemStep, 32);
        const bool enabled[4][5] = {{true, false, false, false, false},
                                    {true, true, true, true, false},
                                    {true, true, true, true, true},
                                    {true, true, false, false, true}};
        for (int mode = 0; mode < 4; ++mode) {
            In<QComboBox>(view.page(), "SweepMode_ComboBox")->setCurrentIndex(mode);
            const QWidget* fields[5] = {In<QWidget>(view.page(), "SwpStartF_SpinEdit"),
                                        In<QWidget>(view.page(), "SwpEndF_SpinEdit"),
                                        In<QWidget>(view.page(), "SwpStep_SpinEdit"),
                                        In<QWidget>(view.page(), "SwpInt_SpinEdit"),
                                        In<QWidget>(view.page(), "FSKSource_ComboBox")};
            for (int i = 0; i < 5; ++i)
                QCOMPARE(fields[i]->isEnabled(), enabled[mode][i]);
        }
    }

    // The strip draws itself when an operation ends; a refused one leaves it.
    void stripRedrawsWhenAnOperationEnds() {
        StatusStripView strip(&client, QRect(0, 0, 600, 20), card);
        strip.refresh();
        auto* first = client.findChild<QLabel*>("Channel1Status_Label");
        QVERIFY(first->text().startsWith("1 off, 10dB"));
        QCOMPARE(SetOutput(card, 1, true), VI_SUCCESS);
        QVERIFY2(first->text().startsWith("1 on, 10dB"), qPrintable(first->text()));
        nvsim_fail("nv815_SetInstrumentMode", static_cast<ViStatus>(0xBFFC0802u), 0, 0, nullptr);
        told.reset();
        SetOutput(card, 1, false);
        QVERIFY(first->text().startsWith("1 on"));
        QVERIFY(!told); // nothing changed: nothing told
    }
};

NV815_TEST_MAIN(TestViews)
} // namespace NV815_TEST_UNIT

#include "tst_views.moc"
