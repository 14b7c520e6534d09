#include "startup/frame_loader.h"

#include "runtime/startup/loader/loader_fixture.h"
#include "core/runtime_services.h"
#include "startup/chunk_reader.h"

#include "appwriter/byte_writer.h"
#include "appwriter/frame_writer.h"
#include "support/param_names.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace vtrrt;
using appwriter::Bytes;
using appwriter::FrameContents;
using appwriter::StringForm;

struct FrameDeleter {
    void operator()(FrameRecord* f) const { FreeFrame(f); }
};
using FramePtr = std::unique_ptr<FrameRecord, FrameDeleter>;

class FrameLoader : public ::testing::Test {
protected:
    void TearDown() override {
        frame_.reset();
        app_.reset();
        SetCurrentApplication(nullptr);
    }
    FrameRecord* Load(const appwriter::ApplicationDescription& d, int index = 0, int* error = nullptr) {
        bytes_ = appwriter::WriteApplication(d);
        app_ = loadertest::LoadFromMemory(bytes_);
        EXPECT_TRUE(app_);
        if (!app_) return nullptr;
        SetCurrentApplication(app_.get());
        frame_.reset(LoadFrame(index, error));
        return frame_.get();
    }
    FrameRecord* LoadOne(const appwriter::FrameDesc& frame, StringForm form = StringForm::Wide,
                         int* error = nullptr) {
        appwriter::ApplicationDescription d;
        d.form = form;
        d.frames.push_back(frame);
        return Load(d, 0, error);
    }

    Bytes bytes_;
    loadertest::RecordPtr app_;
    FramePtr frame_;
};

FrameContents FullContents() {
    FrameContents c;
    c.layers = {{0x80, 0.5f, 2.0f, 1, 0, u"Back"}, {0, 1.0f, 1.0f, 0, 1, u"Front \u00e9"}};
    c.instances = std::vector<appwriter::InstanceDesc>{{3, 7, 10, -20, 0, 0, 0}, {9, 8, 300, 400, 2, 5, 1}};
    c.virtualRect = std::array<std::int32_t, 4>{0, 0, 1280, 960};
    c.string3343 = u"kept";
    c.randomSeed = 1234;
    c.moveTimerBase = 60;
    c.fadeIn = Bytes(20, 0x11);
    c.fadeOut = Bytes(24, 0x22);
    c.layerEffects = std::vector<appwriter::EffectDesc>{{1, 64, 0, {}}, {13, 0, 2, {5, 6}}};
    c.effect = appwriter::EffectDesc{13, 7, 1, {1, 2, 3}};
    return c;
}

struct FormCase {
    StringForm form;
    std::uint16_t flags;
};

class FrameRoundTrip : public FrameLoader, public ::testing::WithParamInterface<FormCase> {};

