// The one test program: runs the test class its first argument names, with
// the rest of the arguments given to Qt Test.
#include <QApplication>
#include <QtTest>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "TestRegistry.h"

namespace {

struct Entry {
    TestRegistry::App app;
    QObject* (*make)();
};

std::map<std::string, Entry>& Tests() {
    static std::map<std::string, Entry> tests;
    return tests;
}

// "/path/tests/core/tst_core.cpp" -> "tst_core"
std::string TestName(const char* sourceFile) {
    std::string name = sourceFile;
    name = name.substr(name.find_last_of("/\\") + 1);
    return name.substr(0, name.rfind('.'));
}

} // namespace

bool TestRegistry::Add(const char* sourceFile, App app, QObject* (*make)()) {
    return Tests().emplace(TestName(sourceFile), Entry{app, make}).second;
}

int main(int argc, char** argv) {
    const auto test = argc > 1 ? Tests().find(argv[1]) : Tests().end();
    if (test == Tests().end()) {
        std::fprintf(stderr, "usage: %s TEST [Qt Test arguments]\ntests:", argv[0]);
        for (const auto& [name, entry] : Tests())
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    // The test's name stands for the program's, as a test program of its own would have it.
    static std::string name = test->first;
    argv[1] = name.data();
    ++argv;
    --argc;
    std::unique_ptr<QCoreApplication> app;
    if (test->second.app == TestRegistry::App::Widgets) {
        app = std::make_unique<QApplication>(argc, argv);
        app->setAttribute(Qt::AA_Use96Dpi, true);
    } else if (test->second.app == TestRegistry::App::Core) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    std::unique_ptr<QObject> object(test->second.make());
    return QTest::qExec(object.get(), argc, argv);
}
