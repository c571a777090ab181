// monitor: the test tab on a terminal. The channel is opened in mode 0 and polled every 200 ms;
// each transmission becomes the window's line (or one JSON object). It ends after --count
// transmissions, after --duration seconds or at Ctrl+C, always closing the channel ('o').
#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "cli/reader_session.h"
#include "uwieg/report.h"
#include "uwieg/test_channel.h"

namespace cli {

namespace {

constexpr double kMinDurationSeconds = 0.001;
constexpr double kMaxDurationSeconds = 1e9;

struct MonitorOptions {
    std::optional<int> count;
    std::optional<double> durationSeconds;
};

const char* KindName(int kind) {
    switch (kind) {
        case 0:
            return "unrecognised";
        case 1:
            return "key";
        case 2:
            return "card";
        default:
            return "card_with_parity";
    }
}

void Print(const Context& context, const uwieg::TestReport& report) {
    if (!context.options.json) {
        PrintLine(context, report.line);
        return;
    }
    const uwieg::ReportHead head = uwieg::ReadReportHead(report.payload.at(0));
    const std::span<const std::uint8_t> data(report.payload.begin() + 1, report.payload.end());
    PrintJsonLine(context, {{"time", IsoTime(context.env.clock.Now())},
                            {"line", report.line},
                            {"kind", KindName(head.kind)},
                            {"bits", head.bits},
                            {"data", HexBytes(data)}});
}

int RunMonitor(const Context& context, const MonitorOptions& options) {
    ReaderSession session(context);
    const int exitCode = session.OpenTestChannel();
    if (exitCode != kExitDone) {
        return exitCode;
    }
    wusb::Clock& clock = context.env.clock;
    const wusb::TimeStamp start = clock.Now();
    const std::optional<std::int64_t> durationMs =
        options.durationSeconds ? std::optional<std::int64_t>(
                                      static_cast<std::int64_t>(*options.durationSeconds * 1000))
                                : std::nullopt;
    int seen = 0;
    // Polls are paced against deadlines from the start, as a timer fires, however long each
    // poll took.
    for (std::int64_t tick = 1;; ++tick) {
        if (context.env.interrupt.Requested() ||
            (durationMs && wusb::ElapsedMs(start, clock.Now()) >= *durationMs)) {
            break;
        }
        if (const std::optional<uwieg::TestReport> report = uwieg::PollTestReport(session.dev())) {
            Print(context, *report);
            if (options.count && ++seen >= *options.count) {
                break;
            }
        }
        std::int64_t wait = tick * uwieg::kTestPollIntervalMs - wusb::ElapsedMs(start, clock.Now());
        if (durationMs) {
            wait = std::min(wait, *durationMs - wusb::ElapsedMs(start, clock.Now()));
        }
        if (wait > 0) {
            clock.Sleep(static_cast<std::uint32_t>(wait));
        }
    }
    session.dev().CloseChannel();
    return kExitDone;
}

}  // namespace

void AddMonitorCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "monitor", "Transmisje z czytnika, jedna na wiersz, jak na zakładce Test (do Ctrl+C)");
    command->group(kCommandGroup);
    auto options = std::make_shared<MonitorOptions>();
    command->add_option("--count", options->count, "Kończy po N transmisjach")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    command->add_option("--duration", options->durationSeconds, "Kończy po SEC sekundach")
        ->type_name("SEC");
    command->callback([&chosen, options] {
        // Bounded here rather than by a validator, so NaN and huge values are refused the same
        // way everywhere and the milliseconds always fit; a billion seconds is over 30 years.
        const std::optional<double> seconds = options->durationSeconds;
        if (seconds && !(*seconds >= kMinDurationSeconds && *seconds <= kMaxDurationSeconds)) {
            throw CLI::ValidationError("--duration", "oczekiwano liczby sekund od 0.001 do 1e9");
        }
        chosen = [options](const Context& context) { return RunMonitor(context, *options); };
    });
}

}  // namespace cli
