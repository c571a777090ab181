// Captures of real flows on the simulator, and crafted frames, read back by tshark with the
// project's dissector.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/device.h"
#include "sim/platform.h"
#include "tshark.h"
#include "uwieg/config.h"
#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "uwieg/report.h"
#include "uwieg/session.h"
#include "uwieg/upgrade.h"
#include "wiegand/decode.h"
#include "wiegand/encode.h"
#include "wusb/capture/pcapng.h"
#include "wusb/capture/usbmon.h"
#include "wusb/capture/wire_capture.h"
#include "wusb/clock.h"
#include "wusb/device.h"
#include "wusb/files.h"
#include "wusb/frame.h"

namespace capture_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class AnswerDialogs final : public uwieg::Dialogs {
  public:
    explicit AnswerDialogs(bool yes) : yes_(yes) {}
    std::vector<std::string> errors;
    void ShowError(const std::string& text) override { errors.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return yes_; }
    void ShowMessage(const std::string& text) override { errors.push_back(text); }

  private:
    bool yes_;
};

// The read-configuration flow of the programs on a simulated interface, captured to a file.
struct CapturedRead {
    explicit CapturedRead(const std::string& name) : path(FreshPath(name)) {
        simPlatform.Plug(simDevice);
    }

    void Run(bool acceptUpgrade) {
        wusb::capture::WireCapture capture(simPlatform, files, clock, path, "trelvo-test");
        wusb::WUsbDevTab table(capture.platform(), uwieg::kInterfaceGuid);
        uwieg::UWiegDev dev(clock);
        AnswerDialogs dialogs(acceptUpgrade);
        uwieg::SilentUpgradeView view;
        ASSERT_TRUE(uwieg::OpenInterface(table, dev, dialogs));
        uwieg::ConnectReader(dev);
        uwieg::UpgrCheck(dev, dialogs, view);
        uwieg::ReaderConfig record{};
        dev.ReadConfig(record);
        dev.CloseChannel();
        EXPECT_TRUE(dialogs.errors.empty());
        EXPECT_EQ(capture.failure(), "");
    }

    std::string path;
    wusb::FakeClock clock;
    wusb::SystemFiles files;
    std::shared_ptr<sim::SimInterface> simDevice = std::make_shared<sim::SimInterface>();
    sim::SimPlatform simPlatform{clock};
};

std::vector<std::string> Column(const TsharkResult& result, std::size_t index) {
    std::vector<std::string> column;
    for (const Row& row : result.rows) {
        column.push_back(index < row.size() ? row[index] : "<missing>");
    }
    return column;
}

