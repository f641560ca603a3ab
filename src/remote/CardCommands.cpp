#include "CardCommands.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "CommandHelpers.h"
#include "Steps.h"
#include "WaveLoad.h"

namespace scpi {

namespace {

// The words of a setting, each as its long form and its short form (the
// upper case letters): "SINusoid" -> SINUSOID, SIN.
// "A|B|C" as its alternatives.
std::vector<std::string_view> Alternatives(std::string_view list) {
    std::vector<std::string_view> parts;
    while (!list.empty()) {
        const size_t bar = list.find('|');
        parts.push_back(list.substr(0, bar));
        list = bar == std::string_view::npos ? std::string_view() : list.substr(bar + 1);
    }
    return parts;
}

std::vector<std::pair<std::string, std::string>> Words(const char* list) {
    std::vector<std::pair<std::string, std::string>> words;
    for (std::string_view word : Alternatives(list))
        words.push_back(MnemonicForms(word));
    return words;
}

bool IsFlag(const SettingRange& r) {
    return r.minimum == 0 && r.maximum == 1 && r.resolution == 1;
}

// The parameter as a value in the setting's record unit; an error otherwise.
Error ValueOf(const ScpiName& name, const Parameter& p, double& value) {
    const SettingRange& r = *name.setting;
    if (p.kind == Parameter::Kind::String)
        return StringNotAllowed;
    if (p.kind == Parameter::Kind::Block)
        return ParameterError;
    if (p.kind == Parameter::Kind::Number) {
        if (!p.unit.empty() && p.unit != name.unit)
            return InvalidSuffix;
        // A boolean's number is rounded: any but 0 is ON (SCPI-99).
        if (IsFlag(r) && Words(name.words).empty()) {
            value = std::round(p.number) != 0 ? 1 : 0;
            return NoError;
        }
        // Rounded to what the setting holds (whole hertz, 0.01 V, whole
        // dB): the query, the window and a saved file then agree.
        value = AtResolution(r, p.number * name.shownPerUnit) / r.scale;
        return NoError;
    }
    const auto words = Words(name.words);
    for (size_t k = 0; k < words.size(); ++k)
        if (MnemonicIs(p.text, words[k].first, words[k].second) ||
            (words[k].second == "CW" && MnemonicIs(p.text, "FIXED", "FIX"))) { // SCPI's other name
            value = static_cast<double>(k);
            return NoError;
        }
    if (words.empty() && IsFlag(r) && (p.text == "ON" || p.text == "OFF")) {
        value = p.text == "ON" ? 1 : 0;
        return NoError;
    }
    if (p.text == "MIN" || p.text == "MINIMUM" || p.text == "MAX" || p.text == "MAXIMUM") {
        value = (p.text.compare(0, 3, "MIN") == 0 ? r.minimum : r.maximum) / r.scale;
        return NoError;
    }
    if (p.text == "DEF" || p.text == "DEFAULT") {
        value = std::isnan(r.recordDefault) ? 0 : r.recordDefault;
        return NoError;
    }
    return IllegalValue;
}

// What the card accepted, as the query answers it.
std::string Answer(const ScpiName& name, std::optional<double> held) {
    if (!held)
        return kNotKnown;
    const auto words = Words(name.words);
    const double k = std::round(*held);
    if (!words.empty() && k == *held && k >= 0 && k < static_cast<double>(words.size()))
        return words[static_cast<size_t>(k)].second;
    char text[40];
    std::snprintf(text, sizeof text, "%.12G", *held * name.setting->scale / name.shownPerUnit);
    return text;
}

// A numeric query's MIN, MAX or DEF: the setting's limit or default as the
// query answers it; an error for any other parameter, or for a setting of words.
Error LimitAnswer(const ScpiName& name, const Parameter& p, std::string& answer) {
    const SettingRange& r = *name.setting;
    if (p.kind != Parameter::Kind::Word || !Words(name.words).empty())
        return p.kind == Parameter::Kind::String ? StringNotAllowed : IllegalValue;
    if (p.text == "MIN" || p.text == "MINIMUM")
        answer = Answer(name, r.minimum / r.scale);
    else if (p.text == "MAX" || p.text == "MAXIMUM")
        answer = Answer(name, r.maximum / r.scale);
    else if (p.text == "DEF" || p.text == "DEFAULT")
        answer = Answer(name, std::isnan(r.recordDefault) ? 0 : r.recordDefault);
    else
        return IllegalValue;
    return NoError;
}

std::optional<double> Held(Card& card, int channel, const SettingRange& r) {
    return AcceptedValue(card.accepted().Channel[static_cast<size_t>(channel)], r);
}

const ScpiName& NameOf(const SettingRange& setting) {
    for (const ScpiName& name : ScpiNames())
        if (name.setting == &setting)
            return name;
    std::abort(); // every setting a command names has a SCPI name
}

// Whether the channel plays the waveform loaded into its wave memory.
bool PlaysLoaded(const TAcceptedChannel& a) {
    return a.Loaded && !a.Generated;
}

// A setter of one setting: the parameter checked, then the setting sent alone.
void SetOne(Session& session, const ScpiName& name, Card& card, int suffix, const Parameter& p) {
    const SettingRange& r = *name.setting;
    double value = 0;
    if (const Error e = ValueOf(name, p, value); e != NoError)
        return session.error(e);
    const int channel = r.cardWide ? 1 : suffix;
    // A generator setting while the channel plays its arbitrary waveform
    // would replace that waveform: the shape is changed first, on purpose.
    if ((r.step == Step::Generator || r.step == Step::Sweep) && &r != &Setting("_Wave/WaveType") &&
        PlaysLoaded(card.accepted().Channel[static_cast<size_t>(channel)]))
        return session.error(SettingsConflict, "the channel plays its arbitrary waveform: send "
                                               "FUNCtion SIN, TRI or SQU, or APPLy, first");
    OperationWatch watch(session, card);
    std::string problem;
    const ViStatus status = ApplySetting(card, channel, r, value, problem);
    if (!problem.empty())
        session.error(DataOutOfRange, problem);
    else
        watch.report(status);
}

void AddSetting(CommandSet& commands, const ScpiName& name, const std::string& header,
                std::function<Card*()> card) {
    commands.add(
        header.c_str(), false, 1,
        [&name, card](Session& session, const Unit& u, int suffix, std::vector<std::string>&) {
            if (Card* c = OpenCardOf(session, card))
                SetOne(session, name, *c, suffix, u.parameters.front());
        });
    commands.add(
        header.c_str(), true, Session::kOptional,
        [&name, card](Session& session, const Unit& u, int suffix, std::vector<std::string>& a) {
            if (!u.parameters.empty()) { // MIN, MAX or DEF: no card needed
                std::string limit;
                if (const Error e = LimitAnswer(name, u.parameters.front(), limit); e != NoError)
                    return session.error(e, "MIN, MAX or DEF");
                return a.push_back(limit);
            }
            const SettingRange& r = *name.setting;
            if (Card* c = OpenCardOf(session, card))
                a.push_back(Answer(name, Held(*c, r.cardWide ? 1 : suffix, r)));
        });
}

// FUNCtion USER: the channel's samples played from wave memory; nothing is
// sent when the card plays those very samples already.
void PlayUser(Session& session, Card& card, int channel) {
    TWaveSettings& w = card.channel(channel).Wave;
    const TArbWave& arb = w.Arb;
    if (arb.WaveLength <= 0)
        return session.error(SettingsConflict,
                             "the channel holds no arbitrary waveform: send DATA first");
    if (const char* problem = WaveLengthProblem(arb.WaveLength, arb.Data.size()))
        return session.error(SettingsConflict, problem);
    const TAcceptedChannel& a = card.accepted().Channel[static_cast<size_t>(channel)];
    const bool flag = w.ArbitraryFlag;
    w.ArbitraryFlag = true;
    if (PlaysLoaded(a) && a.Loaded->Length == arb.WaveLength &&
        a.Loaded->Checksum == arb.Data.checksum(arb.WaveLength))
        return;
    OperationWatch watch(session, card);
    if (watch.report(LoadWaveform(card, channel, watch)))
        card.channel(channel).Wave.ArbitraryFlag = flag;
}

void AddShape(CommandSet& commands, std::function<Card*()> card) {
    const ScpiName& name = NameOf(Setting("_Wave/WaveType"));
    commands.add(
        name.headers, false, 1,
        [&name, card](Session& session, const Unit& u, int channel, std::vector<std::string>&) {
            Card* c = OpenCardOf(session, card);
            if (!c)
                return;
            const Parameter& p = u.parameters.front();
            if (p.kind == Parameter::Kind::Word && p.text == "USER")
                return PlayUser(session, *c, channel);
            SetOne(session, name, *c, channel, p);
        });
    commands.add(
        name.headers, true, 0,
        [&name, card](Session& session, const Unit&, int channel, std::vector<std::string>& a) {
            Card* c = OpenCardOf(session, card);
            if (!c)
                return;
            const TAcceptedChannel& held = c->accepted().Channel[channel];
            a.push_back(PlaysLoaded(held) ? std::string("USER")
                                          : Answer(name, Held(*c, channel, *name.setting)));
        });
}

// A switch of a channel that is no setting of the table: the output, the
// offset's power, the software FSK level. `send` changes it; `held` reads
// what the card accepted. Its words: ON and OFF (1 and 0), or its own.
struct SwitchWords {
    const char *on = "ON", *off = "OFF"; // as written: the answer is the short form
};

void AddSwitch(CommandSet& commands, const char* header, std::function<Card*()> card,
               std::function<ViStatus(Session&, Card&, int, bool)> send,
               std::function<std::optional<bool>(const TAcceptedChannel&)> held,
               SwitchWords words = {}) {
    const bool onOff = std::string_view(words.on) == "ON";
    const auto on = MnemonicForms(words.on), off = MnemonicForms(words.off);
    commands.add(
        header, false, 1,
        [card, send, words, onOff, on, off](Session& session, const Unit& u, int channel, auto&) {
            Card* c = OpenCardOf(session, card);
            if (!c)
                return;
            const Parameter& p = u.parameters.front();
            const bool word = p.kind == Parameter::Kind::Word;
            const bool isOn = word && MnemonicIs(p.text, on.first, on.second);
            const bool isOff = word && MnemonicIs(p.text, off.first, off.second);
            // A number is rounded: any but 0 is ON (SCPI-99).
            const bool number = onOff && p.kind == Parameter::Kind::Number && p.unit.empty();
            if (!number && !isOn && !isOff)
                return session.error(IllegalValue,
                                     onOff ? std::string("ON, OFF, 1 or 0")
                                           : std::string(words.on) + " or " + words.off);
            OperationWatch watch(session, *c);
            watch.report(send(session, *c, channel, word ? isOn : std::round(p.number) != 0));
        });
    commands.add(header, true, 0,
                 [card, held, onOff, on, off](Session& session, const Unit&, int channel, auto& a) {
                     Card* c = OpenCardOf(session, card);
                     if (!c)
                         return;
                     const std::optional<bool> value = held(c->accepted().Channel[channel]);
                     if (!value)
                         a.push_back(kNotKnown);
                     else if (onOff)
                         a.push_back(*value ? "1" : "0");
                     else
                         a.push_back(*value ? on.second : off.second);
                 });
}

// SWEep:MODE AUTO|MANual: the sweep the channel plays, sent again.
ViStatus SendSweepMode(Session& session, Card& card, int channel, bool manual) {
    const TAcceptedChannel& a = card.accepted().Channel[static_cast<size_t>(channel)];
    const std::optional<double> sweeps =
        a.Generated ? a.Generated->value("_Wave/SweepFlag") : std::nullopt;
    if (!sweeps || *sweeps == 0) {
        session.error(SettingsConflict,
                      "the channel does not sweep: send FREQuency:MODE SWEep first");
        return VI_SUCCESS; // said already
    }
    return SetSweepManual(card, channel, manual);
}

// APPLy:SINusoid|SQUare|TRIangle [<frequency>]: the waveform Update with
// that shape at one frequency, the other settings as the card holds them.
void AddApply(CommandSet& commands, std::function<Card*()> card) {
    for (const auto& [header, shape] :
         {std::pair{"[SOURce#:]APPLy:SINusoid", 0}, std::pair{"[SOURce#:]APPLy:TRIangle", 1},
          std::pair{"[SOURce#:]APPLy:SQUare", 2}}) {
        commands.add(header, false, Session::kOptional,
                     [card, shape](Session& session, const Unit& u, int channel, auto&) {
                         Card* c = OpenCardOf(session, card);
                         if (!c)
                             return;
                         TChannelInfo draft =
                             AcceptedDraft(*c, channel, {Step::AM, Step::Generator, Step::Trigger});
                         draft.Wave.WaveType = shape;
                         draft.Wave.ArbitraryFlag = false;
                         draft.Wave.SweepFlag = false;
                         if (!u.parameters.empty()) {
                             const ScpiName& f = NameOf(Setting("_Wave/StartF"));
                             if (const Error e =
                                     ValueOf(f, u.parameters.front(), draft.Wave.StartF);
                                 e != NoError)
                                 return session.error(e);
                             const std::string problem =
                                 SettingProblem(*f.setting, draft.Wave.StartF * f.setting->scale);
                             if (!problem.empty())
                                 return session.error(DataOutOfRange, problem);
                         }
                         OperationWatch watch(session, *c);
                         ApplyWaveform(*c, channel, draft, false, watch);
                         watch.report();
                     });
    }
}

} // namespace

void AddCardCommands(CommandSet& commands, std::function<Card*()> card) {
    // What a card selection sends: every output off at 10 dB.
    commands.addCommon("RST", false, 0, [card](Session& session, const Unit&, int, auto&) {
        Card* c = OpenCardOf(session, card);
        if (!c)
            return;
        OperationWatch watch(session, *c);
        ResetOutputs(*c, c->channels());
        watch.report();
    });
    // A switch sent by an operation of the card, as it is.
    const auto plain = [](ViStatus (*operation)(Card&, int, bool)) {
        return [operation](Session&, Card& c, int channel, bool on) {
            return operation(c, channel, on);
        };
    };
    AddSwitch(commands, "OUTPut#[:STATe]", card, plain(SetOutput),
              [](const TAcceptedChannel& a) { return a.OutputOn; });
    AddSwitch(
        commands, "[SOURce#:]VOLTage:OFFSet:STATe", card,
        [](Session&, Card& c, int channel, bool on) {
            // The offset the card holds, or the one the window shows.
            const std::optional<TOffsetSetting>& held = c.accepted().Channel[channel].Offset;
            return SetOffsetPower(c, channel, held ? held->Volts : c.channel(channel).Wave.DCOffset,
                                  on);
        },
        [](const TAcceptedChannel& a) {
            return a.Offset ? std::optional<bool>(a.Offset->PowerOn) : std::nullopt;
        });
    AddSwitch(commands, "[SOURce#:]FSKey:LEVel", card, plain(SetFskLevel),
              [](const TAcceptedChannel& a) { return a.FSKHigh; }, {"HIGH", "LOW"});
    AddSwitch(commands, "[SOURce#:]SWEep:MODE", card, SendSweepMode,
              [](const TAcceptedChannel& a) {
                  return a.Generated && a.Generated->value("_Wave/SweepFlag").value_or(0) != 0
                             ? std::optional<bool>(a.Generated->Manual)
                             : std::nullopt;
              },
              {"MANual", "AUTO"});
    AddShape(commands, card);
    AddApply(commands, card);
    for (const ScpiName& name : ScpiNames())
        if (name.setting != &Setting("_Wave/WaveType"))
            for (std::string_view header : Alternatives(name.headers))
                AddSetting(commands, name, std::string(header), card);
    AddWaveCommands(commands, card);
}

Identity IdentityOf(const Card& card) {
    return {kCardMaker, card.model().name, std::to_string(card.identity().cardId),
            QCoreApplication::applicationVersion().toStdString()};
}

} // namespace scpi
