// A platform with one USB-Wiegand interface whose IN transfers, string descriptor and pipe
// failures come from a fuzz input, and which records everything the link layer asked of it.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "wusb/device.h"
#include "wusb/platform.h"

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kInPipe = 0x81;
inline constexpr std::uint8_t kOutPipe = 0x02;

// One completed read as the link layer saw it.
struct Delivered {
    bool ok = false;
    Bytes bytes;
    std::uint32_t inTimeoutMs = 0;  // the IN pipe time-out in force during the read
};

class ScriptedPlatform final : public wusb::Platform {
  public:
    // What the device will do; set before linking (or before the reads).
    std::deque<Delivered> script;  // reads take from the front; an empty script times out
    Bytes serialDescriptor{4, 3, '1', 0};
    std::vector<wusb::PipeInfo> pipes{{wusb::PipeType::Bulk, kInPipe, 64, 0},
                                      {wusb::PipeType::Bulk, kOutPipe, 64, 0}};
    // bNumEndpoints of the interface; none: as many as `pipes` holds.
    std::optional<std::uint8_t> endpointCount;
    // Index (counted from 0) of the SetPipeTimeout calls that fail.
    std::vector<int> failingTimeoutCalls;

    // What the link layer did.
    std::vector<Delivered> delivered;
    std::vector<Bytes> written;
    std::vector<std::uint32_t> inTimeouts;  // every accepted time-out of an IN pipe, in order
    int timeoutCalls = 0;

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

  private:
    std::uint32_t inTimeoutMs_ = 0;
};

// Enumerates `table` (one interface on `platform`) and links `dev` to it. The link must succeed
// with the default pipes; the recorded calls start afresh afterwards.
void LinkScripted(ScriptedPlatform& platform, wusb::WUsbDevTab& table, wusb::WUsbDev& dev);

}  // namespace fuzz
