// Frame receive and response wait over arbitrary IN transfers. Input: operation byte, command
// byte, u16 expected length, u16 request payload length, then the transfers (see transfers.h).
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/support/check.h"
#include "fuzz/support/input.h"
#include "fuzz/support/scripted_platform.h"
#include "fuzz/support/transfers.h"
#include "fuzz/support/wait_check.h"
#include "wusb/crc.h"
#include "wusb/err.h"
#include "wusb/frame.h"
#include "wusb/guid.h"

namespace {

using fuzz::Bytes;
using fuzz::Delivered;
using fuzz::IsWholeFrame;

void CheckReceiveFrame(fuzz::ScriptedPlatform& platform, wusb::WUsbDev& dev) {
    auto buffer = std::make_unique<wusb::FrameBuffer>();
    const std::uint32_t n = wusb::ReceiveFrame(dev, *buffer);
    FUZZ_CHECK(n == 0 || (n >= 6 && n <= wusb::kFrameCapacity));
    const Delivered& last = fuzz::CheckWaitEnded(platform.delivered, n != 0, IsWholeFrame);
    if (n != 0) {
        FUZZ_CHECK(last.bytes.size() == n);
        FUZZ_CHECK(std::equal(last.bytes.begin(), last.bytes.end(), buffer->begin()));
    }
}

// Returns the payload length WaitResponse gave; checks it against the reads.
std::uint32_t CheckWaitResponse(fuzz::ScriptedPlatform& platform, std::uint8_t response,
                                std::uint32_t result, const std::uint8_t* destination,
                                std::uint32_t expectedLength) {
    FUZZ_CHECK(result <= wusb::kMaxPayload);
    const auto matches = [response](const Bytes& f) { return IsWholeFrame(f) && f[2] == response; };
    const Delivered& last = fuzz::CheckWaitEnded(platform.delivered, result != 0, matches);
    if (result != 0) {
        FUZZ_CHECK(result == last.bytes.size() - 5);
        const std::uint32_t copied = std::min(result, expectedLength);
        FUZZ_CHECK(std::memcmp(destination, last.bytes.data() + 3, copied) == 0);
    }
    return result;
}

// The request went out as one well-formed frame, or not at all when its payload is too long.
void CheckRequest(const fuzz::ScriptedPlatform& platform, std::uint8_t command,
                  const Bytes& payload) {
    if (payload.size() > wusb::kMaxPayload) {
        FUZZ_CHECK(platform.written.empty());
        return;
    }
    FUZZ_CHECK(platform.written.size() == 1);
    const Bytes& frame = platform.written.front();
    FUZZ_CHECK(frame.size() == payload.size() + 5);
    FUZZ_CHECK(fuzz::LengthField(frame) == frame.size());
    FUZZ_CHECK(frame[2] == command);
    FUZZ_CHECK(std::equal(payload.begin(), payload.end(), frame.begin() + 3));
    FUZZ_CHECK(wusb::Crc16(frame.data(), frame.size(), 0xFFFF) == 0);
}

void CheckCommandAck(fuzz::ScriptedPlatform& platform, wusb::WUsbDev& dev, std::uint8_t command,
                     const Bytes& payload) {
    const std::uint8_t response = static_cast<std::uint8_t>(command | wusb::kResponseBit);
    std::int32_t code = -1;
    try {
        wusb::CommandAck(dev, command, static_cast<std::uint32_t>(payload.size()), payload.data());
    } catch (const wusb::WUsbErr& err) {
        FUZZ_CHECK(err.command == static_cast<char>(command));
        code = err.code;
    }
    CheckRequest(platform, command, payload);
    const auto matches = [response](const Bytes& f) { return IsWholeFrame(f) && f[2] == response; };
    const Bytes& last = platform.delivered.back().bytes;
    const bool answered = matches(last);
    fuzz::CheckWaitEnded(platform.delivered, answered, matches);
    if (!answered || last.size() != 6) {
        FUZZ_CHECK(code == 12);
    } else if (last[3] != 0) {
        FUZZ_CHECK(code == 13);
    } else {
        FUZZ_CHECK(code == -1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t operation = input.U8() % 4;
    const std::uint8_t command = input.U8();
    const std::uint32_t expectedLength = input.U16() % (wusb::kMaxPayload + 1);
    // Slightly beyond the largest payload, so that the refusal to send is reached too.
    Bytes payload(input.U16() % (wusb::kMaxPayload + 8));
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i * 7 + command);
    }

    fuzz::ScriptedPlatform platform;
    wusb::WUsbDevTab table(platform, wusb::kLinkLayerGuid);
    wusb::WUsbDev dev;
    fuzz::LinkScripted(platform, table, dev);
    platform.script = fuzz::DecodeTransfers(input);

    // Exactly the caller's count, so that a copy past it is caught.
    auto destination = std::make_unique<std::uint8_t[]>(expectedLength);
    switch (operation) {
        case 0:
            CheckReceiveFrame(platform, dev);
            break;
        case 1: {
            const std::uint32_t r =
                wusb::WaitResponse(dev, command, expectedLength, destination.get());
            CheckWaitResponse(platform, command, r, destination.get(), expectedLength);
            FUZZ_CHECK(platform.written.empty());
            break;
        }
        case 2: {
            const std::uint32_t r =
                wusb::Command(dev, command, static_cast<std::uint32_t>(payload.size()),
                              payload.data(), expectedLength, destination.get());
            CheckRequest(platform, command, payload);
            CheckWaitResponse(platform, static_cast<std::uint8_t>(command | wusb::kResponseBit), r,
                              destination.get(), expectedLength);
            break;
        }
        default:
            CheckCommandAck(platform, dev, command, payload);
            break;
    }
    return 0;
}
