#include "sim/platform.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace sim {
namespace {

constexpr std::string_view kPathPrefix = "sim:";

std::optional<int> ParsePath(const std::string& path) {
    if (path.compare(0, kPathPrefix.size(), kPathPrefix) != 0) {
        return std::nullopt;
    }
    const char* first = path.data() + kPathPrefix.size();
    const char* last = path.data() + path.size();
    int n = 0;
    const auto [end, error] = std::from_chars(first, last, n);
    if (error != std::errc{} || end != last || first == last) {
        return std::nullopt;
    }
    return n;
}

bool CopyOut(const std::vector<std::uint8_t>& bytes, std::uint8_t* buffer, std::uint32_t length,
             std::uint32_t& transferred) {
    transferred = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), length));
    std::copy_n(bytes.begin(), transferred, buffer);
    return true;
}

}  // namespace

SimPlatform::SimPlatform(wusb::Clock& clock) : clock_(clock) {}

int SimPlatform::AddPlugListener(PlugListener listener) {
    const std::lock_guard lock(listenersMutex_);
    const int id = nextListener_++;
    listeners_[id] = std::move(listener);
    return id;
}

void SimPlatform::RemovePlugListener(int id) {
    const std::lock_guard lock(listenersMutex_);
    listeners_.erase(id);
}

void SimPlatform::Notify(int n, bool plugged) {
    const std::lock_guard lock(listenersMutex_);
    for (const auto& [id, listener] : listeners_) {
        listener(n, plugged);
    }
}

int SimPlatform::Plug(std::shared_ptr<SimInterface> device, SimDeviceInfo info) {
    int n = 0;
    {
        const std::lock_guard lock(mutex_);
        Slot slot;
        slot.device = std::move(device);
        slot.info = std::move(info);
        slots_.push_back(std::move(slot));
        n = CountLocked() - 1;
        ReplugLocked(n);
    }
    Notify(n, true);
    return n;
}

void SimPlatform::Unplug(int n) {
    bool unplugged = false;
    {
        const std::lock_guard lock(mutex_);
        unplugged = UnplugLocked(n);
    }
    if (unplugged) {
        Notify(n, false);
    }
}

void SimPlatform::Replug(int n) {
    bool replugged = false;
    {
        const std::lock_guard lock(mutex_);
        replugged = ReplugLocked(n);
    }
    if (replugged) {
        Notify(n, true);
    }
}

bool SimPlatform::UnplugLocked(int n) {
    if (!IsPluggedLocked(n)) {
        return false;
    }
    Slot& slot = slots_[static_cast<std::size_t>(n)];
    slot.plugged = false;
    slot.device->Reset();
    return true;
}

bool SimPlatform::ReplugLocked(int n) {
    if (n < 0 || n >= CountLocked() || IsPluggedLocked(n)) {
        return false;
    }
    Slot& slot = slots_[static_cast<std::size_t>(n)];
    slot.device->Reset();
    slot.plugged = true;
    slot.plugOrder = nextPlugOrder_++;
    ++slot.generation;
    slot.pipeTimeouts.clear();
    return true;
}

bool SimPlatform::IsPlugged(int n) const {
    const std::lock_guard lock(mutex_);
    return IsPluggedLocked(n);
}

bool SimPlatform::IsPluggedLocked(int n) const {
    return n >= 0 && n < CountLocked() && slots_[static_cast<std::size_t>(n)].plugged;
}

int SimPlatform::deviceCount() const {
    const std::lock_guard lock(mutex_);
    return CountLocked();
}

SimInterface* SimPlatform::device(int n) const {
    const std::lock_guard lock(mutex_);
    if (n < 0 || n >= CountLocked()) {
        return nullptr;
    }
    return slots_[static_cast<std::size_t>(n)].device.get();
}

bool SimPlatform::Modify(int n, const std::function<void(SimInterface&)>& change) {
    const std::lock_guard lock(mutex_);
    if (n < 0 || n >= CountLocked()) {
        return false;
    }
    change(*slots_[static_cast<std::size_t>(n)].device);
    return true;
}

TransferCounts SimPlatform::counts() const {
    const std::lock_guard lock(mutex_);
    return counts_;
}

void SimPlatform::ResetCounts() {
    const std::lock_guard lock(mutex_);
    counts_ = {};
}

