// libFuzzer target: any bytes cut into lines as a socket's stream, and any
// program message, read into units, matched against a few headers, read as
// a waveform's samples and run by a session, without a crash, a hang or
// reading out of bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "LineReader.h"
#include "ScpiParser.h"
#include "ScpiSession.h"
#include "WaveSamples.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    static const scpi::Pattern patterns[] = {scpi::Pattern("[SOURce#:]FREQuency[:CW]"),
                                             scpi::Pattern("OUTPut#[:STATe]"),
                                             scpi::Pattern("SYSTem:ERRor[:NEXT]")};
    for (const scpi::Unit& u : scpi::ParseMessage(line)) {
        for (const scpi::Pattern& p : patterns) {
            int suffix = 0;
            scpi::Error error = scpi::NoError;
            p.matches(u.nodes, 3, suffix, error);
        }
        // Its parameters as a waveform's samples, in both byte orders.
        std::vector<double> samples;
        std::string why;
        for (bool swapped : {false, true})
            scpi::WaveSamples(u.parameters, swapped, samples, why);
    }
    // And a client's whole conversation: common commands, errors, registers.
    static const scpi::CommandSet commands = [] {
        scpi::CommandSet set;
        scpi::Session::AddCommonCommands(set);
        return set;
    }();
    static scpi::Session session(commands, [] { return scpi::Identity{"m", "x", "1", "1"}; });
    session.handle(line);
    // The bytes as a stream, in pieces of varied size, each line run.
    scpi::LineReader reader;
    for (size_t i = 0, piece = 1; i < size; piece = piece % 7 + 1) {
        size_t taken = 0;
        if (reader.take(line.data() + i, std::min(piece, size - i), taken) ==
            scpi::LineReader::Result::Line)
            session.handle(reader.line());
        i += taken;
    }
    return 0;
}
