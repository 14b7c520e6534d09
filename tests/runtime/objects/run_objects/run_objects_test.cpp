#include "core/runtime_services.h"
#include "core/typed_value.h"
#include "objects/run_objects.h"
#include "startup/object_infos.h"

#include "appwriter/object_writer.h"

#include "vtrs2/streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace vtrrt;
using appwriter::ObjectDefinitionDesc;

namespace {

constexpr int MaxObjects = 40;

// A current application, frame and run state with object infos made from written definitions.
class ObjectsTest : public ::testing::Test {
protected:
    ObjectsTest() : app_(new ApplicationRecord{}), frame_(new FrameRecord{}) {
        std::memset(&state_, 0, sizeof(state_));
        state_.objects = slots_;
        state_.maxObjects = MaxObjects;
        state_.objectBits = bits_;
        state_.objectBitBytes = sizeof(bits_);
        state_.objectInfos = entries_;
        state_.frame = frame_.get();
        state_.application = app_.get();
        std::memset(entries_, 0xFF, sizeof(entries_));
        layers_[0] = FrameLayer{};
        layers_[1] = FrameLayer{};
        frame_->layers = layers_;
        frame_->layerCount = 2;
        frame_->instances = instances_;
        instances_[0] = FrameItemInstance{};
        instances_[0].objectInfo = 1;
        instances_[0].x = 70;
        instances_[0].y = 80;
        instances_[0].layer = 1;
        frame_->instanceCount = 1;
        saved_ = Services();
        Services().application = app_.get();
        Services().frame = frame_.get();
        Services().runState = &state_;
        KindRoutines()[2].handle = nullptr;
    }
    ~ObjectsTest() override {
        DestroyAllObjects();
        FreeObjectInfos(app_.get());
        for (auto& k : KindRoutines()) {
            k.create = nullptr;
            k.handle = nullptr;
            k.display = nullptr;
            k.destroy = nullptr;
        }
        Services() = saved_;
    }

    // Adds an object info of a handle and type, with its run entry.
    void AddObject(std::uint16_t handle, std::int16_t type, ObjectDefinitionDesc def) {
        def.type = type;
        ObjectInfoTable* t = ObjectInfosOf(app_.get());
        ObjectInfo info{};
        info.handle = handle;
        info.objectType = type;
        info.definition = appwriter::WriteObjectDefinition(def);
        ASSERT_TRUE(RearrangeDefinition(info.definition, type));
        info.runFlags = InfoDefinitionLoaded;
        t->infos.push_back(info);
        if (t->indexByHandle.size() <= handle) t->indexByHandle.resize(handle + 1u, 0xFFFF);
        t->indexByHandle[handle] = static_cast<std::uint16_t>(t->infos.size() - 1);
        ObjectInfoRunEntry& e = entries_[state_.objectInfoCount++];
        std::memset(&e, 0, sizeof(e));
        e.handle = static_cast<std::int16_t>(handle);
        e.objectType = type;
        e.firstInstance = NoInstanceLink;
        e.rememberedFrameItem = -1;
    }
    int Create(std::uint16_t handle, std::int32_t slot = -1, std::int32_t frameItem = -1) {
        return CreateObject(frameItem, handle, 5, 6, 0, 0, 0, slot);
    }
    RunObject* At(int slot) { return state_.objects[slot].object; }

    std::unique_ptr<ApplicationRecord> app_;
    std::unique_ptr<FrameRecord> frame_;
    FrameRunState state_;
    ObjectListEntry slots_[MaxObjects]{};
    std::uint32_t bits_[4]{};
    ObjectInfoRunEntry entries_[8];
    FrameLayer layers_[2];
    FrameItemInstance instances_[1];
    RuntimeServices saved_;
};

struct BlockCase {
    std::uint32_t flags;
    bool extended, movement, animation, sprite, values;
};

class ObjectBlocks : public ObjectsTest, public ::testing::WithParamInterface<BlockCase> {};

} // namespace

