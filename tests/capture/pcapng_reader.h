// Reads back what the capture wrote, independently of the writer: blocks, the interfaces'
// options and each packet's usbmon fields.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "wusb/le_bytes.h"

namespace capture_test {

struct ReadBlock {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> body;  // between the leading and the trailing length
};

struct ReadPacket {
    std::uint32_t interfaceId = 0;
    std::uint64_t microseconds = 0;
    std::uint64_t urbId = 0;
    char event = 0;
    std::uint8_t endpoint = 0;
    std::uint8_t device = 0;
    std::int32_t status = 0;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> data;
};

// Throws when the bytes are not a sequence of whole, consistent blocks.
inline std::vector<ReadBlock> ReadBlocks(const std::string& file) {
    std::vector<ReadBlock> blocks;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    std::size_t at = 0;
    while (at < file.size()) {
        if (file.size() - at < 12) {
            throw std::runtime_error("cut block at " + std::to_string(at));
        }
        const std::uint32_t length = wusb::ReadLe32(bytes + at + 4);
        if (length < 12 || length % 4 != 0 || length > file.size() - at ||
            wusb::ReadLe32(bytes + at + length - 4) != length) {
            throw std::runtime_error("bad block length at " + std::to_string(at));
        }
        blocks.push_back({wusb::ReadLe32(bytes + at), {bytes + at + 8, bytes + at + length - 4}});
        at += length;
    }
    return blocks;
}

// The text of option `code` in an options area starting at `offset` of `body`; "" if absent.
inline std::string OptionText(const std::vector<std::uint8_t>& body, std::size_t offset,
                              std::uint16_t code) {
    while (offset + 4 <= body.size()) {
        const std::uint16_t found = wusb::ReadLe16(&body[offset]);
        const std::uint16_t length = wusb::ReadLe16(&body[offset + 2]);
        if (found == 0) {
            break;
        }
        if (found == code) {
            return std::string(body.begin() + static_cast<std::ptrdiff_t>(offset + 4),
                               body.begin() + static_cast<std::ptrdiff_t>(offset + 4 + length));
        }
        offset += 4 + (length + 3u) / 4 * 4;
    }
    return {};
}

inline ReadPacket ParsePacket(const ReadBlock& block) {
    const std::uint8_t* b = block.body.data();
    ReadPacket p;
    p.interfaceId = wusb::ReadLe32(b);
    p.microseconds = (std::uint64_t{wusb::ReadLe32(b + 4)} << 32) | wusb::ReadLe32(b + 8);
    const std::uint32_t captured = wusb::ReadLe32(b + 12);
    const std::uint8_t* u = b + 20;  // the usbmon header
    p.urbId = wusb::ReadLe32(u) | (std::uint64_t{wusb::ReadLe32(u + 4)} << 32);
    p.event = static_cast<char>(u[8]);
    p.endpoint = u[10];
    p.device = u[11];
    p.status = static_cast<std::int32_t>(wusb::ReadLe32(u + 28));
    p.length = wusb::ReadLe32(u + 32);
    const std::uint32_t dataLength = wusb::ReadLe32(u + 36);
    if (captured != 64 + dataLength) {
        throw std::runtime_error("captured length disagrees with the usbmon data length");
    }
    p.data.assign(u + 64, u + 64 + dataLength);
    return p;
}

inline std::vector<ReadPacket> Packets(const std::string& file) {
    std::vector<ReadPacket> packets;
    for (const ReadBlock& block : ReadBlocks(file)) {
        if (block.type == 6) {
            packets.push_back(ParsePacket(block));
        }
    }
    return packets;
}

}  // namespace capture_test