TEST(Dissector, StartupReadShowsItsEightFramesWithFieldsAndGoodChecks) {
    CapturedRead read("startup.pcapng");
    sim::ReaderModel& reader = read.simDevice->reader();
    reader.readerNumber = 12345;
    reader.typeNumber = 53;
    reader.typeVariant = 1;
    reader.config = {2, 0xC1, 7, 0x05, 0x48, 1, 2, 0};
    read.Run(false);

    const TsharkResult r = TsharkFields(
        read.path, "trelvo",
        {"trelvo.len", "trelvo.cmd", "trelvo.reader_cmd", "trelvo.crc_ok", "trelvo.status",
         "trelvo.mode", "trelvo.ident.number", "trelvo.ident.type", "trelvo.ident.variant",
         "trelvo.ident.firmware", "trelvo.config.mark", "trelvo.config.led_time",
         "trelvo.config.wiegand_size", "trelvo.config.no_parity", "trelvo.config.keypad",
         "trelvo.config.icode", "usb.endpoint_address.direction", "frame.interface_description",
         "trelvo.response"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(r.errors, "");
    ASSERT_EQ(r.rows.size(), 8u);
    const std::vector<std::string> commands = Column(r, 1);
    EXPECT_EQ(commands,
              (std::vector<std::string>{"'O'", "'O'", "'T'", "'T'", "'T'", "'T'", "'o'", "'o'"}));
    EXPECT_EQ(Column(r, 18), (std::vector<std::string>{"0", "1", "0", "1", "0", "1", "0", "1"}));
    EXPECT_EQ(Column(r, 2), (std::vector<std::string>{"", "", "M", "M", "c", "c", "", ""}));
    for (const std::string& ok : Column(r, 3)) {
        EXPECT_EQ(ok, "1");
    }
    EXPECT_EQ(Column(r, 0), (std::vector<std::string>{"6", "6", "6", "14", "6", "14", "5", "6"}));
    EXPECT_EQ(r.rows[0][5], "1") << "mode";
    EXPECT_EQ(r.rows[1][4], "0") << "acknowledged";
    // The identity answer.
    EXPECT_EQ(r.rows[3][6], "12345");
    EXPECT_EQ(r.rows[3][7], "53");
    EXPECT_EQ(r.rows[3][8], "1");
    EXPECT_EQ(r.rows[3][9], "2");
    // The configuration answer.
    EXPECT_EQ(r.rows[5][10], "2");
    EXPECT_EQ(r.rows[5][11], "7");
    EXPECT_EQ(r.rows[5][12], "0");  // 24+2 bity
    EXPECT_EQ(r.rows[5][13], "1");  // without parity bits
    EXPECT_EQ(r.rows[5][14], "1");  // 8-bit keys
    EXPECT_EQ(r.rows[5][15], "1");
    // Direction from the USB layer: requests go out, answers come in.
    EXPECT_EQ(Column(r, 16), (std::vector<std::string>{"0", "1", "0", "1", "0", "1", "0", "1"}));
    EXPECT_EQ(r.rows[0][17], "USB-Wiegand interface, serial number 0001A2F3");

    int code = 0;
    const std::string info =
        RunCommand(std::string(TRELVO_CAPINFOS) + " '" + read.path + "' 2>&1", code);
    EXPECT_EQ(code, 0) << info;
    EXPECT_NE(info.find("pcapng"), std::string::npos) << info;
    EXPECT_NE(info.find("Number of packets:   16"), std::string::npos) << info;
}

TEST(Dissector, FullUpgradeShowsEveryCommandInOrderWithItsFields) {
    CapturedRead read("upgrade.pcapng");
    read.simDevice->reader().firmwareVersion = 1;  // older than the built-in image
    read.Run(true);
    const std::uint16_t blocks =
        uwieg::BuiltInImage(read.simDevice->reader().typeNumber)->blockCount();

    const TsharkResult r =
        TsharkFields(read.path, "trelvo.cmd == 'T' && trelvo.response == 0",
                     {"trelvo.reader_cmd", "trelvo.crc_ok", "trelvo.block.index",
                      "trelvo.image.version", "trelvo.image.blocks", "trelvo.image.reserved"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    std::string order;
    for (const std::string& command : Column(r, 0)) {
        order += command;
    }
    EXPECT_EQ(order, "MZ" + std::string(blocks, 'Y') + "yzMc");
    for (const std::string& ok : Column(r, 1)) {
        EXPECT_EQ(ok, "1");
    }
    for (std::uint16_t i = 0; i < blocks; ++i) {
        EXPECT_EQ(r.rows.at(2 + i)[2], std::to_string(i));
    }
    EXPECT_EQ(r.rows.at(1)[3], "2");
    EXPECT_EQ(r.rows.at(1)[4], std::to_string(blocks));
    EXPECT_EQ(r.rows.at(1)[5], "0x0000");

    // Every reader command of the upgrade was accepted.
    const TsharkResult answers =
        TsharkFields(read.path, "trelvo.cmd == 'T' && trelvo.response == 1",
                     {"trelvo.reader_cmd", "trelvo.status"});
    std::string statuses;
    for (const Row& row : answers.rows) {
        if (row.size() > 1 && !row[1].empty()) {
            statuses += row[0] + row[1] + " ";
        }
    }
    EXPECT_EQ(statuses.substr(0, 4), "Z0 Y");
    EXPECT_NE(statuses.find("y0 z0 "), std::string::npos) << statuses;
}

// A capture written by hand: one interface, each frame as a completed IN transfer.
std::string CraftedCapture(const std::string& name, const std::vector<Bytes>& frames) {
    const std::string path = FreshPath(name);
    wusb::SystemFiles files;
    const auto file = wusb::capture::OpenCaptureFile(files, path, "trelvo-test");
    auto append = [&file](const wusb::capture::Block& block) {
        file->Append({reinterpret_cast<const char*>(block.data()), block.size()});
    };
    append(wusb::capture::InterfaceDescriptionBlock(wusb::capture::kLinkTypeUsbLinuxMmapped,
                                                    "usb-wiegand", "crafted"));
    std::uint64_t id = 0;
    for (const Bytes& frame : frames) {
        wusb::capture::UsbmonEvent event;
        event.id = ++id;
        event.event = wusb::capture::UrbEvent::Complete;
        event.endpoint = 0x81;
        event.microseconds = 1'700'000'000'000'000LL + static_cast<std::int64_t>(id);
        event.length = static_cast<std::uint32_t>(frame.size());
        event.data = frame;
        append(wusb::capture::EnhancedPacketBlock(0, event.microseconds,
                                                  wusb::capture::UsbmonPacket(event)));
    }
    return path;
}

Bytes Frame(std::uint8_t command, const Bytes& payload) {
    wusb::FrameBuffer buffer;
    const std::uint32_t n = wusb::BuildFrame(command, payload.data(),
                                             static_cast<std::uint32_t>(payload.size()), buffer);
    return Bytes(buffer.begin(), buffer.begin() + n);
}

TEST(Dissector, ADamagedCrcIsShownAsAnErrorNotSkipped) {
    Bytes damaged = Frame('T', {'M'});
    damaged.back() ^= 0x01;
    Bytes damagedConfig = Frame('T', {'C', 2, 0xC0, 5, 3, 0x40, 0, 1, 0, 0xC7, 0xD4, 0x8A, 0xC8});
    const Bytes goodConfig = damagedConfig;
    damagedConfig[13] ^= 0x10;  // the record's CRC-32, with a CRC-16 that matches again
    damagedConfig = Frame('T', Bytes(damagedConfig.begin() + 3, damagedConfig.end() - 2));
    const std::string path = CraftedCapture(
        "damaged.pcapng", {Frame('O', {1}), damaged, goodConfig, damagedConfig, {1, 2, 3, 4, 5}});

    const TsharkResult r = TsharkFields(path, "trelvo",
                                        {"trelvo.cmd", "trelvo.crc_ok", "trelvo.config.crc32_ok",
                                         "_ws.expert.severity", "_ws.expert.message"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_EQ(r.rows.size(), 4u) << "bytes of another shape are not ours";
    EXPECT_EQ(r.rows[0][1], "1");
    EXPECT_EQ(r.rows[0][3], "");
    EXPECT_EQ(r.rows[1][1], "0");
    EXPECT_NE(r.rows[1][4].find("Bad CRC-16"), std::string::npos) << r.rows[1][4];
    EXPECT_EQ(r.rows[2][2], "1") << "the worked example's record CRC-32";
    EXPECT_EQ(r.rows[2][4], "");
    EXPECT_EQ(r.rows[3][1], "1");
    EXPECT_EQ(r.rows[3][2], "0");
    EXPECT_NE(r.rows[3][4].find("Bad record CRC-32"), std::string::npos) << r.rows[3][4];

    const TsharkResult errors =
        TsharkFields(path, "_ws.expert.severity == error", {"frame.number"});
    EXPECT_EQ(Column(errors, 0), (std::vector<std::string>{"2", "4"}));
}

// The programs' readings of a payload as the dissector words them, joined as tshark joins a
// repeated field.
std::string Readings(const Bytes& payload) {
    std::string joined;
    for (const wiegand::Interpretation& it :
         wiegand::Decode(payload.data(), payload.size()).formats) {
        std::string text = it.format->name + ":";
        if (it.facility) {
            text += " FC " + std::to_string(*it.facility) + ",";
        }
        if (it.company) {
            text += " CC " + std::to_string(*it.company) + ",";
        }
        text += " CN " + std::to_string(it.card) + ", parity " + it.ParityText();
        joined += (joined.empty() ? "" : ",") + text;
    }
    return joined;
}

Bytes Encoded(const char* format, std::uint64_t code, std::uint64_t card,
              wiegand::ParityChoice parity = wiegand::ParityChoice::Right) {
    return wiegand::EncodeReport(*wiegand::FindFormat(format), code, card, parity, true);
}

TEST(Dissector, ReportLinesAreTheTestTabsLines) {
    const std::vector<Bytes> payloads{
        {0x1A, 0xAB, 0xCD, 0xE0},
        {0x40, 0x70},
        {0x44, 0x87},
        {0x9C, 0x12, 0x34, 0x56, 0x78},
        {0xD4, 0x12, 0x12, 0x34, 0x56},
        {0xC0, 0x00},
        {0x96},
        {0x80},
        // Beyond the worked examples: long keys, one-byte kinds 1 and 3, both parities odd,
        // the largest report, an empty kind-0 run.
        {0x4C, 0xA5},
        {0x7F, 0xFF},
        {0x40},
        {0xC0},
        {0xF3, 0x33, 0xDE, 0xAD},
        Bytes{0x3F, 0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
              13,   14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25},
        {0x05},
        // Cards of every kind of reading: kind 3 frames judged by their format, both 37-bit
        // readings, the reader's own frames up to 64 bits, a flipped parity bit named alone.
        {0xD4, 0x32, 0x2A, 0x00, 0x45},
        {0xD4, 0x22, 0x2A, 0x00, 0x45},
        {0xDD, 0x02, 0xEE, 0x17, 0xFF, 0xFF, 0x80},
        {0xA1, 0x80, 0x15, 0x00, 0x04, 0x50},
        {0xDC, 0x12, 0x49, 0x96, 0x02, 0xD2},
        Encoded("C1000-48", 4194303, 1, wiegand::ParityChoice::WrongEnd),
        Encoded("64+2", 0, 0xFEDCBA9876543210),
        Encoded("D10202", 127, 16777215, wiegand::ParityChoice::WrongBegin),
        Encoded("C15001", 129, 9752)};
    std::vector<Bytes> frames;
    for (const Bytes& payload : payloads) {
        frames.push_back(Frame('W', payload));
    }
    const std::string path = CraftedCapture("reports.pcapng", frames);
    const TsharkResult r =
        TsharkFields(path, "trelvo", {"trelvo.report.text", "trelvo.report.reading"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_EQ(r.rows.size(), payloads.size()) << r.errors;
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        EXPECT_EQ(r.rows[i].at(0), uwieg::FormatReport(payloads[i].data(), payloads[i].size()))
            << "report " << i;
        EXPECT_EQ(r.rows[i].size() > 1 ? r.rows[i][1] : "", Readings(payloads[i]))
            << "report " << i;
    }
}

}  // namespace
}  // namespace capture_test
