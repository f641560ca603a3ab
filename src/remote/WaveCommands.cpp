// Arbitrary waveforms from a client: [SOURce#:]DATA[:DAC] takes the samples
// as a definite-length block of signed 16-bit values (FORMat:BORDer gives
// their byte order) or as a list of values in percent, and loads them into
// the channel's wave memory as the arbitrary page's Update does.
#include <memory>

#include "CommandHelpers.h"
#include "WaveLoad.h"
#include "WaveSamples.h"

namespace scpi {

namespace {

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
                    if (const Error e = WaveSamples(u.parameters, *swapped, samples, why);
                        e != NoError)
                        return session.error(e, why);
                    LoadSamples(session, *c, channel, std::move(samples));
                });
}

} // namespace scpi
