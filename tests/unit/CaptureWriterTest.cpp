// The capture writer's wake-ups: the signal the audio thread wakes it with never loses a
// post nor cuts a timeout short, sound that trickles in (too little to post) still reaches
// the sound file on the writer's own cadence, and a burst far larger than the ring lands
// whole at once rather than one ring per cadence tick.
#include "audio/VirtualAudioBackend.h"
#include "audio/WakeSignal.h"
#include "engine/device/CaptureSession.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using wsx::audio::WakeSignal;

TEST(CaptureWriter, WakeSignalKeepsEveryPostAndEveryTimeout) {
    WakeSignal signal;
    // A post made before the wait is consumed by it; posts while one is pending fold.
    signal.post();
    signal.post();
    EXPECT_TRUE(signal.waitFor(5s));
    auto start = Clock::now();
    EXPECT_FALSE(signal.waitFor(60ms));
    EXPECT_GE(Clock::now() - start, 60ms);  // a timeout is never cut short
    start = Clock::now();
    EXPECT_FALSE(signal.waitFor(0ms));
    EXPECT_LT(Clock::now() - start, 1s);

    // Ping-pong across threads: a post lost between the waiter's check and its sleep would
    // leave one side sleeping its whole ten seconds and fail the round.
    WakeSignal toWorker, toMain;
    std::atomic<int> workerMisses{0};
    constexpr int kRounds = 2000;
    std::thread worker([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (!toWorker.waitFor(10s)) ++workerMisses;
            toMain.post();
        }
    });
    int mainMisses = 0;
    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        toWorker.post();
        if (!toMain.waitFor(10s)) ++mainMisses;
    }
    worker.join();
    EXPECT_EQ(workerMisses.load(), 0);
    EXPECT_EQ(mainMisses, 0);
    EXPECT_LT(Clock::now() - start, 10s);
}

namespace {

struct Recording {
    wsx::test::TempDir dir;
    std::unique_ptr<wsx::mci::SpoolFile> spool = wsx::mci::SpoolFile::open(dir.path() / "s", true);
    wsx::audio::AudioFormat format{22050, 2, 16};
    wsx::audio::VirtualAudioBackend backend;
    std::unique_ptr<wsx::mci::CaptureSession> session;

    void start(uint64_t budgetBytes) {
        session = std::make_unique<wsx::mci::CaptureSession>(*spool, format, budgetBytes);
        wsx::audio::OpenError error{};
        ASSERT_TRUE(session->start(backend, wsx::audio::CaptureSource{}, error));
    }
    uint64_t bytesFor(std::chrono::milliseconds ms) const {
        return uint64_t(ms.count()) * format.bytesPerSecond() / 1000;
    }
    // How long until the spool holds `bytes`, giving up after `limit`.
    Clock::duration timeUntilSpoolHolds(uint64_t bytes, Clock::duration limit) const {
        const auto start = Clock::now();
        while (spool->size() < bytes && Clock::now() - start < limit)
            std::this_thread::sleep_for(2ms);
        return Clock::now() - start;
    }
};

}  // namespace

TEST(CaptureWriter, TrickleReachesTheFileOnTheWritersCadenceAndABurstAtOnce) {
    Recording r;
    ASSERT_NE(r.spool, nullptr);
    r.start(r.bytesFor(600s));
    // 100 ms is under the quarter second that posts: only the writer's own wake-up (every
    // 200 ms) moves it. Generous bound for a loaded machine; without the cadence it would
    // wait for the finish.
    r.backend.advance(100);
    EXPECT_LT(r.timeUntilSpoolHolds(r.bytesFor(100ms), 5s), 1500ms);
    EXPECT_EQ(r.spool->size(), r.bytesFor(100ms));

    // Sixty seconds offered at once through a two-second ring (the virtual clock offers
    // again what a full ring refused, so nothing is lost): each time the ring fills the
    // audio side posts, so the writer keeps up at disk speed. Waiting out the 200 ms
    // cadence per ring instead would take six seconds.
    const auto start = Clock::now();
    r.backend.advance(60000);
    EXPECT_EQ(r.session->capturedBytes(), r.bytesFor(60100ms));
    (void)r.timeUntilSpoolHolds(r.bytesFor(60100ms), 20s);
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_EQ(r.spool->size(), r.bytesFor(60100ms));
    const auto result = r.session->finish();
    EXPECT_EQ(result.piece.length, r.bytesFor(60100ms));
    EXPECT_FALSE(result.writeFailed);
}
