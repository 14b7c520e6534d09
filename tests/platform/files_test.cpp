#include "temp_tree.h"

#include <array>

using namespace win32;

namespace {

using Files = TempTree;

std::string ReadAll(HANDLE file) {
    std::string text;
    std::array<char, 64> chunk;
    DWORD got = 0;
    while (ReadFile(file, chunk.data(), chunk.size(), &got, nullptr) && got > 0)
        text.append(chunk.data(), got);
    return text;
}

TEST_F(Files, NameInAnotherCaseFindsTheFileFolderByFolder) {
    MakeFolder("Data/Sub");
    MakeFile("Data/Sub/Level.DAT", "abc");
    HANDLE file = CreateFileW(Path(u"DATA\\sub\\level.dat", u'\\').c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), "abc");
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Files, ExactNameWinsOverOtherCases) {
    MakeFile("a.txt", "lower");
    MakeFile("A.txt", "upper");
    HANDLE file = CreateFileW(Path(u"A.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), "upper");
    CloseHandle(file);
}

TEST_F(Files, CreatingAnExistingNameInAnotherCaseReusesTheFile) {
    MakeFile("Save.vpp", "old contents");
    HANDLE file =
        CreateFileW(Path(u"SAVE.VPP").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(file);
    EXPECT_TRUE(HostExists("Save.vpp"));
    EXPECT_FALSE(HostExists("SAVE.VPP"));
    EXPECT_EQ(std::filesystem::file_size(host_ + "/Save.vpp"), 0u);
}

TEST_F(Files, NonAsciiNamesRoundTripAndMatchWithoutCase) {
    const std::u16string name = u"\u00C9t\u00E9 \u65E5\u672C \U0001F600.txt"; // "Été 日本 😀.txt"
    HANDLE file = CreateFileW(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "x", 1, &written, nullptr));
    CloseHandle(file);
    EXPECT_TRUE(HostExists("\xC3\x89t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.txt"));
    // Lower-case É is é: the name is found through the folded form.
    const std::u16string folded = u"\u00E9T\u00C9 \u65E5\u672C \U0001F600.TXT";
    EXPECT_EQ(GetFileAttributesW(Path(folded).c_str()), FILE_ATTRIBUTE_NORMAL);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Path(u"*.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), name);
    FindClose(find);
}

TEST_F(Files, MissingFileAndMissingFolderGiveDifferentCodes) {
    MakeFolder("here");
    SetLastError(0);
    EXPECT_EQ(
        CreateFileW(Path(u"here/none.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        CreateFileW(Path(u"gone\\none.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(Path(u"gone").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileW(Path(u"here/none.bin").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CreateDirectoryW(Path(u"gone/deeper").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Files, CreateNewRefusesAnExistingFile) {
    MakeFile("taken");
    EXPECT_EQ(CreateFileW(Path(u"TAKEN").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
}

TEST_F(Files, ReadAtTheEndSucceedsEmptyWithEndOfFileCode) {
    MakeFile("three", "abc");
    HANDLE file = CreateFileW(Path(u"three").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[8];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file, buffer, 8, &got, nullptr));
    EXPECT_EQ(got, 3u); // short read: what there was
    SetLastError(0);
    ASSERT_TRUE(ReadFile(file, buffer, 8, &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
    CloseHandle(file);
}

TEST(DiskFull, WriteToAFullDeviceFailsWithDiskFull) {
    HANDLE full = CreateFileW(u"/dev/full", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(full, INVALID_HANDLE_VALUE);
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(full, "data", 4, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(written, 0u);
    CloseHandle(full);
}

TEST_F(Files, PointerMovesFromEachOriginAndSizeIsReported) {
    MakeFile("ten", "0123456789");
    HANDLE file = CreateFileW(Path(u"ten").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_CURRENT), 6u);
    EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 7u);
    char c = 0;
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file, &c, 1, &got, nullptr));
    EXPECT_EQ(c, '7');
    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    LARGE_INTEGER to{}, at{};
    to.QuadPart = 1;
    ASSERT_TRUE(SetFilePointerEx(file, to, &at, FILE_BEGIN));
    EXPECT_EQ(at.QuadPart, 1);
    DWORD high = 5;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 0u);
    EXPECT_TRUE(FlushFileBuffers(file));
    CloseHandle(file);
}

TEST(Handles, ClosedOrForeignHandlesAreRefused) {
    int notAHandle = 0;
    char buffer[4];
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(&notAHandle, buffer, 4, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Files, FoldersAreMadeEnteredAndRemoved) {
    ASSERT_TRUE(CreateDirectoryW(Path(u"New").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryW(Path(u"NEW").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileAttributesW(Path(u"new").c_str()), FILE_ATTRIBUTE_DIRECTORY);
    MakeFile("New/inside");
    EXPECT_FALSE(RemoveDirectoryW(Path(u"new").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(DeleteFileW(Path(u"new").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    WCHAR before[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, before), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(Path(u"NEW\\", u'\\').c_str()));
    EXPECT_TRUE(DeleteFileW(u"INSIDE"));
    WCHAR now[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(std::u16string(now, length), Path(u"New"));
    EXPECT_EQ(GetCurrentDirectoryW(2, now), length + 1);
    ASSERT_TRUE(SetCurrentDirectoryW(before));
    EXPECT_TRUE(RemoveDirectoryW(Path(u"new").c_str()));
    EXPECT_FALSE(HostExists("New"));
}

TEST_F(Files, OpeningAFolderAsAFileIsDenied) {
    MakeFolder("dir");
    EXPECT_EQ(CreateFileW(Path(u"dir").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

} // namespace

TEST_F(Files, MoveReplacesOnlyWhenAsked) {
    MakeFile("from");
    MakeFile("to");
    EXPECT_FALSE(MoveFileExW(Path(u"from").c_str(), Path(u"to").c_str(), 0));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileExW(Path(u"FROM").c_str(), Path(u"to").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetFileAttributesW(Path(u"from").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(MoveFileExW(Path(u"to").c_str(), Path(u"moved").c_str(), 0));
    EXPECT_NE(GetFileAttributesW(Path(u"moved").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(MoveFileExW(Path(u"to").c_str(), Path(u"again").c_str(), 0));
}
