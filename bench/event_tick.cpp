// The event program's part of a tick, beside plain loops doing the same work: 1,000 every-loop groups over
// the selections of 1,000 objects (each keeps the objects whose X is even, or odd, and moves them down), and
// a fast loop of 100,000 iterations of a one-action group, on its fast path and through the on-loop list.
#include "builtin/system_objects.h"
#include "events/event_evaluation.h"
#include "events/event_preparation.h"
#include "tests/runtime/event_test_support.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace eventtest;
using appwriter::EventGroupDesc;
using appwriter::EventProgramBuilder;
using appwriter::EventRecordDesc;
using appwriter::ExpressionBuilder;

constexpr int Objects = 1000;
constexpr int Groups = 1000;
constexpr std::int32_t Iterations = 100000;
constexpr std::int16_t XIsEvenCondition = -20;
constexpr std::int16_t MoveDownAction = 30;
constexpr std::int16_t CountAction = 100;

int XIsEven(std::uint8_t* record) {
    return FilterSelection(
        GetU16(record + RecordResolved), record[RecordNegation] & 1,
        [](RunObject* o, void*) { return (o->x & 1) == 0; }, nullptr);
}

void MoveDown(std::uint8_t* record) {
    if (RunObject* o = ActionObjectOf(record)) ++o->y;
}

std::int64_t counted = 0;
void Count(std::uint8_t*) {
    ++counted;
}

EventRecordDesc Record(std::int16_t type, std::int16_t number, std::uint16_t objectInfo = 0,
                       std::vector<appwriter::EventParameterDesc> parameters = {}) {
    EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.objectInfo = objectInfo;
    r.parameters = std::move(parameters);
    return r;
}

// A frame whose event program is prepared over its objects, ready for a loop's events.
struct PreparedFrame {
    explicit PreparedFrame(int maxObjects) : frame(maxObjects) {}
    void Prepare(EventProgramBuilder& b) {
        b.objectInfoCount = static_cast<std::uint16_t>(frame.Run().objectInfoCount);
        b.conditionCounts[TypeSpecial + 7] = 40;
        ok = ReadFrameEvents(events, b.ChunkPayload(), true, 1252) == EventsOk &&
             PrepareFrameEvents(events, frame.Run()) == 0;
        frame.Attach(&events);
    }
    Frame frame;
    FrameEvents events;
    bool ok = false;
};

void ThousandEveryLoopGroupsOverThousandObjects(benchmark::State& state) {
    bench::ShowTarget(state, "under 4 ms (4 ns an object-condition)");
    PreparedFrame p(Objects);
    const std::uint16_t info = p.frame.AddInfo(10);
    for (int i = 0; i < Objects; ++i)
        p.frame.AddObject(info, i, 0);
    SetCommonConditionRoutine(XIsEvenCondition, XIsEven, nullptr);
    SetCommonActionRoutine(MoveDownAction, MoveDown);
    EventProgramBuilder b;
    for (int g = 0; g < Groups; ++g) {
        EventGroupDesc group;
        EventRecordDesc c = Record(2, XIsEvenCondition, 10);
        c.runFlags = RecordEveryLoop;
        c.negation = g % 2;
        group.conditions = {c};
        group.actions = {Record(2, MoveDownAction, 10)};
        b.AddGroup(group);
    }
    p.Prepare(b);
    if (!p.ok) return state.SkipWithError("the program was not prepared");
    for (auto _ : state) {
        RaiseEventStamp();
        RunEveryLoopEvents();
    }
    state.SetItemsProcessed(state.iterations() * Groups * Objects);
    state.counters["per group"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * Groups,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ThousandEveryLoopGroupsOverThousandObjects)->Unit(benchmark::kMillisecond);

// The same work on a plain array: each group tests every object and moves those that pass.
void ThousandGroupsPlainLoopReference(benchmark::State& state) {
    struct Item {
        std::int32_t x, y;
    };
    std::vector<Item> items(Objects);
    for (int i = 0; i < Objects; ++i)
        items[static_cast<std::size_t>(i)] = {i, 0};
    for (auto _ : state) {
        for (int g = 0; g < Groups; ++g)
            for (Item& item : items)
                if (((item.x & 1) == 0) != (g % 2 == 1)) ++item.y;
        benchmark::DoNotOptimize(items.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Groups * Objects);
}
BENCHMARK(ThousandGroupsPlainLoopReference)->Unit(benchmark::kMillisecond);

// A start-loop action of 100,000 iterations, the loop's one group counting them; `computed` names the
// loop by an expression, which keeps it off the fast path.
void FastLoop(benchmark::State& state, bool computed) {
    if (computed) bench::ShowTarget(state, "under 30 ns an iteration");
    PreparedFrame p(16);
    InstallSystemObjectRoutines();
    SetActionRoutine(TypeSpecial, CountAction, Count);
    EventProgramBuilder b;
    EventGroupDesc start;
    EventRecordDesc always = Record(TypeSpecial, -1);
    always.runFlags = RecordEveryLoop;
    start.conditions = {always};
    start.actions = {Record(TypeSpecial, 14, 0,
                            {appwriter::ExpressionParameter(45, ExpressionBuilder().String(u"Loop")),
                             appwriter::ExpressionParameter(22, ExpressionBuilder().Integer(Iterations))})};
    b.AddGroup(start);
    ExpressionBuilder name;
    if (computed)
        name.String(u"Lo").Operator(OperatorAddCode).String(u"op");
    else
        name.String(u"Loop");
    EventGroupDesc body;
    body.conditions = {Record(TypeSpecial, -16, 0, {appwriter::ExpressionParameter(45, name)})};
    body.actions = {Record(TypeSpecial, CountAction)};
    b.AddGroup(body);
    p.Prepare(b);
    if (!p.ok) return state.SkipWithError("the program was not prepared");
    counted = 0;
    for (auto _ : state) {
        RaiseEventStamp();
        RunEveryLoopEvents();
        FreeTemporaryStrings();
    }
    if (counted != state.iterations() * Iterations)
        state.SkipWithError("the loop did not run its iterations");
    state.SetItemsProcessed(state.iterations() * Iterations);
    state.counters["per iteration"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * Iterations,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(FastLoop, FastPath, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FastLoop, ThroughTheOnLoopList, true)->Unit(benchmark::kMillisecond);

// The same iterations as calls through a table of routines, one per iteration.
void FastLoopCallTableReference(benchmark::State& state) {
    ActionRoutine table[1] = {Count};
    std::uint8_t record[16] = {};
    counted = 0;
    for (auto _ : state) {
        for (std::int32_t i = 0; i < Iterations; ++i) {
            benchmark::DoNotOptimize(table);
            table[0](record);
        }
    }
    benchmark::DoNotOptimize(counted);
    state.SetItemsProcessed(state.iterations() * Iterations);
}
BENCHMARK(FastLoopCallTableReference)->Unit(benchmark::kMillisecond);

} // namespace
