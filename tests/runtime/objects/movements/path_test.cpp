// The path movement on the frame's stepped clock: segments covered in the loops their speeds give, the time
// left past a node spent at the next node's speed, pauses in fiftieths of a second, what happens at the end
// of the path, the node conditions and the actions, and a saved position loaded back on the way.
#include "movement_fixture.h"

#include "objects/path_movement.h"
#include "persist/saved_positions.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <ostream>

using namespace movementtest;

namespace {

constexpr std::int16_t NodeReached = -20;
constexpr std::int16_t PathEnded = -21;

struct Node {
    Node(std::uint8_t speed, std::int16_t dx, std::int16_t dy, std::int16_t pause = 0,
         std::u16string name = {})
        : speed(speed), dx(dx), dy(dy), pause(pause), name(std::move(name)) {}
    std::uint8_t speed;
    std::int16_t dx, dy;
    std::int16_t pause;
    std::u16string name;
};

// The stored form: the header, then each node with its unit vector, length and name.
appwriter::MovementDesc Path(const std::vector<Node>& nodes, bool loops = false, bool returns = false,
                             bool reverses = false) {
    appwriter::ByteWriter w;
    w.U16(static_cast<std::uint16_t>(nodes.size()));
    w.U16(0);
    w.U16(100);
    w.U8(loops);
    w.U8(returns);
    w.U8(reverses);
    w.U8(0);
    std::uint8_t previous = 0;
    for (const Node& n : nodes) {
        const double length = std::hypot(static_cast<double>(n.dx), static_cast<double>(n.dy));
        const auto size = static_cast<std::uint8_t>(16 + 2 * (n.name.size() + 1));
        const double angle = std::atan2(-static_cast<double>(n.dy), static_cast<double>(n.dx));
        const auto direction =
            static_cast<std::uint8_t>(static_cast<int>(std::lround(angle / (2 * M_PI) * 32) + 32) & 31);
        w.U8(previous);
        w.U8(size);
        w.U8(n.speed);
        w.U8(direction);
        w.U16(static_cast<std::uint16_t>(n.dx));
        w.U16(static_cast<std::uint16_t>(n.dy));
        w.U16(static_cast<std::uint16_t>(std::lround(length ? n.dx / length * 16384 : 0)));
        w.U16(static_cast<std::uint16_t>(std::lround(length ? n.dy / length * 16384 : 0)));
        w.U16(static_cast<std::uint16_t>(std::lround(length)));
        w.U16(static_cast<std::uint16_t>(n.pause));
        for (char16_t c : n.name)
            w.U16(c);
        w.U16(0);
        previous = size;
    }
    return Movement(MovementPath, 0, w.Data());
}

class PathMovement : public MovementTest {
protected:
    // One object placed at (40, 100) on the path, with the node and end conditions logged; the frame's first
    // loop has moved it when this returns.
    void StartPath(const appwriter::MovementDesc& path) {
        Stage stage;
        stage.movers = {{1, path}};
        stage.placed.push_back({1, 40, 100});
        stage.events = {When(NodeReached, 1, {}), When(PathEnded, 1, {})};
        StartStage(stage);
        SetCommonConditionRoutine(NodeReached, detail::Never, detail::Raised<NodeReached>);
        SetCommonConditionRoutine(PathEnded, detail::Never, detail::Raised<PathEnded>);
        o_ = Slot(0);
        Raises().clear();
        start_ = CurrentRunState()->loopCount - 1;
    }
    std::int32_t DX() const { return o_->x - 40; }
    std::int32_t DY() const { return o_->y - 100; }
    // The loops when the condition was raised, counted from the frame's first.
    std::vector<std::int64_t> LoopsOf(std::int16_t condition) {
        std::vector<std::int64_t> loops;
        for (const Raise& r : RaisesOf(condition))
            loops.push_back(r.loop - start_);
        return loops;
    }
    RunObject* o_ = nullptr;
    std::int64_t start_ = 0;
};

TEST_F(PathMovement, ANodeIsReachedInTheLoopsItsSpeedGives) {
    // Speed 10 covers 1.25 pixels a loop: 20 pixels take 16 loops.
    StartPath(Path({{10, 20, 0, 0, u"a"}, {10, 0, 40}}));
    EXPECT_EQ(DX(), 1);
    for (int loop = 2; loop <= 16; ++loop) {
        Tick();
        EXPECT_EQ(DX(), loop * 5 / 4) << "loop " << loop;
        EXPECT_EQ(DY(), 0);
    }
    EXPECT_EQ(LoopsOf(NodeReached), (std::vector<std::int64_t>{16}));
    EXPECT_EQ(std::u16string(o_->nodeName), u"a");
    EXPECT_EQ(Active(0)->direction, 24) << "the second node goes down";
}

TEST_F(PathMovement, TimeLeftPastANodeIsSpentAtTheNextNodesSpeed) {
    // Speed 16 covers 2 pixels a loop and speed 32 four: the third loop ends 1 pixel past the first node,
    // worth 2 pixels of the second.
    StartPath(Path({{16, 5, 0}, {32, 0, 20}}));
    Ticks(2);
    EXPECT_EQ(DX(), 5);
    EXPECT_EQ(DY(), 2);
    Tick();
    EXPECT_EQ(DY(), 6);
}

TEST_F(PathMovement, APauseOfFiftyWaitsOneSecondAtTheNode) {
    // Speed 8 covers 1 pixel a loop.
    StartPath(Path({{8, 4, 0}, {8, 10, 0, 50}}));
    Ticks(3);
    ASSERT_EQ(DX(), 4);
    std::int64_t waited = 0;
    int loops = 0;
    while (DX() == 4 && loops < 500) {
        Tick();
        ++loops;
        waited += CurrentRunState()->loopTime;
    }
    // It leaves in the loop that takes the wait to a second, and moves in that same loop.
    EXPECT_GE(waited, 1000);
    EXPECT_LT(waited - CurrentRunState()->loopTime, 1000);
    EXPECT_EQ(DX(), 5);
}

struct EndCase {
    const char* name;
    bool loops, returns, reverses;
    std::int32_t at8, at12, at20; // X offsets after 8, 12 and 20 loops
    std::size_t ends;             // end-of-path conditions by loop 20
};

// Shown by its name: the bytes between its fields are no part of what it is.
void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class PathEnd : public PathMovement, public ::testing::WithParamInterface<EndCase> {};

TEST_P(PathEnd, TheEndOptionsDecideWhatFollowsTheLastNode) {
    const EndCase& c = GetParam();
    StartPath(Path({{8, 4, 0}, {8, 4, 0}}, c.loops, c.returns, c.reverses));
    Ticks(7);
    EXPECT_EQ(DX(), c.at8);
    Ticks(4);
    EXPECT_EQ(DX(), c.at12);
    Ticks(8);
    EXPECT_EQ(DX(), c.at20);
    EXPECT_EQ(RaisesOf(PathEnded).size(), c.ends);
}

INSTANTIATE_TEST_SUITE_P(Options, PathEnd,
                         ::testing::Values(EndCase{"Stops", false, false, false, 8, 8, 8, 1},
                                           EndCase{"Loops", true, false, false, 8, 12, 20, 2},
                                           EndCase{"ReturnsAndLoops", true, true, false, 0, 4, 4, 2},
                                           EndCase{"Returns", false, true, false, 0, 0, 0, 1},
                                           EndCase{"Reverses", false, false, true, 8, 4, 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

class PathActions : public PathMovement {
protected:
    // Three 8-pixel nodes along X at 1 pixel a loop.
    void SetUp() override {
        StartPath(Path({{8, 8, 0, 0, u"First"}, {8, 8, 0, 0, u"Second"}, {8, 8, 0, 0, u"Third"}}));
    }
};

TEST_F(PathActions, StopHoldsTheSpeedAndStartGivesItBack) {
    Ticks(2);
    CallMovementAction(MovementRow::Stop, o_, 0);
    Ticks(5);
    EXPECT_EQ(DX(), 3);
    EXPECT_EQ(Active(0)->speed, 0);
    CallMovementAction(MovementRow::Start, o_, 0);
    Ticks(2);
    EXPECT_EQ(DX(), 5);
    CallMovementAction(MovementRow::SetSpeed, o_, 16);
    Tick();
    EXPECT_EQ(DX(), 7);
}

TEST_F(PathActions, ReverseTurnsRoundInMidSegmentAndAtANode) {
    Ticks(2);
    CallMovementAction(MovementRow::Reverse, o_, 0);
    EXPECT_EQ(Active(0)->direction, 16);
    Ticks(2);
    EXPECT_EQ(DX(), 1);
    // Back at the start the path has nothing behind it: without loop or return it stops there.
    Ticks(3);
    EXPECT_EQ(DX(), 0);
    Ticks(3);
    EXPECT_EQ(DX(), 0);
    CallMovementAction(MovementRow::Reverse, o_, 0);
    Ticks(4);
    EXPECT_EQ(DX(), 4);
}

TEST_F(PathActions, JumpingToANodePutsTheObjectAtItsStartAndRaisesTheNode) {
    PathJumpToNode(o_, u"THIRD");
    EXPECT_EQ(DX(), 16);
    EXPECT_EQ(std::u16string(o_->nodeName), u"Third");
    EXPECT_EQ(RaisesOf(NodeReached).size(), 1u);
    Ticks(8);
    EXPECT_EQ(DX(), 24);
    EXPECT_EQ(RaisesOf(PathEnded).size(), 1u);
}

TEST_F(PathActions, GoingToANodeStopsThereFromEitherSide) {
    PathGotoNode(o_, u"second");
    Ticks(20);
    EXPECT_EQ(DX(), 16) << "stopped where the named node ends";
    EXPECT_EQ(std::u16string(o_->nodeName), u"Second");
    // Behind: the object travels back and stops where the node is reached that way.
    PathGotoNode(o_, u"First");
    Ticks(20);
    EXPECT_EQ(DX(), 0);
    // A name no node has changes nothing; a start goes on.
    PathGotoNode(o_, u"Fourth");
    Ticks(3);
    EXPECT_EQ(DX(), 0);
    // The path ended there: a start does nothing, a node to go to sets it off again.
    CallMovementAction(MovementRow::Start, o_, 0);
    Ticks(3);
    EXPECT_EQ(DX(), 0);
    PathGotoNode(o_, u"Third");
    Ticks(3);
    EXPECT_EQ(DX(), 3);
}

TEST_F(PathActions, APutObjectTakesItsPathAlong) {
    Ticks(1);
    SetObjectPosition(o_, 140, 50);
    Ticks(2);
    EXPECT_EQ(o_->x, 142);
    EXPECT_EQ(o_->y, 50);
    Ticks(4);
    EXPECT_EQ(o_->x, 146);
    EXPECT_EQ(std::u16string(o_->nodeName), u"First");
}

// A position saved on the way and loaded back: the object made again takes its place and its progress along
// the path from the file, follows the path from there as it did after the save, and reads its own nodes (a
// movement owns its nodes: the saved block must not carry them over from the run that wrote it).
TEST_F(PathActions, ALoadedPositionGoesOnAlongThePathFromWhereItWasSaved) {
    Ticks(5);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vtr-path-position-" + std::to_string(::getpid()) + ".vpp");
    ASSERT_EQ(SaveApplicationPosition(file.u16string().c_str()), 1);
    std::vector<std::int32_t> afterSave;
    for (int i = 0; i < 20; ++i, Tick())
        afterSave.push_back(Slot(0)->x);
    ASSERT_EQ(LoadApplicationPosition(file.u16string().c_str()), PositionLoad::Applied);
    std::filesystem::remove(file);
    std::vector<std::int32_t> afterLoad;
    for (int i = 0; i < 20; ++i, Tick())
        afterLoad.push_back(Slot(0)->x);
    EXPECT_EQ(afterLoad, afterSave);
    PathJumpToNode(Slot(0), u"Second");
    EXPECT_EQ(Slot(0)->x - 40, 8);
}

// A position whose object was on a movement its list does not hold (a damaged or foreign file) keeps the
// path the object was made with, nodes and all: the object goes on as it did after the save, and nothing is
// set up over the nodes it owns (which would be lost).
TEST_F(PathActions, APositionNamingAMovementTheListDoesNotHoldKeepsThePath) {
    Ticks(5);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vtr-path-index-" + std::to_string(::getpid()) + ".vpp");
    MovementOf(Slot(0))->currentMovement = 5;
    ASSERT_EQ(SaveApplicationPosition(file.u16string().c_str()), 1);
    MovementOf(Slot(0))->currentMovement = 0;
    std::vector<std::int32_t> afterSave;
    for (int i = 0; i < 20; ++i, Tick())
        afterSave.push_back(Slot(0)->x);
    ASSERT_EQ(LoadApplicationPosition(file.u16string().c_str()), PositionLoad::Applied);
    std::filesystem::remove(file);
    EXPECT_EQ(CurrentMovementIndex(Slot(0)), 0);
    std::vector<std::int32_t> afterLoad;
    for (int i = 0; i < 20; ++i, Tick())
        afterLoad.push_back(Slot(0)->x);
    EXPECT_EQ(afterLoad, afterSave);
}

// A position naming a node the path does not have (a damaged file): the object goes on along the path's last
// node instead of reading past its nodes.
TEST_F(PathActions, APositionNamingANodeThePathDoesNotHaveStaysOnThePath) {
    Ticks(5);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vtr-path-node-" + std::to_string(::getpid()) + ".vpp");
    // The node's index follows the start point in the movement's block.
    std::uint8_t* const node = MovementOf(Slot(0))->typeData + 8;
    std::int32_t kept = 0;
    std::memcpy(&kept, node, sizeof kept);
    const std::int32_t missing = 1000;
    std::memcpy(node, &missing, sizeof missing);
    ASSERT_EQ(SaveApplicationPosition(file.u16string().c_str()), 1);
    std::memcpy(node, &kept, sizeof kept);
    ASSERT_EQ(LoadApplicationPosition(file.u16string().c_str()), PositionLoad::Applied);
    std::filesystem::remove(file);
    Ticks(40);
    ASSERT_NE(Slot(0)->nodeName, nullptr);
    const std::u16string reached(Slot(0)->nodeName);
    EXPECT_TRUE(reached == u"First" || reached == u"Second" || reached == u"Third")
        << std::string(reached.begin(), reached.end());
}

} // namespace
