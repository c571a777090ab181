// Starts the program as separate processes on the in-process simulator and measures what a
// user waits for and what it costs. Prints Markdown.
//
// Usage: bench_program <bench_window> <trelvo-sim> [--runs N] [--idle-runs N] [--idle-ms N]
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/program_measure.h"
#include "bench/stats.h"

int main(int argc, char** argv) {
    try {
        if (argc < 3) {
            throw std::invalid_argument(
                "usage: bench_program <bench_window> <trelvo-sim> "
                "[--runs N] [--idle-runs N] [--idle-ms N]");
        }
        const std::string harness = argv[1];
        const std::string demo = argv[2];
        const bench::ProgramRuns runs = bench::ParseProgramRuns(argc, argv, 3);
        const std::vector<bench::ProgramColumn> columns{
            bench::MeasureProgram("window alone", harness, {}, runs),
            bench::MeasureProgram("with the simulator panel", harness, {"--panel"}, runs)};
        const bench::WindowFlowTimes windowFlows =
            bench::MeasureWindowFlows(harness, {}, runs.runs);
        std::vector<double> demoRss;
        for (int i = 0; i < runs.idleRuns; ++i) {
            demoRss.push_back(static_cast<double>(bench::RunChild({demo}, 3000, 30000).maxRssKb) /
                              1024);
        }

        std::printf("### The program, in-process simulator\n\n");
        std::printf(
            "Separate processes on Qt's offscreen platform, on the in-process simulator with "
            "the system clock. \"Window alone\" is the window as the real program builds it; "
            "\"with the simulator panel\" adds the demo's panel as trelvo-sim does. Start-up "
            "figures: %d runs each; idle monitor: %d runs of %.0f s each, measured after the "
            "test tab has been open for a second. Times from process start (before exec).\n\n",
            runs.runs, runs.idleRuns, runs.idleMs / 1000.0);
        std::printf("%s\n", bench::ProgramTable(columns).c_str());
        std::printf(
            "The window's own flows, clicked in one process %d times each after its "
            "start-up read, with a 300 ms pause before each (window alone):\n\n%s\n",
            runs.runs, bench::WindowFlowTable(windowFlows).c_str());
        std::printf(
            "trelvo-sim itself, started offscreen and ended after 3 s (start-up read "
            "done): peak resident memory %s MiB.\n\n",
            bench::FormatSummary(bench::Summarise(demoRss), 1).c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_program: %s\n", e.what());
        return 1;
    }
}
