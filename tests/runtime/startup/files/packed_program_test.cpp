// The packed program run as a child process: where its runtime files go, that they are gone after it, and
// how it ends: on bad packs, odd set-ups and signals.
#include "startup_fixture.h"

#include "appwriter/application_writer.h"
#include "appwriter/program_image.h"
#include "appwriter/sample_applications.h"
#include "support/child_process.h"
#include "support/x_display.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <sstream>

using namespace startup_test;
using namespace std::chrono_literals;

namespace {

const fs::path BinDir = VTR_BIN_DIR;

std::string Field(const std::string& output, const std::string& key) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + ": ", 0) == 0) return line.substr(key.size() + 2);
    return {};
}

struct RunResult {
    int exitCode = -1;
    std::string output; // stdout
    std::string errors; // stderr
};

class PackedProgram : public PrivateTempFolder {
protected:
    // Starts a program with the private temporary folder (or `tempFolder`) and the report switch.
    pid_t Start(const fs::path& program, const std::vector<std::string>& arguments = {},
                std::optional<fs::path> tempFolder = std::nullopt) {
        return StartWith(program, arguments, {"SDL_VIDEODRIVER=dummy"}, "run", tempFolder);
    }
    // The same with more of the environment, the run's output in "<stem>.out" and "<stem>.err".
    pid_t StartWith(const fs::path& program, const std::vector<std::string>& arguments,
                    std::vector<std::string> environment, const std::string& stem,
                    std::optional<fs::path> tempFolder = std::nullopt) {
        std::vector<std::string> args{program.string()};
        args.insert(args.end(), arguments.begin(), arguments.end());
        environment.push_back("VTR_TEST_REPORT_TEMP=1");
        environment.push_back("TMPDIR=" + tempFolder.value_or(root_).string());
        return vtrtest::Spawn(args, vtrtest::ChildEnvironment(environment), OutPath(stem).c_str(),
                              ErrPath(stem).c_str());
    }
    RunResult Finish(pid_t pid, const std::string& stem = "run") {
        RunResult result;
        if (pid <= 0) return result;
        std::optional<int> code = vtrtest::WaitFor(pid, 60s);
        if (!code) {
            kill(pid, SIGKILL);
            vtrtest::WaitFor(pid, 10s);
        }
        result.exitCode = code.value_or(-1);
        result.output = vtrtest::ReadFile(OutPath(stem));
        result.errors = vtrtest::ReadFile(ErrPath(stem));
        fs::remove(OutPath(stem));
        fs::remove(ErrPath(stem));
        return result;
    }
    // Waits until a started run reports its temporary folder, then a little more for its frame to start;
    // empty when it ended first.
    fs::path AwaitRunning(pid_t pid, const std::string& stem = "run") {
        fs::path temp;
        for (int i = 0; i < 1500 && temp.empty(); ++i) {
            const std::string output = vtrtest::ReadFile(OutPath(stem));
            if (!Field(output, "library").empty())
                temp = Field(output, "temp folder");
            else if (waitpid(pid, nullptr, WNOHANG) == pid)
                return {};
            else
                std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(300ms);
        return temp;
    }
    RunResult Run(const fs::path& program, const std::vector<std::string>& arguments = {},
                  std::optional<fs::path> tempFolder = std::nullopt) {
        return Finish(Start(program, arguments, tempFolder));
    }

    // The packed program in a folder of its own, with no library beside it.
    fs::path WriteProgram(const Bytes& pack, const fs::path& folder = {}) {
        const fs::path dir = folder.empty() ? ProgramDir() : folder;
        fs::create_directories(dir);
        fs::path program = dir / "vtrrt";
        auto packed = appwriter::AppendFilePack(ReadBytes(BinDir / "vtrrt"), pack);
        EXPECT_TRUE(packed);
        WriteBytes(program, *packed);
        fs::permissions(program, fs::perms::owner_all);
        return program;
    }

    // A pack of the library and, when given, application data.
    static Bytes LibraryPack(const Bytes& data = {}) {
        appwriter::FilePackWriter writer;
        writer.AddLibrary(ReadBytes(BinDir / "libvtrs2.so"));
        if (!data.empty()) writer.SetApplicationData(data);
        return writer.Write();
    }

    // What the private temporary folder holds besides the program's own folder and the run's output.
    std::vector<std::string> TempContents() {
        std::vector<std::string> names;
        for (const std::string& name : Contents())
            if (name.rfind("program", 0) != 0 && name.rfind("run.", 0) != 0) names.push_back(name);
        return names;
    }

    fs::path ProgramDir() const { return root_ / "program"; }
    fs::path OutPath(const std::string& stem = "run") const { return root_ / (stem + ".out"); }
    fs::path ErrPath(const std::string& stem = "run") const { return root_ / (stem + ".err"); }
};

// Linked at load time, the library would be found beside the build's program before any pack was read.
TEST(Program, DoesNotLinkTheLibraryAtLoadTime) {
    std::string command = "readelf -d '" + (BinDir / "vtrrt").string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string listing;
    char buffer[512];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        listing.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_NE(listing.find("libvtrplatform.so"), std::string::npos);
    EXPECT_EQ(listing.find("libvtrs2"), std::string::npos);
}

// The one line a run that has nothing to run ends on.
constexpr const char* NoData = "vtrrt: no application data is packed behind the program; name a file with -F "
                               "<file> (--help lists the switches)\n";

TEST_F(PackedProgram, BindsTheLibraryFromItsTempFolderAndRemovesEverythingAtExit) {
    fs::path module1 = root_ / "plugin.vxe";
    fs::path module2 = root_ / "plugin.mvx";
    WriteBytes(module1, Text("an object extension"));
    WriteBytes(module2, Text("a movement extension"));
    fs::create_directories(ProgramDir());
    fs::path program = ProgramDir() / "vtrrt";
    std::string pack = "'" + (BinDir / "vtrpack").string() + "' '" + (BinDir / "vtrrt").string() + "' '" +
                       (BinDir / "libvtrs2.so").string() + "' '" + program.string() + "' ext.vxe='" +
                       module1.string() + "' 'movements\\move.mvx=" + module2.string() + "'";
    ASSERT_EQ(std::system(pack.c_str()), 0);
    fs::remove(module1);
    fs::remove(module2);

    RunResult run = Run(program);

    // The pack holds no application data: the run ends on that, with everything removed.
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, NoData);
    fs::path temp = Field(run.output, "temp folder");
    fs::path library = Field(run.output, "library");
    ASSERT_FALSE(temp.empty()) << run.output;
    EXPECT_EQ(temp.parent_path(), root_);
    EXPECT_EQ(library, temp / "libvtrs2.so");
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(TempContents().empty());
}

