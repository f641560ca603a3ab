#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>

#include "Startup.h"

namespace {

// The options Qt itself reads from the command line; taken so that they are
// no unknown options, and left to QApplication.
void AddQtOptions(QCommandLineParser& parser) {
    for (const char* name : {"platform", "style", "stylesheet", "display", "geometry",
                             "qwindowgeometry", "qwindowtitle", "qwindowicon"}) {
        QCommandLineOption option(name, "Qt option", "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QCommandLineOption reverse("reverse", "Qt option");
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);
}

// --help and --version, answered without a window; false when the program
// should not start (the exit status is then in `status`).
bool ReadCommandLine(int argc, char* argv[], int& status) {
    QCoreApplication probe(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Soft front panel for the Norvale 72-815 and 82-815 PXI function generator cards.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    AddQtOptions(parser);
    if (!parser.parse(probe.arguments())) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", argv[0], qPrintable(parser.errorText()),
                     argv[0]);
        status = 1;
        return false;
    }
    if (parser.isSet("help-all"))
        parser.process(probe); // prints the help with Qt's own options and ends
    if (parser.isSet("help")) {
        std::printf("%s", qPrintable(parser.helpText()));
        status = 0;
        return false;
    }
    if (parser.isSet("version")) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        status = 0;
        return false;
    }
    // Without a display Qt would abort; say what is needed instead.
    const bool platformGiven = parser.isSet("platform") || std::getenv("QT_QPA_PLATFORM");
    if (!platformGiven && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "nv815-panel needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY "
                     "is set); to run it without one, set QT_QPA_PLATFORM=offscreen.\n");
        status = 1;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName("nv815-panel");
    QCoreApplication::setApplicationVersion("1.46");
    int status = 0;
    if (!ReadCommandLine(argc, argv, status))
        return status;
    QApplication app(argc, argv);
    return RunProgram();
}
