// What the panel shows of the card: the channel status strip, the unsent
// marks, failures kept in the status field, the send keys, and what the
// program remembers between runs.
#include <QLabel>
#include <sys/stat.h>

#include <QFileInfo>

#include "Accepted.h"
#include "ChannelStatus.h"
#include "PanelFixture.h"
#include "SessionMemory.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

class TestStatus : public QObject, public PanelFixture {
    Q_OBJECT

    QLabel* strip(int channel) {
        return main().findChild<QLabel*>(QString("Channel%1Status_Label").arg(channel));
    }
    // As style sheets and GUI automation read it: the control's `unsent`
    // property, which every control the marks know carries, false or true.
    static bool unsent(const QWidget* w) {
        const QVariant mark = w->property("unsent");
        if (!mark.isValid())
            qWarning() << w->objectName() << "carries no unsent property";
        return mark.isValid() ? mark.toBool() : false;
    }
    static bool carriesMark(const QWidget* w) { return w->property("unsent").isValid(); }
    static void fail(const char* call) {
        nvsim_fail(call, static_cast<ViStatus>(0xBFFC0802u), 0, 0, nullptr);
    }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() { start(); }
    void cleanup() { stop(); }

    void stripFollowsWhatTheCardAccepted() {
        MainControls& m = ui();
        QVERIFY(main().findChild<QFrame*>("ChannelStatus_Panel"));
        QCOMPARE(strip(1)->accessibleName(), QString("Channel 1: no card is open."));
        selectCard(false, 0);
        QCOMPARE(strip(2)->text(), QString("2 off, 10dB, ?V, no wave"));
        QVERIFY(strip(2)->accessibleName().contains("waveform not set since opened"));
        QCOMPARE(strip(1)->property("output").toString(), QString("off"));

        m.WaveUpdate_Button->click();
        QCOMPARE(strip(1)->text(), QString("1 on, 10dB, ?V, sine 1k"));
        QCOMPARE(strip(1)->property("output").toString(), QString("on"));
        // A refused command changes nothing there; the status field names it.
        fail("nv815_SetAttenuation");
        m.Att_Slider->setValue(20);
        m.AttenSetButton->click();
        QVERIFY(strip(1)->text().contains("10dB"));
        QVERIFY(m->Feedback().startsWith("Channel 1: Set Attenuation failed: "));
        nvsim_clear_faults();
        // Ctrl+Shift+A is the attenuation's Set.
        m.Att_Slider->setValue(20);
        main().activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &main());
        QTest::keyClick(m.Att_Slider, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(strip(1)->text().contains("20dB"));
        QCOMPARE(m->Feedback(), QString());

        selectCard(true, 0); // an 82-815
        QCOMPARE(strip(3)->text(), QString("3 \u00b7 not on this card"));
    }

    // Right after each button, with nothing else run in between, the strip
    // says what the card accepted; a two-channel card opens without a failure.
    void stripIsCurrentRightAfterEachButton() {
        MainControls& m = ui();
        selectCard(false, 0);
        const auto check = [&](const char* what, int channels) {
            for (int c = 1; c <= 3; ++c) {
                const ChannelPresence presence =
                    c > channels ? ChannelPresence::Absent : ChannelPresence::Present;
                const ChannelStatus want =
                    DescribeChannel(c, presence, card().accepted().Channel[c]);
                QVERIFY2(strip(c)->accessibleName() == QString::fromStdString(want.sentence),
                         qPrintable(QString("%1, channel %2: %3")
                                        .arg(what)
                                        .arg(c)
                                        .arg(strip(c)->accessibleName())));
            }
        };
        const struct {
            const char* what;
            std::function<void()> press;
        } actions[] = {
            {"output on", [&] { m.Ch1_Mode_Button->click(); }},
            {"output off", [&] { m.Ch1_Mode_Button->click(); }},
            {"attenuation", [&] { m.Att_Slider->setValue(23), m.AttenSetButton->click(); }},
            {"offset", [&] { m.V_Slider->setValue(150), m.OffsetButton->click(); }},
            {"offset power", [&] { m.OffsetBut->click(); }},
            {"waveform", [&] { m.WaveUpdate_Button->click(); }},
            {"trigger", [&] { m.TrigUpdate_Button->click(); }},
            {"clock", [&] { m.ClkUpdate_Button->click(); }},
            {"apply config",
             [&] {
                 dialogs.fileNames = {file("strip.ini", "[Channel2_Wave]\nAttenuation=7\n"
                                                        "DCOffset=1.5\nWaveType=2\n")};
                 m.ApplyConfig1->trigger();
             }},
        };
        for (const auto& a : actions) {
            a.press();
            check(a.what, 3);
        }
        selectCard(true, 0); // an 82-815: its channel 3 refuses, as expected
        check("82-815 opened", 2);
        QCOMPARE(m->Feedback(), QString());
        QVERIFY(LogTexts().join('\n').contains("Set Active Channel \r\n     Channel 3\r\n > "
                                               "***FAILED***"));
    }

