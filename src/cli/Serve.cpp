#include "Serve.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <csignal>
#include <unistd.h>

#include "CardCommands.h"
#include "LineOutput.h"
#include "LxiWebServer.h"
#include "RunSteps.h"
#include "ScpiDevice.h"

namespace {

// SIGINT and SIGTERM reach the event loop through a pipe: a handler may only write.
int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(stopPipe[1], &byte, 1);
}

// Handlers of SIGINT and SIGTERM while it lives, the previous ones after.
class StopSignals {
public:
    StopSignals() {
        if (pipe(stopPipe) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
        // A closed output or client is an error of its write, not the end.
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &oldPipe_);
        notifier_ = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                         [] { QCoreApplication::quit(); });
    }
    ~StopSignals() {
        notifier_.reset();
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
        sigaction(SIGPIPE, &oldPipe_, nullptr);
        for (int& fd : stopPipe)
            if (fd >= 0) {
                ::close(fd);
                fd = -1;
            }
    }

private:
    struct sigaction oldInt_ = {}, oldTerm_ = {}, oldPipe_ = {};
    std::unique_ptr<QSocketNotifier> notifier_;
};

// Each address's resource strings, with what serves each.
void PrintResources(LineOutput& lines, const QList<TransportResource>& resources) {
    for (const TransportResource& r : resources)
        lines.print("  " + r.string.toStdString() +
                    (r.note.isEmpty() ? std::string() : " (" + r.note.toStdString() + ")"));
}

// What clients of `transport` cannot do now, on `err`.
void SayProblem(const Transport& transport, std::FILE* err) {
    if (const QString problem = transport.problem(); !problem.isEmpty()) {
        std::fprintf(err, "%s\n", qPrintable(problem));
        std::fflush(err);
    }
}

// A transport that can be reached again, or not any more: said, its strings printed.
void FollowReach(Serving& serving, LineOutput& lines, std::FILE* err) {
    QObject::connect(&serving, &Serving::reachChanged, [&, err](const Transport& t) {
        if (!t.problem().isEmpty())
            return SayProblem(t, err);
        if (t.reachedAgain().isEmpty())
            return;
        lines.print(t.reachedAgain().toStdString());
        for (const QString& host : serving.hosts())
            PrintResources(lines, t.resources(host));
    });
}

// Starts serving; false, said on `err`, when any transport chosen cannot listen.
bool Start(Serving& serving, const std::string& address, const ServeOptions& o, std::FILE* err) {
    QString problem;
    const bool unknown = std::any_of(o.addresses.begin(), o.addresses.end(),
                                     [](const QHostAddress& a) { return a.isNull(); });
    if (unknown || !serving.start(o, problem)) {
        std::fprintf(err, "Cannot listen on %s:%d: %s\n", address.c_str(),
                     o.transports.value("raw"), unknown ? "no such address" : qPrintable(problem));
        return false;
    }
    if (!serving.failures().empty()) {
        const Serving::Failure& f = serving.failures().front();
        std::fprintf(err, "Cannot serve %s on %s:%d: %s\n", qPrintable(f.kind->title),
                     address.c_str(), f.port, qPrintable(f.problem));
        serving.stop();
        return false;
    }
    return true;
}

// What is secured and who may change the card, said at the start.
void SayAccess(const Serving& serving, const ServeOptions& o, std::FILE* err) {
    if (o.secure)
        std::fprintf(
            err,
            "Secure mode: only HiSLIP with TLS and HTTPS are served, to clients that "
            "authenticate%s%s.\n",
            serving.leftOff().isEmpty() ? "" : "; off: ", qPrintable(serving.leftOff().join(", ")));
    if (const TlsIdentity* tls = serving.tls())
        std::fprintf(err, "TLS certificate: %s (%s%s; public key %s)\n",
                     qPrintable(tls->certificateFile), qPrintable(tls->fingerprint),
                     tls->selfSigned ? ", made by the program: clients pin it" : "",
                     qPrintable(tls->publicKeyPin));
    if (serving.signInRequired())
        std::fprintf(err,
                     "Changing the card asks for a user signed in over HiSLIP's secure "
                     "connection or on the web front panel (users in %s); other clients may "
                     "%s.\n",
                     qPrintable(o.users),
                     o.queriesOpen ? "only ask it" : "neither change nor ask it");
    std::fflush(err);
}

