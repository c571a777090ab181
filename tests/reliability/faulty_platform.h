// A wrapper of the simulator's platform backend that breaks the transport itself, below the
// framing: OUT transfers cut short or damaged in transit, the interface losing power right after
// a command reached it, and IN transfers lost, damaged or preceded by foreign frames. Everything
// else passes straight through to the simulator.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/platform.h"
#include "wusb/forwarding_platform.h"

namespace reliability {

using Bytes = std::vector<std::uint8_t>;

// Which OUT frame a transport fault hits: an interface command letter, for 'T' optionally the
// reader command letter, and how many matching frames pass untouched first.
struct OutMatch {
    std::uint8_t command = 0;
    std::uint8_t readerCommand = 0;
    int skip = 0;
};

// What happens to the next IN transfer that carries a frame.
enum class InFault {
    Lost,          // the frame never arrives; the read times out
    CorruptCrc,    // the frame arrives with its CRC damaged
    StaleBefore,   // an old acknowledgement arrives first, in a transfer of its own
    InvalidFlood,  // a run of invalid transfers arrives first
};

class FaultyPlatform final : public wusb::ForwardingPlatform {
  public:
    explicit FaultyPlatform(sim::SimPlatform& inner) : ForwardingPlatform(inner), sim_(inner) {}

    // The simulated device the faults act on.
    void SetDevice(int n) { device_ = n; }

    // Only the first `keep` bytes of the matching OUT frame reach the interface; the transfer
    // reports failure. A `keep` of the whole frame or more lets it through unharmed.
    void CutWrite(OutMatch match, std::uint32_t keep);
    // The matching OUT frame reaches the interface with one bit inverted.
    void FlipBitInWrite(OutMatch match, std::uint32_t bit);
    // The matching OUT frame reaches the interface, which then loses power before anything
    // it queued can be read.
    void UnplugAfterWrite(OutMatch match);
    void InjectIn(InFault fault, int floodLength = 16);
    void Clear();

    // How many OUT frames a fault has hit so far.
    int outFaultsApplied() const { return outApplied_; }

    bool ReadPipe(wusb::Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred) override;
    bool WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override;

  private:
    enum class OutAction { Cut, FlipBit, UnplugAfter };
    struct OutFault {
        OutMatch match;
        OutAction action = OutAction::Cut;
        std::uint32_t value = 0;  // bytes kept, or the bit to invert
    };

    // The OUT fault due for this frame, counting down the skips of those still waiting.
    std::optional<OutFault> TakeOutFault(const std::uint8_t* frame, std::uint32_t length);

    sim::SimPlatform& sim_;
    int device_ = 0;
    std::vector<OutFault> outFaults_;
    int outApplied_ = 0;
    std::optional<InFault> inFault_;
    int floodLength_ = 0;
    std::deque<Bytes> injectedIn_;  // delivered before anything the interface sends
};

}  // namespace reliability
