// The filter manager over the test plug-ins: alpha (priority 100, wide name, reads "A"), beta (no
// priority, ANSI name and lists, reads "A" and "B"), gamma (priority 50, no CanReadFile), and two modules
// that lack a required entry point.
#include "vtrs2/filters.h"
#include "vtrs2/streams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace win32;

namespace {

// What the test plug-ins make.
struct Made {
    const char* variant;
    DWORD value;
};

const std::u16string FilterFolder(TEST_FILTERS_DIR, TEST_FILTERS_DIR + sizeof(TEST_FILTERS_DIR) - 1);

class FilterManagerTest : public ::testing::Test {
protected:
    void SetUp() override { manager_.Initialize(FilterFolder.c_str(), u"*.tft", 7); }
    void TearDown() override { manager_.FreeFilters(); }

    std::string Variant(void* filter) { return filter ? static_cast<Made*>(filter)->variant : "none"; }

    // A stream over the bytes, positioned at `at`.
    CInputMemFile& Stream(const std::string& bytes, LONG at) {
        data_ = bytes;
        stream_.Attach(data_.data(), static_cast<LONG>(data_.size()));
        stream_.Seek(at, SeekFromStart);
        return stream_;
    }

    CFilterMgr manager_;
    std::string data_;
    CInputMemFile stream_;
};

TEST_F(FilterManagerTest, PlugInsWithoutRequiredEntryPointsAreSkippedAndTheRestOrderedByPriority) {
    ASSERT_EQ(manager_.GetFilterCount(), 3);
    EXPECT_STREQ(manager_.GetFilterNameA(0), "Gamma");
    EXPECT_STREQ(manager_.GetFilterNameA(1), "Alpha");
    EXPECT_STREQ(manager_.GetFilterNameA(2), "Beta");
    EXPECT_EQ(manager_.FindFilterByID(0x41464C41), 1);
    EXPECT_EQ(manager_.FindFilterByID(0x12345678), -1);
    EXPECT_EQ(manager_.GetFilterID(9), 0u);
    EXPECT_STREQ(manager_.GetFilterNameA(9), "");
    const std::u16string path = manager_.GetFilterPathW(1);
    EXPECT_EQ(path, FilterFolder + u"\\alpha.tft");
}

TEST_F(FilterManagerTest, EachFormOfNamesAndListsIsMadeFromTheOtherOnRequest) {
    EXPECT_EQ(std::u16string(manager_.GetFilterNameW(2)), u"Beta");
    const WCHAR* const* wide = manager_.GetFilterExtsW(2);
    ASSERT_NE(wide[0], nullptr);
    EXPECT_EQ(std::u16string(wide[0]), u"bet");
    EXPECT_EQ(std::u16string(wide[1]), u"b2");
    EXPECT_EQ(wide[2], nullptr);
    EXPECT_EQ(std::u16string(manager_.GetDependenciesW(2)[0]), u"zlib");
    const char* const* narrow = manager_.GetFilterExtsA(1);
    EXPECT_STREQ(narrow[0], "alf");
    EXPECT_STREQ(narrow[1], "al\xE9") << "converted with the system code page";
    EXPECT_EQ(manager_.GetFilterExtsA(0)[0], nullptr) << "an empty list when the plug-in has none";
    EXPECT_EQ(manager_.GetDependenciesA(1)[0], nullptr);
    // Asked twice, the same converted form is handed out.
    EXPECT_EQ(manager_.GetFilterNameA(1), manager_.GetFilterNameA(1));
}

TEST_F(FilterManagerTest, StreamFiltersComeFromTheFirstPlugInThatReadsAndMakesOne) {
    CInputMemFile& s = Stream("xA", 1);
    EXPECT_EQ(Variant(manager_.CreateFilterForStream(&s)), "alpha");
    EXPECT_EQ(s.GetPosition(), 1) << "the stream is put back after the question";
    EXPECT_EQ(Variant(manager_.CreateFilterForStream(&Stream("B", 0))), "beta");
    EXPECT_EQ(manager_.CreateFilterForStream(&Stream("Z", 0)), nullptr);
    EXPECT_EQ(manager_.CanReadStream(0, &Stream("A", 0)), 0) << "no CanReadFile";
    EXPECT_EQ(manager_.CanReadStream(1, &s), 1);
    EXPECT_EQ(static_cast<Made*>(manager_.CreateFilterAt(0))->value, 7u);
    EXPECT_EQ(Variant(manager_.CreateFilterByID(0x41544542)), "beta");
    EXPECT_EQ(manager_.CreateFilterByID(0x12345678), nullptr);
}

TEST_F(FilterManagerTest, APlugInThatRefusesToMakeAFilterPassesTheStreamOn) {
    manager_.Initialize(FilterFolder.c_str(), u"*.tft", 0xDEAD);
    EXPECT_EQ(Variant(manager_.CreateFilterForStream(&Stream("A", 0))), "beta");
    EXPECT_EQ(manager_.CreateFilterByID(0x41464C41), nullptr);
}

TEST_F(FilterManagerTest, BuiltInFiltersGoFirstAndRemovingAnEntryKeepsTheOrder) {
    static int builtIn = 0;
    ASSERT_EQ(manager_.InsertBuiltInFilter([](DWORD) -> void* { return &builtIn; }, 0xB1, u"Built in", 3), 1);
    ASSERT_EQ(manager_.GetFilterCount(), 4);
    EXPECT_STREQ(manager_.GetFilterNameA(0), "Built in");
    EXPECT_EQ(manager_.CreateFilterAt(0), &builtIn);
    EXPECT_STREQ(manager_.GetFilterPathA(0), "");
    manager_.RemoveFilter(2); // alpha
    ASSERT_EQ(manager_.GetFilterCount(), 3);
    EXPECT_STREQ(manager_.GetFilterNameA(1), "Gamma");
    EXPECT_STREQ(manager_.GetFilterNameA(2), "Beta");
    manager_.RemoveFilter(5);
    EXPECT_EQ(manager_.GetFilterCount(), 3);
}

TEST(FilterManager, NoFolderOrNoMatchLeavesAnEmptyList) {
    CFilterMgr manager;
    EXPECT_EQ(manager.GetFilterCount(), 0);
    manager.Initialize(nullptr, u"*.tft", 0);
    EXPECT_EQ(manager.GetFilterCount(), 0);
    manager.Initialize(FilterFolder.c_str(), u"*.none", 0);
    EXPECT_EQ(manager.GetFilterCount(), 0);
    EXPECT_EQ(manager.CreateFilterForStream(nullptr), nullptr);
    manager.InitializeA(TEST_FILTERS_DIR, "*.tft", 0);
    EXPECT_EQ(manager.GetFilterCount(), 3);
    manager.FreeFilters();
    EXPECT_EQ(manager.GetFilterCount(), 0);
}

} // namespace
