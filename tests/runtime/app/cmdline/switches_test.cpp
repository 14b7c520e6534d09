#include "core/command_line.h"
#include "core/runtime_services.h"
#include "support/param_names.h"

#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using vtrrt::CommandLineOptions;
using vtrrt::GetCommandLineOptions;
using vtrrt::ParseCommandLine;

// What one command line should leave in the options; fields not named keep their defaults.
struct SwitchCase {
    const char16_t* line;
    void (*expect)(CommandLineOptions&);
};

CommandLineOptions Expected(const SwitchCase& c) {
    CommandLineOptions o;
    if (c.expect) c.expect(o);
    return o;
}

void ExpectSame(const CommandLineOptions& got, const CommandLineOptions& want) {
    EXPECT_EQ(got.displayKindRequest, want.displayKindRequest);
    EXPECT_EQ(got.displayModeRequest, want.displayModeRequest);
    EXPECT_EQ(got.noFullScreen, want.noFullScreen);
    EXPECT_EQ(got.noDirectSoundOption, want.noDirectSoundOption);
    EXPECT_EQ(got.debugTitle, want.debugTitle);
    EXPECT_EQ(got.noImageOption, want.noImageOption);
    EXPECT_EQ(got.noCloseCommand, want.noCloseCommand);
    EXPECT_EQ(got.errorBoxes, want.errorBoxes);
    EXPECT_EQ(got.noKeepRatio, want.noKeepRatio);
    EXPECT_EQ(got.speedOverride, want.speedOverride);
    EXPECT_EQ(got.machineIndependentSpeed, want.machineIndependentSpeed);
    EXPECT_EQ(got.keepRunningInModalLoops, want.keepRunningInModalLoops);
    EXPECT_EQ(got.vsync, want.vsync);
    EXPECT_EQ(got.applicationFileName, want.applicationFileName);
    EXPECT_EQ(got.helpRequested, want.helpRequested);
    EXPECT_EQ(got.fileSwitchWithoutName, want.fileSwitchWithoutName);
    EXPECT_EQ(got.unknownSwitches, want.unknownSwitches);
}

class Switches : public ::testing::TestWithParam<SwitchCase> {
protected:
    void SetUp() override { GetCommandLineOptions() = {}; }
    void TearDown() override {
        GetCommandLineOptions() = {};
        vtrrt::Services().speedOverride = false;
        vtrrt::Services().machineIndependentSpeed = 0;
        vtrrt::Services().keepRunningInModalLoops = false;
    }
};

TEST_P(Switches, SetTheirOptions) {
    ParseCommandLine(GetParam().line);
    ExpectSame(GetCommandLineOptions(), Expected(GetParam()));
}

#define CASE(line, body)                                                                                     \
    SwitchCase {                                                                                             \
        line, [](CommandLineOptions& o) { body; }                                                            \
    }

