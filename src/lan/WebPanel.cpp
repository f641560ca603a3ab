#include "WebPanel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cmath>
#include <map>

#include "ChannelStatus.h"
#include "OperationLog.h"
#include "ScpiDevice.h"
#include "ScpiSession.h"
#include "WebAssets.h"
#include "WebReply.h"

namespace {

constexpr const char* kCookie = "nv815_session";

WebApp::Reply Asset(const char* type, const char* text) {
    WebApp::Reply r;
    r.type = type;
    r.body = text;
    // Nothing but the page's own files, and never inside another site's frame.
    r.headers = {{"Content-Security-Policy",
                  "default-src 'self'; connect-src 'self'; frame-ancestors 'none'; form-action "
                  "'self'"},
                 {"X-Frame-Options", "DENY"},
                 {"Referrer-Policy", "no-referrer"}};
    return r;
}

QByteArray RandomHex(int bytes) {
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(raw.data()),
                                          static_cast<qsizetype>(bytes / 4));
    return raw.toHex();
}

// The address of "192.0.2.7:40112" or "::1:40112".
QHostAddress AddressOf(const QString& peer) {
    return QHostAddress(peer.left(peer.lastIndexOf(':')));
}

// A setting's header as sent: optional parts that hold the channel kept,
// the others left out; the first of several names.
QString SentHeader(const char* headers, int channel) {
    QString h = QString::fromLatin1(headers).section('|', 0, 0);
    static const QRegularExpression optional("\\[([^\\]]*)\\]");
    QString out;
    qsizetype at = 0;
    for (auto m = optional.globalMatch(h); m.hasNext();) {
        const auto part = m.next();
        out += h.mid(at, part.capturedStart() - at);
        if (part.captured(1).contains('#'))
            out += part.captured(1);
        at = part.capturedEnd();
    }
    out += h.mid(at);
    return out.replace('#', QString::number(channel));
}

// What a setting that shows no number is called, as the window's controls
// say it; its name split into words for one not named here.
QString LabelOf(const SettingRange& r) {
    static const std::map<QString, QString> labels = {
        {"_Wave/WaveType", "Waveform"},
        {"_Wave/SweepFlag", "Frequency"},
        {"_Wave/AMFlag", "AM"},
        {"_Clock/DDSSourceExtFlag", "Reference clock"},
        {"_Clock/SweepMode", "Clock sweep"},
        {"_Wave/FSKSource", "FSK source"},
        {"_Trigger/Source", "Trigger source"},
        {"_Trigger/Mode", "Trigger mode"}};
    if (const auto it = labels.find(QString(r.key)); it != labels.end())
        return it->second;
    static const QRegularExpression words("(?<=[a-z])(?=[A-Z])");
    return QString::fromStdString(r.name()).split(words).join(' ');
}

// A setting that is on or off.
bool IsFlag(const SettingRange& r) {
    return r.minimum == 0 && r.maximum == 1 && r.resolution == 1 && !*r.unit;
}

const ScpiName* NameOf(const QString& key) {
    for (const ScpiName& n : ScpiNames())
        if (key == QLatin1String(n.setting->key))
            return &n;
    return nullptr;
}

} // namespace

WebPanel::WebPanel(ScpiDevice& device, std::shared_ptr<Access> access, QObject* parent)
    : WebApp(parent), device_(device), access_(std::move(access)), card_(device.card()),
      coalesce_(new QTimer(this)) {
    coalesce_->setSingleShot(true);
    connect(coalesce_, &QTimer::timeout, this, [this] {
        emit pushed("event: state\ndata: " +
                    QJsonDocument(stateJson()).toJson(QJsonDocument::Compact) + "\n\n");
    });
    for (auto signal :
         {&ScpiDevice::lockChanged, &ScpiDevice::accessChanged, &ScpiDevice::lockTaken})
        connect(&device_, signal, this, [this] { changed(lastWho_); });
    if (card_)
        card_->subscribe(*this);
}

WebPanel::~WebPanel() {
    if (card_)
        card_->unsubscribe(*this);
    for (auto& [id, s] : sessions_)
        device_.closeLink(*s.link);
}

