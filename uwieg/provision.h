// Provisioning one reader: connect and identify it, upgrade its firmware when asked and the
// built-in image is newer, write the profile's record, read it back and compare, then show the
// outcome on the interface's LED line.
//
// LED signal (through the output test 'S', the buzzer line left low):
//   success: two short pulses, each 100 ms on and 100 ms off;
//   failure: one long pulse, 1000 ms on, then off.
// The line is left off afterwards either way.
#pragma once

#include <cstdint>
#include <string>

#include "uwieg/config.h"
#include "uwieg/device.h"
#include "uwieg/identity.h"

namespace uwieg {

inline constexpr std::uint32_t kSuccessPulseMs = 100;
inline constexpr int kSuccessPulses = 2;
inline constexpr std::uint32_t kFailurePulseMs = 1000;

// What every reader of a run gets.
struct ProvisionJob {
    ReaderConfig record{};
    bool upgrade = false;
    std::string profileName;  // for the audit log
    std::string profileSha256;
};

struct ProvisionResult {
    std::string path;          // the interface as the platform listed it
    std::uint32_t serial = 0;  // the interface's serial number, once linked
    bool linked = false;
    bool identified = false;  // `before` holds the reader's identity
    ReaderIdentity before;
    ReaderIdentity after;  // after an upgrade the reader's new firmware; else as before
    bool ok = false;
    bool mismatch = false;   // written, but read back different
    std::string error;       // why it failed; empty on success
    std::string logWarning;  // the audit record is written but not confirmed on disk: why
    wusb::TimeStamp finished;
    double seconds = 0;
};

// On a linked interface device. Never throws for device failures: they end in a failed result
// with the failure's text (the LED shows the failure where the interface still answers).
ProvisionResult ProvisionReader(UWiegDev& dev, const ProvisionJob& job);

// The LED patterns above; failures of the output test leave to the caller.
void SignalOutcome(UWiegDev& dev, bool success);

}  // namespace uwieg
