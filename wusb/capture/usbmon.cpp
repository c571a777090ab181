#include "wusb/capture/usbmon.h"

#include "wusb/le_bytes.h"

namespace wusb::capture {

namespace {

constexpr std::uint8_t kTransferBulk = 3;
constexpr std::uint8_t kInBit = 0x80;
// No setup packet: only control transfers carry one.
constexpr std::uint8_t kNoSetup = '-';
// Data flag when no data follows: '<' for a read just submitted, '>' for a completed write.
constexpr std::uint8_t kNoDataIn = '<';
constexpr std::uint8_t kNoDataOut = '>';
constexpr std::uint32_t kUrbDirectionIn = 0x200;
constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;

void AppendLe64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    AppendLe32(out, static_cast<std::uint32_t>(v));
    AppendLe32(out, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace

std::vector<std::uint8_t> UsbmonPacket(const UsbmonEvent& event) {
    const bool in = (event.endpoint & kInBit) != 0;
    const auto captured = static_cast<std::uint32_t>(event.data.size());
    std::int64_t seconds = event.microseconds / kMicrosecondsPerSecond;
    std::int64_t micros = event.microseconds % kMicrosecondsPerSecond;
    if (micros < 0) {
        micros += kMicrosecondsPerSecond;
        --seconds;
    }

    std::vector<std::uint8_t> packet;
    packet.reserve(kUsbmonHeaderSize + captured);
    AppendLe64(packet, event.id);
    packet.push_back(static_cast<std::uint8_t>(event.event));
    packet.push_back(kTransferBulk);
    packet.push_back(event.endpoint);
    packet.push_back(event.device);
    AppendLe16(packet, event.bus);
    packet.push_back(kNoSetup);
    packet.push_back(captured > 0 ? 0 : (in ? kNoDataIn : kNoDataOut));
    AppendLe64(packet, static_cast<std::uint64_t>(seconds));
    AppendLe32(packet, static_cast<std::uint32_t>(micros));
    AppendLe32(packet, static_cast<std::uint32_t>(event.status));
    AppendLe32(packet, event.length);
    AppendLe32(packet, captured);
    AppendLe64(packet, 0);  // setup bytes: none
    AppendLe32(packet, 0);  // interval
    AppendLe32(packet, 0);  // start frame
    AppendLe32(packet, in ? kUrbDirectionIn : 0);
    AppendLe32(packet, 0);  // isochronous descriptors: none
    packet.insert(packet.end(), event.data.begin(), event.data.end());
    return packet;
}

}  // namespace wusb::capture
