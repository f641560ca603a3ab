// --apply and --list-cards run as a process without any display: what the
// simulated card holds afterwards (the state the simulator leaves in
// NVSIM_STATE_FILE), the exit status and the messages.
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace NV815_TEST_UNIT {

const char* const kCard = "PXI1::13::INSTR";
const char* const kTwoChannelCard = "PXI1::14::INSTR";

struct Run {
    int exitCode = -1;
    QString out, err;
    QMap<QString, double> card; // "resource/channel/field" -> value
    double at(const QString& resource, int channel, const char* field) const {
        return card.value(QString("%1/%2/%3").arg(resource).arg(channel).arg(field), -12345);
    }
};

class TestAutomation : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString file(const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return f.fileName();
    }

    Run start(const QStringList& arguments, bool libraries = true) {
        const QString state = dir.filePath("state.txt");
        QFile::remove(state);
        QProcessEnvironment env; // no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM
        if (libraries)
            env.insert("LD_LIBRARY_PATH", SIM_DIR);
        env.insert("NVSIM_CHASSIS", "");
        env.insert("NVSIM_STATE_FILE", state);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(PROGRAM, arguments);
        Run r;
        if (!p.waitForFinished(60000))
            p.kill();
        r.exitCode = p.exitCode();
        r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(p.readAllStandardError());
        QFile f(state);
        if (f.open(QIODevice::ReadOnly))
            for (const QString& line : QString::fromLatin1(f.readAll()).split('\n'))
                if (line.contains('='))
                    r.card[line.section('=', 0, 0)] = line.section('=', 1).toDouble();
        return r;
    }

    Run apply(const QString& ini, const QStringList& more = {}) {
        return start(QStringList{"--apply", ini, "--resource", kCard} + more);
    }

    QByteArray wave(int lines, int scale = 1) {
        QByteArray text;
        for (int i = 0; i < lines; ++i)
            text += QByteArray::number((i * 7 % 100) * scale) + "\n";
        return text;
    }

private slots:
    void threeChannelsLandAsTheFileSays() {
        const QString arb = file("w.txt", wave(1024));
        const Run r = apply(file("all.ini", "[Channel1_Wave]\nWaveType=1\nSymmetry=30\nStartF=2.5\n"
                                            "Attenuation=12\nDCOffset=-1.5\nAMFlag=1\n"
                                            "[Channel1_Trigger]\nSource=3\nMode=2\n"
                                            "[Channel1_Clock]\nMultiplier=8\n"
                                            "[Channel2_Wave]\nArbitraryFlag=1\nArbFile=" +
                                                arb.toLocal8Bit() +
                                                "\nAttenuation=7\n"
                                                "[Channel3_Wave]\nSweepFlag=1\nStartF=1\nEndF=9\n"
                                                "SweepStep=0.5\nAttenuation=40\n"),
                            {"--log", dir.filePath("run.log")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        const struct {
            int channel;
            const char* field;
            double value;
        } expected[] = {
            {1, "waveType", 1},      {1, "symmetry", 30},     {1, "frequency", 2.5},
            {1, "attenuation", 12},  {1, "offset", -1.5},     {1, "offsetApplied", 1},
            {1, "amOn", 1},          {1, "triggerSource", 3}, {1, "triggerMode", 2},
            {1, "multiplier", 8},    {1, "outputOn", 1},      {2, "generator", 3},
            {2, "waveLength", 1024}, {2, "attenuation", 7},   {2, "offsetApplied", 1},
            {2, "offset", 0},        {3, "generator", 2},     {3, "sweepEnd", 9},
            {3, "attenuation", 40},  {3, "outputOn", 1},      {3, "triggerMode", 6},
        };
        for (const auto& e : expected)
            QVERIFY2(r.at(kCard, e.channel, e.field) == e.value,
                     qPrintable(QString("channel %1 %2: %3")
                                    .arg(e.channel)
                                    .arg(e.field)
                                    .arg(r.at(kCard, e.channel, e.field))));
        // Each log entry as it happened, one line each, also in the log file.
        QVERIFY(r.out.contains(QRegularExpression(
            "\\d\\d:\\d\\d:\\d\\d: Set Attenuation - Channel 1 Level 12dB > Success\n")));
        QFile log(dir.filePath("run.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLocal8Bit(log.readAll()), r.out);
    }

    void aRefusalIsReportedAndTheRestStillSent() {
        const Run r = apply(file("refused.ini", "[Channel1_Clock]\nStartF=200000\nEndF=200000\n"
                                                "[Channel2_Wave]\nAttenuation=22\n"),
                            {"--quiet"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith("Channel 1: Set Clock Mode refused: "), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.at(kCard, 2, "attenuation"), 22.0);
        QCOMPARE(r.at(kCard, 3, "outputOn"), 1.0);
    }

    // Each error stops the run before any setting is sent; the unlisted
    // channels never receive anything.
    void errorsSendNothing() {
        const QString fine = file("fine.ini", "[Channel1_Wave]\nAttenuation=5\n");
        const QString fifo = dir.filePath("fifo.log");
        QVERIFY(mkfifo(qPrintable(fifo), 0600) == 0);
        const Run untouched = start({"--list-cards"});
        QCOMPARE(untouched.exitCode, 0);
        QCOMPARE(untouched.out.count('\n'), 4); // a header, then by resource
        QVERIFY(untouched.out.startsWith("Resource\tModel\tCard ID\n" + QString(kCard) +
                                         "\t72-815\t1001\n"));
        const Run json = start({"--list-cards", "--json"});
        const QJsonArray cards = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(cards.size(), 3);
        QCOMPARE(
            cards[0].toObject(),
            QJsonObject(
                {{"resource", kCard}, {"model", "72-815"}, {"cardId", 1001}, {"channels", 3}}));
        QCOMPARE(cards[1].toObject()["channels"].toInt(), 2);
        QCOMPARE(start({"--json"}).exitCode, 1);
        const struct {
            QStringList arguments;
            int exitCode;
            const char* message;
        } cases[] = {
            {{"--apply", dir.filePath("none.ini"), "--resource", kCard}, 1, "does not exist"},
            {{"--apply", fine, "--resource", "PXI9::9::INSTR"},
             1,
             "There is no resource 'PXI9::9::INSTR'"},
            {{"--apply", fine, "--resource", "PXI1::15::INSTR"}, 1, "is not a 72-815 or 82-815"},
            {{"--apply", fine, "--resource", "COM::x"}, 1, "'COM::x' is no VISA resource name"},
            {{"--apply", fine, "--resource", kTwoChannelCard, "--channels", "1,3"},
             1,
             "has 2 channels: channel 3"},
            {{"--apply", fine}, 1, "names no card ([Card] Resource): give --resource NAME"},
            {{"--list-cards", "--resource", kCard}, 1, "--list-cards takes no --resource"},
            {{"--list-cards", "--apply", fine}, 1, "--list-cards takes no --apply"},
            {{"--apply", fine, "--apply", fine, "--resource", kCard}, 1, "more than once"},
            {{"--apply", fine, "--resource", kCard, "--log", fine}, 1, "names the configuration"},
            {{"--apply", fine, "--resource", kCard, "--log", "/dev/full"},
             1,
             "'/dev/full' could not be written: it is no regular file"},
            {{"--apply", fine, "--resource", kCard, "--log", fifo}, 1, "it is no regular file"},
            {{"--apply", fine, "--resource", kCard, "--channels", "1,4"}, 1, "channels 1 to 3"},
            {{"--quiet"}, 1, "needs --apply"},
            {{"--apply",
              file("odd.ini", "[Channel1_Wave]\nArbitraryFlag=1\nArbFile=" +
                                  file("odd.txt", wave(10)).toLocal8Bit() + "\n"),
              "--resource", kCard},
             1,
             "channel 1: error: File doesn't contain a 2^n number of lines!"},
            {{"--apply",
              file("big.ini", "[Channel2_Wave]\nArbitraryFlag=1\nArbFile=" +
                                  file("big.txt", wave(16, 3)).toLocal8Bit() + "\n"),
              "--resource", kCard, "--channels", "2"},
             1,
             "(--normalise answers OK)"},
        };
        for (const auto& c : cases) {
            const Run r = start(c.arguments);
            const QString what = c.arguments.join(' ') + ": " + r.err;
            QVERIFY2(r.exitCode == c.exitCode, qPrintable(what));
            QVERIFY2(r.err.contains(c.message), qPrintable(what));
            QVERIFY2(r.card.isEmpty() || r.card == untouched.card, qPrintable(what));
        }
        QFile config(fine);
        QVERIFY(config.open(QIODevice::ReadOnly));
        QCOMPARE(config.readAll(), QByteArray("[Channel1_Wave]\nAttenuation=5\n"));
        const Run unbound = start({"--list-cards"}, false);
        QCOMPARE(unbound.exitCode, 1);
        QVERIFY2(unbound.err.startsWith("Not found: the VISA library libvisa.so"),
                 qPrintable(unbound.err));
        // Only the listed channel is sent.
        const Run one = apply(fine, {"--channels", "2", "--quiet"});
        QCOMPARE(one.exitCode, 0);
        for (int channel : {1, 3})
            for (const char* field : {"attenuation", "outputOn", "generator"})
                QCOMPARE(one.at(kCard, channel, field), untouched.at(kCard, channel, field));
        QCOMPARE(one.at(kCard, 2, "outputOn"), 1.0);
        // The question answered on the command line.
        const Run normalised = apply(dir.filePath("big.ini"), {"--channels", "2", "--normalise"});
        QCOMPARE(normalised.exitCode, 0);
        QCOMPARE(normalised.at(kCard, 2, "waveLength"), 16.0);
    }
    // Any name VISA gives the card will do; the card the file names is used
    // without --resource; a card's own channels are the default; only the
    // listed channels count.
    void namesAndChannelsAsTheCardHasThem() {
        const QString fine = file("named.ini", "[Card]\nResource=PXI1::14::INSTR\n"
                                               "[Channel3_Wave]\nArbitraryFlag=1\nArbFile=/none\n");
        const struct {
            QStringList arguments;
            const char* said;
        } cases[] = {
            {{"--resource", "pxi1::13::instr", "--channels", "1"}, ""},
            {{"--resource", "PXI1::13", "--channels", "2"}, ""},
            {{"--resource", "PXI0::1-13.0::INSTR", "--channels", "1,2"}, ""},
            {{"--resource", kTwoChannelCard}, ""},
            {{}, "Using PXI1::14::INSTR, the card '"},
        };
        for (const auto& c : cases) {
            const Run r = start(QStringList{"--apply", fine} + c.arguments);
            const QString what = c.arguments.join(' ') + ": " + r.err;
            // What it says of the card is a message: on standard error.
            QVERIFY2(r.exitCode == 0 && r.err.isEmpty() == !*c.said, qPrintable(what));
            QVERIFY2(r.err.startsWith(c.said) || !*c.said, qPrintable(what));
            QVERIFY2(!r.out.contains("Using"), qPrintable(r.out));
        }
        const Run two = start({"--apply", fine});
        QCOMPARE(two.at(kTwoChannelCard, 2, "outputOn"), 1.0);
    }

    // The log file is opened only once everything was checked, and a write
    // that fails ends the run with status 1.
    void theLogFileIsSafe() {
        const QString fine = file("logged.ini", "[Channel1_Wave]\nAttenuation=5\n");
        const QString log = file("kept.log", "the old log\n");
        Run r = start({"--apply", fine, "--resource", "PXI9::9::INSTR", "--log", log});
        QCOMPARE(r.exitCode, 1);
        QFile kept(log);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("the old log\n"));
        // Writes beyond what the process may write (the file size limit).
        QProcess p;
        QProcessEnvironment env;
        env.insert("LD_LIBRARY_PATH", SIM_DIR);
        env.insert("NVSIM_CHASSIS", "");
        p.setProcessEnvironment(env);
        p.start("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"", PROGRAM,
                            "--apply", fine, "--resource", kCard, "--log", log, "--quiet"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(
            p.readAllStandardError().contains("kept.log' could not be written: File too large"),
            "no message");
    }

    // --apply --json: one object per command, then the counts and the exit status.
    void applyAsJsonLines() {
        // The card the file names: what is said of it goes to standard error.
        const QString ini =
            file("json.ini", "[Card]\nResource=PXI1::13::INSTR\n[Channel1_Wave]\nAttenuation=5\n");
        const Run r = start({"--apply", ini, "--channels", "1", "--json"});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.trimmed().split('\n');
        QVERIFY(lines.size() > 5);
        for (const QString& line : lines.mid(0, lines.size() - 1)) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            QVERIFY2(o.keys() == QStringList({"arguments", "channel", "command", "driverText",
                                              "status", "time"}),
                     qPrintable(line));
            QCOMPARE(o["status"].toString(), QString("00000000"));
            QVERIFY2(!o["command"].toString().contains("  "), qPrintable(line));
        }
        QVERIFY(r.out.contains(R"("command":"Set dcOffset")"));
        QVERIFY(r.err.startsWith("Using PXI1::13::INSTR"));
        QVERIFY(r.out.contains(
            R"({"arguments":["Level 5dB"],"channel":1,"command":"Set Attenuation","driverText":"","status":"00000000")"));
        const QJsonObject last = QJsonDocument::fromJson(lines.last().toUtf8()).object();
        QCOMPARE(last["exitStatus"].toInt(), 0);
        QCOMPARE(last["refused"].toInt(), 0);
        QVERIFY(last["sent"].toInt() >= lines.size() - 1);
        const Run bad = start({"--apply", dir.filePath("none.ini"), "--resource", kCard, "--json"});
        QCOMPARE(bad.out, QString("{\"exitStatus\":1,\"refused\":0,\"sent\":0}\n"));
    }

    // --serve: listens, answers a client as the card accepted, and on SIGTERM
    // closes the client, the card and the resource manager; usage errors first.
    void serveUntilStopped() {
        QCOMPARE(start({"--serve"}).err, QString("%1: --serve needs --resource.\n").arg(PROGRAM));
        QCOMPARE(start({"--serve", "--resource", kCard, "--port", "70000"}).exitCode, 1);
        QVERIFY(start({"--serve", "--resource", kCard, "--files", dir.filePath("none")})
                    .err.contains("--files: '" + dir.filePath("none") + "' is no folder."));
        QVERIFY(start({"--files", dir.path()}).err.contains("--files needs --serve."));
        QVERIFY(start({"--allow", "::1"}).err.contains("--allow needs --serve."));
        QVERIFY(start({"--serve", "--resource", kCard, "--allow", "10.1.0.0/16,lab"})
                    .err.contains("--allow: 'lab' is no address or network"));
        QCOMPARE(start({"--port", "1"}).exitCode, 1);
        const QString journal = dir.filePath("serve.journal");
        QProcessEnvironment env;
        env.insert("LD_LIBRARY_PATH", SIM_DIR);
        env.insert("NVSIM_CHASSIS", "");
        env.insert("NVSIM_JOURNAL_FILE", journal);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(PROGRAM, {"--serve", "--resource", kCard, "--port", "0"});
        QVERIFY(p.waitForReadyRead(20000));
        const QString listening = QString::fromLocal8Bit(p.readLine()).trimmed();
        const QRegularExpressionMatch m =
            QRegularExpression("^Listening on 127\\.0\\.0\\.1:(\\d+) for PXI1::13::INSTR$")
                .match(listening);
        QVERIFY2(m.hasMatch(), qPrintable(listening));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, m.captured(1).toUShort());
        QVERIFY(client.waitForConnected(5000));
        client.write("*IDN?\nFREQ 2KHZ;FREQ?\n");
        QStringList answers;
        while (answers.size() < 2 && client.waitForReadyRead(5000))
            while (client.canReadLine())
                answers << QString::fromLatin1(client.readLine()).trimmed();
        QCOMPARE(answers, QStringList({"Norvale,72-815,1001,1.46", "2000"}));
        p.terminate(); // SIGTERM
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAll());
        QVERIFY2(out.contains("connected\n") && out.contains("disconnected\n") &&
                     out.endsWith("Stopped: PXI1::13::INSTR closed, its outputs as they were.\n"),
                 qPrintable(out));
        QFile f(journal);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList calls = QString::fromLatin1(f.readAll()).trimmed().split('\n');
        QVERIFY(
            calls.filter(QRegularExpression("^nv815_GenerateSignal\\(\\d+, 2, 0, 50\\)")).size() ==
            1);
        QVERIFY(calls.filter("nv815_SetInstrumentMode").isEmpty()); // the outputs as they were
        QVERIFY2(calls.last().startsWith("viClose("), qPrintable(calls.last()));
    }

    // --serve whose standard output is a pipe that its reader closes, or
    // stops reading until it is full: clients are served as ever, SIGTERM
    // still closes the card, and lines dropped meanwhile are counted on the
    // output once it takes lines again.
    void serveOutlivesItsOutput() {
        for (const bool closed : {true, false}) {
            int out[2];
            QVERIFY(::pipe(out) == 0);
            const QString journal = dir.filePath("outlive.journal");
            const pid_t server = fork();
            if (server == 0) {
                ::dup2(out[1], STDOUT_FILENO);
                ::close(out[0]);
                ::setenv("LD_LIBRARY_PATH", SIM_DIR, 1);
                ::setenv("NVSIM_CHASSIS", "", 1);
                ::setenv("NVSIM_JOURNAL_FILE", journal.toLocal8Bit().constData(), 1);
                ::execl(PROGRAM, PROGRAM, "--serve", "--resource", kCard, "--port", "0", nullptr);
                _exit(127);
            }
            ::close(out[1]);
            struct Child { // killed should the test stop early
                pid_t pid;
                ~Child() {
                    if (pid > 0 && ::kill(pid, SIGKILL) == 0)
                        ::waitpid(pid, nullptr, 0);
                }
            } child{server};
            QByteArray first;
            for (char c = 0; c != '\n' && ::read(out[0], &c, 1) == 1;)
                first += c;
            const quint16 port = first.split(':').value(1).split(' ').value(0).toUShort();
            QVERIFY2(port != 0, first.constData());
            if (closed)
                ::close(out[0]);
            for (int i = 0; i < (closed ? 3 : 1500); ++i) { // two lines each
                QTcpSocket c;
                c.connectToHost(QHostAddress::LocalHost, port);
                QVERIFY(c.waitForConnected(5000));
                c.write("*OPC?\n");
                QVERIFY2(c.waitForReadyRead(5000), "the server stopped answering");
            }
            ::kill(server, SIGTERM);
            QByteArray rest;
            char buffer[65536];
            for (ssize_t n; !closed && (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
                rest.append(buffer, n);
            int status = -1;
            QCOMPARE(::waitpid(server, &status, 0), server);
            child.pid = 0;
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
                     qPrintable(QString::number(status)));
            QFile f(journal);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(QString::fromLatin1(f.readAll())
                        .trimmed()
                        .section('\n', -1)
                        .startsWith("viClose("));
            if (!closed) {
                ::close(out[0]);
                QVERIFY(rest.contains(
                    "lines were not written here: the output did not take them in time)\n"));
                QVERIFY(
                    rest.endsWith("Stopped: PXI1::13::INSTR closed, its outputs as they were.\n"));
            }
        }
    }
};

NV815_TEST_GUILESS_MAIN(TestAutomation)
} // namespace NV815_TEST_UNIT

#include "tst_automation.moc"