    void marksClearOnlyWhenTheCardAccepts() {
        MainControls& m = ui();
        QVERIFY(!unsent(m.Att_Slider) && !unsent(m.WaveType_ComboBox)); // no card: nothing to send
        selectCard(false, 0);
        for (const QWidget* w : std::initializer_list<const QWidget*>{
                 m.Att_Slider, m.Att_Edit, m.WaveType_ComboBox, m.StartF_SpinEdit, m.EndF_SpinEdit,
                 m.Symm_SpinEdit, m.Arbwave_DataCount_Label})
            QVERIFY2(carriesMark(w), qPrintable(w->objectName()));
        QVERIFY(!unsent(m.Att_Slider));
        QVERIFY(unsent(m.WaveType_ComboBox) && unsent(m.StartF_SpinEdit));
        QVERIFY(m.WaveType_ComboBox->toolTip().contains("press Update on the Waveform page"));
        QVERIFY(!unsent(m.EndF_SpinEdit)); // not sent with a single frequency
        m.Att_Slider->setValue(30);
        QVERIFY(unsent(m.Att_Slider) && unsent(m.Att_Edit));
        QVERIFY(m.Att_Slider->toolTip().endsWith("press Set beside it (Ctrl+Shift+A) to send it."));
        // A refusal puts the control back to what the card holds.
        fail("nv815_SetAttenuation");
        m.AttenSetButton->click();
        QCOMPARE(m.Att_Slider->value(), 10);
        QVERIFY(!unsent(m.Att_Slider));
        nvsim_clear_faults();
        m.Att_Slider->setValue(30);
        m.AttenSetButton->click();
        QVERIFY(!unsent(m.Att_Slider));
        QCOMPARE(m.Att_Slider->toolTip(), QString("Attenuation in dB, 0 to 40."));

        m.WaveUpdate_Button->click();
        QVERIFY(!unsent(m.WaveType_ComboBox) && !unsent(m.StartF_SpinEdit));
        m.WaveType_ComboBox->setCurrentIndex(2);
        QVERIFY(unsent(m.WaveType_ComboBox));
    }

    void loadMarksAndReportsWhatItCouldNotUse() {
        MainControls& m = ui();
        selectCard(false, 0);
        m.WaveUpdate_Button->click();
        dialogs.fileNames = {file("odd.ini", "[Channel1_Wave]\nStartF=fast\nSymmetry=150\n"
                                             "[Channel2_Wave]\nDCOffset=9\n")};
        m.LoadConfig1->trigger();
        QVERIFY(m->Feedback().startsWith("Configuration loaded: press Update and Set on each "
                                         "channel, or use Apply Config to Card."));
        QVERIFY(m->Feedback().contains("Not readable, defaults used: Channel1_Wave/StartF."));
        QVERIFY(m->Feedback().contains(
            "Out of range, held at the limit: Channel1_Wave/Symmetry, Channel2_Wave/DCOffset."));
        QCOMPARE(record().Channel[1].Wave.Symmetry, 100.0);
        QCOMPARE(record().Channel[2].Wave.DCOffset, 5.0);
        QCOMPARE(m.Symm_SpinEdit->value(), 100);
        QVERIFY(unsent(m.Symm_SpinEdit));
    }

