// The main window on the simulated chassis: its controls, card selection,
// channel switching, the output group and closing.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpSocket>
#include <QtTest>
#include <numeric>

#include "About_Unit.h"
#include "Captions.h"
#include "Card_Unit.h"
#include "DriverCalls.h"
#include "ExtClkFreq_Unit.h"
#include "Log_Unit.h"
#include "Main_Controls.h"
#include "MemTest_Unit.h"
#include "OperationLog.h"
#include "PanelFixture.h"
#include "PanelWidgets.h"
#include "Remote_Unit.h"
#include "SettingRanges.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

const char* const kCardA = "PXI1::13::INSTR"; // 72-815, id 1001

class TestMainWindow : public QObject, public PanelFixture {
    Q_OBJECT

    void typeOffset(const QString& text) {
        ui().V_Edit->setText(text);
        QTest::keyClick(ui().V_Edit, Qt::Key_Return);
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() { stop(); }

    // File > New Window: a second panel drives a second card; the two are
    // driven in turn and each holds, shows and logs only its own.
    void twoPanelsDriveTwoCards() {
        selectCard(false, 0); // PXI1::13, a 72-815
        ui().window.findChild<QAction*>("NewWindow1")->trigger();
        QPointer<TMain_Form> other;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* panel = qobject_cast<TMain_Form*>(top); panel && panel != &main())
                other = panel;
        QVERIFY(other && other->isVisible());
        MainControls b(*other);
        // The first panel's card is marked and refused: nothing reaches it.
        const int sessionsBefore = nvsim_open_sessions();
        const size_t callsBefore = SessionCalls(card().session()).size();
        whenModal([&] {
            auto* f = other->findChild<TCard_Form*>();
            f->Find_Button->click();
            f->Card_StringGrid->setCurrentCell(0, 1); // PXI1::13, panel 1's
            QCOMPARE(f->Card_StringGrid->item(0, 1)->toolTip(),
                     QString("This card is in use by panel 1."));
            QCOMPARE(f->Hint_Label->text(),
                     QString("PXI1::13::INSTR is in use by panel 1: choose another card."));
            f->Ok_Button->click();
            QVERIFY(f->isVisible());
            f->Cancel_Button->click();
        });
        b.Card1->trigger();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Error);
        QCOMPARE(dialogs.messages[0].text,
                 QString("PXI1::13::INSTR is in use by panel 1 of this program. Choose another "
                         "card, or first select another card in that panel or close it."));
        QCOMPARE(other->card().session(), ViSession(0));
        QCOMPARE(nvsim_open_sessions(), sessionsBefore);
        QCOMPARE(SessionCalls(card().session()).size(), callsBefore);
        whenModal([&] {
            auto* f = other->findChild<TCard_Form*>();
            f->Set82815->setChecked(true);
            f->Find_Button->click();
            f->Card_StringGrid->setCurrentCell(0, 1); // PXI1::14, an 82-815
            f->Ok_Button->click();
        });
        b.Card1->trigger();
        const ViSession sa = card().session(), sb = other->card().session();
        QVERIFY(sa != 0 && sb != 0 && sa != sb);
        // Each caption says which panel it is and its card; Remote Control too.
        const QString caption = "Norvale 815 Soft Front Panel v1.46";
        QCOMPARE(main().windowTitle(), caption + " \u2014 panel 1: 72-815 card " +
                                           QString::number(card().identity().cardId) +
                                           " (PXI1::13::INSTR)");
        QVERIFY(other->windowTitle().startsWith(caption + " \u2014 panel 2: 82-815 card "));
        // The second panel's Remote Control proposes a port the first's does not
        // hold, says who holds a taken one, and leaves the remembered choices alone.
        other->findChild<QAction*>("RemoteControl1")->trigger(); // the second panel's first
        main().findChild<QAction*>("RemoteControl1")->trigger();
        TRemote_Form* ra = main().RemoteForm();
        TRemote_Form* rb = other->RemoteForm();
        QVERIFY(rb->windowTitle().startsWith("Remote Control: 82-815 card "));
        ra->Port_SpinEdit->setValue(FreePort());
        ra->Listen_Button->click();
        QVERIFY(ra->Listening());
        QVERIFY(rb->Port_SpinEdit->value() != ra->Port());
        rb->Port_SpinEdit->setValue(ra->Port() + 1);
        QCOMPARE(SessionMemory::Remote().port, ra->Port());
        rb->Port_SpinEdit->setValue(ra->Port());
        rb->Listen_Button->click();
        QVERIFY(!rb->Listening());
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY2(dialogs.messages[1].text.endsWith(
                     ". Panel 1 of this program serves on it: choose another port, or stop "
                     "serving there."),
                 qPrintable(dialogs.messages[1].text));
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty()) {
            // Two panels and a client that changed a setting under an unsent edit.
            QTcpSocket client;
            client.connectToHost(QHostAddress::LocalHost, ra->Port());
            QTRY_COMPARE(ra->Clients().size(), 1);
            ui().StartF_SpinEdit->setValue(7777);
            client.write("FREQ 3KHZ;:OUTP1 ON;*OPC?\n");
            QTRY_VERIFY(client.canReadLine());
            QCoreApplication::processEvents();
            main().grab().save(shots + "/panel1_with_client.png");
            auto* scroll = main().findChild<QScrollArea*>("Client_ScrollArea");
            scroll->ensureWidgetVisible(main().findChild<QGroupBox*>("GroupBox7"));
            QCoreApplication::processEvents();
            main().grab().save(shots + "/panel1_scrolled_to_the_output.png");
            scroll->verticalScrollBar()->setValue(0);
            other->grab().save(shots + "/panel2.png");
            ra->grab().save(shots + "/remote_panel1.png");
            client.readLine();
            client.write("OUTP1 OFF;*OPC?\n");
            QTRY_VERIFY(client.canReadLine());
        }
        ra->StopListening();
        QCOMPARE(other->card().channels(), 2);
        for (auto [panel, level] :
             {std::pair(&ui(), 12), std::pair(&b, 30), std::pair(&ui(), 14)}) {
            panel->Att_Slider->setValue(level);
            panel->AttenSetButton->click();
        }
        const auto levels = [](ViSession s) {
            QList<double> out;
            for (const DriverCall& c : SessionCalls(s))
                if (c.function == "nv815_SetAttenuation")
                    out << std::get<double>(c.arguments.back());
            return out;
        };
        QCOMPARE(levels(sa), QList<double>({10, 10, 10, 12, 14})); // the selection's, then its own
        QCOMPARE(levels(sb), QList<double>({10, 10, 30}));
        const auto strip = [](TMain_Form& m) {
            return m.findChild<QLabel*>("Channel1Status_Label")->text();
        };
        QVERIFY2(strip(main()).startsWith("1 off, 14dB"), qPrintable(strip(main())));
        QVERIFY2(strip(*other).startsWith("1 off, 30dB"), qPrintable(strip(*other)));
        QVERIFY(!other->findChild<QLabel*>("Channel3Status_Label")->text().startsWith("3 off"));
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty()) {
            auto* file = main().findChild<QMenu*>("File1");
            file->popup(QPoint(0, 0));
            QApplication::processEvents();
            file->grab().save(shots + "/file_menu.png");
            file->hide();
            other->grab().save(shots + "/second_panel.png");
        }
        // Each panel's log shows its own card's entries.
        const auto logged = [](TMain_Form& m) {
            const std::vector<std::string> lines = LogLinesOf(m.card().link().cardTag());
            return QString::fromStdString(
                std::accumulate(lines.begin(), lines.end(), std::string()));
        };
        QVERIFY(logged(main()).contains("PXI1::13") && !logged(main()).contains("PXI1::14"));
        QVERIFY(logged(*other).contains("30dB") && !logged(*other).contains("12dB"));
        // Its Copy copies and counts only those.
        auto* log = main().findChild<TLog_Form*>();
        QVERIFY(log);
        log->CopyLog_Button->click();
        QCOMPARE(log->Export_Label->text(), QString("Copied %1 entries to the clipboard.")
                                                .arg(LogLinesOf(card().link().cardTag()).size()));
        QVERIFY(!QGuiApplication::clipboard()->text().contains("PXI1::14"));
        // Closing a panel closes its card only.
        other->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!other);
        QCOMPARE(main().windowTitle(), caption); // one panel again: the program's caption
        QVERIFY(SessionCalls(sb).empty());       // closed, its calls forgotten
        QCOMPARE(card().session(), sa);
        ui().AttenSetButton->click();
        QCOMPARE(levels(sa).size(), 6);
    }

    // Every control the tests name exists with its kind: MainControls finds
    // each by its object name and type, and stops the run when one is not there.
    void everyComponentExistsWithItsKind() {
        const MainControls m(main());
        QVERIFY(m.Panel2 && m.Image1 && m.StatusBar1 && m.OffsetBut);
        QCOMPARE(m.ExternalClk_MenuItem->iconText(), QString("External (Unknown)"));
        QVERIFY(!m.InternalClk_MenuItem->isChecked());
    }

    // Each spin edit shows its largest value whole (an unbounded frequency
    // field, ten megahertz) at the size the panel gives it.
    void spinEditsShowTheirLargestValueWhole() {
        for (QSpinBox* spin : main().findChildren<QSpinBox*>()) {
            const bool unbounded = spin->maximum() == INT_MAX;
            const int largest = unbounded ? 10000000 : spin->maximum();
            spin->setValue(largest);
            QLineEdit* edit = spin->findChild<QLineEdit*>();
            const QMargins m = edit->textMargins();
            const int room = edit->contentsRect().width() - m.left() - m.right() - 4;
            QVERIFY2(edit->fontMetrics().horizontalAdvance(spin->text()) <= room,
                     qPrintable(spin->objectName() + ": " + spin->text()));
        }
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
            main().grab().save(dir + "/main_form_widest.png");
    }

    // Every control of a setting has the setting's range, as a loaded
    // configuration and the command line hold it.
    void controlsTakeTheirRangesFromTheSettings() {
        const std::pair<const char*, const char*> spins[] = {
            {"Symm_SpinEdit", "_Wave/Symmetry"},
            {"StartF_SpinEdit", "_Wave/StartF"},
            {"EndF_SpinEdit", "_Wave/EndF"},
            {"SweepStep_SpinEdit", "_Wave/SweepStep"},
            {"StepInt_SpinEdit", "_Wave/StepInterval"},
            {"SwpStartF_SpinEdit", "_Clock/StartF"},
            {"SwpEndF_SpinEdit", "_Clock/EndF"},
            {"SwpStep_SpinEdit", "_Clock/SweepStep"},
            {"SwpInt_SpinEdit", "_Clock/StepInterval"},
        };
        for (const auto& [name, key] : spins) {
            const SettingRange& r = Setting(key);
            auto* spin = main().findChild<QSpinBox*>(name);
            QCOMPARE(spin->minimum(), r.bounded ? r.controlMinimum() : INT_MIN);
            QCOMPARE(spin->maximum(), r.bounded ? r.controlMaximum() : INT_MAX);
            QCOMPARE(double(spin->maximum()) * r.resolution, r.maximum);
            // Its tooltip says what the table says of it.
            QCOMPARE(SettingOf(spin), &r);
            QVERIFY2(
                main().PlainToolTip(spin).startsWith(QString::fromStdString(RangeDescription(r))),
                qPrintable(spin->toolTip()));
        }
        for (const auto& [name, key] : {std::pair("Att_Slider", "_Wave/Attenuation"),
                                        std::pair("V_Slider", "_Wave/DCOffset")}) {
            auto* slider = main().findChild<QSlider*>(name);
            QCOMPARE(slider->minimum(), Setting(key).controlMinimum());
            QCOMPARE(slider->maximum(), Setting(key).controlMaximum());
        }
        auto* counter = main().findChild<TUpDown*>("CounterStep_UpDown");
        QCOMPARE(1 << counter->minimum(), int(Setting("_Clock/MemStep").minimum));
        QCOMPARE(1 << counter->maximum(), int(Setting("_Clock/MemStep").maximum));
        QCOMPARE(main().findChild<QComboBox*>("WaveType_ComboBox")->count() - 1,
                 int(Setting("_Wave/WaveType").maximum));
        QCOMPARE(main().findChild<QComboBox*>("SweepMode_ComboBox")->count() - 1,
                 int(Setting("_Clock/SweepMode").maximum));
    }

    // Every window's buttons show their captions whole.
    void everyCaptionFits() {
        QCOMPARE(CutButtons(&main()), QStringList());
        for (QDialog* d :
             std::initializer_list<QDialog*>{w->card, w->about, w->log, w->memTest, w->extClk}) {
            d->show();
            QVERIFY(QTest::qWaitForWindowExposed(d));
            QCOMPARE(CutButtons(d), QStringList());
            d->hide();
        }
    }

    // On an area smaller than the panel the window fits the area and the
    // panel scrolls inside it; the status bar stays in view.
    void smallScreensScrollThePanel() {
        auto* scroll = main().findChild<QScrollArea*>("Client_ScrollArea");
        auto* output = main().findChild<QGroupBox*>("GroupBox7");
        for (const QRect area : {QRect(0, 0, 700, 480), QRect(0, 0, 1280, 560)}) {
            main().FitInto(area);
            QCoreApplication::processEvents();
            QVERIFY(main().width() <= area.width() && main().height() <= area.height());
            QVERIFY(main().statusBar()->geometry().bottom() < main().height());
            scroll->ensureWidgetVisible(output);
            const QRect shown(output->mapTo(scroll->viewport(), QPoint()), output->size());
            QVERIFY2(scroll->viewport()->rect().intersects(shown),
                     qPrintable(QString::number(area.width())));
            // The channel tabs and the strip stay in view, above the pages.
            QVERIFY(scroll->verticalScrollBar()->value() > 0);
            for (QWidget* top : {static_cast<QWidget*>(ui().Channel_PageControl->tabBar()),
                                 main().findChild<QWidget*>("ChannelStatus_Panel")}) {
                const QPoint at = top->mapTo(scroll->viewport(), QPoint());
                QVERIFY2(at.y() >= 0 && at.y() < 8, qPrintable(top->objectName()));
                QCOMPARE(scroll->viewport()->childAt(at + QPoint(20, top->height() / 2))->window(),
                         &main());
            }
            QTabBar* tabs = ui().Channel_PageControl->tabBar();
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
            QCOMPARE(ui().Channel_PageControl->currentIndex(), 1);
            ui().Channel_PageControl->setCurrentIndex(0);
            scroll->verticalScrollBar()->setValue(0);
            QCOMPARE(tabs->y(), ui().Channel_PageControl->y()); // at home again
        }
        main().FitInto(QRect(0, 0, 3840, 2160));
        QCOMPARE(main().width(), TMain_Form::kClientWidth);
        QCOMPARE(main().minimumSize(), main().size());
        QCOMPARE(main().maximumSize(), main().size());
    }

    void startsWithTheDefaults() {
        MainControls& m = ui();
        QCOMPARE(m->windowTitle(), QString("Norvale 815 Soft Front Panel v1.46"));
        QCOMPARE(m.StatusText->text(), QString("Selected Card: No card selected"));
        // Larger than the screen here (800 x 600): its title bar and menu stay on it.
        const QRect area = m->screen()->availableGeometry();
        QVERIFY(area.contains(m->frameGeometry().topLeft()));
        QCOMPARE(m.Settings_PageControl->tabText(0), QString("Waveform"));
        QCOMPARE(m.Settings_PageControl->tabText(1), QString("Clock"));
        QCOMPARE(m.Channel_PageControl->tabText(2), QString("Channel 3"));
        QCOMPARE(m.WaveType_ComboBox->currentText(), QString("Sine"));
        QCOMPARE(m.Symm_SpinEdit->value(), 50);
        QVERIFY(m.SingleF_RadioButton->isChecked());
        QCOMPARE(m.StartF_SpinEdit->value(), 1000);
        QCOMPARE(m.EndF_SpinEdit->value(), 1000);
        QCOMPARE(m.SweepStep_SpinEdit->value(), 1);
        QCOMPARE(m.StepInt_SpinEdit->value(), 1); // the record holds 1.0 microsecond
        QVERIFY(!m.EndF_SpinEdit->isEnabled());
        QVERIFY(!m.FSK_ComboBox->isEnabled());
        QVERIFY(!m.AutoRadioButton->isEnabled());
        QVERIFY(!m.ManualUpButton->isEnabled());
        QCOMPARE(m.FSK_ComboBox->currentText(), QString("Software"));
        QVERIFY(m.LoadText_RadioButton->isChecked());
        QVERIFY(!m.LoadNorm_CheckBox->isChecked());
        QCOMPARE(m.Wave_PageControl->currentWidget(), m.TabSheet7);
        QCOMPARE(m.TrigMode_ComboBox->currentText(), QString("Continuous"));
        QCOMPARE(m.TrigSource_ComboBox->currentText(), QString("Front panel"));
        QVERIFY(!m.TrigSource_ComboBox->isEnabled());
        QCOMPARE(m.ClkX_Edit->text(), QString("20"));
        QCOMPARE(m.SweepMode_ComboBox->currentIndex(), -1);
        QCOMPARE(m.SwpStartF_SpinEdit->value(), 1000);
        QCOMPARE(m.SwpEndF_SpinEdit->value(), 2000);
        QVERIFY(!m.SwpEndF_SpinEdit->isEnabled());
        QCOMPARE(m.SwpInt_SpinEdit->maximum(), 5242);
        QCOMPARE(m.CounterStep_Edit->text(), QString("1"));
        QVERIFY(!m.CounterStep_Edit->isEnabled());
        QCOMPARE(m.repRate1->value(), 1000);
        QCOMPARE(m.Att_Slider->value(), 0);
        QCOMPARE(m.Att_Edit->text(), QString(" 0"));
        QCOMPARE(m.V_Slider->value(), 0);
        QCOMPARE(m.V_Edit->text(), QString("0.00"));
        QVERIFY(!m.Ch1_Mode_Button->lit());
        QVERIFY(!m.OffsetBut->lit());
        QVERIFY(!m.Image1->picture().isNull()); // the decoded logo
        QCOMPARE(m.Image1->picture().size(), QSize(449, 81));
        // The scale labels sit centred on the image's top, middle and bottom.
        QCOMPARE(m.Grat_Image->geometry(), QRect(12, 12, 449, 345));
        QCOMPARE(m.Max_Vert_Label->y(), 16 + 12 - m.Max_Vert_Label->height() / 2);
        QCOMPARE(m.Min_Vert_Label->y(), 16 + 12 + 345 - m.Min_Vert_Label->height() / 2);
        QCOMPARE(m.Half_Vert_Label->y(), 16 + 12 + 172 - m.Half_Vert_Label->height() / 2);
        // The log store exists and the log window switched logging on.
        QVERIFY(LogLines);
        QVERIFY(LogEnabled);
        QCOMPARE(MaxLogLines, 100);
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty()) {
            m->grab().save(dir + "/main_form.png");
            m.Wave_PageControl->setCurrentIndex(1);
            m->grab().save(dir + "/main_form_arbitrary.png");
            m.Settings_PageControl->setCurrentIndex(1);
            m->grab().save(dir + "/main_form_clock.png");
        }
    }

    void selectingACardSetsEveryChannel() {
        selectCard(false, 0);
        MainControls& m = ui();
        QCOMPARE(m.StatusText->text(),
                 QString("Selected Card ID: 1001 - VISA Resource: PXI1::13::INSTR"));
        QCOMPARE(session(), main().card().session());
        QVERIFY(session() != 0);
        const QStringList log = LogTexts();
        QCOMPARE(log.first(), QString("New card selected - PXI1::13::INSTR"));
        QCOMPARE(log.size(), 1 + 3 * 3); // per channel: selection, attenuation, output
        const QString s = QString::number(session());
        QStringList expected;
        for (int c = 1; c <= 3; ++c)
            expected << QString("nv815_SetActiveChannel(%1, %2) = 00000000").arg(s).arg(c)
                     << QString("nv815_SetAttenuation(%1, 10) = 00000000").arg(s)
                     << QString("nv815_SetInstrumentMode(%1, 0) = 00000000").arg(s);
        QStringList driverCalls;
        for (const QString& line : SimJournal())
            if (line.startsWith("nv815_Set"))
                driverCalls << line;
        QCOMPARE(driverCalls, expected);
        for (int c = 1; c <= 3; ++c)
            QCOMPARE(record().Channel[c].Wave.Attenuation, 10.0);
        QCOMPARE(m.Att_Slider->value(), 10);
        QCOMPARE(m.Att_Edit->text(), QString("10"));
        QVERIFY(m.Channel_PageControl->isTabVisible(2));
        QVERIFY(m.StatusText->width() >= m.StatusText->sizeHint().width()); // at once
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
            m->grab().save(dir + "/main_form_card.png");

        // A card with id 0 gives the short form.
        selectCard(false, 1);
        QCOMPARE(m.StatusText->text(), QString("Selected Card: PXI2::10::INSTR"));
    }

    void twoChannelCardHidesTheThirdTab() {
        MainControls& m = ui();
        m.Channel_PageControl->setCurrentIndex(2);
        selectCard(true, 0);
        QVERIFY(!m.Channel_PageControl->isTabVisible(2));
        QVERIFY(m.Channel_PageControl->currentIndex() != 2); // moved off the hidden tab
        // The card refuses channel 3, so that channel keeps its attenuation.
        QCOMPARE(record().Channel[2].Wave.Attenuation, 10.0);
        QCOMPARE(record().Channel[3].Wave.Attenuation, 0.0);
        QVERIFY(LogTexts().last().contains("***FAILED***"));
        selectCard(false, 0);
        QVERIFY(m.Channel_PageControl->isTabVisible(2));
    }

    void cancelChangesNothing() {
        selectCard(false, 0);
        const QString status = ui().StatusText->text();
        const ViSession before = session();
        const int entries = static_cast<int>(LogLines->size());
        selectCard(false, 1, false);
        QCOMPARE(ui().StatusText->text(), status);
        QCOMPARE(session(), before);
        QCOMPARE(static_cast<int>(LogLines->size()), entries);
        QCOMPARE(record().Channel[1].Wave.Attenuation, 10.0);
    }

    void channelSwitchLoadsWaveValuesOnlyOnTheWaveformPage() {
        MainControls& m = ui();
        record().Channel[2].Wave.StartF = 5.0;
        record().Channel[2].Wave.WaveType = 1;
        record().Channel[2].Wave.Attenuation = 7;
        record().Channel[2].Wave.DCOffset = -1.25;
        record().Channel[2].Wave.OffsetOn = true;
        record().Channel[2].OutputOn = true;
        m.Channel_PageControl->setCurrentIndex(1);
        QCOMPARE(m.StartF_SpinEdit->value(), 5000);
        QCOMPARE(m.WaveType_ComboBox->currentText(), QString("Triangle"));
        QCOMPARE(m.Att_Slider->value(), 7);
        QCOMPARE(m.Att_Edit->text(), QString(" 7"));
        QCOMPARE(m.V_Slider->value(), -125);
        QCOMPARE(m.V_Edit->text(), QString("-1.25"));
        QVERIFY(m.OffsetBut->lit());
        QVERIFY(m.Ch1_Mode_Button->lit());

        m.Settings_PageControl->setCurrentIndex(1);
        record().Channel[3].Wave.StartF = 9.0;
        m.Channel_PageControl->setCurrentIndex(2);
        QCOMPARE(m.StartF_SpinEdit->value(), 5000); // not reloaded on the Clock page
        QCOMPARE(m.Att_Slider->value(), 0);         // the output group follows the channel
        QVERIFY(!m.Ch1_Mode_Button->lit());
        m.Settings_PageControl->setCurrentIndex(0); // coming back reloads the page
        QCOMPARE(m.StartF_SpinEdit->value(), 9000);
    }

    void typedOffsetsMoveTheSliderOnly() {
        selectCard(false, 0);
        const int calls = nvsim_journal_count();
        MainControls& m = ui();
        typeOffset("+1.5");
        QCOMPARE(m.V_Edit->text(), QString("1.50"));
        QCOMPARE(m.V_Slider->value(), 150);
        typeOffset("1.999");
        QCOMPARE(m.V_Slider->value(), 199);
        QCOMPARE(m.V_Edit->text(), QString("1.99"));
        typeOffset("7");
        QCOMPARE(m.V_Slider->value(), 500);
        QCOMPARE(m.V_Edit->text(), QString("5.00"));
        typeOffset("-12");
        QCOMPARE(m.V_Slider->value(), -500);
        typeOffset("volts");
        QCOMPARE(m.V_Slider->value(), -500);
        QCOMPARE(m.V_Edit->text(), QString("-5.00"));
        m.Att_Slider->setValue(5);
        QCOMPARE(m.Att_Edit->text(), QString(" 5"));
        QCOMPARE(nvsim_journal_count(), calls); // nothing sent
        QCOMPARE(record().Channel[1].Wave.Attenuation, 10.0);
    }

    void setButtonsCommitOnlyWhatTheCardAccepts() {
        selectCard(false, 0);
        MainControls& m = ui();
        m.Att_Slider->setValue(5);
        m.AttenSetButton->click();
        QCOMPARE(record().Channel[1].Wave.Attenuation, 5.0);
        QCOMPARE(SimValue(kCardA, 1, "attenuation"), 5.0);

        nvsim_fail("nv815_SetAttenuation", static_cast<ViStatus>(0xBFFC0802u), 0, 0, nullptr);
        m.Att_Slider->setValue(30);
        m.AttenSetButton->click();
        QCOMPARE(record().Channel[1].Wave.Attenuation, 5.0);
        QCOMPARE(m.Att_Slider->value(), 5);
        QCOMPARE(m.Att_Edit->text(), QString(" 5"));
        nvsim_clear_faults();

        // The offset "Set" applies the enable flag of the offset power button
        // and leaves no entry of its own.
        const int entries = static_cast<int>(LogLines->size());
        m.V_Slider->setValue(-250);
        m.OffsetButton->click();
        QCOMPARE(record().Channel[1].Wave.DCOffset, -2.5);
        QCOMPARE(SimValue(kCardA, 1, "offset"), -2.5);
        QCOMPARE(SimValue(kCardA, 1, "offsetApplied"), 0.0);
        QCOMPARE(static_cast<int>(LogLines->size()), entries);
        nvsim_fail("nv815_SetOutputOffsetVoltage", VI_ERROR_TMO, 0, 0, nullptr);
        m.V_Slider->setValue(100);
        m.OffsetButton->click();
        QCOMPARE(record().Channel[1].Wave.DCOffset, -2.5);
        QCOMPARE(m.V_Slider->value(), -250);
        QCOMPARE(m.V_Edit->text(), QString("-2.50"));
    }

    void outputButtonFollowsTheCard() {
        MainControls& m = ui();
        // No card: refused, the lamp goes dark again.
        m.Ch1_Mode_Button->click();
        QVERIFY(!record().Channel[1].OutputOn);
        QVERIFY(!m.Ch1_Mode_Button->lit());
        selectCard(false, 0);
        m.Ch1_Mode_Button->click();
        QVERIFY(record().Channel[1].OutputOn);
        QVERIFY(m.Ch1_Mode_Button->lit());
        QCOMPARE(SimValue(kCardA, 1, "outputOn"), 1.0);
        nvsim_fail("nv815_SetInstrumentMode", VI_ERROR_TMO, 0, 0, nullptr);
        m.Ch1_Mode_Button->click();
        QVERIFY(record().Channel[1].OutputOn);
        QVERIFY(m.Ch1_Mode_Button->lit());
    }

    void offsetPowerButtonNeverShowsARefusedOffset() {
        selectCard(false, 0);
        MainControls& m = ui();
        m.V_Slider->setValue(150);
        m.OffsetBut->click();
        QVERIFY(record().Channel[1].Wave.OffsetOn);
        QCOMPARE(record().Channel[1].Wave.DCOffset, 1.5);
        QCOMPARE(SimValue(kCardA, 1, "offset"), 1.5);
        QVERIFY(m.OffsetBut->lit());
        m.OffsetBut->click(); // off: 0 V is applied, the offset value is kept
        QVERIFY(!record().Channel[1].Wave.OffsetOn);
        QCOMPARE(SimValue(kCardA, 1, "offset"), 0.0);
        QCOMPARE(record().Channel[1].Wave.DCOffset, 1.5);

        nvsim_fail("nv815_SetOutputOffsetVoltage", VI_ERROR_TMO, 0, 0, nullptr);
        m.V_Slider->setValue(300);
        m.OffsetBut->click();
        QVERIFY(!record().Channel[1].Wave.OffsetOn);
        QCOMPARE(record().Channel[1].Wave.DCOffset, 1.5);
        QVERIFY(!m.OffsetBut->lit());
        QCOMPARE(m.V_Slider->value(), 150);
        QVERIFY(LogTexts().last().contains("***FAILED***"));
    }

    void logMenuShowsTheLogWindow() {
        bool shown = false;
        QTimer::singleShot(0, this, [&] {
            shown = w->log->isVisible();
            w->log->OK_Button->click();
        });
        ui().Log1->trigger();
        QVERIFY(shown);
        QVERIFY(!w->log->isVisible());
    }

    void closingClosesTheSessions() {
        selectCard(false, 0);
        const ViSession card = session();
        const ViSession rm = DefaultRM;
        QVERIFY(rm != 0);
        ui().Exit1->trigger();
        QVERIFY(SimJournal().contains(QString("viClose(%1) = 00000000").arg(card)));
        QVERIFY(SimJournal().contains(QString("viClose(%1) = 00000000").arg(rm)));
        QCOMPARE(nvsim_open_sessions(), 0);
        QCOMPARE(DefaultRM, 0u);
        QVERIFY(!LogLines);
    }
};

NV815_TEST_MAIN(TestMainWindow)
} // namespace NV815_TEST_UNIT

#include "tst_mainwindow.moc"
