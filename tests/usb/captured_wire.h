// What a capture file written by a program under test holds, read back for assertions.
#pragma once

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/capture/pcapng_reader.h"

namespace usbtest {

// Frames with data in a capture file, as "direction:command" ("out:4F", "in:CF", ...), and the
// descriptions of its interfaces. Empty while the file is being written mid-block.
struct CapturedWire {
    std::vector<std::string> frames;
    std::vector<std::string> interfaces;
};

inline CapturedWire ReadCapture(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    CapturedWire wire;
    try {
        for (const capture_test::ReadBlock& block : capture_test::ReadBlocks(file)) {
            if (block.type == 1) {
                wire.interfaces.push_back(capture_test::OptionText(block.body, 8, 3));
            }
        }
        for (const capture_test::ReadPacket& packet : capture_test::Packets(file)) {
            if (packet.data.size() > 2) {
                char text[16];
                std::snprintf(text, sizeof text, "%s:%02X", packet.endpoint & 0x80 ? "in" : "out",
                              packet.data[2]);
                wire.frames.push_back(text);
            }
        }
    } catch (const std::runtime_error&) {
        return {};
    }
    return wire;
}

}  // namespace usbtest
