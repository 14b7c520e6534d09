#include "core/command_line.h"

#include <gtest/gtest.h>

namespace {

using vtrrt::GetCommandLineOptions;
using vtrrt::ParseCommandLine;

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { GetCommandLineOptions() = {}; }
    void TearDown() override { GetCommandLineOptions() = {}; }
};

struct FileSwitchCase {
    const char16_t* line;
    const char16_t* file;
    int errorBoxes;
};

class FileSwitch : public CommandLine, public ::testing::WithParamInterface<FileSwitchCase> {};

TEST_P(FileSwitch, NamesTheApplicationFileAndKeepsOtherSwitches) {
    ParseCommandLine(GetParam().line);
    EXPECT_EQ(GetCommandLineOptions().applicationFileName, GetParam().file);
    EXPECT_EQ(GetCommandLineOptions().errorBoxes, GetParam().errorBoxes);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FileSwitch,
    ::testing::Values(FileSwitchCase{u"", u"", 1}, FileSwitchCase{u"   ", u"", 1},
                      FileSwitchCase{u"-F app.vtg", u"app.vtg", 1},
                      FileSwitchCase{u"/fapp.vtg", u"app.vtg", 1},
                      // A quoted name with spaces and a dash, then R0: the whole name, and boxes off.
                      FileSwitchCase{u"-F \"my games/a -b.vtg\" /R0", u"my games/a -b.vtg", 0},
                      FileSwitchCase{u"/R0 -F one.vtg -F two.vtg", u"two.vtg", 0},
                      FileSwitchCase{u"/R1 -F \"\"", u"", 1}, FileSwitchCase{u"/RX", u"", 1},
                      // The scan ends at the first token that is no switch.
                      FileSwitchCase{u"game -F x.vtg", u"", 1}));

TEST_F(CommandLine, FileNameOfAnyLengthIsTakenWhole) {
    // Past the 520 units a fixed argument buffer would hold, unquoted and quoted.
    const std::u16string name = u"/games/" + std::u16string(4000, u'a') + u"/x.vtg";
    ParseCommandLine(u"-F " + name + u" /R0");
    EXPECT_EQ(GetCommandLineOptions().applicationFileName, name);
    EXPECT_EQ(GetCommandLineOptions().errorBoxes, 0);
    ParseCommandLine(u"-F \"" + name + u"\"");
    EXPECT_EQ(GetCommandLineOptions().applicationFileName, name);
}

TEST_F(CommandLine, NoxMustEndBehindItsName) {
    ParseCommandLine(u"/NOXY");
    EXPECT_EQ(GetCommandLineOptions().noCloseCommand, 0);
    ParseCommandLine(u"/NOX/R0");
    EXPECT_EQ(GetCommandLineOptions().noCloseCommand, 1);
    EXPECT_EQ(GetCommandLineOptions().errorBoxes, 0);
}

} // namespace
