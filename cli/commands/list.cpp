// list: the interfaces present, with their serial numbers and where they are plugged in.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/commands/command.h"
#include "cli/exit_codes.h"
#include "cli/output.h"
#include "uwieg/session.h"
#include "wusb/device.h"
#include "wusb/err.h"

namespace cli {

namespace {

int RunList(const Context& context) {
    wusb::WUsbDevTab list(context.Platform(), uwieg::kInterfaceGuid);
    const int count = list.Enumerate();
    int exitCode = kExitDone;
    nlohmann::ordered_json found = nlohmann::ordered_json::array();
    for (int i = 0; i < count; ++i) {
        nlohmann::ordered_json serial = nullptr;
        wusb::WUsbDev dev;
        try {
            dev.Link(list, i);
            serial = uwieg::SerialNumberText(dev.serialNumber);
        } catch (const wusb::WUsbErr& error) {
            context.Error(wusb::Message(error));
            exitCode = kExitDeviceFailed;
        }
        const std::string& path = list.entry(i).path;
        found.push_back({{"index", i}, {"serial", serial}, {"path", path}});
        if (!context.options.json) {
            PrintLine(context, std::to_string(i) + "  " +
                                   (serial.is_null() ? "?" : serial.get<std::string>()) + "  " +
                                   path);
        }
    }
    if (context.options.json) {
        PrintJsonDocument(context, found);
    }
    if (count == 0) {
        context.Error(list.accessDenied() ? uwieg::kNoAccessText : uwieg::kNoInterfaceText);
        return kExitNoInterface;
    }
    return exitCode;
}

}  // namespace

void AddListCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "list", "Znalezione interface'y USB-Wiegand: numer na liście, numer seryjny, miejsce");
    command->group(kCommandGroup);
    command->callback([&chosen] { chosen = RunList; });
}

}  // namespace cli
