#include "cli/run.h"

#include <CLI/CLI.hpp>
#include <string>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "trelvo/version.h"
#include "uwieg/err.h"
#include "uwieg/failure_text.h"
#include "uwieg/profile.h"
#include "wusb/err.h"

namespace cli {

namespace {

constexpr const char* kDescription =
    "trelvo-cli: konfiguracja i test czytników KV-T przez interface USB-Wiegand, z terminala i "
    "ze skryptów.";

void TranslateHelp(CLI::App& app) {
    const auto formatter = app.get_formatter();
    formatter->label("Usage", "Użycie");
    formatter->label("OPTIONS", "OPCJE");
    formatter->label("SUBCOMMAND", "POLECENIE");
    formatter->label("SUBCOMMANDS", "POLECENIA");
    formatter->label("REQUIRED", "WYMAGANE");
    formatter->label("Positionals", "Argumenty");
    formatter->column_width(34);
}

// CLI11's own error text after the program's name, with a pointer to --help.
std::string FailureMessage(const CLI::App* /*app*/, const CLI::Error& error) {
    return std::string(kProgramName) + ": " + error.what() + "\nWięcej: " + kProgramName +
           " --help\n";
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
    app.failure_message(FailureMessage);
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
    try {
        return chosen(context);
    } catch (const wusb::WUsbErr&) {
        context.Error(uwieg::CurrentFailureText());
    } catch (const uwieg::UWiegErr&) {
        context.Error(uwieg::CurrentFailureText());
    } catch (const uwieg::ProfileError& error) {
        // Settings that only the reader's own record made invalid: nothing was written.
        context.Error(error.what());
        return kExitInvalidProfile;
    }
    return kExitDeviceFailed;
}

}  // namespace cli