TEST_F(PackedProgram, ALibraryPackedAloneIsBoundFromTheTempFolderAtTheFirstCall) {
    RunResult run = Run(WriteProgram(LibraryPack()));
    EXPECT_EQ(run.exitCode, 1);
    fs::path temp = Field(run.output, "temp folder");
    ASSERT_FALSE(temp.empty()) << run.output;
    EXPECT_EQ(fs::path(Field(run.output, "library")), temp / "libvtrs2.so");
    EXPECT_TRUE(TempContents().empty());
}

TEST_F(PackedProgram, AProgramInstalledUnderALongPathFindsItsPack) {
    fs::path folder = root_ / "program";
    for (int i = 0; i < 4; ++i)
        folder /= std::string(120, static_cast<char>('a' + i));
    const fs::path program = WriteProgram(LibraryPack(), folder);
    ASSERT_GT(program.string().size(), 500u);
    const RunResult run = Run(program);
    EXPECT_EQ(run.errors, NoData) << "the pack was not found";
    const fs::path temp = Field(run.output, "temp folder");
    ASSERT_FALSE(temp.empty()) << run.output;
    EXPECT_EQ(fs::path(Field(run.output, "library")), temp / "libvtrs2.so");
    EXPECT_TRUE(TempContents().empty());
}

class CorruptPackedProgram : public PackedProgram, public ::testing::WithParamInterface<Corruption> {};

// Nothing is bound that the pack did not give whole: a library call would try the missing library beside the
// program and say it cannot bind it.
TEST_P(CorruptPackedProgram, IsReportedInOneLineAndEndsOnTheErrorLeavingNothing) {
    fs::path program = WriteProgram(CorruptPack(GetParam(), ReadBytes(BinDir / "libvtrs2.so")));
    RunResult run = Run(program);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "");
    ASSERT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    EXPECT_EQ(run.errors.rfind("vtrrt: ", 0), 0u) << run.errors;
    if (GetParam() == Corruption::MissingPack)
        EXPECT_EQ(run.errors, NoData);
    else
        EXPECT_NE(run.errors.find("file pack"), std::string::npos) << run.errors;
    EXPECT_TRUE(TempContents().empty());
}

