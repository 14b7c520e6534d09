#include "temp_tree.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

using namespace win32;

namespace {

using TempNames = TempTree;

TEST(TempPath, EndsWithASeparatorAndNamesAFolder) {
    WCHAR path[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, path);
    ASSERT_GT(length, 0u);
    EXPECT_TRUE(IsPathSeparator(path[length - 1]));
    EXPECT_EQ(GetFileAttributesW(path) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetTempPathW(1, path), length + 1);
}

TEST_F(TempNames, EachCallCreatesANewEmptyFile) {
    std::set<std::u16string> seen;
    for (int i = 0; i < 50; ++i) {
        WCHAR name[MAX_PATH];
        ASSERT_NE(GetTempFileNameW(root_.c_str(), u"vrtlong", 0, name), 0u);
        EXPECT_TRUE(seen.insert(name).second);
        EXPECT_EQ(GetFileAttributesW(name), FILE_ATTRIBUTE_NORMAL);
        const std::u16string text(name);
        EXPECT_EQ(text.substr(root_.size() + 1, 3), u"vrt"); // the prefix is cut to three characters
        EXPECT_TRUE(text.ends_with(u".tmp"));
    }
}

TEST_F(TempNames, SkipsNamesThatExistInAnyCase) {
    // Numbers are tried in sequence: take the next hundred, written in lower case where the layer writes
    // upper-case hex, and the call must step over all of them.
    WCHAR name[MAX_PATH];
    const UINT first = GetTempFileNameW(root_.c_str(), u"Z", 0, name);
    ASSERT_NE(first, 0u);
    for (UINT n = first + 1; n <= first + 100; ++n) {
        char file[32];
        std::snprintf(file, sizeof file, "/z%x.TMP", (n - 1) % 0xFFFF + 1);
        const int fd = open((host_ + file).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    const UINT next = GetTempFileNameW(root_.c_str(), u"Z", 0, name);
    ASSERT_NE(next, 0u);
    EXPECT_GT((next + 0xFFFF - first) % 0xFFFF, 100u);
    char expected[32];
    std::snprintf(expected, sizeof expected, "Z%X.tmp", next);
    EXPECT_EQ(std::u16string(name), Path(FromUtf8(expected)));
}

TEST_F(TempNames, AGivenNumberOnlyMakesTheName) {
    WCHAR name[MAX_PATH];
    ASSERT_EQ(GetTempFileNameW(root_.c_str(), u"Q", 0x1A, name), 0x1Au);
    EXPECT_EQ(std::u16string(name), Path(u"Q1A.tmp"));
    EXPECT_EQ(GetFileAttributesW(name), INVALID_FILE_ATTRIBUTES);
}

TEST(TempNameFolder, MissingFolderIsRefused) {
    WCHAR name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameW(u"/nonexistent-folder-for-tests", u"vrt", 0, name), 0u);
}

TEST(TempFolders, EachIsNewAndCarriesThePrefix) {
    const std::u16string a = CreateUniqueTempFolder(u"vrt");
    const std::u16string b = CreateUniqueTempFolder(u"vrt");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    for (const auto& folder : {a, b}) {
        EXPECT_EQ(GetFileAttributesW(folder.c_str()), FILE_ATTRIBUTE_DIRECTORY);
        const size_t cut = folder.find_last_of(u'/');
        EXPECT_EQ(folder.substr(cut + 1, 3), u"vrt");
        EXPECT_EQ(folder.size() - cut - 1, 9u); // "vrt" and six characters
        EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
    }
    EXPECT_TRUE(CreateUniqueTempFolder(u"a/b").empty());
}

namespace fs = std::filesystem;

// What a folder holds, by name.
std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A run folder with something in it, as a run leaves it.
std::u16string MakeRunFolder() {
    const std::u16string folder = CreateUniqueTempFolder(u"vrt");
    if (folder.empty()) return folder;
    const std::string host = ToUtf8(folder);
    fs::create_directories(host + "/sub/deeper");
    std::ofstream(host + "/vtrtrans.dll") << "x";
    std::ofstream(host + "/sub/deeper/m.mvx") << "x";
    return folder;
}

using OwnedFolders = TempTree;

// A child owns a run folder until it is killed outright; then the folder is abandoned and goes whole, mark
// and all.
TEST_F(OwnedFolders, AFolderIsAbandonedOnceItsOwnerIsKilledAndNotBefore) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("TMPDIR", host_.c_str(), 1);
        const std::string made = ToUtf8(MakeRunFolder()) + "\n";
        if (write(pipeFds[1], made.data(), made.size()) < 0) _exit(2);
        pause();
        _exit(0);
    }
    close(pipeFds[1]);
    std::string made;
    char c;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n')
        made.push_back(c);
    close(pipeFds[0]);
    ASSERT_FALSE(made.empty());
    const std::u16string folder = FromUtf8(made);
    EXPECT_FALSE(IsFolderAbandoned(folder.c_str()));
    EXPECT_FALSE(RemoveAbandonedFolder(folder.c_str()));
    EXPECT_TRUE(fs::exists(made + "/sub/deeper/m.mvx"));

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(IsFolderAbandoned(folder.c_str()));
    EXPECT_TRUE(RemoveAbandonedFolder(folder.c_str()));
    EXPECT_TRUE(Names(host_).empty());
}

