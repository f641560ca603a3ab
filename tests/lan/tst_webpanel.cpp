// The web front panel below the HTTP server: its answers to requests as
// they come (no session, a forged origin, a wrong token, sign-in, a change
// sent as SCPI and said in the operation log, a refused value, the
// commands made from the settings table's names).
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "Access.h"
#include "LibraryBindings.h"
#include "OperationLog.h"
#include "Operations.h"
#include "ProgramState.h"
#include "ScpiDevice.h"
#include "TestRegistry.h"
#include "WebPanel.h"
#include "nvsim.h"

namespace NV815_TEST_UNIT {

class TestWebPanel : public QObject {
    Q_OBJECT

    Card card;
    TSelectedCard selected;

    static WebApp::Request Post(const QString& path, const QJsonObject& body,
                                const QByteArray& cookie = {}, const QByteArray& token = {}) {
        WebApp::Request r;
        r.method = "POST";
        r.path = path;
        r.host = "127.0.0.1:8080";
        r.peer = "127.0.0.1:40040";
        r.body = QJsonDocument(body).toJson();
        r.cookie = cookie;
        r.token = token;
        return r;
    }
    static QJsonObject Body(const WebApp::Reply& r) {
        return QJsonDocument::fromJson(r.body).object();
    }
    static bool LogSays(const char* text) {
        const auto log = LogLinesOf(0);
        return std::any_of(log.begin(), log.end(), [text](const std::string& l) {
            return l.find(text) != std::string::npos;
        });
    }

    // A web front panel on the card whose users file names one user, and
    // that user's session once signed in.
    struct Served {
        ScpiDevice device;
        std::shared_ptr<Access> access = std::make_shared<Access>();
        WebPanel panel;
        QByteArray cookie, token;
        bool added = false; // the user is in the users file
        Served(Card& card, const QString& user, const QString& password)
            : device([&card] { return &card; }, [] { return scpi::Identity{}; }),
              panel(device, access) {
            QString error;
            added = access->users.set(user, password.toUtf8(), error);
        }
        WebApp::Reply signIn(const QString& user, const QString& password) {
            const WebApp::Reply in =
                panel.answer(Post("/api/login", {{"user", user}, {"password", password}}));
            cookie = in.headers.value(0).second.split(';').front();
            token = Body(in)["token"].toString().toLatin1();
            return in;
        }
    };

private slots:
    void initTestCase() {
        QVERIFY(BindAllLibraries().ok());
        nvsim_load_chassis(nullptr, nullptr, 0);
        ResetProgramState();
        CreateLogLines(); // the log is kept, as the program keeps it
        MaxLogLines = 1000;
        LogEnabled = true;
        card.resetRecord();
        selected.Resource = "PXI1::13::INSTR";
        QCOMPARE(OpenCard(selected, true), VI_SUCCESS);
        UseCard(card, selected.Session, kChannelCount);
    }
    // A CSV file drawn without touching the card, then loaded by the DATA
    // command and said in the operation log; bad arguments refused.
    void wavesPreviewedThenLoaded() {
        Served served(card, "bob", "pa55word");
        QVERIFY(served.added);
        QCOMPARE(served.signIn("bob", "pa55word").status, 200u);
        WebPanel& panel = served.panel;
        const QByteArray &cookie = served.cookie, &token = served.token;
        auto upload = [&](const QString& path, QMap<QString, QString> query) {
            WebApp::Request r = Post(path, {}, cookie, token);
            r.body = "time,volts\n0,-1\n1,0\n2,1\n3,0\n4,-1\n";
            r.query = query;
            return panel.answer(r);
        };
        const std::vector<double> before = card.record().Channel[2].Wave.Arb.Data;
        const QMap<QString, QString> csv{{"format", "csv"}, {"pick", "2"}, {"scale", "normalise"}};
        const WebApp::Reply drawn = upload("/api/wave/2/preview", csv);
        QCOMPARE(drawn.status, 200u);
        QCOMPARE(Body(drawn)["points"].toArray().size(), qsizetype(4));
        QVERIFY(Body(drawn)["source"].toString().contains("column 2 of 2 (volts)"));
        QCOMPARE(card.record().Channel[2].Wave.Arb.Data, before);
        for (const auto& bad : {QMap<QString, QString>{{"format", "mp3"}},
                                QMap<QString, QString>{{"format", "csv"}, {"pick", "0"}},
                                QMap<QString, QString>{{"scale", "loud"}}})
            QCOMPARE(upload("/api/wave/2", bad).status, 400u);
        QCOMPARE(upload("/api/wave/2", {{"format", "csv"}, {"pick", "2"}}).status, 400u);
        QCOMPARE(card.record().Channel[2].Wave.Arb.Data, before);
        const WebApp::Reply loaded = upload("/api/wave/2", csv);
        QCOMPARE(loaded.status, 200u);
        QCOMPARE(card.record().Channel[2].Wave.Arb.WaveLength, 4);
        QCOMPARE(card.record().Channel[2].Wave.Arb.Data[0], 0.0);
        QVERIFY(LogSays("(web, bob) loads channel 2 from the web front panel: SOURce2:DATA, 4 "
                        "samples (CSV, comma-delimited"));
    }
    void cleanupTestCase() {
        CloseCard(selected);
        LogEnabled = false;
        FreeLogLines();
    }

