#include "CardCommands.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "Operations.h"
#include "Steps.h"

namespace scpi {

namespace {

// SCPI's answer for a value not known.
const char* const kNotKnown = "9.91E37";

// The card in use, or nothing (an execution error then says so).
Card* OpenCardOf(Session& session, const std::function<Card*()>& card) {
    Card* c = card();
    if (c && c->session() != 0)
        return c;
    session.error(ExecutionError, "no card is open");
    return nullptr;
}

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
        value = p.number * name.shownPerUnit / r.scale;
        return NoError;
    }
    const auto words = Words(name.words);
    for (size_t k = 0; k < words.size(); ++k)
        if (MnemonicIs(p.text, words[k].first, words[k].second)) {
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

std::optional<double> Held(Card& card, int channel, const SettingRange& r) {
    const TAcceptedChannel& a = card.accepted().Channel[static_cast<size_t>(channel)];
    if (r.step != Step::ReferenceClock)
        return AcceptedValue(a, r);
    if (!a.ClockSource)
        return std::nullopt;
    return &r == &Setting("_Clock/ExtFreq") ? a.ClockSource->ExtFreq
                                            : (a.ClockSource->External ? 1.0 : 0.0);
}

void AddSetting(Session& session, const ScpiName& name, const std::string& header,
                std::function<Card*()> card) {
    const SettingRange& r = *name.setting;
    session.add(header.c_str(), false, 1,
                [&session, &name, &r, card](const Unit& u, int suffix, std::vector<std::string>&) {
                    Card* c = OpenCardOf(session, card);
                    if (!c)
                        return;
                    double value = 0;
                    if (const Error e = ValueOf(name, u.parameters.front(), value); e != NoError)
                        return session.error(e);
                    // A refusal reported by the card: its status and its driver's words.
                    std::string refused;
                    const int key = c->link().addObserver([&](const CommandOutcome& o) {
                        if (o.status != 0 && refused.empty()) {
                            char status[16];
                            std::snprintf(status, sizeof status, "%08X",
                                          static_cast<unsigned>(o.status));
                            refused = std::string(status) + " " + o.errorText;
                        }
                    });
                    std::string problem;
                    const int channel = r.cardWide ? 1 : suffix;
                    const ViStatus status = ApplySetting(*c, channel, r, value, problem);
                    c->link().removeObserver(key);
                    if (!problem.empty())
                        session.error(DataOutOfRange, problem);
                    else if (status != 0)
                        session.error(ExecutionError, refused.empty() ? "refused" : refused);
                });
    session.add(header.c_str(), true, 0,
                [&session, &name, &r, card](const Unit&, int suffix, std::vector<std::string>& a) {
                    Card* c = OpenCardOf(session, card);
                    if (!c)
                        return;
                    a.push_back(Answer(name, Held(*c, r.cardWide ? 1 : suffix, r)));
                });
}

// A flag of a channel that is no setting of the table: the output, the
// offset's power. `send` changes it; `held` reads what the card accepted.
void AddSwitch(Session& session, const char* header, std::function<Card*()> card,
               std::function<ViStatus(Card&, int, bool)> send,
               std::function<std::optional<bool>(const TAcceptedChannel&)> held) {
    session.add(header, false, 1, [&session, card, send](const Unit& u, int channel, auto&) {
        Card* c = OpenCardOf(session, card);
        if (!c)
            return;
        const Parameter& p = u.parameters.front();
        const bool on = p.kind == Parameter::Kind::Word ? p.text == "ON" : p.number != 0;
        if ((p.kind == Parameter::Kind::Word && p.text != "ON" && p.text != "OFF") ||
            (p.kind == Parameter::Kind::Number && p.number != 0 && p.number != 1) ||
            p.kind == Parameter::Kind::String || p.kind == Parameter::Kind::Block)
            return session.error(IllegalValue, "ON, OFF, 1 or 0");
        if (send(*c, channel, on) != 0)
            session.error(ExecutionError, "refused");
    });
    session.add(header, true, 0, [&session, card, held](const Unit&, int channel, auto& a) {
        Card* c = OpenCardOf(session, card);
        if (!c)
            return;
        const std::optional<bool> on = held(c->accepted().Channel[static_cast<size_t>(channel)]);
        a.push_back(on ? (*on ? "1" : "0") : kNotKnown);
    });
}

} // namespace

void AddCardCommands(Session& session, std::function<Card*()> card) {
    // What a card selection sends: every output off at 10 dB.
    session.addCommon("RST", false, 0, [&session, card](const Unit&, int, auto&) {
        Card* c = OpenCardOf(session, card);
        if (!c)
            return;
        ResetOutputs(*c, ReadChannelCount(c->session()).value_or(kChannelCount));
    });
    AddSwitch(session, "OUTPut#[:STATe]", card, SetOutput,
              [](const TAcceptedChannel& a) { return a.OutputOn; });
    AddSwitch(
        session, "[SOURce#:]VOLTage:OFFSet:STATe", card,
        [](Card& c, int channel, bool on) {
            // The offset the card holds, or the one the window shows.
            const std::optional<TOffsetSetting>& held = c.accepted().Channel[channel].Offset;
            return SetOffsetPower(c, channel, held ? held->Volts : c.channel(channel).Wave.DCOffset,
                                  on);
        },
        [](const TAcceptedChannel& a) {
            return a.Offset ? std::optional<bool>(a.Offset->PowerOn) : std::nullopt;
        });
    for (const ScpiName& name : ScpiNames())
        for (std::string_view header : Alternatives(name.headers))
            AddSetting(session, name, std::string(header), card);
}

} // namespace scpi
