// VXI-11 calls as a hostile client may send them: any bytes as one record,
// decoded and answered on the core and on the abort channel by a server with
// no device (every link refused, every other call on a link that is not).
#include <QCoreApplication>
#include <cstdint>
#include <string>

#include "Vxi11Dispatch.h"
#include "Vxi11Server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_vxi11";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Vxi11Server server;
    const std::string record(reinterpret_cast<const char*>(data), size);
    Vxi11Reply(server, 1, false, record);
    Vxi11Reply(server, 1, true, record);
    return 0;
}
