#include "cli_fixture.h"

#include "cli/run.h"
#include "cli/terminal.h"

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