INSTANTIATE_TEST_SUITE_P(
    EverySwitch, Switches,
    ::testing::Values(
        SwitchCase{u"", nullptr}, SwitchCase{u"    ", nullptr},
        CASE(u"/D3D", o.displayKindRequest = 1; o.displayModeRequest = 0x10),
        CASE(u"-d3d8", o.displayKindRequest = 1; o.displayModeRequest = 0x90),
        CASE(u"/dib8", o.displayKindRequest = 1; o.displayModeRequest = 8),
        CASE(u"/DIB8", o.displayKindRequest = 1; o.displayModeRequest = 8),
        CASE(u"-Dib8", o.displayKindRequest = 1; o.displayModeRequest = 8),
        CASE(u"/DIB3", o.displayKindRequest = 1; o.displayModeRequest = 3),
        CASE(u"/DIB5", o.displayKindRequest = 1; o.displayModeRequest = 0),
        CASE(u"/DIB", o.displayKindRequest = 1; o.displayModeRequest = 0),
        // The last display switch wins.
        CASE(u"/D3D /DIB4", o.displayKindRequest = 1; o.displayModeRequest = 4),
        CASE(u"/DEBUG", o.debugTitle = 1), CASE(u"/debugging", o.debugTitle = 1),
        CASE(u"-MIS0", o.speedOverride = 1; o.machineIndependentSpeed = 0),
        CASE(u"/mis1", o.speedOverride = 1; o.machineIndependentSpeed = 1), SwitchCase{u"/MIS2", nullptr},
        CASE(u"/MAC", o.keepRunningInModalLoops = 1), CASE(u"-nof", o.noFullScreen = 1),
        CASE(u"/NOK", o.noKeepRatio = 1), CASE(u"/NoC", o.noImageOption = 1),
        CASE(u"/NODS", o.noDirectSoundOption = 1), CASE(u"/NOX", o.noCloseCommand = 1),
        CASE(u"/NOF/NOK", o.noFullScreen = 1; o.noKeepRatio = 1),
        CASE(u"/NOFX", o.unknownSwitches = {u"/NOFX"}), CASE(u"/R0", o.errorBoxes = 0),
        SwitchCase{u"/R1", nullptr}, SwitchCase{u"/RX", nullptr}, CASE(u"-vsync", o.vsync = true),
        CASE(u"/NOC -mac /r0 /VSYNC", o.noImageOption = 1; o.keepRunningInModalLoops = 1; o.errorBoxes = 0;
             o.vsync = true),
        // F: quoted, unquoted with spaces, and text that looks like switches is part of the name.
        CASE(u"-F \"my games/a -b.vtg\" /R0", o.applicationFileName = u"my games/a -b.vtg"; o.errorBoxes = 0),
        CASE(u"-F My Game.vtg /NOF", o.applicationFileName = u"My Game.vtg"; o.noFullScreen = 1),
        CASE(u"/f games/r0/x-nof.vtg", o.applicationFileName = u"games/r0/x-nof.vtg"),
        CASE(u"-Fgame.vtg -R0", o.applicationFileName = u"game.vtg"; o.errorBoxes = 0),
        CASE(u"/R0 -F one.vtg -F two.vtg", o.applicationFileName = u"two.vtg"; o.errorBoxes = 0),
        CASE(u"-F", o.fileSwitchWithoutName = true),
        // A name may begin with '/': an absolute path is no switch.
        CASE(u"-F /home/me/game.vtg /NOX", o.applicationFileName = u"/home/me/game.vtg";
             o.noCloseCommand = 1),
        // Unknown switches are noted and passed over with a quoted argument.
        CASE(u"/Z \"-NOF x\" /NOX", o.unknownSwitches = {u"/Z"}; o.noCloseCommand = 1),
        CASE(u"-Q -W2/R0", o.unknownSwitches = (std::vector<std::u16string>{u"-Q", u"-W2"});
             o.errorBoxes = 0),
        // A long switch is named whole, and no dash or F inside it starts another switch.
        CASE(u"--frobnicate /NOX", o.unknownSwitches = {u"--frobnicate"}; o.noCloseCommand = 1),
        CASE(u"--no-such-Fthing -R0", o.unknownSwitches = {u"--no-such-Fthing"}; o.errorBoxes = 0),
        // S passes nothing over and is no error.
        SwitchCase{u"/S", nullptr}, CASE(u"--help", o.helpRequested = true),
        CASE(u"/? /NOF", o.helpRequested = true; o.noFullScreen = 1), CASE(u"-HELP", o.helpRequested = true),
        // The scan ends at the first token that is no switch.
        SwitchCase{u"game /NOF", nullptr}),
    [](const auto& info) {
        // The case's number, then the letters and digits of its command line.
        std::string name = test_support::Numbered("Case", static_cast<long long>(info.index)) + "_";
        for (const char16_t* c = info.param.line; *c; ++c)
            if ((*c >= u'0' && *c <= u'9') || (*c >= u'A' && *c <= u'Z') || (*c >= u'a' && *c <= u'z'))
                name.push_back(static_cast<char>(*c));
        return name;
    });

