// provision: one profile onto many readers. Each interface (the chosen one, every one with
// --all, or each as it is plugged in with --watch) is served by a worker of its own: connect,
// upgrade when asked, write, read back, compare, LED signal. One line (or JSON object) per
// reader as it finishes, a summary at the end, and with --log one audit record per reader.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "cli/platforms.h"
#include "cli/progress.h"
#include "cli/reader_session.h"
#include "cli/value_checks.h"
#include "uwieg/audit_log.h"
#include "uwieg/profile.h"
#include "uwieg/provision_runner.h"
#include "uwieg/provision_watch.h"
#include "uwieg/session.h"
#include "uwieg/sha256.h"

namespace cli {

namespace {

struct ProvisionOptions {
    std::string profile;
    bool all = false;
    bool watch = false;
    bool upgrade = false;
    std::optional<std::string> log;
};

// What the readers came to, for the summary and the exit code.
struct Tally {
    int done = 0;
    int failed = 0;
    int mismatched = 0;
};

std::string SecondsText(double seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

std::string InterfaceText(const uwieg::ProvisionResult& r) {
    return r.linked ? uwieg::SerialNumberText(r.serial) : r.path;
}

void PrintResult(const Context& context, const uwieg::ProvisionResult& r) {
    if (!r.logWarning.empty()) {
        context.Error("uwaga: " + InterfaceText(r) + ": " + r.logWarning);
    }
    if (context.options.json) {
        nlohmann::ordered_json object{{"serial", InterfaceText(r)}};
        if (r.identified) {
            object["type"] = r.before.typeNumber();
            object["number"] = r.before.readerNumber();
            object["variant"] = r.before.typeVariant();
            object["firmware_before"] = r.before.firmwareVersion;
            object["firmware_after"] = r.after.firmwareVersion;
        } else {
            for (const char* key :
                 {"type", "number", "variant", "firmware_before", "firmware_after"}) {
                object[key] = nullptr;
            }
        }
        object["result"] = r.ok ? "ok" : "failed";
        object["error"] = r.ok ? nullptr : nlohmann::ordered_json(r.error);
        object["seconds"] = r.seconds;
        PrintJsonLine(context, object);
        return;
    }
    std::string line = InterfaceText(r) + "  ";
    if (r.identified) {
        char reader[64];
        std::snprintf(reader, sizeof reader, "KV-T%dX nr %05d  soft %d → %d  ",
                      r.before.typeNumber(), r.before.readerNumber(), r.before.firmwareVersion,
                      r.after.firmwareVersion);
        line += reader;
    } else {
        line += "czytnik nieznany  ";
    }
    line += r.ok ? "OK" : "BŁĄD";
    line += "  " + SecondsText(r.seconds);
    if (!r.ok) {
        line += "  " + r.error;
    }
    PrintLine(context, line);
}

int ExitCodeOf(const Tally& tally) {
    if (tally.failed == 0) {
        return kExitDone;
    }
    return tally.failed == tally.mismatched ? kExitMismatch : kExitDeviceFailed;
}

void PrintSummary(const Context& context, const Tally& tally) {
    if (context.options.json) {
        return;  // one object per reader, nothing else
    }
    PrintLine(context, "Skonfigurowano " + std::to_string(tally.done) + " z " +
                           std::to_string(tally.done + tally.failed) +
                           " czytników; błędów: " + std::to_string(tally.failed) + ".");
}

// The profile's record, or the exit code once the complaint was shown.
std::optional<uwieg::ReaderConfig> ReadProfile(const Context& context, const std::string& path,
                                               std::string& text, int& exitCode) {
    try {
        text = context.env.files.ReadAll(path, uwieg::kLargestProfile);
        return uwieg::RecordFromProfile(text);
    } catch (const wusb::FileError& e) {
        context.Error(e.what());
        exitCode = kExitUsage;
    } catch (const uwieg::ProfileError& e) {
        context.Error(path + ":" + e.what());
        exitCode = kExitInvalidProfile;
    }
    return std::nullopt;
}

std::unique_ptr<uwieg::AuditLog> OpenLog(const Context& context, const std::string& path) {
    auto log = std::make_unique<uwieg::AuditLog>(context.env.files, path);
    if (!log->tornLine().empty()) {
        context.Error("dziennik " + path +
                      ": ostatni wiersz był urwany (przerwany zapis?) i zostaje bez zmian; "
                      "nowe wpisy zaczynają się od nowego wiersza: " +
                      log->tornLine());
    }
    return log;
}

// Every interface the platform lists, or the exit code once the error was shown. Those that
// cannot be opened stay in the run, so that each has its line, its record and its place in the
// count.
std::optional<std::vector<wusb::InterfacePath>> AllInterfaces(const Context& context,
                                                              int& exitCode) {
    std::vector<wusb::InterfacePath> interfaces;
    if (!context.Platform().ListInterfaces(uwieg::kInterfaceGuid, interfaces) ||
        interfaces.empty()) {
        context.Error(uwieg::kNoInterfaceText);
        exitCode = kExitNoInterface;
        return std::nullopt;
    }
    return interfaces;
}

int RunProvision(const Context& context, const ProvisionOptions& options) {
    int exitCode = kExitDone;
    std::string text;
    const std::optional<uwieg::ReaderConfig> record =
        ReadProfile(context, options.profile, text, exitCode);
    if (!record) {
        return exitCode;
    }
    uwieg::ProvisionJob job;
    job.record = *record;
    job.upgrade = options.upgrade;
    job.profileName = options.profile;
    job.profileSha256 = uwieg::Sha256Hex(text);

    std::unique_ptr<uwieg::AuditLog> log;
    if (options.log) {
        try {
            log = OpenLog(context, *options.log);
        } catch (const wusb::FileError& e) {
            context.Error(e.what());
            return kExitUsage;
        }
    }
    Tally tally;
    WatchStatus status(context.env.out, options.watch && !context.options.json &&
                                            context.env.terminal.StdoutIsTerminal());
    uwieg::ProvisionOutput output(job, log.get(), [&](const uwieg::ProvisionResult& r) {
        status.Erase();
        PrintResult(context, r);
        (r.ok ? tally.done : tally.failed) += 1;
        tally.mismatched += r.mismatch ? 1 : 0;
        status.Show(tally.done, tally.failed);
    });

    wusb::Platform& platform = context.Platform();
    if (options.watch) {
        const std::unique_ptr<wusb::Hotplug> hotplug = MakeHotplug(platform, context.env.clock);
        uwieg::ProvisionWatch watch(platform, context.env.clock, *hotplug, job, output);
        status.Show(0, 0);
        watch.Run([&context] { return context.env.interrupt.Requested(); });
        status.Erase();
    } else if (options.all) {
        const auto interfaces = AllInterfaces(context, exitCode);
        if (!interfaces) {
            return exitCode;
        }
        uwieg::ProvisionAll(platform, context.env.clock, *interfaces, job, output);
    } else {
        // The chosen one, found (by position or serial) the way every command finds it.
        ReaderSession session(context);
        exitCode = session.OpenInterface();
        if (exitCode != kExitDone) {
            return exitCode;
        }
        uwieg::ProvisionResult result = uwieg::ProvisionReader(session.dev(), job);
        output.Finish(result);
    }
    PrintSummary(context, tally);
    return ExitCodeOf(tally);
}

}  // namespace

void AddProvisionCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "provision",
        "Zapisuje profil do wielu czytników naraz (każdy interface osobno), ze sprawdzeniem");
    command->group(kCommandGroup);
    command->footer(
        "Każdy czytnik pokazuje wynik na linii LED interface'u: sukces to dwa krótkie impulsy "
        "(100 ms włączona, 100 ms wyłączona), błąd jeden długi (1 s).\n"
        "--watch kończy Ctrl+C; kod wyjścia mówi wtedy, czy każdy obsłużony czytnik "
        "skonfigurowano.");
    auto options = std::make_shared<ProvisionOptions>();
    Accepting(
        command->add_option("PROFIL", options->profile, "Plik profilu (JSON)")->type_name("PLIK"),
        FileName())
        ->required();
    CLI::Option* all = command->add_flag(
        "--all", options->all, "Wszystkie podłączone interface'y, po 8 naraz (kolejne czekają)");
    command
        ->add_flag("--watch", options->watch,
                   "Czeka na interface'y i czytniki, konfiguruje każdy nowy (do Ctrl+C)")
        ->excludes(all);
    command->add_flag("--upgrade", options->upgrade,
                      "Najpierw upgrade oprogramowania, gdy wbudowane jest nowsze");
    Accepting(command
                  ->add_option("--log", options->log,
                               "Dopisuje wynik każdego czytnika do dziennika CSV (z fsync)")
                  ->type_name("PLIK"),
              FileName());
    CLI::Option* device = app.get_option("--device");
    command->callback([&chosen, options, device] {
        if ((options->all || options->watch) && device->count() > 0) {
            throw CLI::ValidationError("--device",
                                       "nie łączy się z --all ani z --watch (te obsługują "
                                       "każdy interface)");
        }
        chosen = [options](const Context& context) { return RunProvision(context, *options); };
    });
}

}  // namespace cli