TEST_P(FrameRoundTrip, EveryChunkComesBackAsWritten) {
    const auto [form, flags] = GetParam();
    FrameContents c = FullContents();
    c.chunkFlags = flags;
    appwriter::FrameDesc desc = appwriter::DescribeFrame(1280, 960, 0x00336699, c, form, 0x4);
    desc.name = u"Level \u00e9";
    std::array<std::array<std::uint8_t, 4>, 256> entries{};
    entries[100] = {1, 2, 3, 0};
    desc.palette = appwriter::PalettePayload(entries);
    FrameRecord* f = LoadOne(desc, form);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->width, 1280);
    EXPECT_EQ(f->height, 960);
    EXPECT_EQ(f->background, 0x00336699u);
    EXPECT_EQ(f->flags, 0x4u);
    EXPECT_EQ(std::u16string(f->name), u"Level \u00e9");
    EXPECT_EQ(f->displayWidth, 640); // the application window is smaller than the frame
    EXPECT_EQ(f->displayHeight, 480);
    ASSERT_NE(f->palette, nullptr);
    EXPECT_EQ(f->palette->entries[100].red, 1);
    EXPECT_EQ(f->palette->entries[100].blue, 3);
    EXPECT_EQ(f->palette->entries[100].flags, PC_NOCOLLAPSE);
    EXPECT_EQ(f->palette->entries[5].flags, 0);

    ASSERT_EQ(f->layerCount, 2);
    EXPECT_EQ(std::u16string(f->layers[0].name), u"Back");
    EXPECT_EQ(std::u16string(f->layers[1].name), u"Front \u00e9");
    EXPECT_EQ(f->layers[0].stored.flags, 0x80u);
    EXPECT_FLOAT_EQ(f->layers[0].stored.xCoefficient, 0.5f);
    EXPECT_FLOAT_EQ(f->layers[0].settings.yCoefficient, 2.0f);
    EXPECT_EQ(f->layers[1].stored.firstBackdrop, 1);

    ASSERT_EQ(f->instanceCount, 2);
    EXPECT_EQ(f->instanceHandleLimit, 10);
    const FrameItemInstance* second = FindFrameInstance(*f, 9);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->objectInfo, 8);
    EXPECT_EQ(second->x, 300);
    EXPECT_EQ(second->parentType, 2);
    EXPECT_EQ(second->parentHandle, 5);
    EXPECT_EQ(second->layer, 1);
    EXPECT_EQ(FindFrameInstance(*f, 3)->y, -20);
    EXPECT_EQ(FindFrameInstance(*f, 4), nullptr);

    EXPECT_EQ(f->virtualRect.right, 1280);
    EXPECT_EQ(f->virtualRect.bottom, 960);
    EXPECT_EQ(std::u16string(f->string3343), u"kept");
    EXPECT_EQ(f->randomSeed, 1234);
    EXPECT_EQ(f->moveTimerBase, 60u);
    ASSERT_EQ(f->fadeIn.size, 20u);
    ASSERT_EQ(f->fadeOut.size, 24u);
    // In UTF-16 data bit 1 of a fade's fourth word is set.
    EXPECT_EQ(f->fadeIn.data[12], form == StringForm::Wide ? 0x13 : 0x11);
    EXPECT_EQ(f->effect.size, 16u + 12u);
    EXPECT_EQ(f->layerEffects.size, 40u + 8u);

    CreateLayerEffects();
    EXPECT_EQ(f->layers[0].inkEffect, 1);
    EXPECT_EQ(f->layers[0].effectParameter, 64u);
    EXPECT_EQ(f->layers[1].inkEffect, 13);
}

INSTANTIATE_TEST_SUITE_P(FormsAndFraming, FrameRoundTrip,
                         ::testing::Values(FormCase{StringForm::Wide, 0}, FormCase{StringForm::Ansi, 0},
                                           FormCase{StringForm::Wide, 1}, FormCase{StringForm::Wide, 2},
                                           FormCase{StringForm::Ansi, 3}),
                         [](const auto& info) {
                             return test_support::Numbered(info.param.form == StringForm::Wide ? "WideFlags"
                                                                                               : "AnsiFlags",
                                                           info.param.flags);
                         });

