// The Link's pipe discovery over arbitrary interface settings. Input: bNumEndpoints, the number
// of pipes the device answers for, then two bytes per pipe (type, endpoint address).
#include <optional>

#include "fuzz/support/check.h"
#include "fuzz/support/input.h"
#include "fuzz/support/scripted_platform.h"
#include "wusb/device.h"
#include "wusb/err.h"
#include "wusb/guid.h"

namespace {

struct Outcome {
    std::int32_t code = -1;  // -1: linked
    std::uint8_t in = 0;
    std::uint8_t out = 0;
};

// What the pipe rules make of these pipes, queried in order until one fails or breaks a rule.
Outcome Expected(std::uint8_t endpoints, const std::vector<wusb::PipeInfo>& pipes) {
    std::optional<std::uint8_t> in;
    std::optional<std::uint8_t> out;
    for (std::size_t i = 0; i < endpoints; ++i) {
        if (i >= pipes.size()) {
            return {4};
        }
        if (pipes[i].type != wusb::PipeType::Bulk) {
            continue;
        }
        auto& slot = (pipes[i].pipeId & 0x80) != 0 ? in : out;
        if (slot) {
            return {&slot == &in ? 8 : 9};
        }
        slot = pipes[i].pipeId;
    }
    if (!in) {
        return {6};
    }
    if (!out) {
        return {7};
    }
    return {-1, *in, *out};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t endpoints = input.U8();
    const std::size_t answered = input.U8() % 9;

    fuzz::ScriptedPlatform platform;
    platform.pipes.clear();
    for (std::size_t i = 0; i < answered; ++i) {
        const auto type = static_cast<wusb::PipeType>(input.U8() % 4);
        platform.pipes.push_back({type, input.U8(), 64, 0});
    }
    platform.endpointCount = endpoints;

    wusb::WUsbDevTab table(platform, wusb::kLinkLayerGuid);
    FUZZ_CHECK(table.Enumerate() == 1);
    wusb::WUsbDev dev;
    std::int32_t code = -1;
    try {
        dev.Link(table, 0);
    } catch (const wusb::WUsbErr& err) {
        FUZZ_CHECK(err.command == 0);
        code = err.code;
    }
    const Outcome expected = Expected(endpoints, platform.pipes);
    FUZZ_CHECK(code == expected.code);
    // A failed Link leaves the object unlinked, so nothing can be sent on a half-found pair.
    FUZZ_CHECK(dev.IsLinked() == (code == -1));
    if (code == -1) {
        FUZZ_CHECK(dev.inPipe == expected.in && dev.outPipe == expected.out);
        FUZZ_CHECK(platform.inTimeouts.size() == 1);
    }
    return 0;
}
