#include "cli/run.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/usage_errors.h"
#include "cli/value_checks.h"
#include "trelvo/version.h"
#include "uwieg/failure_text.h"
#include "wusb/capture/wire_capture.h"
#include "wusb/files.h"

namespace cli {

namespace {

constexpr const char* kDescription =
    "trelvo-cli: konfiguracja i test czytników KV-T przez interface USB-Wiegand, z terminala i "
    "ze skryptów.";

void TranslateHelp(CLI::App& app) {
    const auto formatter = std::make_shared<HelpFormatter>();
    app.formatter(formatter);
    formatter->label("Usage", "Użycie");
    formatter->label("OPTIONS", "OPCJE");
    formatter->label("SUBCOMMAND", "POLECENIE");
    formatter->label("SUBCOMMANDS", "POLECENIA");
    formatter->label("REQUIRED", "WYMAGANE");
    formatter->label("Positionals", "Argumenty");
    formatter->label("Excludes", "wyklucza");
    formatter->column_width(34);
}

// Runs the chosen command. What it lets escape (device failures, and anything unexpected) is
// said as the program's own message, never ends the program in std::terminate.
int RunCommand(const CommandAction& chosen, const Context& context) {
    try {
        return chosen(context);
    } catch (...) {
        context.Error(uwieg::CurrentFailureText());
    }
    return kExitDeviceFailed;
}

}  // namespace

int RunCli(int argc, const char* const* argv, Environment& environment) {
    CLI::App app(kDescription, kProgramName);
    TranslateHelp(app);
    // Inherited by every command's options.
    app.option_defaults()->group("Opcje");
    app.set_help_flag("-h,--help", "Pokazuje tę pomoc i kończy")->group("Opcje");
    app.set_version_flag("--version", std::string(kProgramName) + " " + trelvo::kVersion,
                         "Pokazuje wersję i kończy")
        ->group("Opcje");
    app.footer(kExitCodeHelp);
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    app.failure_message([&app, &args](const CLI::App* /*app*/, const CLI::Error& error) {
        return UsageErrorText(app, error, args);
    });
    app.require_subcommand(1);
    // Global options may follow the command too: trelvo-cli info --json.
    app.fallthrough();

    Context context{GlobalOptions{}, environment};
    AddGlobalOptions(app, context.options);
    CommandAction chosen;
    for (const AddCommand add : kCommands) {
        add(app, chosen);
    }
    for (CLI::App* command : app.get_subcommands({})) {
        command->get_help_ptr()->group("Opcje");
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error, environment.out, environment.err) == 0 ? kExitDone : kExitUsage;
    }
    if (environment.interrupt.Requested()) {
        return kExitInterrupted;
    }
    if (context.options.capture.empty()) {
        // No capture: nothing stands between the commands and the platform.
        return RunCommand(chosen, context);
    }
    std::unique_ptr<wusb::capture::WireCapture> capture;
    try {
        capture = std::make_unique<wusb::capture::WireCapture>(
            context.DevicePlatform(), environment.files, environment.clock, context.options.capture,
            kProgramName);
    } catch (const wusb::FileError& error) {
        context.Error(std::string("nie można zapisywać ruchu USB do pliku: ") + error.what());
        return kExitUsage;
    }
    context.capture = capture.get();
    const int exitCode = RunCommand(chosen, context);
    if (!capture->failure().empty()) {
        // The command's own outcome stands; the capture's loss is said, not hidden.
        context.Error("zapis ruchu USB przerwany (plik niepełny): " + capture->failure());
    }
    return exitCode;
}

}  // namespace cli
