#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "Automation.h"
#include "ChannelList.h"
#include "ClientDoor.h"
#include "Credentials.h"
#include "Serve.h"
#include "Transport.h"
#include "Users.h"
#include "WindowLoader.h"

namespace {

// The options Qt itself reads from the command line; taken so that they are
// no unknown options, and left to QApplication.
void AddQtOptions(QCommandLineParser& parser) {
    for (const char* name : {"platform", "style", "stylesheet", "display", "geometry",
                             "qwindowgeometry", "qwindowtitle", "qwindowicon"}) {
        QCommandLineOption option(name, "Qt option", "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QCommandLineOption reverse("reverse", "Qt option");
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);
}

void AddAutomationOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {"apply",
         "Applies the configuration FILE to the card --resource names, without a window: "
         "opens the card with an exclusive lock (sending nothing by itself), loads FILE as "
         "File > Load Config does (a value beyond a setting's limits is held at them, and "
         "said so), then sends each listed channel in this order: clock, "
         "waveform (the output goes off and on again and the trigger follows, as Update "
         "does), attenuation, offset. The file holds no offset power state: a DCOffset other "
         "than 0 is sent with the power on, 0 with it off. Unlisted channels receive nothing. "
         "Exit status 0: every command accepted; 2: the card refused one (named on standard "
         "error; the other channels are still sent); 1: usage, file or resource error "
         "(nothing sent), or the log file could not be written.",
         "FILE"},
        {"resource",
         "The card's VISA resource name, for --apply (see --list-cards); any name VISA "
         "gives the card will do. Without it, the card the file names ([Card] Resource, "
         "which Save Config writes).",
         "NAME"},
        {"channels", "The channels --apply sends, e.g. 1,3 (default: every channel of the card).",
         "LIST"},
        {"log",
         "Writes the operation log of --apply to FILE as well, once everything was checked "
         "and before anything is sent: a regular file (replaced) or a new one; a write that "
         "fails ends the run with status 1.",
         "FILE"},
        {"quiet", "Does not print the operation log of --apply."},
        {"normalise",
         "Answers OK when a text waveform of --apply holds values outside 0..100 % (normalises "
         "it); without it such a waveform stops the run. A waveform whose length is no power "
         "of two always stops it; a file longer than the wave memory loads its first 262144 "
         "values, with a warning."},
        {"list-cards",
         "Prints the resource, model and card id of every 72-815 and 82-815 card found, "
         "by resource: a header line, then one line each, tab-separated."},
        {"json", "With --list-cards: one JSON array instead, an object per card (resource, model, "
                 "cardId, channels). With --apply: standard output holds one JSON object per "
                 "command (time, channel, command, arguments, status, driverText) and a last one "
                 "with the counts and the exit status (sent, refused, exitStatus)."},
        {"serve",
         "Serves the card --resource names in SCPI over TCP, without a window, until SIGINT "
         "or SIGTERM: opens the card with an exclusive lock (sending nothing by itself), "
         "prints \"Listening on ADDRESS:PORT for NAME\" and each client's connect and "
         "disconnect. On a stop every client is closed, then the card, then the libraries; "
         "the outputs stay as they are. Exit status 0 after a stop, 1 when the card or the "
         "port cannot be had."},
        {"listen",
         "The addresses --serve listens on, IPv4 and IPv6, separated by commas, such as "
         "127.0.0.1,::1 or 0.0.0.0,:: (default 127.0.0.1, this computer only); every server "
         "listens on each (VXI-11 on the IPv4 ones), mDNS announces the card on their "
         "interfaces. Any other than a loopback address lets whoever can reach the port "
         "control the card unless --allow or users to sign in say otherwise: said so on "
         "standard error.",
         "LIST"},
        {"add-user",
         "Adds NAME to the users who may change the card over the network (or gives it a new "
         "password), in nv815-panel/users in the configuration folder (--users FILE names "
         "another): the password is read from the terminal without echo, twice, or as one "
         "line of standard input. Only its hash is kept, in a file only its owner may read.",
         "NAME"},
        {"users",
         "The users file --add-user writes and --serve reads (default nv815-panel/users in "
         "the configuration folder). While it names a user, --serve lets only users signed "
         "in change the card: over HiSLIP's secure connection (TLS, then SASL's "
         "SCRAM-SHA-256 or PLAIN); the raw socket's and VXI-11's clients may then only ask.",
         "FILE"},
        {"queries-closed",
         "With users to sign in, --serve refuses queries too to clients not signed in (by "
         "default they may ask the card, not change it)."},
        {"anonymous",
         "--serve offers SASL's ANONYMOUS over HiSLIP's secure connection: a client signed "
         "in so may ask the card, never change it."},
        {"secure",
         "Secure mode: --serve serves only HiSLIP with TLS and HTTPS, to clients that "
         "authenticate; the raw socket, VXI-11 and plain HTTP are off (said so at the start)."},
        {"tls-cert",
         "The certificate (PEM) --serve's TLS presents, with --tls-key; without them the "
         "program's own, made at first use in the configuration folder (its fingerprint is "
         "printed).",
         "FILE"},
        {"tls-key", "The private key (PEM, not encrypted) of --tls-cert.", "FILE"},
        {"allow",
         "The clients --serve lets in, on every server (the raw socket, VXI-11's core and "
         "abort channels, HiSLIP, the web pages): addresses and networks, such as "
         "127.0.0.1,10.1.0.0/16,::1. Any other is closed at once, and said on standard "
         "output (\"Refused ADDRESS:PORT (TRANSPORT): not on the allow list\"). Without it, "
         "whoever reaches a port.",
         "LIST"},
        {"files",
         "The folder whose configuration files the clients of --serve may load and save "
         "(MMEMory:LOAD:STATe and MMEMory:STORe:STATe, by names inside it only). Without it "
         "those commands are refused.",
         "DIR"},
        {"no-mdns", "--serve announces nothing by mDNS (by default _lxi._tcp, _vxi-11._tcp, "
                    "_hislip._tcp, _scpi-raw._tcp and _http._tcp through the Avahi daemon, "
                    "where one runs)."},
    });
    // Each transport's: the one turning it off, the one giving its port.
    for (const TransportKind& kind : Transports()) {
        if (!kind.offOption.isEmpty())
            parser.addOption({kind.offOption, kind.offHelp});
        parser.addOption({kind.portOption, kind.portHelp, "N"});
    }
}