wusb::OpenRefusal SimPlatform::LastOpenRefusal(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    const std::optional<int> n = ParsePath(path);
    const auto found = n ? refusals_.find(*n) : refusals_.end();
    return found == refusals_.end() ? wusb::OpenRefusal::None : found->second;
}

std::optional<std::uint32_t> SimPlatform::pipeTimeout(int n, std::uint8_t pipeId) const {
    const std::lock_guard lock(mutex_);
    if (n < 0 || n >= CountLocked()) {
        return std::nullopt;
    }
    const auto& timeouts = slots_[static_cast<std::size_t>(n)].pipeTimeouts;
    const auto it = timeouts.find(pipeId);
    if (it == timeouts.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<int> SimPlatform::LiveDevice(wusb::Handle handle, bool usb) const {
    const auto it = handles_.find(handle);
    if (it == handles_.end() || it->second.usb != usb) {
        return std::nullopt;
    }
    const HandleRecord& record = it->second;
    if (!IsPluggedLocked(record.device) ||
        slots_[static_cast<std::size_t>(record.device)].generation != record.generation) {
        return std::nullopt;
    }
    return record.device;
}

wusb::Handle SimPlatform::NewHandle(int device, bool usb) {
    const wusb::Handle handle = nextHandle_++;
    handles_[handle] = {device, slots_[static_cast<std::size_t>(device)].generation, usb};
    return handle;
}

bool SimPlatform::ListInterfaces(const wusb::Guid& interfaceClass,
                                 std::vector<wusb::InterfacePath>& out) {
    const std::lock_guard lock(mutex_);
    out.clear();
    std::vector<int> present;
    for (int n = 0; n < CountLocked(); ++n) {
        const Slot& slot = slots_[static_cast<std::size_t>(n)];
        if (slot.plugged && slot.info.interfaceClass == interfaceClass) {
            present.push_back(n);
        }
    }
    std::sort(present.begin(), present.end(), [this](int a, int b) {
        return slots_[static_cast<std::size_t>(a)].plugOrder <
               slots_[static_cast<std::size_t>(b)].plugOrder;
    });
    // The instance changes with every plug-in, as a bus gives a replugged device a new address.
    for (int n : present) {
        const std::uint32_t generation = slots_[static_cast<std::size_t>(n)].generation;
        out.push_back({std::string(kPathPrefix) + std::to_string(n),
                       (generation << 16) | static_cast<std::uint32_t>((n + 1) & 0xFFFF)});
    }
    return true;
}

wusb::Handle SimPlatform::OpenFile(const std::string& path) {
    const std::lock_guard lock(mutex_);
    const std::optional<int> n = ParsePath(path);
    if (!n) {
        return wusb::kNoHandle;
    }
    refusals_.erase(*n);
    if (!IsPluggedLocked(*n)) {
        return wusb::kNoHandle;
    }
    if (slots_[static_cast<std::size_t>(*n)].info.denyAccess) {
        refusals_[*n] = wusb::OpenRefusal::Permission;
        return wusb::kNoHandle;
    }
    return NewHandle(*n, false);
}

void SimPlatform::CloseFile(wusb::Handle file) {
    const std::lock_guard lock(mutex_);
    const auto it = handles_.find(file);
    if (it != handles_.end() && !it->second.usb) {
        handles_.erase(it);
    }
}

wusb::Handle SimPlatform::InitializeUsb(wusb::Handle file) {
    const std::lock_guard lock(mutex_);
    const std::optional<int> n = LiveDevice(file, false);
    if (n && slots_[static_cast<std::size_t>(*n)].info.heldElsewhere) {
        refusals_[*n] = wusb::OpenRefusal::InUse;
        return wusb::kNoHandle;
    }
    return n ? NewHandle(*n, true) : wusb::kNoHandle;
}

void SimPlatform::FreeUsb(wusb::Handle usb) {
    const std::lock_guard lock(mutex_);
    const auto it = handles_.find(usb);
    if (it != handles_.end() && it->second.usb) {
        handles_.erase(it);
    }
}

bool SimPlatform::GetDescriptor(wusb::Handle usb, std::uint8_t type, std::uint8_t index,
                                std::uint16_t /*language*/, std::uint8_t* buffer,
                                std::uint32_t length, std::uint32_t& transferred) {
    const std::lock_guard lock(mutex_);
    transferred = 0;
    const std::optional<int> n = LiveDevice(usb, true);
    if (!n) {
        return false;
    }
    const UsbIdentity& identity = slots_[static_cast<std::size_t>(*n)].info.usb;
    std::vector<std::uint8_t> descriptor;
    switch (type) {
        case wusb::kDeviceDescriptor:
            descriptor = index == 0 ? DeviceDescriptor(identity) : descriptor;
            break;
        case 2:
            descriptor = index == 0 ? ConfigurationDescriptor() : descriptor;
            break;
        case wusb::kStringDescriptor:
            descriptor = StringDescriptor(identity, index);
            break;
        default:
            break;
    }
    if (descriptor.empty()) {
        return false;
    }
    return CopyOut(descriptor, buffer, length, transferred);
}

bool SimPlatform::QueryInterfaceSettings(wusb::Handle usb, std::uint8_t alternateSetting,
                                         wusb::InterfaceDescriptor& out) {
    const std::lock_guard lock(mutex_);
    if (!LiveDevice(usb, true) || alternateSetting != 0) {
        return false;
    }
    out = wusb::InterfaceDescriptor{};
    out.bNumEndpoints = 2;
    out.bInterfaceClass = 0xFF;
    return true;
}

bool SimPlatform::QueryPipe(wusb::Handle usb, std::uint8_t alternateSetting, std::uint8_t pipeIndex,
                            wusb::PipeInfo& out) {
    const std::lock_guard lock(mutex_);
    if (!LiveDevice(usb, true) || alternateSetting != 0 || pipeIndex > 1) {
        return false;
    }
    out = {wusb::PipeType::Bulk, pipeIndex == 0 ? kBulkInPipe : kBulkOutPipe, kBulkPacketSize, 0};
    return true;
}

bool SimPlatform::SetPipeTimeout(wusb::Handle usb, std::uint8_t pipeId,
                                 std::uint32_t milliseconds) {
    const std::lock_guard lock(mutex_);
    const std::optional<int> n = LiveDevice(usb, true);
    if (!n || (pipeId != kBulkInPipe && pipeId != kBulkOutPipe)) {
        return false;
    }
    slots_[static_cast<std::size_t>(*n)].pipeTimeouts[pipeId] = milliseconds;
    return true;
}

bool SimPlatform::ReadPipe(wusb::Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                           std::uint32_t length, std::uint32_t& transferred) {
    std::optional<std::uint32_t> wait;
    {
        const std::lock_guard lock(mutex_);
        ++counts_.reads;
        transferred = 0;
        const std::optional<int> n = LiveDevice(usb, true);
        if (!n || pipeId != kBulkInPipe) {
            return false;
        }
        Slot& slot = slots_[static_cast<std::size_t>(*n)];
        if (std::optional<Bytes> frame = slot.device->TakeIn()) {
            // A transfer longer than the buffer overflows it: the read fails and the frame is
            // lost.
            if (frame->size() > length) {
                return false;
            }
            return CopyOut(*frame, buffer, length, transferred);
        }
        // Nothing to send: the read waits out the pipe's time-out. With none set a real pipe
        // would wait for ever; here it fails at once rather than hang the caller.
        ++counts_.timedOutReads;
        const auto timeout = slot.pipeTimeouts.find(kBulkInPipe);
        if (timeout != slot.pipeTimeouts.end()) {
            wait = timeout->second;
        }
    }
    if (wait) {
        clock_.Sleep(*wait);
    }
    return false;
}

bool SimPlatform::WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                            std::uint32_t length, std::uint32_t& transferred) {
    bool unplugged = false;
    std::optional<int> n;
    {
        const std::lock_guard lock(mutex_);
        ++counts_.writes;
        transferred = 0;
        n = LiveDevice(usb, true);
        if (!n || pipeId != kBulkOutPipe) {
            return false;
        }
        SimInterface& device = *slots_[static_cast<std::size_t>(*n)].device;
        device.HandleOut(buffer, length);
        transferred = length;
        // The command reached the interface before it vanished, so the write itself went
        // through.
        if (device.TakeUnplugRequest()) {
            unplugged = UnplugLocked(*n);
        }
    }
    if (unplugged) {
        Notify(*n, false);
    }
    return true;
}

}  // namespace sim
