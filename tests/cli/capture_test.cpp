// --capture: the commands' wire recorded to a pcapng file through the files seam.
#include "cli_fixture.h"
#include "tests/capture/pcapng_reader.h"

namespace cli_test {
namespace {

using Capture = CliBench;

// "out:4F in:CF ..." for every packet that carries a frame.
std::string Frames(const std::string& file) {
    std::string text;
    for (const capture_test::ReadPacket& packet : capture_test::Packets(file)) {
        if (packet.data.size() > 2) {
            text += (packet.endpoint & 0x80 ? "in:" : "out:") +
                    std::string(1, static_cast<char>(packet.data[2] & 0x7F)) + ' ';
        }
    }
    return text;
}

TEST_F(Capture, RecordsTheCommandsWireOnTheChosenInterface) {
    PlugUsb("00C0FFEE");
    const RunResult r = Run({"--capture", "wire.pcapng", "info"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string file = files.Content("wire.pcapng");
    EXPECT_EQ(Frames(file), "out:O in:O out:T in:T out:o in:o ");
    std::string interfaces;
    for (const capture_test::ReadBlock& block : capture_test::ReadBlocks(file)) {
        if (block.type == 1) {
            interfaces += capture_test::OptionText(block.body, 8, 3);
        }
    }
    EXPECT_EQ(interfaces, "USB-Wiegand interface, serial number 00C0FFEE");

    // The option after the command, on the simulator, into the same file: a second section.
    ASSERT_EQ(Run({"info", "--sim", "--capture", "wire.pcapng"}).code, 0);
    int sections = 0;
    for (const capture_test::ReadBlock& block :
         capture_test::ReadBlocks(files.Content("wire.pcapng"))) {
        sections += block.type == 0x0A0D0D0A ? 1 : 0;
    }
    EXPECT_EQ(sections, 2);
}

TEST_F(Capture, AFileThatIsNoCaptureIsRefusedBeforeAnythingIsSent) {
    files.Put("notes.txt", "field notes\n");
    const RunResult r = Run({"--sim", "--capture", "notes.txt", "info"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("notes.txt"), std::string::npos) << r.err;
    EXPECT_EQ(files.Content("notes.txt"), "field notes\n");
    EXPECT_TRUE(simReader->received().empty());
}

TEST_F(Capture, ACaptureThatStopsIsReportedAndTheCommandStillCompletes) {
    // The section header and the interface description go through; the first packet fails.
    files.FailAt(trelvo_test::MemoryFiles::Step::kWrite, 3);
    const RunResult r = Run({"--sim", "--capture", "wire.pcapng", "info"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("KV-T51X"), std::string::npos);
    EXPECT_NE(r.err.find("zapis ruchu USB przerwany"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace cli_test
