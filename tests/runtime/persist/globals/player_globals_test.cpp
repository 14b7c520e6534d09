#include "startup/player_globals.h"

#include "runtime/startup/loader/loader_fixture.h"
#include "core/runtime_services.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"
#include "vtrs2/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

namespace {

using namespace vtrrt;

// u16 count, count 4-byte slots, count type bytes.
appwriter::Bytes GlobalValuesChunk() {
    appwriter::ByteWriter w;
    w.U16(3);
    w.I32(-7);
    w.U32(std::bit_cast<std::uint32_t>(2.5f));
    w.I32(42);
    w.U8(0);
    w.U8(1);
    w.U8(0);
    return w.Take();
}

appwriter::ApplicationDescription Described() {
    appwriter::ApplicationDescription d;
    d.header->initialLives = 3;
    d.header->initialScore = 0;
    d.header->controlTypes = {5, 2, 5, 0};
    d.header->controlKeys[0] = {38, 40, 37, 39, 16, 17, 0, 0};
    d.globalValues = GlobalValuesChunk();
    d.globalStrings = std::vector<std::u16string>{u"alpha", u"", u"gamma"};
    d.frames.emplace_back();
    return d;
}

class Globals : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = appwriter::WriteApplication(Described());
        app_ = loadertest::LoadFromMemory(bytes_);
        ASSERT_TRUE(app_);
        SetCurrentApplication(app_.get());
        ASSERT_TRUE(InitApplicationGlobals());
    }
    void TearDown() override {
        child_.reset();
        app_.reset();
        SetCurrentApplication(nullptr);
    }
    // A sub-application of the same data, sharing by the options given.
    ApplicationRecord* Child(std::uint32_t options) {
        FrameWindowDescription description{options};
        child_ = loadertest::LoadFromMemory(bytes_, nullptr, app_.get(), &description);
        SetCurrentApplication(child_.get());
        EXPECT_TRUE(InitApplicationGlobals());
        return child_.get();
    }

    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
    loadertest::RecordPtr child_;
};

TEST_F(Globals, PlayersStartFromTheHeaderWithLivesAndScoresComplemented) {
    const ApplicationGlobals& g = app_->globals;
    for (int p = 0; p < PlayerCount; ++p) {
        EXPECT_EQ(~g.lives[p], 3);
        EXPECT_EQ(~g.scores[p], 0);
    }
    EXPECT_EQ(g.controls[0], 5);
    EXPECT_EQ(g.controls[1], 5) << "its joystick is not plugged in: the player takes the keyboard";
    EXPECT_EQ(g.controls[PlayerCount + 0], 38); // player 1, up
    EXPECT_EQ(g.controls[PlayerCount + 5], 17); // player 1, button 2
    EXPECT_EQ(g.controlWork[ControlWorkWords - 1], 0);
}

TEST_F(Globals, ValuesComeFromTheChunkWithTheirTypes) {
    ASSERT_EQ(app_->globals.valueCount, 3);
    const TypedValue* v = app_->globals.values;
    EXPECT_EQ(v[0].type, TypeInteger);
    EXPECT_EQ(v[0].integer, -7);
    EXPECT_EQ(v[1].type, TypeDouble);
    EXPECT_DOUBLE_EQ(v[1].real, 2.5);
    EXPECT_EQ(v[2].integer, 42);
}

