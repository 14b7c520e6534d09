// A written application whose frames place objects of several definitions on two layers, run in its main
// and frame windows over a library context: what a frame start creates and loads, what its run list holds,
// the collision planes it asks for, and the global object carried from one frame to the next.
#include "application_run.h"
#include "core/command_line.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "loop/pause.h"
#include "objects/run_objects.h"
#include "runtime/startup/loader/loader_fixture.h"
#include "shell/frame_window.h"
#include "shell/main_window.h"
#include "startup/banks.h"
#include "startup/event_program.h"
#include "startup/object_infos.h"
#include "support/scene_fixture.h"

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "persist/global_object_store.h"
#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"
#include "vtrs2/effect.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprite_window.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace vtrrt;

constexpr std::uint16_t Wall = 1;
constexpr std::uint16_t Ship = 4;
constexpr std::uint16_t Rock = 5;
constexpr std::uint16_t Ghost = 6; // placed in no frame
constexpr std::uint16_t Later = 7; // placed with a parent: created by events, not at start
constexpr std::uint32_t ValuesAndAnimation = ObjectHasValues | ObjectHasAnimation;

appwriter::ObjectInfoDesc Active(std::uint16_t handle, std::u16string name, std::vector<std::uint16_t> images,
                                 std::uint16_t headerFlags = 0) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.name = std::move(name);
    o.headerFlags = headerFlags;
    o.definition.objectFlags = ValuesAndAnimation;
    o.definition.values = {0};
    appwriter::AnimationDesc walking;
    walking.number = 1;
    walking.directions.push_back({0, 0, 100, 0, 0, images});
    walking.directions.push_back({16, 0, 100, 0, 0, images}); // the same images again, facing left
    o.definition.animations = {walking};
    return o;
}

// Stored image index 0 is empty; 1 to 4 hold items.
appwriter::BankPayload Images() {
    std::vector<appwriter::ImageItemDesc> images(4);
    for (std::size_t i = 0; i < images.size(); ++i)
        images[i].width = static_cast<std::int16_t>(4 + i);
    return appwriter::WriteImageBank(images);
}

appwriter::Bytes PlatformEvents() {
    appwriter::EventProgramBuilder b;
    b.objectInfoCount = 7;
    b.conditionCounts[TypeSpecial + 7] = 40;
    appwriter::EventGroupDesc g;
    appwriter::EventRecordDesc c;
    c.type = TypeSpecial;
    c.number = -3;
    c.parameters.push_back(appwriter::ShortParameter(ParamObstacle, 2));
    g.conditions.push_back(c);
    b.AddGroup(g);
    return b.ChunkPayload();
}

appwriter::FrameDesc Frame(std::vector<appwriter::InstanceDesc> instances, appwriter::Bytes events = {}) {
    appwriter::FrameContents contents;
    contents.layers = {appwriter::LayerDesc{}, appwriter::LayerDesc{}};
    contents.layers[1].name = u"Front";
    contents.instances = std::move(instances);
    contents.events = std::move(events);
    return appwriter::DescribeFrame(320, 200, 0x102030, contents);
}

