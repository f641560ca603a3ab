// Runs the program's library binding in a process of its own and prints what
// it found, so that tests can try different sets of libraries.
#include <cstdio>
#include <string>

#include "LibraryBindings.h"
#include "NVLPXI.h"
#include "RecordingDialogs.h"
#include "Startup.h"
#include "VISA_def_v2.h"
#include "nv815_def.h"
#include "nvpx60_def.h"

namespace {
int Nulls(void* const* table, std::size_t count) {
    int n = 0;
    for (std::size_t i = 0; i < count; ++i)
        n += table[i] == nullptr;
    return n;
}
} // namespace

int main() {
    RecordingDialogs dialogs;
    SetAppDialogs(&dialogs);
    const bool started = BindLibrariesAtStartup();
    for (const auto& m : dialogs.messages)
        std::printf("message %d %s\n", static_cast<int>(m.kind), m.text.toStdString().c_str());
    if (started) {
        std::printf("loaded %d %d %d %d\n", VisaLoaded, DriverLoaded, Nvpx60Loaded, NvlpxiLoaded);
        std::printf("nulls %d %d %d %d\n",
                    Nulls(reinterpret_cast<void* const*>(&Visa), kVisaEntryCount),
                    Nulls(reinterpret_cast<void* const*>(&Driver), kDriverEntryCount),
                    Nulls(Nvpx60Table, kNvpx60EntryCount), Nulls(NvlpxiTable, kNvlpxiEntryCount));
        const std::string missing = MissingLibraryText();
        std::printf("missing %s\n", missing.empty() ? "(nothing)" : missing.c_str());
        const ViSession rm = GetDefaultRM();
        std::printf("defaultrm %s\n", rm ? "open" : "0");
        // Binding again changes nothing.
        BindAllLibraries();
        RunExitHandlers();
    }
    std::string released;
    for (const std::string& name : ReleasedLibraries())
        released += (released.empty() ? "" : " ") + name;
    std::printf("released %s\n", released.c_str());
    return started ? 0 : 1;
}
