// --version and --help of the window programs: answered without a window, other arguments
// left to Qt.
#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>

#include "app/InfoOption.h"
#include "trelvo/version.h"

namespace {

const ProgramInfo kProgram{"trelvo-sim", "Demo."};

struct Answer {
    std::optional<int> code;
    std::string text;
};

template <std::size_t N>
Answer Answered(std::array<const char*, N> args) {
    std::array<char*, N> argv{};
    for (std::size_t i = 0; i < N; ++i) {
        argv[i] = const_cast<char*>(args[i]);
    }
    std::ostringstream out;
    const auto code = AnswerInfoOption(kProgram, argv, out);
    return {code, out.str()};
}

TEST(InfoOption, VersionIsTheProjectVersionInTheGnuForm) {
    const Answer answer = Answered(std::array{"--version"});
    EXPECT_EQ(answer.code, 0);
    EXPECT_EQ(answer.text, std::string("trelvo-sim ") + trelvo::kVersion + "\n");
}

TEST(InfoOption, HelpNamesTheProgramAndBothOptions) {
    for (const char* option : {"--help", "-h"}) {
        const Answer answer = Answered(std::array{"-platform", "xcb", option});
        EXPECT_EQ(answer.code, 0) << option;
        EXPECT_EQ(answer.text.rfind("Użycie: trelvo-sim [OPCJA]...\nDemo.\n", 0), 0u) << option;
        EXPECT_NE(answer.text.find("--version"), std::string::npos) << option;
    }
    // Help wins over version, as it does for the usual tools.
    EXPECT_NE(Answered(std::array{"--version", "--help"}).text.find("Użycie:"), std::string::npos);
}

TEST(InfoOption, OtherArgumentsStartTheWindowAndPrintNothing) {
    for (const Answer& answer :
         {Answered(std::array<const char*, 0>{}),
          Answered(std::array{"-platform", "offscreen", "-style", "windows"}),
          Answered(std::array{"--versions", "-help", "--Version"}),
          Answered(std::array{"--", "--version"})}) {
        EXPECT_FALSE(answer.code.has_value());
        EXPECT_TRUE(answer.text.empty());
    }
}

TEST(InfoOption, OptionsBeforeTheEndMarkerStillCount) {
    EXPECT_EQ(Answered(std::array{"--version", "--", "x"}).code, 0);
}

}  // namespace
