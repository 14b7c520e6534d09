#include "temp_tree.h"

#include <vector>

using namespace win32;

namespace {

class FindPatterns : public TempTree {
protected:
    void SetUp() override {
        TempTree::SetUp();
        for (const char* name :
             {"Mid1.mid", "a.VXE", "b.vxe", "b.vxe1", "lib.DLL", "README", "x.tar.gz", "Vrt1A.tmp"})
            MakeFile(name, "12345");
        MakeFolder("Vrt2B.tmp");
    }
    std::vector<std::u16string> Names(std::u16string_view pattern) {
        std::vector<std::u16string> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(Path(pattern, u'\\').c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << "pattern " << ToUtf8(pattern);
            return names;
        }
        do
            names.emplace_back(data.cFileName);
        while (FindNextFileW(find, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(find));
        return names;
    }
};

using V = std::vector<std::u16string>;

TEST_F(FindPatterns, MatchAsWindowsPatternsDo) {
    struct Case {
        std::u16string_view pattern;
        V expected;
    };
    const Case cases[] = {
        {u"*.vxe", {u"a.VXE", u"b.vxe"}},
        {u"MID*.MID", {u"Mid1.mid"}},
        {u"*.dll", {u"lib.DLL"}},
        {u"vrt*.tmp", {u"Vrt1A.tmp", u"Vrt2B.tmp"}},
        {u"?.vxe", {u"a.VXE", u"b.vxe"}},
        {u"README.*", {u"README"}},
        {u"*.", {u".", u"..", u"README"}},
        {u"*.gz", {u"x.tar.gz"}},
        {u"readme", {u"README"}},
        {u"*.sft", {}},
        {u"*.*",
         {u".", u"..", u"Mid1.mid", u"README", u"Vrt1A.tmp", u"Vrt2B.tmp", u"a.VXE", u"b.vxe", u"b.vxe1",
          u"lib.DLL", u"x.tar.gz"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Names(c.pattern), c.expected) << ToUtf8(c.pattern);
}

TEST_F(FindPatterns, EntriesCarryAttributesSizeAndTimes) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Path(u"vrt*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    // Made moments ago: within a minute of now (times are 100 ns units since 1601).
    const auto ticks = [](FILETIME t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    EXPECT_LE(ticks(data.ftCreationTime), ticks(now) + 10'000'000ULL);
    EXPECT_GE(ticks(data.ftCreationTime) + 600'000'000ULL, ticks(now));
    ASSERT_TRUE(FindNextFileW(find, &data));
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.nFileSizeLow, 0u);
    FindClose(find);
}

TEST_F(FindPatterns, CreationTimeFollowsALastWriteSetBack) {
    // A folder whose times were set back counts as made then: that is how aged folders are recognised.
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 5);
    std::filesystem::last_write_time(host_ + "/Vrt2B.tmp", old);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Path(u"vrt2b.tmp").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    const ULONGLONG day = 24ULL * 3600 * 10'000'000ULL;
    EXPECT_LT(ticks(data.ftCreationTime), ticks(now) - 4 * day);
}

TEST_F(FindPatterns, MissingFolderIsPathNotFound) {
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(Path(u"nowhere\\*.*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FindPatterns, NarrowFormConvertsWithTheAnsiCodePage) {
    MakeFile("caf\xC3\xA9.vxe"); // "café.vxe"
    WIN32_FIND_DATAA data;
    const std::string pattern = ToUtf8(root_) + "/CAF\xC9.VXE"; // "CAFÉ.VXE" in code page 1252
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "caf\xE9.vxe");
    EXPECT_FALSE(FindNextFileA(find, &data));
    FindClose(find);
}

} // namespace
