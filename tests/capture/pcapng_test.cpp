// The capture's building blocks byte by byte: what capture readers rely on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pcapng_reader.h"
#include "wusb/capture/capture_platform.h"
#include "wusb/capture/pcapng.h"
#include "wusb/capture/usbmon.h"

namespace capture_test {
namespace {

using wusb::capture::Block;

std::string Text(const Block& block) {
    return {block.begin(), block.end()};
}

TEST(Pcapng, SectionHeaderNamesTheProgramInWholeWords) {
    const Block shb = wusb::capture::SectionHeaderBlock("trelvo-cli 2.1.0");
    ASSERT_EQ(shb.size() % 4, 0u);
    const std::vector<ReadBlock> blocks = ReadBlocks(Text(shb));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].type, 0x0A0D0D0Au);
    EXPECT_EQ(wusb::ReadLe32(blocks[0].body.data()), 0x1A2B3C4Du);
    EXPECT_EQ(wusb::ReadLe16(&blocks[0].body[4]), 1);  // version 1.0
    EXPECT_EQ(wusb::ReadLe16(&blocks[0].body[6]), 0);
    // Section length unknown (-1), then shb_userappl (4).
    EXPECT_EQ(wusb::ReadLe32(&blocks[0].body[8]), 0xFFFFFFFFu);
    EXPECT_EQ(wusb::ReadLe32(&blocks[0].body[12]), 0xFFFFFFFFu);
    EXPECT_EQ(OptionText(blocks[0].body, 16, 4), "trelvo-cli 2.1.0");
}

TEST(Pcapng, InterfaceDescriptionCarriesLinkTypeNameAndDescription) {
    const Block idb =
        wusb::capture::InterfaceDescriptionBlock(220, "usb-wiegand-0001A2F3", "serial 0001A2F3");
    const std::vector<ReadBlock> blocks = ReadBlocks(Text(idb));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].type, 1u);
    EXPECT_EQ(wusb::ReadLe16(blocks[0].body.data()), 220);
    EXPECT_EQ(OptionText(blocks[0].body, 8, 2), "usb-wiegand-0001A2F3");
    EXPECT_EQ(OptionText(blocks[0].body, 8, 3), "serial 0001A2F3");
}

TEST(Pcapng, PacketIsPaddedAndItsTimeSplitsIntoTwoWords) {
    const std::vector<std::uint8_t> packet{1, 2, 3, 4, 5};
    const std::int64_t micros = 0x123456789ABLL;
    const Block epb = wusb::capture::EnhancedPacketBlock(2, micros, packet);
    EXPECT_EQ(epb.size(), 12u + 20u + 8u);  // 5 data bytes padded to 8
    const std::vector<ReadBlock> blocks = ReadBlocks(Text(epb));
    ASSERT_EQ(blocks.size(), 1u);
    const auto& body = blocks[0].body;
    EXPECT_EQ(blocks[0].type, 6u);
    EXPECT_EQ(wusb::ReadLe32(&body[0]), 2u);
    EXPECT_EQ(wusb::ReadLe32(&body[4]), 0x123u);
    EXPECT_EQ(wusb::ReadLe32(&body[8]), 0x456789ABu);
    EXPECT_EQ(wusb::ReadLe32(&body[12]), 5u);
    EXPECT_EQ(wusb::ReadLe32(&body[16]), 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(body.begin() + 20, body.begin() + 25), packet);
    // A clock before the epoch is stored as time 0 rather than as a huge unsigned time.
    const Block early = wusb::capture::EnhancedPacketBlock(0, -5, packet);
    EXPECT_EQ(wusb::ReadLe32(&early[12]), 0u);
    EXPECT_EQ(wusb::ReadLe32(&early[16]), 0u);
}

