#include "fuzz/support/transfers.h"

#include "wusb/crc.h"
#include "wusb/le_bytes.h"

namespace fuzz {

std::uint16_t LengthField(const Bytes& frame) {
    return frame.size() < 2 ? 0 : wusb::ReadLe16(frame.data());
}

bool IsWholeFrame(const Bytes& frame) {
    return frame.size() > 5 && LengthField(frame) == frame.size() &&
           wusb::Crc16(frame.data(), frame.size(), 0xFFFF) == 0;
}

void SealCrc(Bytes& frame, std::size_t length) {
    const std::uint32_t crc = wusb::Crc16(frame.data(), length - 2, 0xFFFF);
    wusb::WriteLe16(&frame[length - 2], static_cast<std::uint16_t>(crc));
}

std::deque<Delivered> DecodeTransfers(Input& input) {
    std::deque<Delivered> transfers;
    while (input.remaining() >= 2) {
        const std::uint16_t control = input.U16();
        Delivered t;
        t.ok = (control & 0x4000) == 0;
        t.bytes = input.Bytes(control & 0x0FFF);
        const std::size_t size = t.bytes.size();
        if ((control & 0x8000) != 0 && size >= 5) {
            wusb::WriteLe16(t.bytes.data(), static_cast<std::uint16_t>(size));
            SealCrc(t.bytes, size);
        } else if ((control & 0x2000) != 0) {
            const std::size_t own = LengthField(t.bytes);
            if (own >= 5 && own <= size) {
                SealCrc(t.bytes, own);
            }
        }
        transfers.push_back(std::move(t));
    }
    return transfers;
}

}  // namespace fuzz
