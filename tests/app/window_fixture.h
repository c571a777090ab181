// A main window on the simulated interface, a fake clock whose sleeps can be watched, and
// dialogs that record what was shown and answer questions from a script.
#pragma once

#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Wmain.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "tests/support/memory_files.h"
#include "uwieg/dialogs.h"
#include "uwieg/session.h"
#include "wusb/clock.h"
#include "wusb/device.h"

class RecordingDialogs final : public uwieg::Dialogs {
  public:
    struct Shown {
        enum Kind { Error, Question, Message, OpenFile, SaveFile } kind;
        std::string text;  // a file chooser's filter
        std::string caption;
        std::string suggestedName = {};
    };

    void ShowError(const std::string& text) override { Record({Shown::Error, text, {}}); }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        Record({Shown::Question, text, caption});
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowMessage(const std::string& text) override { Record({Shown::Message, text, {}}); }
    std::optional<std::string> ChooseFileToOpen(const uwieg::FileQuestion& question) override {
        return AnswerFile(Shown::OpenFile, question);
    }
    std::optional<std::string> ChooseFileToSave(const uwieg::FileQuestion& question) override {
        return AnswerFile(Shown::SaveFile, question);
    }

    std::vector<std::string> Errors() const {
        std::vector<std::string> texts;
        for (const Shown& s : shown) {
            if (s.kind == Shown::Error) {
                texts.push_back(s.text);
            }
        }
        return texts;
    }

    std::vector<Shown> shown;
    std::deque<bool> answers;                            // for AskYesNo, in order; No when empty
    std::deque<std::optional<std::string>> fileAnswers;  // for the choosers; cancel when empty
    std::function<void()> onShown;                       // runs while a box "is open"

  private:
    std::optional<std::string> AnswerFile(Shown::Kind kind, const uwieg::FileQuestion& q) {
        Record({kind, q.filter, q.caption, q.suggestedName});
        if (fileAnswers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
    void Record(Shown s) {
        shown.push_back(std::move(s));
        if (onShown) {
            onShown();
        }
    }
};

class WatchedClock final : public wusb::Clock {
  public:
    wusb::TimeStamp Now() override { return fake.Now(); }
    wusb::Instant Monotonic() override { return fake.Monotonic(); }
    void Sleep(std::uint32_t milliseconds) override {
        if (onSleep) {
            onSleep(milliseconds);
        }
        fake.Sleep(milliseconds);
    }

    wusb::FakeClock fake;
    std::function<void(std::uint32_t)> onSleep;
};

// Counts the paint events of the widgets it is installed on.
struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

inline const std::string kNoInterface = "Nie znaleziono interface'u USB-Wiegand.";
inline const std::string kNotResponding = "Czytnik nie odpowiada.";
inline const std::string kCommFailure = "Błąd komunikacji z interfacem USB-Wiegand.";

class WindowTest : public ::testing::Test {
  protected:
    void TearDown() override {
        win.reset();
        list.reset();
    }

    void Plug() { deviceNumber = platform.Plug(iface); }
    sim::ReaderModel& reader() { return iface->reader(); }

    // Builds and shows the window (the first show of the configuration tab reads nothing).
    // The start-up timer is left to the test: StartUp() runs its tick directly.
    void Create(bool show = true) {
        win.reset();
        list = std::make_unique<wusb::WUsbDevTab>(platform, uwieg::kInterfaceGuid);
        win = std::make_unique<TMainWin>(*list, clock, dialogs, files);
        if (show) {
            win->show();
        }
    }
    void StartUp() { win->UpgrTimerTimer(); }
    void ShowTestTab() { win->PageControl1->setCurrentIndex(1); }
    void ShowConfigTab() { win->PageControl1->setCurrentIndex(0); }

    // The interface commands received so far, as their letters.
    std::string Commands() const {
        std::string letters;
        for (const auto& r : iface->received()) {
            letters += static_cast<char>(r.command);
        }
        return letters;
    }
    // The reader commands carried by 'T', as their letters.
    std::string ReaderCommands() const {
        std::string letters;
        for (const auto& r : iface->received()) {
            if (r.command == 'T' && !r.payload.empty()) {
                letters += static_cast<char>(r.payload[0]);
            }
        }
        return letters;
    }
    // The payload of the last 'T' carrying `readerCommand`, without the command byte.
    sim::Bytes LastTunnelData(char readerCommand) const {
        const auto& all = iface->received();
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            if (it->command == 'T' && !it->payload.empty() && it->payload[0] == readerCommand) {
                return sim::Bytes(it->payload.begin() + 1, it->payload.end());
            }
        }
        return {};
    }

    WatchedClock clock;
    sim::SimPlatform platform{clock};
    std::shared_ptr<sim::SimInterface> iface = std::make_shared<sim::SimInterface>();
    int deviceNumber = -1;
    RecordingDialogs dialogs;
    trelvo_test::MemoryFiles files;
    std::unique_ptr<wusb::WUsbDevTab> list;
    std::unique_ptr<TMainWin> win;
};
