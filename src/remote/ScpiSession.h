// One link's conversation in SCPI: its error queue, its status registers
// (IEEE 488.2's standard event status and status byte) and its byte order,
// each program message run as it arrives against its device's commands. The
// commands are declared once per device (CommandSet) and shared by every
// link; IEEE 488.2's common commands and SCPI's SYSTem:ERRor and
// SYSTem:VERSion are the session's own (Session::AddCommonCommands).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ScpiParser.h"

namespace scpi {

// What *IDN? says: maker, model, serial number (the card id), version.
struct Identity {
    std::string maker, model, serial, version;
};

class Session;

// A command's handler: the link's session, the unit, the header's numeric
// suffix (1 when none) and the answers to add to.
using Handler = std::function<void(Session&, const Unit&, int suffix, std::vector<std::string>&)>;

// What a command that is no query acts on: the device (the card, its files,
// the front panel's lock), or only the link's own session (its registers,
// its byte order).
enum class Reach { Device, Session };

// The commands of a device, tried in the order they were added: a header
// pattern or a common command's name, whether it is the query, and how many
// parameters it takes (or kOptional: none or one; kList: one or more).
class CommandSet {
public:
    static constexpr int kOptional = -1, kList = -2;
    void add(const char* header, bool query, int parameters, Handler run,
             Reach reach = Reach::Device);
    // A common command ("RST" for *RST).
    void addCommon(const char* name, bool query, int parameters, Handler run,
                   Reach reach = Reach::Device);

    struct Command {
        std::string common; // a common command's name ("IDN"); empty for a header
        std::string text;   // the header as declared ("*IDN", "SYSTem:ERRor[:NEXT]")
        Pattern header;
        bool query;
        int parameters; // how many it takes
        Handler run;
        Reach reach;
    };
    const std::vector<Command>& commands() const { return commands_; }

private:
    std::vector<Command> commands_;
};

class Session {
public:
    // The standard event status register's bits.
    enum Event : uint8_t {
        OperationComplete = 0x01,
        QueryError = 0x04,
        DeviceError = 0x08,
        ExecutionError = 0x10,
        CommandErrorBit = 0x20,
    };
    static constexpr size_t kQueueLength = 20;
    static constexpr int kOptional = CommandSet::kOptional, kList = CommandSet::kList;

    // `commands` outlive the session.
    Session(const CommandSet& commands, std::function<Identity()> identity);
    // IEEE 488.2's common commands, SYSTem:ERRor and SYSTem:VERSion.
    static void AddCommonCommands(CommandSet& commands);

    // One program message (a line without its LF): the answer to send (the
    // queries' answers joined by ';', without the LF), empty when none.
    std::string handle(std::string_view line);

    // An error for SYSTem:ERRor?, with the event bit of its class; the text
    // after the standard one (";" and what it concerns) is optional.
    void error(int code, const std::string& detail = {});

    // The status byte: error queue not empty (bit 2), a message available
    // (bit 4: an answer the transport holds unread), a standard event the
    // enable register lets through (bit 5), a service request (bit 6).
    uint8_t statusByte(bool messageAvailable = false) const;

    // What keeps this link from a command on the device (a lock another
    // holds, a sign-in it lacks), asked before each one with whether it only
    // asks (a query): empty when nothing does; otherwise the command is
    // refused with -203 and this text ("locked by 127.0.0.1:50122").
    void setGuard(std::function<std::string(bool query)> guard) { guard_ = std::move(guard); }

    // The byte order of binary blocks (FORMat:BORDer): swapped is the least
    // significant byte first.
    bool swapped() const { return swapped_; }
    void setSwapped(bool swapped) { swapped_ = swapped; }

private:
    bool matches(const CommandSet::Command& c, const Unit& u, int& suffix,
                 Error& suffixError) const;
    // A register's new value from the unit's one number (0..255).
    bool registerValue(const Unit& u, uint8_t& value);
    void run(const Unit& u, std::vector<std::string>& answers);

    const CommandSet& commands_;
    std::function<Identity()> identity_;
    std::function<std::string(bool query)> guard_;
    std::deque<std::pair<int, std::string>> errors_;
    uint8_t events_ = 0, eventEnable_ = 0, serviceEnable_ = 0;
    bool swapped_ = false;
};

} // namespace scpi
