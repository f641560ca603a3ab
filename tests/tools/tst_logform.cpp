// The operation log store and its window.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "Captions.h"
#include "Log_Unit.h"
#include "OperationLog.h"
#include "RecordingDialogs.h"
#include "TestRegistry.h"
#include "WindowPlacement.h"

namespace NV815_TEST_UNIT {

QString Text(int i) {
    QString s = QString::fromStdString(LogLines->at(i));
    return s.mid(s.indexOf(": ") + 2).chopped(2);
}

class TestLogForm : public QObject {
    Q_OBJECT
    RecordingDialogs dialogs;
    TLog_Form* form = nullptr;

    void fill(int n) {
        for (int i = 1; i <= n; ++i)
            AddToLog("entry " + std::to_string(i));
    }

private slots:
    void init() {
        SetAppDialogs(&dialogs);
        dialogs = RecordingDialogs();
        CreateLogLines();
        LogEnabled = false;
        MaxLogLines = 0;
        form = new TLog_Form; // switches logging on with a limit of 100
    }
    void cleanup() {
        delete form;
        FreeLogLines();
        SetAppDialogs(nullptr);
    }

    void buttonsShowTheirCaptions() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QCOMPARE(CutButtons(form), QStringList());
        form->hide();
    }

    // On a screen shorter than the window (768 lines at 1.5x: 512 of its
    // pixels) the list shrinks and the buttons stay in it.
    void fitsAShortScreen() {
        const QRect area(0, 0, 910, 512 - 40); // less a panel's bar
        FitInside(form, area);
        const int title = form->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        QVERIFY2(form->height() + title <= area.height(),
                 qPrintable(QString::number(form->height())));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        for (QPushButton* b : {form->OK_Button, form->Clear_Button, form->SaveLog_Button})
            QVERIFY(form->rect().contains(QRect(b->mapTo(form, QPoint()), b->size())));
        QVERIFY(form->Log_StringGrid->height() >= 3 * form->Log_StringGrid->fontMetrics().height());
        form->hide();
    }

