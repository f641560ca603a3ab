// Program start and end: library binding, window creation, release.
#pragma once

#include <memory>

class TAbout_Form;
class TCard_Form;
class TExternalClk_Form;
class TLog_Form;
class TMain_Form;
class TMemTest_Form;

// Binds the libraries in their fixed order. When an entry point of VISA or of
// the driver is missing, shows the assertion text in an error box and on
// standard error, releases what was bound and returns false.
bool BindLibrariesAtStartup();

// Every window of the program; all live for the whole run.
struct AppWindows {
    std::unique_ptr<TMain_Form> main;
    TExternalClk_Form* extClk = nullptr; // the others are owned by the main window
    TCard_Form* card = nullptr;
    TAbout_Form* about = nullptr;
    TLog_Form* log = nullptr;
    TMemTest_Form* memTest = nullptr;
    ~AppWindows();
};

// Creates the windows in their fixed order, the main window first.
std::unique_ptr<AppWindows> CreateWindows();

// File > New Window: another panel with a card and windows of its own (the
// operation log is the process's), shown beside `beside`; it is deleted when
// closed.
TMain_Form* OpenAnotherPanel(const TMain_Form& beside);

// The whole program after the application object exists; returns the exit status.
int RunProgram();
