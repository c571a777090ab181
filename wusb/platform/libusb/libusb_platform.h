// The platform seam on libusb: USB devices that announce an interface class in their Microsoft
// OS descriptors, or that the user names by vendor and product id, stand in for the device
// interfaces Windows would list for that class. Safe to share between threads: a lock guards the
// handle tables, and transfers run outside it (libusb's synchronous transfers may run on several
// threads at once).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "wusb/platform.h"
#include "wusb/platform/libusb/device_facts.h"
#include "wusb/usb_ids.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace wusb::libusb {

class LibusbPlatform final : public Platform {
  public:
    // Takes the devices the user names (NamedUsbIds: /etc/trelvo/usb-ids and TRELVO_USB_IDS).
    LibusbPlatform();
    // Devices with these ids are listed without asking them, when they have the interface's
    // shape: a vendor-specific interface with one bulk IN and one bulk OUT pipe.
    explicit LibusbPlatform(std::vector<UsbId> namedDevices);
    ~LibusbPlatform() override;
    LibusbPlatform(const LibusbPlatform&) = delete;
    LibusbPlatform& operator=(const LibusbPlatform&) = delete;

    bool ListInterfaces(const Guid& interfaceClass, std::vector<InterfacePath>& out) override;
    Handle OpenFile(const std::string& path) override;
    void CloseFile(Handle file) override;
    Handle InitializeUsb(Handle file) override;
    void FreeUsb(Handle usb) override;
    bool GetDescriptor(Handle usb, std::uint8_t type, std::uint8_t index, std::uint16_t language,
                       std::uint8_t* buffer, std::uint32_t length,
                       std::uint32_t& transferred) override;
    bool QueryInterfaceSettings(Handle usb, std::uint8_t alternateSetting,
                                InterfaceDescriptor& out) override;
    bool QueryPipe(Handle usb, std::uint8_t alternateSetting, std::uint8_t pipeIndex,
                   PipeInfo& out) override;
    bool SetPipeTimeout(Handle usb, std::uint8_t pipeId, std::uint32_t milliseconds) override;
    bool ReadPipe(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred) override;
    bool WritePipe(Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override;
    bool ClearHalt(Handle usb, std::uint8_t pipeId) override;
    // Permission when the device node could not be opened, InUse when claiming the interface
    // answered busy (another program, or a kernel driver that would not let go, holds it).
    OpenRefusal LastOpenRefusal(const std::string& path) const override;

    // False when libusb could not be started; every operation then fails.
    bool started() const { return context_ != nullptr; }
    // For the hot-plug source on the same context; nullptr when not started.
    libusb_context* context() const { return context_; }

  private:
    struct OpenDevice {
        libusb_device_handle* handle = nullptr;
        std::uint8_t interfaceNumber = 0;
        std::string path;
    };
    struct UsbSession {
        Handle file = kNoHandle;
        // Per endpoint address; 0 means wait for ever, as libusb counts it.
        std::map<std::uint8_t, unsigned> timeouts;
    };

    // What a connection's probes found. `unsettledSince` is when its probes began to end in a
    // failed request (the device not ready yet): such an answer is asked again at every listing
    // for a while, measured in time rather than listings, since several arrivals at once bring
    // several listings within a moment.
    struct Probed {
        std::optional<std::uint8_t> interface;
        std::optional<std::chrono::steady_clock::time_point> unsettledSince;
    };
    using ProbeResults = std::map<ConnectionKey, Probed>;
    // The interface a device offers the class on; nothing when it offers none. What a probe
    // found goes into `seen`.
    std::optional<std::uint8_t> InterfaceOf(libusb_device* device, const DeviceFacts& facts,
                                            const Guid& interfaceClass, ProbeResults& seen);
    // What a transfer on a pipe needs, taken under the lock so the transfer can run outside it.
    struct PipeTarget {
        libusb_device_handle* handle = nullptr;
        unsigned timeout = 0;
    };
    bool Target(Handle usb, std::uint8_t pipeId, PipeTarget& out);
    // Both with the lock held.
    OpenDevice* FindFile(Handle file);
    // The session and its device handle; nullptr when either is gone.
    UsbSession* FindUsb(Handle usb, libusb_device_handle** handle);
    bool Transfer(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred);

    libusb_context* context_ = nullptr;
    std::map<Handle, OpenDevice> files_;
    std::map<Handle, UsbSession> sessions_;
    // The interface each listed path announced the class on, as the last listing found it.
    std::map<std::string, std::uint8_t> listedInterfaces_;
    const std::vector<UsbId> namedDevices_;
    // What the probe found, per connection, for the class of the last listing: a device is
    // asked once while it stays plugged in (a few times when its requests failed).
    Guid probedClass_;
    ProbeResults probed_;
    Handle nextHandle_ = 1;
    // Why the last opening of a path failed, where the user can act on it; absent: no reason.
    std::map<std::string, OpenRefusal> refusals_;
    // mutex_ guards files_, sessions_, listedInterfaces_, nextHandle_ and refusals_; listing_
    // lets one listing (and its probes) run at a time.
    mutable std::mutex mutex_;
    std::mutex listing_;
};

}  // namespace wusb::libusb
