// trelvo-udev-probe: run by the udev rule for a USB device with a vendor-specific interface, it
// decides as the programs do whether the device is a USB-Wiegand interface (named by its ids
// in /etc/trelvo/usb-ids, or announcing the interface class in its Microsoft OS descriptors)
// and then prints TRELVO_INTERFACE=<interface number> for udev to import. Anything else, and
// anything it does not understand, ends with no output and exit code 0: the rule never gives
// access because something failed.
//
// The transport is libusb, not usbfs by hand, so that the probe runs the programs' own code,
// down to what it takes from the configuration (the vendor-specific interfaces, a composite
// device's shape). libusb finds the device among those it lists from sysfs, by the bus and
// address in the node's name; wrapping the opened node instead would make libusb ask the device
// for its configuration first, with a time-out of a whole second.
#include <libusb.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trelvo/version.h"
#include "uwieg/interface_class.h"
#include "wusb/platform/libusb/device_facts.h"
#include "wusb/platform/libusb/ms_os_probe.h"
#include "wusb/usb_ids.h"

namespace {

using namespace wusb::libusb;

constexpr const char* kUsage =
    "Użycie: trelvo-udev-probe [--usb-ids PLIK] /dev/bus/usb/BBB/DDD\n"
    "Wypisuje TRELVO_INTERFACE=<numer interfejsu>, gdy urządzenie jest interface'em "
    "USB-Wiegand\n(dla reguły udev 70-trelvo.rules); PLIK zastępuje /etc/trelvo/usb-ids.\n";

struct Location {
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
};

std::optional<unsigned> Number(std::string_view digits, unsigned low, unsigned high) {
    unsigned value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc{} || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

// "/dev/bus/usb/001/004", the only form udev names a USB device node in.
std::optional<Location> LocationOf(std::string_view node) {
    constexpr std::string_view kPrefix = "/dev/bus/usb/";
    if (node.substr(0, kPrefix.size()) != kPrefix)
        return std::nullopt;
    node.remove_prefix(kPrefix.size());
    const auto slash = node.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const auto bus = Number(node.substr(0, slash), 1, 255);
    const auto address = Number(node.substr(slash + 1), 1, 127);
    if (!bus || !address)
        return std::nullopt;
    return Location{static_cast<std::uint8_t>(*bus), static_cast<std::uint8_t>(*address)};
}

std::optional<std::uint8_t> InterfaceOf(libusb_device* device,
                                        const std::vector<wusb::UsbId>& named,
                                        ProbeDeadline deadline) {
    const auto facts = FactsOf(device);
    if (!facts || facts->probe.vendorInterfaces.empty())
        return std::nullopt;
    if (IsNamed(*facts, named))
        return facts->bulkPairInterface;
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0)
        return std::nullopt;
    const auto interface =
        AnnouncedInterface(handle, facts->probe, uwieg::kInterfaceGuid, deadline);
    libusb_close(handle);
    return interface;
}

std::optional<std::uint8_t> Probe(Location at, const std::vector<wusb::UsbId>& named,
                                  ProbeDeadline deadline) {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0)
        return std::nullopt;
    std::optional<std::uint8_t> interface;
    libusb_device** devices = nullptr;
    const ssize_t count = libusb_get_device_list(context, &devices);
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(devices[i]) == at.bus &&
            libusb_get_device_address(devices[i]) == at.address) {
            interface = InterfaceOf(devices[i], named, deadline);
            break;
        }
    }
    if (count >= 0)
        libusb_free_device_list(devices, 1);
    libusb_exit(context);
    return interface;
}

}  // namespace

int main(int argc, char** argv) {
    const ProbeDeadline deadline = std::chrono::steady_clock::now() + kProbeBudget;
    std::string idsFile = wusb::kUsbIdsFile;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "--version")) {
        if (args[0] == "--help")
            std::fputs(kUsage, stdout);
        else
            std::printf("trelvo-udev-probe %s\n", trelvo::kVersion);
        return 0;
    }
    if (args.size() == 3 && args[0] == "--usb-ids") {
        idsFile = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() != 1 || args[0].starts_with("-")) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const auto location = LocationOf(args[0]);
    if (!location)
        return 0;
    if (const auto interface = Probe(*location, wusb::UsbIdsFromFile(idsFile), deadline))
        std::printf("TRELVO_INTERFACE=%u\n", static_cast<unsigned>(*interface));
    return 0;
}
