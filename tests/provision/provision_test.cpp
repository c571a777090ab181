// Provisioning one reader and many at once on the simulator: what is written and verified,
// the LED signal, the upgrade, the audit records, and failures that stay with their reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/provision/provision_rig.h"
#include "uwieg/image.h"
#include "uwieg/session.h"

namespace provision_test {
namespace {

using uwieg::ProvisionResult;
using Step = trelvo_test::MemoryFiles::Step;

class ProvisionTest : public ::testing::Test, public ProvisionRig {
  protected:
    ProvisionResult One(int n = 0) {
        return uwieg::ProvisionInterface(platform, clock, Listed().at(static_cast<std::size_t>(n)),
                                         job);
    }
    std::vector<ProvisionResult> All(uwieg::AuditLog* log = nullptr) {
        uwieg::ProvisionOutput output(job, log, [this](const ProvisionResult& r) {
            reported.push_back(r);
            // Reported only once its record is on disk.
            if (auditPath) {
                const std::string named = r.linked ? uwieg::SerialNumberText(r.serial) : r.path;
                EXPECT_NE(files.AfterCrash(*auditPath)->find("," + named + ","), std::string::npos);
            }
        });
        return uwieg::ProvisionAll(platform, clock, Listed(), job, output);
    }

    std::vector<ProvisionResult> reported;
    std::optional<std::string> auditPath;
};

TEST_F(ProvisionTest, WritesVerifiesAndSignalsSuccessWithTwoShortPulses) {
    PlugReaders(1);
    const ProvisionResult r = One();
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.serial, 0xA0u);
    EXPECT_EQ(r.before.typeNumber(), 51);
    EXPECT_EQ(r.before.readerNumber(), 100);
    EXPECT_EQ(r.after.firmwareVersion, r.before.firmwareVersion);
    EXPECT_EQ(device(0).reader().config, kProfileRecord);
    EXPECT_FALSE(device(0).channelOpen());
    EXPECT_EQ(OutputTests(0), (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(device(0).outputLines(), 0);
    // Quiet period, 100 ms after opening, two pulses of 100 ms on and off.
    EXPECT_DOUBLE_EQ(r.seconds, 0.1 + 0.4);
}

TEST_F(ProvisionTest, AFailedWriteIsReportedWithItsMessageAndOneLongPulse) {
    PlugReaders(1);
    device(0).InjectFault({sim::FaultKind::ReaderStatus, 'T', 'C'});
    const uwieg::ReaderConfig before = device(0).reader().config;
    const ProvisionResult r = One();
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(r.identified);
    EXPECT_EQ(device(0).reader().config, before);
    EXPECT_EQ(OutputTests(0), (std::vector<int>{1, 0}));
    EXPECT_GE(clock.slept(), uwieg::kFailurePulseMs);
}

TEST_F(ProvisionTest, UpgradesFirstOnlyWhenAskedAndTheImageIsNewer) {
    PlugReaders(2);
    device(0).reader().firmwareVersion = 1;
    device(1).reader().firmwareVersion = 1;
    const std::uint16_t builtIn = uwieg::BuiltInImage(51)->version();
    ASSERT_GT(builtIn, 1);

    const ProvisionResult without = One(0);
    EXPECT_TRUE(without.ok) << without.error;
    EXPECT_EQ(without.after.firmwareVersion, 1);
    EXPECT_EQ(device(0).completedUpgrades(), 0);

    job.upgrade = true;
    const ProvisionResult with = One(1);
    EXPECT_TRUE(with.ok) << with.error;
    EXPECT_EQ(with.before.firmwareVersion, 1);
    EXPECT_EQ(with.after.firmwareVersion, builtIn);
    EXPECT_EQ(device(1).completedUpgrades(), 1);
    EXPECT_EQ(device(1).reader().config, kProfileRecord);

    // Already current: nothing streamed.
    const ProvisionResult again = One(1);
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(device(1).completedUpgrades(), 1);
}

TEST_F(ProvisionTest, AnInterfaceThatCannotBeOpenedFailsWithoutTouchingOthers) {
    PlugReaders(1);
    const wusb::InterfacePath gone = Listed()[0];
    platform.Unplug(0);
    const ProvisionResult r = uwieg::ProvisionInterface(platform, clock, gone, job);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.linked);
    EXPECT_EQ(r.path, "sim:0");
    EXPECT_FALSE(r.error.empty());
}

TEST_F(ProvisionTest, EveryListedInterfaceIsVerifiedOrFailsWithItsReasonAndIsLogged) {
    // Nine that answer (one more than run at once), one this user may not open and one that
    // another program holds.
    PlugReaders(4);
    sim::SimDeviceInfo denied;
    denied.denyAccess = true;
    sim::SimDeviceInfo held;
    held.heldElsewhere = true;
    platform.Plug(std::make_shared<sim::SimInterface>(), denied);
    platform.Plug(std::make_shared<sim::SimInterface>(), held);
    PlugReaders(5);
    const std::map<int, std::string> refused{
        {4, std::string("Nie można otworzyć interface'u USB-Wiegand. ") + uwieg::kPermissionHint},
        {5, std::string("Nie można otworzyć interface'u USB-Wiegand. ") + uwieg::kInUseHint}};
    uwieg::AuditLog log(files, "log.csv");
    auditPath = "log.csv";
    const auto results = All(&log);
    ASSERT_EQ(results.size(), 11u);
    EXPECT_EQ(reported.size(), 11u);
    for (int n = 0; n < 11; ++n) {
        const ProvisionResult& r = results[static_cast<std::size_t>(n)];
        EXPECT_EQ(r.path, "sim:" + std::to_string(n));
        const auto reason = refused.find(n);
        if (reason != refused.end()) {
            EXPECT_FALSE(r.ok) << n;
            EXPECT_EQ(r.error, reason->second) << n;
            continue;
        }
        EXPECT_TRUE(r.ok) << n << ": " << r.error;
        EXPECT_EQ(device(n).reader().config, kProfileRecord) << n;
    }
    const auto records = LogRecords();
    ASSERT_EQ(records.size(), 11u);
    std::set<std::string> interfaces;
    int failed = 0;
    for (const std::string& line : records) {
        if (line.find(",failed,") != std::string::npos) {
            ++failed;
            continue;
        }
        EXPECT_NE(line.find(",51,"), std::string::npos) << line;
        EXPECT_NE(line.find(",site.json," + job.profileSha256 + ",ok,"), std::string::npos) << line;
        interfaces.insert(line.substr(21, line.find(',', 21) - 21));
    }
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(interfaces.size(), 9u);
}

TEST_F(ProvisionTest, OneFailingOrVanishingInterfaceDisturbsNoOther) {
    PlugReaders(8);
    device(2).InjectFault({sim::FaultKind::NoAnswer, 'T', 'C'});
    device(5).InjectFault({sim::FaultKind::Unplug, 'T', 'c'});
    uwieg::AuditLog log(files, "log.csv");
    const auto results = All(&log);
    for (int n = 0; n < 8; ++n) {
        const bool faulty = n == 2 || n == 5;
        EXPECT_EQ(results[static_cast<std::size_t>(n)].ok, !faulty) << n;
    }
    EXPECT_FALSE(platform.IsPlugged(5));
    const auto records = LogRecords();
    EXPECT_EQ(
        std::count_if(records.begin(), records.end(),
                      [](const std::string& l) { return l.find(",failed,") != std::string::npos; }),
        2);
}

TEST_F(ProvisionTest, ARecordThatCannotBeLoggedFailsItsReader) {
    PlugReaders(1);
    uwieg::AuditLog log(files, "log.csv");
    files.FailAt(Step::kWrite, 1);
    const auto results = All(&log);
    EXPECT_FALSE(results[0].ok);
    EXPECT_FALSE(reported.at(0).ok);
    EXPECT_FALSE(reported[0].error.empty());

    // Written whole but not confirmed on disk: the reader's result stands, with a warning.
    files.FailAt(Step::kSync, 1);
    const auto unsynced = All(&log);
    EXPECT_TRUE(unsynced[0].ok) << unsynced[0].error;
    EXPECT_EQ(reported.at(1).logWarning,
              "wpis w dzienniku zapisany, bez potwierdzenia zapisu na dysk: Nie można zapisać "
              "pliku „log.csv”: injected failure");
}

}  // namespace
}  // namespace provision_test
