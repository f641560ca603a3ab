// The entry point of the window module.
#include <QApplication>
#include <type_traits>

#include "Startup.h"
#include "WindowModule.h"

extern "C" __attribute__((visibility("default"))) int nv815_window_main(int* argc, char** argv) {
    QApplication app(*argc, argv);
    return RunProgram();
}

// The entry point's type is the one the program looks up.
static_assert(std::is_same_v<decltype(&nv815_window_main), WindowEntry>);
