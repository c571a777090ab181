// Reading the interface class out of Microsoft OS descriptors. The bytes come from an untrusted
// device, so besides the good cases every length field is also made to lie.
#include "wusb/ms_os_descriptors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "wusb/le_bytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using wusb::FindMsOs20Capability;
using wusb::MsOs10PropertiesName;
using wusb::MsOs10VendorCode;
using wusb::MsOs20InterfaceFor;

const wusb::Guid kClass{
    0x42CE4F4D, 0xADC2, 0x4F1C, {0x91, 0x10, 0x64, 0x97, 0x10, 0xD6, 0x59, 0x96}};
const std::string kClassText = "{42CE4F4D-ADC2-4F1C-9110-649710D65996}";
const Bytes kMsOs20Uuid{0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C,
                        0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F};

void Put16(Bytes& b, std::size_t v) {
    wusb::AppendLe16(b, static_cast<std::uint16_t>(v));
}
void Put32(Bytes& b, std::size_t v) {
    wusb::AppendLe32(b, static_cast<std::uint32_t>(v));
}
void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}
Bytes Joined(Bytes first, const Bytes& second) {
    Append(first, second);
    return first;
}

Bytes Utf16(const std::string& text) {
    Bytes out;
    for (char c : text) {
        Put16(out, static_cast<std::uint8_t>(c));
    }
    return out;
}
Bytes Utf16z(const std::string& text) {
    Bytes out = Utf16(text);
    Put16(out, 0);
    return out;
}

Bytes Bos(const std::vector<Bytes>& capabilities) {
    Bytes bos{5, 0x0F, 0, 0, static_cast<std::uint8_t>(capabilities.size())};
    for (const Bytes& c : capabilities) {
        Append(bos, c);
    }
    bos[2] = static_cast<std::uint8_t>(bos.size());
    bos[3] = static_cast<std::uint8_t>(bos.size() >> 8);
    return bos;
}

Bytes Platform(const Bytes& uuid, std::uint16_t setLength, std::uint8_t vendorCode) {
    Bytes c{28, 0x10, 5, 0};
    Append(c, uuid);
    Put32(c, 0x06030000);
    Put16(c, setLength);
    c.push_back(vendorCode);
    c.push_back(0);
    return c;
}

Bytes Property(std::uint16_t type, const std::string& name, const Bytes& data) {
    const Bytes n = Utf16z(name);
    Bytes p;
    Put16(p, 10 + n.size() + data.size());
    Put16(p, 4);
    Put16(p, type);
    Put16(p, n.size());
    Append(p, n);
    Put16(p, data.size());
    Append(p, data);
    return p;
}

Bytes MultiSz(const std::vector<std::string>& strings) {
    Bytes out;
    for (const auto& s : strings) {
        Append(out, Utf16z(s));
    }
    Put16(out, 0);
    return out;
}

Bytes FunctionSubset(std::uint8_t firstInterface, const Bytes& body) {
    Bytes f;
    Put16(f, 8);
    Put16(f, 2);
    f.push_back(firstInterface);
    f.push_back(0);
    Put16(f, 8 + body.size());
    Append(f, body);
    return f;
}

Bytes ConfigurationSubset(std::uint8_t index, const Bytes& body) {
    Bytes c;
    Put16(c, 8);
    Put16(c, 1);
    c.push_back(index);
    c.push_back(0);
    Put16(c, 8 + body.size());
    Append(c, body);
    return c;
}

// A platform capability with one descriptor-set record per (Windows version, vendor code).
Bytes PlatformFor(const std::vector<std::pair<std::uint32_t, std::uint8_t>>& records) {
    Bytes c{0, 0x10, 5, 0};
    Append(c, kMsOs20Uuid);
    for (const auto& [version, vendorCode] : records) {
        Put32(c, version);
        Put16(c, 0x40);
        c.push_back(vendorCode);
        c.push_back(0);
    }
    c[0] = static_cast<std::uint8_t>(c.size());
    return c;
}

Bytes Set(const Bytes& body) {
    Bytes s;
    Put16(s, 10);
    Put16(s, 0);
    Put32(s, 0x06030000);
    Put16(s, 10 + body.size());
    Append(s, body);
    return s;
}

const Bytes kGoodProperty = Property(7, "DeviceInterfaceGUIDs", MultiSz({kClassText}));