// Each sign-in, and each failure with the count since the start.
void FollowSignIns(Serving& serving, LineOutput& lines) {
    QObject::connect(
        &serving, &Serving::signInAttempted,
        [&serving, &lines](const QString& peer, const QString& transport, const QString& user,
                           const QString& why) {
            const QString who = user.isEmpty() ? QString("nobody") : user;
            lines.print(
                why.isEmpty()
                    ? QString("Signed in: %1 from %2 (%3)").arg(who, peer, transport).toStdString()
                    : QString("Sign-in failed: %1 from %2 (%3): %4 (%5 "
                              "failed since the start)")
                          .arg(who, peer, transport, why)
                          .arg(serving.failedSignIns())
                          .toStdString());
        });
}

} // namespace

int RunServe(const std::string& resource, const std::string& address, ServeOptions o,
             std::FILE* out, std::FILE* err) {
    if (!BindForCommandLine(err))
        return 1;
    Card card;
    std::string model;
    const std::string found = FindCard(resource, err, &model);
    if (found.empty() || !OpenForCommandLine(found, card, err, ModelNamed(model))) {
        Release(card);
        return 1;
    }
    card.resetRecord(); // the window's defaults, sent by nothing
    card.record().Resource = found;
    ScpiDevice device([&card] { return &card; }, [&card] { return scpi::IdentityOf(card); });
    Serving serving(device, card);
    o.addresses.clear();
    for (const QString& a : QString::fromStdString(address).split(','))
        o.addresses << QHostAddress(a.trimmed());
    if (!Start(serving, address, o, err)) {
        Release(card);
        return 1;
    }
    const bool beyond = std::any_of(o.addresses.begin(), o.addresses.end(),
                                    [](const QHostAddress& a) { return !a.isLoopback(); });
    if (beyond && o.allow.empty() && !serving.signInRequired())
        std::fprintf(err,
                     "Warning: listening on %s: anyone who can reach port %d controls the card.\n",
                     address.c_str(), serving.port("raw"));
    else if (beyond && !o.allow.empty())
        std::fprintf(err, "Listening on %s: only %s are let in.\n", address.c_str(),
                     qPrintable(o.allow.text()));
    // Said once where it cannot be announced; served all the same.
    if (o.mdns && !serving.announced())
        std::fprintf(err,
                     "mDNS: %s, so the card is not announced on the network; it is served "
                     "all the same.\n",
                     qPrintable(serving.announceProblem()));
    for (const TransportKind& kind : Transports())
        if (const Transport* t = serving.transport(kind.key))
            SayProblem(*t, err);
    SayAccess(serving, o, err);
    // The server's own lines never hold up its clients, whatever reads them.
    std::fflush(out);
    LineOutput lines(fileno(out));
    QObject::connect(&serving, &Serving::clientCame, [&lines](const QString& client) {
        lines.print("Client " + client.toStdString() + " connected");
    });
    QObject::connect(&serving, &Serving::clientLeft, [&lines](const QString& client) {
        lines.print("Client " + client.toStdString() + " disconnected");
    });
    QObject::connect(
        &serving, &Serving::clientRefused,
        [&lines](const QString& peer, const QString& transport, const QString& why) {
            lines.print(QString("Refused %1 (%2): %3").arg(peer, transport, why).toStdString());
        });
    FollowReach(serving, lines, err);
    FollowSignIns(serving, lines);
    QObject::connect(&serving, &Serving::identifyAsked, [&lines, &found](const QString& who) {
        lines.print("Identify: " + who.toStdString() + " asks " + found + " to show itself");
    });
    const StopSignals stopping;
    const quint16 first = serving.port("raw") ? serving.port("raw") : serving.port("hislip");
    lines.print("Listening on " + ResourceHost(o.addresses.front().toString()).toStdString() + ":" +
                std::to_string(first) + " for " + found);
    PrintResources(lines, serving.resources());
    QCoreApplication::exec();
    serving.stop();
    Release(card);
    lines.finish("Stopped: " + found + " closed, its outputs as they were.",
                 std::chrono::seconds(2), fileno(err));
    return 0;
}
