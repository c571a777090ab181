#include "wusb/device.h"

#include <algorithm>
#include <array>
#include <vector>

#include "wusb/err.h"
#include "wusb/le_bytes.h"

namespace wusb {

namespace {

constexpr std::uint32_t kDeviceDescriptorLength = 18;
constexpr std::size_t kSerialIndexOffset = 16;
constexpr std::size_t kSerialBufferSize = 512;
constexpr std::uint32_t kSerialRequestLength = 254;
constexpr std::uint32_t kLinkInTimeoutMs = 200;

[[noreturn]] void Raise(std::int32_t code) {
    throw WUsbErr{code, 0};
}

}  // namespace

WUsbDevTab::WUsbDevTab(Platform& platform, const Guid& interfaceGuid)
    : platform_(platform), interfaceGuid_(interfaceGuid) {}

WUsbDevTab::~WUsbDevTab() {
    CloseAll();
}

int WUsbDevTab::Enumerate() {
    CloseAll();
    refusal_ = OpenRefusal::None;
    std::vector<InterfacePath> interfaces;
    if (!platform_.ListInterfaces(interfaceGuid_, interfaces)) {
        return 0;
    }
    for (const InterfacePath& found : interfaces) {
        if (count_ >= kMaxDevices) {
            break;
        }
        OpenEntry(found);
    }
    return count_;
}

int WUsbDevTab::Open(const InterfacePath& listed) {
    CloseAll();
    refusal_ = OpenRefusal::None;
    OpenEntry(listed);
    return count_;
}

void WUsbDevTab::OpenEntry(const InterfacePath& found) {
    if (found.path.empty()) {
        return;
    }
    // Why it was refused is remembered so the user can be told what to do, not only that
    // nothing is there.
    const auto refused = [this, &found] {
        if (refusal_ == OpenRefusal::None) {
            refusal_ = platform_.LastOpenRefusal(found.path);
        }
    };
    const Handle file = platform_.OpenFile(found.path);
    if (file == kNoHandle) {
        refused();
        return;
    }
    const Handle usb = platform_.InitializeUsb(file);
    if (usb == kNoHandle) {
        refused();
        platform_.CloseFile(file);
        return;
    }
    WUsbDevEntry& slot = entries_[static_cast<std::size_t>(count_)];
    slot.fileHandle = file;
    slot.usbHandle = usb;
    slot.devInst = found.devInst;
    slot.path = found.path;
    ++count_;
}

void WUsbDevTab::CloseAll() {
    for (int i = 0; i < count_; ++i) {
        WUsbDevEntry& slot = entries_[static_cast<std::size_t>(i)];
        // The USB handle lives on the file handle, so it goes first.
        if (slot.usbHandle != kNoHandle) {
            platform_.FreeUsb(slot.usbHandle);
            slot.usbHandle = kNoHandle;
        }
        if (slot.fileHandle != kNoHandle) {
            platform_.CloseFile(slot.fileHandle);
            slot.fileHandle = kNoHandle;
        }
        slot.devInst = 0;
        slot.path.clear();
    }
    count_ = 0;
}

void WUsbDev::Link(WUsbDevTab& table, int index) {
    entry_ = nullptr;
    platform_ = &table.platform();
    if (index < 0 || index >= table.count()) {
        Raise(0);
    }
    Platform& platform = table.platform();
    const Handle usb = table.entry(index).usbHandle;

    std::array<std::uint8_t, kDeviceDescriptorLength> device{};
    std::uint32_t transferred = 0;
    if (!platform.GetDescriptor(usb, kDeviceDescriptor, 0, kLanguageEnglishUs, device.data(),
                                kDeviceDescriptorLength, transferred)) {
        Raise(1);
    }
    vendorId = ReadLe16(&device[8]);
    productId = ReadLe16(&device[10]);

    // Bytes a backend counts but never writes read as 0xFF, which is never a digit.
    std::array<std::uint8_t, kSerialBufferSize> serial;
    serial.fill(0xFF);
    transferred = 0;
    if (!platform.GetDescriptor(usb, kStringDescriptor, device[kSerialIndexOffset],
                                kLanguageEnglishUs, serial.data(), kSerialRequestLength,
                                transferred)) {
        Raise(2);
    }
    // A count above what was asked for would put the terminator past the buffer.
    const std::size_t end = std::min(transferred, kSerialRequestLength);
    serial[end] = 0;
    serial[end + 1] = 0;
    std::array<char16_t, kSerialBufferSize / 2> text{};
    std::size_t units = 0;
    // The text starts behind the length and type bytes and ends at the terminator.
    for (std::size_t at = 2; at < end; at += 2) {
        const char16_t unit = ReadLe16(&serial[at]);
        if (unit == 0) {
            break;
        }
        text[units++] = unit;
    }
    serialNumber = ParseSerialNumber(text.data(), units);

    InterfaceDescriptor settings;
    if (!platform.QueryInterfaceSettings(usb, 0, settings)) {
        Raise(3);
    }
    bool haveIn = false;
    bool haveOut = false;
    for (std::uint8_t pipeIndex = 0; pipeIndex < settings.bNumEndpoints; ++pipeIndex) {
        PipeInfo pipe;
        if (!platform.QueryPipe(usb, 0, pipeIndex, pipe)) {
            Raise(4);
        }
        if (pipe.type != PipeType::Bulk) {
            continue;
        }
        if ((pipe.pipeId & 0x80) != 0) {
            if (haveIn) {
                Raise(8);
            }
            haveIn = true;
            inPipe = pipe.pipeId;
        } else {
            if (haveOut) {
                Raise(9);
            }
            haveOut = true;
            outPipe = pipe.pipeId;
        }
    }
    if (!haveIn) {
        Raise(6);
    }
    if (!haveOut) {
        Raise(7);
    }

    // One stall from the device would otherwise leave a pipe unusable until it is re-plugged.
    // A pipe that cannot be cleared is tried anyway: its transfers will tell.
    platform.ClearHalt(usb, inPipe);
    platform.ClearHalt(usb, outPipe);

    entry_ = &table.entry(index);
    SetInPipeTimeout(kLinkInTimeoutMs);
    firstReadRetry = true;
}

void WUsbDev::SetInPipeTimeout(std::uint32_t milliseconds) {
    if (!IsLinked()) {
        return;
    }
    if (!platform_->SetPipeTimeout(entry_->usbHandle, inPipe, milliseconds)) {
        Raise(5);
    }
}

bool WUsbDev::WriteRaw(std::uint32_t length, const std::uint8_t* bytes) {
    if (!IsLinked()) {
        Raise(10);
    }
    std::uint32_t written = 0;
    const bool ok = platform_->WritePipe(entry_->usbHandle, outPipe, bytes, length, written);
    return ok && written == length;
}

std::uint32_t WUsbDev::ReadRaw(std::uint32_t capacity, std::uint8_t* buffer) {
    if (!IsLinked()) {
        Raise(10);
    }
    std::uint32_t received = 0;
    bool ok = platform_->ReadPipe(entry_->usbHandle, inPipe, buffer, capacity, received);
    if (firstReadRetry) {
        // The first read after linking may meet a device that is still settling.
        if (!ok || received == 0) {
            received = 0;
            ok = platform_->ReadPipe(entry_->usbHandle, inPipe, buffer, capacity, received);
        }
        firstReadRetry = false;
    }
    // Callers size what follows by this count, so it never exceeds the buffer.
    return ok ? std::min(received, capacity) : 0;
}

bool WUsbDev::IsLinked() const {
    return entry_ != nullptr && entry_->fileHandle != kNoHandle && entry_->usbHandle != kNoHandle;
}

}  // namespace wusb
