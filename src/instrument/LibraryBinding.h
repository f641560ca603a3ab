// Run-time binding of the instrument libraries.
//
// Each library is bound once, before the first window exists: it is loaded by
// its plain file name through the normal library search, every entry point is
// looked up in a fixed order into the library's function-address table, and
// an exit handler is put at the head of a chain so that the libraries are
// released in the reverse order of binding when the program ends.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct LibraryBinding {
    const char* unitName;        // the binding unit, named in assertion texts
    const char* fileName;        // loaded by plain file name
    void* handle = nullptr;      // null until loaded
    bool* loaded;                // the flag other units read (VisaLoaded, DriverLoaded, ...)
    unsigned savedErrorMode = 0; // platform error mode in force before loading
    const char* const* entryNames;
    std::size_t entryCount;
    void** table;         // one address per entry point, in the order of entryNames
    bool checkEveryEntry; // a missing entry point is fatal (VISA and driver only)
    LibraryBinding* previousExitHandler = nullptr;
    // Why the library is not loaded: empty while loaded or not yet bound.
    std::string loadError;
    bool fileMissing = false; // the loader found no file of that name
};

// The outcome of a binding procedure: empty when start-up may go on, otherwise
// the assertion text "Assertion failure (<unit>, line <n>)".
struct BindingResult {
    std::string assertionFailure;
    // The library and the entry point it lacks, for standard error.
    std::string detail;
    bool ok() const { return assertionFailure.empty(); }
};

// Runs the binding procedure. `checkLine` is the line of the entry-point
// check in the binding unit, reported when an entry point is missing.
BindingResult BindLibrary(LibraryBinding& binding, int checkLine);

// Calls the exit-handler chain until it is empty, releasing every library
// that was loaded, most recently bound first.
void RunExitHandlers();

// File names of the libraries released so far, in release order.
const std::vector<std::string>& ReleasedLibraries();

// Declares a struct made only of function pointers from an entry-point list,
// so that the struct itself is the binding's address table.
#define NV815_TABLE_MEMBER(name, params) ViStatus(*name) params;
#define NV815_TABLE_MEMBER_VOID(name, params) void(*name) params;
#define NV815_ENTRY_NAME(name, params) #name,
#define NV815_ENTRY_NAME_VOID(name, params) #name,
