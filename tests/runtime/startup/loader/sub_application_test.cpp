#include "loader_fixture.h"

#include "appwriter/application_writer.h"
#include "core/command_line.h"
#include "core/runtime_services.h"
#include "startup/runtime_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace loadertest;
using appwriter::ApplicationDescription;
using appwriter::Bytes;

constexpr std::uint32_t StyleWithIcon = 0x80000000u;

ApplicationDescription Child() {
    ApplicationDescription app;
    app.typeWord = 4; // checked for a top-level application only
    app.name = u"Child";
    app.menuData = Bytes{1, 2};
    app.icon = Bytes{0x28, 0, 0, 0};
    app.header->flags3 = 0x8; // reset the sharing of globals at the object definitions
    app.extra.push_back({appwriter::ChunkObjectInfos, 0, Bytes{0, 0, 0, 0}});
    return app;
}

class SubApplication : public ::testing::Test {
protected:
    void SetUp() override {
        vtrrt::GetCommandLineOptions() = {};
        vtrrt::GetCommandLineOptions().errorBoxes = 0;
        ApplicationDescription top;
        top.name = u"Top";
        topBytes = appwriter::WriteApplication(top);
        parent = LoadFromMemory(topBytes);
        ASSERT_TRUE(parent);
    }
    void TearDown() override { vtrrt::GetCommandLineOptions() = {}; }
    Bytes topBytes;
    RecordPtr parent;
};

TEST_F(SubApplication, KeepsItsIconSkipsTheMenuAndIgnoresTheTypeWord) {
    const Bytes bytes = appwriter::WriteApplication(Child());
    vtrrt::FrameWindowDescription description{0x4000 | (1u << 19) | 0x7};
    int code = -99;
    RecordPtr child = LoadFromMemory(bytes, &code, parent.get(), &description, StyleWithIcon);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(child->parent, parent.get());
    EXPECT_EQ(child->subAppOptions, description.options);
    EXPECT_EQ(child->menuData.data, nullptr);
    ASSERT_EQ(child->iconDib.size, 4u);
    EXPECT_EQ(child->iconDib.data[0], 0x28);
    // Option 0x4000 keeps every sharing flag the options give.
    EXPECT_EQ(child->shareControls, 1);
    EXPECT_EQ(child->shareLives, 1);
    EXPECT_EQ(child->shareScores, 1);
    EXPECT_EQ(child->shareGlobalValues, 1);
    EXPECT_EQ(child->shareGlobalStrings, 1);
}

TEST_F(SubApplication, HeaderResetsSharingUnlessTheOptionsKeepIt) {
    const Bytes bytes = appwriter::WriteApplication(Child());
    vtrrt::FrameWindowDescription description{(1u << 19) | 0x7};
    RecordPtr child = LoadFromMemory(bytes, nullptr, parent.get(), &description, 0);
    ASSERT_TRUE(child);
    EXPECT_EQ(child->iconDib.data, nullptr); // no icon without the style bit
    EXPECT_EQ(child->shareControls, 1);
    EXPECT_EQ(child->shareLives, 0);
    EXPECT_EQ(child->shareScores, 0);
    EXPECT_EQ(child->shareGlobalValues, 0);
    EXPECT_EQ(child->shareGlobalStrings, 0);
}

TEST_F(SubApplication, TakesDisplayOption2ThroughADisplayDriverUnlessItsPlacementSaysOtherwise) {
    const Bytes bytes = appwriter::WriteApplication(Child());
    const win32::WORD flags = vtrrt::Services().displayFlags;
    const struct {
        win32::WORD displayFlags;
        std::uint32_t options;
        std::int32_t expected;
    } cases[] = {{0x18, 0, 2}, {0x08, 0, 0}, {0x18, 0x20, 0}, {0x18, 0x100000, 0}, {0x18, 0x4000000, 0}};
    for (const auto& c : cases) {
        vtrrt::Services().displayFlags = c.displayFlags;
        vtrrt::FrameWindowDescription description{c.options};
        RecordPtr child = LoadFromMemory(bytes, nullptr, parent.get(), &description, 0);
        ASSERT_TRUE(child);
        EXPECT_EQ(child->displayOption, c.expected) << c.displayFlags << " " << c.options;
    }
    vtrrt::Services().displayFlags = flags;
}

