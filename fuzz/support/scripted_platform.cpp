#include "fuzz/support/scripted_platform.h"

#include <algorithm>
#include <cstring>

#include "fuzz/support/check.h"

namespace fuzz {
namespace {

constexpr wusb::Handle kFile = 11;
constexpr wusb::Handle kUsb = 22;
constexpr std::uint8_t kSerialIndex = 3;

// idVendor 0x1234, idProduct 0x5678, iSerialNumber 3.
constexpr std::uint8_t kDeviceDescriptor[18] = {18,   1,    0x00, 0x02, 0,    0, 0, 64, 0x34,
                                                0x12, 0x78, 0x56, 0x00, 0x01, 1, 2, 3,  1};

bool CopyOut(const Bytes& from, std::uint8_t* buffer, std::uint32_t length,
             std::uint32_t& transferred) {
    transferred = static_cast<std::uint32_t>(std::min<std::size_t>(from.size(), length));
    if (transferred > 0) {
        std::memcpy(buffer, from.data(), transferred);
    }
    return true;
}

}  // namespace

bool ScriptedPlatform::ListInterfaces(const wusb::Guid&, std::vector<wusb::InterfacePath>& out) {
    out.push_back({"scripted-0", 1});
    return true;
}

wusb::Handle ScriptedPlatform::OpenFile(const std::string&) {
    return kFile;
}

void ScriptedPlatform::CloseFile(wusb::Handle file) {
    FUZZ_CHECK(file == kFile);
}

wusb::Handle ScriptedPlatform::InitializeUsb(wusb::Handle file) {
    FUZZ_CHECK(file == kFile);
    return kUsb;
}

void ScriptedPlatform::FreeUsb(wusb::Handle usb) {
    FUZZ_CHECK(usb == kUsb);
}

bool ScriptedPlatform::GetDescriptor(wusb::Handle usb, std::uint8_t type, std::uint8_t index,
                                     std::uint16_t, std::uint8_t* buffer, std::uint32_t length,
                                     std::uint32_t& transferred) {
    FUZZ_CHECK(usb == kUsb);
    transferred = 0;
    if (type == wusb::kDeviceDescriptor) {
        return CopyOut(Bytes(std::begin(kDeviceDescriptor), std::end(kDeviceDescriptor)), buffer,
                       length, transferred);
    }
    if (type == wusb::kStringDescriptor && index == kSerialIndex) {
        return CopyOut(serialDescriptor, buffer, length, transferred);
    }
    return false;
}

bool ScriptedPlatform::QueryInterfaceSettings(wusb::Handle usb, std::uint8_t,
                                              wusb::InterfaceDescriptor& out) {
    FUZZ_CHECK(usb == kUsb);
    out = {};
    out.bNumEndpoints = endpointCount.value_or(static_cast<std::uint8_t>(pipes.size()));
    return true;
}

bool ScriptedPlatform::QueryPipe(wusb::Handle usb, std::uint8_t, std::uint8_t pipeIndex,
                                 wusb::PipeInfo& out) {
    FUZZ_CHECK(usb == kUsb);
    if (pipeIndex >= pipes.size()) {
        return false;
    }
    out = pipes[pipeIndex];
    return true;
}

bool ScriptedPlatform::SetPipeTimeout(wusb::Handle usb, std::uint8_t pipeId,
                                      std::uint32_t milliseconds) {
    FUZZ_CHECK(usb == kUsb);
    const int call = timeoutCalls++;
    if (std::find(failingTimeoutCalls.begin(), failingTimeoutCalls.end(), call) !=
        failingTimeoutCalls.end()) {
        return false;
    }
    if ((pipeId & 0x80) != 0) {
        inTimeoutMs_ = milliseconds;
        inTimeouts.push_back(milliseconds);
    }
    return true;
}

bool ScriptedPlatform::ReadPipe(wusb::Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                                std::uint32_t length, std::uint32_t& transferred) {
    FUZZ_CHECK(usb == kUsb);
    FUZZ_CHECK(pipeId == kInPipe);
    Delivered read;
    if (!script.empty()) {
        read = std::move(script.front());
        script.pop_front();
    }
    // A device cannot complete more than the host asked for.
    if (read.bytes.size() > length) {
        read.bytes.resize(length);
    }
    read.inTimeoutMs = inTimeoutMs_;
    if (read.ok) {
        CopyOut(read.bytes, buffer, length, transferred);
    } else {
        transferred = 0;
        read.bytes.clear();
    }
    delivered.push_back(read);
    return read.ok;
}

bool ScriptedPlatform::WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                                 std::uint32_t length, std::uint32_t& transferred) {
    FUZZ_CHECK(usb == kUsb);
    FUZZ_CHECK(pipeId == kOutPipe);
    written.emplace_back(buffer, buffer + length);
    transferred = length;
    return true;
}

void LinkScripted(ScriptedPlatform& platform, wusb::WUsbDevTab& table, wusb::WUsbDev& dev) {
    FUZZ_CHECK(table.Enumerate() == 1);
    dev.Link(table, 0);
    FUZZ_CHECK(dev.IsLinked());
    FUZZ_CHECK(dev.inPipe == kInPipe && dev.outPipe == kOutPipe);
    platform.delivered.clear();
    platform.written.clear();
    platform.inTimeouts.clear();
    platform.timeoutCalls = 0;
}

}  // namespace fuzz
