#include "sim/wire.h"

#include "wusb/crc.h"
#include "wusb/frame.h"
#include "wusb/le_bytes.h"

namespace sim {

std::optional<HostFrame> ParseHostFrame(const std::uint8_t* bytes, std::size_t length) {
    if (length < 5 || length > wusb::kFrameCapacity) {
        return std::nullopt;
    }
    const std::size_t declared = wusb::ReadLe16(bytes);
    if (declared != length || wusb::Crc16(bytes, length, 0xFFFF) != 0) {
        return std::nullopt;
    }
    HostFrame frame;
    frame.command = bytes[2];
    frame.payload.assign(bytes + 3, bytes + length - 2);
    return frame;
}

std::vector<std::uint8_t> MakeFrame(std::uint8_t command,
                                    const std::vector<std::uint8_t>& payload) {
    wusb::FrameBuffer buffer{};
    const std::uint32_t length = wusb::BuildFrame(
        command, payload.data(), static_cast<std::uint32_t>(payload.size()), buffer);
    return std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + length);
}

}  // namespace sim
