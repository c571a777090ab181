// The interface device object: a link object plus the reader's identity and the host-side state
// of the reader channel, with the interface commands and the reader commands on top of it.
#pragma once

#include <array>
#include <cstdint>

#include "uwieg/config.h"
#include "uwieg/identity.h"
#include "wusb/clock.h"
#include "wusb/device.h"

namespace uwieg {

inline constexpr std::int32_t kQuietPeriodMs = 100;
inline constexpr std::uint32_t kAfterOpenMs = 100;
inline constexpr std::uint32_t kReadTimeoutMs = 200;
inline constexpr std::uint32_t kPollTimeoutMs = 100;

class UWiegDev : public wusb::WUsbDev {
  public:
    // Unlinked, channel closed, lastClose exactly one second back.
    explicit UWiegDev(wusb::Clock& clock);

    std::uint32_t identityWord = 0;
    std::uint16_t firmwareVersion = 0;
    std::uint16_t extraWord = 0;
    wusb::Instant lastClose;  // on the monotonic clock
    bool channelOpen = false;

    ReaderIdentity identity() const { return {identityWord, firmwareVersion, extraWord}; }
    wusb::Clock& clock() { return clock_; }

    // Interface commands.
    void QuietClose(std::int32_t quietMs);
    void OpenChannel(std::uint8_t mode);
    void CloseChannel();
    void OutputTest(std::uint8_t led, std::uint8_t buz);
    // Reader command through 'T'; `answer` gets exactly `answerLength` bytes, untouched on failure.
    void Tunnel(std::uint8_t readerCommand, const std::uint8_t* data, std::uint32_t dataLength,
                std::uint8_t* answer, std::uint32_t answerLength);
    void TunnelStatus(std::uint8_t readerCommand, const std::uint8_t* data,
                      std::uint32_t dataLength);

    // Reader commands.
    void Identify();
    void ReadConfig(ReaderConfig& record);
    void WriteConfig(const ReaderConfig& record);

    // Takes at most one transmission report (payload into `buffer`, at least 27 bytes);
    // returns its length, 0 when none.
    int PollReport(std::uint8_t* buffer);

  private:
    wusb::Clock& clock_;
};

}  // namespace uwieg
