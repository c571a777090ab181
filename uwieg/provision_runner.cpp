#include "uwieg/provision_runner.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "uwieg/failure_text.h"
#include "uwieg/session.h"

namespace uwieg {

namespace {

constexpr const char* kCannotOpenText = "Nie można otworzyć interface'u USB-Wiegand.";
constexpr const char* kNotOnDiskText =
    "wpis w dzienniku zapisany, bez potwierdzenia zapisu na dysk: ";

// The failure of an interface that could not be opened, with what the user can do about it.
std::string CannotOpenText(wusb::OpenRefusal refusal) {
    const std::string hint = RefusalHint(refusal);
    return hint.empty() ? kCannotOpenText : std::string(kCannotOpenText) + " " + hint;
}

}  // namespace

AuditRecord AuditRecordOf(const ProvisionResult& result, const ProvisionJob& job) {
    AuditRecord record;
    record.time = result.finished;
    record.interfaceSerial = result.linked ? SerialNumberText(result.serial) : result.path;
    if (result.identified) {
        record.type = result.before.typeNumber();
        record.number = result.before.readerNumber();
        record.variant = result.before.typeVariant();
        record.firmwareBefore = result.before.firmwareVersion;
        record.firmwareAfter = result.after.firmwareVersion;
    }
    record.profile = job.profileName;
    record.profileSha256 = job.profileSha256;
    record.ok = result.ok;
    record.error = result.error;
    return record;
}

void ProvisionOutput::Finish(ProvisionResult& result) {
    const std::lock_guard lock(mutex_);
    if (log_ != nullptr) {
        try {
            const std::string unsynced = log_->Append(AuditRecordOf(result, job_));
            if (!unsynced.empty()) {
                result.logWarning = kNotOnDiskText + unsynced;
            }
        } catch (const wusb::FileError& e) {
            result.ok = false;
            result.error += (result.error.empty() ? "" : "\n") + std::string(e.what());
        }
    }
    report_(result);
}

bool LinkInterface(wusb::WUsbDevTab& table, UWiegDev& dev, const wusb::InterfacePath& listed,
                   ProvisionResult& failure) {
    failure = {};
    failure.path = listed.path;
    if (table.Open(listed) == 0) {
        failure.error = CannotOpenText(table.refusal());
    } else {
        try {
            dev.Link(table, 0);
            return true;
        } catch (...) {
            failure.error = CurrentFailureText();
        }
    }
    failure.finished = dev.clock().Now();
    return false;
}

ProvisionResult ProvisionInterface(wusb::Platform& platform, wusb::Clock& clock,
                                   const wusb::InterfacePath& listed, const ProvisionJob& job) {
    wusb::WUsbDevTab table(platform, kInterfaceGuid);
    UWiegDev dev(clock);
    ProvisionResult result;
    const wusb::Instant start = clock.Monotonic();
    if (LinkInterface(table, dev, listed, result)) {
        result = ProvisionReader(dev, job);
        result.path = listed.path;
    } else {
        result.seconds = static_cast<double>(wusb::ElapsedUs(start, clock.Monotonic())) / 1e6;
    }
    return result;
}

std::vector<ProvisionResult> ProvisionAll(wusb::Platform& platform, wusb::Clock& clock,
                                          const std::vector<wusb::InterfacePath>& interfaces,
                                          const ProvisionJob& job, ProvisionOutput& output) {
    std::vector<ProvisionResult> results(interfaces.size());
    std::atomic<std::size_t> next = 0;
    const std::size_t workerCount =
        std::min(interfaces.size(), static_cast<std::size_t>(wusb::kMaxDevices));
    std::vector<std::thread> workers;
    for (std::size_t w = 0; w < workerCount; ++w) {
        workers.emplace_back([&] {
            for (std::size_t i = next++; i < interfaces.size(); i = next++) {
                results[i] = ProvisionInterface(platform, clock, interfaces[i], job);
                output.Finish(results[i]);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return results;
}

}  // namespace uwieg
