// The simulated chassis: discovery, sessions shared by VISA and the driver,
// argument checks, fault injection and chassis descriptions.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <functional>
#include <thread>

#include "SimJournal.h"
#include "TestRegistry.h"
#include "nv815_api.h"
#include "nvsim.h"
#include "visa_api.h"

namespace NV815_TEST_UNIT {

extern "C" {
#define DECLARE(name, params) ViStatus name params;
#define DECLARE_VOID(name, params) void name params;
NV815_VISA_ENTRY_POINTS(DECLARE)
NV815_DRIVER_ENTRY_POINTS(DECLARE)
#undef DECLARE
#undef DECLARE_VOID
}

const char* const kCard72 = "PXI1::13::INSTR";
const char* const kCard82 = "PXI1::14::INSTR";
const char* const kOther = "PXI1::15::INSTR";

QString Text(const char* s) {
    return QString::fromLatin1(s);
}

QString Describe(ViStatus status) {
    char buf[VI_FIND_BUFLEN] = {};
    viStatusDesc(0, status, buf);
    return Text(buf);
}

class TestSimulator : public QObject {
    Q_OBJECT

    ViSession rm = 0;

    QStringList find(const char* expr, ViStatus* status = nullptr) {
        ViFindList list = 0;
        ViUInt32 count = 0;
        char name[VI_FIND_BUFLEN] = {};
        QStringList found;
        ViStatus s = viFindRsrc(rm, expr, &list, &count, name);
        if (status)
            *status = s;
        if (s != VI_SUCCESS)
            return found;
        found << Text(name);
        for (ViUInt32 i = 1; i < count; ++i) {
            viFindNext(list, name);
            found << Text(name);
        }
        viClose(list);
        return found;
    }

    ViSession openCard(const char* resource) {
        ViSession vi = 0;
        [&] { QCOMPARE(nv815_init(resource, 0, 0, &vi), VI_SUCCESS); }();
        return vi;
    }

    QString writeFile(QTemporaryDir& dir, const QByteArray& content) {
        QString path = dir.filePath("chassis.ini");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }

private slots:
    void init() {
        QCOMPARE(nvsim_load_chassis(nullptr, nullptr, 0), 0);
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QVERIFY(rm != 0);
    }
    void cleanup() {
        viClose(rm);
        nvsim_clear_faults();
    }

    void discoveryFollowsVisaWildcards() {
        QCOMPARE(find("PXI?*::INSTR"),
                 QStringList({"PXI1::13::INSTR", "PXI1::14::INSTR", "PXI2::10::INSTR", kOther}));
        QCOMPARE(find("pxi1::1?::instr").size(), 3); // case is ignored
        QCOMPARE(find("PXI2?*"), QStringList({"PXI2::10::INSTR"}));
        // '*' repeats the character before it, it is not a shell wildcard.
        ViStatus status = 0;
        QVERIFY(find("PXI2*", &status).isEmpty());
        QCOMPARE(status, VI_ERROR_RSRC_NFOUND);
        find("GPIB?*::INSTR", &status);
        QCOMPARE(status, VI_ERROR_RSRC_NFOUND);
        find("*PXI", &status);
        QCOMPARE(status, VI_ERROR_INV_EXPR);
        // Classes, groups, alternatives and escapes; '.' is a character like any.
        QCOMPARE(find("PXI1::1[^3]::INSTR"), QStringList({"PXI1::14::INSTR", kOther}));
        QCOMPARE(find("(PXI1::13|pxi2::10)::INSTR"),
                 QStringList({"PXI1::13::INSTR", "PXI2::10::INSTR"}));
        QCOMPARE(find("PXI2\\:\\:10::INSTR"), QStringList({"PXI2::10::INSTR"}));
        find("PXI2.*", &status);
        QCOMPARE(status, VI_ERROR_RSRC_NFOUND);
        for (const char* bad : {"PXI(1", "PXI1)", "PXI[", "PXI\\", "(*PXI)"}) {
            find(bad, &status);
            QCOMPARE(status, VI_ERROR_INV_EXPR);
        }
    }