appwriter::ApplicationDescription Describe() {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    std::vector<appwriter::ObjectInfoDesc> objects;
    appwriter::ObjectInfoDesc wall;
    wall.handle = Wall;
    wall.type = 1;
    wall.name = u"Wall";
    wall.definition.obstacle = 1;
    wall.definition.image = 4;
    objects.push_back(wall);
    objects.push_back(Active(Ship, u"Ship", {1, 2}, InfoHeaderGlobal));
    objects.push_back(Active(Rock, u"Rock", {3}));
    objects.push_back(Active(Ghost, u"Ghost", {3}));
    objects.push_back(Active(Later, u"Later", {}));
    const appwriter::BankPayload images = Images();
    std::vector<std::uint32_t> offsets = images.offsets;
    offsets.insert(offsets.begin(), 0);
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos(objects, appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    d.extra.push_back({appwriter::ChunkImageBank, 0, images.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(offsets)});
    // Frame 0: a ship and the wall at the back, a rock and a second ship in front, an object with a parent.
    d.frames.push_back(Frame({{1, Ship, 10, 20, 0, 0, 0},
                              {2, Wall, 0, 150, 0, 0, 0},
                              {3, Rock, 30, 40, 0, 0, 1},
                              {4, Ship, 50, 60, 0, 0, 1},
                              {5, Later, 70, 80, 2, 1, 1}},
                             PlatformEvents()));
    // Frame 1: three ships.
    d.frames.push_back(Frame({{1, Ship, 1, 1, 0, 0, 0}, {2, Ship, 2, 2, 0, 0, 0}, {3, Ship, 3, 3, 0, 0, 0}}));
    return d;
}

class FrameObjects : public ::testing::Test {
protected:
    virtual appwriter::ApplicationDescription Description() { return Describe(); }
    void SetUp() override {
        bytes_ = appwriter::WriteApplication(Description());
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
    }
    void TearDown() override { wiringtest::StopApplicationRun(app_); }
    int EndWith(std::int16_t code) {
        CurrentRunState()->exitCode = code;
        return RunApplicationStep(app_.get(), 0);
    }
    RunObject* Slot(int slot) { return CurrentRunState()->objects[slot].object; }
    ObjectInfo& Info(std::uint16_t handle) { return *SeekObjectInfoByHandle(app_.get(), handle); }
    std::uint32_t LibraryRefs(std::uint16_t storedIndex) {
        const std::uint32_t handle = HandleOfStoredIndex(*app_->banks, AppBankImages, storedIndex);
        const BankItemHeader* item = GetBankItem(Services().libraryContext->banks, BankImages, handle);
        return item ? item->refCount : 0;
    }
    SpriteWindow& FrameSprites() { return *Services().frameLibraryWindow->sprites; }
    void SetValueA(RunObject* o, std::int32_t v) {
        static_cast<TypedValue*>(ValuesBlockOf(o)->values)[0].integer = v;
    }
    std::int32_t ValueA(RunObject* o) {
        return static_cast<TypedValue*>(ValuesBlockOf(o)->values)[0].integer;
    }

    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(FrameObjects, PlacedObjectsAreCreatedInTheFramesOrder) {
    FrameRunState* s = CurrentRunState();
    ASSERT_EQ(s->objectCount, 3)
        << "two ships and a rock; backdrops have no record, and objects with a parent "
           "wait for their events";
    const struct {
        std::uint16_t info;
        std::int16_t frameItem;
        std::int32_t x, y, layer;
    } expected[] = {{Ship, 0, 10, 20, 0}, {Rock, 2, 30, 40, 1}, {Ship, 3, 50, 60, 1}};
    for (int slot = 0; slot < 3; ++slot) {
        RunObject* o = Slot(slot);
        ASSERT_NE(o, nullptr) << slot;
        EXPECT_EQ(o->objectInfo, expected[slot].info) << slot;
        EXPECT_EQ(o->frameItem, expected[slot].frameItem) << slot;
        EXPECT_EQ(o->x, expected[slot].x) << slot;
        EXPECT_EQ(o->y, expected[slot].y) << slot;
        EXPECT_EQ(o->layer, expected[slot].layer) << slot;
    }
    EXPECT_EQ(app_->run.frame->layers[1].createdObjects, 3) << "the layer counts its objects from 1";
}

TEST_F(FrameObjects, TheRunListHoldsOneEntryPerObjectInfoOfTheFrame) {
    FrameRunState* s = CurrentRunState();
    ASSERT_EQ(s->objectInfoCount, 3)
        << "ship, rock and the object with a parent; not the wall, not the ghost";
    EXPECT_EQ(s->objectInfos[3].handle, -1);
    EXPECT_EQ(s->objectInfos[0].handle, Ship);
    EXPECT_EQ(s->objectInfos[1].handle, Rock);
    EXPECT_EQ(s->objectInfos[2].handle, Later);
    EXPECT_EQ(s->objectInfos[0].instanceCount, 2);
    EXPECT_EQ(s->objectInfos[1].instanceCount, 1);
    EXPECT_EQ(s->objectInfos[2].instanceCount, 0);
    EXPECT_EQ(std::u16string(s->objectInfos[0].name), u"Ship");
    EXPECT_EQ(s->objectInfos[0].flags & RunEntryHasValues, RunEntryHasValues);
    EXPECT_EQ(s->objectInfos[0].definition, Info(Ship).definition.data());
    // The chain runs from the newest instance.
    EXPECT_EQ(s->objectInfos[0].firstInstance, 2);
    EXPECT_EQ(Slot(2)->nextInstance, 0);
    EXPECT_GE(s->maxObjects, 4);
}

TEST_F(FrameObjects, TheFrameLoadsItsDefinitionsAndTheirImages) {
    for (std::uint16_t handle : {Wall, Ship, Rock, Later})
        EXPECT_TRUE(Info(handle).runFlags & InfoDefinitionLoaded) << handle;
    EXPECT_FALSE(Info(Ghost).runFlags & InfoDefinitionLoaded);
    EXPECT_TRUE(Info(Ship).runFlags & InfoTranslated);
    // Each image is held once per use: the ship names images 1 and 2 in two directions, the rock image 3
    // twice, the wall image 4.
    EXPECT_EQ(LibraryRefs(1), 2u);
    EXPECT_EQ(LibraryRefs(2), 2u);
    EXPECT_EQ(LibraryRefs(3), 2u);
    EXPECT_EQ(LibraryRefs(4), 1u);
    // The definitions now name library handles.
    const std::uint16_t wallImage = DefU16(Info(Wall).definition, BackdropImage);
    EXPECT_EQ(wallImage, HandleOfStoredIndex(*app_->banks, AppBankImages, 4));
    EXPECT_NE(wallImage, 0);
}

TEST_F(FrameObjects, TheNextFrameKeepsWhatItUsesAndDropsTheRest) {
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    EXPECT_TRUE(Info(Ship).runFlags & InfoDefinitionLoaded);
    EXPECT_FALSE(Info(Rock).runFlags & InfoDefinitionLoaded);
    EXPECT_FALSE(Info(Wall).runFlags & InfoDefinitionLoaded);
    EXPECT_EQ(LibraryRefs(1), 2u) << "the ship's images stay, adjusted, not reloaded";
    EXPECT_EQ(LibraryRefs(3), 0u);
    EXPECT_EQ(LibraryRefs(4), 0u);
}

TEST_F(FrameObjects, TheCollisionMaskHasThePlanesOfTheBackdropsAndTheEvents) {
    const CollisionMask& mask = FrameSprites().mask;
    ASSERT_NE(mask.planes, nullptr);
    EXPECT_GE(mask.obstacleOffset, 0) << "the wall is an obstacle on the first layer";
    EXPECT_GE(mask.platformOffset, 0) << "the events test platforms";
    EXPECT_NE(mask.platformOffset, mask.obstacleOffset);
    EXPECT_EQ(mask.fineCollisions, 1);
    EXPECT_LE(mask.left, -64);
    EXPECT_LE(mask.top, -16);
}

TEST_F(FrameObjects, TheFrameWindowHasASpritePoolForEveryObjectAndBackdrop) {
    SpriteManager* pool = FrameSprites().sprites;
    ASSERT_NE(pool, nullptr);
    // With room for 512 backdrops added while the frame runs.
    EXPECT_EQ(pool->capacity, 2 * CurrentRunState()->maxObjects + 1 + 512);
}

TEST_F(FrameObjects, TheFrameDrawsIntoAScreenSurfaceOfItsPlayAreaInTheDesktopsDepth) {
    EXPECT_EQ(Services().displayType, 8) << "the layer's desktop is 32 bits";
    EXPECT_EQ(app_->surfaceDepth, 32);
    cSurface* surface = app_->run.frame->surface;
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(GetWindowSurface(Services().frameLibraryWindow, 0), surface);
    EXPECT_EQ(surface->GetWidth(), 320);
    EXPECT_EQ(surface->GetHeight(), 200);
    EXPECT_EQ(surface->GetDepth(), 32);
    win32::COLORREF pixel = 0;
    ASSERT_TRUE(surface->GetPixel(5, 5, pixel));
    EXPECT_EQ(pixel, 0x102030u) << "filled with the frame's background";
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    EXPECT_EQ(app_->frameSurface, surface) << "the application keeps the last frame's picture";
    EXPECT_NE(app_->run.frame->surface, surface);
    EXPECT_EQ(GetWindowSurface(Services().frameLibraryWindow, 0), app_->run.frame->surface);
}

TEST_F(FrameObjects, AGlobalObjectCarriesItsValuesToTheNextFrame) {
    // Chain order: the newest instance first.
    SetValueA(Slot(2), 7);
    SetValueA(Slot(0), 9);
    SetValueA(Slot(1), 5); // the rock is not global
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    ASSERT_EQ(app_->currentFrameIndex, 1);
    ASSERT_NE(app_->run.globalStore, nullptr);
    EXPECT_EQ(app_->run.globalStore->count, 1);
    // Frame 1 creates three ships in slots 0, 1, 2; its chain is 2, 1, 0. The two stored elements go to the
    // first two of the chain; the third ship keeps its own values.
    EXPECT_EQ(ValueA(Slot(2)), 7);
    EXPECT_EQ(ValueA(Slot(1)), 9);
    EXPECT_EQ(ValueA(Slot(0)), 0);
    // Back to the first frame through a jump: the three ships were stored; two come back.
    SetValueA(Slot(0), 11);
    CurrentRunState()->exitParameter = 0x8000;
    ASSERT_EQ(EndWith(ExitJumpToFrame), 1);
    ASSERT_EQ(app_->currentFrameIndex, 0);
    EXPECT_EQ(ValueA(Slot(2)), 7);
    EXPECT_EQ(ValueA(Slot(0)), 9);
}

TEST_F(FrameObjects, ARestartOfTheFrameCreatesItsObjectsAgain) {
    SetValueA(Slot(0), 3);
    ASSERT_EQ(EndWith(ExitRestartFrame), 1);
    EXPECT_EQ(CurrentRunState()->objectCount, 3);
    EXPECT_EQ(ValueA(Slot(0)), 0) << "a restart stores nothing";
}

TEST_F(FrameObjects, APauseRequestPausesTheFrame) {
    ASSERT_EQ(EndWith(ExitPause), 1);
    EXPECT_TRUE(ApplicationPaused());
    EXPECT_EQ(CurrentRunState()->exitCode, ExitNone);
    ResumeApplication();
}

TEST_F(FrameObjects, FrameEndFreesTheCollisionMaskAndTheSprites) {
    ASSERT_EQ(EndWith(ExitEndApplication), 0);
    EXPECT_EQ(FrameSprites().mask.planes, nullptr);
    EXPECT_EQ(CurrentRunState(), nullptr);
}

// The same application with shader effects on the rock, the first frame and its front layer, a sound and a
// file named by the first frame's events, and a project folder the file lies in.
class FrameEffects : public FrameObjects {
protected:
    static constexpr std::uint32_t FloatOne = 0x3F800000;
    appwriter::ApplicationDescription Description() override {
        appwriter::ApplicationDescription d = Describe();
        d.projectPath = u"C:\\work\\game\\game.vtp";
        d.effects = std::vector<appwriter::Bytes>{
            appwriter::EffectEntry({"glow", "main", {1, 3}, {"power", "pattern"}})};
        // Rewrite the object infos with an effect on the rock.
        for (auto& chunk : d.extra) {
            if (chunk.id != appwriter::ChunkObjectInfos) continue;
            std::vector<appwriter::ObjectInfoDesc> objects;
            appwriter::ObjectInfoDesc wall;
            wall.handle = Wall;
            wall.type = 1;
            wall.definition.obstacle = 1;
            wall.definition.image = 4;
            objects.push_back(wall);
            objects.push_back(Active(Ship, u"Ship", {1, 2}, InfoHeaderGlobal));
            appwriter::ObjectInfoDesc rock = Active(Rock, u"Rock", {3});
            rock.inkEffect = 13;
            rock.inkParameter = 0x80FFFFFF;
            rock.definition.objectFlags |= 0x200; // drawn by a sprite, with its effect object
            rock.effectIndex = 0;
            rock.effectValues = {0xEEEE1234, 0xEEEE0002};
            objects.push_back(rock);
            chunk.payload =
                appwriter::WriteObjectInfos(objects, appwriter::StringForm::Wide, appwriter::KeyOf(d));
        }
        appwriter::FrameContents contents;
        contents.layers = {appwriter::LayerDesc{}, appwriter::LayerDesc{}};
        contents.instances = std::vector<appwriter::InstanceDesc>{
            {1, Ship, 10, 20, 0, 0, 0}, {2, Wall, 0, 150, 0, 0, 0}, {3, Rock, 30, 40, 0, 0, 1}};
        contents.effect = appwriter::EffectDesc{13, 0, 0, {FloatOne, 3}};
        contents.layerEffects = std::vector<appwriter::EffectDesc>{
            appwriter::EffectDesc{}, appwriter::EffectDesc{13, 0, 0, {FloatOne, 1}}};
        appwriter::EventProgramBuilder b;
        b.objectInfoCount = 3;
        b.conditionCounts[TypeSpecial + 7] = 40;
        appwriter::EventGroupDesc g;
        appwriter::EventRecordDesc c;
        c.type = TypeSpecial;
        c.number = -3;
        g.conditions.push_back(c);
        appwriter::EventRecordDesc a;
        a.type = TypeSpecial;
        a.number = 1;
        a.parameters.push_back(appwriter::SampleParameter(6, 1, 0, u"beep"));
        a.parameters.push_back(appwriter::FileParameter(40, u"C:\\work\\game\\data\\level.txt"));
        g.actions.push_back(a);
        b.AddGroup(g);
        contents.events = b.ChunkPayload();
        d.frames[0] = appwriter::DescribeFrame(320, 200, 0, contents);
        return d;
    }
    std::uint16_t Handle(std::uint16_t storedIndex) {
        return static_cast<std::uint16_t>(HandleOfStoredIndex(*app_->banks, AppBankImages, storedIndex));
    }
    static std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
    // The first parameter of the first action of the first group with that code.
    const std::uint8_t* Parameter(std::int16_t code) {
        const std::vector<std::uint8_t>& p = app_->run.frame->events->stored;
        for (std::size_t at = 0; at + 4 <= p.size(); at += 2)
            if (static_cast<std::int16_t>(U16(&p[at + 2])) == code && U16(&p[at]) >= 8) return &p[at];
        return nullptr;
    }
};

TEST_F(FrameEffects, EffectImagesAreLoadedWithTheFrameAndTranslated) {
    // Image 1: the ship's two uses and the front layer's effect; 2: the ship's two and the rock's effect;
    // 3: the rock's animation and the frame's effect.
    EXPECT_EQ(LibraryRefs(1), 3u);
    EXPECT_EQ(LibraryRefs(2), 3u);
    EXPECT_EQ(LibraryRefs(3), 3u);
    const FrameRecord& f = *app_->run.frame;
    EXPECT_EQ(U16(f.effect.data + 16), FloatOne & 0xFFFF) << "a float parameter is not an image";
    EXPECT_EQ(U16(f.effect.data + 20), Handle(3));
    const std::uint32_t layerValues = DefU32({f.layerEffects.data, f.layerEffects.size}, 20 + 16);
    EXPECT_EQ(U16(f.layerEffects.data + layerValues + 4), Handle(1));
    const std::vector<std::uint8_t>& rock = Info(Rock).effectParameters;
    EXPECT_EQ(U16(&rock[8 + 2]), 0xEEEE) << "the float parameter's working value is left alone";
    EXPECT_EQ(U16(&rock[12 + 2]), Handle(2));
    EXPECT_EQ(U16(&rock[12]), 2) << "the stored value stays for the next load";
}

TEST_F(FrameEffects, TheRockAndTheFrontLayerAreDrawnWithEffectObjectsOfTheirValues) {
    const FrameRecord& f = *app_->run.frame;
    ASSERT_EQ(f.layers[1].inkEffect, 13);
    auto* layer = reinterpret_cast<CEffectEx*>(f.layers[1].effectParameter);
    ASSERT_NE(layer, nullptr);
    EXPECT_STREQ(layer->source, "main");
    EXPECT_FLOAT_EQ(layer->GetParamFloat(0), 1.0f);
    EXPECT_EQ(layer->GetParamTexture(1), Handle(1));
    EXPECT_EQ(layer->GetExtraValue(), reinterpret_cast<std::intptr_t>(Services().libraryContext));
    ASSERT_NE(FrameSprites().layers, nullptr);
    EXPECT_EQ(FrameSprites().layers[1].ink, 13u);
    EXPECT_EQ(FrameSprites().layers[1].inkParam, reinterpret_cast<win32::LONG_PTR>(layer));
    RunObject* rock = nullptr;
    for (int slot = 0; slot < CurrentRunState()->maxObjects; ++slot)
        if (RunObject* o = Slot(slot); o && o->objectInfo == Rock) rock = o;
    ASSERT_NE(rock, nullptr);
    ASSERT_NE(SpriteBlockOf(rock), nullptr);
    auto* effect = static_cast<CEffectEx*>(SpriteBlockOf(rock)->inkParameter);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->FindParam("PATTERN"), 1);
    EXPECT_EQ(effect->GetParamTexture(1), Handle(2)) << "the working handle of the image parameter";
    EXPECT_EQ(effect->GetRgbaCoefficient(), 0x80FFFFFFu) << "the stored parameter is the coefficient";
}

TEST_F(FrameEffects, EventsNameTheirSoundsByHandleAndTheirFilesWhereTheApplicationRuns) {
    const std::uint8_t* sample = Parameter(6);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(U16(sample + 4), HandleOfStoredIndex(*app_->banks, AppBankSounds, 1))
        << "stored index 1 translated";
    const std::uint8_t* file = Parameter(40);
    ASSERT_NE(file, nullptr);
    std::u16string path;
    for (const std::uint8_t* p = file + 4; U16(p); p += 2)
        path.push_back(static_cast<char16_t>(U16(p)));
    EXPECT_EQ(path, u"/games/demo/data\\level.txt");
}

} // namespace

