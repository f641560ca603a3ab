// A benchmark that drives the simulated card uses the simulated libraries
// of its own build tree, whatever library path it was started with, and
// says so and stops when they are not there (it never times a program that
// has no driver). Children it starts end with it.
#pragma once

#include <QProcess>
#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

#include "LibraryBindings.h"
#include "VISA_def_v2.h"
#include "nv815_def.h"

// Call first in main. The program loads its libraries by plain name through
// the loader's search path, which the loader reads once, at start: so the
// process starts again with the build tree's folder first in it.
inline void UseSimulatedLibraries(char** argv) {
    const std::string dir = NV815_SIM_DIR;
    const char* path = std::getenv("LD_LIBRARY_PATH");
    const std::string now = path ? path : "";
    if (now.rfind(dir + ":", 0) != 0 && now != dir) {
        for (const char* name : {"/libvisa.so", "/libnv815_32.so"})
            if (access((dir + name).c_str(), R_OK) != 0) {
                std::fprintf(stderr, "%s: no simulated library %s%s: build the tree first.\n",
                             argv[0], dir.c_str(), name);
                std::exit(1);
            }
        setenv("LD_LIBRARY_PATH", (now.empty() ? dir : dir + ":" + now).c_str(), 1);
        execv("/proc/self/exe", argv);
        std::perror("starting again with the simulated libraries");
        std::exit(1);
    }
    if (!BindAllLibraries().ok() || !VisaLoaded || !DriverLoaded) {
        std::fprintf(stderr, "%s: the simulated libraries in %s could not be bound.\n", argv[0],
                     dir.c_str());
        std::exit(1);
    }
}

// The main of a benchmark of the simulated card that needs no Qt application.
inline int RunOnTheSimulator(int argc, char** argv) {
    UseSimulatedLibraries(argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// A child process that ends with this one, even when this one crashes.
inline void EndsWithParent(QProcess& child) {
    child.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}
