#include "uwieg/device.h"

#include <algorithm>

#include "uwieg/err.h"
#include "wusb/crc.h"
#include "wusb/err.h"
#include "wusb/frame.h"
#include "wusb/le_bytes.h"

namespace uwieg {

namespace {

constexpr std::uint8_t kOpenCommand = 'O';
constexpr std::uint8_t kCloseCommand = 'o';
constexpr std::uint8_t kOutputTestCommand = 'S';
constexpr std::uint8_t kTunnelCommand = 'T';
constexpr std::uint8_t kIdentifyCommand = 'M';
constexpr std::uint8_t kReadConfigCommand = 'c';
constexpr std::uint8_t kWriteConfigCommand = 'C';

// The tunnel payload carries the reader command byte (request) or an unexamined leading
// byte (answer) in front of the reader's data.
constexpr std::uint32_t kMaxTunnelData = wusb::kMaxPayload - 1;

constexpr std::uint32_t kRecordSize = std::tuple_size_v<ReaderConfig>;

}  // namespace

UWiegDev::UWiegDev(wusb::Clock& clock) : clock_(clock) {
    // One second back, so the first connection needs no close and no wait.
    lastClose = clock_.Monotonic();
    lastClose.microseconds -= 1'000'000;
}

void UWiegDev::QuietClose(std::int32_t quietMs) {
    const std::int64_t elapsed = wusb::ElapsedMs(lastClose, clock_.Monotonic());
    if (!channelOpen && elapsed > quietMs) {
        return;
    }
    wusb::CommandAck(*this, kCloseCommand, 0, nullptr);
    lastClose = clock_.Monotonic();
    channelOpen = false;
    clock_.Sleep(static_cast<std::uint32_t>(std::max<std::int32_t>(quietMs, 0)));
}

void UWiegDev::OpenChannel(std::uint8_t mode) {
    wusb::CommandAck(*this, kOpenCommand, 1, &mode);
    channelOpen = true;
}

void UWiegDev::CloseChannel() {
    wusb::CommandAck(*this, kCloseCommand, 0, nullptr);
    lastClose = clock_.Monotonic();
    channelOpen = false;
}

void UWiegDev::OutputTest(std::uint8_t led, std::uint8_t buz) {
    const std::uint8_t lines = static_cast<std::uint8_t>(buz * 2 + led);
    wusb::CommandAck(*this, kOutputTestCommand, 1, &lines);
}

void UWiegDev::Tunnel(std::uint8_t readerCommand, const std::uint8_t* data,
                      std::uint32_t dataLength, std::uint8_t* answer, std::uint32_t answerLength) {
    // Neither fits in one frame, so no answer of the right length could ever come back.
    if (dataLength > kMaxTunnelData || answerLength > kMaxTunnelData) {
        throw UWiegErr{0};
    }
    wusb::FrameBuffer request{};
    request[0] = readerCommand;
    if (dataLength > 0) {
        std::copy_n(data, dataLength, request.begin() + 1);
    }
    wusb::FrameBuffer reply{};
    const std::uint32_t received = wusb::Command(*this, kTunnelCommand, dataLength + 1,
                                                 request.data(), answerLength + 1, reply.data());
    if (received != answerLength + 1) {
        throw UWiegErr{0};
    }
    std::copy_n(reply.begin() + 1, answerLength, answer);
}

void UWiegDev::TunnelStatus(std::uint8_t readerCommand, const std::uint8_t* data,
                            std::uint32_t dataLength) {
    std::uint8_t status = 0;
    Tunnel(readerCommand, data, dataLength, &status, 1);
    if (status != 0) {
        throw UWiegErr{1};
    }
}

void UWiegDev::Identify() {
    std::array<std::uint8_t, 8> answer{};
    Tunnel(kIdentifyCommand, nullptr, 0, answer.data(), answer.size());
    identityWord = wusb::ReadLe32(&answer[0]);
    firmwareVersion = wusb::ReadLe16(&answer[4]);
    extraWord = wusb::ReadLe16(&answer[6]);
}

void UWiegDev::ReadConfig(ReaderConfig& record) {
    Tunnel(kReadConfigCommand, nullptr, 0, record.data(), kRecordSize);
}

void UWiegDev::WriteConfig(const ReaderConfig& record) {
    std::array<std::uint8_t, kRecordSize + 4> request{};
    std::copy(record.begin(), record.end(), request.begin());
    const std::uint32_t crc = wusb::Crc32(record.data(), kRecordSize, 0xFFFFFFFF);
    wusb::WriteLe32(&request[kRecordSize], crc);
    TunnelStatus(kWriteConfigCommand, request.data(), request.size());
}

}  // namespace uwieg
