// libFuzzer target: any program message, read into units, matched against a
// few headers, read as a waveform's samples and run by a session, without a
// crash, a hang or reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    static scpi::Session session([] { return scpi::Identity{"m", "x", "1", "1"}; });
    session.handle(line);
    return 0;
}
