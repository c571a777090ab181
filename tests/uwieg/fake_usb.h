// A one-device USB platform for protocol tests: records every OUT transfer and the IN pipe's
// time-outs, and answers reads from a queue that a responder fills as frames are written.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "wusb/platform.h"

namespace uwieg_test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kInPipe = 0x81;
inline constexpr std::uint8_t kOutPipe = 0x02;

// A complete frame with its length and CRC-16, built independently of the link layer.
Bytes Frame(std::uint8_t command, const Bytes& payload);

class FakeUsb final : public wusb::Platform {
  public:
    bool present = true;
    // The interface is listed but cannot be opened, for this reason, unless None.
    wusb::OpenRefusal refuseOpen = wusb::OpenRefusal::None;
    bool failSetTimeout = false;          // SetPipeTimeout fails from now on
    std::vector<Bytes> written;           // every OUT transfer
    std::deque<Bytes> in;                 // IN transfers waiting; empty means the read times out
    std::vector<std::uint32_t> timeouts;  // every IN time-out set, in order
    // Called after each OUT transfer; typically queues the answer in `in`.
    std::function<void(const Bytes&)> onWrite;
    // Called when a read finds `in` empty, before the read times out.
    std::function<void()> onEmptyRead;

    bool ListInterfaces(const wusb::Guid&, std::vector<wusb::InterfacePath>& out) override;
    wusb::Handle OpenFile(const std::string& path) override;
    void CloseFile(wusb::Handle) override {}
    wusb::Handle InitializeUsb(wusb::Handle file) override { return file + 1; }
    void FreeUsb(wusb::Handle) override {}
    bool GetDescriptor(wusb::Handle, std::uint8_t type, std::uint8_t index, std::uint16_t language,
                       std::uint8_t* buffer, std::uint32_t length,
                       std::uint32_t& transferred) override;
    bool QueryInterfaceSettings(wusb::Handle, std::uint8_t,
                                wusb::InterfaceDescriptor& out) override;
    bool QueryPipe(wusb::Handle, std::uint8_t, std::uint8_t pipeIndex,
                   wusb::PipeInfo& out) override;
    bool SetPipeTimeout(wusb::Handle, std::uint8_t pipeId, std::uint32_t milliseconds) override;
    bool ReadPipe(wusb::Handle, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred) override;
    bool WritePipe(wusb::Handle, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override;
    wusb::OpenRefusal LastOpenRefusal(const std::string&) const override { return refuseOpen; }

    // Answers every interface command with status 0 and every tunnelled reader command with
    // `tunnelAnswer` (leading byte included); nothing when it is unset.
    void AcknowledgeAll(std::optional<Bytes> tunnelAnswer = std::nullopt);
};

}  // namespace uwieg_test
