// The quick form of the benches: every flow once on the simulator against the real clock,
// failing only on a gross regression, plus the throughput of the routines on every frame.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "bench/flow_run.h"
#include "bench/flows.h"
#include "bench/metered_clock.h"
#include "bench/regression.h"
#include "bench/rig.h"
#include "bench/stats.h"
#include "uwieg/report.h"
#include "wusb/crc.h"
#include "wusb/frame.h"

namespace {

// Full-speed USB, 12 Mbit/s, in bytes per second.
constexpr double kLinkBytesPerSecond = 12e6 / 8;

std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const auto& p : problems) {
        text += p + "; ";
    }
    return text;
}

TEST(QuickBench, EveryFlowKeepsItsWaitsItsPaceAndTheMinimumTransfers) {
    wusb::SystemClock system;
    bench::MeteredClock clock(system);
    bench::SimRig rig(clock);
    for (const bench::FlowSpec& flow : bench::StandardFlows({41, 43, 51, 53})) {
        const bench::FlowResult result = bench::RunFlow(rig, clock, flow, 1);
        EXPECT_EQ(Joined(bench::GrossRegressions(flow, result)), "") << flow.name;
    }
}

// The check must be able to fail: a flow that skips its waits, and one that needs an extra
// read, are both caught.
TEST(QuickBench, LostWaitsAndExtraTransfersAreCaught) {
    wusb::FakeClock fake;
    bench::MeteredClock clock(fake);
    bench::SimRig rig(clock);
    const bench::FlowSpec startup = bench::StandardFlows({}).front();
    const auto noWaits = bench::GrossRegressions(startup, bench::RunFlow(rig, clock, startup, 1));
    ASSERT_EQ(noWaits.size(), 1u) << Joined(noWaits);
    EXPECT_NE(noWaits[0].find("less than its waits"), std::string::npos);

    bench::FlowSpec reportInTheWay = startup;
    reportInTheWay.prepare = [&rig](bench::FlowSession&) {
        rig.WithInterface([](sim::SimInterface& sim) {
            sim.InjectFault({sim::FaultKind::ReportBefore, 'O'});
        });
    };
    const auto extra =
        bench::GrossRegressions(startup, bench::RunFlow(rig, clock, reportInTheWay, 1));
    ASSERT_EQ(extra.size(), 2u) << Joined(extra);
    EXPECT_EQ(extra[1], "made 4 writes and 5 reads, minimum 4 and 4");
}

TEST(QuickBench, FrameRoutinesKeepAheadOfTheFullSpeedLink) {
    std::vector<std::uint8_t> payload(wusb::kMaxPayload);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i * 7);
    }
    wusb::FrameBuffer frame{};
    std::uint64_t bytes = 0;
    std::uint64_t frames = 0;
    std::uint64_t accepted = 0;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::duration<double> elapsed{};
    do {
        // Each frame is built by its sender and accepted by its receiver.
        const std::uint32_t n = wusb::BuildFrame('T', payload.data(),
                                                 static_cast<std::uint32_t>(payload.size()), frame);
        accepted += wusb::IsAcceptableFrame(frame.data(), n) ? 1u : 0u;
        ++frames;
        bytes += n;
        elapsed = std::chrono::steady_clock::now() - start;
    } while (elapsed.count() < 0.05);
    EXPECT_EQ(accepted, frames);
    // Debug and sanitizer builds run this too, so only falling behind the link is gross.
    EXPECT_GT(static_cast<double>(bytes) / elapsed.count(), kLinkBytesPerSecond);

    const std::uint8_t card[] = {0xD4, 0x12, 0x12, 0x34, 0x56};
    const int calls = 2000;
    const auto formatStart = std::chrono::steady_clock::now();
    std::size_t length = 0;
    for (int i = 0; i < calls; ++i) {
        length += uwieg::FormatReport(card, sizeof card).size();
    }
    const std::chrono::duration<double, std::micro> formatTime =
        std::chrono::steady_clock::now() - formatStart;
    EXPECT_EQ(length, calls * std::string("1_12,34,56_0   {karta: Even parity + 24 bit + Odd "
                                          "parity}")
                                  .size());
    // One line per 200 ms tick at most: even 1 ms per line would be unnoticeable; 100 µs is
    // already a gross slowdown.
    EXPECT_LT(formatTime.count() / calls, 100.0);
}

TEST(QuickBench, SummariesTakeTheMedianAndTheSpread) {
    const bench::Summary odd = bench::Summarise({5, 1, 3});
    EXPECT_EQ(odd.median, 3);
    EXPECT_EQ(odd.min, 1);
    EXPECT_EQ(odd.max, 5);
    EXPECT_EQ(odd.runs, 3);
    EXPECT_EQ(bench::Summarise({4, 1, 2, 3}).median, 2.5);
    EXPECT_EQ(bench::Summarise({}).runs, 0);
    EXPECT_EQ(bench::FormatSummary(odd, 1), "3.0 (1.0–5.0, n=3)");
}

}  // namespace