// Folders of this live process, folders just made and not yet marked, links and plain files are never
// abandoned; an unmarked folder left unchanged a while is.
TEST_F(OwnedFolders, OnlyFoldersWithoutALiveOwnerAreAbandoned) {
    setenv("TMPDIR", host_.c_str(), 1);
    const std::u16string mine = MakeRunFolder();
    unsetenv("TMPDIR");
    ASSERT_FALSE(mine.empty());
    MakeFolder("vrtFRESH0");
    MakeFolder("vrtOLD000/inner");
    fs::last_write_time(host_ + "/vrtOLD000", fs::file_time_type::clock::now() - std::chrono::minutes(2));
    fs::create_directory_symlink(host_ + "/vrtOLD000", host_ + "/vrtLINK00");
    MakeFile("vrtFILE00");

    EXPECT_FALSE(IsFolderAbandoned(mine.c_str()));
    EXPECT_FALSE(IsFolderAbandoned(Path(u"vrtFRESH0").c_str()));
    EXPECT_FALSE(IsFolderAbandoned(Path(u"vrtLINK00").c_str()));
    EXPECT_FALSE(IsFolderAbandoned(Path(u"vrtFILE00").c_str()));
    EXPECT_FALSE(IsFolderAbandoned(Path(u"missing").c_str()));
    EXPECT_TRUE(IsFolderAbandoned(Path(u"vrtOLD000").c_str()));

    EXPECT_FALSE(RemoveAbandonedFolder(mine.c_str()));
    EXPECT_FALSE(RemoveAbandonedFolder(Path(u"vrtLINK00").c_str()));
    EXPECT_TRUE(RemoveAbandonedFolder(Path(u"vrtOLD000").c_str()));
    EXPECT_FALSE(HostExists("vrtOLD000"));
    EXPECT_TRUE(fs::is_symlink(host_ + "/vrtLINK00"));
    EXPECT_TRUE(fs::exists(ToUtf8(mine) + "/vtrtrans.dll"));
}

using OwnedFoldersDeathTest = TempTree;

// Whatever ends the process without its clean-up, what it owned in the temporary folder goes.
TEST_F(OwnedFoldersDeathTest, AProcessThatExitsWithoutItsCleanUpLeavesNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("TMPDIR", host_.c_str(), 1);
            if (MakeRunFolder().empty() || MakeRunFolder().empty()) std::_Exit(2);
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_TRUE(Names(host_).empty());
    EXPECT_EXIT(
        {
            setenv("TMPDIR", host_.c_str(), 1);
            if (MakeRunFolder().empty()) std::_Exit(2);
            std::abort();
        },
        ::testing::KilledBySignal(SIGABRT), "");
    EXPECT_TRUE(Names(host_).empty());
}

} // namespace
