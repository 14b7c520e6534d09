// The demo's level run headless from the demo's own data: the player goes where the arrow keys send it and
// stops at the pen's post, and the balls keep bouncing inside the pen.
#include "movement_fixture.h"

#include "demo/level_movers.h"

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

class DemoLevel : public MovementTest {
protected:
    void SetUp() override {
        const std::vector<std::uint8_t> data = DemoLevelData();
        ASSERT_FALSE(data.empty());
        ASSERT_NO_FATAL_FAILURE(StartData(data));
    }
};

TEST_F(DemoLevel, ThePlayerGoesWhereTheArrowKeysSendItAndStopsAtThePost) {
    const std::vector<RunObject*> players = ObjectsMovedBy(MovementEightDirections);
    ASSERT_EQ(players.size(), 1u);
    RunObject* player = players[0];
    EXPECT_EQ(player->x, PlayerStartX);
    EXPECT_EQ(player->y, PlayerStartY);
    Hold(SDL_SCANCODE_DOWN);
    Ticks(5);
    Release(SDL_SCANCODE_DOWN);
    EXPECT_GT(player->y, PlayerStartY);
    EXPECT_EQ(player->x, PlayerStartX);
    Hold(SDL_SCANCODE_RIGHT);
    Ticks(60);
    // The post stands from x 220: the player rests beside it, stepped back out of it by at most the
    // escape offset of 4 pixels.
    EXPECT_LE(player->x + PlayerSize, 220);
    EXPECT_GE(player->x + PlayerSize, 216);
    Release(SDL_SCANCODE_RIGHT);
    Ticks(30);
    EXPECT_EQ(ExtendedOf(player)->speed, 0);
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
