#include "wusb/frame.h"

#include <algorithm>
#include <cstring>

#include "wusb/crc.h"
#include "wusb/device.h"
#include "wusb/err.h"
#include "wusb/le_bytes.h"

namespace wusb {

namespace {

constexpr std::uint32_t kHeaderLength = 3;  // length field and command byte
constexpr std::uint32_t kOverhead = kHeaderLength + 2;
constexpr std::uint16_t kCrcInitial = 0xFFFF;

}  // namespace

std::uint32_t BuildFrame(std::uint8_t command, const std::uint8_t* payload,
                         std::uint32_t payloadLength, FrameBuffer& out) {
    if (payloadLength > kMaxPayload) {
        return 0;
    }
    const std::uint32_t total = payloadLength + kOverhead;
    WriteLe16(&out[0], static_cast<std::uint16_t>(total));
    out[2] = command;
    if (payloadLength > 0) {
        std::memcpy(&out[kHeaderLength], payload, payloadLength);
    }
    const std::uint32_t crc = Crc16(out.data(), payloadLength + kHeaderLength, kCrcInitial);
    WriteLe16(&out[kHeaderLength + payloadLength], static_cast<std::uint16_t>(crc));
    return total;
}

bool IsAcceptableFrame(const std::uint8_t* bytes, std::uint32_t n) {
    // A frame without payload carries nothing a caller waits for.
    if (n <= kOverhead) {
        return false;
    }
    const std::uint32_t lengthField = ReadLe16(bytes);
    return lengthField == n && Crc16(bytes, n, kCrcInitial) == 0;
}

void SendFrame(WUsbDev& dev, std::uint8_t command, std::uint32_t payloadLength,
               const std::uint8_t* payload) {
    FrameBuffer frame;
    const std::uint32_t total = BuildFrame(command, payload, payloadLength, frame);
    if (total == 0) {
        return;
    }
    // A lost or short write shows up as a missing response, which the caller handles.
    dev.WriteRaw(total, frame.data());
}

std::uint32_t ReceiveFrame(WUsbDev& dev, FrameBuffer& buffer) {
    for (;;) {
        const std::uint32_t n = dev.ReadRaw(kFrameCapacity, buffer.data());
        if (n == 0) {
            return 0;
        }
        if (IsAcceptableFrame(buffer.data(), n)) {
            return n;
        }
    }
}

std::uint32_t WaitResponse(WUsbDev& dev, std::uint8_t responseCommand, std::uint32_t expectedLength,
                           std::uint8_t* destination) {
    FrameBuffer frame;
    for (;;) {
        const std::uint32_t n = ReceiveFrame(dev, frame);
        if (n == 0) {
            return 0;
        }
        if (frame[2] != responseCommand) {
            continue;
        }
        const std::uint32_t payloadLength = n - kOverhead;
        // Only real payload bytes are copied; a short answer leaves the rest untouched.
        const std::uint32_t copied = std::min(expectedLength, payloadLength);
        if (copied > 0) {
            std::memcpy(destination, &frame[kHeaderLength], copied);
        }
        return payloadLength;
    }
}

std::uint32_t Command(WUsbDev& dev, std::uint8_t command, std::uint32_t payloadLength,
                      const std::uint8_t* payload, std::uint32_t expectedLength,
                      std::uint8_t* destination) {
    SendFrame(dev, command, payloadLength, payload);
    return WaitResponse(dev, static_cast<std::uint8_t>(command | kResponseBit), expectedLength,
                        destination);
}

void CommandAck(WUsbDev& dev, std::uint8_t command, std::uint32_t payloadLength,
                const std::uint8_t* payload) {
    std::uint8_t status = 0xFF;
    const std::uint32_t received = Command(dev, command, payloadLength, payload, 1, &status);
    if (received != 1) {
        throw WUsbErr{12, static_cast<char>(command)};
    }
    if (status != 0) {
        throw WUsbErr{13, static_cast<char>(command)};
    }
}

}  // namespace wusb
