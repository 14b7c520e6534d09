// The event-engine frame of the runtime's event tests with every system object's routines, over an
// application record of its own (players, controls and global values): records run as the events would run
// them, and expressions of function tokens.
#pragma once

#include "builtin/system_objects.h"
#include "core/application_record.h"
#include "core/runtime_services.h"
#include "events/event_evaluation.h"
#include "runtime/event_test_support.h"
#include "startup/player_globals.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <array>
#include <variant>

namespace specialtest {

using namespace eventtest;
using appwriter::ExpressionBuilder;

// An argument of a function token: an integer, a double or a string constant.
using Argument = std::variant<std::int32_t, double, std::u16string>;

inline void Put(ExpressionBuilder& e, const Argument& a) {
    if (const auto* i = std::get_if<std::int32_t>(&a))
        e.Integer(*i);
    else if (const auto* d = std::get_if<double>(&a))
        Double(e, *d);
    else
        e.String(std::get<std::u16string>(a));
}

// A function of an object type and its arguments (none: the token alone).
inline ExpressionBuilder Call(std::int16_t type, std::int16_t number,
                              const std::vector<Argument>& arguments = {}, appwriter::Bytes payload = {}) {
    ExpressionBuilder e;
    e.Raw(EventCodeOf(type, number), std::move(payload));
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i) e.Comma();
        Put(e, arguments[i]);
    }
    if (!arguments.empty()) e.Close();
    return e;
}

inline ExpressionBuilder Function(std::int16_t number, const std::vector<Argument>& arguments = {}) {
    return Call(TypeSpecial, number, arguments);
}

inline appwriter::Bytes Expression(const ExpressionBuilder& e, std::int16_t code = 22, std::uint16_t op = 0) {
    return ExpressionParameterBytes(e, code, op);
}
inline appwriter::Bytes Constant(std::int16_t code, std::int32_t value) {
    appwriter::ByteWriter w;
    const bool wide = code == 2 || code == 24;
    w.U16(static_cast<std::uint16_t>(wide ? 8 : 6));
    w.U16(static_cast<std::uint16_t>(code));
    if (wide)
        w.I32(value);
    else
        w.U16(static_cast<std::uint16_t>(value));
    return w.Take();
}
// A double constant as events hold it: an expression of one double token.
inline appwriter::Bytes DoubleConstant(double value) {
    ExpressionBuilder e;
    Double(e, value);
    return ExpressionParameterBytes(e, 23);
}

class SpecialFrame : public ::testing::Test {
protected:
    SpecialFrame() {
        InstallSystemObjectRoutines();
        frame_.Attach();
        scores_.fill(~0);
        lives_.fill(~3);
        app_.globals.scores = scores_.data();
        app_.globals.lives = lives_.data();
        app_.globals.controls = controls_.data();
        for (int p = 0; p < 4; ++p)
            controls_[static_cast<std::size_t>(p)] = 5;
        saved_ = Services().application;
        Services().application = &app_;
    }
    ~SpecialFrame() override {
        FreeGlobals();
        Services().application = saved_;
    }
    void FreeGlobals() {
        for (std::int32_t i = 0; i < app_.globals.stringCount; ++i)
            FreeMemory(reinterpret_cast<void**>(&app_.globals.strings[i]));
        FreeMemory(reinterpret_cast<void**>(&app_.globals.strings));
        FreeMemory(reinterpret_cast<void**>(&app_.globals.values));
        app_.globals.stringCount = app_.globals.valueCount = 0;
    }

    TypedValue Evaluate(const ExpressionBuilder& e) {
        bytes_ = Expression(e);
        TypedValue v{};
        CopyTypedValue(v, *EvaluateExpressionParameter(bytes_.data()));
        return v;
    }
    std::u16string Text(const ExpressionBuilder& e) { return std::u16string(Evaluate(e).Text()); }

    void Act(std::int16_t type, std::int16_t number, std::uint16_t ref,
             const std::vector<appwriter::Bytes>& params) {
        appwriter::Bytes record = RecordBytes(type, number, ref, params);
        frame_.RunAction(record);
    }
    int Test(std::int16_t type, std::int16_t number, std::uint16_t ref,
             const std::vector<appwriter::Bytes>& params, bool negated = false) {
        appwriter::Bytes record = RecordBytes(type, number, ref, params, negated);
        return ConditionDispatchOf(type)(record.data());
    }

    Frame frame_;
    ApplicationRecord app_{};
    std::array<std::int32_t, 4> scores_{}, lives_{};
    std::array<std::uint16_t, ControlBlockWords> controls_{};
    ApplicationRecord* saved_ = nullptr;
    appwriter::Bytes bytes_;
};

} // namespace specialtest
