// Devices the user names by vendor and product id, for interfaces whose firmware announces no
// interface class (Windows then binds them through a driver package).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wusb {

// The environment variable that names them, for every program.
inline constexpr const char* kUsbIdsVariable = "TRELVO_USB_IDS";
// The file that names them for every program and for the udev rule (which gives access to
// them): entries as in the variable, usually one a line; "#" starts a comment.
inline constexpr const char* kUsbIdsFile = "/etc/trelvo/usb-ids";

struct UsbId {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    friend bool operator==(const UsbId&, const UsbId&) = default;
};

struct UsbIdList {
    std::vector<UsbId> ids;
    // The entries that are not VID:PID, as written.
    std::vector<std::string> rejected;
};

// "VID:PID[,VID:PID...]", each id 1 to 4 hexadecimal digits; blanks around an entry and empty
// entries are allowed.
UsbIdList ParseUsbIds(std::string_view text);

// The list the environment variable gives; a message on stderr for each rejected entry.
std::vector<UsbId> UsbIdsFromEnvironment();

// The list a file of that kind gives; nothing when it does not exist. A message on stderr for
// each rejected entry (with its line) and when the file cannot be read.
std::vector<UsbId> UsbIdsFromFile(const std::string& path);

// What the user names: kUsbIdsFile's list, then the variable's.
std::vector<UsbId> NamedUsbIds();

}  // namespace wusb