TEST_P(ObjectBlocks, EachFlagGivesItsBlockInsideTheRecord) {
    const BlockCase c = GetParam();
    for (std::int16_t type = 2; type <= 9; ++type) {
        // All four blocks fit only the records of actives and rich texts.
        if (c.flags == 0x330 && type != 2 && type != 8) continue;
        ObjectDefinitionDesc def;
        def.objectFlags = c.flags;
        AddObject(static_cast<std::uint16_t>(type), type, def);
        const int slot = Create(static_cast<std::uint16_t>(type));
        ASSERT_GE(slot, 0) << "type " << type;
        RunObject* o = At(slot);
        EXPECT_EQ(o->recordSize, KindRecordSize(type));
        EXPECT_EQ(o->objectType, type);
        EXPECT_EQ(o->self, o);
        EXPECT_EQ(o->runState, &state_);
        EXPECT_EQ(ExtendedOf(o) != nullptr, c.extended);
        EXPECT_EQ(MovementBlockOf(o) != nullptr, c.movement);
        EXPECT_EQ(AnimationBlockOf(o) != nullptr, c.animation);
        EXPECT_EQ(SpriteBlockOf(o) != nullptr, c.sprite);
        EXPECT_EQ(ValuesBlockOf(o) != nullptr, c.values);
        // Blocks follow one another in order, behind the header, within the record.
        std::size_t next = c.extended ? RunObjectExtendedBlocksStart : RunObjectBlocksStart;
        auto at = [&](void* block) {
            return static_cast<std::size_t>(static_cast<std::uint8_t*>(block) -
                                            reinterpret_cast<std::uint8_t*>(o));
        };
        if (c.movement) {
            EXPECT_EQ(at(MovementBlockOf(o)), next);
            next += (ObjectMovementBlockBytes + 7) & ~7u;
        }
        if (c.animation) {
            EXPECT_EQ(at(AnimationBlockOf(o)), next);
            next += ObjectAnimationBlockBytes;
        }
        if (c.sprite) {
            EXPECT_EQ(at(SpriteBlockOf(o)), next);
            next += (sizeof(ObjectSpriteBlock) + 7) & ~7u;
        }
        if (c.values) {
            EXPECT_EQ(at(ValuesBlockOf(o)), next);
            next += sizeof(ObjectValuesBlock);
        }
        EXPECT_LE(next, o->recordSize);
        if (RunObjectExtended* x = ExtendedOf(o)) {
            EXPECT_EQ(x->scaleX, 1.0f);
            EXPECT_EQ(x->scaleY, 1.0f);
            EXPECT_EQ(x->movementType, -1);
        }
        DestroyObject(slot, 1);
        EXPECT_EQ(state_.objectCount, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, ObjectBlocks,
                         ::testing::Values(BlockCase{0, false, false, false, false, false},
                                           BlockCase{0x100, false, false, false, false, true},
                                           BlockCase{0x10, true, true, false, false, false},
                                           BlockCase{0x20, true, false, true, false, false},
                                           BlockCase{0x200, true, false, false, true, false},
                                           BlockCase{0x330, true, true, true, true, true}));

TEST_F(ObjectsTest, BackdropsExtensionsAndUnknownObjectsAreNotCreated) {
    AddObject(1, 0, {});
    AddObject(2, 1, {});
    AddObject(3, 40, {});
    EXPECT_EQ(Create(1), -1);
    EXPECT_EQ(Create(2), -1);
    EXPECT_EQ(Create(3), -1);
    EXPECT_EQ(Create(99), -1);
    EXPECT_EQ(state_.objectCount, 0);
}

TEST_F(ObjectsTest, BlocksThatDoNotFitTheKindsRecordAreRefused) {
    ObjectDefinitionDesc def;
    def.objectFlags = 0x330;
    AddObject(1, 7, def);
    EXPECT_EQ(Create(1), -1);
    EXPECT_EQ(state_.objectCount, 0);
    EXPECT_EQ(entries_[0].instanceCount, 0);
}

TEST_F(ObjectsTest, AlterableValuesAndStringsComeFromTheDefinition) {
    ObjectDefinitionDesc def;
    def.objectFlags = 0x100;
    def.values = {7, -3, 12};
    def.strings = {u"first", u"", u"third"};
    def.identifier = 0x41424344;
    AddObject(1, 2, def);
    const int slot = Create(1);
    ASSERT_GE(slot, 0);
    ObjectValuesBlock* vb = ValuesBlockOf(At(slot));
    ASSERT_NE(vb, nullptr);
    ASSERT_EQ(vb->count, 26);
    auto* values = static_cast<TypedValue*>(vb->values);
    EXPECT_EQ(values[0].integer, 7);
    EXPECT_EQ(values[1].integer, -3);
    EXPECT_EQ(values[2].integer, 12);
    EXPECT_EQ(values[3].integer, 0);
    EXPECT_EQ(std::u16string(vb->strings[0]), u"first");
    EXPECT_EQ(vb->strings[1], nullptr);
    EXPECT_EQ(std::u16string(vb->strings[2]), u"third");
    EXPECT_EQ(At(slot)->identifier, 0x41424344u);
    SetAlterableString(At(slot), 10, u"ignored");
    SetAlterableString(At(slot), 0, u"");
    EXPECT_EQ(vb->strings[0], nullptr);
}

TEST_F(ObjectsTest, FrameItemGivesPositionAndLayerAndLayersCountCreations) {
    AddObject(1, 2, {});
    const int slot = CreateObject(0, 1, PositionFromFrameItem, PositionFromFrameItem, 0, 0, -1, -1);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(At(slot)->x, 70);
    EXPECT_EQ(At(slot)->y, 80);
    EXPECT_EQ(At(slot)->layer, 1);
    EXPECT_EQ(At(slot)->frameItem, 0);
    EXPECT_EQ(layers_[1].createdObjects, 1);
    DestroyObject(slot, 1);
    // Destruction does not lower the running number.
    EXPECT_EQ(layers_[1].createdObjects, 1);
}

TEST_F(ObjectsTest, InstanceChainsLinkNewestFirstAndRejoinOnDestroy) {
    AddObject(1, 2, {});
    const int a = Create(1), b = Create(1), c = Create(1);
    ObjectInfoRunEntry& e = entries_[0];
    EXPECT_EQ(e.instanceCount, 3);
    EXPECT_EQ(e.firstInstance, c);
    EXPECT_EQ(At(c)->nextInstance, b);
    EXPECT_EQ(At(b)->nextInstance, a);
    EXPECT_EQ(At(a)->nextInstance, NoInstanceLink);
    EXPECT_EQ(static_cast<std::uint16_t>(At(c)->previousInstance), 0x8000u);
    DestroyObject(b, 1);
    EXPECT_EQ(At(c)->nextInstance, a);
    EXPECT_EQ(At(a)->previousInstance, c);
    DestroyObject(c, 1);
    EXPECT_EQ(e.firstInstance, a);
    EXPECT_EQ(static_cast<std::uint16_t>(At(a)->previousInstance), 0x8000u);
    EXPECT_EQ(e.instanceCount, 1);
}

TEST_F(ObjectsTest, CreationNumbersWrapToOneNeverZero) {
    AddObject(1, 2, {});
    state_.creationCounter = 65534;
    const int a = Create(1), b = Create(1);
    EXPECT_EQ(At(a)->creationNumber, 65535);
    EXPECT_EQ(At(b)->creationNumber, 1);
}

TEST_F(ObjectsTest, FailedCreateRoutineLeavesNothingBehindAndDestroysOnce) {
    static int destroyCalls;
    destroyCalls = 0;
    KindRoutines()[2].create = [](RunObject*, const std::uint8_t*, const ObjectCreationParams*) { return 1; };
    KindRoutines()[2].destroy = [](RunObject*, int) { ++destroyCalls; };
    ObjectDefinitionDesc def;
    def.objectFlags = 0x100;
    AddObject(1, 2, def);
    EXPECT_EQ(Create(1, 4), -1);
    EXPECT_EQ(destroyCalls, 1);
    EXPECT_EQ(state_.objectCount, 0);
    EXPECT_EQ(state_.objects[4].object, nullptr);
    EXPECT_EQ(entries_[0].instanceCount, 0);
    EXPECT_EQ(entries_[0].firstInstance, NoInstanceLink);
}

TEST_F(ObjectsTest, FullListAndOccupiedSlotsRefuseCreation) {
    AddObject(1, 2, {});
    ASSERT_EQ(Create(1, 3), 3);
    EXPECT_EQ(Create(1, 3), -1);
    EXPECT_EQ(Create(1, MaxObjects), -1);
    state_.maxObjects = 1;
    EXPECT_EQ(Create(1), -1);
    state_.maxObjects = MaxObjects;
}

TEST_F(ObjectsTest, ReusedSlotDoesNotInheritADestroyMark) {
    AddObject(1, 2, {});
    const int slot = Create(1, 3);
    MarkObjectForDestroy(slot);
    DestroyObject(slot, 1); // destroyed by an action before the loop ends
    ASSERT_EQ(Create(1, 3), 3);
    DestroyMarkedObjects();
    EXPECT_NE(At(3), nullptr);
    MarkObjectForDestroy(3);
    DestroyMarkedObjects();
    EXPECT_EQ(At(3), nullptr);
    EXPECT_EQ(state_.objectCount, 0);
}

namespace {
std::vector<int> order;
int Record(RunObject* o) {
    order.push_back(o->handle);
    return 0;
}
} // namespace

TEST_F(ObjectsTest, ObjectPassRunsEachObjectOnceInSlotOrder) {
    order.clear();
    KindRoutines()[2].handle = Record;
    AddObject(1, 2, {});
    Create(1, 7);
    Create(1, 2);
    Create(1, 5);
    RunObjectPass();
    EXPECT_EQ(order, (std::vector<int>{2, 5, 7}));
}

TEST_F(ObjectsTest, ObjectsCreatedDuringThePassRunNowOnlyWhenAhead) {
    order.clear();
    KindRoutines()[2].handle = [](RunObject* o) {
        order.push_back(o->handle);
        if (o->handle == 5) {
            CreateObject(-1, 1, 0, 0, 0, 0, 0, 9); // ahead: runs in this pass
            CreateObject(-1, 1, 0, 0, 0, 0, 0, 1); // behind: waits
        }
        return 0;
    };
    AddObject(1, 2, {});
    Create(1, 5);
    RunObjectPass();
    EXPECT_EQ(order, (std::vector<int>{5, 9}));
    EXPECT_EQ(state_.createdAhead, 1);
    order.clear();
    RunObjectPass();
    EXPECT_EQ(order, (std::vector<int>{1, 5, 9}));
}

TEST_F(ObjectsTest, HandleResultStopsHandlingAndAsksForDisplay) {
    static int displays;
    displays = 0;
    KindRoutines()[2].handle = [](RunObject* o) { return o->handle == 1 ? 1 : 2; };
    KindRoutines()[2].display = [](RunObject*) { ++displays; };
    AddObject(1, 2, {});
    Create(1, 1);
    Create(1, 2);
    RunObjectPass();
    EXPECT_EQ(state_.objects[1].routine, nullptr);
    EXPECT_NE(state_.objects[2].routine, nullptr);
    EXPECT_EQ(displays, 1);
    RunObjectPass();
    EXPECT_EQ(displays, 2);
}

TEST_F(ObjectsTest, ChangedFlagOfMovingObjectsAsksForDisplayOnce) {
    static int displays;
    displays = 0;
    KindRoutines()[2].handle = [](RunObject*) { return 0; };
    KindRoutines()[2].display = [](RunObject*) { ++displays; };
    ObjectDefinitionDesc def;
    def.objectFlags = 0x10;
    AddObject(1, 2, def);
    const int slot = Create(1);
    ExtendedOf(At(slot))->changed = 1;
    RunObjectPass();
    RunObjectPass();
    EXPECT_EQ(displays, 1);
    EXPECT_EQ(ExtendedOf(At(slot))->changed, 0);
}

TEST(ObjectDefinitions, StoredFieldsMoveToTheirMemoryPlaces) {
    ObjectDefinitionDesc def;
    def.type = 2;
    def.word14 = 0x1234;
    def.typeData = {1, 2, 3, 4};
    std::vector<std::uint8_t> d = appwriter::WriteObjectDefinition(def);
    d[4] = 0x11; // animations, stored first
    d[6] = 0x22; // movements
    const std::uint16_t typeData = DefU16(d, 36);
    ASSERT_TRUE(RearrangeDefinition(d, 2));
    EXPECT_EQ(DefU16(d, DefWord10), 0x1234);
    EXPECT_EQ(DefU16(d, DefWord14), 0);
    EXPECT_EQ(DefU16(d, DefMovements), 0x22);
    EXPECT_EQ(DefU16(d, DefAnimations), 0x11);
    EXPECT_EQ(DefU16(d, DefTypeData), typeData);
    // Too short for the common part.
    std::vector<std::uint8_t> shortDef(20, 0);
    EXPECT_FALSE(RearrangeDefinition(shortDef, 2));
}

TEST(ObjectInfoLoading, WrittenObjectsLoadAndTheirDefinitionsLoadOnDemand) {
    std::vector<appwriter::ObjectInfoDesc> objects(2);
    objects[0].handle = 4;
    objects[0].type = 2;
    objects[0].name = u"Ship";
    objects[0].inkEffect = 1;
    objects[0].definition.objectFlags = 0x330;
    objects[0].definition.word14 = 9;
    objects[1].handle = 1;
    objects[1].type = 1;
    objects[1].headerFlags = 1;
    objects[1].definition.image = 3;
    objects[1].definition.width = 32;
    const appwriter::ApplicationKey key{};
    const std::vector<std::uint8_t> data =
        appwriter::WriteObjectInfos(objects, appwriter::StringForm::Wide, key);
    auto app = std::make_unique<ApplicationRecord>();
    app->unicode = 1;
    std::uint8_t appKey[256] = {};
    app->key = appKey;
    CInputMemFile* stream = NewInputMemFile();
    ASSERT_NE(stream, nullptr);
    stream->Attach(data.data(), static_cast<win32::LONG>(data.size()));
    app->dataStream = stream;
    ASSERT_EQ(LoadObjectInfos(app.get(), *stream), 0);
    ObjectInfo* ship = SeekObjectInfoByHandle(app.get(), 4);
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(ship->name, u"Ship");
    EXPECT_EQ(ship->objectType, 2);
    EXPECT_EQ(ship->inkEffect, 1u);
    EXPECT_TRUE(ship->definition.empty());
    EXPECT_EQ(SeekObjectInfoByHandle(app.get(), 2), nullptr);
    EXPECT_EQ(SeekObjectInfoByHandle(app.get(), 400), nullptr);
    ASSERT_EQ(LoadObjectDefinition(app.get(), *ship), 0);
    EXPECT_EQ(DefU32(ship->definition, DefObjectFlags), 0x330u);
    EXPECT_EQ(DefU16(ship->definition, DefWord10), 9);
    EXPECT_EQ(ship->runFlags & InfoDefinitionLoaded, InfoDefinitionLoaded);
    ObjectInfo* backdrop = SeekObjectInfoByHandle(app.get(), 1);
    ASSERT_NE(backdrop, nullptr);
    EXPECT_EQ(backdrop->headerFlags, 1);
    ASSERT_EQ(LoadObjectDefinition(app.get(), *backdrop), 0);
    EXPECT_EQ(DefU16(backdrop->definition, BackdropImage), 3);
    UnloadObjectDefinition(app.get(), *ship);
    EXPECT_TRUE(ship->definition.empty());
    EXPECT_EQ(ship->runFlags & InfoDefinitionLoaded, 0u);
    FreeObjectInfos(app.get());
    stream->Delete();
}

TEST(ObjectInfoLoading, TruncatedChunkFreesWhatWasRead) {
    std::vector<appwriter::ObjectInfoDesc> objects(3);
    for (std::uint16_t i = 0; i < 3; ++i)
        objects[i].handle = i;
    const appwriter::ApplicationKey key{};
    std::vector<std::uint8_t> data = appwriter::WriteObjectInfos(objects, appwriter::StringForm::Wide, key);
    data.resize(data.size() - 12);
    auto app = std::make_unique<ApplicationRecord>();
    app->unicode = 1;
    CInputMemFile* stream = NewInputMemFile();
    stream->Attach(data.data(), static_cast<win32::LONG>(data.size()));
    EXPECT_NE(LoadObjectInfos(app.get(), *stream), 0);
    EXPECT_EQ(SeekObjectInfoByHandle(app.get(), 0), nullptr);
    FreeObjectInfos(app.get());
    stream->Delete();
}
