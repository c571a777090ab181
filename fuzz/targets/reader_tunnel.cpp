// The reader's answers through the tunnel and the interface's acknowledgements, over arbitrary
// IN transfers. Input: an operation byte, then the transfers (see transfers.h).
#include <algorithm>
#include <array>
#include <optional>

#include "fuzz/support/check.h"
#include "fuzz/support/input.h"
#include "fuzz/support/scripted_platform.h"
#include "fuzz/support/transfers.h"
#include "fuzz/support/wait_check.h"
#include "uwieg/device.h"
#include "uwieg/err.h"
#include "wusb/clock.h"
#include "wusb/crc.h"
#include "wusb/err.h"
#include "wusb/guid.h"

namespace {

using fuzz::Bytes;

constexpr std::uint8_t kTunnelAnswer = 'T' | 0x80;

// The answer the tunnel had to take: the first whole frame carrying the tunnel's answer byte.
const Bytes* TunnelAnswer(const fuzz::ScriptedPlatform& platform) {
    const auto matches = [](const Bytes& f) {
        return fuzz::IsWholeFrame(f) && f[2] == kTunnelAnswer;
    };
    const bool found = matches(platform.delivered.back().bytes);
    return &fuzz::CheckWaitEnded(platform.delivered, found, matches).bytes;
}

// Runs one tunnelled command; returns the UWiegErr code it raised, none on success.
template <typename Run>
std::optional<std::uint32_t> Outcome(Run run) {
    try {
        run();
    } catch (const uwieg::UWiegErr& err) {
        return err.code;
    }
    return std::nullopt;
}

// Success exactly when the answer carries the leading byte and `answerLength` bytes.
bool AnswerFits(const Bytes& answer, std::size_t answerLength) {
    return fuzz::IsWholeFrame(answer) && answer[2] == kTunnelAnswer &&
           answer.size() == answerLength + 1 + 5;
}

void CheckIdentify(fuzz::ScriptedPlatform& platform, uwieg::UWiegDev& dev) {
    dev.identityWord = 0xA5A5A5A5;
    dev.firmwareVersion = 0x5A5A;
    dev.extraWord = 0x1234;
    const auto code = Outcome([&] { dev.Identify(); });
    const Bytes& answer = *TunnelAnswer(platform);
    if (!AnswerFits(answer, 8)) {
        // A failed identify keeps the previous identity.
        FUZZ_CHECK(code == 0u);
        FUZZ_CHECK(dev.identityWord == 0xA5A5A5A5 && dev.firmwareVersion == 0x5A5A &&
                   dev.extraWord == 0x1234);
        return;
    }
    FUZZ_CHECK(!code);
    const std::uint8_t* d = answer.data() + 4;
    FUZZ_CHECK(dev.identityWord == static_cast<std::uint32_t>(d[0] | d[1] << 8 | d[2] << 16) +
                                       (static_cast<std::uint32_t>(d[3]) << 24));
    FUZZ_CHECK(dev.firmwareVersion == (d[4] | d[5] << 8));
    FUZZ_CHECK(dev.extraWord == (d[6] | d[7] << 8));
}

void CheckReadConfig(fuzz::ScriptedPlatform& platform, uwieg::UWiegDev& dev) {
    const uwieg::ReaderConfig previous{9, 8, 7, 6, 5, 4, 3, 2};
    uwieg::ReaderConfig record = previous;
    const auto code = Outcome([&] { dev.ReadConfig(record); });
    const Bytes& answer = *TunnelAnswer(platform);
    if (!AnswerFits(answer, record.size())) {
        FUZZ_CHECK(code == 0u);
        FUZZ_CHECK(record == previous);
        return;
    }
    FUZZ_CHECK(!code);
    FUZZ_CHECK(std::equal(record.begin(), record.end(), answer.begin() + 4));
}

// 'C' (the record and its CRC-32) or 'Z' (a header): the status decides.
void CheckStatusCommand(fuzz::ScriptedPlatform& platform, uwieg::UWiegDev& dev, bool write) {
    const uwieg::ReaderConfig record{2, 0xC0, 5, 3, 0x40, 0, 1, 0};
    const std::array<std::uint8_t, 16> header{0x00, 0x15, 2, 0, 13};
    const auto code = Outcome([&] {
        if (write) {
            dev.WriteConfig(record);
        } else {
            dev.TunnelStatus('Z', header.data(), header.size());
        }
    });
    FUZZ_CHECK(platform.written.size() == 1);
    const Bytes& request = platform.written.front();
    FUZZ_CHECK(request.size() == (write ? 12u : header.size()) + 1 + 5 && request[2] == 'T');
    if (write) {
        FUZZ_CHECK(request[3] == 'C' && std::equal(record.begin(), record.end(), &request[4]));
        const std::uint32_t crc = request[12] | request[13] << 8 | request[14] << 16 |
                                  static_cast<std::uint32_t>(request[15]) << 24;
        FUZZ_CHECK(crc == wusb::Crc32(record.data(), record.size(), 0xFFFFFFFF));
    }
    const Bytes& answer = *TunnelAnswer(platform);
    if (!AnswerFits(answer, 1)) {
        FUZZ_CHECK(code == 0u);
    } else if (answer[4] != 0) {
        FUZZ_CHECK(code == 1u);
    } else {
        FUZZ_CHECK(!code);
    }
}

// The channel state follows acknowledged commands only.
void CheckChannel(fuzz::ScriptedPlatform& platform, uwieg::UWiegDev& dev, bool open,
                  std::uint8_t mode) {
    dev.channelOpen = !open;
    const wusb::Instant before = dev.lastClose;
    std::int32_t code = -1;
    try {
        if (open) {
            dev.OpenChannel(mode);
        } else {
            dev.CloseChannel();
        }
    } catch (const wusb::WUsbErr& err) {
        FUZZ_CHECK(err.command == (open ? 'O' : 'o'));
        code = err.code;
    }
    FUZZ_CHECK(code == -1 || code == 12 || code == 13);
    FUZZ_CHECK(dev.channelOpen == (code == -1 ? open : !open));
    // Only an acknowledged close is a new start of the quiet period.
    const wusb::Instant expected = open || code != -1 ? before : dev.clock().Monotonic();
    FUZZ_CHECK(dev.lastClose.microseconds == expected.microseconds);
    const std::uint8_t answerByte = static_cast<std::uint8_t>((open ? 'O' : 'o') | 0x80);
    const auto matches = [answerByte](const Bytes& f) {
        return fuzz::IsWholeFrame(f) && f[2] == answerByte;
    };
    const Bytes& last = platform.delivered.back().bytes;
    fuzz::CheckWaitEnded(platform.delivered, matches(last), matches);
    FUZZ_CHECK((code == -1) == (matches(last) && last.size() == 6 && last[3] == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t operation = input.U8();

    fuzz::ScriptedPlatform platform;
    wusb::FakeClock clock;
    wusb::WUsbDevTab table(platform, wusb::kLinkLayerGuid);
    uwieg::UWiegDev dev(clock);
    fuzz::LinkScripted(platform, table, dev);
    platform.script = fuzz::DecodeTransfers(input);

    switch (operation % 6) {
        case 0:
            CheckIdentify(platform, dev);
            break;
        case 1:
            CheckReadConfig(platform, dev);
            break;
        case 2:
        case 3:
            CheckStatusCommand(platform, dev, operation % 6 == 2);
            break;
        default:
            CheckChannel(platform, dev, operation % 6 == 4,
                         static_cast<std::uint8_t>(operation >> 7));
            break;
    }
    return 0;
}
