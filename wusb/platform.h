// The platform seam: the few USB operations the device table and the link object need.
// Backends (WinUSB, libusb, the simulator, test scripts) implement exactly these and no policy:
// skipping, limits, pipe rules, retries and error codes live above, in the link layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wusb/guid.h"

namespace wusb {

// A platform handle; kNoHandle stands for none.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

struct InterfacePath {
    // Empty when the platform listed the interface but could not tell its path (it is skipped).
    std::string path;
    std::uint32_t devInst = 0;
};

// The standard 9-byte interface descriptor.
struct InterfaceDescriptor {
    std::uint8_t bLength = 9;
    std::uint8_t bDescriptorType = 4;
    std::uint8_t bInterfaceNumber = 0;
    std::uint8_t bAlternateSetting = 0;
    std::uint8_t bNumEndpoints = 0;
    std::uint8_t bInterfaceClass = 0;
    std::uint8_t bInterfaceSubClass = 0;
    std::uint8_t bInterfaceProtocol = 0;
    std::uint8_t iInterface = 0;
};

enum class PipeType : std::uint32_t { Control = 0, Isochronous = 1, Bulk = 2, Interrupt = 3 };

struct PipeInfo {
    PipeType type = PipeType::Control;
    std::uint8_t pipeId = 0;  // endpoint address; bit 7 set for IN
    std::uint16_t maximumPacketSize = 0;
    std::uint8_t interval = 0;
};

// Why an interface could not be opened, where the user can do something about it.
enum class OpenRefusal {
    None,
    // The system does not let this user open the device.
    Permission,
    // Another program holds the interface.
    InUse,
};

inline constexpr std::uint8_t kDeviceDescriptor = 1;
inline constexpr std::uint8_t kStringDescriptor = 3;
inline constexpr std::uint16_t kLanguageEnglishUs = 0x0409;

class Platform {
  public:
    virtual ~Platform() = default;

    // The present interfaces of a device-interface class, in a stable order.
    // False when the set itself cannot be obtained.
    virtual bool ListInterfaces(const Guid& interfaceClass, std::vector<InterfacePath>& out) = 0;

    // Opens a listed path; kNoHandle on failure.
    virtual Handle OpenFile(const std::string& path) = 0;
    virtual void CloseFile(Handle file) = 0;
    // Starts USB access on an opened file; kNoHandle on failure.
    virtual Handle InitializeUsb(Handle file) = 0;
    virtual void FreeUsb(Handle usb) = 0;

    // GET_DESCRIPTOR into `buffer` of `length` bytes; `transferred` gets the bytes moved.
    virtual bool GetDescriptor(Handle usb, std::uint8_t type, std::uint8_t index,
                               std::uint16_t language, std::uint8_t* buffer, std::uint32_t length,
                               std::uint32_t& transferred) = 0;
    virtual bool QueryInterfaceSettings(Handle usb, std::uint8_t alternateSetting,
                                        InterfaceDescriptor& out) = 0;
    virtual bool QueryPipe(Handle usb, std::uint8_t alternateSetting, std::uint8_t pipeIndex,
                           PipeInfo& out) = 0;
    // The transfer time-out of one pipe, applied to every later transfer on it.
    virtual bool SetPipeTimeout(Handle usb, std::uint8_t pipeId, std::uint32_t milliseconds) = 0;

    // Synchronous bulk transfers; a read ends when the device completes a transfer or the
    // pipe's time-out elapses (failure). Never throw.
    virtual bool ReadPipe(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                          std::uint32_t length, std::uint32_t& transferred) = 0;
    virtual bool WritePipe(Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                           std::uint32_t length, std::uint32_t& transferred) = 0;

    // Clears a halt (stall) of a pipe, on the device and in the host, so that transfers on it
    // work again. False when that failed.
    virtual bool ClearHalt(Handle /*usb*/, std::uint8_t /*pipeId*/) { return true; }

    // Why the last attempt to open this listed path failed (its OpenFile, or InitializeUsb on
    // its file), when the user can act on it, so that the user learns what to do besides that
    // the interface could not be opened. Kept per path: concurrent workers open different ones.
    virtual OpenRefusal LastOpenRefusal(const std::string& /*path*/) const {
        return OpenRefusal::None;
    }
};

}  // namespace wusb