// The options of each transport (--port, --vxi11, --no-vxi11, ...).
QStringList TransportOptions(bool off, bool port) {
    QStringList names;
    for (const TransportKind& kind : Transports()) {
        if (off && !kind.offOption.isEmpty())
            names << kind.offOption;
        if (port)
            names << kind.portOption;
    }
    return names;
}

// A usage error of --serve's options, or empty.
std::string ServeProblem(const QCommandLineParser& parser) {
    for (const char* option : {"apply", "list-cards", "channels", "log", "quiet", "normalise"})
        if (parser.isSet(option))
            return QString("--serve takes no --%1.").arg(option).toStdString();
    if (!parser.isSet("resource"))
        return "--serve needs --resource.";
    for (const QString& option : TransportOptions(false, true)) {
        bool number = false;
        const int port = parser.value(option).toInt(&number);
        if (parser.isSet(option) && (!number || port < 0 || port > 65535))
            return QString("--%1 takes a %2 from 0 to 65535.")
                .arg(option, option == "port" ? "number" : "port")
                .toStdString();
    }
    for (const TransportKind& kind : Transports())
        if (!kind.offOption.isEmpty() && parser.isSet(kind.portOption) &&
            parser.isSet(kind.offOption))
            return QString("--%1 and --%2 exclude each other.")
                .arg(kind.portOption, kind.offOption)
                .toStdString();
    if (parser.isSet("files") && !QFileInfo(parser.value("files")).isDir())
        return QString("--files: '%1' is no folder.").arg(parser.value("files")).toStdString();
    if (QString error;
        parser.isSet("allow") && !clients::AllowList::Parse(parser.value("allow"), error))
        return ("--allow: " + error + ".").toStdString();
    if (parser.isSet("tls-cert") != parser.isSet("tls-key"))
        return "--tls-cert and --tls-key go together.";
    return {};
}

