// What the card's command groups share: the card in use, and what an
// operation run for a client met, reported as one SCPI error.
#pragma once

#include <functional>
#include <string>

#include "OperationLog.h"
#include "Operations.h"
#include "ScpiSession.h"

namespace scpi {

// SCPI's answer for a value not known.
inline const char* const kNotKnown = "9.91E37";

// The card in use, or nothing (an execution error then says so).
inline Card* OpenCardOf(Session& session, const std::function<Card*()>& card) {
    Card* c = card();
    if (c && c->session() != 0)
        return c;
    session.error(ExecutionError, "no card is open");
    return nullptr;
}

// Watches an operation run for a client: the card's first refusal (its
// status and its driver's words) and the operation's messages, which no one
// can answer remotely (a question is answered Abort). report() gives the
// client one execution error for all of it.
class OperationWatch final : public OperatorUi {
public:
    // `hidden`: a folder's path, left out of the messages the client reads.
    OperationWatch(Session& session, Card& card, std::string hidden = {})
        : session_(session), card_(card), hidden_(std::move(hidden)) {
        key_ = card.link().addObserver([this](const CommandOutcome& o) {
            if (o.status == 0 || !refused_.empty())
                return;
            refused_ = StatusHex(o.status) + " " + o.errorText;
        });
    }
    ~OperationWatch() override { card_.link().removeObserver(key_); }
    OperationWatch(const OperationWatch&) = delete;
    OperationWatch& operator=(const OperationWatch&) = delete;

    void error(const std::string& text) override { note(text); }
    void warning(const std::string&) override {} // the operation went on
    void information(const std::string& text) override { note(text); }
    bool confirm(const std::string& text) override {
        note(text + " (answered Abort: no one can answer remotely)");
        return false;
    }

    bool failed() const { return !refused_.empty() || !message_.empty(); }
    // One execution error when the card refused or the operation said why it
    // stopped; `failedStatus` counts as a refusal without words.
    bool report(ViStatus failedStatus = 0) {
        std::string text = refused_;
        if (!message_.empty())
            text += (text.empty() ? "" : "; ") + message_;
        if (text.empty() && failedStatus != 0)
            text = "refused";
        if (!text.empty())
            session_.error(ExecutionError, text);
        return !text.empty();
    }

private:
    void note(std::string text) {
        for (char& c : text)
            if (c == '\r' || c == '\n')
                c = ' ';
        for (size_t at; !hidden_.empty() && (at = text.find(hidden_)) != std::string::npos;)
            text.erase(at, hidden_.size());
        if (message_.empty())
            message_ = text;
    }
    Session& session_;
    Card& card_;
    int key_ = 0;
    std::string hidden_, refused_, message_;
};

// The card's waveform commands: DATA[:DAC] and FORMat:BORDer.
void AddWaveCommands(CommandSet& commands, std::function<Card*()> card);

} // namespace scpi
