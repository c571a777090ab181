// The test tab monitoring the simulated reader for a long run of transmissions of every kind:
// each report becomes exactly one line, in order, and memory stays flat apart from the lines
// the memo keeps. TRELVO_SOAK_TRANSMISSIONS sets the length of the run (1,000 by default).
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "memo_lines.h"
#include "reliability_fixture.h"
#include "sim/transmission.h"
#include "uwieg/report.h"

namespace reliability {
namespace {

constexpr int kDefaultTransmissions = 1000;
constexpr int kCheckpoint = 1000;
constexpr std::uint32_t kTickMs = 200;
// AddressSanitizer keeps freed memory in quarantine and pads every block, so the resident set
// says nothing about growth there; its leak check takes over.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentSetMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentSetMeaningful = false;
#else
constexpr bool kResidentSetMeaningful = true;
#endif
#else
constexpr bool kResidentSetMeaningful = true;
#endif
constexpr long kMaxKiBPerLine = 2;
constexpr long kMaxQuietGrowthKiB = 512;

int TransmissionCount() {
    const char* text = std::getenv("TRELVO_SOAK_TRANSMISSIONS");
    const int count = text != nullptr ? std::atoi(text) : 0;
    return count > 0 ? count : kDefaultTransmissions;
}

// The resident set of this process, from the kernel's own account.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(rng());
    }
    return bytes;
}

int Pick(std::mt19937& rng, std::initializer_list<int> choices) {
    return *(choices.begin() + rng() % choices.size());
}

// Cards of the usual sizes with and without their parity described, 4- and 8-bit keys, and
// transmissions the interface did not recognise, up to the largest report a frame carries.
sim::Transmission NextTransmission(std::mt19937& rng, int i) {
    switch (i % 6) {
        case 0: {
            const int bits = Pick(rng, {26, 32, 34, 37, 40, 56, 64});
            return sim::Transmission::Card(bits, RandomBytes(rng, (bits + 7) / 8));
        }
        case 1: {
            const int bits = Pick(rng, {24, 32, 40, 48, 56, 64});
            return sim::Transmission::CardWithParity(bits, RandomBytes(rng, (bits + 7) / 8),
                                                     rng() & 1, rng() & 1, rng() & 1, rng() & 1);
        }
        case 2:
            return sim::Transmission::Key(4, static_cast<std::uint8_t>(rng() % 16));
        case 3:
            return sim::Transmission::Key(8, static_cast<std::uint8_t>(rng()));
        case 4:
            return sim::Transmission::Unrecognised(static_cast<int>(4 + rng() % 64),
                                                   RandomBytes(rng, rng() % 27));
        default:
            return sim::Transmission::Card(67, RandomBytes(rng, 26));
    }
}

using Soak = ReliabilityTest;

TEST_F(Soak, EveryReportBecomesExactlyOneLine) {
    const int count = TransmissionCount();
    PlugReader();
    Build();
    StartUp();
    ShowTestTab();
    ASSERT_TRUE(win->Timer->isActive());
    ASSERT_TRUE(dialogs.Errors().empty());
    const std::vector<std::string> before = MemoLines(*win->TstWin);
    ASSERT_TRUE(before.empty()) << "the line count below starts from an empty memo";

    std::mt19937 rng(20240611);
    std::vector<std::string> expected = before;
    expected.reserve(expected.size() + static_cast<std::size_t>(count));
    const long startKiB = ResidentKiB();
    long checkpointKiB = -1;
    int presented = 0;
    int idleTicks = 0;
    auto tick = [&] {
        clock.fake.Advance(kTickMs);
        win->TimerTimer();
    };
    while (presented < count) {
        // Reports queue up in bursts, as when cards come faster than the tick; each tick
        // still takes exactly one.
        const int burst = std::min(1 + static_cast<int>(rng() % 3), count - presented);
        for (int b = 0; b < burst; ++b) {
            const sim::Transmission t = NextTransmission(rng, presented + b);
            iface->Present(t);
            expected.push_back(uwieg::FormatReport(t.payload.data(), t.payload.size()));
        }
        for (int b = 0; b < burst; ++b) {
            tick();
            ++presented;
            ASSERT_EQ(win->TstWin->document()->blockCount(), static_cast<int>(presented))
                << "after transmission " << presented;
            if (presented == kCheckpoint) {
                checkpointKiB = ResidentKiB();
            }
        }
        if (rng() % 8 == 0) {
            tick();  // nothing waiting: no line
            ++idleTicks;
            ASSERT_EQ(win->TstWin->document()->blockCount(), static_cast<int>(presented));
        }
    }
    EXPECT_EQ(iface->pendingTransmissions(), 0u);
    EXPECT_TRUE(dialogs.Errors().empty());
    EXPECT_TRUE(win->Timer->isActive());
    EXPECT_EQ(MemoLines(*win->TstWin), expected);
    // Taken after the comparison, whose temporaries the heap keeps for reuse.
    const long linesKiB = ResidentKiB();

    // As many ticks again that add no line: frames the poll must drop, foreign frames, and
    // nothing at all. Whatever the memo keeps stays as it is, so memory must too.
    for (int i = 0; i < count; ++i) {
        switch (i % 3) {
            case 0:
                faulty.InjectIn(InFault::InvalidFlood, 1);
                break;
            case 1:
                faulty.InjectIn(InFault::StaleBefore);
                break;
            default:
                break;
        }
        tick();
    }
    const long endKiB = ResidentKiB();
    EXPECT_EQ(MemoLines(*win->TstWin), expected);
    EXPECT_TRUE(dialogs.Errors().empty());

    std::printf(
        "soak: %d transmissions, %d idle ticks, then %d ticks without a line; VmRSS "
        "%ld KiB at start, %ld KiB after %d, %ld KiB after the last line, %ld KiB at "
        "the end\n",
        count, idleTicks, count, startKiB, checkpointKiB, kCheckpoint, linesKiB, endKiB);
    ASSERT_GT(startKiB, 0);
    if (!kResidentSetMeaningful) {
        std::printf("soak: sanitizer build, memory bounds not checked\n");
        return;
    }
    // The memo keeps every line (about a kilobyte each with the text layout); anything more
    // would be a leak per report.
    EXPECT_LE(linesKiB - startKiB, count * kMaxKiBPerLine);
    EXPECT_LE(endKiB - linesKiB, kMaxQuietGrowthKiB);
}

}  // namespace
}  // namespace reliability