    // Save writes text or CSV by the file's type, atomically; Copy puts the
    // text on the clipboard; each says what it did beside the buttons.
    void theLogIsSavedAndCopied() {
        QTemporaryDir dir;
        AddToLog("New card selected - PXI1::13::INSTR");
        LogRecord refused;
        refused.command = true;
        refused.channel = 2;
        refused.title = "Set Attenuation - ";
        refused.arguments = {"Level 12dB"};
        refused.status = static_cast<ViStatus>(0xBFFC0806u);
        refused.errorText = "Value \"12\" out of range, see manual";
        AddToLog("Set Attenuation - \r\n     Channel 2\r\n     Level 12dB\r\n > ***FAILED***",
                 refused);
        const QString text = dir.filePath("log.txt"), csv = dir.filePath("log.CSV");
        dialogs.fileNames = {text, csv, dir.filePath("missing/log.txt")};
        for (int i = 0; i < 3; ++i)
            form->SaveLog_Button->click();
        QCOMPARE(dialogs.lastSuffix, QString("txt"));
        QFile t(text), c(csv);
        QVERIFY(t.open(QIODevice::ReadOnly) && c.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(t.readAll()),
                 QString::fromStdString(LogLines->at(0) + LogLines->at(1)));
        const QStringList rows = QString::fromLatin1(c.readAll()).split("\r\n");
        QCOMPARE(rows.value(0), QString("Time,Channel,Command,Arguments,Status,Driver text"));
        QVERIFY2(rows.value(1).endsWith(",,New card selected - PXI1::13::INSTR,,,"),
                 qPrintable(rows.value(1)));
        QVERIFY2(rows.value(2).endsWith(",2,Set Attenuation - ,Level 12dB,BFFC0806,"
                                        "\"Value \"\"12\"\" out of range, see manual\""),
                 qPrintable(rows.value(2)));
        QVERIFY(form->Export_Label->text().startsWith("Not saved: "));
        form->CopyLog_Button->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString::fromStdString(LogLines->at(0) + LogLines->at(1)));
        QCOMPARE(form->Export_Label->text(), QString("Copied 2 entries to the clipboard."));
    }

    void creationSwitchesLoggingOn() {
        QVERIFY(LogEnabled);
        QCOMPARE(MaxLogLines, 100);
        QCOMPARE(form->windowTitle(), QString("Operation Log"));
        QCOMPARE(form->MaxLog_SpinEdit->minimum(), 2);
        QCOMPARE(form->MaxLog_SpinEdit->maximum(), 500);
        form->show();
        QVERIFY(form->Log_CheckBox->isChecked());
        QCOMPARE(form->MaxLog_SpinEdit->value(), 100);
    }

    void appendAfterTheLimitClearsTheWholeLog() {
        fill(101);
        QCOMPARE(LogLines->size(), size_t(101));
        AddToLog("new");
        QCOMPARE(LogLines->size(), size_t(2));
        QCOMPARE(Text(0), QString("Log Cleared"));
        QCOMPARE(Text(1), QString("new"));
        form->show();
        QCOMPARE(form->Log_StringGrid->verticalHeaderItem(1)->text(), QString("2"));
    }

    void nothingIsLoggedWhileOff() {
        fill(3);
        LogEnabled = false;
        AddToLog("lost");
        QCOMPARE(LogLines->size(), size_t(3));
        ClearLog();
        QVERIFY(LogLines->empty());
        FreeLogLines();
        AddToLog("no store"); // ignored, no crash
        ClearLog();
    }

    void emptyLogShowsHeaderAndOneEmptyRow() {
        form->show();
        QTableWidget* grid = form->Log_StringGrid;
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString("Commands"));
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(grid->item(0, 0)->text(), QString());
        QCOMPARE(grid->verticalHeaderItem(0)->text(), QString());
    }

    void gridHoldsEveryEntryWithItsHeight() {
        AddToLog("Set Attenuation - \r\n     Channel 2\r\n     Level 10dB\r\n> Success");
        AddToLog("Log Cleared");
        form->show();
        QTableWidget* grid = form->Log_StringGrid;
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->model()->data(grid->model()->index(0, 0)).toString(),
                 QString::fromStdString(LogLines->at(0)));
        QCOMPARE(grid->verticalHeaderItem(0)->text(), QString("1"));
        // Four lines of text and the closing CR LF: five lines high.
        QCOMPARE(grid->rowHeight(0), 5 * form->LineHeight());
        QCOMPARE(grid->rowHeight(1), 2 * form->LineHeight());
        QCOMPARE(grid->columnWidth(0), 340);
    }

    void entriesAreDrawnRedWhenFailedElseGreen() {
        QCOMPARE(LogEntryColour("x\r\n > ***FAILED***\r\nError: y"), QColor(255, 160, 160));
        QCOMPARE(LogEntryColour("Log Cleared"), QColor(160, 255, 160));
        AddToLog("Set Active Channel \r\n > ***FAILED***\r\nError: Timeout");
        AddToLog("Log Cleared");
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QTableWidget* grid = form->Log_StringGrid;
        const QImage image = grid->viewport()->grab().toImage();
        const QRect failed = grid->visualRect(grid->model()->index(0, 0));
        const QRect passed = grid->visualRect(grid->model()->index(1, 0));
        // Sample the right end of each cell, where no text is drawn.
        auto colourAt = [&](const QRect& r) {
            return QColor(image.pixel(r.right() - 4, r.center().y()));
        };
        QCOMPARE(colourAt(failed), QColor(255, 160, 160));
        QCOMPARE(colourAt(passed), QColor(160, 255, 160));
        if (const QString dir = qEnvironmentVariable("NV815_SCREENSHOT_DIR"); !dir.isEmpty())
            form->grab().save(dir + "/log_form.png");
    }

    void okWarnsWhenTheLogIsOverTheNewLimit() {
        fill(10);
        form->show();
        form->MaxLog_SpinEdit->setValue(2);
        dialogs.answers = {Dialogs::Answer::Closed};
        form->OK_Button->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, Dialogs::Kind::Warning);
        QCOMPARE(
            dialogs.messages[0].text,
            QString("The log already contains more lines (10) than the value entered for "
                    "\r\nthe maximum number of lines. Selecting 'OK' will clear the \r\nlog."));
        QCOMPARE(LogLines->size(), size_t(10)); // closing the box keeps them
        QCOMPARE(MaxLogLines, 2);
        QCOMPARE(form->result(), int(QDialog::Accepted));
        AddToLog("next");
        QCOMPARE(LogLines->size(), size_t(2));

        form->show();
        form->MaxLog_SpinEdit->setValue(500);
        fill(8);
        form->MaxLog_SpinEdit->setValue(2);
        dialogs.answers = {Dialogs::Answer::Ok};
        form->OK_Button->click();
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(dialogs.messages[1].text.contains("(10)"));
        QCOMPARE(LogLines->size(), size_t(1));
        QCOMPARE(Text(0), QString("Log Cleared"));
    }

    void okWithLoggingOffNeverWarns() {
        fill(10);
        form->show();
        form->MaxLog_SpinEdit->setValue(2);
        form->Log_CheckBox->click();
        QVERIFY(!LogEnabled); // takes effect at once
        form->OK_Button->click();
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(MaxLogLines, 2);
        QVERIFY(!LogEnabled);
        QCOMPARE(LogLines->size(), size_t(10));
    }

    void clearButtonRefillsTheGrid() {
        fill(5);
        form->show();
        QCOMPARE(form->Log_StringGrid->rowCount(), 5);
        form->Clear_Button->click();
        QCOMPARE(LogLines->size(), size_t(1));
        QCOMPARE(form->Log_StringGrid->rowCount(), 1);
        QCOMPARE(form->Log_StringGrid->item(0, 0)->text().contains("Log Cleared"), true);
    }

    void closingByTheFrameKeepsChanges() {
        form->show();
        form->MaxLog_SpinEdit->setValue(7);
        form->close();
        QCOMPARE(MaxLogLines, 7);
    }
};

NV815_TEST_MAIN(TestLogForm)
} // namespace NV815_TEST_UNIT

#include "tst_logform.moc"
