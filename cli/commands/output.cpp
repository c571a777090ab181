// output: the interface's output test, the LED and BUZ lines high or low (the test tab's radio
// groups, "Hi" being their first item).
#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "cli/reader_session.h"
#include "cli/value_checks.h"

namespace cli {

namespace {

struct OutputOptions {
    std::string led;
    std::string buz;
};

// The radio group's item index: Hi 0, Lo 1.
std::uint8_t LineItem(const std::string& level) {
    return level == "hi" ? 0 : 1;
}

int RunOutput(const Context& context, const OutputOptions& options) {
    ReaderSession session(context);
    const int exitCode = session.OpenInterface();
    if (exitCode != kExitDone) {
        return exitCode;
    }
    session.dev().OutputTest(LineItem(options.led), LineItem(options.buz));
    if (context.options.json) {
        PrintJsonDocument(context, {{"led", options.led}, {"buz", options.buz}});
    } else {
        PrintLine(context, "LED: " + options.led + ", BUZ: " + options.buz);
    }
    return kExitDone;
}

}  // namespace

void AddOutputCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command =
        app.add_subcommand("output", "Test wyjść interface'u: linie LED i BUZ (hi albo lo)");
    command->group(kCommandGroup);
    auto options = std::make_shared<OutputOptions>();
    // "HI" is stored as "hi".
    const CLI::Validator level = OneOf({"hi", "lo"});
    Accepting(command->add_option("--led", options->led, "Linia LED")->type_name("POZIOM"), level)
        ->required();
    Accepting(command->add_option("--buz", options->buz, "Linia BUZ")->type_name("POZIOM"), level)
        ->required();
    command->callback([&chosen, options] {
        chosen = [options](const Context& context) { return RunOutput(context, *options); };
    });
}

}  // namespace cli
