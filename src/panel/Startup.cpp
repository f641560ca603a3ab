#include "Startup.h"

#include <QApplication>
#include <cstdio>
#include <memory>

#include "Dialogs.h"
#include "LibraryBindings.h"
#include "Log_Unit.h"
#include "Main_Unit.h"

bool BindLibrariesAtStartup() {
    BindingResult bound = BindAllLibraries();
    if (bound.ok())
        return true;
    std::fprintf(stderr, "%s\n", bound.assertionFailure.c_str());
    std::fflush(stderr);
    AppDialogs().message(nullptr, Dialogs::Kind::Error,
                         QString::fromStdString(bound.assertionFailure));
    RunExitHandlers();
    return false;
}

int RunProgram() {
    if (!BindLibrariesAtStartup())
        return 1;
    int status = 0;
    {
        // The windows live for the whole run, the main window first.
        auto mainForm = std::make_unique<TMain_Form>();
        auto logForm = std::make_unique<TLog_Form>(mainForm.get());
        mainForm->show();
        status = QApplication::exec();
    }
    RunExitHandlers();
    return status;
}