bool WebPanel::handles(const QString& path) const {
    return path == "/panel" || path == "/panel.js" || path == "/panel.css" ||
           path.startsWith("/api/");
}

qsizetype WebPanel::maxBody(const QString& path) const {
    return path.startsWith("/api/wave/") ? kMaxWaveFile : kMaxForm;
}

// "/api/wave/2" -> 2, "/api/wave/2/preview" -> 2 and `preview`; 0 for anything else.
static int WaveChannelOf(const QString& path, bool& preview) {
    static const QRegularExpression wave("^/api/wave/([1-9])(/preview)?$");
    const auto m = wave.match(path);
    preview = m.hasMatch() && !m.captured(2).isEmpty();
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QString WebPanel::Command(const ScpiName& name, int channel, double shown) {
    const QString header = SentHeader(name.headers, channel);
    const QStringList words = QString::fromLatin1(name.words).split('|', Qt::SkipEmptyParts);
    if (!words.isEmpty())
        return header + " " + words.value(static_cast<int>(std::lround(shown)));
    if (IsFlag(*name.setting))
        return header + (shown != 0 ? " ON" : " OFF");
    return header + " " + QString::number(shown / name.shownPerUnit, 'g', 15);
}

QJsonObject WebPanel::SettingsJson(int channels) {
    QJsonArray settings;
    for (const ScpiName& n : ScpiNames()) {
        const SettingRange& r = *n.setting;
        QJsonObject s{{"key", r.key},
                      {"group", QString::fromStdString(r.section()).mid(1)},
                      {"name", QString::fromStdString(r.name())},
                      {"description", *r.description ? QString(r.description) : LabelOf(r)},
                      {"unit", r.unit},
                      {"minimum", r.minimum},
                      {"maximum", r.maximum},
                      {"resolution", r.resolution},
                      {"cardWide", r.cardWide}};
        const QString words = QString::fromLatin1(n.words);
        if (!words.isEmpty())
            s["words"] = QJsonArray::fromStringList(words.split('|'));
        else if (IsFlag(r))
            s["words"] = QJsonArray{"OFF", "ON"};
        settings.append(s);
    }
    return {{"channels", channels}, {"settings", settings}};
}

QJsonObject WebPanel::stateJson() const {
    QJsonArray channels;
    const int count = card_ ? card_->channels() : 0;
    for (int c = 1; c <= count; ++c) {
        const ChannelStatus status = DescribeChannel(
            c, card_->session() ? ChannelPresence::Present : ChannelPresence::NoCard,
            card_->accepted().Channel[c]);
        TChannelInfo draft = DraftOf(card_->record().Channel[c]);
        QJsonObject values;
        for (const ScpiName& n : ScpiNames()) {
            const SettingRange& r = *n.setting;
            // A setting of the whole card is the record's, not a channel's.
            const double value = r.cardWide
                                     ? std::visit([](auto* v) { return static_cast<double>(*v); },
                                                  r.field(card_->record(), c))
                                     : r.get(draft);
            values[r.key] = value * r.scale;
        }
        channels.append(QJsonObject{{"channel", c},
                                    {"strip", QString::fromStdString(status.line)},
                                    {"sentence", QString::fromStdString(status.sentence)},
                                    {"on", status.outputOn},
                                    {"off", status.outputOff},
                                    {"values", values}});
    }
    const QString holder = device_.lockHolderName(), holders = device_.lockHolders();
    return {{"card", card_ ? QString::fromStdString(card_->describe()) : QString()},
            {"remote", holder.isEmpty() ? QString("Local") : "Remote: locked by " + holder},
            {"lockedBy", holders},
            {"who", lastWho_},
            {"channel", channels}};
}

void WebPanel::cardChanged(const CardChange& change) {
    changed(QString::fromStdString(change.who));
}

void WebPanel::changed(const QString& who) {
    lastWho_ = who;
    if (!coalesce_->isActive())
        coalesce_->start(kCoalesceMs);
}

WebPanel::UserSession* WebPanel::sessionOf(const Request& request) {
    static const QRegularExpression cookie(QString(kCookie) + "=([0-9a-f]{64})");
    const auto m = cookie.match(QString::fromLatin1(request.cookie));
    if (!m.hasMatch())
        return nullptr;
    const QByteArray id = m.captured(1).toLatin1();
    const auto it = sessions_.find(id);
    if (it == sessions_.end())
        return nullptr;
    if (it->second.used.elapsed() > qint64(kSessionMinutes) * 60000) {
        endSession(id);
        return nullptr;
    }
    // A cookie copied to another computer is no session there (the one it
    // belongs to goes on).
    if (!it->second.address.isEqual(AddressOf(request.peer), QHostAddress::TolerantConversion))
        return nullptr;
    it->second.used.start();
    return &it->second;
}

void WebPanel::endSession(const QByteArray& id) {
    const auto it = sessions_.find(id);
    if (it == sessions_.end())
        return;
    device_.closeLink(*it->second.link);
    sessions_.erase(it);
}

WebApp::Reply WebPanel::answer(const Request& request) {
    const bool get = request.method == "GET" || request.method == "HEAD";
    if (get && request.path == "/panel")
        return Asset("text/html; charset=utf-8", kPanelHtml);
    if (get && request.path == "/panel.js")
        return Asset("text/javascript; charset=utf-8", kPanelJs);
    if (get && request.path == "/panel.css")
        return Asset("text/css; charset=utf-8", kPanelCss);
    if (get && request.path == "/api/settings")
        return Json(200, SettingsJson(card_ ? card_->channels() : 0));
    UserSession* session = sessionOf(request);
    bool preview = false;
    const int waveChannel = WaveChannelOf(request.path, preview);
    if (get && waveChannel > 0 && !preview)
        return samples(waveChannel);
    if (get && (request.path == "/api/state" || request.path == "/api/events")) {
        QJsonObject state = stateJson();
        state["user"] = session ? QJsonValue(session->user) : QJsonValue();
        state["token"] = session ? QString::fromLatin1(session->token) : QString();
        state["usersExist"] = access_ && !access_->users.empty();
        if (request.path == "/api/state")
            return Json(200, state);
        Reply r;
        r.type = "text/event-stream";
        r.events = true;
        r.body = "retry: 1000\nevent: state\ndata: " +
                 QJsonDocument(state).toJson(QJsonDocument::Compact) + "\n\n";
        return r;
    }
    if (request.method != "POST")
        return Failure(405, "Only GET for the pages and POST for changes are answered here.");
    // A request from another site's page is refused before anything is read.
    const QString own = QString(request.secure ? "https://" : "http://") + request.host;
    if (!request.origin.isEmpty() && request.origin != own)
        return Failure(403, "This request comes from another site (" + request.origin + ").");
    if (request.path == "/api/login")
        return login(request);
    // Showing itself changes nothing on the card: whoever is let in may ask.
    if (request.path == "/api/identify") {
        device_.identify(request.peer + " (web" + (session ? ", " + session->user : QString()) +
                         ")");
        return Json(200, {{"ok", true}});
    }
    if (!session)
        return Failure(401, "Sign in first.");
    if (request.token.isEmpty() || request.token != session->token)
        return Failure(403, "This request does not carry the page's token.");
    if (request.path == "/api/logout")
        return logout(request);
    if (request.path == "/api/send")
        return send(request, *session);
    if (waveChannel > 0)
        return loadWave(request, *session, waveChannel, preview);
    return Failure(404, "Nothing here.");
}

WebApp::Reply WebPanel::login(const Request& request) {
    const QJsonObject form = QJsonDocument::fromJson(request.body).object();
    const QString user = form.value("user").toString();
    const QByteArray password = form.value("password").toString().toUtf8();
    if (!access_ || access_->users.empty())
        return Failure(403,
                       "Nobody may change the card from here: no user was added "
                       "(nv815-panel --add-user NAME, or the window's Remote Control, Users...).");
    const QString transport = request.secure ? "HTTPS" : "HTTP";
    const QHostAddress address = AddressOf(request.peer);
    if (const auto wait = access_->guard.admit(address); wait.count() > 0) {
        Reply r = Failure(429, QString("Too many failed sign-ins: try again in %1 s.")
                                   .arg((wait.count() + 999) / 1000));
        r.headers.append({"Retry-After", QByteArray::number((wait.count() + 999) / 1000)});
        return r;
    }
    if (!access_->users.check(user, password)) {
        access_->guard.failed(address);
        if (access_->attempted)
            access_->attempted(request.peer, transport, user, "wrong user or password");
        return Failure(401, "Wrong user or password.");
    }
    access_->guard.succeeded(address);
    if (access_->attempted)
        access_->attempted(request.peer, transport, user, {});
    while (sessions_.size() >= size_t(kMaxSessions)) { // the one unused longest goes
        auto oldest = sessions_.begin();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it)
            if (it->second.used.elapsed() > oldest->second.used.elapsed())
                oldest = it;
        endSession(oldest->first);
    }
    const QByteArray id = RandomHex(32);
    UserSession& s = sessions_[id];
    s.user = user;
    s.token = RandomHex(32);
    s.address = AddressOf(request.peer);
    s.used.start();
    s.link = device_.openLink(request.peer + " (web, " + user + ")");
    device_.signIn(*s.link, user, true);
    Reply r = Json(200, {{"user", user}, {"token", QString::fromLatin1(s.token)}});
    r.headers.append({"Set-Cookie", QByteArray(kCookie) + "=" + id +
                                        "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" +
                                        QByteArray::number(kSessionMinutes * 60) +
                                        (request.secure ? "; Secure" : "")});
    return r;
}

