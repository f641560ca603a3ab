#include "ScpiDevice.h"

#include <algorithm>
#include <optional>

#include "CardCommands.h"
#include "FileCommands.h"

ScpiDevice::ScpiDevice(std::function<Card*()> card, std::function<scpi::Identity()> identity,
                       QObject* parent)
    : QObject(parent), card_(std::move(card)), identity_(std::move(identity)) {
    scpi::Session::AddCommonCommands(commands_);
    scpi::AddCardCommands(commands_, card_);
    scpi::AddFileCommands(commands_, card_, [this] { return folder_; });
    // SYSTem:RWLock locks the front panel out for this link; SYSTem:LOCal
    // and SYSTem:REMote give it back (remote commands go on being taken).
    commands_.add("SYSTem:RWLock", false, 0,
                  [this](scpi::Session& link, const scpi::Unit&, int, auto&) { setLock(&link); });
    for (const char* header : {"SYSTem:LOCal", "SYSTem:REMote"})
        commands_.add(header, false, 0,
                      [this](scpi::Session&, const scpi::Unit&, int, auto&) { setLock(nullptr); });
}

ScpiDevice::~ScpiDevice() = default;

std::unique_ptr<scpi::Session> ScpiDevice::openLink(const QString& name) {
    auto session = std::make_unique<scpi::Session>(commands_, identity_);
    links_.push_back({session.get(), name});
    return session;
}

void ScpiDevice::closeLink(const scpi::Session& link) {
    std::erase_if(links_, [&link](const Link& l) { return l.session == &link; });
    if (lockHolder_ == &link)
        setLock(nullptr); // a link that leaves gives the front panel back
}

std::string ScpiDevice::run(scpi::Session& link, std::string_view message) {
    std::optional<Card::Operation> operation;
    if (Card* card = card_())
        operation.emplace(*card, this);
    return link.handle(message);
}

QString ScpiDevice::lockHolderName() const {
    for (const Link& l : links_)
        if (l.session == lockHolder_)
            return l.name;
    return QString();
}

void ScpiDevice::setLock(const scpi::Session* holder) {
    if (holder == lockHolder_)
        return;
    lockHolder_ = holder;
    emit lockChanged();
}
