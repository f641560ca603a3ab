// One client's conversation in SCPI: its error queue, its status registers
// (IEEE 488.2's standard event status and status byte) and the commands it
// may send, each run as its line arrives. The commands that change the card
// come with the card's command table; these are IEEE 488.2's common commands
// and SCPI's SYSTem:ERRor and SYSTem:VERSion.
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

    explicit Session(std::function<Identity()> identity);

    // One program message (a line without its LF): the answer to send (the
    // queries' answers joined by ';', without the LF), empty when none.
    std::string handle(std::string_view line);

    // An error for SYSTem:ERRor?, with the event bit of its class; the text
    // after the standard one (";" and what it concerns) is optional.
    void error(int code, const std::string& detail = {});

    // The status byte: error queue not empty (bit 2), a standard event the
    // enable register lets through (bit 5), a service request (bit 6).
    uint8_t statusByte() const;

    // A command of the table: its header pattern, whether it is the query,
    // how many parameters a setter takes (or kOptional: none or one;
    // kList: one or more); its handler gets the unit, the header's numeric
    // suffix (1..3, 1 when none) and the answers to add to.
    static constexpr int kOptional = -1, kList = -2;
    using Handler = std::function<void(const Unit&, int suffix, std::vector<std::string>& answers)>;
    void add(const char* header, bool query, int parameters, Handler run);
    // A common command ("RST" for *RST).
    void addCommon(const char* name, bool query, int parameters, Handler run);

private:
    struct Command {
        std::string common; // a common command's name ("IDN"); empty for a header
        Pattern header;
        bool query;
        int parameters; // how many a setter takes (a query none)
        Handler run;
    };
    bool matches(const Command& c, const Unit& u, int& suffix, Error& suffixError) const;
    // A register's new value from the unit's one number (0..255).
    bool registerValue(const Unit& u, uint8_t& value);
    void run(const Unit& u, std::vector<std::string>& answers);

    std::function<Identity()> identity_;
    std::vector<Command> commands_;
    std::deque<std::pair<int, std::string>> errors_;
    uint8_t events_ = 0, eventEnable_ = 0, serviceEnable_ = 0;
};

} // namespace scpi
