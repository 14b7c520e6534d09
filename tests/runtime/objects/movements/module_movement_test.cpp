// Movements made by movement modules: an application lists a module, an object's movement names it, and
// the object moves by the module's rule loop after loop; a movement whose module is missing or makes
// nothing leaves its object standing.
#include "movement_fixture.h"

#include "runtime/events/extensions/extension_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace {

using namespace movementtest;
using extensiontest::ModuleFolder;

constexpr std::uint32_t PatrolIdentifier = 0x4C525450;

// The patrol's settings sit at byte 26 of the movement's data, 14 bytes after the common part.
appwriter::MovementDesc Patrol(std::u16string module, std::int16_t speed, std::int16_t span) {
    appwriter::Bytes data(14, 0);
    appwriter::ByteWriter w;
    w.U16(static_cast<std::uint16_t>(speed));
    w.U16(static_cast<std::uint16_t>(span));
    data.insert(data.end(), w.Data().begin(), w.Data().end());
    appwriter::MovementDesc m = Movement(MovementExtension, 0, data);
    m.identifier = PatrolIdentifier;
    m.module = std::move(module);
    return m;
}

class ModuleMovements : public MovementTest {
protected:
    void Start(std::vector<std::u16string> listed, std::u16string module, std::int16_t speed = 4,
               std::int16_t span = 12) {
        folder_.Copy(extensiontest::OwnModules / "vtrpatrol.mvx", "vtrpatrol.mvx");
        folder_.Copy(extensiontest::TestModules / "mover.mvx", "mover.mvx");
        Stage stage;
        stage.movers = {{1, Patrol(std::move(module), speed, span)}};
        stage.placed = {{1, 100, 50}};
        appwriter::ApplicationDescription d = DescribeStage(stage);
        d.movementModules = std::move(listed);
        ASSERT_NO_FATAL_FAILURE(StartData(appwriter::WriteApplication(d)));
    }
    ModuleFolder folder_;
};

// The object goes right and back between 100 and 112, 4 pixels a loop, facing the way it goes.
TEST_F(ModuleMovements, PatrolWalksItsSpanAndTurnsAtEachEnd) {
    ASSERT_NO_FATAL_FAILURE(Start({u"mover", u"VtrPatrol.dat"}, u"vtrpatrol.mvx"));
    RunObject* o = Slot(0);
    ASSERT_NE(MovementInstanceOf(o), nullptr) << "the module made the object's movement";
    std::vector<std::int32_t> xs{o->x};
    std::vector<std::int32_t> directions;
    for (int i = 0; i < 14; ++i) {
        ASSERT_NO_FATAL_FAILURE(Tick());
        xs.push_back(o->x);
        directions.push_back(GetObjectDirection(o));
        EXPECT_EQ(o->y, 50);
    }
    for (std::size_t i = 1; i < xs.size(); ++i) {
        EXPECT_EQ(std::abs(xs[i] - xs[i - 1]), 4) << "loop " << i;
        EXPECT_GE(xs[i], 100);
        EXPECT_LE(xs[i], 112);
        // It turns only at an end.
        if (i >= 2 && (xs[i] - xs[i - 1]) != (xs[i - 1] - xs[i - 2])) {
            EXPECT_TRUE(xs[i - 1] == 100 || xs[i - 1] == 112) << "turned at " << xs[i - 1];
        }
        // Its direction is the way its next step goes.
        if (i + 1 < xs.size()) {
            EXPECT_EQ(directions[i - 1], xs[i + 1] > xs[i] ? 0 : 16) << "loop " << i;
        }
    }
    EXPECT_NE(std::find(xs.begin(), xs.end(), 112), xs.end());
    EXPECT_GE(std::count(xs.begin(), xs.end(), 100), 2) << "back at the start over 15 places";

    // Stopped by the movement actions, it stands; started, it goes on from there.
    CallMovementAction(MovementRow::Stop, o, 0);
    const std::int32_t x = o->x;
    Ticks(3);
    EXPECT_EQ(o->x, x);
    CallMovementAction(MovementRow::Start, o, 0);
    Ticks(1);
    EXPECT_EQ(std::abs(o->x - x), 4);
}

struct Standing {
    const char* name;
    std::vector<std::u16string> listed;
    std::u16string module;
};

// Shown by its name: the bytes of its strings are no part of what it is.
void PrintTo(const Standing& c, std::ostream* out) {
    *out << c.name;
}

class ModuleMovementStands : public ModuleMovements, public ::testing::WithParamInterface<Standing> {};

TEST_P(ModuleMovementStands, WhenNoModuleMakesIt) {
    const Standing& s = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(s.listed, s.module));
    RunObject* o = Slot(0);
    EXPECT_EQ(MovementInstanceOf(o), nullptr);
    Ticks(5);
    EXPECT_EQ(o->x, 100);
    EXPECT_EQ(o->y, 50);
}

INSTANTIATE_TEST_SUITE_P(Cases, ModuleMovementStands,
                         ::testing::Values(Standing{"NotListed", {u"mover"}, u"vtrpatrol"},
                                           Standing{"ModuleMakesNone", {u"mover", u"vtrpatrol"}, u"Mover"},
                                           Standing{"NoModuleNamed", {u"vtrpatrol"}, u""}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
