// The expression evaluator on a 20-token expression, and 1,000 event groups of one condition over the
// selection of 1,000 objects (the condition keeps the objects whose X is even).
#include "tests/runtime/event_test_support.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace eventtest;
using appwriter::ExpressionBuilder;

void ReadX() {
    RunObject* o = GetExpressionObject(CurrentToken());
    SetTopInt(o ? o->x : 0);
}

// 1 + 2 * 3 - 4 / 2 + (5 * 6) % 7 + X - 8 (20 tokens).
appwriter::Bytes TwentyTokens(std::uint16_t info) {
    ExpressionBuilder e;
    e.Integer(1).Operator(OperatorAddCode).Integer(2).Operator(OperatorMultiplyCode).Integer(3);
    e.Operator(OperatorSubtractCode).Integer(4).Operator(OperatorDivideCode).Integer(2);
    e.Operator(OperatorAddCode).Open().Integer(5).Operator(OperatorMultiplyCode).Integer(6).Close();
    e.Operator(OperatorModuloCode).Integer(7).Operator(OperatorAddCode);
    ObjectToken(e, 2, 11, 10, info);
    e.Operator(OperatorSubtractCode).Integer(8);
    return ExpressionParameterBytes(e);
}

void EvaluateTwentyTokens(benchmark::State& state) {
    Frame frame;
    const std::uint16_t info = frame.AddInfo(10);
    frame.Attach();
    frame.AddObject(info, 3, 0);
    SetCommonExpressionRoutine(11, ReadX);
    const appwriter::Bytes p = TwentyTokens(info);
    for (auto _ : state)
        benchmark::DoNotOptimize(EvaluateExpressionParameter(p.data())->integer);
}
BENCHMARK(EvaluateTwentyTokens);

int XIsEven(std::uint8_t* record) {
    return FilterSelection(
        GetU16(record + RecordResolved), record[RecordNegation] & 1,
        [](RunObject* o, void*) { return (o->x & 1) == 0; }, nullptr);
}

// Each group raises the event stamp and evaluates its one condition over the object info's selection,
// as the event runner does.
void ThousandGroupsOverThousandObjects(benchmark::State& state) {
    Frame frame(1000);
    const std::uint16_t info = frame.AddInfo(10);
    frame.Attach();
    for (int i = 0; i < 1000; ++i)
        frame.AddObject(info, i, 0);
    SetCommonConditionRoutine(-20, XIsEven, nullptr);
    std::vector<appwriter::Bytes> groups;
    for (int g = 0; g < 1000; ++g)
        groups.push_back(RecordBytes(2, -20, info, {}, g % 2 == 1));
    for (auto _ : state) {
        int passed = 0;
        for (auto& record : groups) {
            RaiseEventStamp();
            passed += ConditionDispatchOf(2)(record.data());
        }
        benchmark::DoNotOptimize(passed);
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}
BENCHMARK(ThousandGroupsOverThousandObjects)->Unit(benchmark::kMillisecond);

} // namespace
