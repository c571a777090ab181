#include "tests/upgrade/rig.h"

#include <stdexcept>

#include "uwieg/session.h"

namespace upgrade_test {

bool RecordingPlatform::WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                                  std::uint32_t length, std::uint32_t& transferred) {
    SentFrame frame{Bytes(buffer, buffer + length), clock_.Now()};
    std::string entry(1, static_cast<char>(frame.command()));
    if (frame.command() == 'T' && length > 5) {
        entry = std::string(1, static_cast<char>(frame.readerCommand()));
        if (frame.readerCommand() == 'Y' && length >= 8) {
            entry += std::to_string(frame.bytes[4] | (frame.bytes[5] << 8));
        }
    }
    timeline_.push_back(entry);
    sent.push_back(std::move(frame));
    return inner().WritePipe(usb, pipeId, buffer, length, transferred);
}

void RecordingView::SetUpgradeLabelVisible(bool visible) {
    labelVisible = visible;
    timeline_.push_back(visible ? "label+" : "label-");
}

void RecordingView::SetProgressMaximum(int maximum) {
    progressMaximum = maximum;
    timeline_.push_back("max" + std::to_string(maximum));
}

void RecordingView::SetProgressPosition(int position) {
    progressPosition = position;
    timeline_.push_back("pos" + std::to_string(position));
}

void RecordingView::SetProgressVisible(bool visible) {
    progressVisible = visible;
    timeline_.push_back(visible ? "bar+" : "bar-");
}

void RecordingView::ReaderReconnected() {
    ++reconnects;
    timeline_.push_back("reconnected");
}

void RecordingDialogs::ShowError(const std::string& text) {
    errors.push_back(text);
    timeline_.push_back("error");
}

bool RecordingDialogs::AskYesNo(const std::string& text, const std::string& caption) {
    questions.push_back({text, caption});
    timeline_.push_back("ask");
    if (answers.empty()) {
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingDialogs::ShowMessage(const std::string& text) {
    messages.push_back(text);
    timeline_.push_back("message");
}

Rig::Rig(int typeNumber, std::uint16_t firmwareVersion, std::uint16_t readerNumber) {
    reader().typeNumber = typeNumber;
    reader().firmwareVersion = firmwareVersion;
    reader().readerNumber = readerNumber;
    simPlatform.Plug(simDevice);
    if (!uwieg::OpenInterface(table, dev, dialogs)) {
        throw std::runtime_error("the simulated interface was not found");
    }
    uwieg::ConnectReader(dev);
    Forget();
}

std::vector<SentFrame> Rig::Tunnelled(std::uint8_t readerCommand) const {
    std::vector<SentFrame> frames;
    for (const SentFrame& frame : platform.sent) {
        if (frame.command() == 'T' && frame.bytes.size() > 5 &&
            frame.readerCommand() == readerCommand) {
            frames.push_back(frame);
        }
    }
    return frames;
}

void Rig::Forget() {
    timeline.clear();
    platform.sent.clear();
}

}  // namespace upgrade_test
