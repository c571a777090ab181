// A backend of the platform seam that presents simulated interfaces in-process: for tests on a
// fake clock and for the demo on the system clock. Devices can be plugged and unplugged at any
// moment; the handles of an unplugged device fail every call from then on. Safe to share between
// threads: one lock guards the devices and handles, and a read waits out its time-out unlocked,
// so concurrent workers on different devices never wait for each other.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/device.h"
#include "sim/usb_descriptors.h"
#include "wusb/clock.h"
#include "wusb/guid.h"
#include "wusb/platform.h"

namespace sim {

// The device-interface class the USB-Wiegand interface announces.
inline constexpr wusb::Guid kUsbWiegandClass{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};

struct SimDeviceInfo {
    wusb::Guid interfaceClass = kUsbWiegandClass;
    UsbIdentity usb;
    bool denyAccess = false;     // opening fails for want of permission
    bool heldElsewhere = false;  // another program holds it: starting USB access fails as busy
};

struct TransferCounts {
    std::uint64_t reads = 0;          // every ReadPipe call
    std::uint64_t writes = 0;         // every WritePipe call
    std::uint64_t timedOutReads = 0;  // reads that waited out the time-out
};

class SimPlatform final : public wusb::Platform {
  public:
    // Told the device number after it was plugged (true) or unplugged (false), outside the lock.
    using PlugListener = std::function<void(int n, bool plugged)>;

    explicit SimPlatform(wusb::Clock& clock);

    // Returns an id for RemovePlugListener. A listener must outlive its registration.
    int AddPlugListener(PlugListener listener);
    void RemovePlugListener(int id);

    // Plugs `device` in, last in the plug order. Returns its number n; its path is "sim:<n>".
    int Plug(std::shared_ptr<SimInterface> device, SimDeviceInfo info = {});
    // The device goes away with whatever it had queued; its number stays for Replug.
    void Unplug(int n);
    // Plugs an unplugged device in again, last in the plug order, its host side starting over.
    void Replug(int n);
    bool IsPlugged(int n) const;
    // The device with number n, plugged or not; nullptr for an unknown number.
    SimInterface* device(int n) const;
    // Runs `change` on device n under the platform's lock, for changes made while other threads
    // talk to it (swapping the reader, injecting a fault). False for an unknown number.
    bool Modify(int n, const std::function<void(SimInterface&)>& change);
    int deviceCount() const;

    // The time-out last set on a pipe of device n since it was plugged.
    std::optional<std::uint32_t> pipeTimeout(int n, std::uint8_t pipeId) const;
    TransferCounts counts() const;
    void ResetCounts();

    bool ListInterfaces(const wusb::Guid& interfaceClass,
                        std::vector<wusb::InterfacePath>& out) override;
    wusb::Handle OpenFile(const std::string& path) override;
    void CloseFile(wusb::Handle file) override;
    wusb::Handle InitializeUsb(wusb::Handle file) override;
    void FreeUsb(wusb::Handle usb) override;
    bool GetDescriptor(wusb::Handle usb, std::uint8_t type, std::uint8_t index,
                       std::uint16_t language, std::uint8_t* buffer, std::uint32_t length,
                       std::uint32_t& transferred) override;
    bool QueryInterfaceSettings(wusb::Handle usb, std::uint8_t alternateSetting,
                                wusb::InterfaceDescriptor& out) override;
    bool QueryPipe(wusb::Handle usb, std::uint8_t alternateSetting, std::uint8_t pipeIndex,
                   wusb::PipeInfo& out) override;
    bool SetPipeTimeout(wusb::Handle usb, std::uint8_t pipeId, std::uint32_t milliseconds) override;
    bool ReadPipe(wusb::Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred) override;
    bool WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override;
    wusb::OpenRefusal LastOpenRefusal(const std::string& path) const override;

  private:
    struct Slot {
        std::shared_ptr<SimInterface> device;
        SimDeviceInfo info;
        bool plugged = false;
        std::uint64_t plugOrder = 0;
        std::uint32_t generation = 0;  // handles of an earlier plug-in stay dead
        std::map<std::uint8_t, std::uint32_t> pipeTimeouts;
    };
    struct HandleRecord {
        int device = 0;
        std::uint32_t generation = 0;
        bool usb = false;
    };

    // The device number behind a handle of the given kind, while that plug-in lasts.
    std::optional<int> LiveDevice(wusb::Handle handle, bool usb) const;
    wusb::Handle NewHandle(int device, bool usb);
    // The same as the public calls, with the lock held.
    bool UnplugLocked(int n);
    bool ReplugLocked(int n);
    bool IsPluggedLocked(int n) const;
    int CountLocked() const { return static_cast<int>(slots_.size()); }
    void Notify(int n, bool plugged);

    mutable std::mutex mutex_;
    std::mutex listenersMutex_;
    std::map<int, PlugListener> listeners_;
    int nextListener_ = 0;

    wusb::Clock& clock_;
    std::vector<Slot> slots_;
    std::map<wusb::Handle, HandleRecord> handles_;
    wusb::Handle nextHandle_ = 100;
    std::uint64_t nextPlugOrder_ = 0;
    std::map<int, wusb::OpenRefusal> refusals_;  // per device number, from its last opening
    TransferCounts counts_;
};

}  // namespace sim
