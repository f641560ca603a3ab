// Program start and end: library binding, window creation, release.
#pragma once

// Binds the libraries in their fixed order. When an entry point of VISA or of
// the driver is missing, shows the assertion text in an error box and on
// standard error, releases what was bound and returns false.
bool BindLibrariesAtStartup();

// The whole program after the application object exists; returns the exit status.
int RunProgram();
