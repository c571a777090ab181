// The 64-byte header that Linux usbmon puts before each captured USB transfer in its binary
// (memory-mapped) form, LINKTYPE_USB_LINUX_MMAPPED: with it, capture readers show a transfer's
// direction, endpoint and outcome and hand its data on to the protocol dissectors.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace wusb::capture {

inline constexpr std::size_t kUsbmonHeaderSize = 64;

// What an event is: a transfer handed to the device, or its completion.
enum class UrbEvent : char { Submit = 'S', Complete = 'C' };

// Linux error numbers as usbmon reports them (negated).
inline constexpr std::int32_t kUrbInProgress = -115;  // -EINPROGRESS: a submission
inline constexpr std::int32_t kUrbTimedOut = -110;    // -ETIMEDOUT
inline constexpr std::int32_t kUrbIoError = -5;       // -EIO

struct UsbmonEvent {
    std::uint64_t id = 0;  // the same for a transfer's submission and completion
    UrbEvent event = UrbEvent::Submit;
    std::uint8_t endpoint = 0;  // address; bit 7 set for IN
    std::uint8_t device = 1;
    std::uint16_t bus = 1;
    std::int64_t microseconds = 0;  // since the epoch
    std::int32_t status = 0;
    std::uint32_t length = 0;            // bytes asked for (submission) or moved (completion)
    std::span<const std::uint8_t> data;  // the bytes captured with this event
};

// The header and the event's data: one packet of the capture (bulk transfers only).
std::vector<std::uint8_t> UsbmonPacket(const UsbmonEvent& event);

}  // namespace wusb::capture