namespace {

using appwriter::Bytes;

std::uint32_t U32At(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The offset of the first chunk with this id in the chunk list starting at `at` (frames are walked into).
std::size_t FindChunk(const Bytes& b, std::size_t at, std::uint16_t id) {
    constexpr std::uint16_t FrameChunk = 0x3333, EndChunk = 0x7F7F;
    while (at + 8 <= b.size()) {
        const auto found = static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
        if (found == id) return at;
        if (found == EndChunk) break;
        if (found == FrameChunk)
            if (const std::size_t inner = FindChunk(b, at + 8, id)) return inner;
        at += 8 + U32At(b, at + 4);
    }
    return 0;
}

// The first frame's events with one byte changed inside an expression: the end token's code becomes 0x26,
// a token too short for its own header. The file is read whole; only preparing the events finds it.
Bytes DamagedExpressionEvents() {
    appwriter::EventProgramBuilder b;
    b.objectInfoCount = 7;
    b.conditionCounts[TypeSpecial + 7] = 40;
    appwriter::EventGroupDesc g;
    appwriter::EventRecordDesc always;
    always.type = TypeSpecial;
    always.number = -1;
    g.conditions.push_back(always);
    appwriter::EventRecordDesc set;
    set.type = TypeSpecial;
    set.number = 3;
    set.parameters.push_back(appwriter::ExpressionParameter(22, appwriter::ExpressionBuilder().Integer(1)));
    g.actions.push_back(set);
    b.AddGroup(g);
    Bytes payload = b.ChunkPayload();
    const Bytes integerOne = {0xFF, 0xFF, 0, 0, 10, 0, 1, 0, 0, 0};
    const auto at = std::search(payload.begin(), payload.end(), integerOne.begin(), integerOne.end());
    if (at == payload.end()) {
        ADD_FAILURE() << "no integer token in the events";
        return payload;
    }
    at[static_cast<std::ptrdiff_t>(integerOne.size())] = 0x26;
    return payload;
}

// A frame whose events do not hold together cannot start: it says which frame and where its events lie in
// the file, the run ends on the error, and the objects, values and run state its start made are freed again
// (the sanitizer's leak check at the end of the run sees any that are not).
TEST(FrameStart, ADamagedEventProgramIsReportedWithItsChunkAndTheStartIsTakenDown) {
    appwriter::ApplicationDescription d = Describe();
    d.frames[0] = Frame({{1, Ship, 10, 20, 0, 0, 0}, {2, Wall, 0, 150, 0, 0, 0}, {3, Rock, 30, 40, 0, 0, 1}},
                        DamagedExpressionEvents());
    const Bytes bytes = appwriter::WriteApplication(d);
    const std::size_t events = FindChunk(bytes, 16, 0x333D);
    ASSERT_NE(events, 0u);
    loadertest::RecordPtr app;
    GetCommandLineOptions().errorBoxes = 0;
    Services().displayFlags = 0;
    ASSERT_NO_FATAL_FAILURE(scene::LoadAndStart(bytes, app));
    ::testing::internal::CaptureStderr();
    RunApplicationStep(app.get(), 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    char place[64];
    std::snprintf(place, sizeof place, "chunk 0x333D at offset 0x%zX.", events);
    const std::u16string file = loadertest::DataPath;
    const std::string line = "vtrrt: " + std::string(file.begin(), file.end()) +
                             " : Frame 1 cannot start. Damaged data in " + place + "\n";
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(app->runState, StateQuit);
    EXPECT_NE(app->run.startError, 0);
    EXPECT_EQ(app->run.frame, nullptr);
    EXPECT_EQ(Services().frame, nullptr);
    EXPECT_EQ(CurrentRunState(), nullptr);
    wiringtest::StopApplicationRun(app);
}

} // namespace
