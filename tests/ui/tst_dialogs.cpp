// The program's file dialogs and the placement of its windows on the screen.
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "Dialogs.h"
#include "WindowPlacement.h"

class TestDialogs : public QObject {
    Q_OBJECT

    // The choices of the file dialog that `open` shows, read while it is open.
    static QStringList FilterChoices(const std::function<void()>& open) {
        QStringList shown;
        QTimer closer; // until the dialog is up, then it is read and closed
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            closer.stop();
            if (auto* types = dialog->findChild<QComboBox*>("fileTypeCombo"))
                for (int i = 0; i < types->count(); ++i)
                    shown << types->itemText(i);
            dialog->reject();
        });
        closer.start();
        open();
        return shown;
    }

private slots:
    void initTestCase() { KeepWindowsOnScreen(); }

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

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