INSTANTIATE_TEST_SUITE_P(Each, CorruptPackedProgram,
                         ::testing::Values(Corruption::MissingPack, Corruption::Truncated,
                                           Corruption::NameLengthZero, Corruption::NameLengthOver259,
                                           Corruption::RootedName, Corruption::DriveName,
                                           Corruption::ParentFolderName, Corruption::WrongExtensionChecksum,
                                           Corruption::LibraryNotFirst, Corruption::LibraryTwice,
                                           Corruption::TruncatedInLibrary),
                         [](const auto& info) { return std::string(CorruptionName(info.param)); });

TEST_F(PackedProgram, ATruncatedPackSaysSo) {
    const RunResult run =
        Run(WriteProgram(CorruptPack(Corruption::TruncatedInLibrary, ReadBytes(BinDir / "libvtrs2.so"))));
    EXPECT_EQ(run.errors, "vtrrt: the file pack behind the program is truncated\n");
}

TEST_F(PackedProgram, ALibraryThatCannotBeBoundEndsTheRunOnTheError) {
    appwriter::FilePackWriter writer;
    writer.AddLibrary(Text("not a shared object"));
    writer.AddFile(u"ext.vxe", Text("an object extension"));
    fs::path program = WriteProgram(writer.Write());
    RunResult run = Run(program);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors.rfind("vtrrt: cannot bind ", 0), 0u) << run.errors;
    EXPECT_TRUE(TempContents().empty());
}

TEST_F(PackedProgram, ATemporaryFolderThatCannotBeMadeIsReportedAsSuch) {
    // A system temporary folder so deep that no name fits in it, which stops even a privileged user.
    fs::path deep = root_ / "deep";
    constexpr std::size_t Length = 4090; // a folder name of "vrt" and six more does not fit in 4096
    while (deep.string().size() + 101 < Length)
        deep /= std::string(100, 'd');
    deep /= std::string(Length - deep.string().size() - 1, 'e');
    std::error_code made;
    fs::create_directories(deep, made);
    ASSERT_FALSE(made) << made.message();
    const RunResult run = Run(WriteProgram(LibraryPack()), {}, deep);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors.rfind("vtrrt: no temporary folder can be made in " + deep.string(), 0), 0u)
        << run.errors;
}

TEST_F(PackedProgram, NothingIsPurgedBeforeThereIsDataToRun) {
    // A runtime folder left by a run a week ago.
    const fs::path stale = root_ / "vrtOLD123";
    fs::create_directories(stale);
    WriteBytes(stale / "ext.vxe", Text("x"));
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(24 * 7));
    const fs::path program = WriteProgram(LibraryPack());
    EXPECT_EQ(Run(program).errors, NoData);
    EXPECT_TRUE(fs::exists(stale / "ext.vxe"));
    // With a data file to run the purge comes, even though the data then turns out to be damaged.
    const fs::path data = root_ / "program" / "bad.vtg";
    WriteBytes(data, Text("not an applicati"));
    const RunResult run = Run(program, {"-F", data.string(), "/R0"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "vtrrt: This is not an application file!\n");
    EXPECT_FALSE(fs::exists(stale));
}

struct SignalCase {
    const char* name;
    int number;
    bool twice;
};

class SignalledProgram : public PackedProgram, public ::testing::WithParamInterface<SignalCase> {};

