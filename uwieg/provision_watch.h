// Provisioning as interfaces and readers come: every interface when it is plugged in, and every
// new reader connected behind an interface that stays plugged. An idle interface is asked for
// its reader's identity about once a second (the quiet period kept, as for every connection);
// a reader of another type or number is provisioned, and each reader once per connection. A
// reader's connection ends when its interface is unplugged, when another identity answers, or
// after kPollsBeforeGone polls in a row without an answer.
// An interface that cannot be opened or linked when it arrives is tried again at the next
// listings, and reported as failed only when the last of kLinkAttempts fails.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "uwieg/provision_runner.h"
#include "wusb/hotplug.h"

namespace uwieg {

inline constexpr std::uint32_t kIdentityPollMs = 1000;
inline constexpr int kLinkAttempts = 3;
// Identity polls in a row without an answer after which the reader counts as gone: one lost
// answer (a disturbed line, a busy interface) happens now and then, two in a row seldom, three
// (about three seconds) only when the reader is really off the line. Taking a reader off and
// putting another on takes longer, and another reader is seen by its identity anyway.
inline constexpr int kPollsBeforeGone = 3;

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
        // Why the interface could not be linked; read after the thread ended.
        std::optional<ProvisionResult> linkFailure;
        std::thread thread;
    };

    void Start(const std::string& path);
    void Stop(const std::string& path);
    void StopAll();
    // Joins workers that ended by themselves (their interface could not be opened or linked)
    // and has their interfaces tried again, or reported once the attempts are used up.
    void Reap();
    void LinkFailed(const std::string& path, ProvisionResult failure);
    // One interface for as long as it stays plugged.
    void Serve(Worker& worker);

    wusb::Platform& platform_;
    wusb::Clock& clock_;
    wusb::Hotplug& hotplug_;
    const ProvisionJob& job_;
    ProvisionOutput& output_;
    std::vector<std::unique_ptr<Worker>> workers_;
    // Failed attempts to link each interface in this connection of it.
    std::map<std::string, int> linkAttempts_;
};

}  // namespace uwieg
