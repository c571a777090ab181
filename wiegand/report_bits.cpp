#include "wiegand/report_bits.h"

#include <algorithm>
#include <stdexcept>

namespace wiegand {

namespace {

constexpr int kMinBits = 4;
constexpr int kMaxBits = 67;
constexpr std::size_t kMaxPayload = 27;

std::size_t BytesFor(int bits) {
    return static_cast<std::size_t>(bits + 7) / 8;
}

std::uint8_t Head(int kind, int bits) {
    if (bits < kMinBits || bits > kMaxBits) {
        throw std::invalid_argument("a report carries 4 to 67 bits");
    }
    return static_cast<std::uint8_t>((kind << 6) | (bits - kMinBits));
}

std::vector<std::uint8_t> Checked(std::vector<std::uint8_t> payload) {
    if (payload.size() > kMaxPayload) {
        throw std::invalid_argument("a report payload holds at most 27 bytes");
    }
    return payload;
}

}  // namespace

ReportBits ReadReport(const std::uint8_t* payload, std::size_t count) {
    ReportBits r;
    r.kind = payload[0] >> 6;
    r.bits = (payload[0] & 0x3F) + kMinBits;
    const std::uint8_t second = count > 1 ? payload[1] : 0;
    if (r.kind == kKey) {
        r.key = r.bits == 4 ? second >> 4 : second & 0x0F;
        return r;
    }
    const std::size_t first = r.kind == kCardWithParity ? 2 : 1;
    const std::size_t available = count > first ? count - first : 0;
    const std::size_t needed = BytesFor(r.bits);
    r.data.assign(payload + first, payload + first + std::min(available, needed));
    if (available < needed || (r.kind == kCardWithParity && count < 2)) {
        return r;
    }
    const BitString data = BitString::FromBytes(r.data.data(), static_cast<std::size_t>(r.bits));
    if (r.kind != kCardWithParity) {
        r.frame = data;
        return r;
    }
    r.parity = {(second & 0x20) != 0, (second & 0x10) != 0, (second & 0x02) != 0,
                (second & 0x01) != 0};
    BitString frame;
    frame.Append(r.parity.beginValue);
    frame.Append(data);
    frame.Append(r.parity.endValue);
    r.frame = frame;
    return r;
}

std::vector<std::uint8_t> CardReport(const BitString& frame) {
    std::vector<std::uint8_t> payload{Head(kCard, static_cast<int>(frame.size()))};
    const std::vector<std::uint8_t> data = frame.Bytes();
    payload.insert(payload.end(), data.begin(), data.end());
    return Checked(payload);
}

std::vector<std::uint8_t> CardReportWithParity(const BitString& frame, bool beginOdd, bool endOdd) {
    if (frame.size() < 2) {
        throw std::invalid_argument("a frame with parity bits has at least 2 bits");
    }
    const std::size_t n = frame.size() - 2;
    BitString inner(n);
    for (std::size_t i = 0; i < n; ++i) {
        inner.Set(i, frame[i + 1]);
    }
    const auto description =
        static_cast<std::uint8_t>((beginOdd ? 0x20 : 0) | (frame[0] ? 0x10 : 0) |
                                  (endOdd ? 0x02 : 0) | (frame[frame.size() - 1] ? 0x01 : 0));
    std::vector<std::uint8_t> payload{Head(kCardWithParity, static_cast<int>(n)), description};
    const std::vector<std::uint8_t> data = inner.Bytes();
    payload.insert(payload.end(), data.begin(), data.end());
    return Checked(payload);
}

}  // namespace wiegand