    void commandsComeFromTheSettingsTable() {
        const struct {
            const char* key;
            int channel;
            double shown;
            const char* command;
        } rows[] = {
            {"_Wave/StartF", 2, 10500, "SOURce2:FREQuency 10500"},
            {"_Wave/WaveType", 1, 2, "SOURce1:FUNCtion SQUare"},
            {"_Wave/AMFlag", 3, 1, "SOURce3:AM:STATe ON"},
            {"_Wave/Attenuation", 1, 12, "OUTPut1:ATTenuation 12"},
            {"_Clock/ExtFreq", 1, 10, "ROSCillator:EXTernal:FREQuency 10000000"},
        };
        for (const auto& row : rows)
            for (const ScpiName& n : ScpiNames())
                if (QString(n.setting->key) == row.key)
                    QCOMPARE(WebPanel::Command(n, row.channel, row.shown), QString(row.command));
        const QJsonArray settings = WebPanel::SettingsJson(3)["settings"].toArray();
        QCOMPARE(settings.size(), qsizetype(ScpiNames().size()));
    }

    void signInThenChangeWithTheToken() {
        Served served(card, "alice", "s3cret");
        QVERIFY(served.added);
        WebPanel& panel = served.panel;
        const QJsonObject change{{"channel", 1},
                                 {"values", QJsonObject{{"_Wave/Attenuation", 14}}}};
        QCOMPARE(panel.answer(Post("/api/send", change)).status, 401u);
        WebApp::Request forged = Post("/api/login", {{"user", "alice"}, {"password", "s3cret"}});
        forged.origin = "http://evil.example";
        QCOMPARE(panel.answer(forged).status, 403u);
        QCOMPARE(panel.answer(Post("/api/login", {{"user", "alice"}, {"password", "x"}})).status,
                 401u);
        QTest::qWait(1100); // the brake: a second after a failure from this address
        const WebApp::Reply in = served.signIn("alice", "s3cret");
        QCOMPARE(in.status, 200u);
        const QByteArray &cookie = served.cookie, &token = served.token;
        QVERIFY(in.headers.value(0).second.contains("HttpOnly; SameSite=Strict"));
        QCOMPARE(panel.answer(Post("/api/send", change, cookie, "wrong")).status, 403u);
        WebApp::Request elsewhere = Post("/api/send", change, cookie, token);
        elsewhere.peer = "192.0.2.9:50000"; // the cookie and token copied to another computer
        QCOMPARE(panel.answer(elsewhere).status, 401u);
        QCOMPARE(card.record().Channel[1].Wave.Attenuation != 14.0, true);
        const WebApp::Reply sent = panel.answer(Post("/api/send", change, cookie, token));
        QCOMPARE(sent.status, 200u);
        QCOMPARE(card.record().Channel[1].Wave.Attenuation, 14.0);
        QVERIFY(LogSays("(web, alice) sends channel 1 from the web front panel: "
                        "OUTPut1:ATTenuation 14"));
        const QJsonObject beyond{{"channel", 1},
                                 {"values", QJsonObject{{"_Wave/Attenuation", 500}}}};
        const WebApp::Reply refused = panel.answer(Post("/api/send", beyond, cookie, token));
        QCOMPARE(refused.status, 400u);
        QVERIFY(Body(refused)["errors"].toArray()[0].toString().contains("from 0 to 40"));
        QCOMPARE(card.record().Channel[1].Wave.Attenuation, 14.0);
    }
};

NV815_TEST_GUILESS_MAIN(TestWebPanel)
} // namespace NV815_TEST_UNIT

#include "tst_webpanel.moc"
