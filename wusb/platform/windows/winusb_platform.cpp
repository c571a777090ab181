#include "wusb/platform/windows/winusb_platform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

namespace wusb::windows {

// The fixed part of the ANSI detail record differs by process width, and SetupAPI rejects any
// other size field: 5 bytes (packed) in a 32-bit process, 8 in a 64-bit one.
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (sizeof(void*) == 8 ? 8 : 5));
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (sizeof(void*) == 8 ? 32 : 28));
static_assert(sizeof(SP_DEVINFO_DATA) == (sizeof(void*) == 8 ? 32 : 28));
// The pipe time-out policy value is a 4-byte count of milliseconds.
static_assert(sizeof(ULONG) == 4);

namespace {

constexpr std::uint32_t kDefaultPipeTimeoutMs = 5000;

HANDLE ToNative(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}
Handle FromNative(HANDLE handle) {
    return reinterpret_cast<Handle>(handle);
}

GUID ToNative(const Guid& guid) {
    GUID native{};
    native.Data1 = guid.data1;
    native.Data2 = guid.data2;
    native.Data3 = guid.data3;
    std::memcpy(native.Data4, guid.data4.data(), sizeof native.Data4);
    return native;
}

// Destroys the interface set however the listing ends.
class DeviceInfoSet {
  public:
    DeviceInfoSet(const WinApi& api, HDEVINFO set) : api_(api), set_(set) {}
    ~DeviceInfoSet() { api_.destroyDeviceInfoList(set_); }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    HDEVINFO get() const { return set_; }

  private:
    const WinApi& api_;
    HDEVINFO set_;
};

}  // namespace

bool WinUsbPlatform::ListInterfaces(const Guid& interfaceClass, std::vector<InterfacePath>& out) {
    out.clear();
    GUID guid = ToNative(interfaceClass);
    HDEVINFO handle =
        api_.getClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    DeviceInfoSet set(api_, handle);
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
        if (!api_.enumDeviceInterfaces(set.get(), nullptr, &guid, index, &interfaceData)) {
            break;
        }
        out.push_back(DetailOf(set.get(), interfaceData));
    }
    return true;
}

InterfacePath WinUsbPlatform::DetailOf(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData) {
    DWORD required = 0;
    if (!api_.getDeviceInterfaceDetail(set, &interfaceData, nullptr, 0, &required, nullptr) &&
        api_.getLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }

    // Never smaller than the fixed part, whose size field is written before the call.
    const DWORD size = std::max<DWORD>(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
    if (!block) {
        return {};
    }
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA devInfo{};
    devInfo.cbSize = sizeof(SP_DEVINFO_DATA);
    if (!api_.getDeviceInterfaceDetail(set, &interfaceData, detail, size, nullptr, &devInfo)) {
        return {};
    }

    // The path ends at its terminator or at the end of the block, whichever comes first.
    const std::size_t room = size - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    InterfacePath result;
    result.path.assign(detail->DevicePath, strnlen(detail->DevicePath, room));
    result.devInst = devInfo.DevInst;
    return result;
}

Handle WinUsbPlatform::OpenFile(const std::string& path) {
    HANDLE file = api_.createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    const DWORD error = file == INVALID_HANDLE_VALUE ? api_.getLastError() : 0;
    const std::lock_guard lock(refusalsMutex_);
    refusals_.erase(path);
    // WinUSB lets one program at a time open an interface; the next one is refused so.
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        refusals_[path] = OpenRefusal::InUse;
    }
    return FromNative(file);
}

OpenRefusal WinUsbPlatform::LastOpenRefusal(const std::string& path) const {
    const std::lock_guard lock(refusalsMutex_);
    const auto found = refusals_.find(path);
    return found == refusals_.end() ? OpenRefusal::None : found->second;
}

void WinUsbPlatform::CloseFile(Handle file) {
    api_.closeHandle(ToNative(file));
}

Handle WinUsbPlatform::InitializeUsb(Handle file) {
    WINUSB_INTERFACE_HANDLE usb = nullptr;
    if (!api_.winUsbInitialize(ToNative(file), &usb)) {
        return kNoHandle;
    }
    return FromNative(usb);
}

