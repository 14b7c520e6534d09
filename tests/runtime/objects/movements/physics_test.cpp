// The physics-engine movement with an engine written here: a shot waits hidden while its shooter plays its
// shooting animation, is then linked to the engine through the shooter's physics body and placed by the
// engine each loop; a refused link is let go and the shot flies by itself; without an engine a shot goes
// once it is 64 pixels outside the frame.
#include "movement_fixture.h"

#include "objects/animations.h"
#include "objects/physics_movement.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include <cstring>

using namespace movementtest;

namespace {

// The test's engine: counts its calls, refuses when told, and places every linked object one step further.
struct TestEngine {
    static inline int attached = 0, detached = 0, steps = 0, requests = 0;
    static inline physics::Request requestSeen{};
    static inline float angle = 0;
    static inline std::intptr_t answer = 7, detachedHandle = 0;
    static inline physics::Body* body = nullptr;
    static inline float speed = 0;
    static inline physics::Link linkSeen{};
    static void Reset() {
        attached = detached = steps = requests = 0;
        requestSeen = {};
        angle = 0;
        answer = 7;
        detachedHandle = 0;
        body = nullptr;
        speed = 0;
        linkSeen = {};
    }
};

physics::Engine EngineRoutines() {
    physics::Engine e{};
    e.size = sizeof(e);
    e.version = physics::InterfaceVersion;
    e.word = 0x5151;
    e.attach = [](RunObject*, physics::Body* body, float speed, physics::Link* link) {
        ++TestEngine::attached;
        TestEngine::body = body;
        TestEngine::speed = speed;
        TestEngine::linkSeen = *link;
        return TestEngine::answer;
    };
    e.detach = [](RunObject*, std::intptr_t handle) {
        ++TestEngine::detached;
        TestEngine::detachedHandle = handle;
    };
    e.step = [](RunObject*, std::intptr_t, std::int32_t* x, std::int32_t* y, float* angle) {
        ++TestEngine::steps;
        *x = 100 + 10 * TestEngine::steps;
        *y = 50 + TestEngine::steps;
        *angle = 45.0f;
    };
    return e;
}

// The engine object's record: the common header, then its own data starting with its routines.
struct EngineRecord {
    alignas(8) std::uint8_t header[RunObjectBlocksStart];
    const physics::Engine* routines;
};

class PhysicsLinks : public MovementTest {
protected:
    void SetUp() override {
        TestEngine::Reset();
        routines_ = EngineRoutines();
        // Object 1 carries a physics movement (a movement module's), object 2 is what it shoots.
        appwriter::MovementDesc carrier = Movement(MovementExtension, 0, appwriter::Bytes(20, 0));
        carrier.identifier = physics::MovementIdentifiers[3];
        Stage stage;
        stage.movers = {{1, carrier}, {2, Ball(0, 0, 0, 2, 0)}};
        stage.placed = {{1, 40, 100}, {2, 60, 100}};
        StartStage(stage);
        carrier_ = Slot(0);
        shot_ = Slot(1);
        instanceOps_.size = sizeof(instanceOps_);
        instanceOps_.slots = movement::InstanceOperationSlots;
        body_.instance.operations = &instanceOps_;
        body_.size = sizeof(body_);
        body_.version = physics::InterfaceVersion;
        body_.body = reinterpret_cast<physics::Body*>(&bodyStorage_);
        body_.request = [](physics::MovementInstance*, RunObject*, physics::Request* r) {
            ++TestEngine::requests;
            TestEngine::requestSeen = *r;
            r->realAnswer = 2.5;
            return 1;
        };
        body_.setAngle = [](physics::MovementInstance*, RunObject*, float degrees) {
            TestEngine::angle = degrees;
        };
        body_.getAngle = [](physics::MovementInstance*, RunObject*) { return TestEngine::angle; };
        pluginOps_.size = sizeof(pluginOps_);
        pluginOps_.slots = movement::PluginOperationSlots;
        pluginOps_.createInstance = [](movement::Plugin* p) { return static_cast<Module*>(p)->instance; };
        plugin_.operations = &pluginOps_;
        plugin_.instance = &body_.instance;
        ObjectInfo* info = GetObjectInfoByHandle(1);
        const std::span<const std::uint8_t> def(info->definition);
        const std::size_t list = DefU16(def, DefMovements);
        RegisterMovementPlugin(info->definition.data() + list + DefU32(def, list + 4 + 8), &plugin_);
        InitObjectMovement(0, carrier_, carrier_->definition, nullptr);
    }
    void TearDown() override {
        RemoveEngine();
        ObjectInfo* info = GetObjectInfoByHandle(1);
        ReleaseMovementPlugins(info->definition.data(), info->definition.size());
        MovementTest::TearDown();
    }
    // The engine in the frame's last free slot, found as the frame's objects are.
    void AddEngine() {
        FrameRunState& s = *CurrentRunState();
        std::memset(&engine_, 0, sizeof(engine_));
        auto* o = reinterpret_cast<RunObject*>(engine_.header);
        engineSlot_ = s.maxObjects - 1;
        ASSERT_EQ(s.objects[engineSlot_].object, nullptr);
        o->handle = static_cast<std::int16_t>(engineSlot_);
        o->recordSize = sizeof(engine_);
        o->runState = &s;
        o->objectType = 40;
        o->identifier = physics::EngineIdentifier;
        engine_.routines = &routines_;
        s.objects[engineSlot_].object = o;
    }
    void RemoveEngine() {
        if (engineSlot_ >= 0 && CurrentRunState()) CurrentRunState()->objects[engineSlot_].object = nullptr;
        engineSlot_ = -1;
    }
    RunObject* Engine() { return reinterpret_cast<RunObject*>(engine_.header); }
    // Object 2 shot by object 1 at speed 25.
    void Shoot() {
        ExtendedOf(shot_)->speed = 25;
        FreeObjectMovement(shot_);
        InitObjectMovement(-1, shot_, shot_->definition, nullptr);
        SetPhysicsAttachedObject(shot_, carrier_);
    }
    bool Hidden() { return (SpriteBlockOf(shot_)->displayFlags & DisplayHidden) != 0; }

