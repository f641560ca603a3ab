#include "Transport.h"

std::unique_ptr<Transport> MakeRawTransport();
std::unique_ptr<Transport> MakeVxi11Transport();
std::unique_ptr<Transport> MakeHislipTransport();
std::unique_ptr<Transport> MakeWebTransport();
std::unique_ptr<Transport> MakeSecureWebTransport();

const std::vector<TransportKind>& Transports() {
    static const std::vector<TransportKind> table = {
        {"raw",
         "the raw socket",
         true,
         5025,
         {},
         {},
         {},
         {},
         {},
         "port",
         "The TCP port --serve listens on (default 5025; 0: any free port).",
         MakeRawTransport},
        {"vxi11", "VXI-11", false, 0, "Vxi11_CheckBox", "VXI-11 too (TCPIP::HOST::INSTR)",
         "Serves the card over VXI-11 beside the raw socket: VISA finds it through the port "
         "mapper (rpcbind).",
         "no-vxi11",
         "--serve serves the raw socket only, without VXI-11 (served by default: the core "
         "channel on a free port, registered with the system's port mapper, rpcbind, so "
         "that TCPIP::HOST::INSTR finds it).",
         "vxi11",
         "--serve serves VXI-11 beside the raw socket (the default), its core channel on port "
         "N (0: any free port).",
         MakeVxi11Transport},
        {"hislip", "HiSLIP", false, 4880, "Hislip_CheckBox",
         "HiSLIP too (TCPIP::HOST::hislip0::INSTR)",
         "Serves the card over HiSLIP beside the raw socket, on port 4880 where the program "
         "may listen on it, else on any free port.",
         "no-hislip",
         "--serve serves no HiSLIP (served by default on port 4880, "
         "TCPIP::HOST::hislip0::INSTR).",
         "hislip",
         "The port of --serve's HiSLIP (default 4880 where the program may listen on it, else "
         "any free port, which is printed; 0: any free port).",
         MakeHislipTransport, true},
        {"http", "the web page", false, 80, "Http_CheckBox", "Web page and LXI identification",
         "Serves /lxi/identification and a welcome page over HTTP, on port 80 where the "
         "program may listen on it, else on any free port.",
         "no-http",
         "--serve serves no web page (by default the LXI identification document at "
         "/lxi/identification and a welcome page at /).",
         "http-port",
         "The port of --serve's web pages (default 80 where the program may listen on it, "
         "else any free port, which is printed; 0: any free port).",
         MakeWebTransport},
        {"https",
         "HTTPS",
         false,
         443,
         "Https_CheckBox",
         "Web page over HTTPS too",
         "Serves the same pages over HTTPS (TLS), with the certificate given or the program's "
         "own, on port 443 where the program may listen on it, else on any free port.",
         {},
         {},
         "https-port",
         "--serve serves the web pages over HTTPS too, on port N (0: any free port); with "
         "--secure on 443 where the program may listen on it, else any free port, by default.",
         MakeSecureWebTransport,
         true,
         false},
    };
    return table;
}

const TransportKind* TransportNamed(const QString& key) {
    for (const TransportKind& kind : Transports())
        if (kind.key == key)
            return &kind;
    return nullptr;
}

QString ResourceHost(const QString& address) {
    return address.contains(':') ? "[" + address + "]" : address;
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_Transport.cpp"
