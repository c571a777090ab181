// Provisioning several interfaces at once: one worker thread per interface (at most the device
// table's 8), each with its own device table entry, link and device object. The workers share
// only the platform (which is safe across threads), the audit log and the report, which are
// called under one lock so that the log and the output keep the same order.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "uwieg/audit_log.h"
#include "uwieg/provision.h"
#include "wusb/clock.h"
#include "wusb/device.h"
#include "wusb/platform.h"

namespace uwieg {

// Told of each reader as it finishes, after its audit record is on disk.
using ProvisionReport = std::function<void(const ProvisionResult&)>;

// The audit record of one reader.
AuditRecord AuditRecordOf(const ProvisionResult& result, const ProvisionJob& job);

// Logs a finished reader (when there is a log) and reports it, one reader at a time. A record
// that cannot be logged fails its reader: what was done must not go unrecorded. A record logged
// whose sync failed leaves the reader's result as it was, with a warning.
class ProvisionOutput {
  public:
    ProvisionOutput(const ProvisionJob& job, AuditLog* log, ProvisionReport report)
        : job_(job), log_(log), report_(std::move(report)) {}
    void Finish(ProvisionResult& result);

  private:
    const ProvisionJob& job_;
    AuditLog* log_;
    ProvisionReport report_;
    std::mutex mutex_;
};

// Opens the listed interface into `table` (its only entry) and links `dev` to it. On failure
// `failure` says why, with the interface's path and the time.
bool LinkInterface(wusb::WUsbDevTab& table, UWiegDev& dev, const wusb::InterfacePath& listed,
                   ProvisionResult& failure);

// Opens, links and provisions the reader behind one listed interface.
ProvisionResult ProvisionInterface(wusb::Platform& platform, wusb::Clock& clock,
                                   const wusb::InterfacePath& listed, const ProvisionJob& job);

// Provisions the first 8 of `interfaces` concurrently and returns their results in that order.
std::vector<ProvisionResult> ProvisionAll(wusb::Platform& platform, wusb::Clock& clock,
                                          const std::vector<wusb::InterfacePath>& interfaces,
                                          const ProvisionJob& job, ProvisionOutput& output);

}  // namespace uwieg