    struct Module : movement::Plugin {
        movement::Instance* instance;
    };
    movement::InstanceOperations instanceOps_{};
    physics::MovementInstance body_{};
    int bodyStorage_ = 0;
    movement::PluginOperations pluginOps_{};
    Module plugin_{};
    physics::Engine routines_{};
    EngineRecord engine_{};
    std::int32_t engineSlot_ = -1;
    RunObject* carrier_ = nullptr;
    RunObject* shot_ = nullptr;
};

TEST_F(PhysicsLinks, TheCarriersBodyIsFoundThroughItsMovementsIdentifier) {
    EXPECT_TRUE(HasPhysicsMovement(carrier_));
    EXPECT_EQ(GetPhysicsMovementBody(carrier_), body_.body);
    carrier_->runFlags |= ObjectDisappearing;
    EXPECT_EQ(GetPhysicsMovementBody(carrier_), nullptr) << "a disappearing carrier has no body to give";
    EXPECT_TRUE(HasPhysicsMovement(carrier_));
    carrier_->runFlags &= static_cast<std::uint16_t>(~ObjectDisappearing);
    EXPECT_FALSE(HasPhysicsMovement(shot_));
    AddEngine();
    EXPECT_EQ(FindPhysicsEngineObject(), Engine());
}

TEST_F(PhysicsLinks, RequestsReachOnlyPhysicsMovements) {
    physics::Request request{};
    request.code = 0x4600;
    request.values[0] = 3;
    EXPECT_TRUE(RequestPhysicsMovement(carrier_, request));
    EXPECT_EQ(TestEngine::requestSeen.code, 0x4600);
    EXPECT_EQ(TestEngine::requestSeen.values[0], 3);
    EXPECT_EQ(TestEngine::requestSeen.size, sizeof(physics::Request));
    EXPECT_EQ(request.realAnswer, 2.5);
    EXPECT_FALSE(RequestPhysicsMovement(shot_, request));
    body_.request = nullptr;
    EXPECT_FALSE(RequestPhysicsMovement(carrier_, request));
    EXPECT_EQ(TestEngine::requests, 1);
}

TEST_F(PhysicsLinks, TheBodyIsTurnedAndItsAngleReadInPlaceOfTheObjects) {
    float angle = -1;
    EXPECT_TRUE(TurnPhysicsBody(carrier_, 30.0f));
    EXPECT_EQ(TestEngine::angle, 30.0f);
    EXPECT_TRUE(PhysicsBodyAngle(carrier_, angle));
    EXPECT_EQ(angle, 30.0f);
    TestEngine::angle = physics::NoAngle;
    angle = -1;
    EXPECT_FALSE(PhysicsBodyAngle(carrier_, angle)) << "a body without an angle leaves the object's";
    EXPECT_EQ(angle, -1);
    EXPECT_FALSE(TurnPhysicsBody(shot_, 10.0f));
}

TEST_F(PhysicsLinks, AShotWaitsHiddenForTheShootingAnimationThenIsPlacedByTheEngine) {
    AddEngine();
    Shoot();
    EXPECT_TRUE(Hidden());
    AnimationOf(carrier_)->current = 6;
    PhysicsMovementHandler(shot_);
    EXPECT_EQ(TestEngine::attached, 0);
    EXPECT_TRUE(Hidden());
    AnimationOf(carrier_)->current = 1;
    PhysicsMovementHandler(shot_);
    EXPECT_FALSE(Hidden());
    ASSERT_EQ(TestEngine::attached, 1);
    EXPECT_EQ(TestEngine::body, body_.body);
    EXPECT_FLOAT_EQ(TestEngine::speed, 5.0f);
    EXPECT_EQ(TestEngine::linkSeen.owner, shot_);
    EXPECT_EQ(TestEngine::linkSeen.engine, Engine());
    EXPECT_EQ(TestEngine::linkSeen.kind, physics::LinkKind);
    EXPECT_EQ(TestEngine::linkSeen.engineWord, 0x5151u);
    // Each loop the engine says where the shot is and how it is turned.
    EXPECT_EQ(shot_->x, 110);
    EXPECT_EQ(shot_->y, 51);
    PhysicsMovementHandler(shot_);
    EXPECT_EQ(shot_->x, 120);
    EXPECT_EQ(shot_->y, 52);
    EXPECT_EQ(ExtendedOf(shot_)->angle, 45.0f);
    EXPECT_EQ(ExtendedOf(shot_)->direction, 0);
    // Its movement going lets the link go.
    FreeObjectMovement(shot_);
    EXPECT_EQ(TestEngine::detached, 1);
    EXPECT_EQ(TestEngine::detachedHandle, 7);
}

TEST_F(PhysicsLinks, ARefusedLinkIsLetGoAndTheShotFliesByItself) {
    AddEngine();
    TestEngine::answer = 0;
    Shoot();
    const std::int32_t x = shot_->x;
    PhysicsMovementHandler(shot_);
    EXPECT_EQ(TestEngine::attached, 1);
    EXPECT_EQ(TestEngine::steps, 0);
    // Speed 25 moves 25 / 8 pixels a loop.
    EXPECT_EQ(shot_->x, x + 3);
    FreeObjectMovement(shot_);
    EXPECT_EQ(TestEngine::detached, 0);
}

TEST_F(PhysicsLinks, AShotWaitingOnACarrierThatGoesIsLaunchedWithoutIt) {
    AddEngine();
    Shoot();
    AnimationOf(carrier_)->current = 6;
    PhysicsMovementHandler(shot_);
    RemoveEngine();
    DestroyObject(0, 1);
    EXPECT_FALSE(Hidden());
    EXPECT_EQ(TestEngine::attached, 0);
}

TEST_F(PhysicsLinks, WithoutAnEngineAShotGoes64PixelsOutsideTheFrame) {
    Shoot();
    ExtendedOf(shot_)->speed = 100;
    FrameRunState& s = *CurrentRunState();
    const auto marked = [&] { return (s.objectBits[1 / 32] & (1u << (1 % 32))) != 0; };
    // 12.5 pixels a loop to the right of a 320-pixel frame.
    shot_->x = 370;
    PhysicsMovementHandler(shot_);
    EXPECT_EQ(shot_->x, 382);
    EXPECT_FALSE(marked());
    PhysicsMovementHandler(shot_);
    EXPECT_TRUE(marked());
    EXPECT_EQ(s.objects[1].routine, nullptr);
    Tick();
    EXPECT_EQ(Slot(1), nullptr);
}

} // namespace
