// Arbitrary waveforms from a client: [SOURce#:]DATA[:DAC] takes the samples
// as a definite-length block of signed 16-bit values (FORMat:BORDer gives
// their byte order) or as a list of values in percent, and loads them into
// the channel's wave memory as the arbitrary page's Update does.
#include <memory>

#include "CommandHelpers.h"
#include "WaveLoad.h"

namespace scpi {

namespace {

// A signed 16-bit value as percent of full output: -32768 is 0 %, 32767 is 100 %.
double PercentOf(int16_t value) {
    return (static_cast<double>(value) + 32768.0) * 100.0 / 65535.0;
}

// The samples of a block: pairs of bytes, most significant first unless swapped.
Error BlockSamples(const std::string& bytes, bool swapped, std::vector<double>& samples,
                   std::string& why) {
    if (bytes.size() % 2 != 0) {
        why = "an odd number of bytes: the samples are 16-bit";
        return InvalidBlock;
    }
    samples.resize(bytes.size() / 2);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < samples.size(); ++i) {
        const unsigned high = b[2 * i + (swapped ? 1 : 0)], low = b[2 * i + (swapped ? 0 : 1)];
        samples[i] = PercentOf(static_cast<int16_t>(static_cast<uint16_t>(high << 8 | low)));
    }
    return NoError;
}

// The samples of a list of numbers in percent, each from 0 to 100.
Error ListSamples(const std::vector<Parameter>& list, std::vector<double>& samples,
                  std::string& why) {
    samples.reserve(list.size());
    for (const Parameter& p : list) {
        if (p.kind == Parameter::Kind::Block) {
            why = "one block, or numbers, not both";
            return ParameterError;
        }
        if (p.kind == Parameter::Kind::String)
            return StringNotAllowed;
        if (p.kind != Parameter::Kind::Number || (!p.unit.empty() && p.unit != "PCT")) {
            why = "samples in percent";
            return p.kind == Parameter::Kind::Number ? InvalidSuffix : IllegalValue;
        }
        if (!(p.number >= 0 && p.number <= 100)) {
            why = "sample " + std::to_string(samples.size() + 1) + " is not from 0 to 100 %";
            return DataOutOfRange;
        }
        samples.push_back(p.number);
    }
    return NoError;
}

// The samples become the channel's waveform and are loaded; when the card
// refuses them, the channel keeps the waveform it had.
void LoadSamples(Session& session, Card& card, int channel, std::vector<double> samples) {
    const auto length = static_cast<int32_t>(samples.size());
    if (WaveLengthProblem(length, samples.size()))
        return session.error(DataOutOfRange, "the number of samples must be a power of two up "
                                             "to 262144: " +
                                                 std::to_string(length) + " is not");
    TWaveSettings& w = card.channel(channel).Wave;
    const TArbWave before = w.Arb;
    const bool flag = w.ArbitraryFlag;
    w.Arb.Data = std::move(samples);
    w.Arb.WaveLength = length;
    w.Arb.ArbFile.clear(); // from no file
    w.ArbitraryFlag = true;
    OperationWatch watch(session, card);
    if (watch.report(LoadWaveform(card, channel, watch))) {
        TWaveSettings& now = card.channel(channel).Wave;
        now.Arb = before;
        now.ArbitraryFlag = flag;
    }
}

} // namespace

void AddWaveCommands(Session& session, std::function<Card*()> card) {
    auto swapped = std::make_shared<bool>(false); // this client's byte order
    session.add("FORMat:BORDer", false, 1, [&session, swapped](const Unit& u, int, auto&) {
        const Parameter& p = u.parameters.front();
        const bool word = p.kind == Parameter::Kind::Word;
        if (word && MnemonicIs(p.text, "NORMAL", "NORM"))
            *swapped = false;
        else if (word && MnemonicIs(p.text, "SWAPPED", "SWAP"))
            *swapped = true;
        else
            session.error(IllegalValue, "NORMal or SWAPped");
    });
    session.add("FORMat:BORDer", true, 0,
                [swapped](const Unit&, int, auto& a) { a.push_back(*swapped ? "SWAP" : "NORM"); });
    session.add("[SOURce#:]DATA[:DAC]", false, Session::kList,
                [&session, card, swapped](const Unit& u, int channel, auto&) {
                    Card* c = OpenCardOf(session, card);
                    if (!c)
                        return;
                    std::vector<double> samples;
                    std::string why;
                    const bool block = u.parameters.size() == 1 &&
                                       u.parameters.front().kind == Parameter::Kind::Block;
                    const Error e =
                        block ? BlockSamples(u.parameters.front().bytes, *swapped, samples, why)
                              : ListSamples(u.parameters, samples, why);
                    if (e != NoError)
                        return session.error(e, why);
                    LoadSamples(session, *c, channel, std::move(samples));
                });
}

} // namespace scpi
