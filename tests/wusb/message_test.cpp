#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

#include "wusb/err.h"

namespace wusb {
namespace {

TEST(Message, CompositionCarriesTheCommandLetter) {
    EXPECT_EQ(Message({13, 'S'}), "Brak ACK., rozk: S");
    EXPECT_EQ(Message({12, 'O'}), "Brak odpowiedzi., rozk: O");
    EXPECT_EQ(Message({12, 0}), "Brak odpowiedzi.");
    EXPECT_EQ(Message({10, 0}), "Nie otwarte (funkcją Link) urządzenie.");
}

TEST(Message, UnknownCodesIncludingNegativeHaveTheFallbackText) {
    for (std::int32_t code : {20, 21, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(Message({code, 0}), "Brak opisu błędu.") << code;
    }
    EXPECT_EQ(Message({20, 'T'}), "Brak opisu błędu., rozk: T");
}

TEST(Message, TableHoldsTwentyDistinctTexts) {
    std::set<std::string> seen;
    for (std::int32_t code = 0; code < 20; ++code) {
        const std::string text = MessageText(code);
        EXPECT_NE(text, "Brak opisu błędu.") << code;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 20u);
    EXPECT_STREQ(MessageText(0), "Próba otwarcia urządzenia spoza tabeli.");
    EXPECT_STREQ(MessageText(6),
                 "Brak Bulk Pipe Direction In.\nMoże flaga kompilacji:Treat enum types as ints.");
    EXPECT_STREQ(MessageText(19), "Nieprawidłowa odpowiedź na rozkaz przesłany rozkazem T");
}

}  // namespace
}  // namespace wusb
