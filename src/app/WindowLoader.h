#pragma once

// Loads the window module, beside the program or where it is installed, and
// runs the panel; returns the exit status (1, with the loader's reason on
// standard error, when the module cannot be loaded).
int RunWindowModule(int& argc, char** argv);
