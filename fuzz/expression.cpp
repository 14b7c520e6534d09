// Evaluates arbitrary bytes as the token stream of an expression parameter, outside and inside an action
// run, over a small frame whose objects the tokens may name: token sizes, codes, object-info indexes and
// nesting come from event data.
#include "tests/runtime/event_test_support.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace eventtest;

// A function of the special object reading two arguments, as functions with arguments do.
void TwoArguments() {
    StepToken();
    TypedValue a = *EvaluateExpression();
    StepToken();
    a.Add(*EvaluateExpression());
    ExpressionTop() = a;
}

void ReadX() {
    RunObject* o = GetExpressionObject(CurrentToken());
    SetTopInt(o ? o->x : 0);
}

Frame& TheFrame() {
    static Frame* frame = [] {
        auto* f = new Frame;
        const std::uint16_t a = f->AddInfo(10), b = f->AddInfo(11, 3);
        f->Attach();
        for (int i = 0; i < 3; ++i)
            f->AddObject(a, i, i);
        f->AddObject(b, 5, 5);
        SetExpressionRoutine(TypeSpecial, 40, TwoArguments);
        SetCommonExpressionRoutine(11, ReadX);
        return f;
    }();
    return *frame;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 30000) return 0;
    Frame& frame = TheFrame();
    std::vector<std::uint8_t> parameter(6 + size);
    parameter[0] = static_cast<std::uint8_t>((6 + size) & 0xFF);
    parameter[1] = static_cast<std::uint8_t>((6 + size) >> 8);
    parameter[2] = 22;
    if (size) std::memcpy(parameter.data() + 6, data, size);
    EventRunState& s = frame.State();
    for (int pending = 0; pending < 2; ++pending) {
        RaiseEventStamp();
        s.actionPending = static_cast<std::uint8_t>(pending);
        ++s.actionStamp;
        const TypedValue v = *EvaluateExpressionParameter(parameter.data());
        if (v.type != TypeInteger && v.type != TypeString && v.type != TypeDouble) std::abort();
        (void)v.Text();
        if (s.stackIndex != 0 || s.evaluationDepth != 0) std::abort();
        (void)EvaluateStringParameter(parameter.data());
    }
    s.actionPending = 0;
    FreeTemporaryStrings();
    return 0;
}
