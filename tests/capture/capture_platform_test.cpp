// The capture decorator on the simulator: what each transfer leaves in the file, at once, and
// what happens when the file cannot take it.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "pcapng_reader.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "tests/support/memory_files.h"
#include "uwieg/device.h"
#include "wusb/capture/pcapng.h"
#include "wusb/capture/wire_capture.h"
#include "wusb/clock.h"
#include "wusb/device.h"
#include "wusb/files.h"

namespace capture_test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using trelvo_test::MemoryFiles;

constexpr const char* kPath = "wire.pcapng";

struct CaptureOnSim : ::testing::Test {
    wusb::FakeClock clock;
    sim::SimPlatform simPlatform{clock};
    MemoryFiles files;
    std::unique_ptr<wusb::capture::WireCapture> capture;
    std::unique_ptr<wusb::WUsbDevTab> table;
    uwieg::UWiegDev dev{clock};

    void Start(sim::SimDeviceInfo info = {}) {
        simPlatform.Plug(std::make_shared<sim::SimInterface>(), info);
        capture = std::make_unique<wusb::capture::WireCapture>(simPlatform, files, clock, kPath,
                                                               "trelvo-test");
        table = std::make_unique<wusb::WUsbDevTab>(capture->platform(), sim::kUsbWiegandClass);
        ASSERT_EQ(table->Enumerate(), 1);
        dev.Link(*table, 0);
    }
    std::vector<ReadPacket> Written() const { return Packets(files.Content(kPath)); }
};

TEST_F(CaptureOnSim, EachExchangeIsSubmittedAndCompletedInBothDirectionsWithExactTimes) {
    Start();
    const std::int64_t start = clock.NowMicroseconds();
    dev.OpenChannel(1);
    const std::vector<ReadPacket> p = Written();
    ASSERT_EQ(p.size(), 4u);
    const Bytes request{0x06, 0x00, 0x4F, 0x01, 0xF5, 0x5C};
    const Bytes ack{0x06, 0x00, 0xCF, 0x00, 0x55, 0x5C};

    EXPECT_EQ(p[0].event, 'S');
    EXPECT_EQ(p[0].endpoint, dev.outPipe);
    EXPECT_EQ(p[0].status, -115);
    EXPECT_EQ(p[0].data, request);
    EXPECT_EQ(p[1].event, 'C');
    EXPECT_EQ(p[1].urbId, p[0].urbId);
    EXPECT_EQ(p[1].status, 0);
    EXPECT_EQ(p[1].length, 6u);
    EXPECT_TRUE(p[1].data.empty());

    EXPECT_EQ(p[2].event, 'S');
    EXPECT_EQ(p[2].endpoint, dev.inPipe);
    EXPECT_EQ(p[2].length, 1032u);
    EXPECT_TRUE(p[2].data.empty());
    EXPECT_EQ(p[3].event, 'C');
    EXPECT_EQ(p[3].urbId, p[2].urbId);
    EXPECT_NE(p[3].urbId, p[0].urbId);
    EXPECT_EQ(p[3].data, ack);
    for (const ReadPacket& packet : p) {
        EXPECT_EQ(packet.microseconds, static_cast<std::uint64_t>(start));
        EXPECT_EQ(packet.interfaceId, 0u);
        EXPECT_EQ(packet.device, 1);
    }
}

TEST_F(CaptureOnSim, AFailedReadCompletesAsATimeOutAfterTheWait) {
    Start();
    const std::int64_t start = clock.NowMicroseconds();
    std::uint8_t buffer[32];
    dev.firstReadRetry = false;
    EXPECT_EQ(dev.ReadRaw(sizeof buffer, buffer), 0u);
    const std::vector<ReadPacket> p = Written();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].event, 'C');
    EXPECT_EQ(p[1].status, -110);
    EXPECT_EQ(p[1].length, 0u);
    EXPECT_TRUE(p[1].data.empty());
    EXPECT_EQ(p[1].microseconds - p[0].microseconds, 200'000u) << "the IN pipe's time-out";
    EXPECT_EQ(p[0].microseconds, static_cast<std::uint64_t>(start));
}

