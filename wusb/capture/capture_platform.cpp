#include "wusb/capture/capture_platform.h"

#include <algorithm>
#include <exception>

#include "wusb/capture/pcapng.h"
#include "wusb/le_bytes.h"

namespace wusb::capture {

namespace {

constexpr std::size_t kSerialIndexOffset = 16;
constexpr std::uint8_t kMaxUsbmonDevice = 127;
constexpr char32_t kReplacement = 0xFFFD;
constexpr const char* kWriteFailed = "capture file write failed";

void AppendUtf8(std::string& out, char32_t c) {
    auto put = [&out](unsigned v) { out += static_cast<char>(v); };
    if (c < 0x80) {
        put(static_cast<unsigned>(c));
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | (c >> 18));
        put(0x80 | ((c >> 12) & 0x3F));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::string StringDescriptorText(std::span<const std::uint8_t> descriptor) {
    std::string text;
    // The descriptor's own length byte bounds the text as much as the bytes received do.
    const std::size_t end =
        descriptor.empty() ? 0 : std::min<std::size_t>(descriptor.size(), descriptor[0]);
    for (std::size_t at = 2; at + 1 < end; at += 2) {
        char32_t unit = ReadLe16(&descriptor[at]);
        if (unit == 0) {
            break;
        }
        if (IsHighSurrogate(unit) && at + 3 < end &&
            IsLowSurrogate(ReadLe16(&descriptor[at + 2]))) {
            const char32_t low = ReadLe16(&descriptor[at + 2]);
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            at += 2;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            unit = kReplacement;
        }
        AppendUtf8(text, unit);
    }
    return text;
}

bool CapturePlatform::GetDescriptor(Handle usb, std::uint8_t type, std::uint8_t index,
                                    std::uint16_t language, std::uint8_t* buffer,
                                    std::uint32_t length, std::uint32_t& transferred) {
    const bool ok = inner().GetDescriptor(usb, type, index, language, buffer, length, transferred);
    if (!ok) {
        return ok;
    }
    const std::size_t received = std::min(transferred, length);
    const std::lock_guard lock(mutex_);
    if (type == kDeviceDescriptor && received > kSerialIndexOffset) {
        opened_[usb].serialIndex = buffer[kSerialIndexOffset];
    } else if (type == kStringDescriptor && index != 0) {
        const auto found = opened_.find(usb);
        if (found != opened_.end() && found->second.serialIndex == index) {
            found->second.serial = StringDescriptorText({buffer, received});
        }
    }
    return ok;
}

void CapturePlatform::FreeUsb(Handle usb) {
    {
        const std::lock_guard lock(mutex_);
        opened_.erase(usb);
    }
    inner().FreeUsb(usb);
}

bool CapturePlatform::ReadPipe(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                               std::uint32_t length, std::uint32_t& transferred) {
    std::uint64_t id = 0;
    {
        const std::lock_guard lock(mutex_);
        id = ++nextId_;
        Record(usb, UrbEvent::Submit, pipeId, id, kUrbInProgress, length, {});
    }
    const bool ok = inner().ReadPipe(usb, pipeId, buffer, length, transferred);
    const std::uint32_t received = std::min(transferred, length);
    const std::lock_guard lock(mutex_);
    Record(usb, UrbEvent::Complete, pipeId, id, ok ? 0 : kUrbTimedOut, received,
           {buffer, received});
    return ok;
}

bool CapturePlatform::WritePipe(Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                                std::uint32_t length, std::uint32_t& transferred) {
    std::uint64_t id = 0;
    {
        const std::lock_guard lock(mutex_);
        id = ++nextId_;
        Record(usb, UrbEvent::Submit, pipeId, id, kUrbInProgress, length, {buffer, length});
    }
    const bool ok = inner().WritePipe(usb, pipeId, buffer, length, transferred);
    const std::lock_guard lock(mutex_);
    Record(usb, UrbEvent::Complete, pipeId, id, ok ? 0 : kUrbIoError, std::min(transferred, length),
           {});
    return ok;
}

std::string CapturePlatform::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

void CapturePlatform::Record(Handle usb, UrbEvent event, std::uint8_t endpoint, std::uint64_t id,
                             std::int32_t status, std::uint32_t length,
                             std::span<const std::uint8_t> data) {
    if (!failure_.empty()) {
        return;
    }
    const auto found = opened_.find(usb);
    const std::uint32_t interfaceId =
        InterfaceFor(found == opened_.end() ? std::string() : found->second.serial);
    if (!failure_.empty()) {
        return;
    }
    UsbmonEvent usbmon;
    usbmon.id = id;
    usbmon.event = event;
    usbmon.endpoint = endpoint;
    usbmon.device =
        static_cast<std::uint8_t>(std::min<std::uint32_t>(interfaceId + 1, kMaxUsbmonDevice));
    usbmon.microseconds = clock_.NowMicroseconds();
    usbmon.status = status;
    usbmon.length = length;
    usbmon.data = data;
    Write(EnhancedPacketBlock(interfaceId, usbmon.microseconds, UsbmonPacket(usbmon)));
}

std::uint32_t CapturePlatform::InterfaceFor(const std::string& serial) {
    const auto known = interfaces_.find(serial);
    if (known != interfaces_.end()) {
        return known->second;
    }
    const auto id = static_cast<std::uint32_t>(interfaces_.size());
    const std::string name = serial.empty() ? "usb-wiegand" : "usb-wiegand-" + serial;
    const std::string description = serial.empty()
                                        ? "USB-Wiegand interface (serial number not read)"
                                        : "USB-Wiegand interface, serial number " + serial;
    Write(InterfaceDescriptionBlock(kLinkTypeUsbLinuxMmapped, name, description));
    interfaces_.emplace(serial, id);
    return id;
}

void CapturePlatform::Write(std::span<const std::uint8_t> block) {
    // The transfers must go on: a capture that cannot be written stops, and says why.
    try {
        file_.Append({reinterpret_cast<const char*>(block.data()), block.size()});
    } catch (const std::exception& e) {
        failure_ = *e.what() != '\0' ? e.what() : kWriteFailed;
    } catch (...) {
        failure_ = kWriteFailed;
    }
}

}  // namespace wusb::capture
