#include <algorithm>
#include <array>

#include "uwieg/device.h"
#include "uwieg/report.h"
#include "wusb/crc.h"
#include "wusb/err.h"
#include "wusb/le_bytes.h"

namespace uwieg {

namespace {

constexpr std::uint8_t kReportCommand = 'W';
constexpr std::uint32_t kFrameOverhead = 5;  // length, command byte, CRC-16

}  // namespace

int UWiegDev::PollReport(std::uint8_t* buffer) {
    SetInPipeTimeout(kPollTimeoutMs);
    std::array<std::uint8_t, kReportFrameMax> frame{};
    std::uint32_t received = 0;
    try {
        received = ReadRaw(kReportFrameMax, frame.data());
    } catch (const wusb::WUsbErr&) {
        // The pipe must not keep the poll's short time-out; the read's failure is the one
        // to report even if restoring fails as well.
        try {
            SetInPipeTimeout(kReadTimeoutMs);
        } catch (const wusb::WUsbErr&) {
        }
        throw;
    }
    SetInPipeTimeout(kReadTimeoutMs);

    if (received <= 4) {
        return 0;
    }
    const std::uint32_t length = wusb::ReadLe16(&frame[0]);
    // Only bytes of this read may take part, never what an earlier poll left in a buffer.
    if (length > kReportFrameMax || length > received || length < kFrameOverhead) {
        return 0;
    }
    if (wusb::Crc16(frame.data(), length, 0xFFFF) != 0 || frame[2] != kReportCommand) {
        return 0;
    }
    const std::uint32_t payloadLength = length - kFrameOverhead;
    std::copy_n(frame.begin() + 3, payloadLength, buffer);
    return static_cast<int>(payloadLength);
}

}  // namespace uwieg
