// The tunnel 'T' and the reader commands carried by it.
#include <gtest/gtest.h>

#include "linked_device.h"
#include "uwieg/err.h"

namespace uwieg_test {
namespace {

class Tunnel : public LinkedDevice {
  protected:
    // Every tunnelled command is answered with `payload` (leading byte included).
    void AnswerTunnel(const Bytes& payload) { usb.AcknowledgeAll(payload); }

    template <typename F>
    std::uint32_t ProtocolErrorOf(F&& call) {
        try {
            call();
        } catch (const uwieg::UWiegErr& err) {
            return err.code;
        }
        ADD_FAILURE() << "no UWiegErr raised";
        return 99;
    }
};

TEST_F(Tunnel, AnswerOfTheExpectedLengthLosesOnlyItsLeadingByte) {
    for (const std::uint8_t leading : std::initializer_list<std::uint8_t>{0x00, 0xEE}) {
        AnswerTunnel({leading, 1, 2, 3, 4, 5, 6, 7, 8});
        std::array<std::uint8_t, 8> answer{};
        const std::uint8_t data[] = {0xAA, 0xBB};
        dev.Tunnel('M', data, 2, answer.data(), 8);
        EXPECT_EQ(answer, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(usb.written.back(), Frame('T', {'M', 0xAA, 0xBB}));
    }
}

TEST_F(Tunnel, AnswerOfAnotherLengthOrNoneLeavesTheBufferAlone) {
    const std::array<std::uint8_t, 8> untouched{9, 9, 9, 9, 9, 9, 9, 9};
    for (const auto& payload : {Bytes(8, 0x11), Bytes(10, 0x11)}) {
        AnswerTunnel(payload);
        auto answer = untouched;
        EXPECT_EQ(ProtocolErrorOf([&] { dev.Tunnel('M', nullptr, 0, answer.data(), 8); }), 0u);
        EXPECT_EQ(answer, untouched);
    }
    usb.AcknowledgeAll();  // the tunnel goes unanswered
    auto answer = untouched;
    EXPECT_EQ(ProtocolErrorOf([&] { dev.Tunnel('M', nullptr, 0, answer.data(), 8); }), 0u);
    EXPECT_EQ(answer, untouched);
}

TEST_F(Tunnel, RequestTooLongForOneFrameIsRefusedUnsent) {
    const Bytes data(1027, 0x55);
    std::uint8_t answer = 0;
    EXPECT_EQ(ProtocolErrorOf([&] { dev.Tunnel('Y', data.data(), 1027, &answer, 1); }), 0u);
    EXPECT_TRUE(usb.written.empty());

    // The largest request still fits: reader command plus 1026 data bytes.
    AnswerTunnel({0, 0});
    dev.TunnelStatus('Y', data.data(), 1026);
    ASSERT_EQ(usb.written.size(), 1u);
    EXPECT_EQ(usb.written[0].size(), 1032u);
}

TEST_F(Tunnel, StatusAnswers) {
    AnswerTunnel({0x7F, 0x00});
    dev.TunnelStatus('C', nullptr, 0);

    AnswerTunnel({0x00, 0x01});
    EXPECT_EQ(ProtocolErrorOf([&] { dev.TunnelStatus('C', nullptr, 0); }), 1u);
    for (const auto& payload : {Bytes{0x00}, Bytes{0x00, 0x00, 0x00}}) {
        AnswerTunnel(payload);
        EXPECT_EQ(ProtocolErrorOf([&] { dev.TunnelStatus('C', nullptr, 0); }), 0u);
    }
}

TEST_F(Tunnel, IdentifyStoresTheIdentityAndKeepsItOnFailure) {
    AnswerTunnel({0xA5, 0x39, 0x30, 0x15, 0x00, 0x0C, 0x00, 0x34, 0x12});
    dev.Identify();
    EXPECT_EQ(usb.written.back(), (Bytes{0x06, 0x00, 0x54, 0x4D, 0xFE, 0x59}));
    EXPECT_EQ(dev.identityWord, 0x00153039u);
    EXPECT_EQ(dev.firmwareVersion, 12);
    EXPECT_EQ(dev.extraWord, 0x1234);

    AnswerTunnel({0x00, 0x01, 0x02});
    EXPECT_THROW(dev.Identify(), uwieg::UWiegErr);
    EXPECT_EQ(dev.identityWord, 0x00153039u);
    EXPECT_EQ(dev.firmwareVersion, 12);
    EXPECT_EQ(dev.extraWord, 0x1234);
}

TEST_F(Tunnel, ReadConfigFillsTheRecordOnlyOnSuccess) {
    AnswerTunnel({0x00, 0x02, 0xC0, 0x05, 0x03, 0x40, 0x00, 0x01, 0x00});
    uwieg::ReaderConfig record{};
    dev.ReadConfig(record);
    EXPECT_EQ(usb.written.back(), (Bytes{0x06, 0x00, 0x54, 0x63, 0x7E, 0x45}));
    EXPECT_EQ(record, (uwieg::ReaderConfig{0x02, 0xC0, 0x05, 0x03, 0x40, 0x00, 0x01, 0x00}));

    AnswerTunnel(Bytes(10, 0xFF));
    EXPECT_THROW(dev.ReadConfig(record), uwieg::UWiegErr);
    EXPECT_EQ(record, (uwieg::ReaderConfig{0x02, 0xC0, 0x05, 0x03, 0x40, 0x00, 0x01, 0x00}));
}

TEST_F(Tunnel, WriteConfigSendsTheRecordWithItsCrc) {
    AnswerTunnel({0x00, 0x00});
    const uwieg::ReaderConfig record{0x02, 0xC0, 0x05, 0x03, 0x40, 0x00, 0x01, 0x00};
    dev.WriteConfig(record);
    const Bytes expected{0x12, 0x00, 0x54, 0x43, 0x02, 0xC0, 0x05, 0x03, 0x40,
                         0x00, 0x01, 0x00, 0xC7, 0xD4, 0x8A, 0xC8, 0x83, 0xB5};
    EXPECT_EQ(usb.written.back(), expected);

    AnswerTunnel({0x00, 0x03});
    EXPECT_EQ(ProtocolErrorOf([&] { dev.WriteConfig(record); }), 1u);
}

}  // namespace
}  // namespace uwieg_test