void WinUsbPlatform::FreeUsb(Handle usb) {
    const std::lock_guard lock(timedPipesMutex_);
    std::erase_if(timedPipes_, [usb](const auto& pipe) { return pipe.first == usb; });
    api_.winUsbFree(ToNative(usb));
}

bool WinUsbPlatform::GetDescriptor(Handle usb, std::uint8_t type, std::uint8_t index,
                                   std::uint16_t language, std::uint8_t* buffer,
                                   std::uint32_t length, std::uint32_t& transferred) {
    ULONG moved = 0;
    const bool ok = api_.winUsbGetDescriptor(ToNative(usb), type, index, language, buffer, length,
                                             &moved) != FALSE;
    transferred = moved;
    return ok;
}

bool WinUsbPlatform::QueryInterfaceSettings(Handle usb, std::uint8_t alternateSetting,
                                            InterfaceDescriptor& out) {
    USB_INTERFACE_DESCRIPTOR native{};
    if (!api_.winUsbQueryInterfaceSettings(ToNative(usb), alternateSetting, &native)) {
        return false;
    }
    out.bLength = native.bLength;
    out.bDescriptorType = native.bDescriptorType;
    out.bInterfaceNumber = native.bInterfaceNumber;
    out.bAlternateSetting = native.bAlternateSetting;
    out.bNumEndpoints = native.bNumEndpoints;
    out.bInterfaceClass = native.bInterfaceClass;
    out.bInterfaceSubClass = native.bInterfaceSubClass;
    out.bInterfaceProtocol = native.bInterfaceProtocol;
    out.iInterface = native.iInterface;
    return true;
}

bool WinUsbPlatform::QueryPipe(Handle usb, std::uint8_t alternateSetting, std::uint8_t pipeIndex,
                               PipeInfo& out) {
    WINUSB_PIPE_INFORMATION native{};
    if (!api_.winUsbQueryPipe(ToNative(usb), alternateSetting, pipeIndex, &native)) {
        return false;
    }
    out.type = static_cast<PipeType>(static_cast<std::uint32_t>(native.PipeType));
    out.pipeId = native.PipeId;
    out.maximumPacketSize = native.MaximumPacketSize;
    out.interval = native.Interval;
    return true;
}

bool WinUsbPlatform::SetPipeTimeout(Handle usb, std::uint8_t pipeId, std::uint32_t milliseconds) {
    ULONG value = milliseconds;
    const bool ok = api_.winUsbSetPipePolicy(ToNative(usb), pipeId, PIPE_TRANSFER_TIMEOUT,
                                             sizeof value, &value) != FALSE;
    if (ok) {
        const std::lock_guard lock(timedPipesMutex_);
        timedPipes_.emplace(usb, pipeId);
    }
    return ok;
}

bool WinUsbPlatform::ClearHalt(Handle usb, std::uint8_t pipeId) {
    return api_.winUsbResetPipe(ToNative(usb), pipeId) != FALSE;
}

bool WinUsbPlatform::ReadPipe(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                              std::uint32_t length, std::uint32_t& transferred) {
    ULONG moved = 0;
    const bool ok =
        api_.winUsbReadPipe(ToNative(usb), pipeId, buffer, length, &moved, nullptr) != FALSE;
    transferred = moved;
    return ok;
}

bool WinUsbPlatform::WritePipe(Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                               std::uint32_t length, std::uint32_t& transferred) {
    // A device that stops taking data must not hold the program for ever: a pipe nobody gave
    // a time-out gives up after the same 5 s as on the other platforms. Should setting it fail,
    // the write still goes, and the next one tries again.
    bool timed = false;
    {
        const std::lock_guard lock(timedPipesMutex_);
        timed = timedPipes_.contains({usb, pipeId});
    }
    if (!timed) {
        SetPipeTimeout(usb, pipeId, kDefaultPipeTimeoutMs);
    }
    ULONG moved = 0;
    // WinUSB only reads the buffer; its prototype just lacks the const.
    const bool ok = api_.winUsbWritePipe(ToNative(usb), pipeId, const_cast<std::uint8_t*>(buffer),
                                         length, &moved, nullptr) != FALSE;
    transferred = moved;
    return ok;
}

}  // namespace wusb::windows
