// The options that come before (or after) any command: which interface, the simulator, JSON.
#pragma once

#include <optional>
#include <string>

#include "uwieg/session.h"

namespace CLI {
class App;
}

namespace cli {

struct GlobalOptions {
    uwieg::InterfaceChoice device;  // --device; the first interface by default
    bool sim = false;               // --sim
    bool json = false;              // --json
};

void AddGlobalOptions(CLI::App& app, GlobalOptions& options);

// --device: a position in the device list (one or two decimal digits), or the serial number
// as the link reads it and `list` shows it (1 to 8 hex digits). Nothing for anything else.
std::optional<uwieg::InterfaceChoice> ParseDeviceSelector(const std::string& text);

}  // namespace cli
