// upgrade: asked on a terminal, --yes for scripts, refused with neither; progress as a bar or
// as plain lines.
#include <nlohmann/json.hpp>

#include "cli_fixture.h"
#include "uwieg/image.h"

namespace cli_test {
namespace {

using nlohmann::json;

class UpgradeCommand : public CliBench {
  protected:
    UpgradeCommand() { simReader->reader().firmwareVersion = 1; }
    static int Count(const std::string& text, const std::string& piece) {
        int n = 0;
        for (std::size_t at = text.find(piece); at != std::string::npos;
             at = text.find(piece, at + 1)) {
            ++n;
        }
        return n;
    }
    const int newVersion = uwieg::BuiltInImage(51)->version();
    const int blocks = uwieg::BuiltInImage(51)->blockCount();
};

TEST_F(UpgradeCommand, YesUpgradesFromFirmwareOneWithPlainProgressLines) {
    const RunResult r = Run({"--sim", "--json", "upgrade", "--yes"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(simReader->completedUpgrades(), 1);
    EXPECT_EQ(simReader->reader().firmwareVersion, newVersion);
    const json result = json::parse(r.out);
    EXPECT_EQ(result.at("outcome"), "done");
    EXPECT_EQ(result.at("firmware_before"), 1);
    EXPECT_EQ(result.at("firmware"), newVersion);
    EXPECT_EQ(result.at("label"),
              "Czytnik KV-T51X, Nr: 00042 (soft: " + std::to_string(newVersion) + ")");
    // Standard error is no terminal: one line per tenth of the blocks, the last one complete.
    EXPECT_EQ(Count(r.err, "Upgrade: blok "), 11) << r.err;
    EXPECT_NE(
        r.err.find("Upgrade: blok " + std::to_string(blocks) + "/" + std::to_string(blocks) + "\n"),
        std::string::npos);
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_FALSE(simReader->channelOpen());
    EXPECT_TRUE(terminal.questions.empty());
}

TEST_F(UpgradeCommand, OnATerminalItAsksAndDrawsABar) {
    terminal.stdinTerminal = true;
    terminal.stderrTerminal = true;
    terminal.answers = {"n"};
    const RunResult no = Run({"--sim", "upgrade"});
    EXPECT_EQ(no.code, 0) << no.err;
    EXPECT_EQ(no.out, "Upgrade nie został wykonany.\nCzytnik KV-T51X, Nr: 00042 (soft: 1)\n");
    EXPECT_EQ(simReader->completedUpgrades(), 0);
    ASSERT_EQ(terminal.questions.size(), 1u);
    EXPECT_EQ(terminal.questions[0],
              "Czytnik zawiera nieaktualne oprogramowanie.\nWykonać upgrade oprogramowania "
              "czytnika?");

    terminal.answers = {"tak"};
    const RunResult yes = Run({"--sim", "upgrade"});
    EXPECT_EQ(yes.code, 0) << yes.err;
    EXPECT_EQ(simReader->completedUpgrades(), 1);
    // Redrawn in place for every block (and at the start and the end).
    EXPECT_GE(Count(yes.err, "\rUpgrade ["), blocks + 1);
    EXPECT_EQ(Count(yes.err, "\n"), 1) << "the bar ends its line once";
    EXPECT_NE(yes.err.find("] " + std::to_string(blocks) + "/" + std::to_string(blocks) + "\n"),
              std::string::npos);

    // Now current: nothing to ask.
    const RunResult again = Run({"--sim", "upgrade"});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out.substr(0, again.out.find('\n')), "Oprogramowanie czytnika jest aktualne.");
    EXPECT_EQ(terminal.questions.size(), 2u);
}

TEST_F(UpgradeCommand, WithoutATerminalAndWithoutYesItRefusesBeforeTouchingTheInterface) {
    terminal.stderrTerminal = true;
    const RunResult r = Run({"--sim", "upgrade"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_TRUE(simReader->received().empty());
}

TEST_F(UpgradeCommand, CtrlCAtTheQuestionExits130WithoutUpgrading) {
    terminal.stdinTerminal = true;
    // Ctrl+C ends the read of the answer without one, and is seen once the read returns.
    interrupt.when = [&] { return !terminal.questions.empty(); };
    const RunResult r = Run({"--sim", "upgrade"});
    EXPECT_EQ(r.code, 130);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(simReader->completedUpgrades(), 0);
    EXPECT_FALSE(simReader->channelOpen());
}

}  // namespace
}  // namespace cli_test