    void failuresOutsideTheLogStayVisible() {
        MainControls& m = ui();
        selectCard(false, 0);
        dialogs.fileNames = {file("bad.txt", "1\nx\n")};
        m.Import_Button->click();
        QCOMPARE(m->Feedback(), QString("Channel 1: import of 'bad.txt' failed: File contains "
                                        "non-numeric values!"));
        dialogs.fileNames = {file("four.txt", "0\n50\n100\n50\n")};
        m.Import_Button->click();
        m.Wave_PageControl->setCurrentWidget(m.TabSheet8);
        QVERIFY(unsent(m.Arbwave_DataCount_Label));
        fail("nv815_LoadArbitraryWaveform");
        m.WaveUpdate_Button->click();
        // The output and trigger accepted after it do not hide the refusal.
        QVERIFY(m->Feedback().startsWith("Channel 1: Load Arbitrary Waveform failed: "));
        QVERIFY(strip(1)->text().endsWith(", no wave"));
        QVERIFY(unsent(m.Arbwave_DataCount_Label));
        nvsim_clear_faults();
        m.WaveUpdate_Button->click();
        QCOMPARE(m->Feedback(), QString());
        QVERIFY(strip(1)->text().endsWith(", arb 4"));
        QVERIFY(!unsent(m.Arbwave_DataCount_Label));
    }

    void remembersAcrossARestart() {
        const QString ini = file("kept.ini", "[Channel1_Wave]\nSymmetry=40\n");
        dialogs.fileNames = {ini};
        ui().LoadConfig1->trigger();
        selectCard(false, 1);
        const QString card = main().card().identity().resource.c_str();
        stop();
        start();
        QAction* recent = main().findChild<QAction*>("RecentConfig1");
        QVERIFY(recent->isVisible() && recent->text() == "&1 kept.ini");
        QCOMPARE(recent->toolTip(), ini);
        recent->trigger();
        QCOMPARE(record().Channel[1].Wave.Symmetry, 40.0);
        QCOMPARE(SessionMemory::LastCard(), card);
        w->card->Find_Button->click(); // offered, not opened
        QCOMPARE(w->card->Card_StringGrid->currentRow(), 1);
        QCOMPARE(main().card().session(), 0u);

        // A remembered 82-815 is offered under its own model, and OK opens it.
        selectCard(true, 0);
        stop();
        start();
        bool offered = false;
        whenModal([&] {
            TCard_Form* f = w->card;
            f->Find_Button->click();
            offered = f->Set82815->isChecked() && f->Card_StringGrid->currentRow() == 0;
            f->Ok_Button->click();
        });
        ui().Card1->trigger();
        QVERIFY(offered);
        QCOMPARE(main().card().identity().resource, std::string("PXI1::14::INSTR"));
        QVERIFY(!ui().Channel_PageControl->isTabVisible(2));

        recent = main().findChild<QAction*>("RecentConfig1");
        QFile::remove(ini); // a file gone is said so, and dropped
        recent->trigger();
        QVERIFY(ui()->Feedback().endsWith("kept.ini no longer exists."));
        QVERIFY(!SessionMemory::RecentConfigs().contains(ini));

        SessionMemory::SetLastFolder("Text|*.txt", dir.filePath("kept.ini"));
        QCOMPARE(SessionMemory::LastFolder("Text|*.txt"), dir.path());
        // A settings file that cannot be read, is too large or is no regular
        // file is ignored, and left as it is.
        const QString path = SessionMemory::StoreFile();
        const auto replace = [&](const QByteArray& content) {
            QFile::remove(path);
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        };
        const struct {
            const char* what;
            std::function<void()> make;
        } stores[] = {
            {"garbage", [&] { replace("\x01\x02[[[=\n\xff\xfe"); }},
            {"too large",
             [&] {
                 replace("[recent]\nconfigurations=" + ini.toUtf8() + "\n" +
                         QByteArray(SessionMemory::kMaxStoreSize, '#'));
             }},
            {"a FIFO",
             [&] {
                 QFile::remove(path);
                 QVERIFY(mkfifo(qPrintable(path), 0600) == 0);
             }},
        };
        for (const auto& store : stores) {
            store.make();
            const QFileInfo before(path);
            QVERIFY2(SessionMemory::RecentConfigs().isEmpty(), store.what);
            QCOMPARE(SessionMemory::LastFolder("Text|*.txt"), QString());
            SessionMemory::AddRecentConfig(ini);
            QCOMPARE(QFileInfo(path).size(), before.size());
        }
        QFile::remove(path);
    }

