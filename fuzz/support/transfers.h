// Frame helpers for the targets: an independent check of a whole frame, CRC sealing so that the
// fuzzer reaches the accepted paths, and the decoding of a fuzz input into IN transfers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "fuzz/support/input.h"
#include "fuzz/support/scripted_platform.h"

namespace fuzz {

std::uint16_t LengthField(const Bytes& frame);

// Exactly one frame of at least 6 bytes: length field equal to the size, zero CRC residue.
bool IsWholeFrame(const Bytes& frame);

// Makes the first `length` bytes carry a correct CRC in their last two bytes (length >= 2).
void SealCrc(Bytes& frame, std::size_t length);

// Each transfer is a u16 control word followed by its bytes:
//   bits 0-11  transfer length (0: the read completes empty)
//   bit 13     seal the CRC at the frame's own length field, when that fits in the transfer
//   bit 14     the read fails
//   bit 15     make the transfer a whole frame: length field = size, CRC sealed
std::deque<Delivered> DecodeTransfers(Input& input);

}  // namespace fuzz
