#include "wusb/platform/libusb/libusb_platform.h"

#include <libusb.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <tuple>
#include <utility>

#include "wusb/platform/libusb/ms_os_probe.h"

namespace wusb::libusb {

namespace {

constexpr unsigned kDescriptorTimeoutMs = 1000;
// A pipe nobody set a time-out for still gives up in the end, so that a wedged device cannot
// freeze the program for good.
constexpr unsigned kDefaultPipeTimeoutMs = 5000;
// How long a device whose requests fail is asked again at each listing: a device announced a
// moment before it takes requests is found by a later one (at least two safety listings fall in
// this time); one that keeps failing costs no more than this.
constexpr auto kUnsettledProbing = std::chrono::seconds(5);

struct DeviceList {
    libusb_device** devices = nullptr;
    ssize_t count = 0;
    explicit DeviceList(libusb_context* context) {
        count = context ? libusb_get_device_list(context, &devices) : ssize_t{-1};
    }
    ~DeviceList() {
        if (count >= 0)
            libusb_free_device_list(devices, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    libusb_device** begin() const { return devices; }
    libusb_device** end() const { return devices + std::max<ssize_t>(count, 0); }
};

}  // namespace

LibusbPlatform::LibusbPlatform() : LibusbPlatform(NamedUsbIds()) {}

LibusbPlatform::LibusbPlatform(std::vector<UsbId> namedDevices)
    : namedDevices_(std::move(namedDevices)) {
    if (libusb_init(&context_) != 0)
        context_ = nullptr;
}

LibusbPlatform::~LibusbPlatform() {
    for (auto& [id, session] : sessions_) {
        if (OpenDevice* device = FindFile(session.file))
            libusb_release_interface(device->handle, device->interfaceNumber);
    }
    for (auto& [id, device] : files_) {
        libusb_close(device.handle);
    }
    if (context_)
        libusb_exit(context_);
}

bool LibusbPlatform::ListInterfaces(const Guid& interfaceClass, std::vector<InterfacePath>& out) {
    out.clear();
    // One listing at a time (it owns the probe cache); the handle tables stay free meanwhile,
    // since probing takes control transfers, and the result is published at the end.
    const std::lock_guard listing(listing_);
    std::map<std::string, std::uint8_t> listed;
    DeviceList list(context_);
    if (list.count < 0) {
        const std::lock_guard lock(mutex_);
        listedInterfaces_.clear();
        return false;
    }
    if (!(interfaceClass == probedClass_)) {
        probed_.clear();
        probedClass_ = interfaceClass;
    }
    // Only what this listing saw is kept, so that unplugged devices do not pile up.
    ProbeResults seen;
    std::vector<DeviceFacts> found;
    for (libusb_device* device : list) {
        auto facts = FactsOf(device);
        // Class devices (keyboards, storage, hubs) are never sent vendor requests they may
        // choke on, nor listed.
        if (!facts || facts->probe.vendorInterfaces.empty())
            continue;
        const auto interface = InterfaceOf(device, *facts, interfaceClass, seen);
        if (!interface)
            continue;
        listed[facts->path] = *interface;
        found.push_back(std::move(*facts));
    }
    probed_ = std::move(seen);
    std::sort(found.begin(), found.end(), [](const DeviceFacts& a, const DeviceFacts& b) {
        return std::tie(a.bus, a.ports) < std::tie(b.bus, b.ports);
    });
    for (const DeviceFacts& f : found) {
        out.push_back({f.path, static_cast<std::uint32_t>((f.bus << 8) | f.address)});
    }
    const std::lock_guard lock(mutex_);
    listedInterfaces_ = std::move(listed);
    return true;
}

std::optional<std::uint8_t> LibusbPlatform::InterfaceOf(libusb_device* device,
                                                        const DeviceFacts& facts,
                                                        const Guid& interfaceClass,
                                                        ProbeResults& seen) {
    if (IsNamed(facts, namedDevices_))
        return facts.bulkPairInterface;
    const ConnectionKey connection = ConnectionOf(facts);
    const auto now = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> unsettledSince;
    if (const auto known = probed_.find(connection); known != probed_.end()) {
        unsettledSince = known->second.unsettledSince;
        if (!unsettledSince || now - *unsettledSince >= kUnsettledProbing)
            return (seen[connection] = known->second).interface;
    }
    libusb_device_handle* handle = nullptr;
    const int opened = libusb_open(device, &handle);
    if (opened == LIBUSB_ERROR_ACCESS) {
        // It cannot be asked. When it has the interface's shape it is listed, so that opening
        // it fails for want of permission and the user learns how to get access.
        return facts.bulkPairInterface;
    }
    // Not kept: a device that cannot be opened yet is tried again at the next listing.
    if (opened != 0)
        return std::nullopt;
    bool settled = true;
    const auto interface =
        AnnouncedInterface(handle, facts.probe, interfaceClass, now + kProbeBudget, &settled);
    libusb_close(handle);
    if (!unsettledSince)
        unsettledSince = now;
    return (seen[connection] = {interface, settled ? std::nullopt : unsettledSince}).interface;
}

Handle LibusbPlatform::OpenFile(const std::string& path) {
    std::uint8_t interfaceNumber = 0;
    {
        const std::lock_guard lock(mutex_);
        refusals_.erase(path);
        const auto listed = listedInterfaces_.find(path);
        if (listed == listedInterfaces_.end())
            return kNoHandle;
        interfaceNumber = listed->second;
    }
    DeviceList list(context_);
    for (libusb_device* device : list) {
        const auto facts = FactsOf(device);
        if (!facts || facts->path != path)
            continue;
        libusb_device_handle* handle = nullptr;
        const int opened = libusb_open(device, &handle);
        const std::lock_guard lock(mutex_);
        if (opened != 0) {
            if (opened == LIBUSB_ERROR_ACCESS)
                refusals_[path] = OpenRefusal::Permission;
            return kNoHandle;
        }
        const Handle id = nextHandle_++;
        files_[id] = OpenDevice{handle, interfaceNumber, path};
        return id;
    }
    return kNoHandle;
}

OpenRefusal LibusbPlatform::LastOpenRefusal(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    const auto found = refusals_.find(path);
    return found == refusals_.end() ? OpenRefusal::None : found->second;
}

void LibusbPlatform::CloseFile(Handle file) {
    const std::lock_guard lock(mutex_);
    const auto it = files_.find(file);
    if (it == files_.end())
        return;
    // Sessions still on this file end with it; closing also gives up the claimed interface.
    std::erase_if(sessions_, [file](const auto& entry) { return entry.second.file == file; });
    libusb_close(it->second.handle);
    files_.erase(it);
}

Handle LibusbPlatform::InitializeUsb(Handle file) {
    const std::lock_guard lock(mutex_);
    OpenDevice* device = FindFile(file);
    if (!device)
        return kNoHandle;
    for (const auto& [id, session] : sessions_) {
        if (session.file == file)
            return kNoHandle;
    }
    // Not supported everywhere; where a kernel driver holds the interface, the claim fails.
    libusb_set_auto_detach_kernel_driver(device->handle, 1);
    const int claimed = libusb_claim_interface(device->handle, device->interfaceNumber);
    if (claimed != 0) {
        // Another program holds the interface: the user can close it, as on Windows.
        if (claimed == LIBUSB_ERROR_BUSY)
            refusals_[device->path] = OpenRefusal::InUse;
        return kNoHandle;
    }
    const Handle id = nextHandle_++;
    sessions_[id] = UsbSession{file, {}};
    return id;
}

void LibusbPlatform::FreeUsb(Handle usb) {
    const std::lock_guard lock(mutex_);
    const auto it = sessions_.find(usb);
    if (it == sessions_.end())
        return;
    if (OpenDevice* device = FindFile(it->second.file))
        libusb_release_interface(device->handle, device->interfaceNumber);
    sessions_.erase(it);
}

bool LibusbPlatform::GetDescriptor(Handle usb, std::uint8_t type, std::uint8_t index,
                                   std::uint16_t language, std::uint8_t* buffer,
                                   std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    PipeTarget target;
    if (!Target(usb, 0, target) || !buffer)
        return false;
    libusb_device_handle* const handle = target.handle;
    // The language belongs in wIndex only for strings; other descriptors are asked with 0.
    const std::uint16_t wIndex = type == LIBUSB_DT_STRING ? language : 0;
    const auto wLength = static_cast<std::uint16_t>(std::min<std::uint32_t>(length, 0xFFFF));
    const int got =
        libusb_control_transfer(handle, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                                static_cast<std::uint16_t>((type << 8) | index), wIndex, buffer,
                                wLength, kDescriptorTimeoutMs);
    if (got < 0)
        return false;
    transferred = static_cast<std::uint32_t>(got);
    return true;
}

namespace {

// The claimed interface's alternate setting in the active configuration. Calls `use` with it
// while the configuration is alive; false when there is none.
template <typename Use>
bool WithAltSetting(libusb_device_handle* handle, std::uint8_t interfaceNumber,
                    std::uint8_t alternateSetting, Use use) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(libusb_get_device(handle), &config) != 0)
        return false;
    bool done = false;
    for (int i = 0; i < config->bNumInterfaces && !done; ++i) {
        const libusb_interface& interface = config->interface[i];
        for (int a = 0; a < interface.num_altsetting && !done; ++a) {
            const libusb_interface_descriptor& alt = interface.altsetting[a];
            if (alt.bInterfaceNumber == interfaceNumber &&
                alt.bAlternateSetting == alternateSetting) {
                done = use(alt);
            }
        }
    }
    libusb_free_config_descriptor(config);
    return done;
}

}  // namespace

bool LibusbPlatform::QueryInterfaceSettings(Handle usb, std::uint8_t alternateSetting,
                                            InterfaceDescriptor& out) {
    const std::lock_guard lock(mutex_);
    libusb_device_handle* handle = nullptr;
    UsbSession* session = FindUsb(usb, &handle);
    if (!session)
        return false;
    return WithAltSetting(handle, files_.at(session->file).interfaceNumber, alternateSetting,
                          [&out](const libusb_interface_descriptor& alt) {
                              out.bLength = alt.bLength;
                              out.bDescriptorType = alt.bDescriptorType;
                              out.bInterfaceNumber = alt.bInterfaceNumber;
                              out.bAlternateSetting = alt.bAlternateSetting;
                              out.bNumEndpoints = alt.bNumEndpoints;
                              out.bInterfaceClass = alt.bInterfaceClass;
                              out.bInterfaceSubClass = alt.bInterfaceSubClass;
                              out.bInterfaceProtocol = alt.bInterfaceProtocol;
                              out.iInterface = alt.iInterface;
                              return true;
                          });
}

bool LibusbPlatform::QueryPipe(Handle usb, std::uint8_t alternateSetting, std::uint8_t pipeIndex,
                               PipeInfo& out) {
    const std::lock_guard lock(mutex_);
    libusb_device_handle* handle = nullptr;
    UsbSession* session = FindUsb(usb, &handle);
    if (!session)
        return false;
    return WithAltSetting(
        handle, files_.at(session->file).interfaceNumber, alternateSetting,
        [&out, pipeIndex](const libusb_interface_descriptor& alt) {
            if (pipeIndex >= alt.bNumEndpoints)
                return false;
            const libusb_endpoint_descriptor& ep = alt.endpoint[pipeIndex];
            out.type = static_cast<PipeType>(ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK);
            out.pipeId = ep.bEndpointAddress;
            out.maximumPacketSize = ep.wMaxPacketSize;
            out.interval = ep.bInterval;
            return true;
        });
}

bool LibusbPlatform::SetPipeTimeout(Handle usb, std::uint8_t pipeId, std::uint32_t milliseconds) {
    const std::lock_guard lock(mutex_);
    libusb_device_handle* handle = nullptr;
    UsbSession* session = FindUsb(usb, &handle);
    if (!session)
        return false;
    const bool known = WithAltSetting(handle, files_.at(session->file).interfaceNumber, 0,
                                      [pipeId](const libusb_interface_descriptor& alt) {
                                          for (int i = 0; i < alt.bNumEndpoints; ++i) {
                                              if (alt.endpoint[i].bEndpointAddress == pipeId)
                                                  return true;
                                          }
                                          return false;
                                      });
    if (!known)
        return false;
    session->timeouts[pipeId] = milliseconds;
    return true;
}

bool LibusbPlatform::ClearHalt(Handle usb, std::uint8_t pipeId) {
    PipeTarget target;
    if (!Target(usb, pipeId, target))
        return false;
    return libusb_clear_halt(target.handle, pipeId) == 0;
}

bool LibusbPlatform::ReadPipe(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                              std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    if ((pipeId & LIBUSB_ENDPOINT_IN) == 0)
        return false;
    return Transfer(usb, pipeId, buffer, length, transferred);
}

bool LibusbPlatform::WritePipe(Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                               std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    if ((pipeId & LIBUSB_ENDPOINT_IN) != 0)
        return false;
    // libusb takes a mutable buffer for both directions; an OUT transfer only reads it.
    return Transfer(usb, pipeId, const_cast<std::uint8_t*>(buffer), length, transferred);
}

bool LibusbPlatform::Transfer(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                              std::uint32_t length, std::uint32_t& transferred) {
    PipeTarget target;
    if (!Target(usb, pipeId, target) || (!buffer && length > 0) ||
        length > static_cast<std::uint32_t>(INT_MAX))
        return false;
    int actual = 0;
    const int result = libusb_bulk_transfer(target.handle, pipeId, buffer, static_cast<int>(length),
                                            &actual, target.timeout);
    transferred = static_cast<std::uint32_t>(std::max(actual, 0));
    return result == 0;
}

bool LibusbPlatform::Target(Handle usb, std::uint8_t pipeId, PipeTarget& out) {
    const std::lock_guard lock(mutex_);
    libusb_device_handle* handle = nullptr;
    UsbSession* session = FindUsb(usb, &handle);
    if (!session)
        return false;
    const auto timeout = session->timeouts.find(pipeId);
    out.handle = handle;
    out.timeout = timeout == session->timeouts.end() ? kDefaultPipeTimeoutMs : timeout->second;
    return true;
}

LibusbPlatform::OpenDevice* LibusbPlatform::FindFile(Handle file) {
    const auto it = files_.find(file);
    return it == files_.end() ? nullptr : &it->second;
}

LibusbPlatform::UsbSession* LibusbPlatform::FindUsb(Handle usb, libusb_device_handle** handle) {
    const auto it = sessions_.find(usb);
    if (it == sessions_.end())
        return nullptr;
    OpenDevice* device = FindFile(it->second.file);
    if (!device)
        return nullptr;
    *handle = device->handle;
    return &it->second;
}

}  // namespace wusb::libusb
