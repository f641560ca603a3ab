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
    // The instrument shows itself in the rack (LXI's identify): it changes
    // nothing on the card, so whoever is let in may ask for it.
    for (const char* header : {"SYSTem:IDENtify", "LXI:IDENtify[:STATe]"})
        commands_.add(
            header, false, scpi::Session::kOptional,
            [this](scpi::Session& link, const scpi::Unit& u, int, auto&) {
                const bool off = !u.parameters.empty() &&
                                 (u.parameters[0].text == "OFF" ||
                                  (u.parameters[0].kind == scpi::Parameter::Kind::Number &&
                                   u.parameters[0].number == 0));
                if (!off)
                    identify(QString::fromStdString(NameOf(link)));
            },
            scpi::Reach::Session);
}

std::string ScpiDevice::NameOf(const scpi::Session& link) const {
    const Link* l = find(link);
    return l ? l->name.toStdString() : std::string();
}

ScpiDevice::~ScpiDevice() = default;

// A link another's lock holds off is refused what would change the device,
// whatever its transport: a raw-socket client, which cannot wait for a lock,
// as much as a link of a transport that waits (it never gets this far).
std::unique_ptr<scpi::Session> ScpiDevice::openLink(const QString& name) {
    auto session = std::make_unique<scpi::Session>(commands_, identity_);
    session->setGuard([this, link = session.get()](bool query) { return refusal(*link, query); });
    links_.push_back({session.get(), name, false, false, {}, {}, false});
    return session;
}

std::string ScpiDevice::holdersOf(const scpi::Session& link) const {
    const Link* l = find(link);
    std::string names;
    for (const Link& other : links_)
        if (&other != l &&
            (other.exclusive || (other.shared && !(l && l->shared && l->key == other.key))))
            names += (names.empty() ? "" : ", ") + other.name.toStdString();
    return names;
}

std::string ScpiDevice::refusal(const scpi::Session& link, bool query) const {
    if (!query)
        if (const std::string holders = holdersOf(link); !holders.empty())
            return "locked by " + holders;
    const Link* l = find(link);
    if (!signInRequired_ || (l && l->mayChange) || (query && queriesOpen_))
        return {};
    return query ? "sign in first: only users signed in may ask the card"
                 : "sign in first: only users signed in may change the card (over HiSLIP's "
                   "secure connection)";
}

void ScpiDevice::setSignIn(bool required, bool queriesOpen) {
    signInRequired_ = required;
    queriesOpen_ = queriesOpen;
}

void ScpiDevice::signIn(const scpi::Session& link, const QString& user, bool mayChange) {
    if (Link* l = find(link)) {
        l->user = user;
        l->mayChange = mayChange;
    }
}

void ScpiDevice::signOutAllBut(const QStringList& users) {
    for (Link& l : links_)
        if (l.mayChange && !users.contains(l.user)) {
            l.user.clear();
            l.mayChange = false;
        }
}

QString ScpiDevice::userOf(const scpi::Session& link) const {
    const Link* l = find(link);
    return l ? l->user : QString();
}

void ScpiDevice::closeLink(const scpi::Session& link) {
    const bool heldLock = holdsLock(link);
    std::erase_if(links_, [&link](const Link& l) { return l.session == &link; });
    if (lockHolder_ == &link)
        setLock(nullptr); // a link that leaves gives the front panel back
    if (heldLock)
        emit accessChanged();
}

ScpiDevice::Link* ScpiDevice::find(const scpi::Session& link) {
    const auto it = std::find_if(links_.begin(), links_.end(),
                                 [&link](const Link& l) { return l.session == &link; });
    return it == links_.end() ? nullptr : &*it;
}

const ScpiDevice::Link* ScpiDevice::find(const scpi::Session& link) const {
    return const_cast<ScpiDevice*>(this)->find(link);
}

// Only when no other link holds a lock of either kind.
ScpiDevice::Grant ScpiDevice::lockExclusive(const scpi::Session& link) {
    Link* l = find(link);
    if (!l)
        return Grant::Busy;
    if (l->exclusive)
        return Grant::AlreadyHeld;
    for (const Link& other : links_)
        if (&other != l && (other.exclusive || other.shared))
            return Grant::Busy;
    l->exclusive = true;
    emit lockTaken();
    return Grant::Granted;
}

// Only when no other link holds the exclusive lock or a shared one of another key.
ScpiDevice::Grant ScpiDevice::lockShared(const scpi::Session& link, const std::string& key) {
    Link* l = find(link);
    if (!l)
        return Grant::Busy;
    if (l->shared)
        return Grant::AlreadyHeld;
    for (const Link& other : links_)
        if (&other != l && (other.exclusive || (other.shared && other.key != key)))
            return Grant::Busy;
    l->shared = true;
    l->key = key;
    emit lockTaken();
    return Grant::Granted;
}

QString ScpiDevice::lockHolders() const {
    QStringList names;
    if (lockHolder_)
        names << lockHolderName();
    for (const Link& l : links_)
        if ((l.exclusive || l.shared) && !names.contains(l.name))
            names << l.name;
    return names.join(", ");
}

bool ScpiDevice::unlockExclusive(const scpi::Session& link) {
    Link* l = find(link);
    if (!l || !l->exclusive)
        return false;
    l->exclusive = false;
    emit accessChanged();
    return true;
}

bool ScpiDevice::unlockShared(const scpi::Session& link) {
    Link* l = find(link);
    if (!l || !l->shared)
        return false;
    l->shared = false;
    l->key.clear();
    emit accessChanged();
    return true;
}

bool ScpiDevice::heldOff(const scpi::Session& link) const {
    return !holdersOf(link).empty();
}

bool ScpiDevice::holdsLock(const scpi::Session& link) const {
    const Link* l = find(link);
    return l && (l->exclusive || l->shared);
}

bool ScpiDevice::exclusivelyLocked() const {
    return std::any_of(links_.begin(), links_.end(), [](const Link& l) { return l.exclusive; });
}

int ScpiDevice::lockHolderCount() const {
    return static_cast<int>(std::count_if(links_.begin(), links_.end(),
                                          [](const Link& l) { return l.exclusive || l.shared; }));
}

std::string ScpiDevice::run(scpi::Session& link, std::string_view message) {
    std::optional<Card::Operation> operation;
    if (Card* card = card_()) {
        const Link* l = find(link);
        operation.emplace(*card, this, l ? l->name.toStdString() : std::string());
    }
    return link.handle(message);
}

std::string ScpiDevice::feed(scpi::Session& link, scpi::LineReader& reader, const char* data,
                             size_t size, bool end) {
    std::string answers;
    const auto take = [&](const char* bytes, size_t count) {
        for (size_t i = 0; i < count;) {
            size_t taken = 0;
            const auto result = reader.take(bytes + i, count - i, taken);
            i += taken;
            if (result == scpi::LineReader::Result::Refused) {
                link.error(scpi::TooMuchData, reader.refusal());
            } else if (result == scpi::LineReader::Result::Line) {
                const std::string answer = run(link, reader.line());
                if (!answer.empty())
                    answers += answer + '\n';
            }
        }
    };
    take(data, size);
    if (end && reader.midLine())
        take("\n", 1);
    return answers;
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

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_ScpiDevice.cpp"