WebApp::Reply WebPanel::logout(const Request& request) {
    static const QRegularExpression cookie(QString(kCookie) + "=([0-9a-f]{64})");
    endSession(cookie.match(QString::fromLatin1(request.cookie)).captured(1).toLatin1());
    Reply r = Json(200, {{"user", QJsonValue()}});
    r.headers.append({"Set-Cookie", QByteArray(kCookie) + "=; Path=/; HttpOnly; SameSite=Strict; "
                                                          "Max-Age=0"});
    return r;
}

// The values of one channel, checked as the window checks them, then sent
// as one program message; the card's refusals come back as its errors.
WebApp::Reply WebPanel::send(const Request& request, UserSession& session) {
    const QJsonObject form = QJsonDocument::fromJson(request.body).object();
    const int channel = form.value("channel").toInt();
    const QJsonObject values = form.value("values").toObject();
    if (!card_ || channel < 1 || channel > card_->channels() || values.isEmpty())
        return Failure(400, "Say a channel of the card and the values to send.");
    QStringList commands, problems;
    for (auto v = values.begin(); v != values.end(); ++v) {
        const ScpiName* name = NameOf(v.key());
        if (!name || !v.value().isDouble()) {
            problems << "'" + v.key() + "' is no setting the page sends.";
            continue;
        }
        if (const std::string p = SettingProblem(*name->setting, v.value().toDouble()); !p.empty())
            problems << QString::fromStdString(p);
        else
            commands << Command(*name, channel, v.value().toDouble());
    }
    if (!problems.isEmpty())
        return Json(400, {{"ok", false}, {"errors", QJsonArray::fromStringList(problems)}});
    // The operation log says where the commands after it came from.
    AddCardNote(device_.NameOf(*session.link) + " sends channel " + std::to_string(channel) +
                    " from the web front panel: " + commands.join("; ").toStdString(),
                card_->link().cardTag());
    device_.run(*session.link, commands.join(";:").toStdString());
    const QStringList errors = errorsOf(session);
    return Json(errors.isEmpty() ? 200 : 409, {{"ok", errors.isEmpty()},
                                               {"sent", QJsonArray::fromStringList(commands)},
                                               {"errors", QJsonArray::fromStringList(errors)}});
}

QStringList WebPanel::errorsOf(UserSession& session) {
    QStringList errors;
    for (int i = 0; i < int(scpi::Session::kQueueLength); ++i) {
        const QString e = QString::fromStdString(device_.run(*session.link, "SYSTem:ERRor?"));
        if (e.startsWith("0,") || e.isEmpty())
            break;
        errors << e;
    }
    return errors;
}

// The meta-object code, compiled with this file (no unit of its own).
#include "moc_WebPanel.cpp"
