#include "uwieg/provision_watch.h"

#include <optional>

#include "uwieg/session.h"
#include "wusb/device.h"

namespace uwieg {

namespace {

// How often the watch looks at hot-plug events and the stop request, and a worker at its own.
constexpr std::uint32_t kWatchSliceMs = 200;
constexpr std::uint32_t kWorkerSliceMs = 50;

constexpr const char* kTooManyText =
    "Podłączono więcej niż 8 interface'ów USB-Wiegand: ten nie będzie obsłużony.";

struct ReaderKey {
    int type = 0;
    std::uint16_t number = 0;
    bool operator==(const ReaderKey&) const = default;
};

// The reader behind a linked interface, asked the way every connection starts; nothing when no
// known reader answers.
std::optional<ReaderKey> CurrentReader(UWiegDev& dev) {
    try {
        ConnectReader(dev);
        dev.CloseChannel();
        return ReaderKey{dev.identity().typeNumber(), dev.identity().readerNumber()};
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

ProvisionWatch::ProvisionWatch(wusb::Platform& platform, wusb::Clock& clock, wusb::Hotplug& hotplug,
                               const ProvisionJob& job, ProvisionOutput& output)
    : platform_(platform), clock_(clock), hotplug_(hotplug), job_(job), output_(output) {}

ProvisionWatch::~ProvisionWatch() {
    StopAll();
}

void ProvisionWatch::Run(const std::function<bool()>& stopRequested) {
    while (!stopRequested()) {
        for (const wusb::HotplugEvent& event : hotplug_.Wait(kWatchSliceMs)) {
            if (event.kind == wusb::HotplugEvent::Kind::Removed) {
                Stop(event.path);
                linkAttempts_.erase(event.path);
            } else {
                Start(event.path);
            }
        }
        Reap();
    }
    StopAll();
}

void ProvisionWatch::Start(const std::string& path) {
    Stop(path);  // a device replugged between two listings starts over
    Reap();
    if (workers_.size() >= static_cast<std::size_t>(wusb::kMaxDevices)) {
        ProvisionResult refused;
        refused.path = path;
        refused.error = kTooManyText;
        refused.finished = clock_.Now();
        output_.Finish(refused);
        return;
    }
    auto worker = std::make_unique<Worker>();
    worker->listed.path = path;
    Worker& started = *worker;
    workers_.push_back(std::move(worker));
    started.thread = std::thread([this, &started] {
        Serve(started);
        started.ended = true;
    });
}

void ProvisionWatch::Stop(const std::string& path) {
    for (auto& worker : workers_) {
        if (worker->listed.path == path) {
            worker->stop = true;
            worker->thread.join();
        }
    }
    std::erase_if(workers_, [&path](const auto& worker) { return worker->listed.path == path; });
}

void ProvisionWatch::StopAll() {
    for (auto& worker : workers_) {
        worker->stop = true;
    }
    for (auto& worker : workers_) {
        worker->thread.join();
    }
    workers_.clear();
}

void ProvisionWatch::Reap() {
    std::vector<std::pair<std::string, ProvisionResult>> failed;
    for (auto& worker : workers_) {
        if (worker->ended && worker->thread.joinable()) {
            worker->thread.join();
            if (worker->linkFailure) {
                failed.emplace_back(worker->listed.path, *worker->linkFailure);
            }
        }
    }
    std::erase_if(workers_, [](const auto& worker) { return !worker->thread.joinable(); });
    for (const auto& [path, failure] : failed) {
        LinkFailed(path, failure);
    }
}

void ProvisionWatch::LinkFailed(const std::string& path, ProvisionResult failure) {
    if (++linkAttempts_[path] < kLinkAttempts) {
        hotplug_.Retry(path);
        return;
    }
    // Once per connection: the next try comes when it is plugged in again.
    output_.Finish(failure);
}

void ProvisionWatch::Serve(Worker& worker) {
    wusb::WUsbDevTab table(platform_, kInterfaceGuid);
    UWiegDev dev(clock_);
    ProvisionResult failure;
    if (!LinkInterface(table, dev, worker.listed, failure)) {
        worker.linkFailure = failure;
        return;
    }
    std::optional<ReaderKey> provisioned;
    int unanswered = 0;
    while (!worker.stop) {
        const wusb::Instant pollStart = clock_.Monotonic();
        const std::optional<ReaderKey> reader = CurrentReader(dev);
        if (!reader) {
            // One lost answer is noise on the line; a reader silent for several polls has been
            // taken off, and the next reader that answers is a new connection.
            if (++unanswered >= kPollsBeforeGone) {
                provisioned.reset();
            }
        } else {
            unanswered = 0;
            if (reader != provisioned) {
                ProvisionResult result = ProvisionReader(dev, job_);
                result.path = worker.listed.path;
                output_.Finish(result);
                provisioned = reader;
            }
        }
        while (!worker.stop && wusb::ElapsedMs(pollStart, clock_.Monotonic()) < kIdentityPollMs) {
            clock_.Sleep(kWorkerSliceMs);
        }
    }
}

}  // namespace uwieg
