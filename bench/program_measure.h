// Measures the instrumented program (bench_window) over several runs as separate processes,
// and prints the figures as rows of a Markdown table, one column per way of running it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

inline constexpr double kIdleCpuGoalPercent = 1.0;
inline constexpr double kPollsPerSecond = 5;  // one per 200 ms tick
// From the window's creation: the 50 ms start-up timer, then the 100 ms wait after 'O'.
inline constexpr double kStartupFloorMs = 150;

struct ProgramRuns {
    int runs = 7;        // start-up runs
    int idleRuns = 3;    // idle-monitor runs
    int idleMs = 10000;  // monitored time of each
};

// Reads [--runs N] [--idle-runs N] [--idle-ms N] from argv[first] on.
ProgramRuns ParseProgramRuns(int argc, char** argv, int first);

struct ProgramColumn {
    std::string title;
    std::vector<double> shownMs, readDoneMs, readAfterCreatedMs, rssMb, cpuPercent, pollsPerSecond;
};

// Runs `harness` with `extraArgs`; `beforeEachRun` puts the device back into its start state.
// Throws std::runtime_error when a run does not complete its start-up read or its monitoring.
ProgramColumn MeasureProgram(const std::string& title, const std::string& harness,
                             const std::vector<std::string>& extraArgs, const ProgramRuns& runs,
                             const std::function<void()>& beforeEachRun = {});

// The table of the columns, with the goals.
std::string ProgramTable(const std::vector<ProgramColumn>& columns);

// The window's own flows as a user starts them, each timed around its handler.
struct WindowFlowTimes {
    std::vector<double> readButtonMs, writeButtonMs, testTabOpenMs, returnReadMs;
};

// One process running `rounds` rounds of the window's flows after its start-up read.
WindowFlowTimes MeasureWindowFlows(const std::string& harness,
                                   const std::vector<std::string>& extraArgs, int rounds,
                                   const std::function<void()>& beforeRun = {});

// Wall time of each window flow against its floor: the waits of its protocol flow plus the
// progress animation (21 steps of 5 ms and 50 ms held: 155 ms) after a button's success.
std::string WindowFlowTable(const WindowFlowTimes& times);

}  // namespace bench
