// Every test class is built into one test program; each registers itself
// under its file's name and is run alone by naming it: nv815_tests tst_core.
#pragma once

#include <QObject>

// Each test source's code is in a namespace of its own: the sources are
// compiled a batch to a unit, whose build names each source's namespace
// (an anonymous one where they are compiled apart).
#ifndef NV815_TEST_UNIT
#define NV815_TEST_UNIT
#endif

namespace TestRegistry {
// The application a test runs in, as QTEST_MAIN, QTEST_GUILESS_MAIN and
// QTEST_APPLESS_MAIN would make it.
enum class App { Widgets, Core, None };
bool Add(const char* sourceFile, App app, QObject* (*make)());
} // namespace TestRegistry

// Named per use: the test sources are compiled a batch to a unit.
#define NV815_TEST_JOIN2(a, b) a##b
#define NV815_TEST_JOIN(a, b) NV815_TEST_JOIN2(a, b)
#define NV815_TEST_REGISTER(Class, app)                                                            \
    static const bool NV815_TEST_JOIN(nv815TestRegistered, __COUNTER__) = TestRegistry::Add(       \
        __FILE__, TestRegistry::App::app, []() -> QObject* { return new Class; });

#define NV815_TEST_MAIN(Class) NV815_TEST_REGISTER(Class, Widgets)
#define NV815_TEST_GUILESS_MAIN(Class) NV815_TEST_REGISTER(Class, Core)
#define NV815_TEST_APPLESS_MAIN(Class) NV815_TEST_REGISTER(Class, None)
