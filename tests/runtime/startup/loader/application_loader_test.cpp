#include "loader_fixture.h"

#include "appwriter/application_writer.h"
#include "appwriter/sample_applications.h"
#include "core/byte_reader.h"
#include "core/command_line.h"
#include "startup/loader_environment.h"

#include "vtrs2/containers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace {

using namespace loadertest;
using appwriter::ApplicationDescription;
using appwriter::Bytes;
using appwriter::StringForm;
using vtrrt::ApplicationRecord;
using vtrrt::EmbeddedFileEntry;

Bytes Palette(std::uint8_t seed) {
    Bytes p{0x00, 0x03, 0x00, 0x01};
    for (int i = 0; i < 256 * 4; ++i)
        p.push_back(static_cast<std::uint8_t>(seed + i));
    return p;
}

std::u16string GlobalString(const vtrrt::KeptChunk& block, int index) {
    vtrrt::ByteReader r({block.data, block.size});
    std::uint32_t count = 0;
    r.U32(count);
    std::u16string s;
    for (int i = 0; i <= index; ++i) {
        s.clear();
        std::uint16_t unit = 0;
        while (r.U16(unit) && unit != 0)
            s.push_back(static_cast<char16_t>(unit));
    }
    return s;
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<StringForm, std::uint16_t>> {
protected:
    void SetUp() override {
        vtrrt::GetCommandLineOptions() = {};
        description = appwriter::FullApplication(std::get<0>(GetParam()));
        appwriter::ApplyChunkFlags(description, std::get<1>(GetParam()));
        bytes = appwriter::ApplicationWriter(description).Write();
        app = LoadFromMemory(bytes, &code);
    }
    ApplicationDescription description;
    Bytes bytes;
    RecordPtr app;
    int code = -99;
};

TEST_P(RoundTrip, TextsArriveAsUtf16) {
    ASSERT_EQ(code, 0);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->unicode, std::get<0>(GetParam()) == StringForm::Wide ? 1 : 0);
    EXPECT_EQ(Text(app->name), *description.name);
    EXPECT_EQ(Text(app->copyright), *description.copyright);
    EXPECT_EQ(Text(app->projectPath), *description.projectPath);
    EXPECT_EQ(Text(app->targetPath), *description.targetPath);
    EXPECT_EQ(Text(app->helpFile), *description.helpFile);
    EXPECT_EQ(Text(app->aboutText), *description.aboutText);
    EXPECT_EQ(app->codePage, 1252u);
    EXPECT_EQ(GlobalString(app->globalStrings, 0), u"first");
    EXPECT_EQ(GlobalString(app->globalStrings, 1), u"");
    EXPECT_EQ(GlobalString(app->globalStrings, 2), u"naïve");
}

TEST_P(RoundTrip, HeaderAndKeptBlocksArriveWhole) {
    ASSERT_TRUE(app);
    EXPECT_EQ(app->header.size, 112u);
    EXPECT_EQ(app->header.flags1, 0x0001);
    EXPECT_EQ(app->header.windowWidth, 320);
    EXPECT_EQ(~app->header.initialScore, 1000u);
    EXPECT_EQ(~app->header.initialLives, 5u);
    EXPECT_EQ(app->header.controlKeys[2][4], 0x26);
    EXPECT_EQ(app->header.frameRate, 50);
    EXPECT_EQ(app->value, 7);
    EXPECT_EQ(app->currentFrameIndex, -1);
    EXPECT_EQ(Bytes(app->menuData.data, app->menuData.data + app->menuData.size), *description.menuData);
    EXPECT_EQ(app->iconDib.data, nullptr); // only a sub-application with an icon style keeps it
    EXPECT_EQ(Bytes(app->globalValues.data, app->globalValues.data + app->globalValues.size),
              *description.globalValues);
    EXPECT_EQ(Bytes(app->extendedOptions.data, app->extendedOptions.data + app->extendedOptions.size),
              *description.extendedOptions);
    ASSERT_EQ(app->frameHandleCount, 4);
    EXPECT_EQ(app->frameHandles[1], 2);
    EXPECT_EQ(app->frameHandles[2], 0xFFFF);
    ASSERT_EQ(app->imageList.size, 12u);
    EXPECT_EQ(app->imageList.data[8 + 2], 7);
    EXPECT_EQ(app->effectsFlag, 1); // the second effect asks for one of the low four option bits
    EXPECT_EQ(app->textFileEncodings[0], 2u);
    EXPECT_EQ(app->textFileEncodings[1], 5u);
}

TEST_P(RoundTrip, FramesArePlacedAndScanned) {
    ASSERT_TRUE(app);
    ASSERT_EQ(app->framesCounted, 3);
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t at = app->frameOffsets[i];
        ASSERT_LT(at + 2, bytes.size());
        // Each frame's chunk list starts with its header sub-chunk.
        EXPECT_EQ(bytes[at] | (bytes[at + 1] << 8), appwriter::ChunkFrameHeader);
    }
    ASSERT_NE(app->framePasswords, nullptr);
    EXPECT_EQ(app->framePasswords[0], nullptr);
    EXPECT_EQ(Text(app->framePasswords[1]), u"Sésame");
    const Bytes palette = Palette(1); // the first palette of the application wins
    EXPECT_EQ(
        Bytes(app->applicationPalette.data, app->applicationPalette.data + app->applicationPalette.size),
        palette);
}

TEST_P(RoundTrip, EmbeddedFilesPointAtTheirBytes) {
    ASSERT_TRUE(app);
    ASSERT_NE(app->embeddedFiles, nullptr);
    int cursor = app->embeddedFiles->GetHead();
    std::vector<EmbeddedFileEntry*> entries;
    while (void* item = app->embeddedFiles->Next(cursor))
        entries.push_back(static_cast<EmbeddedFileEntry*>(item));
    ASSERT_EQ(entries.size(), 2u);
    // Under the target path's folder: moved beside the data file. Elsewhere: unchanged.
    EXPECT_EQ(Text(entries[0]->name), u"/games/demo/data\\level.txt");
    EXPECT_EQ(Text(entries[1]->name), u"D:\\elsewhere\\music.mid");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Bytes& data = (*description.embeddedFiles)[i].data;
        ASSERT_EQ(entries[i]->size, data.size());
        EXPECT_EQ(
            Bytes(bytes.begin() + entries[i]->position, bytes.begin() + entries[i]->position + data.size()),
            data);
    }
}

INSTANTIATE_TEST_SUITE_P(FormsAndFlags, RoundTrip,
                         ::testing::Combine(::testing::Values(StringForm::Ansi, StringForm::Wide),
                                            ::testing::Values(0, 1, 2, 3)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == StringForm::Wide ? "Wide"
                                                                                            : "Ansi") +
                                    "Flags" + std::to_string(std::get<1>(info.param));
                         });

} // namespace
