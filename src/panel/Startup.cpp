#include "Startup.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdio>

#include "About_Unit.h"
#include "Card_Unit.h"
#include "Dialogs.h"
#include "ExtClkFreq_Unit.h"
#include "LibraryBindings.h"
#include "Log_Unit.h"
#include "Main_Unit.h"
#include "MemTest_Unit.h"
#include "PanelWidgets.h"
#include "ProgramState.h"
#include "WindowPlacement.h"

bool BindLibrariesAtStartup() {
    BindingResult bound = BindAllLibraries();
    if (bound.ok())
        return true;
    std::fprintf(stderr, "%s\n%s\n", bound.assertionFailure.c_str(), bound.detail.c_str());
    std::fflush(stderr);
    // Before any window, and the program ends: where no box can be seen
    // (offscreen, minimal) the text on standard error is all there is.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        AppDialogs().message(nullptr, Dialogs::Kind::Error,
                             QString::fromStdString(bound.assertionFailure));
    RunExitHandlers();
    return false;
}

AppWindows::~AppWindows() = default;

namespace {

// One panel's windows: the main window and the dialogs it owns.
std::unique_ptr<AppWindows> CreatePanelWindows() {
    auto w = std::make_unique<AppWindows>();
    w->main = std::make_unique<TMain_Form>();
    QWidget* owner = w->main.get();
    w->extClk = new TExternalClk_Form(owner);
    w->card = new TCard_Form(w->main->card(), owner);
    w->about = new TAbout_Form(owner);
    w->about->SetLogo(w->main->LogoPicture());
    w->log = new TLog_Form(owner);
    w->memTest = new TMemTest_Form(owner);
    Card* card = &w->main->card(); // what the tools show and test
    w->about->SetCard(card);
    w->log->SetCard(card);
    w->memTest->SetCard(card);
    w->main->AttachForms(w->extClk, w->card, w->about, w->log, w->memTest);
    return w;
}

} // namespace

std::unique_ptr<AppWindows> CreateWindows() {
    ResetProgramState();
    KeepWindowsOnScreen();
    return CreatePanelWindows();
}

TMain_Form* OpenAnotherPanel(const TMain_Form& beside) {
    TMain_Form* panel = CreatePanelWindows()->main.release(); // its dialogs are its children
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->move(beside.pos() + QPoint(32, 32));
    panel->show();
    panel->raise();
    panel->activateWindow();
    return panel;
}

int RunProgram() {
    if (!BindLibrariesAtStartup())
        return 1;
    int status = 0;
    {
        std::unique_ptr<AppWindows> windows = CreateWindows();
        windows->main->show();
        windows->main->ServeAtStart();
        status = QApplication::exec();
    }
    RunExitHandlers();
    return status;
}
