// Starts the program as separate processes and measures what a user waits for and what it
// costs: time from process start to the window shown and to the start-up read done, peak
// resident memory, and CPU while the test tab monitors an idle reader. Prints Markdown.
//
// Usage: bench_program <bench_window> <trelvo-sim> [--runs N] [--idle-runs N] [--idle-ms N]
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/stats.h"

namespace {

constexpr double kIdleCpuGoalPercent = 1.0;
constexpr double kPollsPerSecond = 5;  // one per 200 ms tick
// From the window's creation: the 50 ms start-up timer, then the 100 ms wait after 'O'.
constexpr double kStartupFloorMs = 150;

struct Options {
    std::string harness;
    std::string demo;
    int runs = 7;
    int idleRuns = 3;
    int idleMs = 10000;
};

struct Outcome {
    long long spawnNs = 0;
    std::map<std::string, std::string> values;
    long maxRssKb = 0;
    bool exitedCleanly = false;
};

long long MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

// Runs `argv` offscreen, reading "key value" lines from its output. With `stopAfterMs` > 0
// the process is ended with SIGTERM after that long (for a program that never closes itself).
Outcome Run(const std::vector<std::string>& args, int stopAfterMs, int limitMs) {
    int out[2];
    if (pipe(out) != 0) {
        throw std::runtime_error("pipe failed");
    }
    Outcome outcome;
    outcome.spawnNs = MonotonicNs();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (stopAfterMs > 0) {
        usleep(static_cast<useconds_t>(stopAfterMs) * 1000);
        kill(pid, SIGTERM);
    }
    // A hung child would block the read below for ever: a watchdog ends it.
    const pid_t watchdog = fork();
    if (watchdog == 0) {
        usleep(static_cast<useconds_t>(limitMs) * 1000);
        kill(pid, SIGKILL);
        _exit(0);
    }
    FILE* stream = fdopen(out[0], "r");
    char line[256];
    while (stream != nullptr && std::fgets(line, sizeof line, stream) != nullptr) {
        std::istringstream in(line);
        std::string key, value;
        if (in >> key >> value) {
            outcome.values[key] = value;
        }
    }
    if (stream != nullptr) {
        std::fclose(stream);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    kill(watchdog, SIGKILL);
    waitpid(watchdog, nullptr, 0);
    outcome.maxRssKb = usage.ru_maxrss;
    outcome.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return outcome;
}

double Number(const Outcome& o, const std::string& key) {
    const auto it = o.values.find(key);
    if (it == o.values.end()) {
        throw std::runtime_error("the program did not report " + key);
    }
    return std::stod(it->second);
}

struct Column {
    std::vector<double> shownMs, readDoneMs, readAfterCreatedMs, rssMb, cpuPercent, pollsPerSecond;
};

Column Measure(const Options& o, bool panel) {
    Column c;
    std::vector<std::string> args{o.harness, "--idle-ms", "0"};
    if (panel) {
        args.push_back("--panel");
    }
    for (int i = 0; i < o.runs; ++i) {
        const Outcome r = Run(args, 0, 30000);
        if (!r.exitedCleanly || Number(r, "startup_ok") != 1) {
            throw std::runtime_error("the start-up read did not complete");
        }
        const double shown = (Number(r, "shown_ns") - static_cast<double>(r.spawnNs)) / 1e6;
        const double done = (Number(r, "read_done_ns") - static_cast<double>(r.spawnNs)) / 1e6;
        c.shownMs.push_back(shown);
        c.readDoneMs.push_back(done);
        c.readAfterCreatedMs.push_back(Number(r, "read_done_ns") / 1e6 -
                                       Number(r, "created_ns") / 1e6);
        c.rssMb.push_back(static_cast<double>(r.maxRssKb) / 1024);
    }
    args[2] = std::to_string(o.idleMs);
    for (int i = 0; i < o.idleRuns; ++i) {
        const Outcome r = Run(args, 0, o.idleMs + 30000);
        if (!r.exitedCleanly) {
            throw std::runtime_error("the idle-monitor run did not end cleanly");
        }
        const double wall = Number(r, "idle_wall_s");
        c.cpuPercent.push_back(100 * Number(r, "idle_cpu_s") / wall);
        c.pollsPerSecond.push_back(Number(r, "idle_polls") / wall);
        c.rssMb.push_back(static_cast<double>(r.maxRssKb) / 1024);
    }
    return c;
}

std::string Cell(const std::vector<double>& samples, int decimals) {
    return bench::FormatSummary(bench::Summarise(samples), decimals);
}

Options ParseOptions(int argc, char** argv) {
    if (argc < 3) {
        throw std::invalid_argument(
            "usage: bench_program <bench_window> <trelvo-sim> [--runs N] [--idle-runs N] "
            "[--idle-ms N]");
    }
    Options o;
    o.harness = argv[1];
    o.demo = argv[2];
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (value < 1) {
            throw std::invalid_argument(key + " needs a positive number");
        }
        if (key == "--runs") {
            o.runs = value;
        } else if (key == "--idle-runs") {
            o.idleRuns = value;
        } else if (key == "--idle-ms") {
            o.idleMs = value;
        } else {
            throw std::invalid_argument("unknown option " + key);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options o = ParseOptions(argc, argv);
        const Column alone = Measure(o, false);
        const Column panel = Measure(o, true);
        std::vector<double> demoRss;
        for (int i = 0; i < o.idleRuns; ++i) {
            demoRss.push_back(static_cast<double>(Run({o.demo}, 3000, 30000).maxRssKb) / 1024);
        }
        const double aloneCpu = bench::Summarise(alone.cpuPercent).median;
        const double panelCpu = bench::Summarise(panel.cpuPercent).median;

        std::printf("### The program\n\n");
        std::printf(
            "Separate processes on Qt's offscreen platform, on the in-process simulator with "
            "the system clock. \"Window alone\" is the window as the real program builds it; "
            "\"with the simulator panel\" adds the demo's panel as trelvo-sim does. Start-up "
            "figures: %d runs each; idle monitor: %d runs of %.0f s each, measured after the "
            "test tab has been open for a second. Times from process start (before exec).\n\n",
            o.runs, o.idleRuns, o.idleMs / 1000.0);
        std::printf("| measure | window alone | with the simulator panel | goal |\n");
        std::printf("|---|---|---|---|\n");
        std::printf("| process start → window shown (ms) | %s | %s | — |\n",
                    Cell(alone.shownMs, 1).c_str(), Cell(panel.shownMs, 1).c_str());
        std::printf("| process start → start-up read done (ms) | %s | %s | — |\n",
                    Cell(alone.readDoneMs, 1).c_str(), Cell(panel.readDoneMs, 1).c_str());
        const double aloneRead = bench::Summarise(alone.readAfterCreatedMs).median;
        const double panelRead = bench::Summarise(panel.readAfterCreatedMs).median;
        std::printf(
            "| window created → start-up read done (ms) | %s | %s | floor %.0f (50 ms "
            "timer + 100 ms after 'O'), overhead ≤ 2 %%: %s / %s |\n",
            Cell(alone.readAfterCreatedMs, 1).c_str(), Cell(panel.readAfterCreatedMs, 1).c_str(),
            kStartupFloorMs,
            aloneRead - kStartupFloorMs <= 0.02 * kStartupFloorMs ? "holds" : "missed",
            panelRead - kStartupFloorMs <= 0.02 * kStartupFloorMs ? "holds" : "missed");
        std::printf("| peak resident memory (MiB) | %s | %s | — |\n", Cell(alone.rssMb, 1).c_str(),
                    Cell(panel.rssMb, 1).c_str());
        std::printf(
            "| CPU, test tab monitoring an idle reader (%% of one core) | %s | %s | "
            "< %.0f %%: %s / %s |\n",
            Cell(alone.cpuPercent, 3).c_str(), Cell(panel.cpuPercent, 3).c_str(),
            kIdleCpuGoalPercent, aloneCpu < kIdleCpuGoalPercent ? "holds" : "missed",
            panelCpu < kIdleCpuGoalPercent ? "holds" : "missed");
        std::printf("| test-tab polls per second | %s | %s | %.0f (one per 200 ms tick) |\n",
                    Cell(alone.pollsPerSecond, 2).c_str(), Cell(panel.pollsPerSecond, 2).c_str(),
                    kPollsPerSecond);
        std::printf(
            "\ntrelvo-sim itself, started offscreen and ended after 3 s (start-up read "
            "done): peak resident memory %s MiB.\n\n",
            Cell(demoRss, 1).c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_program: %s\n", e.what());
        return 1;
    }
}
