// Every test class is built into one test program; each registers itself
// under its file's name and is run alone by naming it: nv815_tests tst_core.
#pragma once

#include <QObject>

namespace TestRegistry {
// The application a test runs in, as QTEST_MAIN, QTEST_GUILESS_MAIN and
// QTEST_APPLESS_MAIN would make it.
enum class App { Widgets, Core, None };
bool Add(const char* sourceFile, App app, QObject* (*make)());
} // namespace TestRegistry

#define NV815_TEST_REGISTER(Class, app)                                                            \
    static const bool nv815TestRegistered = TestRegistry::Add(                                     \
        __FILE__, TestRegistry::App::app, []() -> QObject* { return new Class; });

#define NV815_TEST_MAIN(Class) NV815_TEST_REGISTER(Class, Widgets)
#define NV815_TEST_GUILESS_MAIN(Class) NV815_TEST_REGISTER(Class, Core)
#define NV815_TEST_APPLESS_MAIN(Class) NV815_TEST_REGISTER(Class, None)
