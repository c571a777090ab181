// The KV-T reader behind the interface: answers the reader commands that come through the tunnel.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/reader_model.h"
#include "sim/reader_upgrade.h"

namespace sim {

// Commands answered with one status byte rather than with data.
bool IsStatusCommand(std::uint8_t readerCommand);

// The reader's answer data, or nothing when the reader does not answer (an unknown command,
// or data given to a command that takes none).
std::optional<std::vector<std::uint8_t>> AnswerReaderCommand(ReaderModel& reader,
                                                             UpgradeReceiver& upgrade,
                                                             std::uint8_t command,
                                                             const std::vector<std::uint8_t>& data,
                                                             int& completedUpgrades);

}  // namespace sim
