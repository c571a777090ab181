// Writing a configuration record and proving it arrived: write, read back, compare all 8 bytes.
#pragma once

#include <string>

#include "uwieg/config.h"
#include "uwieg/device.h"

namespace uwieg {

struct WriteCheck {
    ReaderConfig written{};
    ReaderConfig readBack{};

    bool Matches() const { return written == readBack; }
};

// On a connected reader: 'C' with the record exactly as the window writes it, then 'c'.
// Failures of either command leave to the caller.
WriteCheck WriteVerified(UWiegDev& dev, const ReaderConfig& record);

// "02 C0 05 03 45 00 01 00".
std::string RecordText(const ReaderConfig& record);

// The error text of a check that did not match, with both records.
std::string MismatchText(const WriteCheck& check);

}  // namespace uwieg
