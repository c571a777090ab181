#include "usb_descriptors.h"

#include "wusb/le_bytes.h"
#include "wusb/platform.h"

namespace usbtest {

namespace {

constexpr std::uint8_t kGetDescriptor = 6;
constexpr std::uint8_t kConfigType = 2;
constexpr std::uint8_t kBosType = 15;

void Put16(Bytes& b, std::uint32_t v) {
    wusb::AppendLe16(b, static_cast<std::uint16_t>(v));
}

void Put32(Bytes& b, std::uint32_t v) {
    wusb::AppendLe32(b, v);
}

Bytes Utf16(const std::string& ascii, bool terminated) {
    Bytes out;
    for (char c : ascii) {
        Put16(out, static_cast<std::uint8_t>(c));
    }
    if (terminated)
        Put16(out, 0);
    return out;
}

Bytes DeviceDescriptor(const DeviceSpec& spec) {
    // MS OS 2.0 descriptors live in the BOS, which needs bcdUSB 2.01.
    const std::uint16_t bcdUsb = spec.announce == Announce::MsOs20 ? 0x0201 : 0x0200;
    Bytes d{18, wusb::kDeviceDescriptor};
    Put16(d, bcdUsb);
    d.insert(d.end(), {0, 0, 0, 64});
    Put16(d, spec.vendorId);
    Put16(d, spec.productId);
    Put16(d, 0x0100);
    d.insert(d.end(), {1, 2, kSerialIndex, 1});
    return d;
}

Bytes ConfigDescriptor(const DeviceSpec& spec) {
    const auto interfaces =
        static_cast<std::uint8_t>((spec.composite ? 2 : 1) + spec.extraVendorInterfaces);
    Bytes d{9, kConfigType, 0, 0, interfaces, 1, 0, 0x80, 50};
    if (spec.composite) {
        constexpr std::uint8_t kHidClass = 0x03;
        d.insert(d.end(), {9, 4, 0, 0, 1, kHidClass, 0, 0, 0});
        d.insert(d.end(), {9, 0x21, 0x11, 0x01, 0, 1, 0x22, 20, 0});
        d.insert(d.end(), {7, 5, kHidEndpoint, 3, 8, 0, 10});
    }
    d.insert(d.end(), {9, 4, WiegandInterface(spec), 0, 2, spec.interfaceClass, 0, 0, 0});
    d.insert(d.end(), {7, 5, kInEndpoint, 2, 64, 0, 0});
    d.insert(d.end(), {7, 5, kOutEndpoint, 2, 64, 0, 0});
    for (std::uint8_t i = 1; i <= spec.extraVendorInterfaces; ++i) {
        d.insert(d.end(), {9, 4, static_cast<std::uint8_t>(WiegandInterface(spec) + i), 0, 0, 0xFF,
                           0, 0, 0});
    }
    d[2] = static_cast<std::uint8_t>(d.size());
    return d;
}

Bytes StringDescriptor(const Bytes& utf16) {
    Bytes d{static_cast<std::uint8_t>(utf16.size() + 2), wusb::kStringDescriptor};
    d.insert(d.end(), utf16.begin(), utf16.end());
    return d;
}

// The registry property, in a function subset for the interface on a composite device (which
// firmware puts inside the subset of configuration index 0).
Bytes MsOs20Body(const DeviceSpec& spec, const Bytes& compatibleId, const Bytes& property) {
    Bytes body = compatibleId;
    body.insert(body.end(), property.begin(), property.end());
    if (!spec.composite)
        return body;
    Bytes function;
    Put16(function, 8);
    Put16(function, 2);  // function subset
    function.push_back(WiegandInterface(spec));
    function.push_back(0);
    Put16(function, static_cast<std::uint32_t>(8 + body.size()));
    function.insert(function.end(), body.begin(), body.end());
    Bytes configuration;
    Put16(configuration, 8);
    Put16(configuration, 1);  // configuration subset
    configuration.push_back(0);
    configuration.push_back(0);
    Put16(configuration, static_cast<std::uint32_t>(8 + function.size()));
    configuration.insert(configuration.end(), function.begin(), function.end());
    return configuration;
}

Bytes MsOs20Set(const DeviceSpec& spec) {
    const Bytes name = Utf16("DeviceInterfaceGUIDs", true);
    Bytes data = Utf16(spec.interfaceGuid, true);
    Put16(data, 0);  // REG_MULTI_SZ ends with an empty string
    Bytes property;
    Put16(property, static_cast<std::uint32_t>(10 + name.size() + data.size()));
    Put16(property, 4);  // registry property
    Put16(property, 7);  // REG_MULTI_SZ
    Put16(property, static_cast<std::uint32_t>(name.size()));
    property.insert(property.end(), name.begin(), name.end());
    Put16(property, static_cast<std::uint32_t>(data.size()));
    property.insert(property.end(), data.begin(), data.end());

    Bytes compatibleId;
    Put16(compatibleId, 20);
    Put16(compatibleId, 3);
    for (char c : std::string("WINUSB\0\0", 8)) {
        compatibleId.push_back(static_cast<std::uint8_t>(c));
    }
    compatibleId.resize(20, 0);

    const Bytes body = MsOs20Body(spec, compatibleId, property);
    Bytes set;
    Put16(set, 10);
    Put16(set, 0);  // set header
    Put32(set, 0x06030000);
    Put16(set, static_cast<std::uint32_t>(10 + body.size()));
    set.insert(set.end(), body.begin(), body.end());
    return set;
}

Bytes Bos(const DeviceSpec& spec) {
    Bytes capability{28,   0x10, 5,    0,    0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45,
                     0xC7, 0x4C, 0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F};
    Put32(capability, 0x06030000);
    Put16(capability, static_cast<std::uint32_t>(MsOs20Set(spec).size()));
    capability.push_back(kVendorCode);
    capability.push_back(0);
    Bytes bos{5, kBosType};
    Put16(bos, static_cast<std::uint32_t>(5 + capability.size()));
    bos.push_back(1);
    bos.insert(bos.end(), capability.begin(), capability.end());
    return bos;
}

Bytes MsOs10Properties(const DeviceSpec& spec) {
    const Bytes name = Utf16("DeviceInterfaceGUID", true);
    const Bytes data = Utf16(spec.interfaceGuid, true);
    Bytes section;
    Put32(section, static_cast<std::uint32_t>(14 + name.size() + data.size()));
    Put32(section, 1);  // REG_SZ
    Put16(section, static_cast<std::uint32_t>(name.size()));
    section.insert(section.end(), name.begin(), name.end());
    Put32(section, static_cast<std::uint32_t>(data.size()));
    section.insert(section.end(), data.begin(), data.end());
    Bytes p;
    Put32(p, static_cast<std::uint32_t>(10 + section.size()));
    Put16(p, 0x0100);
    Put16(p, 5);
    Put16(p, 1);
    p.insert(p.end(), section.begin(), section.end());
    return p;
}

std::optional<Bytes> StandardDescriptor(const DeviceSpec& spec, std::uint8_t type,
                                        std::uint8_t index) {
    switch (type) {
        case wusb::kDeviceDescriptor:
            return DeviceDescriptor(spec);
        case kConfigType:
            return ConfigDescriptor(spec);
        case kBosType:
            if (spec.announce != Announce::MsOs20)
                return std::nullopt;
            return Bos(spec);
        case wusb::kStringDescriptor:
            switch (index) {
                case 0:
                    return Bytes{4, wusb::kStringDescriptor, 0x09, 0x04};
                case 1:
                    return StringDescriptor(Utf16("Trelvo test bench", false));
                case 2:
                    return StringDescriptor(Utf16("USB-Wiegand", false));
                case kSerialIndex:
                    return StringDescriptor(Utf16(spec.serial, false));
                case 0xEE: {
                    if (spec.announce != Announce::MsOs10)
                        return std::nullopt;
                    Bytes s = StringDescriptor(Utf16("MSFT100", false));
                    s.push_back(kVendorCode);
                    s.push_back(0);
                    s[0] = static_cast<std::uint8_t>(s.size());
                    return s;
                }
                default:
                    return std::nullopt;
            }
        default:
            return std::nullopt;
    }
}

}  // namespace

std::uint8_t WiegandInterface(const DeviceSpec& spec) {
    return spec.composite ? 1 : 0;
}

Bytes SysfsDescriptors(const DeviceSpec& spec) {
    Bytes all = DeviceDescriptor(spec);
    const Bytes config = ConfigDescriptor(spec);
    all.insert(all.end(), config.begin(), config.end());
    return all;
}

std::optional<Bytes> ControlAnswer(const DeviceSpec& spec, std::uint8_t requestType,
                                   std::uint8_t request, std::uint16_t value, std::uint16_t index) {
    if (requestType == 0x80 && request == kGetDescriptor)
        return StandardDescriptor(spec, static_cast<std::uint8_t>(value >> 8),
                                  static_cast<std::uint8_t>(value));
    const bool vendorIn = requestType == 0xC0 || requestType == 0xC1;
    if (!vendorIn || request != kVendorCode)
        return std::nullopt;
    if (spec.announce == Announce::MsOs20 && requestType == 0xC0 && index == 7)
        return MsOs20Set(spec);
    // Interface in the low byte, page 0 in the high one, as device firmware checks it.
    if (spec.announce == Announce::MsOs10 && index == 5 && value == WiegandInterface(spec))
        return MsOs10Properties(spec);
    return std::nullopt;
}

}  // namespace usbtest
