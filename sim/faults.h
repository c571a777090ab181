// Faults injected into the simulated interface's answers, matched by command.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

// A fault applied to the answer of the next matching command (one-shot unless `count` > 1).
enum class FaultKind {
    NoAnswer,      // the command is taken but nothing is answered
    Nak,           // acknowledgement with a non-zero status (interface commands)
    WrongLength,   // the answer payload one byte longer than it should be
    CorruptCrc,    // the answer's CRC bytes damaged
    ReportBefore,  // a 'W' report frame is sent just before the answer
    StaleBefore,   // a late answer to an earlier command precedes the answer
    InvalidFlood,  // `floodLength` invalid frames precede the answer
    ReaderStatus,  // the reader answers a status command with a non-zero status
    Unplug,        // the interface disappears when the command arrives (handled by backends)
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
    int floodLength = 16;  // kept within 0..kMaxFloodLength
};

inline constexpr int kMaxFloodLength = 1024;

// The pending faults, in the order they were injected.
class FaultQueue {
  public:
    void Add(const Fault& fault);
    void Clear() { faults_.clear(); }
    bool empty() const { return faults_.empty(); }

    // The fault due for this command, if any. Every matching fault still skipping counts the
    // command; the first one due applies and is used up after `count` applications.
    // `readerCommand` is 0 for commands other than 'T'.
    std::optional<Fault> Take(std::uint8_t command, std::uint8_t readerCommand);

  private:
    std::vector<Fault> faults_;
};

}  // namespace sim
