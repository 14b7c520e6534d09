// The demo's first level run headless from the demo's own data: the player walks and jumps on the level's
// platforms and rides the lift, collects the gems on its platform (each leaving a sparkle and counted by
// the player), and the balls keep bouncing inside the pen; walkers appear while the level runs and patrol on
// the patrol module, and touching any enemy costs a life; the display follows the player over hills that
// scroll at half its speed, under a display that stays on the screen; the exit leads to the second level,
// and falling off the level costs lives until the game is over, whose question gives the title back or
// starts a new game.
#include "runtime/app/wiring/application_run.h"
#include "runtime/builtin/question/answering_clock.h"
#include "runtime/objects/movements/movement_fixture.h"

#include "builtin/common_objects.h"
#include "builtin/counters.h"
#include "builtin/object_state.h"
#include "core/event_state.h"
#include "demo/demo_collect.h"
#include "demo/demo_enemies.h"
#include "demo/demo_gauge_layout.h"
#include "demo/demo_hud_layout.h"
#include "demo/frame_flow.h"
#include "demo/game_over.h"
#include "demo/level_layout.h"
#include "demo/level_movers.h"
#include "objects/platform_movement.h"
#include "persist/saved_positions.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>

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
        // The level's events tell which object the player met (a lift, a ball, an enemy): the system's own
        // collision condition, with the test's log of the other raises kept.
        InstallCommonConditionRoutines();
        SetCommonConditionRoutine(LeavesPlayArea, detail::Never, detail::Raised<LeavesPlayArea>);
        SetCommonConditionRoutine(MeetsBackdrop, detail::Never, detail::Raised<MeetsBackdrop>);
    }
    // The level's gauge is an object of the runtime's own extension, found where the build put it.
    wiringtest::BuiltModulesFolder modules_;
    // The level's fades are paced by the window layer's clock, which the test's clock moves.
    runtime_test::FakeWindowClock windowClock_;
};

// The level fades in from black over half a second of the window layer's clock, which the test's clock moves:
// a build fast enough to draw many steps of the fade in a few milliseconds sees the same fade as a slow one,
// and the first loop runs once it is over.
TEST_F(DemoLevel, TheFirstLoopRunsOnceTheFadeInIsOver) {
    ASSERT_EQ(app_->runState, StateFadeIn);
    EXPECT_TRUE(CurrentRunState()->runFlags & RunFadeInPending);
    const std::int64_t loops = CurrentRunState()->loopCount;
    Tick();
    EXPECT_EQ(app_->runState, StateRunFrame);
    EXPECT_FALSE(CurrentRunState()->runFlags & RunFadeInPending);
    EXPECT_EQ(CurrentRunState()->loopCount, loops + 1);
}

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
    // The lift is the path mover that is not the bird.
    std::vector<RunObject*> lifts = ObjectsMovedBy(MovementPath);
    std::erase_if(lifts, [](const RunObject* o) { return o->objectInfo == Bird; });
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
    EXPECT_EQ(ReadAlterableValue(players[0], GemsCollectedValue).ToInt(), 1) << "the player's count of gems";
    const std::vector<RunObject*> counts = ObjectsOf(GemCount);
    ASSERT_EQ(counts.size(), 1u);
    EXPECT_EQ(CounterValue(*CounterOf(counts[0])).integer, 1) << "the count shown";

    // A sparkle where the gem was, centred on its middle, that plays its frames once and goes.
    std::vector<RunObject*> sparkles = ObjectsOf(Sparkle);
    ASSERT_EQ(sparkles.size(), 1u);
    EXPECT_EQ(sparkles[0]->x, GemX[0] + GemSize / 2);
    EXPECT_EQ(sparkles[0]->y, GemY + GemSize / 2);
    int loops = 0;
    for (; loops < 200 && !ObjectsOf(Sparkle).empty(); ++loops)
        Tick();
    EXPECT_TRUE(ObjectsOf(Sparkle).empty()) << "the sparkle stayed";
    EXPECT_GT(loops, 5 * SparkleFrames) << "it went before its frames were shown";
    EXPECT_EQ(ReadAlterableValue(players[0], GemsCollectedValue).ToInt(), 1);
}

