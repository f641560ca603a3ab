// A started program on the simulated chassis, for tests of the main window.
#pragma once

#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

#include "CardState.h"
#include "Card_Unit.h"
#include "LibraryBindings.h"
#include "MainControls.h"
#include "Main_Unit.h"
#include "OperationLog.h"
#include "PanelWidgets.h"
#include "ProgramState.h"
#include "RecordingDialogs.h"
#include "SessionMemory.h"
#include "SimJournal.h"
#include "Startup.h"
#include "VISA_def_v2.h"

class PanelFixture {
public:
    RecordingDialogs dialogs;
    std::unique_ptr<AppWindows> w;
    QTemporaryDir dir; // files the tests import, load and save

    // Writes a file into `dir`; its path.
    QString file(const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return f.fileName();
    }

    TMain_Form& main() { return *w->main; }
    // The window's card object, its record and session.
    Card& card() { return w->main->card(); }
    TCardInfo& record() { return card().record(); }
    ViSession session() { return w ? card().session() : 0; }

    // The main window's controls, found by their object names.
    MainControls& ui() {
        if (!controls_ || &controls_->window != w->main.get())
            controls_.emplace(*w->main);
        return *controls_;
    }

    static bool bind() { return BindAllLibraries().ok(); }

    // A port nothing listens on now.
    static int FreePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    // A fresh chassis and a fresh set of windows, shown offscreen.
    void start() {
        // Remembered folders, files and cards: kept in this fixture's folder.
        SessionMemory::SetStoreFolder(dir.filePath("settings"));
        nvsim_load_chassis(nullptr, nullptr, 0);
        ResetProgramState(); // as at program start: nothing left from an earlier window
        controls_.reset();
        dialogs = RecordingDialogs();
        SetAppDialogs(&dialogs);
        w = CreateWindows();
        main().show();
        QVERIFY(QTest::qWaitForWindowExposed(&main()));
    }

    void stop() {
        controls_.reset();
        w.reset();
        SetAppDialogs(nullptr);
    }

    // Answers the next modal dialog from inside its event loop.
    void whenModal(std::function<void()> answer) { QTimer::singleShot(0, std::move(answer)); }

    // Runs the card selection from the menu, choosing `row` after a search.
    // When OK finds nothing to choose the dialog stays open: it is cancelled.
    void selectCard(bool use82815, int row, bool ok = true) {
        whenModal([=, this] {
            TCard_Form* f = w->card;
            if (!f->isVisible())
                return;
            (use82815 ? f->Set82815 : f->Set72815)->setChecked(true);
            f->Find_Button->click();
            f->Card_StringGrid->setCurrentCell(row, 1);
            (ok ? f->Ok_Button : f->Cancel_Button)->click();
            if (f->isVisible())
                f->Cancel_Button->click();
        });
        ui().Card1->trigger();
    }

    // The log's entries without their time stamps and final CR LF.
    static QStringList LogTexts() {
        QStringList out;
        if (LogLines)
            for (const std::string& e : *LogLines) {
                const QString s = QString::fromStdString(e);
                out << s.mid(s.indexOf(": ") + 2).chopped(2);
            }
        return out;
    }

    // Journal lines of the driver's calls that change the card.
    static QStringList DriverSets() {
        QStringList out;
        for (const QString& line : SimJournal())
            if (line.startsWith("nv815_Set") || line.startsWith("nv815_Generate"))
                out << line.section('(', 0, 0) + "(" + line.section(", ", 1);
        return out;
    }

private:
    std::optional<MainControls> controls_;
};
