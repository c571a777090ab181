// The hot-plug seam: interfaces of one class arriving and leaving. Every source works the same
// way underneath: it lists the class anew when told that something may have changed (a libusb
// callback, the simulator's plug listener) or when its re-enumeration period has passed, and
// reports the difference to the previous listing. A notification is only a hint to list: it
// can come before the device takes requests, or never, so every source also lists on a period
// (a slow one where notifications come), which bounds how long an interface can go unseen.
// A source starts listening for notifications when it is made and lists first at the first
// Wait, which reports every interface present then as arrived: nothing plugged in between the
// two is missed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "wusb/clock.h"
#include "wusb/guid.h"
#include "wusb/platform.h"

namespace wusb {

struct HotplugEvent {
    enum class Kind { Arrived, Removed };
    Kind kind = Kind::Arrived;
    std::string path;
    bool operator==(const HotplugEvent&) const = default;
};

class Hotplug {
  public:
    virtual ~Hotplug() = default;
    // Waits up to `milliseconds` on the clock for changes and returns them in order; empty when
    // nothing changed. Called from one thread at a time.
    virtual std::vector<HotplugEvent> Wait(std::uint32_t milliseconds) = 0;
    // The caller could not use the interface at `path` that was reported arrived (it could not
    // be opened yet): if the next listing still finds it, it is reported arrived again. From
    // the thread that waits.
    virtual void Retry(const std::string& path) = 0;
};

// A period short enough for a person plugging a cable, long enough to cost next to nothing.
inline constexpr std::uint32_t kReenumerationPeriodMs = 500;
// Where notifications come: a listing every few seconds all the same, in case one was lost or
// came too early.
inline constexpr std::uint32_t kSafetyListingPeriodMs = 2000;

// Removed for every interface of `before` missing from `after` (in `before`'s order), then
// Arrived for every interface of `after` missing from `before` (in `after`'s order). An
// interface is its path and device instance: a device replugged into the same socket between
// two listings gets a new instance, so it is reported gone and back.
std::vector<HotplugEvent> ListingChanges(const std::vector<InterfacePath>& before,
                                         const std::vector<InterfacePath>& after);

// Lists the class on the platform when signalled and, with a period, at least that often.
class ListingHotplug final : public Hotplug {
  public:
    // `periodMs` 0: lists only when signalled (and at the first Wait); for tests.
    ListingHotplug(Platform& platform, const Guid& interfaceClass, Clock& clock,
                   std::uint32_t periodMs);
    std::vector<HotplugEvent> Wait(std::uint32_t milliseconds) override;
    void Retry(const std::string& path) override;
    // Something may have changed: the next Wait lists again. Safe from any thread, also from
    // inside a platform's own callback.
    void Signal() { signalled_ = true; }
    // Changes the period (0: listing only when signalled); before the first Wait.
    void SetPeriod(std::uint32_t periodMs) { periodMs_ = periodMs; }

  private:
    bool ListingDue();
    std::vector<HotplugEvent> Relist();

    Platform& platform_;
    const Guid interfaceClass_;
    Clock& clock_;
    std::uint32_t periodMs_;
    std::atomic<bool> signalled_ = true;
    std::vector<InterfacePath> listed_;
    // Listed interfaces to report arrived again at the next listing.
    std::vector<std::string> retried_;
    Instant lastListing_;
};

}  // namespace wusb
