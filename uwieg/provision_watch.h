// Provisioning as interfaces and readers come: every interface when it is plugged in, and every
// new reader connected behind an interface that stays plugged. An idle interface is asked for
// its reader's identity about once a second (the quiet period kept, as for every connection);
// a reader of another type or number is provisioned, and each reader once per connection.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "uwieg/provision_runner.h"
#include "wusb/hotplug.h"

namespace uwieg {

inline constexpr std::uint32_t kIdentityPollMs = 1000;

class ProvisionWatch {
  public:
    ProvisionWatch(wusb::Platform& platform, wusb::Clock& clock, wusb::Hotplug& hotplug,
                   const ProvisionJob& job, ProvisionOutput& output);
    ~ProvisionWatch();
    ProvisionWatch(const ProvisionWatch&) = delete;
    ProvisionWatch& operator=(const ProvisionWatch&) = delete;

    // Serves interfaces until `stopRequested` says so (asked several times a second); every
    // worker has ended when it returns.
    void Run(const std::function<bool()>& stopRequested);

  private:
    struct Worker {
        wusb::InterfacePath listed;
        std::atomic<bool> stop = false;
        std::atomic<bool> ended = false;
        std::thread thread;
    };

    void Start(const std::string& path);
    void Stop(const std::string& path);
    void StopAll();
    // Joins workers that ended by themselves (their interface could not be opened or linked).
    void Reap();
    // One interface for as long as it stays plugged.
    void Serve(Worker& worker);

    wusb::Platform& platform_;
    wusb::Clock& clock_;
    wusb::Hotplug& hotplug_;
    const ProvisionJob& job_;
    ProvisionOutput& output_;
    std::vector<std::unique_ptr<Worker>> workers_;
};

}  // namespace uwieg
