#include "uwieg/test_channel.h"

#include <array>
#include <cstddef>

#include "uwieg/report.h"

namespace uwieg {

bool OpenTestChannel(wusb::WUsbDevTab& list, UWiegDev& dev, Dialogs& dialogs,
                     const InterfaceChoice& choice) {
    if (!OpenInterface(list, dev, dialogs, choice)) {
        return false;
    }
    dev.OpenChannel(kTestChannelMode);
    return true;
}

std::optional<TestReport> PollTestReport(UWiegDev& dev) {
    std::array<std::uint8_t, kReportFrameMax> buffer{};
    const int n = dev.PollReport(buffer.data());
    if (n == 0) {
        return std::nullopt;
    }
    const auto count = static_cast<std::size_t>(n);
    return TestReport{{buffer.begin(), buffer.begin() + n}, FormatReport(buffer.data(), count)};
}

}  // namespace uwieg
