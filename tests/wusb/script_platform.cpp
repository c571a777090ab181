#include "tests/wusb/script_platform.h"

#include <algorithm>
#include <cstring>

#include "wusb/frame.h"

namespace wusb::testing {

void ScriptDevice::QueueFrame(std::uint8_t command, const std::vector<std::uint8_t>& payload) {
    FrameBuffer frame;
    const std::uint32_t n =
        BuildFrame(command, payload.data(), static_cast<std::uint32_t>(payload.size()), frame);
    QueueIn({frame.begin(), frame.begin() + n});
}

ScriptDevice& ScriptPlatform::AddDevice() {
    ScriptDevice& added = devices_.emplace_back();
    added.path = "dev" + std::to_string(devices_.size() - 1);
    added.devInst = static_cast<std::uint32_t>(devices_.size());
    return added;
}

int ScriptPlatform::DeviceOfUsb(Handle usb) const {
    const auto found = usb_.find(usb);
    return found == usb_.end() ? -1 : static_cast<int>(found->second);
}

ScriptDevice* ScriptPlatform::Live(Handle usb) {
    const auto found = usb_.find(usb);
    if (found == usb_.end()) {
        ++staleUses_;
        return nullptr;
    }
    return &devices_[found->second];
}

bool ScriptPlatform::ListInterfaces(const Guid& interfaceClass, std::vector<InterfacePath>& out) {
    listedClass = interfaceClass;
    out.clear();
    if (listFails) {
        return false;
    }
    for (const ScriptDevice& d : devices_) {
        if (!d.unplugged) {
            out.push_back({d.path, d.devInst});
        }
    }
    return true;
}

OpenRefusal ScriptPlatform::LastOpenRefusal(const std::string& path) const {
    const auto found = refusals_.find(path);
    return found == refusals_.end() ? OpenRefusal::None : found->second;
}

Handle ScriptPlatform::OpenFile(const std::string& path) {
    refusals_.erase(path);
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        ScriptDevice& d = devices_[i];
        if (d.path != path || d.unplugged) {
            continue;
        }
        if (d.openRefused != OpenRefusal::None) {
            refusals_[path] = d.openRefused;
            return kNoHandle;
        }
        if (d.openFails) {
            return kNoHandle;
        }
        const Handle file = nextFile_++;
        files_[file] = i;
        log.push_back("open " + path + " -> " + std::to_string(file));
        return file;
    }
    return kNoHandle;
}

void ScriptPlatform::CloseFile(Handle file) {
    log.push_back("close " + std::to_string(file));
    if (files_.erase(file) == 0) {
        ++staleUses_;
    }
}

Handle ScriptPlatform::InitializeUsb(Handle file) {
    const auto found = files_.find(file);
    if (found == files_.end()) {
        ++staleUses_;
        return kNoHandle;
    }
    if (devices_[found->second].initializeFails) {
        return kNoHandle;
    }
    const Handle usb = nextUsb_++;
    usb_[usb] = found->second;
    log.push_back("init " + std::to_string(file) + " -> " + std::to_string(usb));
    return usb;
}

void ScriptPlatform::FreeUsb(Handle usb) {
    log.push_back("free " + std::to_string(usb));
    if (usb_.erase(usb) == 0) {
        ++staleUses_;
    }
}

bool ScriptPlatform::GetDescriptor(Handle usb, std::uint8_t type, std::uint8_t index,
                                   std::uint16_t language, std::uint8_t* buffer,
                                   std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    ScriptDevice* d = Live(usb);
    if (d == nullptr || d->unplugged) {
        return false;
    }
    d->descriptorRequests.push_back({type, index, language, length});
    std::vector<std::uint8_t> bytes;
    if (type == kDeviceDescriptor) {
        if (d->deviceDescriptorFails) {
            return false;
        }
        bytes.assign(d->deviceDescriptor.begin(), d->deviceDescriptor.end());
    } else if (type == kStringDescriptor) {
        if (d->stringDescriptorFails) {
            return false;
        }
        if (d->rawStringDescriptor) {
            bytes = *d->rawStringDescriptor;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(2 + 2 * d->serial.size()));
            bytes.push_back(kStringDescriptor);
            for (char16_t unit : d->serial) {
                bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
            }
        }
    } else {
        return false;
    }
    const auto copied = std::min(static_cast<std::uint32_t>(bytes.size()), length);
    if (copied > 0) {
        std::memcpy(buffer, bytes.data(), copied);
    }
    transferred = copied;
    if (type == kStringDescriptor && d->reportedStringLength) {
        transferred = *d->reportedStringLength;
    }
    return true;
}

bool ScriptPlatform::QueryInterfaceSettings(Handle usb, std::uint8_t /*alternateSetting*/,
                                            InterfaceDescriptor& out) {
    ScriptDevice* d = Live(usb);
    if (d == nullptr || d->unplugged || d->settingsFail) {
        return false;
    }
    out = InterfaceDescriptor{};
    out.bNumEndpoints = d->numEndpoints.value_or(static_cast<std::uint8_t>(d->pipes.size()));
    return true;
}

bool ScriptPlatform::QueryPipe(Handle usb, std::uint8_t /*alternateSetting*/,
                               std::uint8_t pipeIndex, PipeInfo& out) {
    ScriptDevice* d = Live(usb);
    if (d == nullptr || d->unplugged || pipeIndex == d->pipeQueryFailsAt ||
        pipeIndex >= d->pipes.size()) {
        return false;
    }
    out = d->pipes[pipeIndex];
    return true;
}

bool ScriptPlatform::SetPipeTimeout(Handle usb, std::uint8_t pipeId, std::uint32_t milliseconds) {
    ScriptDevice* d = Live(usb);
    if (d == nullptr || d->unplugged || d->timeoutFails) {
        return false;
    }
    d->timeouts.emplace_back(pipeId, milliseconds);
    return true;
}

bool ScriptPlatform::ClearHalt(Handle usb, std::uint8_t pipeId) {
    ScriptDevice* d = Live(usb);
    if (d == nullptr || d->unplugged || d->clearHaltFails) {
        return false;
    }
    d->clearedHalts.push_back(pipeId);
    return true;
}

bool ScriptPlatform::ReadPipe(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer,
                              std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    ScriptDevice* d = Live(usb);
    if (d == nullptr || d->unplugged) {
        return false;
    }
    d->readPipes.push_back(pipeId);
    d->readLengths.push_back(length);
    if (d->inQueue.empty()) {
        return false;
    }
    InTransfer next = std::move(d->inQueue.front());
    d->inQueue.pop_front();
    // A device sending more than the buffer holds is an overflow on the bus, not a short read.
    if (!next.ok || next.bytes.size() > length) {
        return false;
    }
    if (!next.bytes.empty()) {
        std::memcpy(buffer, next.bytes.data(), next.bytes.size());
    }
    transferred = static_cast<std::uint32_t>(next.bytes.size());
    return true;
}

bool ScriptPlatform::WritePipe(Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                               std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    ScriptDevice* d = Live(usb);
    if (d == nullptr || d->unplugged) {
        return false;
    }
    d->writes.emplace_back(buffer, buffer + length);
    d->writePipes.push_back(pipeId);
    if (d->writeFails) {
        return false;
    }
    transferred = std::min(length, d->writeLimit.value_or(length));
    return true;
}

}  // namespace wusb::testing