// Written byte by byte from the stored layouts, not through the writer's payload builders.
TEST_F(FrameLoader, HandWrittenLayersAndInstancesAreRead) {
    const Bytes layers{1,    0, 0,    0,                         // one layer
                       0x02, 0, 0,    0,                         // flags
                       0,    0, 0x80, 0x3F,                      // X coefficient 1.0
                       0,    0, 0x00, 0x40,                      // Y coefficient 2.0
                       0,    0, 0,    0,    0, 0, 0, 0,          // backdrops: none, first 0
                       'L',  0, 'a',  0,    0, 0};               // "La"
    const Bytes items{1,    0,    0,    0,                       // one instance
                      5,    0,    6,    0,                       // handle 5, object info 6
                      0xFF, 0xFF, 0xFF, 0xFF,                    // X -1
                      0x10, 0,    0,    0,                       // Y 16
                      0xFD, 0xFF, 4,    0,    0, 0, 0xAA, 0xBB}; // parent type -3, handle 4, layer 0
    FrameContents c;
    c.layers.clear();
    c.instances.reset();
    appwriter::FrameDesc desc = appwriter::DescribeFrame(320, 200, 0, c);
    desc.extra.push_back({0x3341, 0, layers});
    desc.extra.push_back({0x3338, 0, items});
    FrameRecord* f = LoadOne(desc);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->layerCount, 1);
    EXPECT_EQ(std::u16string(f->layers[0].name), u"La");
    EXPECT_FLOAT_EQ(f->layers[0].stored.yCoefficient, 2.0f);
    ASSERT_EQ(f->instanceCount, 1);
    EXPECT_EQ(f->instances[0].handle, 5);
    EXPECT_EQ(f->instances[0].x, -1);
    EXPECT_EQ(f->instances[0].y, 16);
    EXPECT_EQ(f->instances[0].parentType, -3);
    EXPECT_EQ(f->instances[0].parentHandle, 4);
    EXPECT_EQ(f->instanceIndex[5], 0);
}

struct DamageCase {
    const char* name;
    std::uint16_t id;
    Bytes payload;
};

// Each payload replaces (by coming after) the writer's own chunk of that id, or adds one.
const DamageCase damageCases[] = {
    {"ItemsCountBeyondBytes", 0x3338, {3, 0, 0, 0, 1, 2, 3}},
    {"ItemsWithoutCount", 0x3338, {1, 0}},
    {"LayersCountBeyondBytes", 0x3341, {200, 0, 0, 0, 1, 2, 3, 4}},
    {"LayerNameWithoutTerminator", 0x3341, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   0,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'A', 0}},
    {"NoLayers", 0x3341, {0, 0, 0, 0}},
    {"ShortHeader", 0x3334, {1, 2, 3, 4, 5, 6, 7, 8}},
    {"ShortPalette", 0x3337, Bytes(100, 0)},
    {"ShortVirtualRect", 0x3342, Bytes(12, 0)},
    {"EffectCountBeyondBytes", 0x3349, {13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0}},
};

class FrameDamage : public FrameLoader, public ::testing::WithParamInterface<DamageCase> {};

// The offset of the last chunk of this id in the chunk list at `at`.
std::size_t LastChunkAt(const Bytes& b, std::size_t at, std::uint16_t id) {
    std::size_t found = 0;
    while (at + 8 <= b.size()) {
        const auto chunk = static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
        if (chunk == 0x7F7F) break;
        if (chunk == id) found = at;
        at += 8 + (b[at + 4] | (b[at + 5] << 8) | (b[at + 6] << 16) | (std::size_t{b[at + 7]} << 24));
    }
    return found;
}

