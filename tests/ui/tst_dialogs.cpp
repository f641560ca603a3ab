// The program's file dialogs and the placement of its windows on the screen.
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "Dialogs.h"
#include "ElidedLabel.h"
#include "TestRegistry.h"
#include "WindowPlacement.h"

namespace NV815_TEST_UNIT {

class TestDialogs : public QObject {
    Q_OBJECT

    // Runs `act` on the first modal dialog of type Dialog that comes up
    // while `open` runs.
    template <class Dialog, class Act>
    static void Answering(const std::function<void()>& open, Act act) {
        QTimer waiter;
        waiter.setInterval(10);
        QObject::connect(&waiter, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                waiter.stop();
                act(dialog);
            }
        });
        waiter.start();
        open();
    }

    // The choices of the file dialog that `open` shows, read while it is open.
    static QStringList FilterChoices(const std::function<void()>& open) {
        QStringList shown;
        Answering<QDialog>(open, [&](QDialog* dialog) {
            if (auto* types = dialog->findChild<QComboBox*>("fileTypeCombo"))
                for (int i = 0; i < types->count(); ++i)
                    shown << types->itemText(i);
            dialog->reject();
        });
        return shown;
    }

private slots:
    void initTestCase() { KeepWindowsOnScreen(); }

    // Every kind of box is a real box, offscreen too: it waits for its
    // answer, shows its text, icon and buttons, and a pressed button answers.
    void eachKindOfBoxWaitsForItsAnswer() {
        using K = Dialogs::Kind;
        using A = Dialogs::Answer;
        struct Case {
            K kind;
            QMessageBox::Icon icon;
            QString title;
            QList<QMessageBox::StandardButton> buttons;
            QMessageBox::StandardButton pressed; // NoButton: closed by its frame
            A answer;
        };
        const QList<QMessageBox::StandardButton> ok{QMessageBox::Ok},
            okAbort{QMessageBox::Ok, QMessageBox::Abort}, yesNo{QMessageBox::Yes, QMessageBox::No},
            yesNoCancel{QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
        const Case cases[] = {
            {K::Error, QMessageBox::Critical, "Error", ok, QMessageBox::Ok, A::Ok},
            {K::Warning, QMessageBox::Warning, "Warning", ok, QMessageBox::Ok, A::Ok},
            {K::Confirmation, QMessageBox::Question, "Confirm", okAbort, QMessageBox::Abort,
             A::Abort},
            {K::Confirmation, QMessageBox::Question, "Confirm", okAbort, QMessageBox::Ok, A::Ok},
            {K::Confirmation, QMessageBox::Question, "Confirm", okAbort, QMessageBox::NoButton,
             A::Closed},
            {K::Information, QMessageBox::NoIcon, QString(), ok, QMessageBox::Ok, A::Ok},
            {K::Question, QMessageBox::Question, "Question", yesNo, QMessageBox::No, A::No},
            {K::QuestionOrCancel, QMessageBox::Question, "Question", yesNoCancel,
             QMessageBox::Cancel, A::Cancel},
            {K::QuestionOrCancel, QMessageBox::Question, "Question", yesNoCancel, QMessageBox::Yes,
             A::Yes},
        };
        for (const Case& c : cases) {
            QString shown, title;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QList<QMessageBox::StandardButton> buttons;
            A answer = A::Ok;
            Answering<QMessageBox>(
                [&] { answer = AppDialogs().message(nullptr, c.kind, "Line one\r\nline two"); },
                [&](QMessageBox* box) {
                    shown = box->text();
                    title = box->windowTitle();
                    icon = box->icon();
                    for (QAbstractButton* b : box->buttons())
                        buttons << box->standardButton(b);
                    if (c.pressed == QMessageBox::NoButton)
                        box->reject();
                    else
                        box->button(c.pressed)->click();
                });
            QCOMPARE(shown, QString("Line one\nline two"));
            QCOMPARE(icon, c.icon);
            if (!c.title.isEmpty())
                QCOMPARE(title, c.title);
            std::sort(buttons.begin(), buttons.end());
            QCOMPARE(buttons, c.buttons);
            QCOMPARE(answer, c.answer);
        }
    }

    // The folder chooser is a real dialog too: it shows folders only, starts
    // where asked, answers the folder chosen, and nothing when cancelled.
    void theFolderChooserWaitsForItsAnswer() {
        QTemporaryDir start, chosen;
        for (const bool accept : {true, false}) {
            bool foldersOnly = false;
            QString shownAt, answer;
            Answering<QFileDialog>([&] { answer = AppDialogs().folderName(nullptr, start.path()); },
                                   [&](QFileDialog* dialog) {
                                       foldersOnly = dialog->fileMode() == QFileDialog::Directory;
                                       shownAt = dialog->directory().absolutePath();
                                       if (!accept)
                                           return dialog->reject();
                                       // As an operator does: opens the folder, then chooses it.
                                       // (Selecting it by name from its parent and accepting at
                                       // once races the dialog's file list, which Qt 6.8 fills
                                       // later: it answered the parent.)
                                       dialog->setDirectory(chosen.path());
                                       QMetaObject::invokeMethod(dialog,
                                                                 "accept"); // accept() is protected
                                   });
            QVERIFY(foldersOnly);
            QCOMPARE(shownAt, QDir(start.path()).absolutePath());
            QCOMPARE(answer, accept ? QDir(chosen.path()).absolutePath() : QString());
        }
    }

    void eachFilterShowsItsDescriptionOnce() {
        struct Case {
            const char* filter;
            QStringList shown;
        };
        const Case cases[] = {
            {"Ini files (*.ini)|*.INI|All Files (*.*)|*.*",
             {"Ini files (*.ini)", "All Files (*.*)"}},
            {"All Files (*.*)|*.*", {"All Files (*.*)"}},
            {"Waves|*.txt;*.bin", {"Waves (*.txt *.bin)"}},
        };
        for (const Case& c : cases) {
            QCOMPARE(FilterChoices([&] { AppDialogs().openFileName(nullptr, c.filter, "ini"); }),
                     c.shown);
            QCOMPARE(FilterChoices([&] { AppDialogs().saveFileName(nullptr, c.filter, "ini"); }),
                     c.shown);
        }
    }

    // A cut text is cut at a blank, never inside an address or a number,
    // with an ellipsis; the whole text is in its tooltip.
    void labelsCutAtAWord() {
        QWidget window;
        TElidedLabel right(&window, Qt::ElideRight), left(&window, Qt::ElideLeft);
        const QString text = "Remote: 127.0.0.1:50122, 1 client";
        for (TElidedLabel* label : {&right, &left}) {
            label->setFullText(text);
            label->setFixedWidth(label->fontMetrics().horizontalAdvance("Remote: 127.0.0.1:5012"));
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(right.text(), QString("Remote:\u2026"));
        QVERIFY(left.text() == QString("\u20261 client") ||
                left.text() == QString("\u2026127.0.0.1:50122, 1 client"));
        QCOMPARE(right.toolTip(), text);
    }

    void windowsLargerThanTheScreenKeepTheirTitleBarOnIt() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget main;
        main.resize(area.width() + 300, area.height() + 200);
        main.move(area.left() - 150, area.top() - 100);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCOMPARE(main.frameGeometry().topLeft(), area.topLeft());

        // A dialog centred over its owner would start above the screen.
        QDialog dialog(&main);
        dialog.resize(area.width() + 100, area.height() + 400);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.frameGeometry().topLeft(), area.topLeft());

        // One that fits is moved only into the area.
        QDialog small(&main);
        small.resize(200, 100);
        small.move(area.right() - 50, area.top() + 40);
        small.show();
        QVERIFY(QTest::qWaitForWindowExposed(&small));
        QVERIFY(area.contains(small.frameGeometry()));
        QVERIFY(small.frameGeometry().right() >= area.right() - 2);
    }
};

NV815_TEST_MAIN(TestDialogs)
} // namespace NV815_TEST_UNIT

#include "tst_dialogs.moc"
