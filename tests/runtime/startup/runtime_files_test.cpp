#include "shell/plugin_modules.h"
#include "startup/runtime_files.h"
#include "startup_fixture.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace startup_test;
using namespace vtrrt;

namespace {

class RuntimeFolders : public PrivateTempFolder {
protected:
    void TearDown() override {
        CleanupRuntimeFiles();
        PrivateTempFolder::TearDown();
    }

    fs::path MakeFolder(const std::string& name, std::initializer_list<std::string> files, int daysOld) {
        fs::path folder = root_ / name;
        fs::create_directories(folder);
        for (const std::string& file : files)
            WriteBytes(folder / file, Text("x"));
        fs::last_write_time(folder, fs::file_time_type::clock::now() - std::chrono::hours(24 * daysOld));
        return folder;
    }
};

TEST_F(RuntimeFolders, TempDirectoryIsANewVrtFolderInTheSystemTempFolder) {
    ASSERT_EQ(CreateTempDirectory(), 0);
    std::string folder = win32::ToUtf8(GetRuntimeFiles().tempFolder);
    ASSERT_EQ(folder.back(), '/');
    fs::path made = fs::path(folder).parent_path();
    EXPECT_EQ(made.parent_path(), root_);
    EXPECT_EQ(made.filename().string().substr(0, 3), "vrt");
    EXPECT_EQ(made.filename().string().size(), 9u);
    EXPECT_TRUE(fs::is_directory(made));
    CleanupRuntimeFiles();
    EXPECT_FALSE(fs::exists(made));
}

// This test program has nothing packed behind it, as the runtime run with F: the run still has its own
// temporary folder for what it writes, and looks for its modules beside the program, never in the current
// folder.
TEST_F(RuntimeFolders, WithNothingPackedModulesAreLookedForBesideTheProgram) {
    EXPECT_EQ(PrepareRuntimeFiles(), 0);
    const RuntimeFiles& files = GetRuntimeFiles();
    EXPECT_FALSE(files.packFound);
    EXPECT_EQ(files.prepareFailure, ErrorBadFilePack);
    ASSERT_FALSE(files.tempFolder.empty());
    EXPECT_EQ(files.runtimeTempFolder + u"/", files.tempFolder);
    EXPECT_EQ(fs::path(win32::ToUtf8(files.runtimeTempFolder)).parent_path(), root_);

    const fs::path program = fs::canonical("/proc/self/exe");
    EXPECT_EQ(win32::ToUtf8(ModuleSearchFolder()), program.parent_path().string());
    EXPECT_EQ(win32::ToUtf8(PluginModulePath(u"vtrgauge.vxe")),
              (program.parent_path() / "vtrgauge.vxe").string());

    // A run whose pack was unpacked finds its modules where they were unpacked.
    GetRuntimeFiles().modulesBesideProgram = false;
    EXPECT_EQ(ModuleSearchFolder(), files.runtimeTempFolder);
    EXPECT_EQ(PluginModulePath(u"vtrgauge.vxe"), files.tempFolder + u"vtrgauge.vxe");
}

TEST_F(RuntimeFolders, FurtherTempFoldersAreSeparateAndLeftToTheCaller) {
    std::u16string first, second;
    ASSERT_EQ(CreateTempFolder(first), 0);
    ASSERT_EQ(CreateTempFolder(second), 0);
    EXPECT_NE(first, second);
    EXPECT_TRUE(fs::is_directory(win32::ToUtf8(first)));
    EXPECT_EQ(first.back(), u'/');
}

TEST_F(RuntimeFolders, FolderPathCreatesEveryMissingFolderOfAFilePath) {
    std::u16string path = win32::FromUtf8(root_.string()) + u"/one\\two/three/file.vxe";
    EXPECT_EQ(CreateFolderPath(path), 0);
    EXPECT_TRUE(fs::is_directory(root_ / "one/two/three"));
    EXPECT_FALSE(fs::exists(root_ / "one/two/three/file.vxe"));
    EXPECT_EQ(fs::current_path(), root_ / "one/two/three");
    // A file in the way of a folder is a failure.
    WriteBytes(root_ / "blocked", Text("x"));
    EXPECT_NE(CreateFolderPath(win32::FromUtf8(root_.string()) + u"/blocked/file.vxe"), 0);
}

TEST_F(RuntimeFolders, ChangeToFolderOfPathMakesTheFileFolderCurrent) {
    fs::create_directories(root_ / "app");
    ChangeToFolderOfPath(win32::FromUtf8((root_ / "app" / "game.dat").string()));
    EXPECT_EQ(fs::current_path(), root_ / "app");
}

TEST(PathHelpers, TrailingSeparatorsComeAndGoButRootsStay) {
    std::u16string path = u"/tmp/vrtabcdef";
    AppendBackslash(path);
    EXPECT_EQ(path, u"/tmp/vrtabcdef/");
    AppendBackslash(path);
    EXPECT_EQ(path, u"/tmp/vrtabcdef/");
    RemoveTrailingBackslash(path);
    EXPECT_EQ(path, u"/tmp/vrtabcdef");
    std::u16string backslashed = u"C:\\games\\";
    RemoveTrailingBackslash(backslashed);
    EXPECT_EQ(backslashed, u"C:\\games");
    for (std::u16string root : {u"/", u"C:\\"}) {
        std::u16string kept = root;
        RemoveTrailingBackslash(kept);
        EXPECT_EQ(kept, root);
    }
}

TEST(DayNumber, CountsYearsOf365DaysAndFixedMonthLengths) {
    auto day = [](int year, int month, int dayOfMonth) {
        win32::SYSTEMTIME time{};
        time.wYear = static_cast<win32::WORD>(year);
        time.wMonth = static_cast<win32::WORD>(month);
        time.wDay = static_cast<win32::WORD>(dayOfMonth);
        return DayNumber(time);
    };
    EXPECT_EQ(day(2026, 1, 1), 2026 * 365 + 1);
    EXPECT_EQ(day(2026, 3, 5), 2026 * 365 + 31 + 28 + 5);
    EXPECT_EQ(day(2024, 3, 1), day(2024, 2, 29)); // February is always 28 days
    EXPECT_EQ(day(2026, 12, 31), 2026 * 365 + 365);
    EXPECT_EQ(day(2026, 14, 31), day(2026, 12, 31));
    EXPECT_EQ(day(2027, 1, 1), day(2026, 12, 31) + 1);
}

TEST_F(RuntimeFolders, PurgeRemovesOnlyRuntimeFilesOfOldFoldersOfOtherRuns) {
    fs::path stale =
        MakeFolder("vrtAAAAAA", {"x.vxe", "Mid01.mid", "libvtrs2.so", "m.MVX", "f.ift", "s.sft"}, 5);
    fs::path mixed = MakeFolder("vrtBBBBBB", {"a.vxe", "keep.txt"}, 5);
    fs::path recent = MakeFolder("vrtCCCCCC", {"c.vxe"}, 2);
    fs::path own = MakeFolder("vrtDDDDDD", {"d.vxe"}, 5);
    fs::path otherName = MakeFolder("vrtTOOLONG1", {"e.vxe"}, 5);
    fs::path nested = MakeFolder("vrtEEEEEE/inner", {}, 5);
    fs::last_write_time(root_ / "vrtEEEEEE", fs::file_time_type::clock::now() - std::chrono::hours(24 * 5));
    GetRuntimeFiles().runtimeTempFolder = win32::FromUtf8(own.string());
    fs::path before = fs::current_path();

    PurgeStaleTempFolders();

    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(mixed / "keep.txt"));
    EXPECT_FALSE(fs::exists(mixed / "a.vxe"));
    EXPECT_TRUE(fs::exists(recent / "c.vxe"));
    EXPECT_TRUE(fs::exists(own / "d.vxe"));
    EXPECT_TRUE(fs::exists(otherName / "e.vxe"));
    EXPECT_TRUE(fs::exists(nested)); // folders are never deleted by pattern
    EXPECT_EQ(fs::current_path(), before);
}

TEST_F(RuntimeFolders, PurgeNeverFollowsALinkOutOfTheTempFolder) {
    fs::path victim = root_ / "elsewhere";
    fs::create_directories(victim);
    WriteBytes(victim / "precious.so", Text("x"));
    fs::last_write_time(victim, fs::file_time_type::clock::now() - std::chrono::hours(24 * 10));
    fs::create_directory_symlink(victim, root_ / "vrtLINKED");

    PurgeStaleTempFolders();

    EXPECT_TRUE(fs::exists(victim / "precious.so"));
}

} // namespace
