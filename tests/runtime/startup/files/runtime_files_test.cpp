#include "startup/plugin_modules.h"
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

// A mark that no process holds: what a run killed outright leaves beside its folder.
void MarkAsLeftBehind(const fs::path& folder) {
    WriteBytes(folder.string() + ".owner", {});
}

TEST_F(RuntimeFolders, PurgeRemovesTheFoldersOfEndedRunsWhateverTheirAgeAndContents) {
    fs::path killed = MakeFolder("vrtAAAAAA", {"vtrtrans.dll", "libvtrs2.so", "keep.txt"}, 0);
    fs::create_directories(killed / "movements" / "deeper");
    WriteBytes(killed / "movements" / "deeper" / "m.mvx", Text("x"));
    MarkAsLeftBehind(killed);
    fs::path unmarkedOld = MakeFolder("vrtBBBBBB", {"a.vxe", "notes.txt"}, 5);
    fs::path unmarkedNew = MakeFolder("vrtCCCCCC", {"c.vxe"}, 0);
    fs::path own = MakeFolder("vrtDDDDDD", {"d.vxe"}, 5);
    MarkAsLeftBehind(own);
    fs::path otherName = MakeFolder("vrtTOOLONG1", {"e.vxe"}, 5);
    MarkAsLeftBehind(otherName);
    // A folder of this live process: its mark is held.
    std::u16string live;
    ASSERT_EQ(CreateTempFolder(live), 0);
    WriteBytes(win32::ToUtf8(live) + "Mid0.mid", Text("x"));
    fs::last_write_time(win32::ToUtf8(live), fs::file_time_type::clock::now() - std::chrono::hours(24 * 5));
    GetRuntimeFiles().runtimeTempFolder = win32::FromUtf8(own.string());
    fs::path before = fs::current_path();

    PurgeStaleTempFolders();

    EXPECT_FALSE(fs::exists(killed));
    EXPECT_FALSE(fs::exists(killed.string() + ".owner"));
    EXPECT_FALSE(fs::exists(unmarkedOld));
    EXPECT_TRUE(fs::exists(unmarkedNew / "c.vxe")) << "its run may not have marked it yet";
    EXPECT_TRUE(fs::exists(own / "d.vxe"));
    EXPECT_TRUE(fs::exists(otherName / "e.vxe"));
    EXPECT_TRUE(fs::exists(win32::ToUtf8(live) + "Mid0.mid"));
    EXPECT_EQ(fs::current_path(), before);

    // The live folder's owner removes it as usual once it is empty.
    fs::remove(win32::ToUtf8(live) + "Mid0.mid");
    EXPECT_TRUE(win32::RemoveDirectoryW(live.c_str()));
    // Its mark went with it; what stays is what the purge left.
    const std::vector<std::string> left{"vrtCCCCCC",         "vrtCCCCCC/c.vxe",  "vrtDDDDDD",
                                        "vrtDDDDDD.owner",   "vrtDDDDDD/d.vxe",  "vrtTOOLONG1",
                                        "vrtTOOLONG1.owner", "vrtTOOLONG1/e.vxe"};
    EXPECT_EQ(Contents(), left);
}

TEST_F(RuntimeFolders, PurgeNeverFollowsALinkOutOfTheTempFolder) {
    fs::path victim = root_ / "elsewhere";
    fs::create_directories(victim);
    WriteBytes(victim / "precious.so", Text("x"));
    fs::last_write_time(victim, fs::file_time_type::clock::now() - std::chrono::hours(24 * 10));
    fs::create_directory_symlink(victim, root_ / "vrtLINKED");
    fs::path left = MakeFolder("vrtLEFT00", {}, 0);
    fs::create_directory_symlink(victim, left / "inner");
    MarkAsLeftBehind(left);

    PurgeStaleTempFolders();

    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::is_symlink(root_ / "vrtLINKED"));
    EXPECT_TRUE(fs::exists(victim / "precious.so"));
}

} // namespace
