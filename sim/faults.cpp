#include "sim/faults.h"

#include <algorithm>

#include "sim/reader.h"

namespace sim {
namespace {

bool Matches(const Fault& fault, std::uint8_t command, std::uint8_t readerCommand) {
    if (fault.command != 0 && fault.command != command) {
        return false;
    }
    if (fault.readerCommand != 0 && (command != 'T' || fault.readerCommand != readerCommand)) {
        return false;
    }
    // Only a status answer can carry a reader's refusal.
    if (fault.kind == FaultKind::ReaderStatus) {
        return command == 'T' && IsStatusCommand(readerCommand);
    }
    return true;
}

}  // namespace

void FaultQueue::Add(const Fault& fault) {
    if (fault.count <= 0) {
        return;
    }
    Fault kept = fault;
    kept.skip = std::max(kept.skip, 0);
    kept.floodLength = std::clamp(kept.floodLength, 0, kMaxFloodLength);
    faults_.push_back(kept);
}

std::optional<Fault> FaultQueue::Take(std::uint8_t command, std::uint8_t readerCommand) {
    std::optional<Fault> due;
    for (auto it = faults_.begin(); it != faults_.end();) {
        if (!Matches(*it, command, readerCommand)) {
            ++it;
        } else if (it->skip > 0) {
            --it->skip;
            ++it;
        } else if (!due) {
            due = *it;
            if (--it->count == 0) {
                it = faults_.erase(it);
            } else {
                ++it;
            }
        } else {
            ++it;
        }
    }
    return due;
}

}  // namespace sim
