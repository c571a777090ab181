#include "wusb/hotplug.h"

#include <algorithm>

namespace wusb {

namespace {

// How long a wait sleeps between looks at the signal: a hot-plug event is seen this late at most.
constexpr std::uint32_t kSignalCheckMs = 50;

bool Contains(const std::vector<InterfacePath>& listing, const InterfacePath& entry) {
    return std::any_of(listing.begin(), listing.end(), [&entry](const InterfacePath& other) {
        return other.path == entry.path && other.devInst == entry.devInst;
    });
}

}  // namespace

std::vector<HotplugEvent> ListingChanges(const std::vector<InterfacePath>& before,
                                         const std::vector<InterfacePath>& after) {
    std::vector<HotplugEvent> events;
    for (const InterfacePath& entry : before) {
        if (!Contains(after, entry)) {
            events.push_back({HotplugEvent::Kind::Removed, entry.path});
        }
    }
    for (const InterfacePath& entry : after) {
        if (!Contains(before, entry)) {
            events.push_back({HotplugEvent::Kind::Arrived, entry.path});
        }
    }
    return events;
}

ListingHotplug::ListingHotplug(Platform& platform, const Guid& interfaceClass, Clock& clock,
                               std::uint32_t periodMs)
    : platform_(platform), interfaceClass_(interfaceClass), clock_(clock), periodMs_(periodMs) {}

bool ListingHotplug::ListingDue() {
    if (signalled_.exchange(false)) {
        return true;
    }
    return periodMs_ > 0 && ElapsedMs(lastListing_, clock_.Monotonic()) >= periodMs_;
}

std::vector<HotplugEvent> ListingHotplug::Relist() {
    lastListing_ = clock_.Monotonic();
    std::vector<InterfacePath> found;
    // A listing that fails tells nothing: the interfaces are kept as they were.
    if (!platform_.ListInterfaces(interfaceClass_, found)) {
        return {};
    }
    std::erase_if(found, [](const InterfacePath& entry) { return entry.path.empty(); });
    std::vector<HotplugEvent> events = ListingChanges(listed_, found);
    for (const std::string& path : retried_) {
        const auto still = [&path](const InterfacePath& entry) { return entry.path == path; };
        const bool reported = std::any_of(events.begin(), events.end(),
                                          [&path](const auto& e) { return e.path == path; });
        if (!reported && std::any_of(found.begin(), found.end(), still)) {
            events.push_back({HotplugEvent::Kind::Arrived, path});
        }
    }
    retried_.clear();
    listed_ = std::move(found);
    return events;
}

void ListingHotplug::Retry(const std::string& path) {
    retried_.push_back(path);
}

std::vector<HotplugEvent> ListingHotplug::Wait(std::uint32_t milliseconds) {
    const Instant start = clock_.Monotonic();
    const std::int64_t limitUs = std::int64_t{milliseconds} * 1000;
    for (;;) {
        if (ListingDue()) {
            std::vector<HotplugEvent> events = Relist();
            if (!events.empty()) {
                return events;
            }
        }
        const Instant now = clock_.Monotonic();
        const std::int64_t waited = ElapsedUs(start, now);
        if (waited >= limitUs) {
            return {};
        }
        std::int64_t nap = std::min<std::int64_t>(kSignalCheckMs * 1000, limitUs - waited);
        if (periodMs_ > 0) {
            nap = std::min(nap, std::int64_t{periodMs_} * 1000 - ElapsedUs(lastListing_, now));
        }
        clock_.Sleep(std::max<std::uint32_t>(SleepForUs(nap), 1));
    }
}

}  // namespace wusb