TEST(MsOs20Capability, FoundAmongOtherCapabilitiesAndBoundedByTheBytesPresent) {
    const Bytes usb2Extension{7, 0x10, 2, 0, 0, 0, 0};
    Bytes otherUuid = kMsOs20Uuid;
    otherUuid[15] ^= 1;
    const Bytes bos =
        Bos({usb2Extension, Platform(otherUuid, 100, 1), Platform(kMsOs20Uuid, 0xB2, 0x21)});
    const auto found = FindMsOs20Capability(bos);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->vendorCode, 0x21);
    EXPECT_EQ(found->totalLength, 0xB2);

    Bytes cut(bos.begin(), bos.end() - 1);  // wTotalLength now promises a byte more than is there
    EXPECT_FALSE(FindMsOs20Capability(cut));
    Bytes zeroLength = Bos({Bytes{0, 0x10, 5}, Platform(kMsOs20Uuid, 0xB2, 0x21)});
    EXPECT_FALSE(FindMsOs20Capability(zeroLength)) << "a zero length must end the walk";
    Bytes overlong = Bos({Platform(kMsOs20Uuid, 0xB2, 0x21)});
    overlong[5] = 200;
    EXPECT_FALSE(FindMsOs20Capability(overlong));
    Bytes noSetInfo = Bos({Platform(kMsOs20Uuid, 0xB2, 0x21)});
    noSetInfo[5] = 20;
    noSetInfo.resize(25);
    noSetInfo[2] = 25;
    EXPECT_FALSE(FindMsOs20Capability(noSetInfo));
    EXPECT_FALSE(FindMsOs20Capability(Bos({Platform(kMsOs20Uuid, 4, 0x21)})))
        << "a set too small to hold its own header";
    EXPECT_FALSE(FindMsOs20Capability(Joined(bos, {0}))) << "wTotalLength says a byte less";
    EXPECT_FALSE(FindMsOs20Capability(Bos({Platform(kMsOs20Uuid, 0xB2, 0)}))) << "vendor code 0";
    EXPECT_FALSE(FindMsOs20Capability(Bos({Platform(kMsOs20Uuid, 0xFFFF, 0x21)}))) << "64 KiB";
    EXPECT_FALSE(FindMsOs20Capability(Bos({Platform(kMsOs20Uuid, 4097, 0x21)})));
    EXPECT_EQ(FindMsOs20Capability(Bos({Platform(kMsOs20Uuid, 4096, 0x21)}))
                  .value_or(wusb::MsOs20SetLocation{})
                  .totalLength,
              4096);
    EXPECT_FALSE(FindMsOs20Capability(Bytes{5, 0x0F}));
}

TEST(MsOs20Set, NamesTheInterfaceTheGuidIsGivenFor) {
    EXPECT_EQ(MsOs20InterfaceFor(Set(kGoodProperty), kClass), 0);
    EXPECT_EQ(MsOs20InterfaceFor(Set(FunctionSubset(2, kGoodProperty)), kClass), 2);
    // Past the end of a function subset, properties belong to the whole device again.
    EXPECT_EQ(MsOs20InterfaceFor(Set(Joined(FunctionSubset(2, {}), kGoodProperty)), kClass), 0);

    const Bytes lower =
        Property(7, "DeviceInterfaceGUIDs", MultiSz({"{42ce4f4d-adc2-4f1c-9110-649710d65996}"}));
    EXPECT_EQ(MsOs20InterfaceFor(Set(lower), kClass), 0);
    const Bytes second = Property(7, "DeviceInterfaceGUIDs",
                                  MultiSz({"{00000000-0000-0000-0000-000000000000}", kClassText}));
    EXPECT_EQ(MsOs20InterfaceFor(Set(second), kClass), 0);
    const Bytes single = Property(1, "DeviceInterfaceGUID", Utf16z(kClassText));
    EXPECT_EQ(MsOs20InterfaceFor(Set(single), kClass), 0);
    const Bytes unterminated = Property(7, "DeviceInterfaceGUIDs", Utf16(kClassText));
    EXPECT_EQ(MsOs20InterfaceFor(Set(unterminated), kClass), 0);
}

TEST(MsOs20Capability, TakesTheRecordForTheNewestWindowsVersion) {
    const auto newestLast = FindMsOs20Capability(
        Bos({PlatformFor({{0x06030000, 0x21}, {0x0A000000, 0x22}, {0x06020000, 0x23}})}));
    ASSERT_TRUE(newestLast);
    EXPECT_EQ(newestLast->vendorCode, 0x22);
    const auto newestFirst =
        FindMsOs20Capability(Bos({PlatformFor({{0x0A000000, 0x31}, {0x06030000, 0x32}})}));
    ASSERT_TRUE(newestFirst);
    EXPECT_EQ(newestFirst->vendorCode, 0x31);
    const auto newestUnusable =
        FindMsOs20Capability(Bos({PlatformFor({{0x06030000, 0x41}, {0x0A000000, 0}})}));
    ASSERT_TRUE(newestUnusable);
    EXPECT_EQ(newestUnusable->vendorCode, 0x41);
}