    // Three busy channels fit beside the tabs, in the panel's own font; no
    // part of the strip moves as their texts change.
    void stripFitsThreeChannels() {
        selectCard(false, 0);
        const QRect parts[] = {strip(1)->geometry(), strip(2)->geometry(), strip(3)->geometry()};
        dialogs.fileNames = {file("one.ini", "[Channel1_Wave]\nWaveType=1\nSweepFlag=1\n"
                                             "StartF=1.5\nEndF=9999.999\nDCOffset=-4.99\n")};
        ui().ApplyConfig1->trigger(); // one busy channel beside two quiet ones
        for (int c = 1; c <= 3; ++c)
            QCOMPARE(strip(c)->geometry(), parts[c - 1]);
        QByteArray ini;
        for (int c = 1; c <= 3; ++c)
            ini += QString("[Channel%1_Wave]\nWaveType=1\nSweepFlag=1\nStartF=1.5\nEndF=9999.999\n"
                           "SweepStep=1\nAttenuation=40\nDCOffset=-4.99\n")
                       .arg(c)
                       .toLatin1();
        dialogs.fileNames = {file("busy.ini", ini)};
        ui().ApplyConfig1->trigger();
        for (int c = 1; c <= 3; ++c) {
            QLabel* label = strip(c);
            QCOMPARE(label->font(), main().font());
            QCOMPARE(label->text(), QString("%1 on, 40dB, -4.99V, tri 1.5k\u201310M").arg(c));
            QCOMPARE(label->geometry(), parts[c - 1]);
        }
        if (const QString shots = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !shots.isEmpty())
            main().grab().save(shots + "/main_form_busy_strip.png");
    }

    // A line too long for its part of the strip gives up the waveform's
    // name, then whole parts from its end: never a number, never a part cut.
    void shorterLinesKeepEveryNumber() {
        QCOMPARE(ShorterLines("1 on, 40dB, -4.99V, tri 1.5k\u201310M"),
                 (std::vector<std::string>{
                     "1 on, 40dB, -4.99V, tri 1.5k\u201310M", "1 on, 40dB, -4.99V, 1.5k\u201310M",
                     "1 on, 40dB, -4.99V, \u2026", "1 on, 40dB, \u2026", "1 on, \u2026"}));
        QCOMPARE(ShorterLines("2 off, ?dB, ?V, no wave").size(), size_t(4)); // no number to keep
        QCOMPARE(ShorterLines("3 \u00b7 no card"), std::vector<std::string>{"3 \u00b7 no card"});
    }

    void describesEachWaveform_data() {
        QTest::addColumn<QString>("line");
        TAcceptedChannel a;
        a.OutputOn = true;
        a.Attenuation = 12;
        TGeneratedWave sweep;
        for (const auto& [key, value] : {std::pair("_Wave/WaveType", 2.0),
                                         {"_Wave/Symmetry", 50.0},
                                         {"_Wave/SweepFlag", 1.0},
                                         {"_Wave/StartF", 1.0},
                                         {"_Wave/EndF", 2500.0}})
            sweep.Values[Setting(key).index()] = value;
        a.Generated = sweep;
        a.Offset = TOffsetSetting{-1.5, true};
        QTest::newRow("sweep") << QString::fromStdString(
            DescribeChannel(1, ChannelPresence::Present, a).line);
        a.Generated.reset();
        a.Loaded = TLoadedWave{1024, 7};
        a.Offset->PowerOn = false;
        QTest::newRow("loaded") << QString::fromStdString(
            DescribeChannel(1, ChannelPresence::Present, a).line);
    }
    void describesEachWaveform() {
        QFETCH(QString, line);
        const QString expected = QString(QTest::currentDataTag()) == "sweep"
                                     ? "1 on, 12dB, -1.50V, sq 1k\u20132.5M"
                                     : "1 on, 12dB, 0V, arb 1024";
        QCOMPARE(line, expected);
    }
};

NV815_TEST_MAIN(TestStatus)
} // namespace NV815_TEST_UNIT

#include "tst_status.moc"
