// Every exchange of provisioning against every fault the simulated interface can inject, on one
// of 8 interfaces served at once: that reader ends verified or reported failed with its message,
// it is logged exactly once either way, the other 7 finish and verify, no reader holds a mix of
// its old and the new record, and nothing is written twice.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/platform.h"
#include "tests/support/memory_files.h"
#include "uwieg/provision_runner.h"

namespace reliability {
namespace {

using sim::FaultKind;

constexpr int kInterfaces = 8;
constexpr int kFaulty = 3;
const uwieg::ReaderConfig kOld{2, 0xC0, 5, 3, 0x45, 0, 1, 0};
const uwieg::ReaderConfig kNew{2, 0x80, 77, 1, 0x44, 0, 1, 0};

// One exchange of the flow; `skip` counts the matching commands before it.
struct Step {
    const char* name;
    std::uint8_t command;
    std::uint8_t readerCommand;
    int skip;
    bool beforeVerified;  // a fault that breaks this exchange must fail the reader
};

const Step kSteps[] = {
    {"O", 'O', 0, 0, true},        {"M", 'T', 'M', 0, true},       {"C", 'T', 'C', 0, true},
    {"c", 'T', 'c', 0, true},      {"o", 'o', 0, 0, false},        {"led_on", 'S', 0, 0, false},
    {"led_off", 'S', 0, 1, false}, {"led_on_2", 'S', 0, 2, false}, {"led_off_2", 'S', 0, 3, false},
};

const FaultKind kFaults[] = {
    FaultKind::NoAnswer,     FaultKind::Nak,          FaultKind::WrongLength,
    FaultKind::CorruptCrc,   FaultKind::ReportBefore, FaultKind::StaleBefore,
    FaultKind::InvalidFlood, FaultKind::ReaderStatus, FaultKind::Unplug};

// Faults after which the exchange cannot have succeeded.
bool Breaks(FaultKind kind, const Step& step) {
    switch (kind) {
        case FaultKind::NoAnswer:
        case FaultKind::WrongLength:
        case FaultKind::CorruptCrc:
        case FaultKind::Unplug:
            return true;
        case FaultKind::Nak:
            return step.command != 'T';
        case FaultKind::ReaderStatus:
            return step.readerCommand == 'C';
        default:
            return false;
    }
}

int Writes(const sim::SimInterface& device) {
    int writes = 0;
    for (const auto& command : device.received()) {
        writes += command.command == 'T' && command.payload.at(0) == 'C';
    }
    return writes;
}

class ProvisionMatrix : public ::testing::TestWithParam<std::tuple<Step, FaultKind>> {};

TEST_P(ProvisionMatrix, OneFaultStaysWithItsReader) {
    const auto& [step, kind] = GetParam();
    wusb::FakeClock clock;
    sim::SimPlatform platform(clock);
    for (int n = 0; n < kInterfaces; ++n) {
        auto device = std::make_shared<sim::SimInterface>();
        device->reader().config = kOld;
        platform.Plug(device);
    }
    platform.device(kFaulty)->InjectFault({kind, step.command, step.readerCommand, step.skip});

    trelvo_test::MemoryFiles files;
    uwieg::AuditLog log(files, "log.csv");
    uwieg::ProvisionJob job;
    job.record = kNew;
    std::vector<uwieg::ProvisionResult> reported;
    uwieg::ProvisionOutput output(job, &log,
                                  [&](const uwieg::ProvisionResult& r) { reported.push_back(r); });
    std::vector<wusb::InterfacePath> listed;
    platform.ListInterfaces(sim::kUsbWiegandClass, listed);
    const auto results = uwieg::ProvisionAll(platform, clock, listed, job, output);

    ASSERT_EQ(results.size(), static_cast<std::size_t>(kInterfaces));
    EXPECT_EQ(reported.size(), static_cast<std::size_t>(kInterfaces));
    for (int n = 0; n < kInterfaces; ++n) {
        const sim::SimInterface& device = *platform.device(n);
        const uwieg::ProvisionResult& r = results[static_cast<std::size_t>(n)];
        EXPECT_TRUE(device.reader().config == kOld || device.reader().config == kNew) << n;
        EXPECT_LE(Writes(device), 1) << n;
        if (n != kFaulty) {
            EXPECT_TRUE(r.ok) << n << ": " << r.error;
            EXPECT_EQ(device.reader().config, kNew) << n;
            continue;
        }
        if (r.ok) {
            EXPECT_FALSE(step.beforeVerified && Breaks(kind, step)) << "reported done";
            EXPECT_EQ(device.reader().config, kNew);
        } else {
            EXPECT_FALSE(r.error.empty());
        }
    }
    // One record per reader, the faulty one's with its outcome and message.
    const std::string content = files.Content("log.csv");
    std::size_t lines = 0;
    for (const char c : content) {
        lines += c == '\n';
    }
    EXPECT_EQ(lines, static_cast<std::size_t>(kInterfaces + 1));
    const uwieg::ProvisionResult& faulty = results[kFaulty];
    if (!faulty.ok) {
        EXPECT_NE(content.find(",failed,"), std::string::npos);
    }
}

std::string CellName(const ::testing::TestParamInfo<ProvisionMatrix::ParamType>& info) {
    static const char* const kNames[] = {"NoAnswer",     "Nak",          "WrongLength",
                                         "CorruptCrc",   "ReportBefore", "StaleBefore",
                                         "InvalidFlood", "ReaderStatus", "Unplug"};
    return std::string(std::get<0>(info.param).name) + "_" +
           kNames[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(EveryExchangeEveryFault, ProvisionMatrix,
                         ::testing::Combine(::testing::ValuesIn(kSteps),
                                            ::testing::ValuesIn(kFaults)),
                         CellName);

}  // namespace
}  // namespace reliability
