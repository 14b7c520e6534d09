// The common conditions and actions in one tick of a frame's events: 1,000 every-loop groups over 1,000
// objects, each group comparing X, testing the objects left for an overlap with 10 objects of another
// object info, and setting the X of those that pass; beside a plain loop doing the same work.
#include "builtin/system_objects.h"
#include "events/event_evaluation.h"
#include "events/event_preparation.h"
#include "tests/runtime/event_test_support.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace eventtest;
using appwriter::EventGroupDesc;
using appwriter::EventProgramBuilder;
using appwriter::EventRecordDesc;
using appwriter::ExpressionBuilder;

constexpr int Objects = 1000;
constexpr int Targets = 10;
constexpr int Groups = 1000;
constexpr std::int16_t CompareX = -17, Overlap = -4, SetX = 2;
constexpr std::uint16_t Lower = 3, GreaterOrEqual = 4;
constexpr std::int32_t Middle = 500;
constexpr std::uint16_t Movers = 10, Walls = 11;

// Mover i lies at (i, (i % 20) * 12), 10 by 10; the walls stand in a row at y = 0, 100 pixels apart, so
// that the movers of the first row meet them.
std::int32_t MoverX(int i) {
    return i;
}
std::int32_t MoverY(int i) {
    return (i % 20) * 12;
}

EventRecordDesc Record(std::int16_t type, std::int16_t number, std::uint16_t objectInfo,
                       std::vector<appwriter::EventParameterDesc> parameters) {
    EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.objectInfo = objectInfo;
    r.parameters = std::move(parameters);
    return r;
}

void CommonConditionsAndActionsOverThousandObjects(benchmark::State& state) {
    Frame frame(Objects + Targets + 16);
    const std::uint16_t movers = frame.AddInfo(Movers), walls = frame.AddInfo(Walls);
    InstallSystemObjectRoutines();
    for (int i = 0; i < Objects; ++i)
        frame.AddObject(movers, MoverX(i), MoverY(i));
    for (int j = 0; j < Targets; ++j)
        frame.AddObject(walls, j * 100, 0);
    EventProgramBuilder b;
    for (int g = 0; g < Groups; ++g) {
        EventGroupDesc group;
        // Every other group keeps the left half of the movers, the others the right half.
        EventRecordDesc compare =
            Record(2, CompareX, Movers,
                   {appwriter::ExpressionParameter(23, ExpressionBuilder().Integer(Middle),
                                                   g % 2 ? GreaterOrEqual : Lower)});
        compare.runFlags = RecordEveryLoop;
        group.conditions = {compare, Record(2, Overlap, Movers, {appwriter::ObjectParameter(Walls, 2)})};
        ExpressionBuilder x;
        ObjectToken(x, 2, 11, Movers, movers);
        group.actions = {Record(2, SetX, Movers, {appwriter::ExpressionParameter(22, x)})};
        b.AddGroup(group);
    }
    b.objectInfoCount = 2;
    b.conditionCounts[TypeSpecial + 7] = 40;
    FrameEvents events;
    if (ReadFrameEvents(events, b.ChunkPayload(), true, 1252) != EventsOk ||
        PrepareFrameEvents(events, frame.Run()) != 0)
        return state.SkipWithError("the program was not prepared");
    frame.Attach(&events);
    for (auto _ : state) {
        RaiseEventStamp();
        RunEveryLoopEvents();
        FreeTemporaryStrings();
    }
    // Each group compares every mover and tests half of them for an overlap.
    const double perTick = static_cast<double>(Groups) * (Objects + Objects / 2);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * perTick));
    state.counters["per object-condition"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * perTick,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(CommonConditionsAndActionsOverThousandObjects)->Unit(benchmark::kMillisecond);

// The same work on plain arrays: compare, test the boxes against the walls, set X.
void CommonConditionsPlainLoopReference(benchmark::State& state) {
    struct Box {
        std::int32_t x, y, w, h;
    };
    std::vector<Box> movers(Objects), walls(Targets);
    for (int i = 0; i < Objects; ++i)
        movers[static_cast<std::size_t>(i)] = {MoverX(i), MoverY(i), 10, 10};
    for (int j = 0; j < Targets; ++j)
        walls[static_cast<std::size_t>(j)] = {j * 100, 0, 10, 10};
    std::vector<Box*> kept;
    kept.reserve(Objects);
    for (auto _ : state) {
        for (int g = 0; g < Groups; ++g) {
            kept.clear();
            for (Box& m : movers)
                if ((m.x < Middle) != (g % 2 == 1)) kept.push_back(&m);
            std::size_t n = 0;
            for (Box* m : kept) {
                bool meets = false;
                for (const Box& w : walls)
                    meets = meets || (m->x <= w.x + w.w && w.x <= m->x + m->w && m->y <= w.y + w.h &&
                                      w.y <= m->y + m->h);
                if (meets) kept[n++] = m;
            }
            for (std::size_t i = 0; i < n; ++i)
                kept[i]->x = kept[i]->x;
            benchmark::DoNotOptimize(kept.data());
        }
        benchmark::ClobberMemory();
    }
    const double perTick = static_cast<double>(Groups) * (Objects + Objects / 2);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * perTick));
}
BENCHMARK(CommonConditionsPlainLoopReference)->Unit(benchmark::kMillisecond);

} // namespace
