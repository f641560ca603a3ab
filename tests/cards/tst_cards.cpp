// Card discovery and the card selection dialog on the simulated chassis.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "Card_Unit.h"
#include "LibraryBindings.h"
#include "ProgramState.h"
#include "RecordingDialogs.h"
#include "SimJournal.h"
#include "TestRegistry.h"
#include "VISA_Unit.h"
#include "VISA_def_v2.h"

namespace NV815_TEST_UNIT {

const char* const kCardA = "PXI1::13::INSTR"; // 72-815, id 1001
const char* const kCardB = "PXI1::14::INSTR"; // 82-815, id 1002, two channels
const char* const kCardC = "PXI2::10::INSTR"; // 72-815, id 0

using List = std::vector<std::string>;

QString Cell(TCard_Form& f, int row, int column) {
    return f.Card_StringGrid->item(row, column)->text();
}

class TestCards : public QObject {
    Q_OBJECT
    RecordingDialogs dialogs;
    Card card; // what the dialog opens

    void loadChassis(const QByteArray& ini) {
        QTemporaryDir dir;
        dir.setAutoRemove(false);
        QFile f(dir.filePath("chassis.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        QCOMPARE(nvsim_load_chassis(f.fileName().toLocal8Bit().constData(), nullptr, 0), 0);
    }

    // Chooses a row and presses OK.
    void choose(TCard_Form& f, int row, bool lock = false) {
        f.Card_StringGrid->setCurrentCell(row, 1);
        f.Lock_CheckBox->setChecked(lock);
        f.Ok_Button->click();
    }

private slots:
    void initTestCase() { QVERIFY(BindAllLibraries().ok()); }

    void init() {
        nvsim_load_chassis(nullptr, nullptr, 0); // closes every session
        card.clear();
        ResetProgramState();
        dialogs = RecordingDialogs();
        SetAppDialogs(&dialogs);
    }
    void cleanup() { SetAppDialogs(nullptr); }

    void discoveryKeepsMatchingCardsInVisaOrder() {
        List list = {"stale"};
        QCOMPARE(FindVisaResources("72-815", list), VI_SUCCESS);
        QCOMPARE(list, List({kCardA, kCardC}));
        QCOMPARE(FindVisaResources("82-815", list), VI_SUCCESS);
        QCOMPARE(list, List({kCardB}));
        // Anywhere in the model name, case-sensitive.
        QCOMPARE(FindVisaResources("3-Channel", list), VI_SUCCESS);
        QCOMPARE(list, List({kCardA, kCardC}));
        QCOMPARE(FindVisaResources("3-channel", list), VI_SUCCESS);
        QVERIFY(list.empty());
        // The resource manager stays open; every probe and the find list are closed.
        QCOMPARE(nvsim_open_sessions(), 1);
        QVERIFY(SimCalls("viOpen").first().contains(", 0, 1000)"));
    }

    void noPxiInstrument() {
        loadChassis("[Instrument1]\nResource=GPIB0::5::INSTR\nModel=72-815\n");
        List list = {"stale"};
        QCOMPARE(FindVisaResources("72-815", list), VI_ERROR_RSRC_NFOUND);
        QVERIFY(list.empty());
    }

    void openFailureEndsTheSearchKeepingEarlierNames() {
        loadChassis("[Instrument1]\nResource=PXI1::1::INSTR\nModel=72-815\n"
                    "[Instrument2]\nResource=PXI1::2::INSTR\nModel=72-815\n"
                    "[Instrument3]\nResource=PXI1::3::INSTR\nModel=72-815\n");
        nvsim_fail("viOpen", VI_ERROR_TMO, 0, 0, "PXI1::2::INSTR");
        List list;
        QCOMPARE(FindVisaResources("72-815", list), VI_ERROR_TMO);
        QCOMPARE(list, List({"PXI1::1::INSTR"}));
        QCOMPARE(nvsim_open_sessions(), 1);
        nvsim_clear_faults();
        nvsim_fail("viGetAttribute", VI_ERROR_TMO, 2, 0, nullptr);
        QCOMPARE(FindVisaResources("72-815", list), VI_ERROR_TMO);
        QCOMPARE(list, List({"PXI1::1::INSTR"}));
        QCOMPARE(nvsim_open_sessions(), 1);
    }

    void slowOpenTimesOut() {
        nvsim_set_open_delay(kCardC, 1500);
        List list;
        QCOMPARE(FindVisaResources("72-815", list), VI_ERROR_TMO);
        QCOMPARE(list, List({kCardA}));
    }

    void aFailedFindNextListsNoCardTwice() {
        nvsim_fail("viFindNext", VI_ERROR_TMO, 1, 0, nullptr);
        List list;
        QCOMPARE(FindVisaResources("72-815", list), VI_ERROR_TMO);
        QCOMPARE(list, List({kCardA}));
        QCOMPARE(nvsim_open_sessions(), 1);
    }

    void theSearchNamesWhereAndWhyItStopped() {
        // A slow card: the cards before it stay listed, the hint says which and why.
        nvsim_set_open_delay(kCardC, 1500);
        TCard_Form f(card);
        f.Find_Button->click();
        QCOMPARE(Cell(f, 0, 1), QString(kCardA));
        QCOMPARE(Cell(f, 0, 2), QString("1001"));
        QCOMPARE(Cell(f, 1, 1), QString());
        const QString hint = f.Hint_Label->text();
        QVERIFY2(hint.contains(kCardC) && hint.contains("Timeout"), qPrintable(hint));
        // Nothing of the model at all is still told as such.
        f.Set82815->setChecked(true);
        nvsim_fail("viGetAttribute", VI_ERROR_TMO, 1, 0, kCardA);
        f.Find_Button->click();
        QVERIFY2(f.Hint_Label->text().contains(kCardA), qPrintable(f.Hint_Label->text()));
        nvsim_clear_faults();
        loadChassis("[Instrument1]\nResource=PXI1::1::INSTR\nModel=40-412\n");
        ResetProgramState(); // the new chassis closed the resource manager
        f.Find_Button->click();
        QCOMPARE(f.Hint_Label->text(), QString("No 82-815 card was found."));
    }

    void theKeyboardReachesEveryButton() {
        TCard_Form f(card);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.Card_StringGrid->setFocus();
        QTest::keyClick(f.Card_StringGrid, Qt::Key_Down); // arrows move inside the grid
        QCOMPARE(f.Card_StringGrid->currentRow(), 1);
        QTest::keyClick(f.Card_StringGrid, Qt::Key_Tab); // Tab leaves it
        QCOMPARE(QApplication::focusWidget(), f.Set72815);
        const QList<QWidget*> order = {f.Find_Button, f.Lock_CheckBox, f.Ok_Button,
                                       f.Cancel_Button};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // The found rows come into view, and a double click on one is OK.
        f.Card_StringGrid->scrollToBottom();
        f.Find_Button->click();
        QTableWidgetItem* first = f.Card_StringGrid->item(0, 1);
        const QRect row = f.Card_StringGrid->visualItemRect(first);
        QVERIFY(f.Card_StringGrid->viewport()->rect().contains(row));
        // A first click, then the second press that the platform reports as a double click.
        QTest::mouseClick(f.Card_StringGrid->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(f.Card_StringGrid->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(card.identity().resource, std::string(kCardA));
        QVERIFY(card.session() != 0);
        card.close();
    }

    void visaAbsentMakesNoCall() {
        VisaLoaded = false;
        List list = {"stale"};
        const int calls = nvsim_journal_count();
        QCOMPARE(FindVisaResources("72-815", list), VI_ERROR_LIBRARY_NFOUND);
        QVERIFY(list.empty());
        QCOMPARE(nvsim_journal_count(), calls);
        TCard_Form f(card);
        QCOMPARE(card.open(kCardA, false), VI_ERROR_LIBRARY_NFOUND);
        VisaLoaded = true;
    }

    void findCardsListsAndProbesEveryCard() {
        TCard_Form f(card);
        QCOMPARE(f.windowTitle(), QString("Card Selection"));
        QCOMPARE(f.Card_StringGrid->horizontalHeaderItem(1)->text(), QString("Resource Name"));
        // Leftovers of a longer earlier result are cleared too.
        f.Card_StringGrid->item(30, 1)->setText("PXI9::9::INSTR");
        nvsim_fail("nv815_init", static_cast<ViStatus>(0xBFFC0817u), 0, 0, kCardC);
        f.Find_Button->click();
        QCOMPARE(Cell(f, 0, 0), QString("Card 1"));
        QCOMPARE(Cell(f, 0, 1), QString(kCardA));
        QCOMPARE(Cell(f, 0, 2), QString("1001"));
        QCOMPARE(Cell(f, 1, 0), QString("Card 2"));
        QCOMPARE(Cell(f, 1, 2), QString()); // could not be opened: no id
        QCOMPARE(Cell(f, 30, 1), QString());
        QCOMPARE(nvsim_open_sessions(), 1); // only the resource manager
        QVERIFY(card.identity().resource.empty());

        f.Set82815->setChecked(true);
        f.Find_Button->click();
        QCOMPARE(Cell(f, 0, 1), QString(kCardB));
        QCOMPARE(Cell(f, 1, 1), QString());
    }

    // A card another program holds VISA's lock on is marked so (nothing
    // else is: its OK then says what VISA says).
    void aCardLockedElsewhereIsMarked() {
        TCard_Form f(card);
        nvsim_fail("nv815_init", VI_ERROR_RSRC_LOCKED, 0, 0, kCardC);
        f.Find_Button->click();
        nvsim_clear_faults();
        QCOMPARE(Cell(f, 1, 1), QString(kCardC));
        QCOMPARE(f.Card_StringGrid->item(1, 2)->toolTip(),
                 QString("This card is locked by another program."));
        QVERIFY(f.Card_StringGrid->item(0, 1)->toolTip().isEmpty());
        f.Card_StringGrid->setCurrentCell(1, 1);
        QCOMPARE(f.Hint_Label->text(),
                 QString(kCardC) + " is locked by another program: choose another card.");
        f.Card_StringGrid->setCurrentCell(0, 1);
        QCOMPARE(f.Hint_Label->text(), QString());
    }

    void okWithoutACard() {
        TCard_Form f(card);
        f.Find_Button->click();
        choose(f, 5);
        f.Card_StringGrid->setCurrentCell(-1, -1);
        f.Ok_Button->click();
        QCOMPARE(dialogs.messages.size(), 2);
        QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Information);
        QCOMPARE(dialogs.messages[0].text, QString("No card selected"));
        QCOMPARE(f.result(), int(QDialog::Rejected));
        QCOMPARE(card.session(), 0u);
    }

    void okOpensTheCardAndReplacesTheOldOne() {
        TCard_Form f(card);
        f.Find_Button->click();
        choose(f, 0, true);
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QVERIFY(card.session() != 0);
        QCOMPARE(card.identity().resource, std::string(kCardA));
        QCOMPARE(card.identity().cardId, 1001);
        QCOMPARE(card.channels(), 3);
        const ViSession first = card.session();
        QCOMPARE(SimCalls("viLock").size(), 1);
        QVERIFY(SimCalls("viLock").first().startsWith(QString("viLock(%1, 1, 0)").arg(first)));
        QCOMPARE(f.RowColour(0), QColor(0x1F, 0xFF, 0x1F));

        // Cancel after a new search: the card in use and its session stay.
        f.setResult(0);
        f.Find_Button->click();
        QCOMPARE(Cell(f, 0, 2), QString("1001")); // read through the open session
        f.Cancel_Button->click();
        QCOMPARE(f.result(), int(QDialog::Rejected));
        QCOMPARE(card.session(), first);
        QCOMPARE(card.identity().resource, std::string(kCardA));
        QCOMPARE(nvsim_open_sessions(), 2);

        // A two-channel card hides the third channel; its predecessor is closed.
        f.Set82815->setChecked(true);
        f.Find_Button->click();
        choose(f, 0);
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(card.channels(), 2);
        QCOMPARE(card.identity().cardId, 1002);
        QVERIFY(SimJournal().contains(QString("viClose(%1) = 00000000").arg(first)));
        QCOMPARE(nvsim_open_sessions(), 2);

        // Another model shows it again.
        f.Set72815->setChecked(true);
        f.Find_Button->click();
        choose(f, 1);
        QCOMPARE(card.channels(), 3);
        QCOMPARE(card.identity().cardId, 0);

        // Nothing is left open at exit.
        card.close();
        QCOMPARE(nvsim_open_sessions(), 1);
    }

    // The card in use is closed only once the new one is open (and locked);
    // then the new one's id and model are read. Closing forgets it.
    void theCardOpensTheNewBeforeClosingTheOld() {
        QCOMPARE(card.open(kCardA, false), VI_SUCCESS);
        const ViSession first = card.session();
        const int from = nvsim_journal_count();
        QCOMPARE(card.open(kCardB, true), VI_SUCCESS);
        QStringList calls;
        for (const QString& line : SimJournal().mid(from))
            calls << line.section('(', 0, 0);
        QCOMPARE(calls,
                 QStringList({"nv815_init", "viLock", "viClose", "nv815_GetCardId", "viIn16"}));
        QVERIFY(SimJournal().mid(from).at(2).startsWith(QString("viClose(%1)").arg(first)));
        QCOMPARE(card.identity().resource, std::string(kCardB));
        QCOMPARE(card.identity().cardId, 1002);
        QCOMPARE(card.channels(), 2);
        card.close();
        QCOMPARE(card.session(), 0u);
        QVERIFY(card.identity().resource.empty());
        QCOMPARE(nvsim_open_sessions(), 0);
    }

    void failedReadOfTheSubsystemIdKeepsTheTabs() {
        TCard_Form f(card);
        card.setIdentity({"", 0, &ModelWithChannels(2)}); // the card used before
        nvsim_fail("viIn16", VI_ERROR_TMO, 0, 0, nullptr);
        f.Find_Button->click();
        choose(f, 0);
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(card.channels(), 2);
        card.close();
    }

    void lockFailureIsIgnored() {
        TCard_Form f(card);
        nvsim_fail("viLock", VI_ERROR_TMO, 0, 0, nullptr);
        f.Find_Button->click();
        choose(f, 0, true);
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QVERIFY(card.session() != 0);
        card.close();
    }

    void openFailureKeepsTheCardInUse() {
        TCard_Form f(card);
        f.Find_Button->click();
        choose(f, 0);
        const CardIdentity inUse = card.identity();
        const ViSession inUseSession = card.session();
        f.setResult(0);
        nvsim_fail("nv815_init", VI_ERROR_RSRC_NFOUND, 0, 0, kCardC);
        choose(f, 1);
        QCOMPARE(f.result(), int(QDialog::Rejected)); // the dialog stays open
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Error);
        QCOMPARE(dialogs.messages[0].text,
                 QString("An error occurred while opening this card:\r\nError: BFFF0011\r\n"
                         "Insufficient location information or the device or resource is not "
                         "present in the system."));
        QCOMPARE(card.identity().resource, inUse.resource);
        QCOMPARE(card.session(), inUseSession);
        QVERIFY(card.session() != 0);
        QCOMPARE(nvsim_open_sessions(), 2);

        // Without VISA the description is empty.
        VisaLoaded = false;
        choose(f, 1);
        QCOMPARE(dialogs.messages[1].text,
                 QString("An error occurred while opening this card:\r\nError: BFFF009E\r\n"));
        VisaLoaded = true;
        card.close();
    }

    void gridColours() {
        TCard_Form f(card);
        f.Find_Button->click();
        f.Card_StringGrid->setCurrentCell(1, 0);
        QCOMPARE(f.RowColour(1), QColor(0xEE, 0xEE, 0xEE));
        QCOMPARE(f.RowColour(0), QColor(Qt::white));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const QImage image = f.Card_StringGrid->viewport()->grab().toImage();
        const QRect cell = f.Card_StringGrid->visualItemRect(f.Card_StringGrid->item(1, 2));
        QCOMPARE(QColor(image.pixel(cell.right() - 3, cell.bottom() - 3)),
                 QColor(0xEE, 0xEE, 0xEE));
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
            f.grab().save(dir + "/card_form.png");
    }
};

NV815_TEST_MAIN(TestCards)
} // namespace NV815_TEST_UNIT

#include "tst_cards.moc"
