#include <QApplication>

#include "Startup.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("nv815-panel");
    return RunProgram();
}
