// The watch on the simulator: interfaces plugged in after the start, readers swapped behind a
// plugged interface, each reader provisioned once per connection, and a long run of swaps.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <thread>

#ifdef __linux__
#include <unistd.h>
#endif

#include "sim/hotplug.h"
#include "tests/provision/provision_rig.h"
#include "uwieg/provision_watch.h"
#include "wusb/forwarding_platform.h"

namespace provision_test {
namespace {

using uwieg::ProvisionResult;

// Under AddressSanitizer freed memory waits in its quarantine, so resident memory grows with
// every allocation; its leak checker watches for leaks there instead. ThreadSanitizer keeps the
// history of every thread that ended, and the watch starts one per reader.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentMemoryTells = false;
#else
constexpr bool kResidentMemoryTells = true;
#endif

// The process's resident memory; 0 where it cannot be read.
long ResidentKilobytes() {
#ifdef __linux__
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
#else
    return 0;
#endif
}

// Refuses to open any interface while `refusals` lasts, as a device node whose permission
// comes a moment after the device.
class LateAccess final : public wusb::ForwardingPlatform {
  public:
    using ForwardingPlatform::ForwardingPlatform;
    wusb::Handle OpenFile(const std::string& path) override {
        ++opens;
        if (refusals > 0) {
            --refusals;
            return wusb::kNoHandle;
        }
        return ForwardingPlatform::OpenFile(path);
    }
    std::atomic<int> refusals = 0;
    std::atomic<int> opens = 0;
};

class WatchTest : public ::testing::Test, public ProvisionRig {
  protected:
    void StartWatch(uwieg::AuditLog* log = nullptr, wusb::Platform* watched = nullptr) {
        output_ =
            std::make_unique<uwieg::ProvisionOutput>(job, log, [this](const ProvisionResult& r) {
                const std::lock_guard lock(mutex_);
                reported_.push_back(r);
                changed_.notify_all();
            });
        watch_ = std::make_unique<uwieg::ProvisionWatch>(watched ? *watched : platform, clock,
                                                         hotplug_, job, *output_);
        thread_ = std::thread([this] { watch_->Run([this] { return stop_.load(); }); });
    }
    void TearDown() override {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // Waits (in real time, at most 20 s) until `count` readers were reported.
    std::vector<ProvisionResult> WaitForReports(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(20),
                          [&] { return reported_.size() >= count; });
        return reported_;
    }
    std::size_t WaitForCount(std::size_t count) { return WaitForReports(count).size(); }
    // Lets `ms` of fake time pass while the watch runs: the readers' time, or the watch's own
    // (its listings and retries).
    static void LetTimePass(std::int64_t ms, wusb::FakeClock& on) {
        const wusb::Instant from = on.Monotonic();
        while (wusb::ElapsedMs(from, on.Monotonic()) < ms) {
            std::this_thread::yield();
        }
    }
    void LetTimePass(std::int64_t ms) { LetTimePass(ms, clock); }
    std::size_t reportedCount() {
        const std::lock_guard lock(mutex_);
        return reported_.size();
    }
    void SwapReader(int n, std::uint16_t number) {
        platform.Modify(n, [number](sim::SimInterface& device) {
            device.reader().readerNumber = number;
            device.ClearReceived();
        });
    }

    // The watch's own waits run on a clock of their own, so that the readers' clock moves only
    // with the worker's exchanges and waits, as each interface's time would.
    wusb::FakeClock watchClock_;
    sim::SimHotplug hotplug_{platform, watchClock_};
    std::unique_ptr<uwieg::ProvisionOutput> output_;
    std::unique_ptr<uwieg::ProvisionWatch> watch_;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ProvisionResult> reported_;
};

TEST_F(WatchTest, ProvisionsPresentAndLaterPluggedInterfacesAndSwappedReaders) {
    PlugReaders(1);
    StartWatch();
    auto reports = WaitForReports(1);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].ok) << reports[0].error;
    EXPECT_EQ(reports[0].path, "sim:0");

    PlugReaders(1);  // plugged in after the start
    reports = WaitForReports(2);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].path, "sim:1");
    EXPECT_TRUE(reports[1].ok) << reports[1].error;
    EXPECT_EQ(platform.device(1)->reader().config, kProfileRecord);

    // Still connected: not again, however long it stays.
    LetTimePass(10'000);
    EXPECT_EQ(reportedCount(), 2u);

    // Another reader behind the first interface, and one of another type.
    SwapReader(0, 777);
    reports = WaitForReports(3);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2].before.readerNumber(), 777);
    platform.Modify(1, [](sim::SimInterface& device) { device.reader().typeNumber = 43; });
    reports = WaitForReports(4);
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[3].before.typeNumber(), 43);

    // Unplugged and plugged again: a new connection.
    platform.Unplug(0);
    LetTimePass(1000);
    platform.Replug(0);
    reports = WaitForReports(5);
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_EQ(reports[4].path, "sim:0");
}

