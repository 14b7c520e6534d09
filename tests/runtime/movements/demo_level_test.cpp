// The demo's level run headless from the demo's own data: the player walks and jumps on the level's
// platforms and rides the lift, collects the gems on its platform, and the balls keep bouncing inside the
// pen.
#include "movement_fixture.h"
#include "runtime/wiring/application_run.h"

#include "builtin/counters.h"
#include "demo/demo_collect.h"
#include "demo/demo_hud_layout.h"
#include "demo/level_movers.h"
#include "objects/platform_movement.h"

#include <fstream>
#include <iterator>

using namespace movementtest;

namespace {

std::vector<std::uint8_t> DemoLevelData() {
    std::ifstream in(VTR_DEMO_LEVEL_DATA, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The objects of the level with a movement of `type`.
std::vector<RunObject*> ObjectsMovedBy(std::int32_t type) {
    std::vector<RunObject*> out;
    const FrameRunState& s = *CurrentRunState();
    for (std::int32_t slot = 0; slot < s.maxObjects; ++slot)
        if (RunObjectExtended* x = ExtendedOf(s.objects[slot].object); x && x->movementType == type)
            out.push_back(x);
    return out;
}

// The level's objects of an object info.
std::vector<RunObject*> ObjectsOf(std::uint16_t objectInfo) {
    std::vector<RunObject*> out;
    const FrameRunState& s = *CurrentRunState();
    for (std::int32_t slot = 0; slot < s.maxObjects; ++slot)
        if (RunObject* o = s.objects[slot].object; o && o->objectInfo == objectInfo) out.push_back(o);
    return out;
}

class DemoLevel : public MovementTest {
protected:
    void SetUp() override {
        const std::vector<std::uint8_t> data = DemoLevelData();
        ASSERT_FALSE(data.empty());
        ASSERT_NO_FATAL_FAILURE(StartData(data));
    }
    // The level's gauge is an object of the runtime's own extension, found where the build put it.
    wiringtest::BuiltModulesFolder modules_;
};

TEST_F(DemoLevel, ThePlayerWalksOnItsPlatformAndJumpsBackOntoIt) {
    const std::vector<RunObject*> players = ObjectsMovedBy(MovementPlatform);
    ASSERT_EQ(players.size(), 1u);
    RunObject* player = players[0];
    // The collision mask is written by the first display: the player stands once it has landed.
    Ticks(10);
    EXPECT_EQ(player->y, PlayerStartY);
    Hold(SDL_SCANCODE_RIGHT);
    Ticks(5);
    Release(SDL_SCANCODE_RIGHT);
    Ticks(10);
    EXPECT_GT(player->x, PlayerStartX);
    EXPECT_EQ(player->y, PlayerStartY);
    Hold(SDL_SCANCODE_SPACE);
    Tick();
    Release(SDL_SCANCODE_SPACE);
    std::int32_t highest = player->y;
    for (int i = 0; i < 100; ++i) {
        Tick();
        highest = std::min(highest, player->y);
    }
    EXPECT_LT(highest, PlayerStartY - 60);
    EXPECT_EQ(player->y, PlayerStartY) << "back on the platform";
    EXPECT_EQ(PlatformState(player), PlatformWalking);
}

TEST_F(DemoLevel, ThePlayerLandsOnTheLiftAndRidesIt) {
    const std::vector<RunObject*> lifts = ObjectsMovedBy(MovementPath);
    const std::vector<RunObject*> players = ObjectsMovedBy(MovementPlatform);
    ASSERT_EQ(lifts.size(), 1u);
    ASSERT_EQ(players.size(), 1u);
    RunObject* lift = lifts[0];
    RunObject* player = players[0];
    // Dropped from above the lift's middle.
    SetObjectPosition(player, lift->x + 20, LiftY - PlayerSize - 40);
    for (int i = 0; i < 60 && player->y != LiftY - PlayerSize; ++i)
        Tick();
    ASSERT_EQ(player->y, LiftY - PlayerSize);
    Ticks(2);
    const std::int32_t apart = lift->x - player->x;
    Ticks(30);
    EXPECT_EQ(lift->x - player->x, apart) << "carried to and fro";
    EXPECT_EQ(player->y, LiftY - PlayerSize);
}

TEST_F(DemoLevel, ThePlayerCollectsTheFirstGemForTenPoints) {
    const std::vector<RunObject*> players = ObjectsMovedBy(MovementPlatform);
    const std::vector<RunObject*> scores = ObjectsOf(ScoreDisplay);
    ASSERT_EQ(players.size(), 1u);
    ASSERT_EQ(scores.size(), 1u);
    ASSERT_EQ(ObjectsOf(Gem).size(), GemX.size());
    Ticks(10);
    EXPECT_EQ(ObjectsOf(Gem).size(), GemX.size()) << "none is taken standing still";
    EXPECT_EQ(CounterValue(*CounterOf(scores[0])).integer, 0);
    // Right until the first gem goes, looked at in the loop it went.
    Hold(SDL_SCANCODE_RIGHT);
    for (int i = 0; i < 120 && ObjectsOf(Gem).size() == GemX.size(); ++i)
        Tick();
    Release(SDL_SCANCODE_RIGHT);
    const std::vector<RunObject*> left = ObjectsOf(Gem);
    ASSERT_EQ(left.size(), GemX.size() - 1) << "the player reached no gem";
    for (RunObject* gem : left)
        EXPECT_NE(gem->x, GemX[0]) << "the first gem is the one gone";
    EXPECT_EQ(players[0]->y, PlayerStartY) << "walked along its platform";
    EXPECT_EQ(~app_->globals.scores[0], GemPoints) << "player 1's score";
    EXPECT_EQ(CounterValue(*CounterOf(scores[0])).integer, GemPoints) << "the score display";
}

TEST_F(DemoLevel, TheBallsBounceInsideThePen) {
    const std::vector<RunObject*> balls = ObjectsMovedBy(MovementBall);
    ASSERT_EQ(balls.size(), 4u);
    int bounces = 0;
    for (int loop = 0; loop < 600; ++loop) {
        Raises().clear();
        Ticks(1);
        bounces += static_cast<int>(RaisesOf(MeetsBackdrop).size() + RaisesOf(LeavesPlayArea).size());
        for (RunObject* ball : balls) {
            ASSERT_GE(ball->x, 220 + 8 - 1) << "loop " << loop;
            ASSERT_LE(ball->x + 16, 440 + 1) << "loop " << loop;
            ASSERT_GE(ball->y, -1) << "loop " << loop;
            ASSERT_LE(ball->y + 16, 360 + 1) << "loop " << loop;
        }
    }
    EXPECT_GT(bounces, 20);
    EXPECT_EQ(ObjectsMovedBy(MovementBall).size(), 4u) << "none was lost";
}

} // namespace