TEST_F(SubApplication, OnlyATopLevelApplicationSetsTheNoCloseOption) {
    ApplicationDescription app = Child();
    app.header->flags2 = 0x200;
    const Bytes bytes = appwriter::WriteApplication(app);
    RecordPtr child = LoadFromMemory(bytes, nullptr, parent.get(), nullptr, 0);
    ASSERT_TRUE(child);
    EXPECT_EQ(vtrrt::GetCommandLineOptions().noCloseCommand, 0);
    app.typeWord = 3;
    const Bytes topBytes2 = appwriter::WriteApplication(app);
    RecordPtr top = LoadFromMemory(topBytes2);
    ASSERT_TRUE(top);
    EXPECT_EQ(vtrrt::GetCommandLineOptions().noCloseCommand, 1);
}

class RelocatedPath : public ::testing::Test {
protected:
    void SetUp() override {
        app = vtrrt::ApplicationRecord{};
        app.targetPath = target;
        app.projectPath = project;
        app.dataFilePath = u"/games/run/app.vtg";
        vtrrt::GetRuntimeFiles().runtimeTempFolder = u"/tmp/vrtABC";
    }
    void TearDown() override { vtrrt::GetRuntimeFiles().runtimeTempFolder.clear(); }
    std::u16string Relocate(std::u16string_view path) {
        win32::WCHAR buffer[260] = {};
        std::copy(path.begin(), path.end(), buffer);
        vtrrt::RelocatePathToTempFolder(app, buffer);
        return buffer;
    }
    win32::WCHAR target[32] = u"C:\\Build\\game.exe";
    win32::WCHAR project[32] = u"D:\\Work\\game.vtp";
    vtrrt::ApplicationRecord app;
};

TEST_F(RelocatedPath, MovesUnderTheDataFilesFolderOrTheTemporaryFolder) {
    EXPECT_EQ(Relocate(u"c:\\build\\Sounds\\a.wav"), u"/games/run/Sounds\\a.wav"); // case does not matter
    EXPECT_EQ(Relocate(u"D:\\Work\\b.txt"), u"/games/run/b.txt");
    EXPECT_EQ(Relocate(u"E:\\Other\\c.txt"), u"E:\\Other\\c.txt");
    EXPECT_EQ(Relocate(u"C:\\Build\\"), u"C:\\Build\\"); // the folder itself is not under it
    app.header.flags3 = 0x40;
    EXPECT_EQ(Relocate(u"C:\\Build\\d.txt"), u"/tmp/vrtABC\\d.txt");
}

TEST_F(RelocatedPath, APathThatWouldNotFitStaysAsItWas) {
    const std::u16string longName = u"C:\\Build\\" + std::u16string(245, u'x');
    app.dataFilePath = u"/a/very/long/folder/name/that/pushes/the/relocated/path/past/its/limit/app.vtg";
    EXPECT_EQ(Relocate(longName), longName);
}

TEST(TempFolderChunk, BecomesTheRunsFolderOnlyWhenThereIsNone) {
    vtrrt::GetCommandLineOptions().errorBoxes = 0;
    ApplicationDescription app;
    app.tempFolder = u"/tmp/from-data";
    const Bytes bytes = appwriter::WriteApplication(app);
    vtrrt::GetRuntimeFiles().runtimeTempFolder = u"/tmp/vrtRUN";
    RecordPtr first = LoadFromMemory(bytes);
    EXPECT_EQ(vtrrt::GetRuntimeFiles().runtimeTempFolder, u"/tmp/vrtRUN");
    vtrrt::GetRuntimeFiles().runtimeTempFolder.clear();
    RecordPtr second = LoadFromMemory(bytes);
    EXPECT_EQ(vtrrt::GetRuntimeFiles().runtimeTempFolder, u"/tmp/from-data");
    vtrrt::GetRuntimeFiles().runtimeTempFolder.clear();
    vtrrt::GetCommandLineOptions() = {};
}

} // namespace
