// The test tab's road: the channel open in mode 0, then one poll per tick, each transmission the
// reader sent becoming one line of text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "uwieg/session.h"
#include "wusb/device.h"

namespace uwieg {

inline constexpr std::uint8_t kTestChannelMode = 0;
inline constexpr std::uint32_t kTestPollIntervalMs = 200;

// Links the chosen interface and opens the channel in mode 0. No interface: the error is shown
// and the result is false. Link failures (WUsbErr) leave to the caller.
bool OpenTestChannel(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs,
                     const InterfaceChoice& choice = {});

struct TestReport {
    std::vector<std::uint8_t> payload;  // as the interface reported it, head byte first
    std::string line;                   // the test tab's line for it
};

// One poll: the transmission reported, if any. Failures (WUsbErr) leave to the caller.
std::optional<TestReport> PollTestReport(UWiegDev& dev);

}  // namespace uwieg
