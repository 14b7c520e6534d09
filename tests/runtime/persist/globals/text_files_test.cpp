#include "startup/text_files.h"

#include "support/param_names.h"
#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using vtrrt::ReadTextFile;
using vtrrt::WriteTextFile;

class TextFiles : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder of the test's own; a parameterised test's name has '/' in it, which must not nest folders
        // that the removal would then leave behind.
        std::string pattern = (std::filesystem::temp_directory_path() / "vtr-text-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        path_ = (dir_ / "file.txt").u16string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void Put(const Bytes& bytes) {
        std::ofstream out(dir_ / "file.txt", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Bytes Get() {
        std::ifstream in(dir_ / "file.txt", std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    // The text read, or "<null>".
    std::u16string Read(int encoding) {
        char16_t* text = ReadTextFile(path_.c_str(), encoding);
        if (!text) return u"<null>";
        std::u16string s(text);
        FreeMemory(&text);
        return s;
    }

    std::filesystem::path dir_;
    std::u16string path_;
};

struct EncodingCase {
    int encoding;
    Bytes stored; // of u"A\u00e9\u20ac"
};

// "A", e acute, euro sign in each encoding.
const EncodingCase encodingCases[] = {
    {0, {0x41, 0xE9, 0x80}},
    {1, {0xEF, 0xBB, 0xBF, 0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
    {2, {0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
    {3, {0xFF, 0xFE, 0x41, 0x00, 0xE9, 0x00, 0xAC, 0x20}},
    {4, {0x41, 0x00, 0xE9, 0x00, 0xAC, 0x20}},
    {5, {0xFE, 0xFF, 0x00, 0x41, 0x00, 0xE9, 0x20, 0xAC}},
    {6, {0x00, 0x41, 0x00, 0xE9, 0x20, 0xAC}},
};

class TextEncodings : public TextFiles, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(TextEncodings, WritesTheStoredFormAndReadsItBack) {
    const EncodingCase& c = GetParam();
    ASSERT_EQ(WriteTextFile(c.encoding, path_.c_str(), u"A\u00e9\u20ac"), 1);
    EXPECT_EQ(Get(), c.stored);
    EXPECT_EQ(Read(c.encoding), u"A\u00e9\u20ac");
}

TEST_P(TextEncodings, EmptyTextWritesOnlyTheMarkAndReadsEmpty) {
    const EncodingCase& c = GetParam();
    ASSERT_EQ(WriteTextFile(c.encoding, path_.c_str(), u""), 1);
    const std::size_t mark = c.encoding == 1 ? 3 : (c.encoding == 3 || c.encoding == 5) ? 2 : 0;
    EXPECT_EQ(Get().size(), mark);
    EXPECT_EQ(Read(c.encoding), u"");
}

INSTANTIATE_TEST_SUITE_P(AllSeven, TextEncodings, ::testing::ValuesIn(encodingCases), [](const auto& info) {
    return test_support::Numbered("Encoding", info.param.encoding);
});

TEST_F(TextFiles, ByteOrderMarkInTheFileOverridesTheEncodingGiven) {
    Put({0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00});
    EXPECT_EQ(Read(0), u"AB");
    Put({0xFE, 0xFF, 0x00, 0x41});
    EXPECT_EQ(Read(2), u"A");
    Put({0xEF, 0xBB, 0xBF, 0xC3, 0xA9});
    EXPECT_EQ(Read(4), u"\u00e9");
}

TEST_F(TextFiles, EncodingExpectingAMarkReadsAFileWithoutOneAsItsPlainForm) {
    Put({0xC3, 0xA9});
    EXPECT_EQ(Read(1), u"\u00e9");
    Put({0x41, 0x00});
    EXPECT_EQ(Read(3), u"A");
    Put({0x00, 0x41});
    EXPECT_EQ(Read(5), u"A");
}

TEST_F(TextFiles, OneByteFileIsReadWithTheGivenEncoding) {
    Put({0xFF});
    EXPECT_EQ(Read(0), u"\u00ff");
    EXPECT_EQ(Read(4), u"\u00ff");
    EXPECT_EQ(Read(6), u"\uff00");
}

TEST_F(TextFiles, OddLengthUtf16KeepsTheLastByteAsAPaddedUnit) {
    Put({0xFF, 0xFE, 0x41, 0x00, 0x42});
    EXPECT_EQ(Read(0), u"AB");
    Put({0xFE, 0xFF, 0x00, 0x41, 0x42});
    EXPECT_EQ(Read(0), u"A\u4200");
}

TEST_F(TextFiles, EmptyFileReadsAsEmptyTextInEveryEncoding) {
    Put({});
    for (int encoding = 0; encoding < vtrrt::TextEncodingCount; ++encoding)
        EXPECT_EQ(Read(encoding), u"") << encoding;
}

TEST_F(TextFiles, UnknownEncodingsAndMissingFilesFail) {
    Put({0x41});
    EXPECT_EQ(Read(7), u"<null>");
    EXPECT_EQ(WriteTextFile(7, path_.c_str(), u"x"), 0);
    EXPECT_EQ(Get(), Bytes{0x41}); // a refused write leaves the file alone
    EXPECT_EQ(WriteTextFile(3, path_.c_str(), nullptr), 0);
    const std::u16string missing = (dir_ / "none" / "x.txt").u16string();
    EXPECT_EQ(ReadTextFile(missing.c_str(), 0), nullptr);
    EXPECT_EQ(WriteTextFile(3, missing.c_str(), u"x"), 0);
}

TEST_F(TextFiles, DefaultEncodingsWithoutApplicationReadAnsiAndWriteUtf16WithMark) {
    ASSERT_EQ(WriteTextFile(-1, path_.c_str(), u"A"), 1);
    EXPECT_EQ(Get(), (Bytes{0xFF, 0xFE, 0x41, 0x00}));
    Put({0xE9});
    EXPECT_EQ(Read(-1), u"\u00e9");
}

} // namespace
