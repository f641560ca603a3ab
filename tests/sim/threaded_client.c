/* A client with several threads against the simulated VISA library and
 * driver: each opens and closes sessions of one card, takes its exclusive
 * lock (a counter changed only under it must never see two threads at once),
 * shares it with an access key, reads attributes and configuration space,
 * and opens the card through the driver. Run plain and under ThreadSanitizer
 * (scripts/sanitize.sh). Exit status 0 when every call answered as VISA says. */
#include <pthread.h>
#include <stdio.h>

#include "nv815.h"
#include "visa_api.h"

#define DECLARE(name, parameters) ViStatus name parameters;
#define DECLARE_VOID(name, parameters) void name parameters;
NV815_VISA_ENTRY_POINTS(DECLARE)

enum { kThreads = 4, kRounds = 300 };
static const char* const kCard = "PXI1::13::INSTR";
static int inside, most, total, failures;
static pthread_mutex_t report = PTHREAD_MUTEX_INITIALIZER;

static void fail(const char* what, ViStatus status) {
    pthread_mutex_lock(&report);
    if (failures++ < 10)
        fprintf(stderr, "%s: status %08X\n", what, (unsigned)status);
    pthread_mutex_unlock(&report);
}

#define EXPECT(call, ok)                                                                           \
    do {                                                                                           \
        ViStatus s_ = (call);                                                                      \
        if (!(ok))                                                                                 \
            fail(#call, s_);                                                                       \
    } while (0)

static void* client(void* arg) {
    ViSession rm = 0, vi = 0, card = 0;
    ViChar key[256];
    ViUInt32 word = 0;
    ViUInt16 slot = 0;
    (void)arg;
    EXPECT(viOpenDefaultRM(&rm), s_ == VI_SUCCESS);
    for (int round = 0; round < kRounds; ++round) {
        EXPECT(viOpen(rm, kCard, 0, 0, &vi), s_ == VI_SUCCESS);
        EXPECT(viLock(vi, VI_EXCLUSIVE_LOCK, 10000, NULL, NULL), s_ == VI_SUCCESS);
        if (++inside > most) /* only one thread may be here */
            most = inside;
        ++total;
        --inside;
        EXPECT(viUnlock(vi), s_ == VI_SUCCESS);
        EXPECT(viLock(vi, VI_SHARED_LOCK, 10000, "threads", key), s_ == VI_SUCCESS);
        EXPECT(viGetAttribute(vi, VI_ATTR_PXI_DEV_NUM, &slot), s_ == VI_SUCCESS);
        EXPECT(viIn32(vi, VI_PXI_CFG_SPACE, 0, &word), s_ == VI_SUCCESS);
        EXPECT(viUnlock(vi), s_ == VI_SUCCESS);
        if (round % 10 == 0) { /* the driver's own session, its journal lines */
            EXPECT(nv815_init(kCard, 0, 0, &card), s_ == VI_SUCCESS || s_ == VI_ERROR_RSRC_LOCKED);
            ViStatus closed = VI_ERROR_RSRC_LOCKED;
            while (card && closed == VI_ERROR_RSRC_LOCKED) /* until the lock is given back */
                closed = nv815_close(card);
            if (card && closed != VI_SUCCESS)
                fail("nv815_close", closed);
            card = 0;
        }
        EXPECT(viClose(vi), s_ == VI_SUCCESS);
    }
    EXPECT(viClose(rm), s_ == VI_SUCCESS);
    return NULL;
}

int main(void) {
    pthread_t threads[kThreads];
    for (int i = 0; i < kThreads; ++i)
        pthread_create(&threads[i], NULL, client, NULL);
    for (int i = 0; i < kThreads; ++i)
        pthread_join(threads[i], NULL);
    if (most != 1 || total != kThreads * kRounds)
        fprintf(stderr, "exclusive lock: %d threads at once, %d of %d rounds\n", most, total,
                kThreads * kRounds);
    printf("%d threads, %d rounds each: %d failures\n", kThreads, kRounds, failures);
    return failures == 0 && most == 1 && total == kThreads * kRounds ? 0 : 1;
}
