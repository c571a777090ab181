// The options that come before (or after) any command: which interface, the simulator, JSON,
// the wire capture.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "uwieg/session.h"
#include "wusb/usb_ids.h"

namespace CLI {
class App;
}

namespace cli {

struct GlobalOptions {
    uwieg::InterfaceChoice device;  // --device; the first interface by default
    bool sim = false;               // --sim
    bool json = false;              // --json
    std::string capture;            // --capture: the pcapng file to record the wire into
    std::string formats;  // --formats: the user's card formats instead of the default file
    // --usb-id, any number of times: interfaces that announce no class, by their ids.
    std::vector<wusb::UsbId> usbIds;
};

void AddGlobalOptions(CLI::App& app, GlobalOptions& options);

// --device: a position in the device list (one or two decimal digits), or the serial number
// as the link reads it and `list` shows it (1 to 8 hex digits). Nothing for anything else.
std::optional<uwieg::InterfaceChoice> ParseDeviceSelector(const std::string& text);

}  // namespace cli
