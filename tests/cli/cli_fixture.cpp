#include "cli_fixture.h"

#include "cli/run.h"
#include "cli/terminal.h"
#include "sim/wire.h"
#include "wusb/crc.h"
#include "wusb/le_bytes.h"

namespace cli_test {

bool ScriptedTerminal::AskYesNo(const std::string& question) {
    questions.push_back(question);
    if (answers.empty()) {
        return false;
    }
    const std::string answer = answers.front();
    answers.pop_front();
    return cli::IsYes(answer);
}

bool AlteringPlatform::WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                                 std::uint32_t length, std::uint32_t& transferred) {
    std::optional<sim::HostFrame> frame = sim::ParseHostFrame(buffer, length);
    if (!frame || frame->command != 'T' || frame->payload.size() != 13 ||
        frame->payload[0] != 'C') {
        return ForwardingPlatform::WritePipe(usb, pipeId, buffer, length, transferred);
    }
    std::uint8_t* record = &frame->payload[1];
    record[4] ^= 0x10;
    wusb::WriteLe32(record + 8, wusb::Crc32(record, 8, 0xFFFFFFFF));
    const std::vector<std::uint8_t> altered = sim::MakeFrame('T', frame->payload);
    std::uint32_t moved = 0;
    const bool ok = ForwardingPlatform::WritePipe(
        usb, pipeId, altered.data(), static_cast<std::uint32_t>(altered.size()), moved);
    transferred = ok ? length : 0;
    return ok;
}

CliBench::CliBench() {
    simulated.Plug(simReader);
}

RunResult CliBench::Run(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"trelvo-cli"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    std::ostringstream out;
    std::ostringstream err;
    cli::Environment environment{platforms, clock, out, err, terminal, interrupt, files};
    RunResult result;
    result.code = cli::RunCli(static_cast<int>(argv.size()), argv.data(), environment);
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::shared_ptr<sim::SimInterface> CliBench::PlugUsb(const std::string& serial) {
    auto iface = std::make_shared<sim::SimInterface>();
    sim::SimDeviceInfo info;
    info.usb.serialNumber = serial;
    usb.Plug(iface, info);
    return iface;
}

std::string CliBench::Wire(const sim::SimInterface& iface) {
    std::string text;
    for (const auto& r : iface.received()) {
        text += static_cast<char>(r.command);
        if (r.command == 'T' && !r.payload.empty()) {
            text += static_cast<char>(r.payload[0]);
        }
        text += ' ';
    }
    return text;
}

}  // namespace cli_test