// A usage error of the automation options, or empty.
std::string UsageProblem(const QCommandLineParser& parser) {
    QStringList once = {"apply", "resource", "channels", "log",      "listen",
                        "files", "allow",    "users",    "tls-cert", "tls-key"};
    for (const QString& option : once + TransportOptions(false, true))
        if (parser.values(option).size() > 1)
            return QString("--%1 is given more than once.").arg(option).toStdString();
    if (parser.isSet("serve"))
        return ServeProblem(parser);
    for (const QString& option :
         QStringList{"listen", "files", "allow", "no-mdns", "queries-closed", "anonymous", "secure",
                     "tls-cert", "tls-key"} +
             TransportOptions(true, true))
        if (parser.isSet(option))
            return QString("--%1 needs --serve.").arg(option).toStdString();
    if (parser.isSet("json") && !parser.isSet("list-cards") && !parser.isSet("apply"))
        return "--json needs --list-cards or --apply.";
    if (parser.isSet("list-cards")) {
        for (const char* option : {"apply", "resource", "channels", "log", "normalise"})
            if (parser.isSet(option))
                return QString("--list-cards takes no --%1.").arg(option).toStdString();
        return {};
    }
    if (!parser.isSet("apply"))
        for (const char* option : {"resource", "channels", "log", "quiet", "normalise"})
            if (parser.isSet(option))
                return QString("--%1 needs --apply.").arg(option).toStdString();
    if (parser.isSet("channels") && !ParseChannelList(parser.value("channels").toStdString()))
        return "--channels takes channels 1 to 3, each once, such as 1,3.";
    return {};
}

// A usage error of --add-user, or empty.
std::string AddUserProblem(const QCommandLineParser& parser) {
    for (const char* option : {"apply", "list-cards", "serve", "resource", "channels", "log",
                               "quiet", "normalise", "json", "listen", "files", "allow",
                               "queries-closed", "anonymous", "secure", "tls-cert", "tls-key"})
        if (parser.isSet(option))
            return QString("--add-user takes no --%1.").arg(option).toStdString();
    if (parser.values("add-user").size() > 1)
        return "--add-user is given more than once.";
    return {};
}

