// A platform that passes every call on to another one. Decorators (the wire capture, and the
// test and bench rigs) derive from it and override only the calls they record, count or break.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wusb/platform.h"

namespace wusb {

class ForwardingPlatform : public Platform {
  public:
    explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

    bool ListInterfaces(const Guid& interfaceClass, std::vector<InterfacePath>& out) override {
        return inner_.ListInterfaces(interfaceClass, out);
    }
    Handle OpenFile(const std::string& path) override { return inner_.OpenFile(path); }
    void CloseFile(Handle file) override { inner_.CloseFile(file); }
    Handle InitializeUsb(Handle file) override { return inner_.InitializeUsb(file); }
    void FreeUsb(Handle usb) override { inner_.FreeUsb(usb); }
    bool GetDescriptor(Handle usb, std::uint8_t type, std::uint8_t index, std::uint16_t language,
                       std::uint8_t* buffer, std::uint32_t length,
                       std::uint32_t& transferred) override {
        return inner_.GetDescriptor(usb, type, index, language, buffer, length, transferred);
    }
    bool QueryInterfaceSettings(Handle usb, std::uint8_t alternateSetting,
                                InterfaceDescriptor& out) override {
        return inner_.QueryInterfaceSettings(usb, alternateSetting, out);
    }
    bool QueryPipe(Handle usb, std::uint8_t alternateSetting, std::uint8_t pipeIndex,
                   PipeInfo& out) override {
        return inner_.QueryPipe(usb, alternateSetting, pipeIndex, out);
    }
    bool SetPipeTimeout(Handle usb, std::uint8_t pipeId, std::uint32_t milliseconds) override {
        return inner_.SetPipeTimeout(usb, pipeId, milliseconds);
    }
    bool ReadPipe(Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred) override {
        return inner_.ReadPipe(usb, pipeId, buffer, length, transferred);
    }
    bool WritePipe(Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override {
        return inner_.WritePipe(usb, pipeId, buffer, length, transferred);
    }
    bool ClearHalt(Handle usb, std::uint8_t pipeId) override {
        return inner_.ClearHalt(usb, pipeId);
    }
    OpenRefusal LastOpenRefusal(const std::string& path) const override {
        return inner_.LastOpenRefusal(path);
    }

  protected:
    Platform& inner() const { return inner_; }

  private:
    Platform& inner_;
};

}  // namespace wusb
