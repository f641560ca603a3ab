// The windows live in a module of their own, loaded only when the panel is
// shown: the command line never loads Qt Widgets, Gui or the image codecs.
#pragma once

// The module's file name, and its one entry point: creates the application
// object and runs the panel; returns the exit status.
#define NV815_WINDOW_MODULE_FILE "nv815-panel-window.so"
#define NV815_WINDOW_ENTRY "nv815_window_main"
using WindowEntry = int (*)(int* argc, char** argv);
