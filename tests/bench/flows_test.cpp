// The bench's own judgement: what it counts as within the goal, how it splits a flow's time,
// and that a broken flow is reported as broken rather than timed.
#include <gtest/gtest.h>

#include <stdexcept>

#include "bench/counting_platform.h"
#include "bench/flow_report.h"
#include "bench/flow_run.h"
#include "bench/flow_table.h"
#include "bench/flows.h"
#include "bench/metered_clock.h"
#include "bench/regression.h"
#include "bench/rig.h"
#include "uwieg/session.h"

namespace {

bench::MeasuredFlow Measured(double floorMs, double wallMs, std::uint64_t writes = 4,
                             std::uint64_t reads = 4) {
    bench::MeasuredFlow f;
    f.spec.name = "flow";
    f.spec.floorMs = floorMs;
    f.result.wallMs = {wallMs, wallMs, wallMs, 1};
    f.result.minWrites = 4;
    f.result.minReads = 4;
    f.result.counts.writes = writes;
    f.result.counts.reads = reads;
    return f;
}

TEST(FlowGoals, OverheadUpToTwoPercentOfTheFloorAndMinimumTransfersMeetTheGoal) {
    EXPECT_TRUE(bench::MeetsGoals(Measured(100, 102.0)));
    EXPECT_FALSE(bench::MeetsGoals(Measured(100, 102.1)));
    EXPECT_TRUE(bench::MeetsGoals(Measured(1300, 1325)));
    // Without waits there is no floor to hold the time against.
    EXPECT_TRUE(bench::MeetsGoals(Measured(0, 7)));
    EXPECT_FALSE(bench::MeetsGoals(Measured(100, 100.5, 5, 5)));
    EXPECT_FALSE(bench::MeetsGoals(Measured(100, 100.5, 4, 5)));

    bench::MeasuredFlow failed = Measured(100, 100.5);
    failed.result.failure = "Brak odpowiedzi., rozk: O";
    EXPECT_FALSE(bench::MeetsGoals(failed));
    const std::string table = bench::TimingTable({Measured(100, 102.1), failed});
    EXPECT_NE(table.find("| no (2.10 %) |"), std::string::npos) << table;
    EXPECT_NE(table.find("FAILED: Brak odpowiedzi., rozk: O"), std::string::npos) << table;
}

TEST(FlowGoals, RunCountsMustBePositive) {
    char prog[] = "bench", runs[] = "--runs", zero[] = "0", three[] = "3", other[] = "--fast";
    char* valid[] = {prog, runs, three};
    EXPECT_EQ(bench::ParseFlowRuns(3, valid).runs, 3);
    char* none[] = {prog, runs, zero};
    EXPECT_THROW(bench::ParseFlowRuns(3, none), std::invalid_argument);
    char* unknown[] = {prog, other, three};
    EXPECT_THROW(bench::ParseFlowRuns(3, unknown), std::invalid_argument);
}

class FlowRunTest : public testing::Test {
  protected:
    bench::FlowSpec Flow(const std::string& name) {
        for (const bench::FlowSpec& f : bench::StandardFlows({})) {
            if (f.name == name) {
                return f;
            }
        }
        throw std::invalid_argument(name);
    }
    void Inject(bench::FlowSpec& flow, const sim::Fault& fault) {
        flow.prepare = [this, fault](bench::FlowSession&) {
            rig_.WithInterface([&](sim::SimInterface& sim) { sim.InjectFault(fault); });
        };
    }

    wusb::SystemClock system_;
    bench::MeteredClock clock_{system_};
    bench::SimRig rig_{clock_};
};

// The simulator sleeps a read's time-out inside the transfer; counting it both as a sleep and
// as transfer time would make the program's own work negative.
TEST_F(FlowRunTest, TimeIsSplitWithoutCountingASimulatedTimeOutTwice) {
    const bench::FlowResult r = bench::RunFlow(rig_, clock_, Flow("test-tab tick, idle reader"), 1);
    ASSERT_EQ(r.failure, "");
    EXPECT_GE(r.oversleptMs.median, 0);
    EXPECT_LT(r.transferMs.median, 5);
    EXPECT_GE(r.ownWorkMs.median, 0);
    EXPECT_NEAR(
        r.wallMs.median,
        bench::kPollTimeoutWaitMs + r.oversleptMs.median + r.transferMs.median + r.ownWorkMs.median,
        0.01);
}

TEST_F(FlowRunTest, BrokenFlowsAreReportedAsFailedNotTimed) {
    bench::FlowSpec refused = Flow("write");
    Inject(refused, {sim::FaultKind::ReaderStatus, 'T', 'C'});
    const bench::FlowResult r = bench::RunFlow(rig_, clock_, refused, 3);
    EXPECT_EQ(r.failure, "Błąd komunikacji z interfacem USB-Wiegand.");
    EXPECT_EQ(r.wallMs.runs, 1) << "no further runs after a failure";
    EXPECT_EQ(bench::GrossRegressions(refused, r),
              std::vector<std::string>{"failed: " + r.failure});

    bench::FlowSpec expectsMore = Flow("start-up read");
    expectsMore.commands.push_back("o");
    EXPECT_EQ(bench::RunFlow(rig_, clock_, expectsMore, 1).failure,
              "sent \"O T/M T/c o\", expected \"O T/M T/c o o\"");

    // A read whose record is not the reader's fails the flow's own check.
    bench::FlowSpec damaged = Flow("start-up read");
    damaged.run = [](bench::FlowSession& s) {
        uwieg::OpenInterface(s.list, s.dev, s.dialogs);
        uwieg::ConnectReader(s.dev);
        s.dev.ReadConfig(s.config);
        s.config[1] ^= 0x80;
        s.dev.CloseChannel();
    };
    EXPECT_EQ(bench::RunFlow(rig_, clock_, damaged, 1).failure,
              "the record read differs from the reader's");
}

TEST_F(FlowRunTest, AFlowTakingTwiceItsFloorIsAGrossRegression) {
    bench::FlowSpec slow = Flow("test-tab open");
    slow.floorMs = 20;
    slow.run = [](bench::FlowSession& s) {
        uwieg::OpenInterface(s.list, s.dev, s.dialogs);
        s.dev.OpenChannel(0);
        s.dev.clock().Sleep(45);
    };
    const auto problems = bench::GrossRegressions(slow, bench::RunFlow(rig_, clock_, slow, 1));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("limit 40 ms"), std::string::npos) << problems[0];
}

TEST_F(FlowRunTest, CountingPlatformCountsWhatTheSimulatorCounts) {
    sim::SimPlatform inner(clock_);
    inner.Plug(std::make_shared<sim::SimInterface>());
    bench::CountingPlatform counting(inner, clock_);
    bench::FlowSession session(counting, clock_);
    uwieg::OpenInterface(session.list, session.dev, session.dialogs);
    uwieg::ConnectReader(session.dev);
    std::uint8_t report[32];
    session.dev.PollReport(report);
    EXPECT_EQ(counting.counts().writes, inner.counts().writes);
    EXPECT_EQ(counting.counts().reads, inner.counts().reads);
    EXPECT_EQ(counting.counts().timedOutReads, 1u);
}

}  // namespace