#undef CASE

// Paths to real files are the application data wherever they stand on the line, though they begin with '/';
// words that name no file, or a folder, are still switches.
class FileArguments : public Switches {
protected:
    void SetUp() override {
        Switches::SetUp();
        // No dash before the random part, which could start a switch of its own ("-F...").
        std::string pattern = (std::filesystem::temp_directory_path() / "cmdline_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        std::ofstream(folder_ + "/game.vtg") << "x";
        std::ofstream(folder_ + "/my game -NOF.vtg") << "x";
    }
    void TearDown() override {
        std::filesystem::remove_all(folder_);
        Switches::TearDown();
    }
    std::u16string Wide(const std::string& text) const { return win32::FromUtf8(text); }

    std::string folder_;
};

TEST_F(FileArguments, AnExistingFileIsTheApplicationDataAndTheSwitchesKeepTheirForms) {
    const std::u16string game = Wide(folder_ + "/game.vtg");
    const std::u16string spaced = Wide(folder_ + "/my game -NOF.vtg");
    struct Case {
        std::u16string line;
        std::u16string file;
        bool noClose;
        std::u16string firstUnknown; // none when empty
    };
    const std::u16string top = Wide(folder_.substr(0, folder_.find('/', 1)));
    const std::vector<Case> cases{
        {game, game, false, {}},
        {u"/NOX " + game, game, true, {}},
        {game + u" /NOX", game, true, {}},
        {u"\"" + spaced + u"\" /NOX", spaced, true, {}},
        {u"-F other.vtg " + game, game, false, {}},
        {game + u" -F other.vtg", u"other.vtg", false, {}},
        // No such file, and a folder: switches as before.
        {Wide(folder_ + "/none.vtg") + u" /NOX", u"", true, top},
        {Wide(folder_) + u" /NOX", u"", true, top},
    };
    for (const Case& c : cases) {
        GetCommandLineOptions() = {};
        ParseCommandLine(c.line);
        const CommandLineOptions& o = GetCommandLineOptions();
        const std::string line = win32::ToUtf8(c.line);
        EXPECT_EQ(o.applicationFileName, c.file) << line;
        EXPECT_EQ(o.noCloseCommand, c.noClose ? 1 : 0) << line;
        if (c.firstUnknown.empty())
            EXPECT_TRUE(o.unknownSwitches.empty()) << line;
        else
            EXPECT_TRUE(!o.unknownSwitches.empty() && o.unknownSwitches[0] == c.firstUnknown) << line;
        EXPECT_FALSE(o.fileSwitchWithoutName) << line;
    }
}

TEST(CommandLineServices, SpeedAndModalLoopChoicesReachTheRuntimeBlock) {
    ParseCommandLine(u"/MIS1 /MAC");
    EXPECT_TRUE(vtrrt::Services().speedOverride);
    EXPECT_EQ(vtrrt::Services().machineIndependentSpeed, 1);
    EXPECT_TRUE(vtrrt::Services().keepRunningInModalLoops);
    GetCommandLineOptions() = {};
    ParseCommandLine(u"");
    vtrrt::Services().speedOverride = false;
    vtrrt::Services().machineIndependentSpeed = 0;
    vtrrt::Services().keepRunningInModalLoops = false;
}

TEST(CommandLineHelp, ListsEverySwitch) {
    const std::string help = vtrrt::CommandLineHelp();
    for (const char* name : {"-F", "-D3D", "-D3D8", "-DIB", "-DEBUG", "-MIS0", "-MAC", "-NOF", "-NOK", "-NOC",
                             "-NODS", "-NOX", "-R0", "-VSYNC", "--help"})
        EXPECT_NE(help.find(name), std::string::npos) << name;
}

} // namespace
