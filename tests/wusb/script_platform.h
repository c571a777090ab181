// A scripted, in-memory backend of the platform seam for tests: each device says what fails,
// what it describes and what it sends; the platform records what the link layer did to it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wusb/platform.h"

namespace wusb::testing {

// One completed IN transfer, or a failed one (a time-out looks the same to callers).
struct InTransfer {
    bool ok = true;
    std::vector<std::uint8_t> bytes;
};

struct ScriptDevice {
    std::string path;  // empty: listed, but the platform cannot tell its path
    std::uint32_t devInst = 0;

    bool openFails = false;
    OpenRefusal openRefused = OpenRefusal::None;  // fails for this reason unless None
    bool initializeFails = false;
    bool deviceDescriptorFails = false;
    bool stringDescriptorFails = false;
    bool settingsFail = false;
    int pipeQueryFailsAt = -1;  // pipe index whose query fails, -1 for none
    bool timeoutFails = false;
    bool clearHaltFails = false;
    bool writeFails = false;
    std::optional<std::uint32_t> writeLimit;  // short writes: at most this many bytes go
    bool unplugged = false;                   // every transfer and query fails

    // bytes 8-9 idVendor, 10-11 idProduct, 16 iSerialNumber
    std::array<std::uint8_t, 18> deviceDescriptor{18,   1,    0x00, 0x02, 0, 0, 0, 64, 0x34,
                                                  0x12, 0x78, 0x56, 0,    1, 1, 2, 3,  1};
    std::u16string serial = u"0001A2F3";
    // Replaces the string descriptor built from `serial`.
    std::optional<std::vector<std::uint8_t>> rawStringDescriptor;
    // Replaces the byte count the string descriptor read reports.
    std::optional<std::uint32_t> reportedStringLength;

    std::vector<PipeInfo> pipes{{PipeType::Bulk, 0x81, 64, 0}, {PipeType::Bulk, 0x02, 64, 0}};
    std::optional<std::uint8_t> numEndpoints;  // replaces pipes.size() in the settings

    std::deque<InTransfer> inQueue;  // empty: the read times out

    // Queues one IN transfer holding exactly these bytes.
    void QueueIn(std::vector<std::uint8_t> bytes) { inQueue.push_back({true, std::move(bytes)}); }
    // Queues one well-formed frame.
    void QueueFrame(std::uint8_t command, const std::vector<std::uint8_t>& payload);
    void QueueTimeout() { inQueue.push_back({false, {}}); }

    // What the link layer did.
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::uint8_t> writePipes;
    std::vector<std::uint8_t> readPipes;
    std::vector<std::uint32_t> readLengths;
    std::vector<std::pair<std::uint8_t, std::uint32_t>> timeouts;  // pipe, milliseconds
    std::vector<std::uint8_t> clearedHalts;                        // pipes, in order
    struct DescriptorRequest {
        std::uint8_t type;
        std::uint8_t index;
        std::uint16_t language;
        std::uint32_t length;
    };
    std::vector<DescriptorRequest> descriptorRequests;
};

class ScriptPlatform final : public Platform {
  public:
    // Devices are listed in the order added, named "dev0", "dev1", ... References stay valid
    // as more are added.
    ScriptDevice& AddDevice();
    ScriptDevice& device(std::size_t index) { return devices_.at(index); }
    std::size_t deviceCount() const { return devices_.size(); }

    bool listFails = false;

    // Every open, init, free and close in order, e.g. "open dev0 -> 100", "free 1000".
    std::vector<std::string> log;
    int openFiles() const { return static_cast<int>(files_.size()); }
    int openUsb() const { return static_cast<int>(usb_.size()); }
    // Calls that named a handle not open at that moment.
    int staleHandleUses() const { return staleUses_; }
    // The slot of `usb` among added devices, or -1.
    int DeviceOfUsb(Handle usb) const;

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

    std::optional<Guid> listedClass;  // the class last asked for

  private:
    // The device behind an open USB handle, or null (counted as a stale use).
    ScriptDevice* Live(Handle usb);

    std::deque<ScriptDevice> devices_;
    std::map<Handle, std::size_t> files_;  // open file handle -> device
    std::map<Handle, std::size_t> usb_;    // open USB handle -> device
    Handle nextFile_ = 100;
    Handle nextUsb_ = 1000;
    int staleUses_ = 0;
    std::map<std::string, OpenRefusal> refusals_;  // per path, as the last OpenFile left it
};

}  // namespace wusb::testing
