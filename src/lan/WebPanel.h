// The card's web front panel, beside the LXI pages: a page of plain HTML,
// CSS and JavaScript built into the program (nothing fetched from elsewhere)
// that shows each channel's strip and the Remote/Local state, pushed to
// every open page as the card changes (Server-Sent Events), and offers each
// setting of the settings table that has a SCPI name, in the window's
// groups, with its range, unit and step. A change is sent as one SCPI
// program message through the device, by a link of the signed-in user's
// own: the same card operations, refusal rules and operation log as any
// other client. Changing asks for a user signed in (the users file's, the
// password checked as HiSLIP's PLAIN is, under the same brake); a session
// is a cookie (HttpOnly, SameSite=Strict, Secure under HTTPS) that ends
// after an hour unused, and every changing request carries the session's
// token and comes from the page's own origin.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonObject>
#include <QTimer>
#include <map>
#include <memory>

#include "Access.h"
#include "Card.h"
#include "LxiWebServer.h"

class ScpiDevice;
namespace scpi {
class Session;
}

class WebPanel : public WebApp, private CardSubscriber {
    Q_OBJECT
public:
    static constexpr int kSessionMinutes = 60;
    static constexpr int kMaxSessions = 64;
    static constexpr qsizetype kMaxForm = 64 * 1024;
    // A waveform file uploaded (text, CSV or a sound): a whole wave memory as
    // text, and room.
    static constexpr qsizetype kMaxWaveFile = 8 * 1024 * 1024;
    // How long after a change every open page is told (changes coming
    // faster are told together, the last state each time).
    static constexpr int kCoalesceMs = 20;

    // `device` and `access` outlive the panel.
    WebPanel(ScpiDevice& device, std::shared_ptr<Access> access, QObject* parent = nullptr);
    ~WebPanel() override;

    bool handles(const QString& path) const override;
    qsizetype maxBody(const QString& path) const override;
    Reply answer(const Request& request) override;

    // The settings the page offers, and the state it shows (JSON).
    static QJsonObject SettingsJson(int channels);
    QJsonObject stateJson() const;
    // "SOURce1:FREQuency 10500" for a setting of the table by its key.
    static QString Command(const ScpiName& name, int channel, double shown);

private:
    struct UserSession {
        QString user;
        QByteArray token;
        QHostAddress address; // where it signed in: the cookie is good from there only
        QElapsedTimer used;
        std::unique_ptr<scpi::Session> link;
    };
    Reply login(const Request& request);
    Reply logout(const Request& request);
    Reply send(const Request& request, UserSession& session);
    // A waveform file uploaded for a channel: drawn (`preview`) or loaded.
    Reply loadWave(const Request& request, UserSession& session, int channel, bool preview);
    Reply samples(int channel) const;
    // Errors the link's last message left ("-222,\"Data out of range;...\""), taken out.
    QStringList errorsOf(UserSession& session);
    UserSession* sessionOf(const Request& request);
    void endSession(const QByteArray& id);
    void cardChanged(const CardChange& change) override;
    void recordReset() override { changed({}); }
    void changed(const QString& who);

    ScpiDevice& device_;
    std::shared_ptr<Access> access_;
    Card* card_;
    std::map<QByteArray, UserSession> sessions_; // by the cookie's id
    QTimer* coalesce_;
    QString lastWho_; // who made the last change told
};