TEST(MsOs20Set, OnlyTheActiveConfigurationsSubsetCountsAndFunctionsNameTheirFirstInterface) {
    const wusb::MsOs20Scope second{1, 0};
    const Bytes twoConfigurations =
        Set(Joined(ConfigurationSubset(0, FunctionSubset(2, kGoodProperty)),
                   ConfigurationSubset(1, FunctionSubset(3, kGoodProperty))));
    EXPECT_EQ(MsOs20InterfaceFor(twoConfigurations, kClass), 2);
    EXPECT_EQ(MsOs20InterfaceFor(twoConfigurations, kClass, second), 3);
    // The index is what counts: a subset written with the configuration value 1 is not the
    // first configuration's.
    const Bytes onlyValueOne = Set(ConfigurationSubset(1, FunctionSubset(1, kGoodProperty)));
    EXPECT_FALSE(MsOs20InterfaceFor(onlyValueOne, kClass));
    // After its subset has ended, a property is the device's again.
    const Bytes afterSubset = Set(Joined(ConfigurationSubset(1, {}), kGoodProperty));
    EXPECT_EQ(MsOs20InterfaceFor(afterSubset, kClass), 0);
}

TEST(MsOs20Set, ACompositeDeviceNeverTakesADeviceLevelPropertyForAnInterface) {
    const wusb::MsOs20Scope composite{0, std::nullopt};
    EXPECT_FALSE(MsOs20InterfaceFor(Set(kGoodProperty), kClass, composite));
    EXPECT_FALSE(MsOs20InterfaceFor(Set(ConfigurationSubset(0, kGoodProperty)), kClass, composite))
        << "a configuration's own property is no function's either";
    EXPECT_EQ(MsOs20InterfaceFor(Set(ConfigurationSubset(0, FunctionSubset(1, kGoodProperty))),
                                 kClass, composite),
              1);
    // A single-function device is its interface, whatever its number.
    EXPECT_EQ(MsOs20InterfaceFor(Set(kGoodProperty), kClass, {0, 4}), 4);
}

TEST(MsOs20Set, IgnoresOtherPropertiesAndMalformedOnes) {
    const auto none = [](const Bytes& property) {
        return MsOs20InterfaceFor(Set(property), kClass);
    };
    EXPECT_FALSE(none(
        Property(7, "DeviceInterfaceGUIDs", MultiSz({"{42CE4F4D-ADC2-4F1C-9110-649710D65997}"}))));
    EXPECT_FALSE(none(Property(7, "Label", MultiSz({kClassText}))));
    EXPECT_FALSE(none(Property(3, "DeviceInterfaceGUIDs", MultiSz({kClassText})))) << "REG_BINARY";
    EXPECT_FALSE(none(Property(7, "DeviceInterfaceGUIDs", MultiSz({kClassText.substr(1, 36)}))));
    // The text stops at the list's empty string: nothing after it counts.
    EXPECT_FALSE(
        none(Property(7, "DeviceInterfaceGUIDs", Joined(MultiSz({}), Utf16z(kClassText)))));
    Bytes wide = Property(7, "DeviceInterfaceGUIDs", MultiSz({kClassText}));
    wide[wide.size() - 7] = 0x01;  // the last digit becomes a unit above ASCII
    EXPECT_FALSE(none(wide));

    Bytes nameOverrun = kGoodProperty;
    nameOverrun[6] = 0xF0;
    EXPECT_FALSE(none(nameOverrun));
    Bytes dataOverrun = kGoodProperty;
    dataOverrun[8 + 42] = 0xF0;
    EXPECT_FALSE(none(dataOverrun));
    Bytes zeroLength = Set(kGoodProperty);
    zeroLength[10] = 0;
    zeroLength[11] = 0;
    EXPECT_FALSE(MsOs20InterfaceFor(zeroLength, kClass)) << "a zero length must end the walk";
    Bytes truncated = Set(kGoodProperty);
    truncated.pop_back();
    EXPECT_FALSE(MsOs20InterfaceFor(truncated, kClass));
    EXPECT_FALSE(MsOs20InterfaceFor(Joined(Set(kGoodProperty), {0, 0}), kClass))
        << "wTotalLength says two bytes less";
    Bytes badHeader = Set(kGoodProperty);
    badHeader[2] = 1;
    EXPECT_FALSE(MsOs20InterfaceFor(badHeader, kClass));
}

Bytes MsOs10String(const std::string& signature, std::uint8_t vendorCode) {
    Bytes s{18, 3};
    Append(s, Utf16(signature));
    s.push_back(vendorCode);
    s.push_back(0);
    return s;
}

