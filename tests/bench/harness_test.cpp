// The measuring harness around the flows and the program: child processes that report, hang or
// must be stopped, the program table's goals, and the flows' expectations against the images.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "bench/child_process.h"
#include "bench/flows.h"
#include "bench/program_measure.h"
#include "uwieg/image.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(ChildProcess, ReportsAreReadAndAHungOrEndlessChildIsEnded) {
    const bench::ChildOutcome ok =
        bench::RunChild({"/bin/sh", "-c", "echo startup_ok 1; echo idle_polls 49"}, 0, 10000);
    EXPECT_TRUE(ok.exitedCleanly);
    EXPECT_EQ(bench::Reported(ok, "idle_polls"), 49);
    EXPECT_GT(ok.maxRssKb, 0);
    EXPECT_THROW(bench::Reported(ok, "shown_ns"), std::runtime_error);

    auto start = std::chrono::steady_clock::now();
    const bench::ChildOutcome hung =
        bench::RunChild({"/bin/sh", "-c", "echo startup_ok 1; exec sleep 30"}, 0, 300);
    EXPECT_LT(SecondsSince(start), 5);
    EXPECT_FALSE(hung.exitedCleanly);
    EXPECT_EQ(bench::Reported(hung, "startup_ok"), 1) << "what came before the hang is kept";

    start = std::chrono::steady_clock::now();
    const bench::ChildOutcome stopped =
        bench::RunChild({"/bin/sh", "-c", "exec sleep 30"}, 200, 10000);
    EXPECT_LT(SecondsSince(start), 5);
    EXPECT_FALSE(stopped.exitedCleanly);

    EXPECT_FALSE(bench::RunChild({"/nonexistent/program"}, 0, 10000).exitedCleanly);
}

bench::ProgramColumn Column(double readAfterCreatedMs, double cpuPercent) {
    bench::ProgramColumn c;
    c.title = "column";
    c.readAfterCreatedMs = {readAfterCreatedMs};
    c.cpuPercent = {cpuPercent};
    return c;
}

TEST(ProgramTable, StartUpWithinTwoPercentOfItsFloorAndIdleCpuUnderOnePercentHold) {
    const std::string table = bench::ProgramTable({Column(153, 0.99), Column(153.5, 1.0)});
    EXPECT_NE(table.find("overhead ≤ 2 %: holds / missed |"), std::string::npos) << table;
    EXPECT_NE(table.find("< 1 %: holds / missed |"), std::string::npos) << table;
}

TEST(ProgramTable, WindowFlowsAreHeldAgainstTheirWaitsAndAnimation) {
    bench::WindowFlowTimes t;
    t.readButtonMs = {260.1, 250, 270};  // median 260.1: 5.1 ms over 255, exactly 2 %
    t.writeButtonMs = {260.2};
    t.testTabOpenMs = {3};
    t.returnReadMs = {204};
    const std::string table = bench::WindowFlowTable(t);
    EXPECT_NE(table.find("| read button (with animation) | 255 | 260.10 (250.00–270.00, n=3) | "
                         "5.10 | yes (2.00 %) |"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("| 5.20 | no (2.04 %) |"), std::string::npos) << table;
    EXPECT_NE(table.find("| test tab shown | 0 |"), std::string::npos) << table;
    EXPECT_NE(table.find("| 200 | 204.00 (204.00–204.00, n=1) | 4.00 | yes (2.00 %) |"),
              std::string::npos)
        << table;
}

TEST(ProgramTable, RunOptionsMustBeKnownAndPositive) {
    char prog[] = "bench", harness[] = "bench_window", runs[] = "--runs", idle[] = "--idle-ms",
         two[] = "2", zero[] = "0", panel[] = "--panel";
    char* valid[] = {prog, harness, runs, two, idle, two};
    const bench::ProgramRuns parsed = bench::ParseProgramRuns(6, valid, 2);
    EXPECT_EQ(parsed.runs, 2);
    EXPECT_EQ(parsed.idleMs, 2);
    EXPECT_EQ(parsed.idleRuns, bench::ProgramRuns{}.idleRuns);
    char* none[] = {prog, harness, runs, zero};
    EXPECT_THROW(bench::ParseProgramRuns(4, none, 2), std::invalid_argument);
    char* unknown[] = {prog, harness, panel, two};
    EXPECT_THROW(bench::ParseProgramRuns(4, unknown, 2), std::invalid_argument);
    char* missing[] = {prog, harness, runs};
    EXPECT_THROW(bench::ParseProgramRuns(3, missing, 2), std::invalid_argument);
}

// The bench states each image's block count itself, so that a minimum transfer count cannot
// follow a change in the images unnoticed.
TEST(StandardFlows, UpgradeExpectationsMatchTheBuiltInImages) {
    for (int type : {41, 43, 51, 53}) {
        const std::optional<uwieg::UpgradeImage> image = uwieg::BuiltInImage(type);
        ASSERT_TRUE(image.has_value()) << type;
        const bench::FlowSpec flow = bench::StandardFlows({type}).at(3);
        ASSERT_EQ(flow.name, "full upgrade, type " + std::to_string(type));
        std::size_t blocks = 0;
        for (const std::string& c : flow.commands) {
            blocks += c == "T/Y" ? 1 : 0;
        }
        EXPECT_EQ(blocks, image->blockCount()) << type;
        EXPECT_EQ(flow.commands.size(), image->blockCount() + 10u) << type;
    }
}

}  // namespace
