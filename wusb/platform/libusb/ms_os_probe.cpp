#include "wusb/platform/libusb/ms_os_probe.h"

#include <libusb.h>

#include <algorithm>

#include "wusb/le_bytes.h"
#include "wusb/ms_os_descriptors.h"

namespace wusb::libusb {

namespace {

// A device answers a control request within a few milliseconds; one that does not must not
// hold up the listing (or the plugging in, for the udev probe), and after one time-out it is
// not asked again.
constexpr std::chrono::milliseconds kProbeTimeout{100};
constexpr std::uint16_t kMsOs20DescriptorIndex = 7;
constexpr std::uint16_t kMsOs10ExtendedPropertiesIndex = 5;
constexpr std::uint8_t kMsOs10StringIndex = 0xEE;
// Enough for any set of registry properties a small device carries.
constexpr std::uint16_t kMsOs10PropertiesCapacity = 4096;
// Request types, spelled out: libusb's enumerations do not combine cleanly in C++20.
constexpr std::uint8_t kVendorIn = 0xC0;
constexpr std::uint8_t kVendorInToInterface = 0xC1;

using Bytes = std::vector<std::uint8_t>;

// The control pipe of the device being probed; silent once a request timed out or the
// deadline has passed.
class ControlPipe {
  public:
    ControlPipe(libusb_device_handle* device, ProbeDeadline deadline)
        : device_(device), deadline_(deadline) {}

    // A control read; the bytes the device really sent, nothing on failure.
    std::optional<Bytes> Read(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                              std::uint16_t index, std::uint16_t length) {
        if (silent_)
            return std::nullopt;
        using std::chrono::milliseconds;
        const auto left =
            std::chrono::duration_cast<milliseconds>(deadline_ - std::chrono::steady_clock::now());
        // libusb counts a time-out of 0 as none at all. A probe cut short by its budget (a
        // busy host, a slow device) has not heard the device out: worth asking again.
        if (left < milliseconds(1)) {
            unsettled_ = true;
            return std::nullopt;
        }
        const auto timeout = std::min(left, kProbeTimeout);
        Bytes bytes(length);
        const int got =
            libusb_control_transfer(device_, requestType, request, value, index, bytes.data(),
                                    length, static_cast<unsigned>(timeout.count()));
        silent_ = got == LIBUSB_ERROR_TIMEOUT;
        // A stall is the device's refusal and a time-out of the full wait its silence: both
        // are answers.
        unsettled_ = unsettled_ || (got < 0 && got != LIBUSB_ERROR_PIPE && !silent_) ||
                     (silent_ && timeout < kProbeTimeout);
        if (got < 0)
            return std::nullopt;
        bytes.resize(static_cast<std::size_t>(got));
        return bytes;
    }

    std::optional<Bytes> Descriptor(std::uint8_t type, std::uint8_t index, std::uint16_t length) {
        return Read(LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                    static_cast<std::uint16_t>((type << 8) | index), 0, length);
    }

    bool unsettled() const { return unsettled_; }

  private:
    libusb_device_handle* device_;
    ProbeDeadline deadline_;
    bool silent_ = false;
    bool unsettled_ = false;
};

std::optional<Bytes> ReadBos(ControlPipe& pipe) {
    constexpr std::uint16_t kBosHeaderLength = 5;
    const auto header = pipe.Descriptor(LIBUSB_DT_BOS, 0, kBosHeaderLength);
    if (!header || header->size() < kBosHeaderLength)
        return std::nullopt;
    return pipe.Descriptor(LIBUSB_DT_BOS, 0, ReadLe16(&(*header)[2]));
}

std::optional<std::uint8_t> FromMsOs20(ControlPipe& pipe, const MsOs20SetLocation& location,
                                       const MsOs20Scope& scope, const Guid& interfaceClass) {
    const auto set =
        pipe.Read(kVendorIn, location.vendorCode, 0, kMsOs20DescriptorIndex, location.totalLength);
    // A set shorter than the capability promised is not understood.
    if (!set || set->size() != location.totalLength)
        return std::nullopt;
    return MsOs20InterfaceFor(*set, interfaceClass, scope);
}

bool MsOs10Names(ControlPipe& pipe, std::uint8_t vendorCode, std::uint8_t interface,
                 const Guid& interfaceClass) {
    // The interface number travels in the low byte and page 0 in the high one, as Windows sends
    // it (device firmware checks exactly that). Some devices only answer the request addressed
    // to the device, so that is the second try.
    const std::uint16_t value = interface;
    for (const std::uint8_t requestType : {kVendorInToInterface, kVendorIn}) {
        const auto properties =
            pipe.Read(requestType, vendorCode, value, kMsOs10ExtendedPropertiesIndex,
                      kMsOs10PropertiesCapacity);
        if (properties)
            return MsOs10PropertiesName(*properties, interfaceClass);
    }
    return false;
}

std::optional<std::uint8_t> FromMsOs10(ControlPipe& pipe,
                                       const std::vector<std::uint8_t>& vendorInterfaces,
                                       const Guid& interfaceClass) {
    constexpr std::uint16_t kStringCapacity = 255;
    const auto string = pipe.Descriptor(LIBUSB_DT_STRING, kMsOs10StringIndex, kStringCapacity);
    if (!string)
        return std::nullopt;
    const auto vendorCode = MsOs10VendorCode(*string);
    if (!vendorCode)
        return std::nullopt;
    for (const std::uint8_t interface : vendorInterfaces) {
        if (MsOs10Names(pipe, *vendorCode, interface, interfaceClass))
            return interface;
    }
    return std::nullopt;
}

}  // namespace

namespace {

std::optional<std::uint8_t> Ask(ControlPipe& pipe, const ProbeTarget& target,
                                const Guid& interfaceClass) {
    constexpr std::uint16_t kFirstUsbWithBos = 0x0201;
    if (target.bcdUSB >= kFirstUsbWithBos) {
        const auto bos = ReadBos(pipe);
        // A device with the MS OS 2.0 capability keeps its announcements there, as Windows
        // then looks nowhere else.
        if (const auto location = bos ? FindMsOs20Capability(*bos) : std::nullopt)
            return FromMsOs20(pipe, *location, target.scope, interfaceClass);
    }
    return FromMsOs10(pipe, target.vendorInterfaces, interfaceClass);
}

}  // namespace

std::optional<std::uint8_t> AnnouncedInterface(libusb_device_handle* device,
                                               const ProbeTarget& target,
                                               const Guid& interfaceClass, ProbeDeadline deadline,
                                               bool* settled) {
    ControlPipe pipe(device, deadline);
    const auto interface = Ask(pipe, target, interfaceClass);
    if (settled != nullptr)
        *settled = interface.has_value() || !pipe.unsettled();
    return interface;
}

}  // namespace wusb::libusb
