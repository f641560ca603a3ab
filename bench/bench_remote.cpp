// SCPI over loopback against the program's --serve: round trips of *IDN?
// and *OPC? from one client, and a frequency setter answered by *OPC?,
// against the simulated driver's own generate call in this process; the
// same *IDN? and a whole wave memory over VXI-11 against the raw socket's.
#include <benchmark/benchmark.h>

#include <QProcess>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>

#include "LibraryBindings.h"
#include "Operations.h"
#include "ServedCard.h"
#include "SimulatedLibraries.h"
#include "nv815_def.h"
#include "vxi11.h"

namespace {

void RoundTrips(benchmark::State& state, const QByteArray& line) {
    if (!TheServer().ok)
        return state.SkipWithError("the server did not start");
    for (auto _ : state)
        if (!TheServer().ask(line))
            return state.SkipWithError("no answer");
    state.SetItemsProcessed(state.iterations());
}

void BM_IdnRoundTrip(benchmark::State& state) {
    RoundTrips(state, "*IDN?\n");
}
BENCHMARK(BM_IdnRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_OpcRoundTrip(benchmark::State& state) {
    RoundTrips(state, "*OPC?\n");
}
BENCHMARK(BM_OpcRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Each time another frequency, so the card is sent one every time.
void BM_FrequencySetterWithOpc(benchmark::State& state) {
    if (!TheServer().ok)
        return state.SkipWithError("the server did not start");
    int hertz = 1000;
    for (auto _ : state)
        if (!TheServer().ask("FREQ " + QByteArray::number(hertz = hertz % 9000 + 1001) +
                             ";*OPC?\n"))
            return state.SkipWithError("no answer");
}
BENCHMARK(BM_FrequencySetterWithOpc)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_BlockUpload262144(benchmark::State& state) {
    if (!TheServer().ok)
        return state.SkipWithError("the server did not start");
    const QByteArray even = WaveBlock(0), odd = WaveBlock(1);
    bool k = false;
    for (auto _ : state)
        if (!TheServer().ask((k = !k) ? odd : even))
            return state.SkipWithError("no answer");
}
BENCHMARK(BM_BlockUpload262144)->Unit(benchmark::kMillisecond)->UseRealTime();

// A VXI-11 link to the same server, through the RPC library's client.
struct Vxi11Link {
    CLIENT* client = nullptr;
    Device_Link lid = 0;
    bool ok = false;
    Vxi11Link() {
        if (!TheServer().ok || TheServer().vxi11Port == 0)
            return;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(TheServer().vxi11Port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int socket = RPC_ANYSOCK;
        client = clnttcp_create(&a, DEVICE_CORE, DEVICE_CORE_VERSION, &socket, 2 << 20, 0);
        if (!client)
            return;
        char device[] = "inst0";
        Create_LinkParms parms{};
        parms.device = device;
        Create_LinkResp link{};
        ok = create_link_1(&parms, &link, client) == RPC_SUCCESS && link.error == 0;
        lid = link.lid;
    }
    ~Vxi11Link() {
        if (client)
            clnt_destroy(client);
    }
    // One message with END, then its answer read whole.
    bool ask(QByteArray message) {
        Device_WriteParms write{};
        write.lid = lid;
        write.flags = 8; // END
        write.data.data_len = static_cast<u_int>(message.size());
        write.data.data_val = message.data();
        Device_WriteResp written{};
        if (const auto rc = device_write_1(&write, &written, client);
            rc != RPC_SUCCESS || written.error != 0) {
            fprintf(stderr, "write: rc %d error %ld\n", int(rc), long(written.error));
            return false;
        }
        Device_ReadParms read{};
        read.lid = lid;
        read.requestSize = 1024 * 1024;
        for (;;) {
            Device_ReadResp answer{};
            if (const auto rc = device_read_1(&read, &answer, client);
                rc != RPC_SUCCESS || answer.error != 0) {
                fprintf(stderr, "read: rc %d error %ld\n", int(rc), long(answer.error));
                return false;
            }
            const bool end = (answer.reason & 4) != 0;
            xdr_free(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp),
                     reinterpret_cast<char*>(&answer));
            if (end)
                return true;
        }
    }
};

void BM_Vxi11IdnRoundTrip(benchmark::State& state) {
    Vxi11Link link;
    if (!link.ok)
        return state.SkipWithError("no VXI-11 link");
    for (auto _ : state)
        if (!link.ask("*IDN?\n"))
            return state.SkipWithError("no answer");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Vxi11IdnRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Vxi11BlockUpload262144(benchmark::State& state) {
    Vxi11Link link;
    if (!link.ok)
        return state.SkipWithError("no VXI-11 link");
    const QByteArray even = WaveBlock(0), odd = WaveBlock(1);
    bool k = false;
    for (auto _ : state)
        if (!link.ask((k = !k) ? odd : even))
            return state.SkipWithError("no answer");
}
BENCHMARK(BM_Vxi11BlockUpload262144)->Unit(benchmark::kMillisecond)->UseRealTime();

// A HiSLIP session with the same server: both channels on plain sockets.
void BM_HislipIdnRoundTrip(benchmark::State& state) {
    HislipSession session;
    if (!session.ok)
        return state.SkipWithError("no HiSLIP session");
    for (auto _ : state)
        if (!session.ask("*IDN?\n"))
            return state.SkipWithError("no answer");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HislipIdnRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_HislipBlockUpload262144(benchmark::State& state) {
    HislipSession session;
    if (!session.ok)
        return state.SkipWithError("no HiSLIP session");
    const QByteArray even = WaveBlock(0), odd = WaveBlock(1);
    bool k = false;
    for (auto _ : state)
        if (!session.ask((k = !k) ? odd : even))
            return state.SkipWithError("no answer");
}
BENCHMARK(BM_HislipBlockUpload262144)->Unit(benchmark::kMillisecond)->UseRealTime();

// The resident memory per idle HiSLIP session of a server of its own: 15
// sessions opened (each asked once), against the server before them.
void BM_HislipIdleSessionMemory(benchmark::State& state) {
    const Served fresh;
    const auto resident = [&fresh] { // bytes
        QFile statm(QString("/proc/%1/statm").arg(fresh.server.processId()));
        return statm.open(QIODevice::ReadOnly)
                   ? statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE)
                   : 0LL;
    };
    double perSession = 0;
    for (auto _ : state) {
        const long long before = resident();
        std::vector<std::unique_ptr<HislipSession>> sessions;
        while (sessions.size() < 15) {
            sessions.push_back(std::make_unique<HislipSession>(fresh));
            if (!sessions.back()->ok || !sessions.back()->ask("*OPC?\n"))
                return state.SkipWithError("no HiSLIP session");
        }
        perSession = double(resident() - before) / 15;
    }
    state.counters["bytes_per_session"] = perSession;
}
BENCHMARK(BM_HislipIdleSessionMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same load in this process: the channel's 262144 samples handed to the
// card as the Arbitrary page's Update hands them.
void BM_WaveLoadInProcess262144(benchmark::State& state) {
    Card card;
    TSelectedCard selected;
    selected.Resource = "PXI2::10::INSTR";
    if (!BindAllLibraries().ok() || OpenCard(selected, true) != VI_SUCCESS)
        return state.SkipWithError("the simulated card could not be opened");
    UseCard(card, selected.Session, 3);
    TArbWave& arb = card.channel(3).Wave.Arb;
    std::vector<double> samples(262144);
    arb.WaveLength = 262144;
    struct : OperatorUi {
        void error(const std::string&) override {}
        void warning(const std::string&) override {}
        bool confirm(const std::string&) override { return true; }
        void information(const std::string&) override {}
    } ui;
    int seed = 0;
    for (auto _ : state) {
        ++seed;
        for (int i = 0; i < 262144; ++i) // other samples each time, as a client sends
            samples[static_cast<size_t>(i)] = (static_cast<uint16_t>(i * 7 + seed)) / 655.35;
        arb.Data = samples;
        LoadWaveform(card, 3, ui);
    }
    CloseCard(selected);
}
BENCHMARK(BM_WaveLoadInProcess262144)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of a setter: the simulated driver's generate call alone.
void BM_DriverGenerateSignal(benchmark::State& state) {
    ViSession vi = 0;
    if (!BindAllLibraries().ok() || Driver.nv815_init("PXI1::14::INSTR", 0, 0, &vi) != VI_SUCCESS)
        return state.SkipWithError("the simulated card could not be opened");
    double kHz = 1;
    for (auto _ : state)
        Driver.nv815_GenerateSignal(vi, kHz = kHz < 9 ? kHz + 1 : 1, 0, 50);
    Driver.nv815_close(vi);
}
BENCHMARK(BM_DriverGenerateSignal)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunOnTheSimulator(argc, argv);
}
