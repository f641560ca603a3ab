// Start-up cost: binding the four libraries, then creating and showing every
// window offscreen, as the program does before its event loop runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <cstring>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "About_Unit.h"
#include "Card_Unit.h"
#include "ExtClkFreq_Unit.h"
#include "LibraryBinding.h"
#include "Log_Unit.h"
#include "Main_Unit.h"
#include "MemTest_Unit.h"
#include "OffscreenMain.h"
#include "Startup.h"

namespace {

void StartOnce(benchmark::State& state) {
    if (!BindLibrariesAtStartup()) {
        state.SkipWithError("libraries could not be bound");
        return;
    }
    {
        std::unique_ptr<AppWindows> w = CreateWindows();
        w->main->show();
        for (QDialog* d :
             std::initializer_list<QDialog*>{w->extClk, w->card, w->about, w->log, w->memTest})
            d->show();
        QApplication::processEvents();
    }
    RunExitHandlers();
}

// The first start of the process pays for fonts, styles and the platform plugin.
void BM_FirstStartUp(benchmark::State& state) {
    for (auto _ : state)
        StartOnce(state);
}
BENCHMARK(BM_FirstStartUp)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_StartUp(benchmark::State& state) {
    for (auto _ : state)
        StartOnce(state);
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// First paint: a process of its own per run, from its start to the main
// window's first paint, in CPU time (the child's user and system time); the
// floor is the same for a bare Qt Widgets window of the same size.
const char* const kChildFlag = "--first-paint-of=";

// In the child: shows the window and ends at its first paint.
int PaintOnce(int& argc, char** argv, bool panel) {
    QApplication app(argc, argv);
    std::unique_ptr<AppWindows> windows;
    std::unique_ptr<QMainWindow> bare;
    QWidget* shown = nullptr;
    if (panel) {
        if (!BindLibrariesAtStartup())
            return 1;
        windows = CreateWindows();
        shown = windows->main.get();
    } else {
        bare = std::make_unique<QMainWindow>();
        bare->setCentralWidget(new QLabel("Channel 1"));
        bare->resize(TMain_Form::kClientWidth, TMain_Form::kClientHeight);
        shown = bare.get();
    }
    struct PaintWatch : QObject {
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint)
                std::_Exit(0);
            return false;
        }
    } watch;
    shown->installEventFilter(&watch);
    shown->show();
    return app.exec();
}

void FirstPaint(benchmark::State& state, const char* which) {
    const std::string flag = std::string(kChildFlag) + which;
    for (auto _ : state) {
        char* args[] = {const_cast<char*>("/proc/self/exe"), const_cast<char*>(flag.c_str()),
                        nullptr};
        pid_t child = 0;
        if (posix_spawn(&child, args[0], nullptr, nullptr, args, environ) != 0)
            return state.SkipWithError("the child could not be started");
        int status = 0;
        rusage used{};
        if (wait4(child, &status, 0, &used) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            return state.SkipWithError("the child did not paint");
        const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        state.SetIterationTime(seconds(used.ru_utime) + seconds(used.ru_stime));
    }
}

void BM_FirstPaintPanel(benchmark::State& state) {
    FirstPaint(state, "panel");
}
BENCHMARK(BM_FirstPaintPanel)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

void BM_FirstPaintBareWindow(benchmark::State& state) {
    FirstPaint(state, "bare");
}
BENCHMARK(BM_FirstPaintBareWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strncmp(argv[1], kChildFlag, std::strlen(kChildFlag)) == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return PaintOnce(argc, argv, std::strcmp(argv[1] + std::strlen(kChildFlag), "panel") == 0);
    }
    return RunOffscreenBenchmarks<QApplication>(argc, argv);
}