// Walkers appear at their spawn points from the level's start, each patrolling its span on the patrol
// module, and more appear every few seconds up to the most allowed.
TEST_F(DemoLevel, WalkersAppearWhileTheLevelRunsAndPatrolOnTheModule) {
    Ticks(1);
    const std::vector<RunObject*> first = ObjectsOf(Walker);
    ASSERT_EQ(first.size(), WalkerSpawns.size()) << "one at each spawn point at the start";
    for (std::size_t i = 0; i < first.size(); ++i) {
        RunObject* walker = first[i];
        const SpawnPoint& spawn = WalkerSpawns[i];
        EXPECT_NE(MovementInstanceOf(walker), nullptr) << "moved by the module";
        std::int32_t least = walker->x, most = walker->x;
        for (int loop = 0; loop < 2 * WalkerSpan; ++loop) {
            Tick();
            least = std::min(least, walker->x);
            most = std::max(most, walker->x);
            ASSERT_EQ(walker->y, spawn.y) << "walker " << i << " loop " << loop;
        }
        EXPECT_EQ(least, spawn.x) << "walker " << i;
        EXPECT_EQ(most, spawn.x + WalkerSpan) << "walker " << i;
    }
    // Enough loops for every spawn to have had its turn several times.
    std::size_t most = 0;
    for (int loop = 0; loop < 4 * SpawnLoops; ++loop) {
        Tick();
        most = std::max(most, ObjectsOf(Walker).size());
    }
    EXPECT_GT(most, WalkerSpawns.size()) << "none appeared later";
    EXPECT_EQ(most, static_cast<std::size_t>(MostWalkers));
}