// --apply, --list-cards and --serve: the status, or nothing when none is asked for.
std::optional<int> RunAutomation(const QCommandLineParser& parser, const char* program) {
    if (parser.isSet("add-user")) {
        if (const std::string problem = AddUserProblem(parser); !problem.empty()) {
            std::fprintf(stderr, "%s: %s\n", program, problem.c_str());
            return kExitUsage;
        }
        return RunAddUser(parser.value("add-user").toLocal8Bit().toStdString(),
                          parser.value("users").toLocal8Bit().toStdString(), stdout, stderr);
    }
    if (parser.isSet("users") && !parser.isSet("serve")) {
        std::fprintf(stderr, "%s: --users needs --add-user or --serve.\n", program);
        return kExitUsage;
    }
    if (const std::string problem = UsageProblem(parser); !problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, problem.c_str());
        return kExitUsage;
    }
    if (parser.isSet("list-cards"))
        return RunListCards(stdout, stderr, parser.isSet("json"));
    if (parser.isSet("serve")) {
        ServeOptions o;
        o.files = parser.value("files");
        o.mdns = !parser.isSet("no-mdns");
        o.users = parser.isSet("users") ? parser.value("users") : Credentials::DefaultFile();
        o.queriesOpen = !parser.isSet("queries-closed");
        o.anonymous = parser.isSet("anonymous");
        o.secure = parser.isSet("secure");
        o.tlsCertificate = parser.value("tls-cert");
        o.tlsKey = parser.value("tls-key");
        QString ignored;
        if (parser.isSet("allow"))
            o.allow = *clients::AllowList::Parse(parser.value("allow"), ignored);
        for (const TransportKind& kind : Transports())
            if ((kind.offOption.isEmpty() || !parser.isSet(kind.offOption)) &&
                (kind.onByDefault || parser.isSet(kind.portOption) || (o.secure && kind.secure)))
                o.transports[kind.key] = parser.isSet(kind.portOption)
                                             ? parser.value(kind.portOption).toInt()
                                         : kind.required ? kind.preferredPort
                                                         : -1;
        const std::string address =
            parser.isSet("listen") ? parser.value("listen").toStdString() : "127.0.0.1";
        return RunServe(parser.value("resource").toLocal8Bit().toStdString(), address, o, stdout,
                        stderr);
    }
    if (!parser.isSet("apply"))
        return std::nullopt;
    ApplyOptions o;
    o.file = parser.value("apply").toLocal8Bit().toStdString();
    o.resource = parser.value("resource").toLocal8Bit().toStdString();
    if (parser.isSet("channels"))
        o.channels = *ParseChannelList(parser.value("channels").toStdString());
    o.logFile = parser.value("log").toLocal8Bit().toStdString();
    o.quiet = parser.isSet("quiet");
    o.normalise = parser.isSet("normalise");
    o.json = parser.isSet("json");
    return RunApply(o, stdout, stderr);
}

// --help and --version, answered without a window; false when the program
// should not start (the exit status is then in `status`).
bool ReadCommandLine(int argc, char* argv[], int& status) {
    QCoreApplication probe(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Soft front panel for the Norvale 72-815 and 82-815 PXI function generator cards.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    AddAutomationOptions(parser);
    AddQtOptions(parser);
    if (!parser.parse(probe.arguments())) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", argv[0], qPrintable(parser.errorText()),
                     argv[0]);
        status = 1;
        return false;
    }
    if (parser.isSet("help-all"))
        parser.process(probe); // prints the help with Qt's own options and ends
    if (parser.isSet("help")) {
        std::printf("%s", qPrintable(parser.helpText()));
        status = 0;
        return false;
    }
    if (parser.isSet("version")) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        status = 0;
        return false;
    }
    if (const std::optional<int> ran = RunAutomation(parser, argv[0])) {
        std::fflush(stdout);
        status = *ran;
        return false;
    }
    // Without a display Qt would abort; say what is needed instead.
    const bool platformGiven = parser.isSet("platform") || std::getenv("QT_QPA_PLATFORM");
    if (!platformGiven && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "nv815-panel needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY "
                     "is set); to run it without one, set QT_QPA_PLATFORM=offscreen.\n");
        status = 1;
        return false;
    }
    return true;
}

// Qt needs a UTF-8 character locale and says so on standard error when it
// finds none, as where a test station starts programs with an empty
// environment or with LANG=C. Where no locale is chosen, or the C locale, the
// program takes C.UTF-8 (the C locale in UTF-8) itself, before Qt starts; any
// other locale the user chose is left as it is.
void ChooseUtf8Locale() {
    const char* chosenBy = "LC_CTYPE";
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(name); value && *value) {
            if (std::strcmp(value, "C") != 0 && std::strcmp(value, "POSIX") != 0)
                return;
            chosenBy = name;
            break;
        }
    setenv(chosenBy, "C.UTF-8", 1);
}

} // namespace

int main(int argc, char* argv[]) {
    ChooseUtf8Locale();
    QCoreApplication::setApplicationName("nv815-panel");
    QCoreApplication::setApplicationVersion("1.46");
    int status = 0;
    if (!ReadCommandLine(argc, argv, status))
        return status;
    return RunWindowModule(argc, argv);
}
