// The program's gross regressions: the start-up read no longer completing, the test tab no
// longer polling or polling by busy waiting, a window flow losing or doubling its waits.
#include <gtest/gtest.h>

#include <string>

#include "bench/child_process.h"
#include "bench/program_measure.h"

namespace {

TEST(QuickProgramBench, TestTabMonitorsAnIdleReaderWithoutBusyWaiting) {
    const bench::ChildOutcome r =
        bench::RunChild({BENCH_WINDOW, "--settle-ms", "300", "--idle-ms", "1500"}, 0, 30000);
    ASSERT_TRUE(r.exitedCleanly);
    EXPECT_EQ(bench::Reported(r, "startup_ok"), 1);
    // The read waits 100 ms after 'O' on top of the 50 ms start-up timer.
    EXPECT_GE(bench::Reported(r, "read_done_ns") - bench::Reported(r, "created_ns"), 140e6);

    const double wall = bench::Reported(r, "idle_wall_s");
    const double pollsPerSecond = bench::Reported(r, "idle_polls") / wall;
    EXPECT_GT(pollsPerSecond, 3.0);  // one per 200 ms tick
    EXPECT_LT(pollsPerSecond, 6.0);
    // Idle monitoring measures about 0.1 % of a core; a busy wait would take most of one.
    EXPECT_LT(100 * bench::Reported(r, "idle_cpu_s") / wall, 10.0);
}

// Each button keeps its waits and its animation (255 ms) without taking twice as long; the
// return from the test tab closes the open channel first (200 ms).
TEST(QuickProgramBench, WindowFlowsKeepTheirWaitsAndPace) {
    const bench::WindowFlowTimes t = bench::MeasureWindowFlows(BENCH_WINDOW, {}, 1);
    for (const auto& [samples, floorMs] :
         {std::pair{t.readButtonMs, 255.0}, std::pair{t.writeButtonMs, 255.0},
          std::pair{t.returnReadMs, 200.0}}) {
        ASSERT_EQ(samples.size(), 1u);
        EXPECT_GE(samples[0], floorMs);
        EXPECT_LT(samples[0], 2 * floorMs);
    }
    // Showing the test tab waits for nothing; a quiet-period close there would add 100 ms.
    EXPECT_LT(t.testTabOpenMs.at(0), 100.0);
}

}  // namespace