TEST_F(WatchTest, AnInterfaceThatCannotBeOpenedYetIsTriedAgainAndReportedOnce) {
    PlugReaders(1);
    LateAccess late(platform);
    late.refusals = uwieg::kLinkAttempts - 1;
    StartWatch(nullptr, &late);
    auto reports = WaitForReports(1);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].ok) << "no failure before the last attempt: " << reports[0].error;
    EXPECT_EQ(late.opens, uwieg::kLinkAttempts);

    // One that stays closed is reported once and left alone until it is plugged in again.
    late.refusals = 1'000'000;
    platform.Unplug(0);
    platform.Replug(0);
    reports = WaitForReports(2);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_FALSE(reports[1].ok);
    LetTimePass(10 * wusb::kSafetyListingPeriodMs, watchClock_);
    EXPECT_EQ(reportedCount(), 2u);
    EXPECT_EQ(late.opens, 2 * uwieg::kLinkAttempts);
}

TEST_F(WatchTest, TheWallClockSetBackAnHourStopsNeitherThePollNorTheStop) {
    PlugReaders(1);
    StartWatch();
    WaitForReports(1);
    watchClock_.StepWall(-3'600'000);
    clock.StepWall(-3'600'000);
    SwapReader(0, 777);
    LetTimePass(uwieg::kIdentityPollMs + 5000);  // a poll, and the provisioning it starts
    EXPECT_EQ(reportedCount(), 2u) << "the new reader was seen";

    const wusb::Instant asked = watchClock_.Monotonic();
    stop_ = true;
    thread_.join();
    EXPECT_LE(wusb::ElapsedMs(asked, watchClock_.Monotonic()), 250);
    EXPECT_LE(watchClock_.longestSleep(), 250u);
}

TEST_F(WatchTest, ALostIdentifyAnswerIsNoDepartureButAReaderTakenOffIs) {
    PlugReaders(1);
    uwieg::AuditLog log(files, "log.csv");
    StartWatch(&log);
    WaitForReports(1);
    const auto loseAnswers = [this](int count) {
        platform.Modify(0, [count](sim::SimInterface& device) {
            device.InjectFault({sim::FaultKind::NoAnswer, 'T', 'M', 0, count});
        });
    };
    for (int lost = 1; lost < uwieg::kPollsBeforeGone; ++lost) {
        loseAnswers(lost);
        LetTimePass((lost + 3) * uwieg::kIdentityPollMs);
        EXPECT_EQ(reportedCount(), 1u) << lost << " lost answers in a row";
    }
    // Taken off the line (silent for that many polls) and put back: the same reader, plugged
    // behind the same interface, is a new connection.
    loseAnswers(uwieg::kPollsBeforeGone);
    const auto reports = WaitForReports(2);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].before.readerNumber(), 100);
    stop_ = true;
    thread_.join();
    EXPECT_EQ(LogRecords().size(), 2u);
}

TEST_F(WatchTest, AnIdleInterfaceIsAskedForItsReaderAboutOnceASecond) {
    PlugReaders(1);
    StartWatch();
    WaitForReports(1);
    // Counted and timed under the platform's lock, which every exchange of the worker needs.
    wusb::TimeStamp from;
    platform.Modify(0, [&](sim::SimInterface& device) {
        device.ClearReceived();
        from = clock.Now();
    });
    LetTimePass(10'000);
    int identities = 0;
    std::int64_t seconds = 0;
    platform.Modify(0, [&](sim::SimInterface& device) {
        for (const auto& command : device.received()) {
            identities += command.command == 'T' && command.payload.at(0) == 'M';
        }
        seconds = wusb::ElapsedMs(from, clock.Now()) / 1000;
    });
    EXPECT_GE(identities, seconds - 2);
    EXPECT_LE(identities, seconds + 2);
}

TEST_F(WatchTest, ThousandReadersInTurnGiveExactlyThousandRecordsInFlatMemory) {
    PlugReaders(1);
    uwieg::AuditLog log(files, "log.csv");
    StartWatch(&log);
    WaitForReports(1);
    constexpr int kReaders = 1000;
    long residentAfterWarmUp = 0;
    for (int i = 1; i < kReaders; ++i) {
        SwapReader(0, static_cast<std::uint16_t>(1000 + i));
        ASSERT_EQ(WaitForCount(static_cast<std::size_t>(i + 1)), static_cast<std::size_t>(i + 1));
        if (i == 100) {
            residentAfterWarmUp = ResidentKilobytes();
        }
    }
    stop_ = true;
    thread_.join();
    EXPECT_EQ(LogRecords().size(), static_cast<std::size_t>(kReaders));
    for (const ProvisionResult& r : reported_) {
        EXPECT_TRUE(r.ok) << r.error;
    }
    // The log grows in memory files by design; everything else stays put.
    const long logKilobytes = static_cast<long>(files.Content("log.csv").size() / 1024 * 2);
    if (kResidentMemoryTells) {
        EXPECT_LT(ResidentKilobytes() - residentAfterWarmUp, 1536 + logKilobytes);
    }
}

}  // namespace
}  // namespace provision_test
