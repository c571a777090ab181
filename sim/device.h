// The simulated USB-Wiegand interface with a KV-T reader behind it: a transport-free state
// machine. Frames arrive as OUT transfers (HandleOut) and leave as IN transfers (TakeIn), one
// frame per transfer, with the real framing and CRCs. Every test device is driven by it: the
// in-process platform backend and the emulated usbfs device alike.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// What the reader is and holds.
struct ReaderModel {
    std::uint16_t readerNumber = 42;
    int typeNumber = 51;              // any 0..99; typeCode is derived as (typeNumber + 80) % 100
    std::uint8_t typeVariant = 0;     // identity bits 26-27
    std::uint8_t topBits = 0;         // identity bits 28-31, not interpreted by the tool
    std::uint16_t firmwareVersion = 2;
    std::uint16_t extraWord = 0;
    std::array<std::uint8_t, 8> config{2, 0xC0, 5, 3, 0x45, 0, 1, 0};
};

// A fault applied to the answer of the next matching command (one-shot unless `count` > 1).
enum class FaultKind {
    NoAnswer,          // the command is taken but nothing is answered
    Nak,               // acknowledgement with a non-zero status (interface commands)
    WrongLength,       // the answer payload one byte longer than it should be
    CorruptCrc,        // the answer's CRC bytes damaged
    ReportBefore,      // a 'W' report frame is sent just before the answer
    StaleBefore,       // a late answer to an earlier command precedes the answer
    InvalidFlood,      // `floodLength` invalid frames precede the answer
    ReaderStatus,      // the reader answers a status command with a non-zero status
    Unplug,            // the interface disappears when the command arrives (handled by backends)
};

struct Fault {
    FaultKind kind = FaultKind::NoAnswer;
    // Interface command letter to match ('O', 'o', 'S', 'T'), or 0 for any.
    std::uint8_t command = 0;
    // For 'T': the reader command letter to match ('M', 'c', 'C', 'Z', 'Y', 'y', 'z'), or 0.
    std::uint8_t readerCommand = 0;
    // Skip this many matching commands before the fault applies (e.g. 2 = the third 'Y').
    int skip = 0;
    int count = 1;
    int floodLength = 16;
};

// A Wiegand transmission the reader sends; becomes one 'W' report payload.
struct Transmission {
    Bytes payload;  // the TransmissionReport bytes as the interface reports them

    static Transmission Card(int bits, const Bytes& data);
    static Transmission CardWithParity(int bits, const Bytes& data, bool begOdd, bool begValue,
                                       bool endOdd, bool endValue);
    static Transmission Key(int bits, std::uint8_t keyBits);
    static Transmission Unrecognised(int bits, const Bytes& data);
};

class SimInterface {
public:
    SimInterface();

    // One OUT transfer from the host.
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

    // Called by a backend when the interface is unplugged and plugged again: the host-facing
    // state starts over, the reader keeps its firmware and record.
    void Reset();

private:
    // Implementation detail, see device.cpp.
    struct Upgrade;
    ReaderModel reader_;
    std::vector<Received> received_;
    std::deque<Bytes> in_;
    std::deque<Transmission> transmissions_;
    std::vector<Fault> faults_;
    bool channelOpen_ = false;
    std::uint8_t channelMode_ = 0;
    std::uint8_t outputLines_ = 0;
    int completedUpgrades_ = 0;
    std::shared_ptr<Upgrade> upgrade_;
};

}  // namespace sim
