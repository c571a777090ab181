// Frames as the interface receives them from the host and sends them back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

struct HostFrame {
    std::uint8_t command = 0;
    std::vector<std::uint8_t> payload;
};

// One OUT transfer read as a frame: the length field equal to the bytes received, at least the
// 5 bytes of an empty frame, and a zero CRC residue. Anything else is not a frame.
std::optional<HostFrame> ParseHostFrame(const std::uint8_t* bytes, std::size_t length);

// length, command, payload, CRC-16: the frame of one IN transfer.
std::vector<std::uint8_t> MakeFrame(std::uint8_t command, const std::vector<std::uint8_t>& payload);

}  // namespace sim