TEST(Pcapng, OnlyAFileEndingInAWholeKnownBlockCanTakeANewSection) {
    Block file = wusb::capture::SectionHeaderBlock("x");
    const Block epb = wusb::capture::EnhancedPacketBlock(0, 1, std::vector<std::uint8_t>{7});
    file.insert(file.end(), epb.begin(), epb.end());
    EXPECT_TRUE(wusb::capture::EndsWithWholeBlock(file));
    EXPECT_EQ(wusb::capture::TrailingBlockLength(file), epb.size());

    Block cut(file.begin(), file.end() - 1);
    EXPECT_FALSE(wusb::capture::EndsWithWholeBlock(cut));
    Block unknownType = epb;
    unknownType[0] = 0x77;
    EXPECT_FALSE(wusb::capture::EndsWithWholeBlock(unknownType));
    Block disagreeing = epb;
    disagreeing[4] ^= 4;  // leading length no longer equals the trailing one
    EXPECT_FALSE(wusb::capture::EndsWithWholeBlock(disagreeing));
    const std::string text = "hello, world\n";
    EXPECT_FALSE(wusb::capture::EndsWithWholeBlock(
        {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
    EXPECT_FALSE(wusb::capture::EndsWithWholeBlock({}));
}

TEST(Usbmon, HeaderTellsDirectionEndpointOutcomeAndCarriesTheData) {
    const std::vector<std::uint8_t> frame{0x06, 0x00, 0xCF, 0x00, 0x55, 0x5C};
    wusb::capture::UsbmonEvent event;
    event.id = 0x0102030405060708ULL;
    event.event = wusb::capture::UrbEvent::Complete;
    event.endpoint = 0x81;
    event.device = 3;
    event.bus = 1;
    event.microseconds = 1'700'000'000'123'456LL;
    event.status = 0;
    event.length = 6;
    event.data = frame;
    const std::vector<std::uint8_t> p = wusb::capture::UsbmonPacket(event);
    ASSERT_EQ(p.size(), 64u + 6u);
    EXPECT_EQ(wusb::ReadLe32(&p[0]), 0x05060708u);
    EXPECT_EQ(wusb::ReadLe32(&p[4]), 0x01020304u);
    EXPECT_EQ(p[8], 'C');
    EXPECT_EQ(p[9], 3);  // bulk
    EXPECT_EQ(p[10], 0x81);
    EXPECT_EQ(p[11], 3);
    EXPECT_EQ(wusb::ReadLe16(&p[12]), 1);
    EXPECT_EQ(p[14], '-');  // no setup packet
    EXPECT_EQ(p[15], 0);    // data present
    EXPECT_EQ(wusb::ReadLe32(&p[16]), 1'700'000'000u);
    EXPECT_EQ(wusb::ReadLe32(&p[24]), 123'456u);
    EXPECT_EQ(wusb::ReadLe32(&p[28]), 0u);
    EXPECT_EQ(wusb::ReadLe32(&p[32]), 6u);
    EXPECT_EQ(wusb::ReadLe32(&p[36]), 6u);
    EXPECT_EQ(wusb::ReadLe32(&p[56]), 0x200u);  // an IN transfer
    EXPECT_EQ(std::vector<std::uint8_t>(p.begin() + 64, p.end()), frame);
}

TEST(Usbmon, EventsWithoutDataSayWhyAndTimesBeforeTheEpochFloor) {
    wusb::capture::UsbmonEvent read;
    read.event = wusb::capture::UrbEvent::Submit;
    read.endpoint = 0x81;
    read.status = wusb::capture::kUrbInProgress;
    read.length = 1032;
    read.microseconds = -1;  // 1 µs before the epoch: second -1, 999999 µs
    const std::vector<std::uint8_t> p = wusb::capture::UsbmonPacket(read);
    ASSERT_EQ(p.size(), 64u);
    EXPECT_EQ(p[15], '<');
    EXPECT_EQ(static_cast<std::int32_t>(wusb::ReadLe32(&p[28])), -115);
    EXPECT_EQ(wusb::ReadLe32(&p[32]), 1032u);
    EXPECT_EQ(wusb::ReadLe32(&p[36]), 0u);
    EXPECT_EQ(wusb::ReadLe32(&p[16]), 0xFFFFFFFFu);
    EXPECT_EQ(wusb::ReadLe32(&p[20]), 0xFFFFFFFFu);
    EXPECT_EQ(wusb::ReadLe32(&p[24]), 999'999u);

    wusb::capture::UsbmonEvent written;
    written.event = wusb::capture::UrbEvent::Complete;
    written.endpoint = 0x02;
    const std::vector<std::uint8_t> q = wusb::capture::UsbmonPacket(written);
    EXPECT_EQ(q[15], '>');
    EXPECT_EQ(wusb::ReadLe32(&q[56]), 0u);  // OUT
}

std::vector<std::uint8_t> Descriptor(const std::u16string& text, std::size_t extra = 0) {
    std::vector<std::uint8_t> d{static_cast<std::uint8_t>(2 + 2 * text.size()), 3};
    for (char16_t unit : text) {
        d.push_back(static_cast<std::uint8_t>(unit));
        d.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    d.insert(d.end(), extra, 0x41);
    return d;
}

TEST(SerialText, StringDescriptorsBecomeUtf8WithinTheirOwnLength) {
    EXPECT_EQ(wusb::capture::StringDescriptorText(Descriptor(u"0001A2F3")), "0001A2F3");
    // Bytes behind the descriptor's own length are not text.
    EXPECT_EQ(wusb::capture::StringDescriptorText(Descriptor(u"AB", 4)), "AB");
    EXPECT_EQ(wusb::capture::StringDescriptorText(Descriptor(u"Łódź")), "Łódź");
    EXPECT_EQ(wusb::capture::StringDescriptorText(Descriptor(u"\U0001F600")), "\U0001F600");
    EXPECT_EQ(wusb::capture::StringDescriptorText(Descriptor(std::u16string(1, char16_t{0xD800}))),
              "\uFFFD");
    // A length byte larger than what arrived, or a lone half unit, reads no further.
    std::vector<std::uint8_t> cut = Descriptor(u"ABC");
    cut.resize(cut.size() - 1);
    EXPECT_EQ(wusb::capture::StringDescriptorText(cut), "AB");
    EXPECT_EQ(wusb::capture::StringDescriptorText({}), "");
}

}  // namespace
}  // namespace capture_test