    // Every spelling of a card names it (the number after PXI is its bus, on
    // interface 0, or the interface before bus-device); the memory access
    // resource is a resource too; a well-formed name of nothing is not found
    // and a number too large for its field is no name. A name without its
    // interface number once ended the calling process.
    void resourceNamesAndWhatTheyName() {
        const struct {
            const char* name;
            ViStatus parsed;
            const char* opens; // the resource it opens, or nothing
        } names[] = {
            {"PXI1::13::INSTR", VI_SUCCESS, kCard72},
            {"pxi1::13", VI_SUCCESS, kCard72},
            {"PXI0::1-13.0::INSTR", VI_SUCCESS, kCard72},
            {"PXI::1-13::INSTR", VI_SUCCESS, kCard72},
            {"PXI0::CHASSIS1::SLOT13::INSTR", VI_SUCCESS, kCard72},
            {"PXI0::CHASSIS1::SLOT14", VI_SUCCESS, kCard82},
            {"PXI0::MEMACC", VI_SUCCESS, "PXI0::MEMACC"},
            {"PXI::13::INSTR", VI_ERROR_RSRC_NFOUND, nullptr},      // bus 0
            {"PXI1::1-13.0::INSTR", VI_ERROR_RSRC_NFOUND, nullptr}, // interface 1
            {"PXI0::CHASSIS2::SLOT13::INSTR", VI_ERROR_RSRC_NFOUND, nullptr},
            {"PXI256::13::INSTR", VI_ERROR_INV_RSRC_NAME, nullptr},
            {"PXI1::32::INSTR", VI_ERROR_INV_RSRC_NAME, nullptr},
            {"PXI0::1-13.8::INSTR", VI_ERROR_INV_RSRC_NAME, nullptr},
            {"PXI99999999999::1-13::INSTR", VI_ERROR_INV_RSRC_NAME, nullptr},
            {"PXI0::CHASSIS1::SLOT99::INSTR", VI_ERROR_INV_RSRC_NAME, nullptr},
            {"PXI0::1-13::2::INSTR", VI_ERROR_INV_RSRC_NAME, nullptr},
        };
        for (const auto& n : names) {
            ViUInt16 type = 0, number = 0;
            ViChar kind[VI_FIND_BUFLEN], expanded[VI_FIND_BUFLEN], alias[VI_FIND_BUFLEN];
            QCOMPARE(viParseRsrcEx(rm, n.name, &type, &number, kind, expanded, alias), n.parsed);
            ViSession vi = 0;
            const ViStatus opened = viOpen(rm, n.name, VI_NULL, 0, &vi);
            QCOMPARE(opened, n.opens ? VI_SUCCESS : n.parsed);
            if (!n.opens)
                continue;
            ViChar resource[VI_FIND_BUFLEN] = {};
            QCOMPARE(viGetAttribute(vi, VI_ATTR_RSRC_NAME, resource), VI_SUCCESS);
            QCOMPARE(Text(resource), QString(n.opens));
            viClose(vi);
        }
        QVERIFY(find("?*").contains("PXI0::MEMACC"));
    }

    void findListEndsAndCloses() {
        ViFindList list = 0;
        ViUInt32 count = 0;
        char name[VI_FIND_BUFLEN];
        QCOMPARE(viFindRsrc(rm, "PXI1::1[34]::INSTR", &list, &count, name), VI_SUCCESS);
        QCOMPARE(count, 2u);
        QCOMPARE(viFindNext(list, name), VI_SUCCESS);
        QCOMPARE(Text(name), QString(kCard82));
        QCOMPARE(viFindNext(list, name), VI_ERROR_RSRC_NFOUND);
        QCOMPARE(viClose(list), VI_SUCCESS);
        QCOMPARE(viFindNext(list, name), VI_ERROR_INV_OBJECT);
        QCOMPARE(viFindRsrc(12345, "PXI?*::INSTR", &list, &count, name), VI_ERROR_INV_OBJECT);
    }

    void attributesAndConfigurationSpace() {
        char text[VI_FIND_BUFLEN] = {};
        QCOMPARE(viGetAttribute(rm, VI_ATTR_RSRC_MANF_NAME, text), VI_SUCCESS);
        QVERIFY(!Text(text).isEmpty());
        ViUInt32 version = 0;
        QCOMPARE(viGetAttribute(rm, VI_ATTR_RSRC_IMPL_VERSION, &version), VI_SUCCESS);
        QCOMPARE(version, 0x00501000u);
        QCOMPARE(viGetAttribute(rm, VI_ATTR_MODEL_NAME, text), VI_ERROR_NSUP_ATTR);

        ViSession vi = 0;
        QCOMPARE(viOpen(rm, kCard82, VI_NULL, 1000, &vi), VI_SUCCESS);
        QCOMPARE(viGetAttribute(vi, VI_ATTR_MODEL_NAME, text), VI_SUCCESS);
        QVERIFY(Text(text).contains("82-815"));
        ViUInt16 id = 0;
        QCOMPARE(viIn16(vi, VI_PXI_CFG_SPACE, 0x2E, &id), VI_SUCCESS);
        QCOMPARE(id, ViUInt16(0x4404));
        QCOMPARE(viIn16(vi, 1, 0x2E, &id), VI_ERROR_INV_SPACE);
        QCOMPARE(viIn16(vi, VI_PXI_CFG_SPACE, 0x2F, &id), VI_ERROR_NSUP_ALIGN_OFFSET);
        QCOMPARE(viIn16(vi, VI_PXI_CFG_SPACE, 0x100, &id), VI_ERROR_INV_OFFSET);
        QCOMPARE(VI_ERROR_INV_SPACE, static_cast<ViStatus>(0xBFFF004Eu)); // the standard's value
        QCOMPARE(viClose(vi), VI_SUCCESS);
    }

