// The simulated USB-Wiegand interface with a KV-T reader behind it: a transport-free state
// machine. Frames arrive as OUT transfers (HandleOut) and leave as IN transfers (TakeIn), one
// frame per transfer, with the real framing and CRCs. Every test device is driven by it: the
// in-process platform backend and the emulated usbfs device alike. Not thread-safe: a backend
// that calls it from several threads serialises the calls itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/faults.h"
#include "sim/reader_model.h"
#include "sim/reader_upgrade.h"
#include "sim/transmission.h"

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// The leading byte of a tunnel answer: 0 when the reader's answer follows, otherwise why the
// interface has no answer to relay (the payload is then that byte alone).
inline constexpr std::uint8_t kTunnelOk = 0;
inline constexpr std::uint8_t kTunnelChannelClosed = 1;  // channel not open in mode 1
inline constexpr std::uint8_t kTunnelNoReaderAnswer = 2;
inline constexpr std::uint8_t kTunnelRefused = 3;  // a Nak fault on 'T'

// The status of a refused interface command ('O', 'o', 'S').
inline constexpr std::uint8_t kAckRefused = 1;

class SimInterface {
  public:
    SimInterface();

    // One OUT transfer from the host. Invalid frames and unknown commands are ignored.
    void HandleOut(const std::uint8_t* bytes, std::size_t length);
    // The next IN transfer, if the interface has one to send now.
    std::optional<Bytes> TakeIn();
    bool HasIn() const;

    ReaderModel& reader() { return reader_; }
    const ReaderModel& reader() const { return reader_; }

    void InjectFault(const Fault& fault);
    void ClearFaults();
    // Queues a transmission; it is reported only while the channel is open in mode 0.
    void Present(const Transmission& t);
    std::size_t pendingTransmissions() const;

    // What the interface has seen and holds (for tests and the simulator panel).
    struct Received {
        std::uint8_t command;
        Bytes payload;
    };
    const std::vector<Received>& received() const { return received_; }
    void ClearReceived() { received_.clear(); }
    bool channelOpen() const { return channelOpen_; }
    std::uint8_t channelMode() const { return channelMode_; }
    std::uint8_t outputLines() const { return outputLines_; }
    bool upgradeInProgress() const;
    // An upgrade checks out at 'z': the reader restarts and reports this image's version.
    int completedUpgrades() const;

    // True once after a command met an Unplug fault: the backend then unplugs the interface.
    bool TakeUnplugRequest();

    // Called by a backend when the interface is unplugged and plugged again: the host-facing
    // state starts over, the reader keeps its firmware and record.
    void Reset();

  private:
    std::optional<Bytes> Execute(std::uint8_t command, const Bytes& payload, bool readerRefuses);
    Bytes Tunnel(const Bytes& payload, bool readerRefuses);
    void QueueWithFault(const Fault& fault, std::uint8_t answerCommand, Bytes answer);

    ReaderModel reader_;
    std::vector<Received> received_;
    std::deque<Bytes> in_;
    std::deque<Transmission> transmissions_;
    FaultQueue faults_;
    bool channelOpen_ = false;
    std::uint8_t channelMode_ = 0;
    std::uint8_t outputLines_ = 0;
    int completedUpgrades_ = 0;
    UpgradeReceiver upgrade_;
    Bytes lastAnswer_;  // the frame answering the previous command, for stale answers
    bool unplugRequested_ = false;
};

}  // namespace sim
