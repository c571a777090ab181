// A UWiegDev linked to the one device of a FakeUsb, on a fake clock.
#pragma once

#include <gtest/gtest.h>

#include "fake_usb.h"
#include "uwieg/device.h"
#include "uwieg/session.h"
#include "wusb/clock.h"
#include "wusb/device.h"

namespace uwieg_test {

class LinkedDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(table.Enumerate(), 1);
        dev.Link(table, 0);
        usb.timeouts.clear();
    }

    FakeUsb usb;
    wusb::FakeClock clock{wusb::TimeStamp{5000, 500}};
    wusb::WUsbDevTab table{usb, uwieg::kInterfaceGuid};
    uwieg::UWiegDev dev{clock};
};

}  // namespace uwieg_test
