// Provisioning several interfaces at once: up to 8 worker threads (the device table's limit), each
// serving one interface at a time with its own device table entry, link and device object. The
// workers share only the platform (which is safe across threads), the audit log and the report,
// which are called under one lock so that the log and the output keep the same order.
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

// Provisions every one of `interfaces`, 8 at once: the others wait for the next free worker.
// Those that cannot be opened fail with the reason. Returns the results in the listed order.
std::vector<ProvisionResult> ProvisionAll(wusb::Platform& platform, wusb::Clock& clock,
                                          const std::vector<wusb::InterfacePath>& interfaces,
                                          const ProvisionJob& job, ProvisionOutput& output);

}  // namespace uwieg
