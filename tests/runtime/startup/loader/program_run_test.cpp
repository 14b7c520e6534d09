// The program run as a child process on application data: a data file named by F, and data packed behind it.
#include "appwriter/application_writer.h"
#include "appwriter/sample_applications.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
const fs::path BinDir = VTR_BIN_DIR;

struct RunResult {
    int exitCode = -1;
    std::string output; // stdout and stderr
};

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("vtr-run-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                "-" + std::to_string(::getpid()));
        fs::create_directories(root / "tmp");
    }
    void TearDown() override { fs::remove_all(root); }

    RunResult Run(const fs::path& program, const std::string& arguments) {
        const std::string command = "env SDL_VIDEODRIVER=dummy TMPDIR='" + (root / "tmp").string() + "' '" +
                                    program.string() + "' " + arguments + " 2>&1";
        RunResult result;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return result;
        char buffer[512];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            result.output.append(buffer, n);
        const int status = pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    // A program that runs its frames until told to end: started, ended by a termination signal once it
    // handles one, and waited for. The output is stdout, then stderr.
    RunResult RunUntilTerminated(const fs::path& program, const std::vector<std::string>& arguments) {
        using namespace std::chrono_literals;
        std::vector<std::string> args{program.string()};
        args.insert(args.end(), arguments.begin(), arguments.end());
        const fs::path out = root / "run.out", err = root / "run.err";
        const pid_t pid = vtrtest::Spawn(
            args, vtrtest::ChildEnvironment({"SDL_VIDEODRIVER=dummy", "TMPDIR=" + (root / "tmp").string()}),
            out.c_str(), err.c_str());
        RunResult result;
        if (pid <= 0) return result;
        std::optional<int> code;
        for (int i = 0; i < 1500 && !(code = vtrtest::WaitFor(pid, 0ms)) && !vtrtest::Catches(pid, SIGTERM);
             ++i)
            std::this_thread::sleep_for(20ms);
        if (!code) {
            // Time to reach the running frame; the signal ends the run in order whenever it comes.
            std::this_thread::sleep_for(300ms);
            kill(pid, SIGTERM);
            code = vtrtest::WaitFor(pid, 60s);
        }
        if (!code) {
            kill(pid, SIGKILL);
            vtrtest::WaitFor(pid, 10s);
        }
        result.exitCode = code.value_or(-1);
        result.output = vtrtest::ReadFile(out) + vtrtest::ReadFile(err);
        return result;
    }

    fs::path WriteData(const std::string& name, const appwriter::Bytes& bytes) {
        const fs::path path = root / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // A copy of the program with the library, and the data when given, packed behind it.
    fs::path Pack(const fs::path& data) {
        fs::create_directories(root / "program");
        const fs::path program = root / "program" / "vtrrt";
        const std::string command = "'" + (BinDir / "vtrpack").string() + "' '" +
                                    (BinDir / "vtrrt").string() + "' '" + (BinDir / "libvtrs2.so").string() +
                                    "' '" + program.string() + "'" +
                                    (data.empty() ? "" : " --app '" + data.string() + "'");
        EXPECT_EQ(std::system(command.c_str()), 0);
        return program;
    }

    bool TempFolderEmpty() const { return fs::is_empty(root / "tmp"); }

    fs::path root;
};

const appwriter::Bytes Good =
    appwriter::WriteApplication(appwriter::FullApplication(appwriter::StringForm::Ansi));
const appwriter::Bytes NotApplication{'n', 'o', 't', ' ', 'a', 'n', ' ', 'a',
                                      'p', 'p', 'l', 'i', 'c', 'a', 't', 'i'};

TEST_F(ProgramRun, DataFileNamedByFRunsUntilTerminatedAndEndsCleanly) {
    const fs::path data = WriteData("quest.vtg", Good);
    const RunResult run = RunUntilTerminated(BinDir / "vtrrt", {"-F", data.string()});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ProgramRun, DataFileUnderAPathLongerThanAnyFixedBufferRuns) {
    std::string folder;
    for (int i = 0; i < 6; ++i)
        folder += std::string(100, static_cast<char>('a' + i)) + "/";
    const fs::path data = WriteData(folder + "quest.vtg", Good);
    ASSERT_GT(data.string().size(), 600u);
    const RunResult run = RunUntilTerminated(BinDir / "vtrrt", {"-F", data.string()});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
}

TEST_F(ProgramRun, DamagedDataFileIsReportedAndR0KeepsOnlyTheLine) {
    const fs::path data = WriteData("bad.vtg", NotApplication);
    RunResult run = Run(BinDir / "vtrrt", "-F '" + data.string() + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("vtrrt: This is not an application file!"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Error: This is not an application file!"), std::string::npos) << run.output;
    run = Run(BinDir / "vtrrt", "-F '" + data.string() + "' /R0");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "vtrrt: This is not an application file!\n");
}

TEST_F(ProgramRun, AFrameThatCannotBeLoadedIsReportedAndEndsTheRunOnTheError) {
    // A frame without its layer array, whose loading shows no message box.
    appwriter::ApplicationDescription app;
    app.frames.resize(1);
    const fs::path data = WriteData("nolayers.vtg", appwriter::WriteApplication(app));
    const RunResult run = Run(BinDir / "vtrrt", "-F '" + data.string() + "' /R0");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output,
              "vtrrt: the frame at index 0 cannot be loaded: its data is incomplete or damaged\n");
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ProgramRun, PackedProgramLoadsItsOwnData) {
    const RunResult good = RunUntilTerminated(Pack(WriteData("quest.vtg", Good)), {});
    EXPECT_EQ(good.exitCode, 0);
    EXPECT_EQ(good.output, "");
    // Damaged packed data shows that the packed data, and nothing else, was read.
    const RunResult bad = Run(Pack(WriteData("bad.vtg", NotApplication)), "/R0");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.output, "vtrrt: This is not an application file!\n");
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ProgramRun, PackedProgramWithoutDataRunsTheFileNamedByF) {
    const fs::path program = Pack({});
    // Nothing to run: one line says how to name a file, and the run ends on it.
    const RunResult nothing = Run(program, "");
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(nothing.output, "vtrrt: no application data is packed behind the program; name a file with "
                              "-F <file> (--help lists the switches)\n");
    const fs::path good = WriteData("quest.vtg", Good);
    const RunResult ran = RunUntilTerminated(program, {"-F", good.string()});
    EXPECT_EQ(ran.exitCode, 0);
    EXPECT_EQ(ran.output, "");
    const fs::path bad = WriteData("bad.vtg", NotApplication);
    // R0 comes last: an unquoted path is scanned for switches too, and its "-run-" turns boxes back on.
    EXPECT_EQ(Run(program, "-F '" + bad.string() + "' /R0").output,
              "vtrrt: This is not an application file!\n");
    EXPECT_TRUE(TempFolderEmpty());
}

} // namespace