// With NOX the close box does nothing; a signal still ends the run: the frame ends, the shell shuts down and
// the runtime files go.
TEST_P(SignalledProgram, EndsTheRunInOrderWhateverNoxSays) {
    auto app = appwriter::FullApplication(appwriter::StringForm::Wide);
    const fs::path program = WriteProgram(LibraryPack(appwriter::WriteApplication(app)));
    const pid_t pid = Start(program, {"-NOX"});
    ASSERT_GT(pid, 0);
    ASSERT_FALSE(AwaitRunning(pid).empty());
    ASSERT_EQ(kill(pid, GetParam().number), 0);
    // A signal sent to the program and then to its group comes twice.
    if (GetParam().twice) {
        ASSERT_EQ(kill(pid, GetParam().number), 0);
    }
    const RunResult run = Finish(pid);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    const fs::path temp = Field(run.output, "temp folder");
    ASSERT_FALSE(temp.empty()) << run.output;
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(TempContents().empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalledProgram,
                         ::testing::Values(SignalCase{"Interrupt", SIGINT, false},
                                           SignalCase{"Termination", SIGTERM, false},
                                           SignalCase{"TwoInterrupts", SIGINT, true},
                                           SignalCase{"TwoTerminations", SIGTERM, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A run killed outright leaves its folder behind; the next start removes it however young it is, while the
// folder of a run still going, beside it, is never touched.
TEST_F(PackedProgram, TheNextStartRemovesWhatAKilledRunLeftButNotWhatALiveRunHolds) {
    auto app = appwriter::FullApplication(appwriter::StringForm::Wide);
    const fs::path program = WriteProgram(LibraryPack(appwriter::WriteApplication(app)));
    const pid_t killed = StartWith(program, {}, {"SDL_VIDEODRIVER=dummy"}, "run.killed");
    ASSERT_GT(killed, 0);
    const fs::path left = AwaitRunning(killed, "run.killed");
    ASSERT_FALSE(left.empty());
    kill(killed, SIGKILL);
    Finish(killed, "run.killed");
    ASSERT_TRUE(fs::exists(left / "libvtrs2.so"));

    const pid_t live = StartWith(program, {}, {"SDL_VIDEODRIVER=dummy"}, "run.live");
    ASSERT_GT(live, 0);
    const fs::path held = AwaitRunning(live, "run.live");
    ASSERT_FALSE(held.empty());
    EXPECT_FALSE(fs::exists(left));
    EXPECT_FALSE(fs::exists(left.string() + ".owner"));

    // A third run starts, purges and ends beside the live one, which keeps all it had.
    const std::vector<std::string> before = TempContents();
    const fs::path data = ProgramDir() / "bad.vtg";
    WriteBytes(data, Text("not an applicati"));
    const fs::path third = WriteProgram(LibraryPack(), root_ / "program-third");
    EXPECT_EQ(Run(third, {"-F", data.string(), "/R0"}).exitCode, 1);
    EXPECT_EQ(TempContents(), before);
    EXPECT_TRUE(fs::exists(held / "libvtrs2.so"));

    kill(live, SIGTERM);
    EXPECT_EQ(Finish(live, "run.live").exitCode, 0);
    EXPECT_TRUE(TempContents().empty());
}

// GNU timeout sends its signal to the program and then to its group, so each run gets it twice, at any moment
// of its start or its frames; thirty such runs, six at a time in one temporary folder, leave nothing in it.
TEST_F(PackedProgram, RunsEndedByTimeoutLeaveNothing) {
    const fs::path timeout = "/usr/bin/timeout";
    if (!fs::exists(timeout)) GTEST_SKIP() << "no timeout command";
    auto app = appwriter::FullApplication(appwriter::StringForm::Wide);
    const fs::path program = WriteProgram(LibraryPack(appwriter::WriteApplication(app)));
    constexpr int Runs = 30;
    constexpr int AtATime = 6;
    for (int first = 0; first < Runs; first += AtATime) {
        std::vector<pid_t> runs;
        for (int i = first; i < first + AtATime; ++i) {
            const std::vector<std::string> args{timeout.string(), "-s", "TERM", "3", program.string()};
            runs.push_back(vtrtest::Spawn(
                args, vtrtest::ChildEnvironment({"SDL_VIDEODRIVER=dummy", "TMPDIR=" + root_.string()})));
            ASSERT_GT(runs.back(), 0);
        }
        for (pid_t run : runs) {
            const std::optional<int> status = vtrtest::WaitFor(run, 30s);
            if (!status) kill(run, SIGKILL);
            // timeout's own status when the time ran out.
            EXPECT_EQ(status, 124);
        }
    }
    EXPECT_TRUE(TempContents().empty()) << ::testing::PrintToString(TempContents());
}

// A run whose X server goes away ends on that with status 1 and a line that says so, and leaves nothing.
TEST_F(PackedProgram, ARunWhoseDisplayGoesAwayLeavesNothing) {
    vtrtest::VirtualDisplay display;
    if (!display.Start(640, 480)) GTEST_SKIP() << "no Xvfb";
    auto app = appwriter::FullApplication(appwriter::StringForm::Wide);
    const fs::path program = WriteProgram(LibraryPack(appwriter::WriteApplication(app)));
    const pid_t pid = StartWith(
        program, {}, {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "DISPLAY=" + display.Name()}, "run");
    ASSERT_GT(pid, 0);
    ASSERT_FALSE(AwaitRunning(pid).empty());
    std::this_thread::sleep_for(700ms);
    display.Stop();
    const RunResult run = Finish(pid);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("X connection to " + display.Name() + " broken: the run ends"),
              std::string::npos)
        << run.errors;
    EXPECT_TRUE(TempContents().empty()) << ::testing::PrintToString(TempContents());
}

} // namespace