// Every object of the level as it stands: its slot, object info and place, with the way it faces.
struct Standing {
    std::int32_t slot, objectInfo, x, y, direction;
    bool operator==(const Standing&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Standing& s) {
    return out << "slot " << s.slot << " info " << s.objectInfo << " at " << s.x << "," << s.y << " facing "
               << s.direction;
}

std::vector<Standing> Everything() {
    std::vector<Standing> out;
    const FrameRunState& s = *CurrentRunState();
    for (std::int32_t slot = 0; slot < s.maxObjects; ++slot)
        if (RunObject* o = s.objects[slot].object)
            out.push_back({slot, o->objectInfo, o->x, o->y, ExtendedOf(o) ? GetObjectDirection(o) : 0});
    return out;
}

// The objects of the given slots as they stand.
std::vector<Standing> Standings(const std::vector<std::int32_t>& slots) {
    std::vector<Standing> out;
    for (const Standing& s : Everything())
        if (std::find(slots.begin(), slots.end(), s.slot) != slots.end()) out.push_back(s);
    return out;
}

// A position saved while walkers are on their way back along their spans, and loaded again: every object
// saved, the walkers on the module among them, stands and faces where it did, and goes on from there as it
// went on after the save, up to the walkers' next turns.
TEST_F(DemoLevel, ALoadedPositionGivesBackTheWalkersOnTheirWay) {
    // Past the first turn of the walkers made at the start, part of the way back.
    Ticks(WalkerSpan / WalkerSpeed + 10);
    const std::vector<RunObject*> walkers = ObjectsOf(Walker);
    ASSERT_EQ(walkers.size(), WalkerSpawns.size());
    for (RunObject* walker : walkers)
        ASSERT_EQ(GetObjectDirection(walker), 16) << "heading left";
    std::vector<std::int32_t> slots;
    for (const Standing& s : Everything())
        slots.push_back(s.slot);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vtr-demo-position-" + std::to_string(::getpid()) + ".vpp");
    ASSERT_EQ(SaveApplicationPosition(file.u16string().c_str()), 1);
    // The level pauses in a dialog after a save or a load: that is the window's business, not this test's.
    const auto noPause = [] {
        CurrentEventState()->positionSaveLoop = CurrentEventState()->positionLoadLoop = -2;
    };
    noPause();
    // Until the walkers reach the left ends of their spans, where they turned.
    const int loops = WalkerSpan / WalkerSpeed - 20;
    std::vector<std::vector<Standing>> afterSave;
    for (int i = 0; i < loops; ++i, Tick())
        afterSave.push_back(Standings(slots));
    ASSERT_EQ(LoadApplicationPosition(file.u16string().c_str()), PositionLoad::Applied);
    std::filesystem::remove(file);
    noPause();
    for (int i = 0; i < loops; ++i, Tick())
        ASSERT_EQ(Standings(slots), afterSave[static_cast<std::size_t>(i)])
            << "loop " << i << " after the load";
}

// The balls' object info.
constexpr std::uint16_t BallObject = 7;

struct Enemy {
    const char* name;
    std::uint16_t objectInfo;
};

class DemoLevelEnemies : public DemoLevel, public ::testing::WithParamInterface<Enemy> {};

// Meeting an enemy takes a life and puts the player back where it started, where nothing reaches it.
TEST_P(DemoLevelEnemies, TouchingOneCostsALifeAndPutsThePlayerBack) {
    Ticks(2);
    const std::vector<RunObject*> players = ObjectsMovedBy(MovementPlatform);
    const std::vector<RunObject*> enemies = ObjectsOf(GetParam().objectInfo);
    ASSERT_EQ(players.size(), 1u);
    ASSERT_FALSE(enemies.empty());
    RunObject* player = players[0];
    const std::int32_t lives = ~app_->globals.lives[0];
    EXPECT_EQ(lives, LivesShown);
    SetObjectPosition(player, enemies[0]->x, enemies[0]->y);
    for (int i = 0; i < 3 && ~app_->globals.lives[0] == lives; ++i)
        Tick();
    EXPECT_EQ(~app_->globals.lives[0], lives - 1);
    EXPECT_EQ(player->x, PlayerStartX);
    EXPECT_EQ(player->y, PlayerStartY);
    Ticks(60);
    EXPECT_EQ(~app_->globals.lives[0], lives - 1) << "safe at the start";
}

INSTANTIATE_TEST_SUITE_P(Cases, DemoLevelEnemies,
                         ::testing::Values(Enemy{"Walker", Walker}, Enemy{"Bird", Bird},
                                           Enemy{"Ball", BallObject}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DemoLevel, TheBallsBounceInsideThePen) {
    const std::vector<RunObject*> balls = ObjectsMovedBy(MovementBall);
    ASSERT_EQ(balls.size(), 4u);
    int bounces = 0;
    for (int loop = 0; loop < 600; ++loop) {
        Raises().clear();
        Ticks(1);
        bounces += static_cast<int>(RaisesOf(MeetsBackdrop).size() + RaisesOf(LeavesPlayArea).size());
        for (RunObject* ball : balls) {
            ASSERT_GE(ball->x, PenLeft + 8 - 1) << "loop " << loop;
            ASSERT_LE(ball->x + BallSize, PenRight - 8 + 1) << "loop " << loop;
            ASSERT_GE(ball->y, -1) << "loop " << loop;
            ASSERT_LE(ball->y + BallSize, PenFloorY + 1) << "loop " << loop;
        }
    }
    EXPECT_GT(bounces, 20);
    EXPECT_EQ(ObjectsMovedBy(MovementBall).size(), 4u) << "none was lost";
}

// The frames of the level-first copy of the game, by index: its first level, then the title, the second
// level and the game-over frame.
constexpr std::int32_t Level1Index = 0, TitleIndex = 1, Level2Index = 2, GameOverIndex = 3;

// Played with the system's own routines for the objects' collisions and movement actions.
class DemoGame : public DemoLevel {
protected:
    void SetUp() override {
        const std::vector<std::uint8_t> data = DemoLevelData();
        ASSERT_FALSE(data.empty());
        ASSERT_NO_FATAL_FAILURE(StartData(data, false));
        // The game-over frame's question is answered through the clock it waits on.
        SetFrameClock(&answering_);
    }
    // Drops every life into the pit, up to the game-over frame.
    void LoseEveryLife() {
        for (int life = LivesShown; life > 0; --life) {
            RunObject* player = Player();
            ASSERT_TRUE(player);
            SetObjectPosition(player, Level1Layout.pits[0] * GroundTile + 20, GroundY - 40);
            ASSERT_TRUE(TickUntil(200, [&] { return Lives() == life - 1; }));
        }
        ASSERT_TRUE(TickUntil(100, [&] { return InFrame(GameOverIndex); }));
    }
    questiontest::AnsweringClock answering_{clock_};
    RunObject* Player() {
        const std::vector<RunObject*> players = ObjectsMovedBy(MovementPlatform);
        return players.size() == 1 ? players[0] : nullptr;
    }
    std::int32_t Lives() const { return ~app_->globals.lives[0]; }
    // Runs loops until `done` holds, at most n; whether it holds.
    bool TickUntil(int n, const std::function<bool()>& done) {
        for (int i = 0; i < n && !done(); ++i) {
            Tick();
            if (::testing::Test::HasFatalFailure()) return false;
        }
        return done();
    }
    bool InFrame(std::int32_t index) const { return app_->currentFrameIndex == index && CurrentRunState(); }
};

TEST_F(DemoGame, TheDisplayFollowsThePlayerOverHillsThatScrollAtHalfItsSpeed) {
    RunObject* player = Player();
    ASSERT_TRUE(player);
    Ticks(10);
    EXPECT_EQ(CurrentRunState()->scrollX, 0) << "the display starts at the level's left end";
    // Walked right past the window's middle, the display keeps the player in the middle of it. The walk
    // starts on the ground past the walkers' patrol and under the enemies, which would send it back.
    SetObjectPosition(player, WalkerSpawns[0].x + WalkerSpan + WalkerSize + 20, GroundY - PlayerSize);
    Hold(SDL_SCANCODE_RIGHT);
    ASSERT_TRUE(TickUntil(600, [&] { return player->x > 800; })) << "the player walked to " << player->x;
    Ticks(2);
    Release(SDL_SCANCODE_RIGHT);
    Ticks(20);
    const std::int32_t walked = CurrentRunState()->scrollX;
    EXPECT_GT(walked, 0);
    EXPECT_NEAR(walked, player->x - 320, 2);
    // Further on, in a single move.
    SetObjectPosition(player, 1000, GroundY - PlayerSize);
    Ticks(20);
    const std::int32_t scroll = CurrentRunState()->scrollX;
    EXPECT_NEAR(scroll, player->x - 320, 2);
    // The hills' layer moved by half the display's move: a naive picture of row 330, where the sky and the
    // hills show with nothing of the play layer over them, from the hills' ellipses placed at half the
    // scroll.
    const int row = 330, shift = scroll / 2;
    const COLORREF hill = win32::RGB(Level1Layout.hill[0], Level1Layout.hill[1], Level1Layout.hill[2]);
    int inside = 0, outside = 0;
    for (int x = 0; x < 640; ++x) {
        double nearest = 1e9;
        for (int left : Level1Layout.hills) {
            const double dx = (x + shift + 0.5 - (left + HillWidth / 2.0)) / (HillWidth / 2.0);
            const double dy = (row + 0.5 - (HillY + HillHeight / 2.0)) / (HillHeight / 2.0);
            nearest = std::min(nearest, dx * dx + dy * dy);
        }
        if (nearest < 0.8) {
            EXPECT_EQ(Shown(x, row), hill) << "inside a hill at " << x;
            ++inside;
        } else if (nearest > 1.2) {
            EXPECT_NE(Shown(x, row), hill) << "sky at " << x;
            ++outside;
        }
    }
    EXPECT_GT(inside, 100);
    EXPECT_GT(outside, 50);
    // The display layer stayed on the screen: the score's first digit and the gauge's bar where placed.
    EXPECT_EQ(Shown(ScoreLeft + DigitScale + 1, ScoreTop + 1),
              win32::RGB(DigitColour[0], DigitColour[1], DigitColour[2]));
    EXPECT_EQ(Shown(GaugeX + 2, GaugeY + 2), GaugeBar);
}

// While the display scrolls in every loop, the loops' pictures reach the window: a platform's border is shown
// where the scroll of that loop (or, at most, of the loop before) puts it, not where the scroll began.
TEST_F(DemoGame, EveryLoopOfAContinuousScrollIsShown) {
    RunObject* player = Player();
    ASSERT_TRUE(player);
    Ticks(10);
    SetObjectPosition(player, WalkerSpawns[0].x + WalkerSpan + WalkerSize + 20, GroundY - PlayerSize);
    Hold(SDL_SCANCODE_RIGHT);
    const auto& [left, platformTop] = Level1Layout.platforms[3];
    const COLORREF border = win32::RGB(Level1Layout.platformBorder[0], Level1Layout.platformBorder[1],
                                       Level1Layout.platformBorder[2]);
    int scrolling = 0;
    for (int loop = 0; loop < 120; ++loop) {
        const std::int32_t before = CurrentRunState()->scrollX;
        Tick();
        const std::int32_t scroll = CurrentRunState()->scrollX;
        if (scroll == before || left - scroll < 0 || left - scroll >= 640) continue;
        ++scrolling;
        EXPECT_TRUE(Shown(left - scroll, platformTop + 8) == border ||
                    Shown(left - before, platformTop + 8) == border)
            << "scrolled to " << scroll;
    }
    Release(SDL_SCANCODE_RIGHT);
    EXPECT_GT(scrolling, 30) << "the display scrolled in most loops";
}

// The gauge stays on the screen while the display scrolls away and jumps back: its row left of it keeps
// the level's picture (no bar dragged along with the scroll), and after a lost life no copy of it is left
// where the display came back to.
TEST_F(DemoGame, TheGaugeLeavesNoTraceWhileTheDisplayScrollsAndJumpsBack) {
    RunObject* player = Player();
    ASSERT_TRUE(player);
    Ticks(10);
    // Filled a little, so that it shows its bar.
    for (int i = 0; i < 2 * 60; ++i)
        Tick();
    const auto gaugeColours = [&](int left, int right, int top, int bottom) {
        int found = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (Shown(x, y) == GaugeBar || Shown(x, y) == GaugeBack) ++found;
        return found;
    };
    SetObjectPosition(player, WalkerSpawns[0].x + WalkerSpan + WalkerSize + 20, GroundY - PlayerSize);
    Hold(SDL_SCANCODE_RIGHT);
    ASSERT_TRUE(TickUntil(600, [&] { return CurrentRunState()->scrollX > 200; }));
    Release(SDL_SCANCODE_RIGHT);
    Ticks(2);
    EXPECT_EQ(gaugeColours(0, GaugeX, GaugeY, GaugeY + GaugeHeight), 0) << "the bar was dragged left";
    EXPECT_EQ(Shown(GaugeX + 1, GaugeY + 1), GaugeBar);
    EXPECT_EQ(Shown(GaugeX + GaugeWidth - 2, GaugeY + GaugeHeight - 2), GaugeBack);
    // Into the pit: the life lost puts the player, and the display, back at the start.
    const int pit = Level1Layout.pits[0] * GroundTile;
    SetObjectPosition(player, pit + (GroundTile - PlayerSize) / 2, GroundY - 40);
    ASSERT_TRUE(TickUntil(200, [&] { return Lives() == LivesShown - 1; }));
    ASSERT_TRUE(TickUntil(60, [&] { return CurrentRunState()->scrollX == 0; }));
    Ticks(2);
    EXPECT_EQ(gaugeColours(0, 640, GaugeY + GaugeHeight, 360), 0) << "a copy of the gauge was left behind";
    EXPECT_EQ(gaugeColours(GaugeX + GaugeWidth, 640, 0, 360), 0) << "a copy of the gauge was left behind";
    EXPECT_EQ(Shown(GaugeX + 1, GaugeY + 1), GaugeBar);
}

// Through the pit the level's background colour shows, across the whole missing tile and in front of the
// hills whose feet lie below the ground.
TEST_F(DemoGame, ThePitShowsTheBackgroundAcrossItsWholeWidth) {
    RunObject* player = Player();
    ASSERT_TRUE(player);
    Ticks(10);
    // On the platform above the pit, so that the display centres over it.
    const auto& [platformLeft, platformTop] = Level1Layout.platforms[6];
    SetObjectPosition(player, platformLeft + 10, platformTop - PlayerSize);
    Ticks(30);
    const int scroll = CurrentRunState()->scrollX;
    const int pit = Level1Layout.pits[0] * GroundTile - scroll;
    ASSERT_GE(pit, 0);
    ASSERT_LE(pit + GroundTile, 640);
    const COLORREF background =
        win32::RGB(Level1Layout.background[0], Level1Layout.background[1], Level1Layout.background[2]);
    const COLORREF ground =
        win32::RGB(Level1Layout.ground[0], Level1Layout.ground[1], Level1Layout.ground[2]);
    for (int y : {GroundY + 10, GroundY + 60, LevelHeight - 2}) {
        int open = 0;
        for (int x = pit; x < pit + GroundTile; ++x)
            if (Shown(x, y) == background) ++open;
        EXPECT_EQ(open, GroundTile) << "row " << y << " scrolled to " << scroll;
        EXPECT_EQ(Shown(pit - 2, y), ground) << "row " << y;
        EXPECT_EQ(Shown(pit + GroundTile + 1, y), ground) << "row " << y;
    }
}

TEST_F(DemoGame, TheExitLeadsToTheSecondLevel) {
    RunObject* player = Player();
    ASSERT_TRUE(player);
    Ticks(5);
    SetObjectPosition(player, Level1Layout.exitX() - 60, GroundY - PlayerSize);
    Hold(SDL_SCANCODE_RIGHT);
    ASSERT_TRUE(TickUntil(300, [&] { return !InFrame(Level1Index); })) << "the player is at " << player->x;
    Release(SDL_SCANCODE_RIGHT);
    EXPECT_TRUE(TickUntil(100, [&] { return InFrame(Level2Index); }));
    Ticks(5);
    EXPECT_EQ(CurrentRunState()->frame->width, Level2Layout.width);
    EXPECT_EQ(ObjectsOf(LevelName).size(), 0u);
    EXPECT_EQ(ObjectsOf(Level2Name).size(), 1u) << "the second level's name";
    EXPECT_EQ(ObjectsMovedBy(MovementPlatform).size(), 1u) << "its player";
    EXPECT_EQ(ObjectsOf(Gem).size(), GemX.size()) << "its gems";
}

TEST_F(DemoGame, FallingCostsALifeAndTheLastEndsTheGameWhichGivesTheTitleBack) {
    Ticks(5);
    ASSERT_EQ(Lives(), LivesShown);
    for (int life = LivesShown - 1; life >= 0; --life) {
        RunObject* player = Player();
        ASSERT_TRUE(player);
        // Dropped into the pit.
        const int pit = Level1Layout.pits[0] * GroundTile;
        SetObjectPosition(player, pit + (GroundTile - PlayerSize) / 2, GroundY - 40);
        ASSERT_TRUE(TickUntil(200, [&] { return Lives() == life; })) << "life " << life;
        if (life == 0) break;
        Ticks(2);
        EXPECT_EQ(player->x, PlayerStartX) << "back at the start";
        EXPECT_EQ(player->y, PlayerStartY);
        EXPECT_TRUE(InFrame(Level1Index));
    }
    ASSERT_TRUE(TickUntil(100, [&] { return InFrame(GameOverIndex); })) << "the game is over";
    Ticks(5);
    EXPECT_EQ(ObjectsOf(GameOverBanner).size(), 1u);
    // "Play again?": no.
    answering_.script = {questiontest::Click(1)};
    ASSERT_TRUE(TickUntil((GameOverSeconds + 2) * 60, [&] { return InFrame(TitleIndex); }))
        << "the second answer gives the title back";
    EXPECT_TRUE(answering_.script.empty());
    // A key on the title, once it has faded in, starts a new game with all its lives.
    int loops = 0;
    ASSERT_TRUE(TickUntil(600, [&] {
        if (++loops % 30 == 0) {
            Hold(SDL_SCANCODE_SPACE);
            Release(SDL_SCANCODE_SPACE);
        }
        return InFrame(Level1Index);
    }));
    Ticks(2);
    EXPECT_EQ(Lives(), LivesShown);
    EXPECT_EQ(~app_->globals.scores[0], 0);
}

TEST_F(DemoGame, EscapeGivesTheTitleBack) {
    Ticks(5);
    Hold(SDL_SCANCODE_ESCAPE);
    Tick();
    Release(SDL_SCANCODE_ESCAPE);
    EXPECT_TRUE(TickUntil(100, [&] { return InFrame(TitleIndex); }));
}

TEST_F(DemoGame, TheGameOverFrameAsksWhetherToPlayAgainAndYesStartsANewGame) {
    Ticks(5);
    ASSERT_NO_FATAL_FAILURE(LoseEveryLife());
    // The question comes a moment after the frame has faded in, where the frame's layout puts it.
    QuestionLayout asked;
    answering_.script = {[&](const QuestionLayout& q) {
        asked = q;
        questiontest::Click(0)(q);
    }};
    ASSERT_TRUE(TickUntil((GameOverSeconds + 2) * 60, [&] { return InFrame(Level1Index); }))
        << "the first answer starts a new game";
    EXPECT_TRUE(answering_.script.empty());
    EXPECT_EQ(asked.box.left, QuestionX);
    EXPECT_EQ(asked.box.top, QuestionY);
    EXPECT_EQ(asked.answers.size(), 2u);
    Ticks(2);
    EXPECT_EQ(Lives(), LivesShown);
    EXPECT_EQ(~app_->globals.scores[0], 0);
}

} // namespace
