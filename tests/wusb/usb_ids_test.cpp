// The devices the user names by vendor and product id.
#include "wusb/usb_ids.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

using wusb::ParseUsbIds;
using wusb::UsbId;
using Ids = std::vector<UsbId>;
using Texts = std::vector<std::string>;

TEST(UsbIds, ListsOfVendorAndProductIds) {
    EXPECT_EQ(ParseUsbIds("1209:57a1").ids, (Ids{{0x1209, 0x57A1}}));
    const auto several = ParseUsbIds(" 1209:57A1 ,ffff:0,  ,abc:1,");
    EXPECT_EQ(several.ids, (Ids{{0x1209, 0x57A1}, {0xFFFF, 0}, {0x0ABC, 1}}));
    EXPECT_TRUE(several.rejected.empty()) << "blanks and empty entries are no mistakes";
    EXPECT_TRUE(ParseUsbIds("").ids.empty());
}

TEST(UsbIds, AnEntryThatIsNotVidColonPidIsRejectedAsWritten) {
    const auto list =
        ParseUsbIds("1209:57A1,12345:1,1209,1209:,:57A1,0x12:1,12:-1,12:1:3,g:1, 1209 : 57A1");
    EXPECT_EQ(list.ids, (Ids{{0x1209, 0x57A1}}));
    EXPECT_EQ(list.rejected, (Texts{"12345:1", "1209", "1209:", ":57A1", "0x12:1", "12:-1",
                                    "12:1:3", "g:1", "1209 : 57A1"}));
}

// Sets the variable, or removes it for nullptr.
void SetVariable(const char* value) {
#ifdef _WIN32
    _putenv_s(wusb::kUsbIdsVariable, value ? value : "");
#else
    value ? ::setenv(wusb::kUsbIdsVariable, value, 1) : ::unsetenv(wusb::kUsbIdsVariable);
#endif
}

TEST(UsbIds, TheEnvironmentVariableSaysWhatItIgnores) {
    SetVariable("1209:57A1, 1209-57A2");
    testing::internal::CaptureStderr();
    const Ids ids = wusb::UsbIdsFromEnvironment();
    const std::string said = testing::internal::GetCapturedStderr();
    SetVariable(nullptr);
    EXPECT_EQ(ids, (Ids{{0x1209, 0x57A1}}));
    EXPECT_NE(said.find("TRELVO_USB_IDS"), std::string::npos) << said;
    EXPECT_NE(said.find("\"1209-57A2\""), std::string::npos) << said;

    testing::internal::CaptureStderr();
    EXPECT_TRUE(wusb::UsbIdsFromEnvironment().empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "unset is no mistake";
}

TEST(UsbIds, TheFileNamesOneIdALineAndSaysWhereAMistakeIs) {
    const std::string path = testing::TempDir() + "usb-ids";
    std::ofstream(path) << "# Trelvo\n1209:57a1\n\n  2A3B:0C4D\t# the second\r\n1209-57A2\n"
                           "1209:57a3,1209:57a4";
    testing::internal::CaptureStderr();
    const Ids ids = wusb::UsbIdsFromFile(path);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ids, (Ids{{0x1209, 0x57A1}, {0x2A3B, 0x0C4D}, {0x1209, 0x57A3}, {0x1209, 0x57A4}}));
    EXPECT_NE(said.find(path + ":5: \"1209-57A2\""), std::string::npos) << said;

    testing::internal::CaptureStderr();
    EXPECT_TRUE(wusb::UsbIdsFromFile(path + "-missing").empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "no file is no mistake";
    std::remove(path.c_str());
}

}  // namespace
