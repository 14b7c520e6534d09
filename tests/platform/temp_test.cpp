#include "temp_tree.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
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

} // namespace
