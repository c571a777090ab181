// Simulated interfaces on one platform and fake clock, with the audit log in memory: what the
// provisioning tests share.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/platform.h"
#include "tests/support/memory_files.h"
#include "uwieg/provision_runner.h"
#include "uwieg/sha256.h"

namespace provision_test {

inline const uwieg::ReaderConfig kProfileRecord{2, 0x80, 7, 1, 0x44, 0, 1, 0};

class ProvisionRig {
  public:
    ProvisionRig() {
        job.record = kProfileRecord;
        job.profileName = "site.json";
        job.profileSha256 = uwieg::Sha256Hex("{}");
    }

    // Plugs `count` interfaces, reader numbers 100, 101, ...
    void PlugReaders(int count, int typeNumber = 51) {
        for (int i = 0; i < count; ++i) {
            auto device = std::make_shared<sim::SimInterface>();
            device->reader().typeNumber = typeNumber;
            device->reader().readerNumber = static_cast<std::uint16_t>(100 + deviceCount());
            sim::SimDeviceInfo info;
            info.usb.serialNumber = "A" + std::to_string(deviceCount());
            platform.Plug(std::move(device), info);
        }
    }
    int deviceCount() const { return platform.deviceCount(); }
    sim::SimInterface& device(int n) { return *platform.device(n); }

    std::vector<wusb::InterfacePath> Listed() {
        std::vector<wusb::InterfacePath> found;
        platform.ListInterfaces(sim::kUsbWiegandClass, found);
        return found;
    }

    // The 'S' payloads device n received, in order.
    std::vector<int> OutputTests(int n) {
        std::vector<int> lines;
        for (const auto& command : device(n).received()) {
            if (command.command == 'S') {
                lines.push_back(command.payload.at(0));
            }
        }
        return lines;
    }

    // The log's lines after the header.
    std::vector<std::string> LogRecords(const std::string& path = "log.csv") {
        std::vector<std::string> lines;
        const std::string content = files.Content(path);
        std::size_t at = content.find('\n');
        while (at != std::string::npos && at + 1 < content.size()) {
            const std::size_t end = content.find('\n', at + 1);
            lines.push_back(content.substr(at + 1, end - at - 1));
            at = end;
        }
        return lines;
    }

    wusb::FakeClock clock;
    sim::SimPlatform platform{clock};
    trelvo_test::MemoryFiles files;
    uwieg::ProvisionJob job;
};

}  // namespace provision_test
