// info: the reader behind the interface, as the window's label shows it, and whether the
// built-in firmware would upgrade it.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "cli/reader_session.h"
#include "uwieg/identity.h"
#include "uwieg/upgrade.h"

namespace cli {

namespace {

int RunInfo(const Context& context) {
    ReaderSession session(context);
    const int exitCode = session.RunReaderFlow([] {});
    if (exitCode != kExitDone) {
        return exitCode;
    }
    const uwieg::ReaderIdentity reader = session.dev().identity();
    const bool upgrade = uwieg::UpgradeAvailable(reader);
    if (context.options.json) {
        PrintJsonDocument(context, {{"type", reader.typeNumber()},
                                    {"number", reader.readerNumber()},
                                    {"variant", reader.typeVariant()},
                                    {"firmware", reader.firmwareVersion},
                                    {"label", reader.Description()},
                                    {"upgrade_available", upgrade}});
        return kExitDone;
    }
    PrintLine(context, reader.Description());
    PrintLine(context, "typ:            KV-T" + std::to_string(reader.typeNumber()) + "X");
    PrintLine(context, "numer:          " + std::to_string(reader.readerNumber()));
    PrintLine(context, "wariant:        " + std::to_string(reader.typeVariant()));
    PrintLine(context, "oprogramowanie: " + std::to_string(reader.firmwareVersion));
    PrintLine(context, std::string("upgrade:        ") +
                           (upgrade ? "dostępny (trelvo-cli upgrade)" : "niepotrzebny"));
    return kExitDone;
}

}  // namespace

void AddInfoCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "info", "Czytnik: typ, numer, wariant, oprogramowanie i czy jest nowsze wbudowane");
    command->group(kCommandGroup);
    command->callback([&chosen] { chosen = RunInfo; });
}

}  // namespace cli