TEST_F(Globals, ValueSlotsGrowOnDemandAndRefuseNegativeIndexes) {
    TypedValue* slot = GetGlobalValueSlot(app_.get(), 9);
    EXPECT_EQ(app_->globals.valueCount, 10);
    EXPECT_EQ(slot->type, TypeInteger);
    EXPECT_EQ(slot->integer, 0);
    EXPECT_EQ(app_->globals.values[0].integer, -7); // kept across the growth

    TypedValue* fallback = GetGlobalValueSlot(app_.get(), -1);
    fallback->integer = 99;
    EXPECT_EQ(GetGlobalValueSlot(nullptr, 0)->integer, 0); // the fallback is reset on every use

    TypedValue d{};
    d.type = TypeDouble;
    d.real = 1.25;
    SetGlobalValue(app_.get(), 4, &d);
    EXPECT_DOUBLE_EQ(app_->globals.values[4].real, 1.25);
    SetGlobalValue(app_.get(), -3, &d); // nothing happens
    EXPECT_EQ(app_->globals.valueCount, 10);
    EXPECT_TRUE(ReserveGlobalValues(app_.get(), 2)); // smaller: unchanged
    EXPECT_EQ(app_->globals.valueCount, 10);
}

TEST_F(Globals, StringsReadEmptyOutsideTheListAndGrowWithNullGaps) {
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 0)), u"alpha");
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 2)), u"gamma");
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), -1)), u"");
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 3)), u"");
    SetGlobalString(app_.get(), 10, u"ten");
    EXPECT_EQ(app_->globals.stringCount, 11);
    EXPECT_EQ(app_->globals.strings[5], nullptr);
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 10)), u"ten");
    SetGlobalString(app_.get(), 0, nullptr);
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 0)), u"");
}

TEST_F(Globals, EmptyStringListGrowsToTheIndexSet) {
    FreeGlobalData(false);
    EXPECT_EQ(app_->globals.stringCount, 0);
    SetGlobalString(app_.get(), 10, u"x");
    EXPECT_EQ(app_->globals.stringCount, 11);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(app_->globals.strings[i], nullptr);
}

TEST_F(Globals, SubApplicationSharingValuesUsesItsParentsArray) {
    ApplicationRecord* child = Child(0x1); // values and strings shared
    EXPECT_EQ(GetGlobalValuesOwner(child), app_.get());
    TypedValue v{};
    v.integer = 5;
    SetGlobalValue(child, 20, &v);
    EXPECT_EQ(app_->globals.valueCount, 21);
    EXPECT_EQ(app_->globals.values[20].integer, 5);
    SetGlobalString(child, 1, u"shared");
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 1)), u"shared");
    // Lives were not shared: the child has its own.
    EXPECT_NE(child->globals.lives, app_->globals.lives);
}

TEST_F(Globals, SubApplicationSharingLivesAndControlsTakesTheParentsBlocks) {
    ApplicationRecord* child = Child((1u << 1) | (1u << 19));
    EXPECT_EQ(child->globals.lives, app_->globals.lives);
    EXPECT_EQ(child->globals.controls, app_->globals.controls);
    EXPECT_NE(child->globals.scores, app_->globals.scores);
    // Freeing the child's data leaves the parent's alone.
    FreeGlobalData(true);
    EXPECT_NE(app_->globals.lives, nullptr);
    EXPECT_EQ(~app_->globals.lives[0], 3);
}

TEST_F(Globals, DamagedValueAndStringChunksKeepOnlyWhatIsThere) {
    // 255 values announced with 3 bytes; 1000 strings announced with one there.
    const appwriter::Bytes values{0xFF, 0x00, 1, 2, 3};
    appwriter::ByteWriter s;
    s.U32(1000);
    s.Units(u"ab");
    s.U16(0);
    const appwriter::Bytes strings = s.Take();
    auto replace = [](KeptChunk& kept, const appwriter::Bytes& bytes) {
        FreeMemory(&kept.data);
        ASSERT_TRUE(AllocMemory(bytes.size(), &kept.data));
        std::copy(bytes.begin(), bytes.end(), kept.data);
        kept.size = static_cast<std::uint32_t>(bytes.size());
    };
    replace(app_->globalValues, values);
    replace(app_->globalStrings, strings);
    ASSERT_TRUE(InitApplicationGlobals());
    EXPECT_EQ(app_->globals.valueCount, 0);
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 0)), u"ab");
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 1)), u"");
}

} // namespace
