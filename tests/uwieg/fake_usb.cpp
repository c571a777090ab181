#include "fake_usb.h"

#include <algorithm>

#include "wusb/crc.h"
#include "wusb/le_bytes.h"

namespace uwieg_test {

Bytes Frame(std::uint8_t command, const Bytes& payload) {
    Bytes frame;
    wusb::AppendLe16(frame, static_cast<std::uint16_t>(payload.size() + 5));
    frame.push_back(command);
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::uint32_t crc = wusb::Crc16(frame.data(), frame.size(), 0xFFFF);
    wusb::AppendLe16(frame, static_cast<std::uint16_t>(crc));
    return frame;
}

bool FakeUsb::ListInterfaces(const wusb::Guid&, std::vector<wusb::InterfacePath>& out) {
    if (present) {
        out.push_back({"/fake/usb-wiegand", 1});
    }
    return true;
}

wusb::Handle FakeUsb::OpenFile(const std::string&) {
    return refuseOpen != wusb::OpenRefusal::None ? wusb::kNoHandle : 10;
}

bool FakeUsb::GetDescriptor(wusb::Handle, std::uint8_t type, std::uint8_t, std::uint16_t,
                            std::uint8_t* buffer, std::uint32_t length,
                            std::uint32_t& transferred) {
    Bytes descriptor;
    if (type == wusb::kDeviceDescriptor) {
        descriptor = {18, 1, 0, 2, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0, 1, 1, 2, 3, 1};
    } else {
        descriptor = {6, 3, '1', 0, 'A', 0};
    }
    transferred = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(descriptor.size()));
    std::copy_n(descriptor.begin(), transferred, buffer);
    return true;
}

bool FakeUsb::QueryInterfaceSettings(wusb::Handle, std::uint8_t, wusb::InterfaceDescriptor& out) {
    out.bNumEndpoints = 2;
    return true;
}

bool FakeUsb::QueryPipe(wusb::Handle, std::uint8_t, std::uint8_t pipeIndex, wusb::PipeInfo& out) {
    out.type = wusb::PipeType::Bulk;
    out.pipeId = pipeIndex == 0 ? kInPipe : kOutPipe;
    out.maximumPacketSize = 64;
    return true;
}

bool FakeUsb::SetPipeTimeout(wusb::Handle, std::uint8_t pipeId, std::uint32_t milliseconds) {
    if (failSetTimeout || pipeId != kInPipe) {
        return false;
    }
    timeouts.push_back(milliseconds);
    return true;
}

bool FakeUsb::ReadPipe(wusb::Handle, std::uint8_t pipeId, std::uint8_t* buffer,
                       std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    if (pipeId != kInPipe) {
        return false;
    }
    if (in.empty() && onEmptyRead) {
        onEmptyRead();
    }
    if (in.empty()) {
        return false;
    }
    Bytes transfer = std::move(in.front());
    in.pop_front();
    transferred = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(transfer.size()));
    std::copy_n(transfer.begin(), transferred, buffer);
    return true;
}

bool FakeUsb::WritePipe(wusb::Handle, std::uint8_t pipeId, const std::uint8_t* buffer,
                        std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    if (pipeId != kOutPipe) {
        return false;
    }
    written.emplace_back(buffer, buffer + length);
    transferred = length;
    if (onWrite) {
        onWrite(written.back());
    }
    return true;
}

void FakeUsb::AcknowledgeAll(std::optional<Bytes> tunnelAnswer) {
    onWrite = [this, tunnelAnswer](const Bytes& out) {
        const std::uint8_t command = out.at(2);
        if (command != 'T') {
            in.push_back(Frame(static_cast<std::uint8_t>(command | 0x80), {0}));
        } else if (tunnelAnswer) {
            in.push_back(Frame(0xD4, *tunnelAnswer));
        }
    };
}

}  // namespace uwieg_test
