// The simulated USB-Wiegand interface and reader as the firmware of an emulated device.
#pragma once

#include "emulated_usb.h"
#include "sim/device.h"

namespace usbtest {

class SimFirmware final : public Firmware {
  public:
    void Out(const Bytes& transfer) override { sim.HandleOut(transfer.data(), transfer.size()); }
    std::optional<Bytes> In() override { return sim.TakeIn(); }
    void Replugged() override { sim.Reset(); }
    bool TakeUnplugRequest() override { return sim.TakeUnplugRequest(); }

    sim::SimInterface sim;
};

}  // namespace usbtest