Bytes Properties(const std::vector<Bytes>& sections, std::size_t count) {
    Bytes p;
    std::size_t length = 10;
    for (const Bytes& s : sections) {
        length += s.size();
    }
    Put32(p, length);
    Put16(p, 0x0100);
    Put16(p, 5);
    Put16(p, count);
    for (const Bytes& s : sections) {
        Append(p, s);
    }
    return p;
}

Bytes Section(std::uint32_t type, const std::string& name, const Bytes& data) {
    const Bytes n = Utf16z(name);
    Bytes s;
    Put32(s, 14 + n.size() + data.size());
    Put32(s, type);
    Put16(s, n.size());
    Append(s, n);
    Put32(s, data.size());
    Append(s, data);
    return s;
}

TEST(MsOs10, VendorCodeOnlyBehindTheSignature) {
    EXPECT_EQ(MsOs10VendorCode(MsOs10String("MSFT100", 0x33)), 0x33);
    EXPECT_FALSE(MsOs10VendorCode(MsOs10String("MSFT200", 0x33)));
    Bytes shortString = MsOs10String("MSFT100", 0x33);
    shortString.resize(17);
    EXPECT_FALSE(MsOs10VendorCode(shortString));
    EXPECT_FALSE(MsOs10VendorCode(Joined(MsOs10String("MSFT100", 0x33), {0})))
        << "bLength says a byte less";
    EXPECT_FALSE(MsOs10VendorCode(MsOs10String("MSFT100", 0))) << "vendor code 0";
}

TEST(MsOs10, ExtendedPropertiesNameTheClass) {
    const Bytes label = Section(1, "Label", Utf16z("Trelvo"));
    const Bytes guid = Section(1, "DeviceInterfaceGUID", Utf16z(kClassText));
    EXPECT_TRUE(MsOs10PropertiesName(Properties({label, guid}, 2), kClass));
    EXPECT_TRUE(MsOs10PropertiesName(
        Properties({Section(7, "DeviceInterfaceGUIDs", MultiSz({kClassText}))}, 1), kClass));
    EXPECT_FALSE(MsOs10PropertiesName(Properties({label, guid}, 1), kClass)) << "count says one";
    EXPECT_FALSE(MsOs10PropertiesName(Properties({label}, 5), kClass));

    Bytes hugeSection = Properties({guid}, 1);
    hugeSection[10 + 3] = 0x80;  // dwSize far beyond the descriptor
    EXPECT_FALSE(MsOs10PropertiesName(hugeSection, kClass));
    Bytes hugeData = Properties({guid}, 1);
    hugeData[10 + 10 + 40 + 3] = 0x80;  // dwPropertyDataLength likewise
    EXPECT_FALSE(MsOs10PropertiesName(hugeData, kClass));
    EXPECT_FALSE(MsOs10PropertiesName(Joined(Properties({guid}, 1), {0}), kClass))
        << "dwLength says a byte less";
    Bytes wrongIndex = Properties({guid}, 1);
    wrongIndex[6] = 4;
    EXPECT_FALSE(MsOs10PropertiesName(wrongIndex, kClass));
}

// Whatever a device sends, the parsers stay inside the bytes they were given (the sanitizer
// build turns any stray read into a failure) and never loop for good.
TEST(MsOsDescriptors, SurviveDamagedAndTruncatedInput) {
    const std::vector<Bytes> samples{
        Bos({Platform(kMsOs20Uuid, 0xB2, 0x21)}),
        Set(Joined(FunctionSubset(1, kGoodProperty), kGoodProperty)),
        MsOs10String("MSFT100", 0x33),
        Properties({Section(1, "DeviceInterfaceGUID", Utf16z(kClassText))}, 1),
    };
    std::mt19937 random(1234);
    for (const Bytes& sample : samples) {
        for (std::size_t n = 0; n <= sample.size(); ++n) {
            const Bytes cut(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(n));
            (void)FindMsOs20Capability(cut);
            (void)MsOs20InterfaceFor(cut, kClass);
            (void)MsOs10VendorCode(cut);
            (void)MsOs10PropertiesName(cut, kClass);
        }
        for (int round = 0; round < 2000; ++round) {
            Bytes damaged = sample;
            for (int flips = 0; flips < 3; ++flips) {
                damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
            }
            (void)FindMsOs20Capability(damaged);
            (void)MsOs20InterfaceFor(damaged, kClass);
            (void)MsOs10VendorCode(damaged);
            (void)MsOs10PropertiesName(damaged, kClass);
        }
    }
}

}  // namespace
