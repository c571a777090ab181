// The platform seam on libusb: USB devices that announce an interface class in their Microsoft
// OS descriptors stand in for the device interfaces Windows would list for that class. Safe to
// share between threads: a lock guards the handle tables, and transfers run outside it (libusb's
// synchronous transfers may run on several threads at once).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "wusb/platform.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace wusb::libusb {

class LibusbPlatform final : public Platform {
  public:
    LibusbPlatform();
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
    bool LastOpenDeniedAccess() const override;

    // False when libusb could not be started; every operation then fails.
    bool started() const { return context_ != nullptr; }
    // For the hot-plug source on the same context; nullptr when not started.
    libusb_context* context() const { return context_; }

  private:
    struct OpenDevice {
        libusb_device_handle* handle = nullptr;
        std::uint8_t interfaceNumber = 0;
    };
    struct UsbSession {
        Handle file = kNoHandle;
        // Per endpoint address; 0 means wait for ever, as libusb counts it.
        std::map<std::uint8_t, unsigned> timeouts;
    };

    // Both with the lock held.
    OpenDevice* FindFile(Handle file);
    // The session and its device handle; nullptr when either is gone.
    UsbSession* FindUsb(Handle usb, libusb_device_handle** handle);
    // The device handle and time-out of one pipe, looked up under the lock.
    struct PipeTarget {
        libusb_device_handle* handle = nullptr;
        unsigned timeout = 0;
    };
    bool Target(Handle usb, std::uint8_t pipeId, PipeTarget& out);
    bool Transfer(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred);

    libusb_context* context_ = nullptr;
    mutable std::mutex mutex_;
    std::map<Handle, OpenDevice> files_;
    std::map<Handle, UsbSession> sessions_;
    // The interface each listed path announced the class on, as the last listing found it.
    std::map<std::string, std::uint8_t> listedInterfaces_;
    Handle nextHandle_ = 1;
    bool lastOpenDeniedAccess_ = false;
};

}  // namespace wusb::libusb
