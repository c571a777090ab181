#include "uwieg/provision.h"

#include <string>

#include "uwieg/dialogs.h"
#include "uwieg/failure_text.h"
#include "uwieg/session.h"
#include "uwieg/upgrade.h"
#include "uwieg/verified_write.h"

namespace uwieg {

namespace {

// The upgrade question answered yes, as the user did by asking for upgrades; a message (the
// image is unusable) is kept to fail the reader with.
class UnattendedDialogs final : public Dialogs {
  public:
    void ShowError(const std::string& text) override { complaint = text; }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ShowMessage(const std::string& text) override { complaint = text; }
    std::string complaint;
};

class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

void Pulse(UWiegDev& dev, std::uint32_t onMs) {
    dev.OutputTest(1, 0);
    dev.clock().Sleep(onMs);
    dev.OutputTest(0, 0);
}

}  // namespace

void SignalOutcome(UWiegDev& dev, bool success) {
    if (!success) {
        Pulse(dev, kFailurePulseMs);
        return;
    }
    for (int i = 0; i < kSuccessPulses; ++i) {
        Pulse(dev, kSuccessPulseMs);
        dev.clock().Sleep(kSuccessPulseMs);
    }
}

ProvisionResult ProvisionReader(UWiegDev& dev, const ProvisionJob& job) {
    ProvisionResult result;
    result.linked = dev.IsLinked();
    result.serial = dev.serialNumber;
    const wusb::Instant start = dev.clock().Monotonic();
    try {
        ConnectReader(dev);
        result.identified = true;
        result.before = dev.identity();
        if (job.upgrade) {
            UnattendedDialogs dialogs;
            SilentUpgradeView view;
            UpgrCheck(dev, dialogs, view);
            if (!dialogs.complaint.empty()) {
                throw Failure(dialogs.complaint);
            }
        }
        result.after = dev.identity();
        const WriteCheck check = WriteVerified(dev, job.record);
        if (!check.Matches()) {
            result.mismatch = true;
            throw Failure(MismatchText(check));
        }
        dev.CloseChannel();
        result.ok = true;
    } catch (...) {
        result.error = CurrentFailureText();
        if (result.identified) {
            result.after = dev.identity();
        }
    }
    try {
        SignalOutcome(dev, result.ok);
    } catch (...) {
        // The interface that failed may be gone; the outcome stands without its signal.
    }
    result.finished = dev.clock().Now();
    result.seconds = static_cast<double>(wusb::ElapsedUs(start, dev.clock().Monotonic())) / 1e6;
    return result;
}

}  // namespace uwieg
