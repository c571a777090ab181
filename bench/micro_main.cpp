// Micro-benchmarks of the routines every frame or report passes through, printed as a Markdown
// table next to the full-speed USB rate of the interface.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/stats.h"
#include "uwieg/report.h"
#include "wusb/crc.h"
#include "wusb/frame.h"

namespace {

// Full-speed USB: 12 Mbit/s.
constexpr double kLinkMBps = 12.0 / 8;
constexpr int kRepetitions = 5;
constexpr double kMinSecondsPerRepetition = 0.05;

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    return bytes;
}

// Bytes each call of a benchmark covers, for its rate; 0 for routines measured per call.
std::map<std::string, std::size_t>& BytesPerCall() {
    static std::map<std::string, std::size_t> bytes;
    return bytes;
}

void Crc16Bench(benchmark::State& state) {
    const auto data = Pattern(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(wusb::Crc16(data.data(), data.size(), 0xFFFF));
    }
}

void Crc32Bench(benchmark::State& state) {
    const auto data = Pattern(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(wusb::Crc32(data.data(), data.size(), 0xFFFFFFFFu));
    }
}

void BuildFrameBench(benchmark::State& state) {
    const auto payload = Pattern(static_cast<std::size_t>(state.range(0)));
    wusb::FrameBuffer frame{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(wusb::BuildFrame(
            'T', payload.data(), static_cast<std::uint32_t>(payload.size()), frame));
        benchmark::ClobberMemory();
    }
}

void AcceptFrameBench(benchmark::State& state) {
    const auto payload = Pattern(static_cast<std::size_t>(state.range(0)));
    wusb::FrameBuffer frame{};
    const std::uint32_t n =
        wusb::BuildFrame('T', payload.data(), static_cast<std::uint32_t>(payload.size()), frame);
    for (auto _ : state) {
        benchmark::DoNotOptimize(wusb::IsAcceptableFrame(frame.data(), n));
    }
    if (!wusb::IsAcceptableFrame(frame.data(), n)) {
        state.SkipWithError("a built frame was not accepted");
    }
}

void FormatReportBench(benchmark::State& state, std::vector<std::uint8_t> payload) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(uwieg::FormatReport(payload.data(), payload.size()));
    }
}

void Register(const std::string& name, benchmark::internal::Benchmark* b, std::size_t bytes) {
    b->Repetitions(kRepetitions)->MinTime(kMinSecondsPerRepetition);
    BytesPerCall()[name] = bytes;
}

void RegisterAll() {
    for (int n : {6, 1032}) {
        const std::string name = "Crc16, " + std::to_string(n) + " bytes";
        Register(name, benchmark::RegisterBenchmark(name.c_str(), Crc16Bench)->Arg(n),
                 static_cast<std::size_t>(n));
    }
    for (int n : {8, 1032}) {
        const std::string name = "Crc32, " + std::to_string(n) + " bytes";
        Register(name, benchmark::RegisterBenchmark(name.c_str(), Crc32Bench)->Arg(n),
                 static_cast<std::size_t>(n));
    }
    for (int n : {1, 1027}) {
        const std::string build = "BuildFrame, " + std::to_string(n + 5) + "-byte frame";
        Register(build, benchmark::RegisterBenchmark(build.c_str(), BuildFrameBench)->Arg(n),
                 static_cast<std::size_t>(n + 5));
        const std::string accept = "IsAcceptableFrame, " + std::to_string(n + 5) + "-byte frame";
        Register(accept, benchmark::RegisterBenchmark(accept.c_str(), AcceptFrameBench)->Arg(n),
                 static_cast<std::size_t>(n + 5));
    }
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> reports{
        {"FormatReport, key (40 70)", {0x40, 0x70}},
        {"FormatReport, 32-bit card (9C 12 34 56 78)", {0x9C, 0x12, 0x34, 0x56, 0x78}},
        {"FormatReport, card with parity (D4 12 12 34 56)", {0xD4, 0x12, 0x12, 0x34, 0x56}},
        {"FormatReport, 27-byte unrecognised", Pattern(27)},
    };
    for (const auto& [name, payload] : reports) {
        Register(name, benchmark::RegisterBenchmark(name.c_str(), FormatReportBench, payload), 0);
    }
}

// Collects each repetition's time per call, by benchmark.
class CollectingReporter final : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) {
                continue;
            }
            if (run.error_occurred) {
                failures.push_back(run.run_name.function_name + ": " + run.error_message);
                continue;
            }
            const double ns = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
            auto& samples = nsPerCall[run.run_name.function_name];
            if (samples.empty()) {
                order.push_back(run.run_name.function_name);
            }
            samples.push_back(ns);
        }
    }

    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> nsPerCall;
    std::vector<std::string> failures;
};

void PrintTable(const CollectingReporter& r) {
    std::printf("### Micro-benchmarks (Google Benchmark)\n\n");
    std::printf(
        "Time per call, median of %d repetitions of at least %.2f s each; rates against "
        "the interface's full-speed USB (12 Mbit/s = %.1f MB/s).\n\n",
        kRepetitions, kMinSecondsPerRepetition, kLinkMBps);
    std::printf("| routine | ns per call: median (min–max, runs) | MB/s | × link rate |\n");
    std::printf("|---|---|---:|---:|\n");
    for (const std::string& name : r.order) {
        const bench::Summary s = bench::Summarise(r.nsPerCall.at(name));
        const std::size_t bytes = BytesPerCall().at(name);
        std::string rate = "—";
        std::string share = "—";
        if (bytes > 0) {
            const double mbps = static_cast<double>(bytes) / s.median * 1e3;
            rate = bench::Fixed(mbps, 1);
            share = bench::Fixed(mbps / kLinkMBps, 0);
        }
        std::printf("| %s | %s | %s | %s |\n", name.c_str(), bench::FormatSummary(s, 1).c_str(),
                    rate.c_str(), share.c_str());
    }
    for (const std::string& f : r.failures) {
        std::printf("\nFAILED: %s\n", f.c_str());
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter);
    return reporter.failures.empty() ? 0 : 1;
}