// The frame is refused, and a damaged chunk is named with its offset in the file.
TEST_P(FrameDamage, IsRefusedWithoutAFrame) {
    appwriter::FrameDesc desc = appwriter::DescribeFrame(320, 200, 0);
    desc.extra.push_back({GetParam().id, 0, GetParam().payload});
    int error = 0;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadOne(desc, StringForm::Wide, &error), nullptr);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(error, 0);
    EXPECT_EQ(Services().frame, nullptr);
    if (error <= 0) return; // no layers: a line of its own
    ASSERT_TRUE(app_);
    char place[80];
    std::snprintf(place, sizeof place,
                  " : Frame 1 cannot be loaded. Damaged data in chunk 0x%04X at offset 0x%zX.\n",
                  GetParam().id, LastChunkAt(bytes_, app_->frameOffsets[0], GetParam().id));
    const std::u16string file = loadertest::DataPath;
    EXPECT_NE(err.find("vtrrt: " + std::string(file.begin(), file.end()) + place), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Chunks, FrameDamage, ::testing::ValuesIn(damageCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameLoader, FrameWithoutLayerChunkIsRefused) {
    FrameContents c;
    c.layers.clear();
    int error = 0;
    EXPECT_EQ(LoadOne(appwriter::DescribeFrame(320, 200, 0, c), StringForm::Wide, &error), nullptr);
    EXPECT_EQ(error, ErrorSilent);
}

TEST_F(FrameLoader, ChunkRunningPastTheDataIsRefused) {
    appwriter::FrameDesc desc = appwriter::DescribeFrame(320, 200, 0);
    appwriter::ApplicationDescription d;
    d.frames.push_back(desc);
    bytes_ = appwriter::WriteApplication(d);
    app_ = loadertest::LoadFromMemory(bytes_);
    ASSERT_TRUE(app_);
    SetCurrentApplication(app_.get());
    // Cut the data inside the frame's chunk list: the stream now ends early.
    const std::uint32_t at = app_->frameOffsets[0];
    auto* stream = NewInputMemFile();
    stream->Attach(bytes_.data(), static_cast<win32::LONG>(at + 30));
    app_->dataStream->Delete();
    app_->dataStream = stream;
    EXPECT_EQ(LoadFrame(0), nullptr);
    EXPECT_EQ(LoadFrame(1), nullptr); // no such frame
    EXPECT_EQ(LoadFrame(-1), nullptr);
}

TEST_F(FrameLoader, FrameWithoutPaletteOrSeedKeepsTheDefaults) {
    FrameRecord* f = LoadOne(appwriter::DescribeFrame(320, 200, 0));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->palette, nullptr);
    EXPECT_EQ(f->randomSeed, -1);
    EXPECT_EQ(f->displayWidth, 320);
    EXPECT_EQ(f->factors[2], 1.0f);
}

TEST_F(FrameLoader, ScreenSizeFrameTakesTheScreenAndStretchesItsVirtualRect) {
    FrameContents c;
    c.virtualRect = std::array<std::int32_t, 4>{0, 0, 100, 50}; // the stored size: stretched
    FrameRecord* f = LoadOne(appwriter::DescribeFrame(100, 50, 0, c, StringForm::Wide, 0x100));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->width, 640);
    EXPECT_EQ(f->height, 480);
    EXPECT_EQ(f->virtualRect.right, 640);
    EXPECT_EQ(f->virtualRect.bottom, 480);
    EXPECT_EQ(f->displayWidth, 640);
}

TEST_F(FrameLoader, EmptyInstanceListHasAOneEntryMapAndNothingToCreate) {
    FrameRecord* f = LoadOne(appwriter::DescribeFrame(320, 200, 0));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->instanceCount, 0);
    EXPECT_EQ(f->instanceHandleLimit, 0);
    EXPECT_EQ(f->instanceIndex[0], NoInstance);
    EXPECT_EQ(FirstFrameItemToCreate(), nullptr);
}

TEST_F(FrameLoader, BackdropInstancesAreNeverCreated) {
    FrameContents c;
    c.instances = std::vector<appwriter::InstanceDesc>{{0, 1, 0, 0}, {1, 2, 0, 0}, {2, 3, 0, 0}};
    FrameRecord* f = LoadOne(appwriter::DescribeFrame(320, 200, 0, c));
    ASSERT_NE(f, nullptr);
    // Object types come from the object infos; set them as those would.
    f->instances[0].objectType = 0;
    f->instances[1].objectType = 2;
    f->instances[2].objectType = 1;
    EXPECT_EQ(FirstFrameItemToCreate(), &f->instances[1]);
    EXPECT_EQ(NextFrameItemToCreate(), nullptr);
    EXPECT_EQ(f->instanceCursor, 3);
}

TEST_F(FrameLoader, SecondFrameOfTheApplicationIsFoundByIndex) {
    appwriter::ApplicationDescription d;
    d.frames.push_back(appwriter::DescribeFrame(320, 200, 0x0000FF));
    d.frames.push_back(appwriter::DescribeFrame(400, 300, 0x00FF00));
    FrameRecord* f = Load(d, 1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->background, 0x00FF00u);
    EXPECT_EQ(Services().frame, f);
}

} // namespace
