// A written application whose frame places several active objects of several definitions (two of them
// members of one qualifier) and a solid wall, run in its windows loop by loop with an event program of the
// test: the common conditions, actions and expressions and the create-object object run as the program
// runs them, and the tests read the objects afterwards.
#pragma once

#include "runtime/objects/backgrounds/backgrounds_fixture.h"

#include "builtin/object_fonts.h"
#include "core/event_state.h"
#include "core/frame_run_state.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"

#include "appwriter/event_program_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace commontest {

using namespace vtrrt;
using appwriter::EventGroupDesc;
using appwriter::EventParameterDesc;
using appwriter::EventProgramBuilder;
using appwriter::EventRecordDesc;
using appwriter::ExpressionBuilder;
using appwriter::PositionDesc;

// Object infos, in the application's (and so the run table's) order; Spark is placed with a parent, so that
// the frame uses it but creates none at start. Both is the qualifier of A and B.
constexpr std::uint16_t A = 1, B = 2, C = 3, Spark = 4, Wall = 10;
constexpr std::uint16_t Both = 0x8001;
constexpr std::int16_t Active = 2;

// Images (stored indexes): 1 and 2 the frames of A's walking animation (8 by 8, action point (6, 3)), 3 B's
// (16 by 16, its left half transparent), 4 C's and the spark's (4 by 4), 5 A's shooting frame.
constexpr std::int16_t ActionX = 6, ActionY = 3;

struct Placement {
    std::uint16_t object;
    std::int32_t x, y;
    std::int16_t layer = 0;
};

// A at (20, 20), (60, 20) and (100, 20); B at (200, 100) and (240, 100); C at (280, 20); the wall at (150,
// 150), 40 by 40.
std::vector<Placement> DefaultPlacements();

struct SceneOptions {
    std::vector<Placement> placements = DefaultPlacements();
    bool boxCollisionsOfB = false;
    std::uint32_t inkOfA = 0x10000000; // transparent blit
    std::uint32_t inkParameterOfA = 0;
    std::vector<appwriter::LayerDesc> layers{appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0x10}};
};

// --- building event programs ---

EventRecordDesc Rec(std::int16_t type, std::int16_t number, std::vector<EventParameterDesc> parameters = {},
                    std::uint16_t objectInfo = 0, bool negated = false);
// A condition that holds in every loop.
EventRecordDesc Always();
// A group that runs only in the first loop in which its conditions are evaluated: always, once, then the
// conditions given.
EventGroupDesc Once(std::vector<EventRecordDesc> conditions, std::vector<EventRecordDesc> actions);
EventGroupDesc Every(std::vector<EventRecordDesc> conditions, std::vector<EventRecordDesc> actions);
EventParameterDesc Num(std::int32_t n);
EventParameterDesc Expr(ExpressionBuilder e, std::int16_t code = 22);
EventParameterDesc Compare(int op, ExpressionBuilder e);
EventParameterDesc Text(std::u16string text);
// An expression of an object without arguments.
ExpressionBuilder Of(std::int16_t number, std::uint16_t objectInfo);
// The value of object `info`'s common expression `number` with the argument `n` in its token.
ExpressionBuilder OfWith(std::int16_t number, std::uint16_t objectInfo, std::int16_t n);
// Sets alterable value `n` of the selected objects of `info` to `value`.
EventRecordDesc SetValue(std::uint16_t info, std::int32_t n, ExpressionBuilder value);
// Marks the selected objects of `info` (alterable value 9 becomes 1).
EventRecordDesc Mark(std::uint16_t info);
constexpr int MarkValue = 9;

class CommonObjectsTest : public ::testing::Test {
public:
    static TypedValue Value(RunObject* o, int n);
    static std::u16string String(RunObject* o, int n);

protected:
    void Start(EventProgramBuilder& b, const SceneOptions& options = {});
    void TearDown() override;
    // Runs loops until `n` more have run.
    void Tick(int n = 1);
    // The instances of an object info in creation order.
    std::vector<RunObject*> Instances(std::uint16_t info);
    RunObject* Instance(std::uint16_t info, std::size_t n) {
        const std::vector<RunObject*> all = Instances(info);
        return n < all.size() ? all[n] : nullptr;
    }
    // Which instances of `info` are marked.
    std::vector<bool> Marked(std::uint16_t info);

    displaytest::TestClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

} // namespace commontest
