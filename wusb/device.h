// The device table (up to 8 opened interfaces of one class) and the link object bound to one
// of its slots, with its bulk pipes and the one retried first read.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "wusb/guid.h"
#include "wusb/platform.h"

namespace wusb {

inline constexpr int kMaxDevices = 8;

struct WUsbDevEntry {
    Handle fileHandle = kNoHandle;
    Handle usbHandle = kNoHandle;
    std::uint32_t devInst = 0;
    std::string path;  // as the platform listed it (bus and port on libusb), for the user
};

class WUsbDevTab {
  public:
    WUsbDevTab(Platform& platform, const Guid& interfaceGuid);
    ~WUsbDevTab();
    WUsbDevTab(const WUsbDevTab&) = delete;
    WUsbDevTab& operator=(const WUsbDevTab&) = delete;

    // Closes what the previous call opened, then opens up to 8 present interfaces, skipping
    // those that cannot be opened or initialised. Returns the new count. Raises nothing.
    int Enumerate();
    // Closes what was open and opens one interface of a listing, so that each of several
    // concurrent workers holds only its own (1, or 0 when it cannot be opened). Raises nothing.
    int Open(const InterfacePath& listed);
    // Frees every USB handle before its file handle, slot by slot; count becomes 0.
    void CloseAll();

    int count() const { return count_; }
    const Guid& interfaceGuid() const { return interfaceGuid_; }
    WUsbDevEntry& entry(int index) { return entries_.at(static_cast<std::size_t>(index)); }
    const WUsbDevEntry& entry(int index) const {
        return entries_.at(static_cast<std::size_t>(index));
    }
    Platform& platform() { return platform_; }
    // Why the last Enumerate or Open skipped an interface, the first reason the user can act on.
    OpenRefusal refusal() const { return refusal_; }

  private:
    // Opens one listed interface into the next free slot; skips it when it cannot be opened.
    void OpenEntry(const InterfacePath& found);

    Platform& platform_;
    const Guid interfaceGuid_;
    int count_ = 0;
    std::array<WUsbDevEntry, kMaxDevices> entries_{};
    OpenRefusal refusal_ = OpenRefusal::None;
};

class WUsbDev {
  public:
    // Binds to slot `index`: descriptors, serial number, pipes, 200 ms IN time-out.
    // Raises WUsbErr 0..9; a failure before the last step leaves the object unlinked.
    void Link(WUsbDevTab& table, int index);
    // Sets the IN pipe's time-out; raises code 5; does nothing when unlinked.
    void SetInPipeTimeout(std::uint32_t milliseconds);
    // One bulk OUT transfer; true when every byte went. Raises code 10 when unlinked.
    bool WriteRaw(std::uint32_t length, const std::uint8_t* bytes);
    // One bulk IN transfer; bytes received, 0 on failure or time-out. Raises code 10.
    std::uint32_t ReadRaw(std::uint32_t capacity, std::uint8_t* buffer);

    bool IsLinked() const;

    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint32_t serialNumber = 0;
    std::uint8_t inPipe = 0;
    std::uint8_t outPipe = 0;
    bool firstReadRetry = true;

  private:
    WUsbDevEntry* entry_ = nullptr;
    Platform* platform_ = nullptr;
};

// The serial-number text read as hexadecimal: blanks, one sign, optional 0x, digits up to the
// first other code unit; no digits 0; overflow 0xFFFFFFFF; a minus negates in 32 bits.
std::uint32_t ParseSerialNumber(const char16_t* text, std::size_t length);

}  // namespace wusb
