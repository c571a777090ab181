// The platform seam on Windows: device-interface lists from SetupAPI, transfers through WinUSB.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "wusb/platform.h"
#include "wusb/platform/windows/win_api.h"

namespace wusb::windows {

class WinUsbPlatform final : public Platform {
  public:
    explicit WinUsbPlatform(const WinApi& api = WinApi{}) : api_(api) {}

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
    OpenRefusal LastOpenRefusal(const std::string& path) const override;

  private:
    // The device path of the interface at one index of the set, with its device instance;
    // an empty path when SetupAPI cannot give it.
    InterfacePath DetailOf(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData);

    WinApi api_;
    // Per path, locked: provisioning workers open and write to their interfaces concurrently.
    std::map<std::string, OpenRefusal> refusals_;
    mutable std::mutex refusalsMutex_;
    // The pipes, per USB handle, whose time-out has been set; WinUSB's own default is to wait
    // for ever.
    std::set<std::pair<Handle, std::uint8_t>> timedPipes_;
    std::mutex timedPipesMutex_;
};

}  // namespace wusb::windows
