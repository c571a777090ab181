// A linked interface with a simulated reader behind it, on a fake clock, with one timeline that
// interleaves what went over the wire, what the view was told and which dialogs were shown.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "sim/device.h"
#include "sim/platform.h"
#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "uwieg/upgrade.h"
#include "wusb/clock.h"
#include "wusb/device.h"
#include "wusb/forwarding_platform.h"

namespace upgrade_test {

using Bytes = std::vector<std::uint8_t>;
using Timeline = std::vector<std::string>;

struct SentFrame {
    Bytes bytes;
    wusb::TimeStamp at;
    std::uint8_t command() const { return bytes.at(2); }
    // For a tunnel frame: the reader command and its data, without the frame's CRC.
    std::uint8_t readerCommand() const { return bytes.at(3); }
    Bytes readerData() const { return Bytes(bytes.begin() + 4, bytes.end() - 2); }
};

// Passes everything to the simulator and notes every OUT transfer.
class RecordingPlatform final : public wusb::ForwardingPlatform {
  public:
    RecordingPlatform(wusb::Platform& inner, wusb::Clock& clock, Timeline& timeline)
        : ForwardingPlatform(inner), clock_(clock), timeline_(timeline) {}

    std::vector<SentFrame> sent;

    bool WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override;

  private:
    wusb::Clock& clock_;
    Timeline& timeline_;
};

class RecordingView final : public uwieg::UpgradeView {
  public:
    explicit RecordingView(Timeline& timeline) : timeline_(timeline) {}

    bool labelVisible = false;
    bool progressVisible = false;
    int progressMaximum = -1;
    int progressPosition = -1;
    int reconnects = 0;

    void SetUpgradeLabelVisible(bool visible) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetProgressVisible(bool visible) override;
    void ReaderReconnected() override;

  private:
    Timeline& timeline_;
};

class RecordingDialogs final : public uwieg::Dialogs {
  public:
    explicit RecordingDialogs(Timeline& timeline) : timeline_(timeline) {}

    std::deque<bool> answers;  // Yes/No answers to give; "No" once they run out
    struct Question {
        std::string text;
        std::string caption;
    };
    std::vector<Question> questions;
    std::vector<std::string> messages;
    std::vector<std::string> errors;

    void ShowError(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text) override;

  private:
    Timeline& timeline_;
};

// The interface linked, the reader connected, and the timeline cleared, ready for UpgrCheck.
class Rig {
  public:
    Rig(int typeNumber, std::uint16_t firmwareVersion, std::uint16_t readerNumber = 42);

    wusb::FakeClock clock;
    Timeline timeline;
    std::shared_ptr<sim::SimInterface> simDevice = std::make_shared<sim::SimInterface>();
    sim::SimPlatform simPlatform{clock};
    RecordingPlatform platform{simPlatform, clock, timeline};
    wusb::WUsbDevTab table{platform, sim::kUsbWiegandClass};
    uwieg::UWiegDev dev{clock};
    RecordingView view{timeline};
    RecordingDialogs dialogs{timeline};

    sim::ReaderModel& reader() { return simDevice->reader(); }
    // Frames sent since the reader was connected.
    const std::vector<SentFrame>& sent() const { return platform.sent; }
    // The tunnel frames among them that carry `readerCommand`.
    std::vector<SentFrame> Tunnelled(std::uint8_t readerCommand) const;
    void Forget();
};

}  // namespace upgrade_test
