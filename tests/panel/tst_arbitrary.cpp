// The "Arbitrary" page: import and export through the window's dialogs.
#include <QCheckBox>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>

#include "PanelFixture.h"
#include "TestRegistry.h"

namespace NV815_TEST_UNIT {

class TestArbitrary : public QObject, public PanelFixture {
    Q_OBJECT

    TArbWave& arb(int c = 1) { return record().Channel[c].Wave.Arb; }

private slots:
    void initTestCase() { QVERIFY(bind()); }
    void init() {
        start();
        ui().Wave_PageControl->setCurrentIndex(1);
    }
    void cleanup() { stop(); }

    void importShowsFileAndCount() {
        MainControls& m = ui();
        dialogs.fileNames = {file("first.txt", "10\n20\n30\n")};
        m.Import_Button->click();
        QCOMPARE(QString::fromStdString(arb().ArbFile), dir.filePath("first.txt"));
        QCOMPARE(arb().WaveLength, 3);
        QCOMPARE(m.ArbWave_Filename_Label->text(), QString("Filename: first.txt"));
        QCOMPARE(m.Arbwave_DataCount_Label->text(), QString("Data Points: 3"));
        QVERIFY(dialogs.messages.isEmpty());

        // A failed import restores the file name; waveform and labels stay.
        dialogs.fileNames = {file("second.txt", "1\nx\n")};
        m.Import_Button->click();
        QCOMPARE(dialogs.messages.last().text, QString("File contains non-numeric values!"));
        QCOMPARE(dialogs.messages.last().kind, Dialogs::Kind::Error);
        QCOMPARE(QString::fromStdString(arb().ArbFile), dir.filePath("first.txt"));
        QCOMPARE(arb().Data, std::vector<double>({10, 20, 30}));
        QCOMPARE(m.ArbWave_Filename_Label->text(), QString("Filename: first.txt"));

        // Cancelling the open dialog changes nothing.
        m.Import_Button->click();
        QCOMPARE(arb().WaveLength, 3);
    }

    void importUsesTheNormaliseBoxAndTheFileKind() {
        MainControls& m = ui();
        m.LoadBin_RadioButton->click();
        QVERIFY(m.LoadNorm_CheckBox->isChecked());
        QVERIFY(!m.LoadNorm_CheckBox->isEnabled());
        QVERIFY(arb().NormaliseFlag);
        dialogs.fileNames = {file("w.bin", QByteArray("\x00\x00\x00\x10\x00\x20", 6))};
        m.Import_Button->click();
        QCOMPARE(arb().Data, std::vector<double>({0, 50, 100}));

        m.LoadText_RadioButton->click();
        QVERIFY(m.LoadNorm_CheckBox->isEnabled());
        m.LoadNorm_CheckBox->click();
        QVERIFY(!arb().NormaliseFlag);
        dialogs.fileNames = {file("w.txt", "10\n20\n")};
        m.Import_Button->click();
        QCOMPARE(arb().Data, std::vector<double>({10, 20}));

        // Out-of-range values ask; Abort aborts the import and changes nothing.
        dialogs.fileNames = {file("neg.txt", "-1\n1\n")};
        dialogs.answers = {Dialogs::Answer::Abort};
        m.Import_Button->click();
        QCOMPARE(dialogs.messages.last().kind, Dialogs::Kind::Confirmation);
        QCOMPARE(arb().Data, std::vector<double>({10, 20}));
        QCOMPARE(arb().WaveLength, 2);
        QCOMPARE(QString::fromStdString(arb().ArbFile), dir.filePath("w.txt"));
        QCOMPARE(m.ArbWave_Filename_Label->text(), QString("Filename: w.txt"));
        // A name too long for the page is cut at a word, whole in its tooltip.
        const QString name = "expression sin(2*pi*t) + 0.25*sin(6*pi*t) + 0.125*sin(10*pi*t)";
        m->card().channel(1).Wave.Arb.ArbFile = name.toStdString();
        m.Channel_PageControl->setCurrentIndex(1);
        m.Channel_PageControl->setCurrentIndex(0);
        m.Wave_PageControl->setCurrentWidget(m.TabSheet8);
        QVERIFY2(m.ArbWave_Filename_Label->text().endsWith(QChar(0x2026)),
                 qPrintable(m.ArbWave_Filename_Label->text()));
        QVERIFY(name.startsWith(m.ArbWave_Filename_Label->text().mid(10).chopped(1)));
        QCOMPARE(m.ArbWave_Filename_Label->toolTip(), "Filename: " + name);
        QCOMPARE(m.Arbwave_DataCount_Label->text(), QString("Data Points: 2"));
    }

    void eachChannelHasItsOwnWaveform() {
        MainControls& m = ui();
        dialogs.fileNames = {file("a.txt", "1\n2\n")};
        m.Import_Button->click();
        m.Channel_PageControl->setCurrentIndex(2);
        dialogs.fileNames = {file("b.txt", "5\n")};
        m.Import_Button->click();
        QCOMPARE(arb(1).WaveLength, 2);
        QCOMPARE(arb(3).WaveLength, 1);
        QCOMPARE(arb(2).WaveLength, 0);
    }

    void saveWritesTheChosenKind() {
        MainControls& m = ui();
        arb().Data = {0, 50, 100};
        const QString bin = dir.filePath("saved.bin");
        m.SaveBin_RadioButton->setChecked(true);
        dialogs.fileNames = {bin};
        m.Save_Button->click();
        QFile f(bin);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().toHex(), QByteArray("00007ff8fff0"));

        // Nothing to save: a message, and the cancelled dialog writes nothing.
        arb().Data.clear();
        dialogs.fileNames = {dir.filePath("nothing.txt")};
        m.Save_Button->click();
        QCOMPARE(dialogs.messages.last().text, QString("The waveform memory contains no data."));
        QVERIFY(!QFile::exists(dir.filePath("nothing.txt")));
        m.Save_Button->click();
    }

    void refreshShowsTheChannelsFileKind() {
        MainControls& m = ui();
        record().Channel[2].Wave.Arb.TextFlag = false;
        record().Channel[2].Wave.Arb.NormaliseFlag = true;
        m.Channel_PageControl->setCurrentIndex(1);
        QVERIFY(m.LoadBin_RadioButton->isChecked());
        QVERIFY(m.LoadNorm_CheckBox->isChecked());
        QVERIFY(!m.LoadNorm_CheckBox->isEnabled());
        m.Channel_PageControl->setCurrentIndex(0);
        QVERIFY(m.LoadText_RadioButton->isChecked());
        QVERIFY(!m.LoadNorm_CheckBox->isChecked());
        QVERIFY(!arb(1).NormaliseFlag);
        QVERIFY(record().Channel[2].Wave.Arb.NormaliseFlag);
    }
};

NV815_TEST_MAIN(TestArbitrary)
} // namespace NV815_TEST_UNIT

#include "tst_arbitrary.moc"