TEST_F(CaptureOnSim, TheInterfaceIsNamedByItsSerialNumberOncePerDevice) {
    sim::SimDeviceInfo info;
    info.usb.serialNumber = "00C0FFEE";
    Start(info);
    dev.OpenChannel(1);
    // A new enumeration opens new handles to the same device: still one capture interface.
    ASSERT_EQ(table->Enumerate(), 1);
    dev.Link(*table, 0);
    dev.CloseChannel();
    int interfaces = 0;
    for (const ReadBlock& block : ReadBlocks(files.Content(kPath))) {
        if (block.type == 1) {
            ++interfaces;
            EXPECT_EQ(wusb::ReadLe16(block.body.data()), 220);
            EXPECT_EQ(OptionText(block.body, 8, 2), "usb-wiegand-00C0FFEE");
            EXPECT_EQ(OptionText(block.body, 8, 3),
                      "USB-Wiegand interface, serial number 00C0FFEE");
        }
    }
    EXPECT_EQ(interfaces, 1);
    EXPECT_EQ(Written().size(), 8u);
}

TEST_F(CaptureOnSim, EveryPacketIsInTheFileBeforeTheNextTransferStarts) {
    Start();
    std::size_t before = files.Content(kPath).size();
    for (int i = 0; i < 3; ++i) {
        dev.OpenChannel(1);
        const std::size_t now = files.Content(kPath).size();
        EXPECT_GT(now, before);
        before = now;
        // Whole blocks only: a crash between transfers leaves a readable file.
        EXPECT_NO_THROW(ReadBlocks(files.Content(kPath)));
    }
}

TEST_F(CaptureOnSim, AFileThatFailsStopsTheCaptureButNotTheTransfers) {
    Start();
    const int writesBefore = files.Count(MemoryFiles::Step::kWrite);
    // The interface description goes first, then two packets; the third packet fails.
    files.FailAt(MemoryFiles::Step::kWrite, 4, 10);
    EXPECT_NO_THROW(dev.OpenChannel(1));
    EXPECT_NO_THROW(dev.CloseChannel());
    EXPECT_FALSE(capture->failure().empty());
    EXPECT_EQ(files.Count(MemoryFiles::Step::kWrite), writesBefore + 4) << "no writes after";
    EXPECT_TRUE(dev.channelOpen == false);
}

