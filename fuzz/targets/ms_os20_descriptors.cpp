// The MS OS 2.0 descriptors any plugged-in device may send the udev probe and the programs: the
// BOS with its platform capability, and the descriptor set. Input: a scope byte (bits 0-1 the
// active configuration's index), a u16 BOS length, the BOS, then the set. Each is handed over
// in a buffer of exactly its size, so a read past what the device sent is caught.
#include <algorithm>
#include <memory>
#include <optional>

#include "fuzz/support/check.h"
#include "fuzz/support/input.h"
#include "wusb/le_bytes.h"
#include "wusb/ms_os_descriptors.h"

namespace {

const wusb::Guid kClass{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};

// The bytes in an allocation of exactly their size.
struct Exact {
    explicit Exact(const std::vector<std::uint8_t>& bytes)
        : data(std::make_unique<std::uint8_t[]>(bytes.size())), size(bytes.size()) {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    wusb::ByteView view() const { return {data.get(), size}; }
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size;
};

void CheckCapability(const Exact& bos) {
    const auto location = wusb::FindMsOs20Capability(bos.view());
    if (!location)
        return;
    // Only a whole BOS is understood, and only a set that can be fetched, by a real code.
    FUZZ_CHECK(bos.size >= 5 && wusb::ReadLe16(&bos.data[2]) == bos.size);
    FUZZ_CHECK(location->vendorCode != 0);
    FUZZ_CHECK(location->totalLength >= 10 && location->totalLength <= wusb::kMaxMsOs20SetLength);
}

// Two device-level interfaces tell a property outside any function subset from one inside: the
// first property that names the class is the same whichever the device-level interface is.
void CheckSet(const Exact& set, std::uint8_t configurationIndex) {
    const auto as7 = wusb::MsOs20InterfaceFor(set.view(), kClass, {configurationIndex, 7});
    const auto as9 = wusb::MsOs20InterfaceFor(set.view(), kClass, {configurationIndex, 9});
    const auto composite =
        wusb::MsOs20InterfaceFor(set.view(), kClass, {configurationIndex, std::nullopt});
    const bool deviceLevel = as7 == 7 && as9 == 9;
    FUZZ_CHECK(deviceLevel || as7 == as9);
    if (!deviceLevel)
        FUZZ_CHECK(composite == as7);
    if (as7 || composite)
        FUZZ_CHECK(set.size >= 10 && wusb::ReadLe16(&set.data[8]) == set.size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t configurationIndex = input.U8() & 3;
    const Exact bos(input.Bytes(input.U16()));
    const Exact set(input.Rest());
    CheckCapability(bos);
    CheckSet(set, configurationIndex);
    return 0;
}
