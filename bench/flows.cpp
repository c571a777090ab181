#include "bench/flows.h"

#include <stdexcept>

#include "uwieg/session.h"

namespace bench {
namespace {

constexpr std::uint16_t kCurrentFirmware = 2;  // the version every built-in image installs
constexpr std::uint16_t kOldFirmware = 1;

// Blocks of each type's built-in image, from the image table.
int BlockCount(int typeNumber) {
    switch (typeNumber) {
        case 41:
            return 13;
        case 43:
            return 16;
        case 51:
            return 15;
        case 53:
            return 18;
        default:
            throw std::invalid_argument("no upgrade image for type " + std::to_string(typeNumber));
    }
}

void Open(FlowSession& s) {
    if (!uwieg::OpenInterface(s.list, s.dev, s.dialogs)) {
        throw std::runtime_error("no interface found");
    }
}

// The window's read: connect, offer the upgrade, read the record, close the channel.
void ReadFlow(FlowSession& s) {
    Open(s);
    uwieg::ConnectReader(s.dev);
    uwieg::UpgrCheck(s.dev, s.dialogs, s.view);
    s.dev.ReadConfig(s.config);
    s.dev.CloseChannel();
}

void OpenTestTab(FlowSession& s) {
    Open(s);
    s.dev.OpenChannel(0);
}

std::string RecordMatches(const FlowSession& s, const sim::SimInterface& sim) {
    return s.config == sim.reader().config ? "" : "the record read differs from the reader's";
}

std::vector<std::string> ReadCommands() {
    return {"O", "T/M", "T/c", "o"};
}

FlowSpec UpgradeFlow(int typeNumber) {
    std::vector<std::string> commands{"O", "T/M", "T/Z"};
    commands.insert(commands.end(), static_cast<std::size_t>(BlockCount(typeNumber)), "T/Y");
    for (const char* c : {"T/y", "T/z", "o", "O", "T/M", "T/c", "o"}) {
        commands.emplace_back(c);
    }
    FlowSpec flow;
    flow.name = "full upgrade, type " + std::to_string(typeNumber);
    flow.floorMs = kAfterOpenWaitMs + kAfterUpgradeWaitMs + kQuietWaitMs + kAfterOpenWaitMs;
    flow.commands = commands;
    flow.setReader = [typeNumber](sim::ReaderModel& r) {
        r.typeNumber = typeNumber;
        r.firmwareVersion = kOldFirmware;
    };
    flow.run = ReadFlow;
    flow.check = [](const FlowSession& s, const sim::SimInterface& sim) -> std::string {
        // The reader started on older firmware: only a finished upgrade brings it current.
        if (sim.reader().firmwareVersion != kCurrentFirmware ||
            s.dev.firmwareVersion != kCurrentFirmware) {
            return "the reader was not upgraded";
        }
        return RecordMatches(s, sim);
    };
    return flow;
}

}  // namespace

void YesDialogs::ShowError(const std::string& text) {
    throw std::runtime_error("error box: " + text);
}

void YesDialogs::ShowMessage(const std::string& text) {
    throw std::runtime_error("message box: " + text);
}

FlowSession::FlowSession(wusb::Platform& platform, wusb::Clock& clock)
    : list(platform, uwieg::kInterfaceGuid), dev(clock) {}

std::string CommandText(const sim::SimInterface::Received& command) {
    std::string text(1, static_cast<char>(command.command));
    if (command.command == 'T' && !command.payload.empty()) {
        text += '/';
        text += static_cast<char>(command.payload[0]);
    }
    return text;
}

std::vector<FlowSpec> StandardFlows(const std::vector<int>& upgradeTypes) {
    std::vector<FlowSpec> flows;

    FlowSpec startup;
    startup.name = "start-up read";
    startup.floorMs = kAfterOpenWaitMs;
    startup.commands = ReadCommands();
    startup.run = ReadFlow;
    startup.check = RecordMatches;
    flows.push_back(startup);

    // Returning from the test tab finds the channel open: the quiet-period close comes first.
    FlowSpec afterTest = startup;
    afterTest.name = "read after the test tab";
    afterTest.floorMs = kQuietWaitMs + kAfterOpenWaitMs;
    afterTest.commands.insert(afterTest.commands.begin(), "o");
    afterTest.prepare = OpenTestTab;
    flows.push_back(afterTest);

    FlowSpec write;
    write.name = "write";
    write.floorMs = kAfterOpenWaitMs;
    write.commands = {"O", "T/M", "T/C", "o"};
    write.run = [](FlowSession& s) {
        // A record other than the reader's, so that taking it is visible.
        s.config = {2, 0x80, 7, 0x01, 0x65, 1, 2, 0};
        Open(s);
        uwieg::ConnectReader(s.dev);
        s.dev.WriteConfig(s.config);
        s.dev.CloseChannel();
    };
    write.check = [](const FlowSession& s, const sim::SimInterface& sim) -> std::string {
        return sim.reader().config == s.config ? "" : "the reader did not take the record";
    };
    flows.push_back(write);

    for (int type : upgradeTypes) {
        flows.push_back(UpgradeFlow(type));
    }

    FlowSpec testTab;
    testTab.name = "test-tab open";
    testTab.floorMs = 0;
    testTab.commands = {"O"};
    testTab.run = OpenTestTab;
    testTab.check = [](const FlowSession&, const sim::SimInterface& sim) -> std::string {
        return sim.channelOpen() && sim.channelMode() == 0 ? "" : "the channel is not open";
    };
    flows.push_back(testTab);

    FlowSpec poll;
    poll.name = "test-tab tick, idle reader";
    poll.floorMs = kPollTimeoutWaitMs;
    poll.polls = 1;
    poll.prepare = OpenTestTab;
    poll.run = [](FlowSession& s) {
        std::uint8_t buffer[32];
        if (s.dev.PollReport(buffer) != 0) {
            throw std::runtime_error("a report from an idle reader");
        }
    };
    flows.push_back(poll);

    for (FlowSpec& flow : flows) {
        if (!flow.setReader) {
            flow.setReader = [](sim::ReaderModel& r) { r.firmwareVersion = kCurrentFirmware; };
        }
    }
    return flows;
}

}  // namespace bench