TEST_F(CaptureOnSim, WorkersOnSeveralInterfacesShareOneCaptureWithoutLosingARecord) {
    constexpr int kInterfaces = 4;
    constexpr int kRounds = 40;
    for (int n = 0; n < kInterfaces; ++n) {
        sim::SimDeviceInfo info;
        info.usb.serialNumber = "0000000" + std::to_string(n);
        simPlatform.Plug(std::make_shared<sim::SimInterface>(), info);
    }
    capture = std::make_unique<wusb::capture::WireCapture>(simPlatform, files, clock, kPath,
                                                           "trelvo-test");
    std::vector<wusb::InterfacePath> listed;
    ASSERT_TRUE(capture->platform().ListInterfaces(sim::kUsbWiegandClass, listed));
    ASSERT_EQ(listed.size(), static_cast<std::size_t>(kInterfaces));
    simPlatform.ResetCounts();
    // Each worker opens its own interface again and again (the capture learns and forgets its
    // handles) while the others transfer, as provisioning and the watch do.
    std::vector<std::thread> workers;
    for (std::size_t n = 0; n < listed.size(); ++n) {
        workers.emplace_back([this, &listed, n] {
            wusb::WUsbDevTab own(capture->platform(), sim::kUsbWiegandClass);
            uwieg::UWiegDev worker(clock);
            for (int round = 0; round < kRounds; ++round) {
                if (round % 8 == 0) {
                    own.Open(listed[n]);
                    worker.Link(own, 0);
                }
                worker.OpenChannel(1);
                worker.CloseChannel();
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(capture->failure(), "");
    const sim::TransferCounts counts = simPlatform.counts();
    const std::vector<ReadPacket> p = Written();
    ASSERT_EQ(p.size(), 2 * (counts.reads + counts.writes)) << "a submission and a completion each";
    std::map<std::uint64_t, std::string> events;  // per URB id: "SC" when whole
    for (const ReadPacket& packet : p) {
        events[packet.urbId] += packet.event;
    }
    EXPECT_EQ(events.size(), p.size() / 2) << "every URB id used once";
    for (const auto& entry : events) {
        EXPECT_EQ(entry.second, "SC") << "URB " << entry.first;
    }
    std::multiset<std::string> names;
    for (const ReadBlock& block : ReadBlocks(files.Content(kPath))) {
        if (block.type == 1) {
            names.insert(OptionText(block.body, 8, 2));
        }
    }
    EXPECT_EQ(names, (std::multiset<std::string>{"usb-wiegand-00000000", "usb-wiegand-00000001",
                                                 "usb-wiegand-00000002", "usb-wiegand-00000003"}))
        << "one capture interface per serial number";
}

TEST(CaptureFile, ANewFileStartsWithASectionNamingProgramAndVersion) {
    MemoryFiles files;
    wusb::capture::OpenCaptureFile(files, kPath, "trelvo-cli");
    const std::vector<ReadBlock> blocks = ReadBlocks(files.Content(kPath));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].type, 0x0A0D0D0Au);
    const std::string application = OptionText(blocks[0].body, 16, 4);
    EXPECT_EQ(application.rfind("trelvo-cli ", 0), 0u) << application;
    EXPECT_GT(application.size(), std::string("trelvo-cli ").size()) << "with a version";
}

TEST(CaptureFile, AnEarlierCaptureKeepsItsContentAndGainsASection) {
    MemoryFiles files;
    wusb::capture::Block earlier = wusb::capture::SectionHeaderBlock("earlier");
    const wusb::capture::Block packet =
        wusb::capture::EnhancedPacketBlock(0, 5, std::vector<std::uint8_t>{1, 2, 3});
    earlier.insert(earlier.end(), packet.begin(), packet.end());
    const std::string old(earlier.begin(), earlier.end());
    files.Put(kPath, old);
    wusb::capture::OpenCaptureFile(files, kPath, "trelvo");
    const std::string now = files.Content(kPath);
    EXPECT_EQ(now.substr(0, old.size()), old);
    const std::vector<ReadBlock> blocks = ReadBlocks(now);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[2].type, 0x0A0D0D0Au);
}

TEST(CaptureFile, AnythingElseIsRefusedAndLeftAsItWas) {
    MemoryFiles files;
    const std::string notes = "notes from the field\n";
    files.Put(kPath, notes);
    EXPECT_THROW(wusb::capture::OpenCaptureFile(files, kPath, "trelvo"), wusb::FileError);
    EXPECT_EQ(files.Content(kPath), notes);

    // A capture cut off in the middle of its last block.
    const wusb::capture::Block header = wusb::capture::SectionHeaderBlock("earlier");
    const std::string cut(header.begin(), header.end() - 2);
    files.Put(kPath, cut);
    EXPECT_THROW(wusb::capture::OpenCaptureFile(files, kPath, "trelvo"), wusb::FileError);
    EXPECT_EQ(files.Content(kPath), cut);

    // A trailing length that claims more than the file holds.
    std::string claims(8, '\0');
    claims += std::string("\xF0\xFF\x00\x00", 4);
    files.Put(kPath, claims);
    EXPECT_THROW(wusb::capture::OpenCaptureFile(files, kPath, "trelvo"), wusb::FileError);
}

TEST(CaptureFile, AFileThatCannotBeWrittenFailsAtTheStart) {
    MemoryFiles files;
    files.FailAt(MemoryFiles::Step::kWrite, 1);
    EXPECT_THROW(wusb::capture::OpenCaptureFile(files, kPath, "trelvo"), wusb::FileError);
}

}  // namespace
}  // namespace capture_test
