// The program run as a child process on application data: a data file named by F, and data packed behind it.
#include "appwriter/application_writer.h"
#include "appwriter/sample_applications.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

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

    fs::path WriteData(const std::string& name, const appwriter::Bytes& bytes) {
        const fs::path path = root / name;
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

TEST_F(ProgramRun, DataFileNamedByFLoadsAndEndsCleanly) {
    const fs::path data = WriteData("quest.vtg", Good);
    const RunResult run = Run(BinDir / "vtrrt", "-F '" + data.string() + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ProgramRun, DamagedDataFileIsReportedAndR0KeepsOnlyTheLine) {
    const fs::path data = WriteData("bad.vtg", NotApplication);
    RunResult run = Run(BinDir / "vtrrt", "-F '" + data.string() + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("vtrrt: This is not an application file!"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Error: This is not an application file!"), std::string::npos) << run.output;
    run = Run(BinDir / "vtrrt", "-F '" + data.string() + "' /R0");
    EXPECT_EQ(run.output, "vtrrt: This is not an application file!\n");
}

TEST_F(ProgramRun, PackedProgramLoadsItsOwnData) {
    const RunResult good = Run(Pack(WriteData("quest.vtg", Good)), "");
    EXPECT_EQ(good.exitCode, 0);
    EXPECT_EQ(good.output, "");
    // Damaged packed data shows that the packed data, and nothing else, was read.
    const RunResult bad = Run(Pack(WriteData("bad.vtg", NotApplication)), "/R0");
    EXPECT_EQ(bad.exitCode, 0);
    EXPECT_EQ(bad.output, "vtrrt: This is not an application file!\n");
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ProgramRun, PackedProgramWithoutDataRunsTheFileNamedByF) {
    const fs::path program = Pack({});
    // Nothing to run: one line says how to name a file.
    EXPECT_EQ(Run(program, "").output,
              "vtrrt: no application data is packed behind the program; name a file with "
              "-F <file> (--help lists the switches)\n");
    const fs::path good = WriteData("quest.vtg", Good);
    EXPECT_EQ(Run(program, "-F '" + good.string() + "'").output, "");
    const fs::path bad = WriteData("bad.vtg", NotApplication);
    // R0 comes last: an unquoted path is scanned for switches too, and its "-run-" turns boxes back on.
    EXPECT_EQ(Run(program, "-F '" + bad.string() + "' /R0").output,
              "vtrrt: This is not an application file!\n");
    EXPECT_TRUE(TempFolderEmpty());
}

} // namespace
