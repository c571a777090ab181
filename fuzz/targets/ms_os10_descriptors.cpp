// The MS OS 1.0 descriptors any plugged-in device may send the udev probe and the programs: the
// string descriptor 0xEE and an extended properties descriptor. Input: the string's length
// byte, the string, then the properties. Each is handed over in a buffer of exactly its size,
// so a read past what the device sent is caught.
#include <algorithm>
#include <memory>
#include <string_view>

#include "fuzz/support/check.h"
#include "fuzz/support/input.h"
#include "wusb/le_bytes.h"
#include "wusb/ms_os_descriptors.h"

namespace {

const wusb::Guid kClass{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};

std::unique_ptr<std::uint8_t[]> Copy(const std::vector<std::uint8_t>& bytes) {
    auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return copy;
}

void CheckString(const std::vector<std::uint8_t>& bytes) {
    const auto copy = Copy(bytes);
    const auto vendorCode = wusb::MsOs10VendorCode({copy.get(), bytes.size()});
    if (!vendorCode)
        return;
    // Only a whole descriptor behind the signature, with a real code.
    FUZZ_CHECK(bytes.size() >= 18 && bytes[0] == bytes.size() && bytes[1] == 3);
    constexpr std::string_view kSignature = "MSFT100";
    for (std::size_t i = 0; i < kSignature.size(); ++i) {
        FUZZ_CHECK(wusb::ReadLe16(&bytes[2 + 2 * i]) == static_cast<std::uint8_t>(kSignature[i]));
    }
    FUZZ_CHECK(*vendorCode == bytes[16] && *vendorCode != 0);
}

void CheckProperties(const std::vector<std::uint8_t>& bytes) {
    const auto copy = Copy(bytes);
    if (!wusb::MsOs10PropertiesName({copy.get(), bytes.size()}, kClass))
        return;
    // Headers, at least "DeviceInterfaceGUID" and the braced GUID, both in UTF-16.
    FUZZ_CHECK(bytes.size() >= 10 + 14 + 2 * 19 + 2 * 38);
    FUZZ_CHECK(wusb::ReadLe32(&bytes[0]) == bytes.size());
    FUZZ_CHECK(wusb::ReadLe16(&bytes[6]) == 5);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    CheckString(input.Bytes(input.U8()));
    CheckProperties(input.Rest());
    return 0;
}
