// monitor: the test tab on a terminal. The channel is opened in mode 0 and polled every 200 ms;
// each transmission becomes the window's line (or one JSON object). It ends after --count
// transmissions, after --duration seconds or at Ctrl+C, always closing the channel ('o'). With
// --decode each transmission also says what the card means (format, numbers, parity, UID), read
// with the user's card formats and, unless --no-config, the reader's configuration read first.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/card_formats.h"
#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "cli/reader_session.h"
#include "cli/value_checks.h"
#include "uwieg/config.h"
#include "uwieg/report.h"
#include "uwieg/test_channel.h"
#include "wiegand/decode.h"
#include "wiegand/describe.h"

namespace cli {

namespace {

// Bounded so that the milliseconds always fit; a billion seconds is over 30 years.
constexpr double kMinDurationSeconds = 0.001;
constexpr double kMaxDurationSeconds = 1e9;

struct MonitorOptions {
    std::optional<int> count;
    std::optional<double> durationSeconds;
    bool decode = false;
    bool noConfig = false;
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

std::string Lower(std::string hex) {
    std::transform(hex.begin(), hex.end(), hex.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return hex;
}

// "formats": every reading with only the fields its format has; "uid" when the payload holds
// the card's bits.
void AddDecode(nlohmann::ordered_json& object, const wiegand::Decoded& decoded) {
    nlohmann::ordered_json formats = nlohmann::ordered_json::array();
    for (const wiegand::Interpretation& it : decoded.formats) {
        nlohmann::ordered_json format = {{"name", it.format->name}, {"bits", it.format->bits}};
        if (it.readerFrame) {
            format["reader"] = true;
        }
        if (it.facility) {
            format["facility"] = *it.facility;
        }
        if (it.company) {
            format["company"] = *it.company;
        }
        format["card"] = it.card;
        if (it.cardHex) {
            format["hex"] = Lower(*it.cardHex);
            format["hex_reversed"] = Lower(*it.cardHexReversed);
        }
        format["parity"] = it.ParityText();
        if (!it.declaredOtherwise.empty()) {
            format["declared_otherwise"] = it.declaredOtherwise;
        }
        formats.push_back(format);
    }
    object["formats"] = formats;
    if (decoded.matchesReader) {
        object["reader"] = {{"frame", decoded.reader->Name()},
                            {"byte_order", decoded.reader->loHi ? "lo-hi" : "hi-lo"},
                            {"matches", *decoded.matchesReader}};
    }
    if (decoded.uid) {
        nlohmann::ordered_json uid = {{"hex", Lower(decoded.uid->hex)},
                                      {"hex_reversed", Lower(decoded.uid->hexReversed)}};
        if (decoded.uid->decimal) {
            uid["decimal"] = *decoded.uid->decimal;
        }
        object["uid"] = uid;
    }
}

void Print(const Context& context, const std::optional<wiegand::DecodeSettings>& decoding,
           const uwieg::TestReport& report) {
    const std::optional<wiegand::Decoded> decoded =
        decoding ? std::optional(
                       wiegand::Decode(report.payload.data(), report.payload.size(), *decoding))
                 : std::nullopt;
    if (!context.options.json) {
        PrintLine(context,
                  decoded ? report.line + "   | " + wiegand::SummaryPolish(*decoded) : report.line);
        return;
    }
    const uwieg::ReportHead head = uwieg::ReadReportHead(report.payload.at(0));
    const std::span<const std::uint8_t> data(report.payload.begin() + 1, report.payload.end());
    nlohmann::ordered_json object = {{"time", wusb::IsoUtcText(context.env.clock.Now(), true)},
                                     {"line", report.line},
                                     {"kind", KindName(head.kind)},
                                     {"bits", head.bits},
                                     {"data", HexBytes(data)}};
    if (decoded) {
        AddDecode(object, *decoded);
    }
    PrintJsonLine(context, object);
}

// The reader's configuration, read as `read` reads it, so that cards are read as this reader
// sends them. A reader that does not answer leaves decoding without it.
int ReadReaderFrame(const Context& context, ReaderSession& session,
                    wiegand::DecodeSettings& decoding) {
    uwieg::ReaderConfig record{};
    const int exitCode = session.RunReaderFlow([&] { session.dev().ReadConfig(record); });
    if (exitCode == kExitDone) {
        decoding.reader = uwieg::ReaderFrameOf(record);
    } else if (exitCode == kExitDeviceFailed) {
        context.Error("uwaga: karty czytane bez konfiguracji czytnika");
        return kExitDone;
    }
    return exitCode;
}

int RunMonitor(const Context& context, const MonitorOptions& options) {
    ReaderSession session(context);
    std::optional<wiegand::DecodeSettings> decoding;
    if (options.decode) {
        const std::optional<wiegand::FormatTable> formats = CardFormats(context);
        if (!formats) {
            return kExitInvalidProfile;
        }
        decoding.emplace().formats = *formats;
        if (!options.noConfig) {
            if (const int code = ReadReaderFrame(context, session, *decoding); code != kExitDone) {
                return code;
            }
        }
    }
    const int exitCode = session.OpenTestChannel();
    if (exitCode != kExitDone) {
        return exitCode;
    }
    wusb::Clock& clock = context.env.clock;
    const wusb::Instant start = clock.Monotonic();
    // A flag and a plain number rather than an optional: GCC 12 at -O2 takes the optional's
    // value for uninitialised in the loop below.
    const bool timed = options.durationSeconds.has_value();
    const std::int64_t durationMs =
        timed ? static_cast<std::int64_t>(*options.durationSeconds * 1000) : 0;
    int seen = 0;
    // Polls are paced against deadlines from the start, as a timer fires, however long each
    // poll took; on the monotonic clock, so that setting the system time changes nothing.
    for (std::int64_t tick = 1;; ++tick) {
        if (context.env.interrupt.Requested() ||
            (timed && wusb::ElapsedMs(start, clock.Monotonic()) >= durationMs)) {
            break;
        }
        if (const std::optional<uwieg::TestReport> report = uwieg::PollTestReport(session.dev())) {
            Print(context, decoding, *report);
            if (options.count && ++seen >= *options.count) {
                break;
            }
        }
        const std::int64_t elapsedUs = wusb::ElapsedUs(start, clock.Monotonic());
        std::int64_t waitUs = tick * uwieg::kTestPollIntervalMs * 1000 - elapsedUs;
        if (timed) {
            waitUs = std::min(waitUs, durationMs * 1000 - elapsedUs);
        }
        // Never longer than one poll interval, so that Ctrl+C is seen in time.
        if (const std::uint32_t ms = std::min(wusb::SleepForUs(waitUs), uwieg::kTestPollIntervalMs);
            ms > 0) {
            clock.Sleep(ms);
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
    Accepting(
        command->add_option("--count", options->count, "Kończy po N transmisjach")->type_name("N"),
        WholeNumber(1, std::numeric_limits<int>::max()));
    Accepting(
        command->add_option("--duration", options->durationSeconds, "Kończy po SEC sekundach")
            ->type_name("SEC"),
        DecimalNumber(kMinDurationSeconds, kMaxDurationSeconds, "liczby sekund od 0.001 do 1e9"));
    command->add_flag(
        "--decode", options->decode,
        "Dopisuje, co znaczy karta: format, numery, parzystość (w JSON: formats, uid, reader); "
        "najpierw odczytuje konfigurację czytnika");
    command->add_flag("--no-config", options->noConfig,
                      "Z --decode: bez odczytu konfiguracji czytnika");
    command->callback([&chosen, options] {
        chosen = [options](const Context& context) { return RunMonitor(context, *options); };
    });
}

}  // namespace cli
