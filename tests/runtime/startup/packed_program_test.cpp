// The packed program run as a child process: where its runtime files go, and that they are gone after it.
#include "startup_fixture.h"

#include "appwriter/program_image.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <sstream>

using namespace startup_test;

namespace {

const fs::path BinDir = VTR_BIN_DIR;

struct RunResult {
    int exitCode = -1;
    std::string output;
};

class PackedProgram : public PrivateTempFolder {
protected:
    // Runs a program with the private temporary folder and the report switch; stderr stays the test's.
    RunResult Run(const fs::path& program, bool report = true) {
        std::string command = "env TMPDIR='" + root_.string() + "'" +
                              (report ? " VTR_TEST_REPORT_TEMP=1 " : " ") + "'" + program.string() + "'";
        RunResult result;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return result;
        char buffer[512];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            result.output.append(buffer, n);
        int status = pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    // The packed program in a folder of its own, with no library beside it.
    fs::path WriteProgram(const Bytes& pack) {
        fs::create_directories(ProgramDir());
        fs::path program = ProgramDir() / "vtrrt";
        auto packed = appwriter::AppendFilePack(ReadBytes(BinDir / "vtrrt"), pack);
        EXPECT_TRUE(packed);
        WriteBytes(program, *packed);
        fs::permissions(program, fs::perms::owner_all);
        return program;
    }

    // What the private temporary folder holds besides the program's own folder.
    std::vector<std::string> TempContents() {
        std::vector<std::string> names;
        for (const std::string& name : Contents())
            if (name.rfind("program", 0) != 0) names.push_back(name);
        return names;
    }

    fs::path ProgramDir() const { return root_ / "program"; }
};

std::string Field(const std::string& output, const std::string& key) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + ": ", 0) == 0) return line.substr(key.size() + 2);
    return {};
}

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

    EXPECT_EQ(run.exitCode, 0);
    fs::path temp = Field(run.output, "temp folder");
    fs::path library = Field(run.output, "library");
    ASSERT_FALSE(temp.empty()) << run.output;
    EXPECT_EQ(temp.parent_path(), root_);
    EXPECT_EQ(library, temp / "libvtrs2.so");
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(TempContents().empty());
}

TEST_F(PackedProgram, ALibraryPackedAloneIsBoundFromTheTempFolderAtTheFirstCall) {
    appwriter::FilePackWriter writer;
    writer.AddLibrary(ReadBytes(BinDir / "libvtrs2.so"));
    RunResult run = Run(WriteProgram(writer.Write()));
    EXPECT_EQ(run.exitCode, 0);
    fs::path temp = Field(run.output, "temp folder");
    ASSERT_FALSE(temp.empty()) << run.output;
    EXPECT_EQ(fs::path(Field(run.output, "library")), temp / "libvtrs2.so");
    EXPECT_TRUE(TempContents().empty());
}

class CorruptPackedProgram : public PackedProgram, public ::testing::WithParamInterface<Corruption> {};

TEST_P(CorruptPackedProgram, EndsWithoutMessageAndLeavesNothing) {
    fs::path program = WriteProgram(CorruptPack(GetParam(), ReadBytes(BinDir / "libvtrs2.so")));
    RunResult run = Run(program);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(TempContents().empty());
}

INSTANTIATE_TEST_SUITE_P(Each, CorruptPackedProgram,
                         ::testing::Values(Corruption::MissingPack, Corruption::Truncated,
                                           Corruption::NameLengthZero, Corruption::NameLengthOver259,
                                           Corruption::RootedName, Corruption::DriveName,
                                           Corruption::ParentFolderName, Corruption::WrongExtensionChecksum,
                                           Corruption::LibraryNotFirst, Corruption::LibraryTwice),
                         [](const auto& info) { return std::string(CorruptionName(info.param)); });

TEST_F(PackedProgram, ALibraryThatCannotBeBoundEndsTheRunCleanly) {
    appwriter::FilePackWriter writer;
    writer.AddLibrary(Text("not a shared object"));
    writer.AddFile(u"ext.vxe", Text("an object extension"));
    fs::path program = WriteProgram(writer.Write());
    RunResult run = Run(program);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(TempContents().empty());
}

} // namespace
