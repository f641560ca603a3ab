// The window's views on their own, each bound to a card on the simulated
// chassis: what they send, what they show, and what a change the window did
// not make redraws.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "LibraryBindings.h"
#include "Operations.h"
#include "OutputView.h"
#include "ProgramState.h"
#include "StatusStripView.h"
#include "TestRegistry.h"
#include "TriggerView.h"
#include "UnsentMarks.h"
#include "nvsim.h"

class TestViews : public QObject, private CardSubscriber {
    Q_OBJECT

    Card card;
    TSelectedCard selected;
    QWidget client;
    UnsentMarks marks;
    std::optional<CardChange> told; // the last change the card told
    void cardChanged(const CardChange& change) override { told = change; }

    OutputView* output() {
        return new OutputView(
            &client, card, marks, [] { return 1; },
            [this](const std::function<void()>& body) {
                Card::Operation own(card, &client);
                body();
            });
    }

private slots:
    void initTestCase() { QVERIFY(BindAllLibraries().ok()); }
    void init() {
        nvsim_load_chassis(nullptr, nullptr, 0);
        ResetProgramState();
        card.clear();
        card.resetRecord();
        card.subscribe(*this);
        selected.Resource = "PXI1::13::INSTR";
        QCOMPARE(OpenCard(selected, true), VI_SUCCESS);
        UseCard(card, selected.Session, kChannelCount);
        told.reset();
    }
    void cleanup() {
        qDeleteAll(client.children());
        card.unsubscribe(*this);
        CloseCard(selected);
    }

    // Set sends the slider's value and the mark goes; another's change shows
    // in the attenuation only, the operator's unsent offset staying marked.
    void outputViewSendsAndFollowsItsCard() {
        OutputView* view = output();
        view->showAttenuation();
        view->Att_Slider->setValue(12);
        view->refreshMarks();
        QVERIFY(marks.marked(view->Att_Slider) && marks.marked(view->Att_Edit));
        view->setAttenuation();
        QVERIFY(told && told->origin == &client && told->channel[1].accepted);
        view->refreshMarks();
        QVERIFY(!marks.marked(view->Att_Slider) && !marks.marked(view->Att_Edit));
        QCOMPARE(card.accepted().Channel[1].Attenuation, std::optional<double>(12));
        view->V_Slider->setValue(150); // an offset not sent

        QCOMPARE(SetAttenuation(card, 1, 30), VI_SUCCESS); // not the window's
        QVERIFY(told && told->origin == nullptr);
        QVERIFY(told->channel[1].settings[Setting("_Wave/Attenuation").index()]);
        QVERIFY(!told->channel[2].any());
        view->showChanged(told->channel[1]);
        view->refreshMarks();
        QCOMPARE(view->Att_Slider->value(), 30);
        QCOMPARE(view->Att_Edit->text(), QString("30"));
        QCOMPARE(view->V_Slider->value(), 150);
        QVERIFY(marks.marked(view->V_Slider));
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
        view.TrigMode_ComboBox->setCurrentIndex(2);   // positive edge
        view.TrigSource_ComboBox->setCurrentIndex(4); // PXI 3
        view.TrigUpdate_Button->click();
        QVERIFY(told && told->origin == &client);
        QCOMPARE(card.accepted().Channel[1].Trigger, std::optional(TTriggerSetting{4, 2}));
        QCOMPARE(card.channel(1).TrigMode, 2);
        view.TrigMode_ComboBox->setCurrentIndex(6);
        view.modeChosen();
        QVERIFY(!view.TrigSource_ComboBox->isEnabled());
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
#include "tst_views.moc"
