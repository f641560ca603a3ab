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

void AddWaveCommands(CommandSet& commands, std::function<Card*()> card) {
    commands.add(
        "FORMat:BORDer", false, 1,
        [](Session& session, const Unit& u, int, auto&) {
            const Parameter& p = u.parameters.front();
            const bool word = p.kind == Parameter::Kind::Word;
            if (word && MnemonicIs(p.text, "NORMAL", "NORM"))
                session.setSwapped(false);
            else if (word && MnemonicIs(p.text, "SWAPPED", "SWAP"))
                session.setSwapped(true);
            else
                session.error(IllegalValue, "NORMal or SWAPped");
        },
        Reach::Session);
    commands.add("FORMat:BORDer", true, 0, [](Session& session, const Unit&, int, auto& a) {
        a.push_back(session.swapped() ? "SWAP" : "NORM");
    });
    // The channel's samples as a block, in the link's byte order.
    commands.add(
        "[SOURce#:]DATA[:DAC]", true, 0,
        [card](Session& session, const Unit&, int channel, auto& a) {
            Card* c = card();
            if (!c)
                return session.error(ExecutionError, "no card is open");
            const TArbWave& arb = c->channel(channel).Wave.Arb;
            if (arb.WaveLength <= 0)
                return session.error(SettingsConflict, "the channel holds no arbitrary waveform");
            a.push_back(DefiniteBlock(
                SampleBytes(arb.Data, static_cast<size_t>(arb.WaveLength), session.swapped())));
        });
    commands.add("[SOURce#:]DATA[:DAC]", false, Session::kList,
                 [card](Session& session, const Unit& u, int channel, auto&) {
                     Card* c = OpenCardOf(session, card);
                     if (!c)
                         return;
                     std::vector<double> samples;
                     std::string why;
                     if (const Error e = WaveSamples(u.parameters, session.swapped(), samples, why);
                         e != NoError)
                         return session.error(e, why);
                     LoadSamples(session, *c, channel, std::move(samples));
                 });
}

} // namespace scpi
