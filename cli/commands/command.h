// The commands of trelvo-cli. Each lives in its own file and adds itself to the command line;
// a new command is one more file and one more line in kCommands.
#pragma once

#include <functional>

#include "cli/context.h"

namespace CLI {
class App;
}

namespace cli {

// What a chosen command does; returns the exit code.
using CommandAction = std::function<int(const Context&)>;

// Adds one command to `app`; when the command line chooses it, its action lands in `chosen`.
using AddCommand = void (*)(CLI::App& app, CommandAction& chosen);

void AddListCommand(CLI::App& app, CommandAction& chosen);
void AddInfoCommand(CLI::App& app, CommandAction& chosen);
void AddReadCommand(CLI::App& app, CommandAction& chosen);
void AddWriteCommand(CLI::App& app, CommandAction& chosen);
void AddUpgradeCommand(CLI::App& app, CommandAction& chosen);
void AddMonitorCommand(CLI::App& app, CommandAction& chosen);
void AddOutputCommand(CLI::App& app, CommandAction& chosen);
void AddProvisionCommand(CLI::App& app, CommandAction& chosen);
void AddFormatsCommand(CLI::App& app, CommandAction& chosen);

// In the order --help lists them.
inline constexpr AddCommand kCommands[] = {
    AddListCommand,    AddInfoCommand,   AddReadCommand,      AddWriteCommand,   AddUpgradeCommand,
    AddMonitorCommand, AddOutputCommand, AddProvisionCommand, AddFormatsCommand,
};

// The group every command is listed under in --help.
inline constexpr const char* kCommandGroup = "Polecenia";

}  // namespace cli