    void opensCheckNameModeAndTimeout() {
        ViSession vi = 0;
        QCOMPARE(viOpen(rm, "PXI9::9::INSTR", VI_NULL, 1000, &vi), VI_ERROR_RSRC_NFOUND);
        QCOMPARE(vi, 0u);
        QCOMPARE(viOpen(rm, kCard72, 0x80, 1000, &vi), VI_ERROR_INV_ACC_MODE);
        // A slow open waits no longer than its timeout before it gives up.
        QCOMPARE(nvsim_set_open_delay(kCard72, 400), 0);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(viOpen(rm, kCard72, VI_NULL, 20, &vi), VI_ERROR_TMO);
        QVERIFY(timer.elapsed() >= 20);
        QVERIFY(timer.elapsed() < 300);
        QCOMPARE(viOpen(rm, kCard72, VI_NULL, 1000, &vi), VI_SUCCESS);
        QVERIFY(timer.elapsed() >= 420);
        QCOMPARE(nvsim_set_open_delay("PXI9::9::INSTR", 1), -1);
    }

    void driverSessionIsAVisaSession() {
        ViSession card = openCard(kCard72);
        QVERIFY(card != 0);
        ViUInt16 id = 0;
        QCOMPARE(viIn16(card, VI_PXI_CFG_SPACE, 0x2E, &id), VI_SUCCESS);
        QCOMPARE(id, ViUInt16(0x4403));
        QCOMPARE(viLock(card, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_SUCCESS);

        // Another session on the same card is shut out by the lock.
        ViSession other = 0;
        QCOMPARE(viOpen(rm, kCard72, VI_NULL, 1000, &other), VI_SUCCESS);
        QCOMPARE(viLock(other, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_ERROR_TMO);
        QCOMPARE(nv815_SetAttenuation(other, 10), VI_ERROR_RSRC_LOCKED);
        ViSession second = 0;
        QCOMPARE(nv815_init(kCard72, 0, 0, &second), VI_ERROR_RSRC_LOCKED);
        QCOMPARE(nv815_SetAttenuation(card, 10), VI_SUCCESS);

        // Closing through VISA ends the driver session; the lock goes with it.
        QCOMPARE(viClose(card), VI_SUCCESS);
        QCOMPARE(nv815_SetAttenuation(card, 10), VI_ERROR_INV_OBJECT);
        QCOMPARE(viLock(other, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_SUCCESS);

        // Closing the resource manager closes what was opened from it.
        QCOMPARE(viClose(rm), VI_SUCCESS);
        QCOMPARE(nvsim_open_sessions(), 0);
        QCOMPARE(viClose(0), static_cast<ViStatus>(0x3FFF0082u));
    }

    // Exclusive over shared in both orders: neither kind is granted beside the
    // other's holder, an open asking for the exclusive lock included.
    void exclusiveAndSharedLocksExcludeEachOther() {
        ViSession a = 0, b = 0, c = 0;
        ViChar key[VI_FIND_BUFLEN];
        QCOMPARE(viOpen(rm, kCard72, VI_NULL, 0, &a), VI_SUCCESS);
        QCOMPARE(viLock(a, VI_SHARED_LOCK, 0, "k", key), VI_SUCCESS);
        QCOMPARE(viOpen(rm, kCard72, VI_EXCLUSIVE_LOCK, 50, &b), VI_ERROR_RSRC_LOCKED);
        QCOMPARE(b, 0u);
        QCOMPARE(viLock(a, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_SUCCESS); // its own
        QCOMPARE(viUnlock(a), VI_SUCCESS_NESTED_SHARED);
        QCOMPARE(viOpen(rm, kCard72, VI_NULL, 0, &b), VI_SUCCESS);
        QCOMPARE(viLock(b, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_ERROR_TMO);
        QCOMPARE(viLock(b, VI_SHARED_LOCK, 0, "k", key), VI_SUCCESS); // by its key
        QCOMPARE(viUnlock(b), VI_SUCCESS);
        QCOMPARE(viUnlock(a), VI_SUCCESS);
        QCOMPARE(viOpen(rm, kCard72, VI_EXCLUSIVE_LOCK, 0, &c), VI_SUCCESS);
        QCOMPARE(viLock(a, VI_SHARED_LOCK, 0, "k", key), VI_ERROR_TMO);
        QCOMPARE(viLock(c, VI_SHARED_LOCK, 0, nullptr, key), VI_SUCCESS); // its own
        // A request waits for the lock to be given back by another thread.
        std::thread giver([c] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            viClose(c);
        });
        QCOMPARE(viLock(a, VI_EXCLUSIVE_LOCK, 5000, nullptr, nullptr), VI_SUCCESS);
        giver.join();
    }

    // 200 000 calls keep the latest 65536 journal lines, the rest counted.
    void theJournalStaysBounded() {
        ViSession vi = 0;
        nvsim_journal_clear();
        for (int i = 0; i < 50000; ++i) {
            viOpen(rm, kCard72, VI_NULL, 0, &vi);
            viLock(vi, VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr);
            viUnlock(vi);
            viClose(vi);
        }
        QCOMPARE(nvsim_journal_count(), 65536);
        QCOMPARE(nvsim_journal_dropped(), 200000LL - 65536);
        QVERIFY(QString(nvsim_journal_line(65535)).startsWith("viClose("));
    }

    void initRefusesWhatIsNotAnOpenableCard() {
        ViSession vi = 99;
        QCOMPARE(nv815_init("PXI9::9::INSTR", 0, 0, &vi), VI_ERROR_RSRC_NFOUND);
        QCOMPARE(vi, 0u);
        QCOMPARE(nv815_init(kOther, 0, 0, &vi), static_cast<ViStatus>(0xBFFC0817u));
        QCOMPARE(nv815_init(nullptr, 0, 0, &vi), VI_ERROR_INV_RSRC_NAME);
        QCOMPARE(nv815_init(kCard72, 0, 0, nullptr), static_cast<ViStatus>(0xBFFC0816u));
        // A VISA session on a card that is not a function generator is no driver session.
        ViSession plain = 0;
        QCOMPARE(viOpen(rm, kOther, VI_NULL, 1000, &plain), VI_SUCCESS);
        QCOMPARE(nv815_SetAttenuation(plain, 1), VI_ERROR_INV_OBJECT);
    }

    void acceptedCallsChangeTheAddressedChannel() {
        ViSession vi = openCard(kCard72);
        QCOMPARE(nv815_SetActiveChannel(vi, 2), VI_SUCCESS);
        QCOMPARE(nv815_SetAttenuation(vi, 12), VI_SUCCESS);
        QCOMPARE(nv815_SetOutputOffsetVoltage(vi, -1.25, 1), VI_SUCCESS);
        QCOMPARE(nv815_SetInstrumentMode(vi, 1), VI_SUCCESS);
        QCOMPARE(nv815_SetTriggerMode(vi, 9, 0), VI_SUCCESS);
        QCOMPARE(nv815_SetClockSource(vi, 1, 12.5, 4), VI_SUCCESS);
        QCOMPARE(nv815_SetClockMode(vi, 2, 1, 2, 0.001, 1), VI_SUCCESS);
        QCOMPARE(nv815_SetCounterStep(vi, 262144), VI_SUCCESS);
        QCOMPARE(nv815_GenerateSignal(vi, 5, 1, 30), VI_SUCCESS);
        const double samples[] = {0, 50, 100, 25};
        QCOMPARE(nv815_LoadArbitraryWaveform(vi, 4, samples), VI_SUCCESS);

        QCOMPARE(SimValue(kCard72, 2, "attenuation"), 12.0);
        QCOMPARE(SimValue(kCard72, 2, "offset"), -1.25);
        QCOMPARE(SimValue(kCard72, 2, "offsetApplied"), 1.0);
        QCOMPARE(SimValue(kCard72, 2, "outputOn"), 1.0);
        QCOMPARE(SimValue(kCard72, 2, "triggerSource"), 9.0);
        QCOMPARE(SimValue(kCard72, 2, "multiplier"), 4.0);
        QCOMPARE(SimValue(kCard72, 2, "clockMode"), 2.0);
        QCOMPARE(SimValue(kCard72, 2, "counterStep"), 262144.0);
        QCOMPARE(SimValue(kCard72, 2, "frequency"), 5.0);
        QCOMPARE(SimValue(kCard72, 2, "waveLength"), 4.0);
        QCOMPARE(SimValue(kCard72, 1, "attenuation"), 0.0); // channel 1 untouched

        ViInt32 id = 0;
        QCOMPARE(nv815_GetCardId(vi, &id), VI_SUCCESS);
        QCOMPARE(id, 1001);
        ViUInt32 y = 0, m = 0, d = 0;
        QCOMPARE(nv815_GetCalibrationDate(vi, &y, &m, &d), VI_SUCCESS);
        QCOMPARE(QList<ViUInt32>({y, m, d}), QList<ViUInt32>({2013, 2, 25}));
        char drv[NV815_REVISION_BUFLEN], ins[NV815_REVISION_BUFLEN];
        QCOMPARE(nv815_revision_query(vi, drv, ins), VI_SUCCESS);
        QCOMPARE(Text(drv), QString("1.4.6"));

        QCOMPARE(SimCalls("nv815_SetAttenuation").last(),
                 QString("nv815_SetAttenuation(%1, 12) = 00000000").arg(vi));
    }

    void everyCheckRefusesWithoutChangingState() {
        struct Case {
            const char* what;
            std::function<ViStatus(ViSession)> call;
            const char* field;
            uint32_t status;
        };
        const double bad[] = {50, 100.5};
        const double good[] = {1, 2};
        const QList<Case> cases = {
            {"channel 0", [](ViSession v) { return nv815_SetActiveChannel(v, 0); }, nullptr,
             0xBFFC0801u},
            {"channel 4", [](ViSession v) { return nv815_SetActiveChannel(v, 4); }, nullptr,
             0xBFFC0801u},
            {"output 2", [](ViSession v) { return nv815_SetInstrumentMode(v, 2); }, "outputOn",
             0xBFFC0811u},
            {"attenuation 41", [](ViSession v) { return nv815_SetAttenuation(v, 41); },
             "attenuation", 0xBFFC0802u},
            {"attenuation -1", [](ViSession v) { return nv815_SetAttenuation(v, -1); },
             "attenuation", 0xBFFC0802u},
            {"attenuation NaN", [](ViSession v) { return nv815_SetAttenuation(v, NAN); },
             "attenuation", 0xBFFC0802u},
            {"offset 5.01", [](ViSession v) { return nv815_SetOutputOffsetVoltage(v, 5.01, 1); },
             "offset", 0xBFFC0803u},
            {"offset apply 2", [](ViSession v) { return nv815_SetOutputOffsetVoltage(v, 1, 2); },
             "offset", 0xBFFC0811u},
            {"AM 3", [](ViSession v) { return nv815_SetAMMode(v, 3); }, "amOn", 0xBFFC0811u},
            {"FSK pin -1", [](ViSession v) { return nv815_SetFSKPin(v, -1); }, "fskPin",
             0xBFFC0811u},
            {"FSK source 11", [](ViSession v) { return nv815_SetFSKSource(v, 11); }, "fskSource",
             0xBFFC0809u},
            {"trigger source 10", [](ViSession v) { return nv815_SetTriggerMode(v, 10, 0); },
             "triggerSource", 0xBFFC0807u},
            {"trigger mode 7", [](ViSession v) { return nv815_SetTriggerMode(v, 0, 7); },
             "triggerSource", 0xBFFC0808u},
            {"clock source 2", [](ViSession v) { return nv815_SetClockSource(v, 2, 10, 20); },
             "clockSource", 0xBFFC080Au},
            {"external 0.5 MHz", [](ViSession v) { return nv815_SetClockSource(v, 1, 0.5, 20); },
             "clockSource", 0xBFFC080Cu},
            {"multiplier 3", [](ViSession v) { return nv815_SetClockSource(v, 0, 10, 3); },
             "multiplier", 0xBFFC080Bu},
            {"multiplier 21", [](ViSession v) { return nv815_SetClockSource(v, 0, 10, 21); },
             "multiplier", 0xBFFC080Bu},
            {"clock mode -1", [](ViSession v) { return nv815_SetClockMode(v, -1, 1, 1, 0.001, 1); },
             "clockMode", 0xBFFC080Du},
            {"clock mode 4", [](ViSession v) { return nv815_SetClockMode(v, 4, 1, 1, 0.001, 1); },
             "clockMode", 0xBFFC080Du},
            {"clock step 0", [](ViSession v) { return nv815_SetClockMode(v, 1, 1, 2, 0, 1); },
             "clockMode", 0xBFFC0814u},
            {"clock interval 0",
             [](ViSession v) { return nv815_SetClockMode(v, 1, 1, 2, 0.001, 0); }, "clockMode",
             0xBFFC0813u},
            {"counter step 3", [](ViSession v) { return nv815_SetCounterStep(v, 3); },
             "counterStep", 0xBFFC080Eu},
            {"counter step 0", [](ViSession v) { return nv815_SetCounterStep(v, 0); },
             "counterStep", 0xBFFC080Eu},
            {"counter step 2^19", [](ViSession v) { return nv815_SetCounterStep(v, 524288); },
             "counterStep", 0xBFFC080Eu},
            {"wave type 3", [](ViSession v) { return nv815_GenerateSignal(v, 1, 3, 50); },
             "generator", 0xBFFC0804u},
            {"symmetry 101", [](ViSession v) { return nv815_GenerateSignal(v, 1, 0, 101); },
             "generator", 0xBFFC0805u},
            {"frequency 0", [](ViSession v) { return nv815_GenerateSignal(v, 0, 0, 50); },
             "generator", 0xBFFC0806u},
            {"frequency 10.001 MHz",
             [](ViSession v) { return nv815_GenerateSignal(v, 10000.001, 0, 50); }, "generator",
             0xBFFC0806u},
            {"sweep mode 2",
             [](ViSession v) { return nv815_GenerateSweep(v, 0, 50, 2, 1, 2, 0.001, 1); },
             "generator", 0xBFFC0812u},
            {"sweep end 0",
             [](ViSession v) { return nv815_GenerateSweep(v, 0, 50, 0, 1, 0, 0.001, 1); },
             "generator", 0xBFFC0806u},
            {"sweep step -1",
             [](ViSession v) { return nv815_GenerateSweep(v, 0, 50, 0, 1, 2, -1, 1); }, "generator",
             0xBFFC0814u},
            {"sweep time 0",
             [](ViSession v) { return nv815_GenerateSweep(v, 0, 50, 0, 1, 2, 0.001, 0); },
             "generator", 0xBFFC0813u},
            {"wave length 0", [&](ViSession v) { return nv815_LoadArbitraryWaveform(v, 0, good); },
             "waveLength", 0xBFFC080Fu},
            {"wave length 2^18+1",
             [&](ViSession v) { return nv815_LoadArbitraryWaveform(v, 262145, good); },
             "waveLength", 0xBFFC080Fu},
            {"sample 100.5", [&](ViSession v) { return nv815_LoadArbitraryWaveform(v, 2, bad); },
             "waveLength", 0xBFFC0810u},
            {"no samples", [](ViSession v) { return nv815_LoadArbitraryWaveform(v, 2, nullptr); },
             "waveLength", 0xBFFC0816u},
            {"no card id", [](ViSession v) { return nv815_GetCardId(v, nullptr); }, nullptr,
             0xBFFC0816u},
        };
        ViSession vi = openCard(kCard72);
        for (const Case& c : cases) {
            const double before = c.field ? SimValue(kCard72, 1, c.field) : 0;
            const int calls = nvsim_journal_count();
            QCOMPARE(static_cast<uint32_t>(c.call(vi)), c.status);
            if (c.field)
                QVERIFY2(SimValue(kCard72, 1, c.field) == before, c.what);
            QVERIFY2(nvsim_journal_count() == calls + 1, c.what);
            QVERIFY2(!Describe(c.status).startsWith("Unknown"), c.what);
        }
        // The rejected selection left channel 1 addressed.
        QCOMPARE(nv815_SetAttenuation(vi, 3), VI_SUCCESS);
        QCOMPARE(SimValue(kCard72, 1, "attenuation"), 3.0);
    }

    void twoChannelCardHasNoThirdChannel() {
        ViSession vi = openCard(kCard82);
        QCOMPARE(nv815_SetActiveChannel(vi, 2), VI_SUCCESS);
        QCOMPARE(nv815_SetActiveChannel(vi, 3), static_cast<ViStatus>(0xBFFC0801u));
    }

    void memoryTestOutcomesPerChannel() {
        QCOMPARE(nvsim_set_memory_test(kCard72, 2, 1, 0x1234, 0x5A, 0xA5), 0);
        QCOMPARE(nvsim_set_memory_test(kCard72, 3, 2, 0, 0, 0), 0);
        QCOMPARE(nvsim_set_memory_test(kCard72, 4, 0, 0, 0, 0), -1);
        ViSession vi = openCard(kCard72);
        ViUInt32 a = 7, d = 7, e = 7;
        QCOMPARE(nv815_MemoryTest(vi, &a, &d, &e), VI_SUCCESS);
        nv815_SetActiveChannel(vi, 2);
        QCOMPARE(nv815_MemoryTest(vi, &a, &d, &e), NV815_MEMORY_TEST_FAILED);
        QCOMPARE(QList<ViUInt32>({a, d, e}), QList<ViUInt32>({0x1234, 0x5A, 0xA5}));
        nv815_SetActiveChannel(vi, 3);
        QCOMPARE(nv815_MemoryTest(vi, &a, &d, &e), static_cast<ViStatus>(0xBFFC0815u));
    }

    void faultsHitTheChosenCallChannelAndResource() {
        const ViStatus injected = static_cast<ViStatus>(0xBFFC0999u);
        nvsim_fail("nv815_SetAttenuation", injected, 2, 0, nullptr);
        nvsim_fail("nv815_SetInstrumentMode", injected, 0, 3, nullptr);
        nvsim_fail("viOpen", VI_ERROR_TMO, 0, 0, kCard82);
        ViSession vi = openCard(kCard72);
        QCOMPARE(nv815_SetAttenuation(vi, 1), VI_SUCCESS);
        QCOMPARE(nv815_SetAttenuation(vi, 2), injected);
        QCOMPARE(SimValue(kCard72, 1, "attenuation"), 1.0);
        QCOMPARE(nv815_SetAttenuation(vi, 3), VI_SUCCESS);
        QCOMPARE(nv815_SetInstrumentMode(vi, 1), VI_SUCCESS);
        nv815_SetActiveChannel(vi, 3);
        QCOMPARE(nv815_SetInstrumentMode(vi, 1), injected);
        QCOMPARE(SimValue(kCard72, 3, "outputOn"), 0.0);
        ViSession other = 0;
        QCOMPARE(viOpen(rm, kCard82, VI_NULL, 1000, &other), VI_ERROR_TMO);
        QCOMPARE(viOpen(rm, kCard72, VI_NULL, 1000, &other), VI_SUCCESS);
        QVERIFY(SimCalls("nv815_SetAttenuation").at(1).endsWith("= BFFC0999"));
        QVERIFY(Describe(injected).startsWith("Unknown status code 0xBFFC0999"));

        nvsim_clear_faults();
        nvsim_fail("*", VI_ERROR_SYSTEM_ERROR, 0, 0, nullptr);
        QCOMPARE(nv815_GetCardId(vi, nullptr), VI_ERROR_SYSTEM_ERROR);
        QCOMPARE(viOpenDefaultRM(&other), VI_ERROR_SYSTEM_ERROR);
    }

    void errorTextsAndUnsupportedEntryPoints() {
        char text[NV815_MESSAGE_BUFLEN];
        QCOMPARE(nv815_error_message(0, static_cast<ViStatus>(0xBFFC0802u), text), VI_SUCCESS);
        QCOMPARE(Text(text), QString("Attenuation out of range."));
        QCOMPARE(Describe(VI_ERROR_RSRC_NFOUND),
                 QString("Insufficient location information or the device or resource is not "
                         "present in the system."));
        ViSession vi = openCard(kCard72);
        QCOMPARE(nv815_WriteCardId(vi, 7), VI_ERROR_NSUP_OPER); // a calibration write
        QCOMPARE(viRead(vi, nullptr, 0, nullptr), VI_ERROR_NSUP_OPER);
    }

    void chassisFileDescribesCardsLimitsAndFaults() {
        QTemporaryDir dir;
        QString path = writeFile(dir, R"(; a small chassis
[Chassis]
Vendor = Test VISA
ImplVersion = 0x00700305

[Limits]
AttenuationMax = 20

[Instrument1]
Resource = PXI5::1::INSTR
Model = 82-815 Function Generator
SubsystemId = 0x4404
CardId = 42
CalibrationDate = 2020-11-30
MemoryTest2 = mismatch 0x10 0x1 0x2
Chassis = 2
Slot = 7

[Fault1]
Function = nv815_SetFSKPin
Status = 0xBFFC0811
)");
        char error[512];
        QCOMPARE(nvsim_load_chassis(path.toLocal8Bit().constData(), error, sizeof error), 0);
        QCOMPARE(Text(error), QString());
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(find("PXI?*::INSTR"), QStringList({"PXI5::1::INSTR"}));
        ViSession vi = openCard("PXI0::CHASSIS2::SLOT7::INSTR"); // where the file puts it
        QCOMPARE(nv815_SetAttenuation(vi, 20), VI_SUCCESS);
        QCOMPARE(nv815_SetAttenuation(vi, 21), static_cast<ViStatus>(0xBFFC0802u));
        QCOMPARE(nv815_SetActiveChannel(vi, 3), static_cast<ViStatus>(0xBFFC0801u));
        QCOMPARE(nv815_SetFSKPin(vi, 1), static_cast<ViStatus>(0xBFFC0811u));
        ViInt32 id = 0;
        nv815_GetCardId(vi, &id);
        QCOMPARE(id, 42);
        char text[VI_FIND_BUFLEN];
        viGetAttribute(rm, VI_ATTR_RSRC_MANF_NAME, text);
        QCOMPARE(Text(text), QString("Test VISA"));
    }

    void badChassisFilesAreReportedWithFileLineAndKey_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("range")
            << QByteArray("[Instrument1]\nResource=PXI1::1::INSTR\nModel=72-815\n"
                          "Channels=5\n")
            << "line 4, key Channels in [Instrument1]: value 5 out of range 1..3";
        QTest::newRow("not a number")
            << QByteArray("[Limits]\nOffsetMax=five\n")
            << "line 2, key OffsetMax in [Limits]: \"five\" is not a number";
        QTest::newRow("unknown key") << QByteArray("[Limits]\n\nAttenuatonMax=3\n")
                                     << "line 3, key AttenuatonMax in [Limits]: unknown key";
        QTest::newRow("unknown section")
            << QByteArray("[Cards]\n") << "line 1: unknown section [Cards]";
        QTest::newRow("no equals") << QByteArray("[Limits]\nOffsetMax\n")
                                   << "line 2: expected key=value, found \"OffsetMax\"";
        QTest::newRow("no resource") << QByteArray("\n[Instrument1]\nModel=72-815\n")
                                     << "section [Instrument1] at line 2: key Resource is missing";
        QTest::newRow("twice") << QByteArray("[I1]\n") // replaced below
                               << QString();
        QTest::newRow("fault status 0") << QByteArray("[Fault1]\nFunction=viOpen\nStatus=0\n")
                                        << "a fault status must not be 0";
        QTest::newRow("binary junk") << QByteArray("\x01\x02\xff[", 4) << "expected key=value";
        QTest::newRow("most negative 64-bit")
            << QByteArray("[Chassis]\nImplVersion=-9223372036854775808\n")
            << "key ImplVersion in [Chassis]: value -9223372036854775808 out of range";
        QTest::newRow("beyond 64 bits")
            << QByteArray("[Instrument1]\nResource=PXI1::1::INSTR\nModel=72-815\n"
                          "CardId=18446744073709551615\n")
            << "line 4, key CardId in [Instrument1]: value 18446744073709551615 out of range";
    }

    void badChassisFilesAreReportedWithFileLineAndKey() {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        if (QByteArray(QTest::currentDataTag()) == "twice") {
            content = "[Instrument1]\nResource=PXI1::1::INSTR\nModel=72-815\n"
                      "[Instrument2]\nResource=pxi1::1::instr\nModel=72-815\n";
            message = "line 4: resource pxi1::1::instr is listed twice";
        }
        QTemporaryDir dir;
        QString path = writeFile(dir, content);
        char error[512];
        QCOMPARE(nvsim_load_chassis(path.toLocal8Bit().constData(), error, sizeof error), -1);
        QVERIFY2(Text(error).startsWith(path), error);
        QVERIFY2(Text(error).contains(message), error);

        // The broken chassis has no instruments and says why.
        ViSession broken = 0;
        QCOMPARE(viOpenDefaultRM(&broken), VI_ERROR_SYSTEM_ERROR);
        QVERIFY(Describe(VI_ERROR_SYSTEM_ERROR).contains(path));
    }

    void missingChassisFile() {
        char error[512];
        QCOMPARE(nvsim_load_chassis("/nonexistent/chassis.ini", error, sizeof error), -1);
        QCOMPARE(Text(error), QString("/nonexistent/chassis.ini: cannot be read"));
        QTemporaryDir dir;
        QCOMPARE(nvsim_load_chassis(dir.path().toLocal8Bit().constData(), error, sizeof error), -1);
        QCOMPARE(Text(error), dir.path() + ": is a directory, not a chassis file");
    }

    void initIsJournalledUnderItsName() {
        ViSession vi = 0;
        nv815_init("PXI1::13::INSTR", 0, 0, &vi);
        QVERIFY(SimJournal().last().startsWith("nv815_init(\"PXI1::13::INSTR\", 0, 0) = "));
    }

    void errorTextCallsFailWhenTold() {
        char text[NV815_MESSAGE_BUFLEN] = "untouched";
        nvsim_fail("nv815_error_message", VI_ERROR_TMO, 0, 0, nullptr);
        QCOMPARE(nv815_error_message(0, VI_ERROR_TMO, text), VI_ERROR_TMO);
        QCOMPARE(Text(text), QString("untouched"));
        nvsim_fail("viStatusDesc", VI_ERROR_TMO, 0, 0, nullptr);
        QCOMPARE(viStatusDesc(0, VI_ERROR_TMO, text), VI_ERROR_TMO);
        nvsim_clear_faults();
        QCOMPARE(nv815_error_message(0, VI_ERROR_TMO, text), VI_SUCCESS);
    }
};

NV815_TEST_GUILESS_MAIN(TestSimulator)
} // namespace NV815_TEST_UNIT

#include "tst_simulator.moc"
