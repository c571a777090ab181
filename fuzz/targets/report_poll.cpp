// The transmission-report poll over one IN transfer, and the text line of every payload.
// Input: a flags byte, then the transfer's bytes, which also serve as a payload of their own.
//   bit 0  setting the 100 ms time-out fails      bit 3  seal the CRC at the frame's length field
//   bit 1  restoring the 200 ms time-out fails    bit 4  make it a whole 'W' frame (length, CRC)
//   bit 2  the read fails
#include <algorithm>
#include <memory>

#include "fuzz/support/check.h"
#include "fuzz/support/input.h"
#include "fuzz/support/report_line.h"
#include "fuzz/support/scripted_platform.h"
#include "fuzz/support/transfers.h"
#include "uwieg/device.h"
#include "uwieg/report.h"
#include "wusb/clock.h"
#include "wusb/crc.h"
#include "wusb/err.h"
#include "wusb/guid.h"

namespace {

using fuzz::Bytes;

constexpr std::size_t kPayloadMax = uwieg::kReportFrameMax - 5;

Bytes MakeTransfer(std::uint8_t flags, Bytes bytes) {
    if ((flags & 0x10) != 0 && bytes.size() >= 5) {
        bytes.resize(std::min<std::size_t>(bytes.size(), uwieg::kReportFrameMax));
        bytes[0] = static_cast<std::uint8_t>(bytes.size());
        bytes[1] = 0;
        bytes[2] = 'W';
        fuzz::SealCrc(bytes, bytes.size());
    } else if ((flags & 0x08) != 0) {
        const std::size_t own = fuzz::LengthField(bytes);
        if (own >= 5 && own <= bytes.size()) {
            fuzz::SealCrc(bytes, own);
        }
    }
    return bytes;
}

// The poll took a report exactly when the read held an acceptable one, and copied it whole.
void CheckPollResult(const fuzz::ScriptedPlatform& platform, int result,
                     const std::uint8_t* payload) {
    FUZZ_CHECK(result >= 0 && result <= static_cast<int>(kPayloadMax));
    FUZZ_CHECK(!platform.delivered.empty());
    const fuzz::Delivered& read = platform.delivered.back();
    const Bytes& t = read.bytes;
    const std::size_t length = fuzz::LengthField(t);
    const bool acceptable = read.ok && t.size() > 4 && length > 5 && length <= t.size() &&
                            length <= uwieg::kReportFrameMax && t[2] == 'W' &&
                            wusb::Crc16(t.data(), length, 0xFFFF) == 0;
    if (acceptable) {
        FUZZ_CHECK(result == static_cast<int>(length) - 5);
    }
    if (result == 0) {
        return;
    }
    FUZZ_CHECK(read.ok && t.size() > 4 && t[2] == 'W');
    FUZZ_CHECK(result == static_cast<int>(length) - 5 && length <= uwieg::kReportFrameMax);
    // A length field beyond the bytes read may be taken on trust; what was read must match.
    const std::size_t known = std::min<std::size_t>(result, t.size() > 3 ? t.size() - 3 : 0);
    FUZZ_CHECK(std::equal(payload, payload + known, t.begin() + 3));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t flags = input.U8();
    const Bytes rest = input.Rest();

    // FormatReport on the raw bytes: most of them would never pass the poll's CRC test.
    if (!rest.empty()) {
        const std::size_t count = std::min(rest.size(), kPayloadMax);
        fuzz::CheckReportLine(rest.data(), count, uwieg::FormatReport(rest.data(), count));
    }

    fuzz::ScriptedPlatform platform;
    wusb::FakeClock clock;
    wusb::WUsbDevTab table(platform, wusb::kLinkLayerGuid);
    uwieg::UWiegDev dev(clock);
    fuzz::LinkScripted(platform, table, dev);
    platform.script.push_back({(flags & 0x04) == 0, MakeTransfer(flags, rest), 0});
    if ((flags & 0x01) != 0) {
        platform.failingTimeoutCalls.push_back(0);
    }
    if ((flags & 0x02) != 0) {
        platform.failingTimeoutCalls.push_back(1);
    }

    // Exactly the documented minimum, so that a write past it is caught.
    auto payload = std::make_unique<std::uint8_t[]>(kPayloadMax);
    bool raised = false;
    int result = 0;
    try {
        result = dev.PollReport(payload.get());
    } catch (const wusb::WUsbErr& err) {
        FUZZ_CHECK(err.code == 5);
        raised = true;
    }
    FUZZ_CHECK(raised == ((flags & 0x03) != 0));
    if ((flags & 0x01) != 0) {
        FUZZ_CHECK(platform.delivered.empty());  // no read without the short time-out
    } else {
        for (const fuzz::Delivered& read : platform.delivered) {
            FUZZ_CHECK(read.inTimeoutMs == uwieg::kPollTimeoutMs);
        }
    }
    if (!raised) {
        FUZZ_CHECK(platform.inTimeouts.back() == uwieg::kReadTimeoutMs);
        CheckPollResult(platform, result, payload.get());
        if (result > 0) {
            const std::size_t count = static_cast<std::size_t>(result);
            fuzz::CheckReportLine(payload.get(), count, uwieg::FormatReport(payload.get(), count));
        }
    }

    // Nothing is held over: the next poll on a silent pipe takes nothing.
    platform.script.clear();
    platform.delivered.clear();
    platform.failingTimeoutCalls.clear();
    FUZZ_CHECK(dev.PollReport(payload.get()) == 0);
    FUZZ_CHECK(platform.inTimeouts.back() == uwieg::kReadTimeoutMs);
    return 0;
}
