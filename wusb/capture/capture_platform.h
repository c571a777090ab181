// The wire capture: a platform decorator that records every bulk transfer (both directions,
// submission and completion, with the bytes that moved) into a pcapng file as it happens.
// Each USB-Wiegand interface gets its own capture interface, named by its serial number.
// When capture is off this decorator is not installed at all. Shared by every thread that uses
// the platform: one lock guards its tables, its id counter and the file, and is never held across
// a wrapped call, so a read waiting out its time-out holds up no other interface.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>

#include "wusb/capture/usbmon.h"
#include "wusb/clock.h"
#include "wusb/files.h"
#include "wusb/forwarding_platform.h"

namespace wusb::capture {

class CapturePlatform final : public ForwardingPlatform {
  public:
    // `file` already holds a section header; it and `clock` must outlive this object.
    CapturePlatform(Platform& inner, AppendFile& file, Clock& clock)
        : ForwardingPlatform(inner), file_(file), clock_(clock) {}

    // Watched to learn the serial number of each opened interface.
    bool GetDescriptor(Handle usb, std::uint8_t type, std::uint8_t index, std::uint16_t language,
                       std::uint8_t* buffer, std::uint32_t length,
                       std::uint32_t& transferred) override;
    void FreeUsb(Handle usb) override;

    // A read is recorded as its submission (capacity, no data) and its completion with the
    // bytes received. The seam does not tell a time-out from another failure: every failed read
    // completes with status -ETIMEDOUT, which is how the link's reads end when nothing comes.
    bool ReadPipe(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred) override;
    // A write is recorded as its submission with the bytes sent and its completion with the
    // count the device took (status -EIO when the write failed).
    bool WritePipe(Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override;

    // Empty while every packet has reached the file; otherwise why recording stopped (the
    // transfers themselves go on unaffected).
    std::string failure() const;

  private:
    struct Opened {
        std::uint8_t serialIndex = 0;  // from the device descriptor; 0: none seen yet
        std::string serial;
    };

    // These three with mutex_ held.
    void Record(Handle usb, UrbEvent event, std::uint8_t endpoint, std::uint64_t id,
                std::int32_t status, std::uint32_t length, std::span<const std::uint8_t> data);
    std::uint32_t InterfaceFor(const std::string& serial);
    void Write(std::span<const std::uint8_t> block);

    AppendFile& file_;
    Clock& clock_;
    mutable std::mutex mutex_;
    std::map<Handle, Opened> opened_;
    std::map<std::string, std::uint32_t> interfaces_;  // serial number -> interface id
    std::uint64_t nextId_ = 0;
    std::string failure_;
};

// The text of a USB string descriptor (UTF-16LE behind its 2-byte head) in UTF-8; unpaired
// surrogates become U+FFFD.
std::string StringDescriptorText(std::span<const std::uint8_t> descriptor);

}  // namespace wusb::capture
