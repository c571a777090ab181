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

int SimPlatform::Plug(std::shared_ptr<SimInterface> device, SimDeviceInfo info) {
    Slot slot;
    slot.device = std::move(device);
    slot.info = std::move(info);
    slots_.push_back(std::move(slot));
    const int n = deviceCount() - 1;
    Replug(n);
    return n;
}

void SimPlatform::Unplug(int n) {
    if (!IsPlugged(n)) {
        return;
    }
    Slot& slot = slots_[static_cast<std::size_t>(n)];
    slot.plugged = false;
    slot.device->Reset();
}

void SimPlatform::Replug(int n) {
    if (n < 0 || n >= deviceCount() || IsPlugged(n)) {
        return;
    }
    Slot& slot = slots_[static_cast<std::size_t>(n)];
    slot.device->Reset();
    slot.plugged = true;
    slot.plugOrder = nextPlugOrder_++;
    ++slot.generation;
    slot.pipeTimeouts.clear();
}

bool SimPlatform::IsPlugged(int n) const {
    return n >= 0 && n < deviceCount() && slots_[static_cast<std::size_t>(n)].plugged;
}

SimInterface* SimPlatform::device(int n) const {
    if (n < 0 || n >= deviceCount()) {
        return nullptr;
    }
    return slots_[static_cast<std::size_t>(n)].device.get();
}

std::optional<std::uint32_t> SimPlatform::pipeTimeout(int n, std::uint8_t pipeId) const {
    if (n < 0 || n >= deviceCount()) {
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
    if (!IsPlugged(record.device) ||
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
    out.clear();
    std::vector<int> present;
    for (int n = 0; n < deviceCount(); ++n) {
        const Slot& slot = slots_[static_cast<std::size_t>(n)];
        if (slot.plugged && slot.info.interfaceClass == interfaceClass) {
            present.push_back(n);
        }
    }
    std::sort(present.begin(), present.end(), [this](int a, int b) {
        return slots_[static_cast<std::size_t>(a)].plugOrder <
               slots_[static_cast<std::size_t>(b)].plugOrder;
    });
    for (int n : present) {
        out.push_back(
            {std::string(kPathPrefix) + std::to_string(n), static_cast<std::uint32_t>(n + 1)});
    }
    return true;
}

wusb::Handle SimPlatform::OpenFile(const std::string& path) {
    lastOpenDenied_ = false;
    const std::optional<int> n = ParsePath(path);
    if (!n || !IsPlugged(*n)) {
        return wusb::kNoHandle;
    }
    if (slots_[static_cast<std::size_t>(*n)].info.denyAccess) {
        lastOpenDenied_ = true;
        return wusb::kNoHandle;
    }
    return NewHandle(*n, false);
}

void SimPlatform::CloseFile(wusb::Handle file) {
    const auto it = handles_.find(file);
    if (it != handles_.end() && !it->second.usb) {
        handles_.erase(it);
    }
}

wusb::Handle SimPlatform::InitializeUsb(wusb::Handle file) {
    const std::optional<int> n = LiveDevice(file, false);
    return n ? NewHandle(*n, true) : wusb::kNoHandle;
}

void SimPlatform::FreeUsb(wusb::Handle usb) {
    const auto it = handles_.find(usb);
    if (it != handles_.end() && it->second.usb) {
        handles_.erase(it);
    }
}

bool SimPlatform::GetDescriptor(wusb::Handle usb, std::uint8_t type, std::uint8_t index,
                                std::uint16_t /*language*/, std::uint8_t* buffer,
                                std::uint32_t length, std::uint32_t& transferred) {
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
    if (!LiveDevice(usb, true) || alternateSetting != 0 || pipeIndex > 1) {
        return false;
    }
    out = {wusb::PipeType::Bulk, pipeIndex == 0 ? kBulkInPipe : kBulkOutPipe, kBulkPacketSize, 0};
    return true;
}

bool SimPlatform::SetPipeTimeout(wusb::Handle usb, std::uint8_t pipeId,
                                 std::uint32_t milliseconds) {
    const std::optional<int> n = LiveDevice(usb, true);
    if (!n || (pipeId != kBulkInPipe && pipeId != kBulkOutPipe)) {
        return false;
    }
    slots_[static_cast<std::size_t>(*n)].pipeTimeouts[pipeId] = milliseconds;
    return true;
}

bool SimPlatform::ReadPipe(wusb::Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                           std::uint32_t length, std::uint32_t& transferred) {
    ++counts_.reads;
    transferred = 0;
    const std::optional<int> n = LiveDevice(usb, true);
    if (!n || pipeId != kBulkInPipe) {
        return false;
    }
    Slot& slot = slots_[static_cast<std::size_t>(*n)];
    if (std::optional<Bytes> frame = slot.device->TakeIn()) {
        // A transfer longer than the buffer overflows it: the read fails and the frame is lost.
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
        clock_.Sleep(timeout->second);
    }
    return false;
}

bool SimPlatform::WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                            std::uint32_t length, std::uint32_t& transferred) {
    ++counts_.writes;
    transferred = 0;
    const std::optional<int> n = LiveDevice(usb, true);
    if (!n || pipeId != kBulkOutPipe) {
        return false;
    }
    SimInterface& device = *slots_[static_cast<std::size_t>(*n)].device;
    device.HandleOut(buffer, length);
    transferred = length;
    // The command reached the interface before it vanished, so the write itself went through.
    if (device.TakeUnplugRequest()) {
        Unplug(*n);
    }
    return true;
}

}  // namespace sim
