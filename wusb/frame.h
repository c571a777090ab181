// One CommandFrame per bulk transfer: u16 LE length (payload + 5), command byte, payload
// (0..1027 bytes), u16 LE CRC-16 over everything before it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wusb {

class WUsbDev;

inline constexpr std::uint32_t kFrameCapacity = 1032;
inline constexpr std::uint32_t kMaxPayload = kFrameCapacity - 5;
inline constexpr std::uint8_t kResponseBit = 0x80;

using FrameBuffer = std::array<std::uint8_t, kFrameCapacity>;

// Builds a frame into `out`; returns its total length, or 0 when the payload is too long.
std::uint32_t BuildFrame(std::uint8_t command, const std::uint8_t* payload,
                         std::uint32_t payloadLength, FrameBuffer& out);

// True when `n` bytes hold exactly one valid frame of at least 6 bytes (length field equal to
// n, zero CRC residue).
bool IsAcceptableFrame(const std::uint8_t* bytes, std::uint32_t n);

void SendFrame(WUsbDev& dev, std::uint8_t command, std::uint32_t payloadLength,
               const std::uint8_t* payload);
// Total length of the first accepted frame (6..1032), or 0 at the first empty read.
std::uint32_t ReceiveFrame(WUsbDev& dev, FrameBuffer& buffer);
// Payload length of the first accepted frame with `responseCommand` (1..1027), or 0; copies
// the first min(expectedLength, payload length) payload bytes into `destination`.
std::uint32_t WaitResponse(WUsbDev& dev, std::uint8_t responseCommand,
                           std::uint32_t expectedLength, std::uint8_t* destination);
std::uint32_t Command(WUsbDev& dev, std::uint8_t command, std::uint32_t payloadLength,
                      const std::uint8_t* payload, std::uint32_t expectedLength,
                      std::uint8_t* destination);
// Expects a one-byte status 0; raises WUsbErr 12 (no or malformed answer) or 13 (refused),
// each carrying `command`.
void CommandAck(WUsbDev& dev, std::uint8_t command, std::uint32_t payloadLength,
                const std::uint8_t* payload);

}  // namespace wusb
