#include "bench/program_measure.h"

#include <cstdlib>
#include <stdexcept>

#include "bench/child_process.h"
#include "bench/stats.h"

namespace bench {
namespace {

constexpr int kStartupLimitMs = 30000;
constexpr double kAnimationMs = 21 * 5 + 50;
constexpr double kAfterOpenMs = 100;
constexpr double kQuietMs = 100;

std::string Cell(const std::vector<double>& samples, int decimals) {
    return FormatSummary(Summarise(samples), decimals);
}

double Median(const std::vector<double>& samples) {
    return Summarise(samples).median;
}

// The run ended by itself after a start-up read that reached the reader.
bool Completed(const ChildOutcome& r) {
    return r.exitedCleanly && r.values.count("startup_ok") == 1 && Reported(r, "startup_ok") == 1;
}

using Field = std::vector<double> ProgramColumn::*;

std::string Row(const std::vector<ProgramColumn>& columns, const std::string& measure, Field field,
                int decimals, const std::string& goal) {
    std::string row = "| " + measure + " | ";
    for (const ProgramColumn& c : columns) {
        row += Cell(c.*field, decimals) + " | ";
    }
    return row + goal + " |\n";
}

// "holds" or "missed" for each column, by `test` on the column's median.
template <typename Test>
std::string Verdicts(const std::vector<ProgramColumn>& columns, Field field, Test test) {
    std::string text;
    for (const ProgramColumn& c : columns) {
        text +=
            (text.empty() ? "" : " / ") + std::string(test(Median(c.*field)) ? "holds" : "missed");
    }
    return text;
}

}  // namespace

ProgramRuns ParseProgramRuns(int argc, char** argv, int first) {
    ProgramRuns r;
    for (int i = first; i < argc; i += 2) {
        const std::string key = argv[i];
        if (i + 1 >= argc) {
            throw std::invalid_argument(key + " needs a value");
        }
        const int value = std::atoi(argv[i + 1]);
        if (value < 1) {
            throw std::invalid_argument(key + " needs a positive number");
        }
        if (key == "--runs") {
            r.runs = value;
        } else if (key == "--idle-runs") {
            r.idleRuns = value;
        } else if (key == "--idle-ms") {
            r.idleMs = value;
        } else {
            throw std::invalid_argument("unknown option " + key);
        }
    }
    return r;
}

ProgramColumn MeasureProgram(const std::string& title, const std::string& harness,
                             const std::vector<std::string>& extraArgs, const ProgramRuns& runs,
                             const std::function<void()>& beforeEachRun) {
    ProgramColumn c;
    c.title = title;
    std::vector<std::string> args{harness, "--idle-ms", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    for (int i = 0; i < runs.runs; ++i) {
        if (beforeEachRun) {
            beforeEachRun();
        }
        const ChildOutcome r = RunChild(args, 0, kStartupLimitMs);
        if (!Completed(r)) {
            throw std::runtime_error(title + ": the start-up read did not complete");
        }
        const auto spawn = static_cast<double>(r.spawnNs);
        c.shownMs.push_back((Reported(r, "shown_ns") - spawn) / 1e6);
        c.readDoneMs.push_back((Reported(r, "read_done_ns") - spawn) / 1e6);
        c.readAfterCreatedMs.push_back((Reported(r, "read_done_ns") - Reported(r, "created_ns")) /
                                       1e6);
        c.rssMb.push_back(static_cast<double>(r.maxRssKb) / 1024);
    }
    args[2] = std::to_string(runs.idleMs);
    for (int i = 0; i < runs.idleRuns; ++i) {
        if (beforeEachRun) {
            beforeEachRun();
        }
        const ChildOutcome r = RunChild(args, 0, runs.idleMs + kStartupLimitMs);
        // An idle figure of a window that never reached its reader would mean nothing.
        if (!Completed(r)) {
            throw std::runtime_error(title + ": the idle-monitor run did not complete");
        }
        const double wall = Reported(r, "idle_wall_s");
        c.cpuPercent.push_back(100 * Reported(r, "idle_cpu_s") / wall);
        c.pollsPerSecond.push_back(Reported(r, "idle_polls") / wall);
        c.rssMb.push_back(static_cast<double>(r.maxRssKb) / 1024);
    }
    return c;
}

std::string ProgramTable(const std::vector<ProgramColumn>& columns) {
    std::string t = "| measure | ";
    std::string rule = "|---|";
    for (const ProgramColumn& c : columns) {
        t += c.title + " | ";
        rule += "---|";
    }
    t += "goal |\n" + rule + "---|\n";
    t += Row(columns, "process start → window shown (ms)", &ProgramColumn::shownMs, 1, "—");
    t +=
        Row(columns, "process start → start-up read done (ms)", &ProgramColumn::readDoneMs, 1, "—");
    t += Row(columns, "window created → start-up read done (ms)",
             &ProgramColumn::readAfterCreatedMs, 1,
             "floor " + Fixed(kStartupFloorMs, 0) +
                 " (50 ms timer + 100 ms after 'O'), overhead ≤ 2 %: " +
                 Verdicts(columns, &ProgramColumn::readAfterCreatedMs, [](double ms) {
                     return OverheadWithinGoal(ms - kStartupFloorMs, kStartupFloorMs);
                 }));
    t += Row(columns, "peak resident memory (MiB)", &ProgramColumn::rssMb, 1, "—");
    t += Row(columns, "CPU, test tab monitoring an idle reader (% of one core)",
             &ProgramColumn::cpuPercent, 3,
             "< " + Fixed(kIdleCpuGoalPercent, 0) +
                 " %: " + Verdicts(columns, &ProgramColumn::cpuPercent, [](double p) {
                     return p < kIdleCpuGoalPercent;
                 }));
    t += Row(columns, "test-tab polls per second", &ProgramColumn::pollsPerSecond, 2,
             Fixed(kPollsPerSecond, 0) + " (one per 200 ms tick)");
    return t;
}

WindowFlowTimes MeasureWindowFlows(const std::string& harness,
                                   const std::vector<std::string>& extraArgs, int rounds,
                                   const std::function<void()>& beforeRun) {
    std::vector<std::string> args{harness, "--idle-ms", "0", "--window-flows",
                                  std::to_string(rounds)};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (beforeRun) {
        beforeRun();
    }
    // Each round takes about a second, pauses included.
    const ChildOutcome r = RunChild(args, 0, kStartupLimitMs + rounds * 3000);
    if (!Completed(r) || r.values.count("window_flows_ok") == 0 ||
        Reported(r, "window_flows_ok") != 1) {
        throw std::runtime_error("the window's flows did not all complete");
    }
    WindowFlowTimes t;
    for (int i = 0; i < rounds; ++i) {
        const std::string n = "_" + std::to_string(i);
        t.readButtonMs.push_back(Reported(r, "read_button_ms" + n));
        t.writeButtonMs.push_back(Reported(r, "write_button_ms" + n));
        t.testTabOpenMs.push_back(Reported(r, "test_tab_open_ms" + n));
        t.returnReadMs.push_back(Reported(r, "return_read_ms" + n));
    }
    return t;
}

std::string WindowFlowTable(const WindowFlowTimes& times) {
    struct Line {
        const char* name;
        double floorMs;
        const std::vector<double>& samples;
    };
    const Line lines[] = {
        {"read button (with animation)", kAfterOpenMs + kAnimationMs, times.readButtonMs},
        {"write button (with animation)", kAfterOpenMs + kAnimationMs, times.writeButtonMs},
        {"test tab shown", 0, times.testTabOpenMs},
        {"back to the configuration tab (read)", kQuietMs + kAfterOpenMs, times.returnReadMs},
    };
    std::string t =
        "| window flow | floor (ms) | wall (ms): median (min–max, runs) | overhead (ms) | "
        "overhead ≤ 2 % of floor |\n|---|---:|---|---:|---|\n";
    for (const Line& l : lines) {
        const Summary s = Summarise(l.samples);
        const double overhead = s.median - l.floorMs;
        std::string verdict = "no wait to compare with";
        if (l.floorMs > 0) {
            verdict = std::string(OverheadWithinGoal(overhead, l.floorMs) ? "yes" : "no") + " (" +
                      Fixed(100 * overhead / l.floorMs, 2) + " %)";
        }
        t += "| " + std::string(l.name) + " | " + Fixed(l.floorMs, 0) + " | " +
             FormatSummary(s, 2) + " | " + Fixed(overhead, 2) + " | " + verdict + " |\n";
    }
    return t;
}

}  // namespace bench
