// A small running frame for event-engine tests: object-info entries, objects placed in the object list and
// linked into their instance chains, the event state attached, and token streams of expressions.
#pragma once

#include "core/event_state.h"
#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"

#include "appwriter/byte_writer.h"
#include "appwriter/event_program_builder.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace eventtest {

using namespace vtrrt;

// Test-only operand routines of the special object: an integer constant (number 0), a string (number 3)
// and a double (number 23), each read from the token's payload.
constexpr std::int16_t IntegerNumber = 0;
constexpr std::int16_t StringNumber = 3;
constexpr std::int16_t DoubleNumber = 23;

inline void IntegerConstant() {
    const std::uint8_t* p = nullptr;
    if (CurrentTokenPayload(&p) < 4) return SetTopInt(0);
    SetTopInt(GetI32(p));
}
inline void StringConstant() {
    const std::uint8_t* p = nullptr;
    const std::size_t n = CurrentTokenPayload(&p);
    for (std::size_t i = 0; i + 1 < n; i += 2)
        if (GetU16(p + i) == 0) {
            ExpressionTop() =
                TypedValue::String(reinterpret_cast<win32::WCHAR*>(const_cast<std::uint8_t*>(p)));
            return;
        }
    SetTopInt(0);
}
inline void DoubleConstant() {
    const std::uint8_t* p = nullptr;
    if (CurrentTokenPayload(&p) < 8) return SetTopInt(0);
    double d;
    std::memcpy(&d, p, 8);
    ExpressionTop() = TypedValue::Double(d);
}

inline void RegisterConstants() {
    SetExpressionRoutine(TypeSpecial, IntegerNumber, IntegerConstant);
    SetExpressionRoutine(TypeSpecial, StringNumber, StringConstant);
    SetExpressionRoutine(TypeSpecial, DoubleNumber, DoubleConstant);
}

inline appwriter::ExpressionBuilder& Double(appwriter::ExpressionBuilder& e, double d) {
    appwriter::Bytes b(8);
    std::memcpy(b.data(), &d, 8);
    return e.Raw(static_cast<std::int32_t>((static_cast<std::uint32_t>(DoubleNumber) << 16) | 0xFFFF), b);
}

// An object's expression token with its resolved object-info index at 8.
inline appwriter::ExpressionBuilder& ObjectToken(appwriter::ExpressionBuilder& e, std::int16_t type,
                                                 std::int16_t number, std::uint16_t handle,
                                                 std::uint16_t index) {
    appwriter::ByteWriter w;
    w.U16(handle);
    w.U16(index);
    return e.Raw(
        static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(number)) << 16) |
                                  static_cast<std::uint16_t>(type)),
        w.Take());
}

// A parameter of `code` holding the expression, with its comparison operator.
inline appwriter::Bytes ExpressionParameterBytes(const appwriter::ExpressionBuilder& e,
                                                 std::int16_t code = 22, std::uint16_t op = 0) {
    const appwriter::Bytes tokens = e.Build(appwriter::StringForm::Wide);
    appwriter::ByteWriter w;
    w.U16(static_cast<std::uint16_t>(6 + tokens.size()));
    w.U16(static_cast<std::uint16_t>(code));
    w.U16(op);
    w.Bytes(tokens);
    return w.Take();
}

// A condition or action record with its parameters, its object reference resolved.
inline appwriter::Bytes RecordBytes(std::int16_t type, std::int16_t number, std::uint16_t ref,
                                    const std::vector<appwriter::Bytes>& parameters, bool negated = false) {
    const bool condition = number < 0;
    appwriter::ByteWriter w;
    std::size_t size = condition ? ConditionHeaderBytes : ActionHeaderBytes;
    for (const auto& p : parameters)
        size += p.size();
    w.U16(static_cast<std::uint16_t>(size));
    w.U16(static_cast<std::uint16_t>(type));
    w.U16(static_cast<std::uint16_t>(number));
    w.U16(ref);
    w.U16(ref);
    w.U8(0);
    w.U8(negated ? 1 : 0);
    w.U8(static_cast<std::uint8_t>(parameters.size()));
    w.U8(0);
    if (condition) w.U16(0);
    for (const auto& p : parameters)
        w.Bytes(p);
    return w.Take();
}

class Frame {
public:
    static constexpr int MaxInfos = 8;

    explicit Frame(int maxObjects = 64) : slots_(static_cast<std::size_t>(maxObjects)) {
        std::memset(&run_, 0, sizeof(run_));
        std::memset(entries_, 0, sizeof(entries_));
        run_.objects = slots_.data();
        run_.maxObjects = maxObjects;
        // This loop's half of the event buffer: the scratch stack.
        run_.eventBufferStart = run_.eventBufferCurrent = scratch_.data();
        run_.eventBufferLimit = scratch_.data() + scratch_.size();
        run_.objectInfos = entries_;
        saved_ = Services().runState;
        Services().runState = &run_;
        state_ = std::make_unique<EventRunState>();
        ResetRoutineTables();
        RegisterConstants();
    }
    ~Frame() {
        ReleaseTemporaryStrings(state_->temporaryStrings);
        AttachEventState(nullptr, nullptr, nullptr);
        ResetRoutineTables();
        Services().runState = saved_;
    }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // Object infos are added first, then Attach, then objects.
    std::uint16_t AddInfo(std::int16_t handle, std::int16_t type = 2) {
        const int i = run_.objectInfoCount++;
        ObjectInfoRunEntry& e = entries_[i];
        e.handle = handle;
        e.objectType = type;
        e.firstSelected = -1;
        e.firstInstance = NoInstanceLink;
        e.rememberedFrameItem = -1;
        entries_[i + 1].handle = -1;
        return static_cast<std::uint16_t>(i);
    }
    void Attach(FrameEvents* events = nullptr) { AttachEventState(state_.get(), &run_, events); }

    RunObject* AddObject(std::uint16_t info, std::int32_t x, std::int32_t y, std::int32_t w = 10,
                         std::int32_t h = 10) {
        const int slot = static_cast<int>(objects_.size());
        auto& o = objects_.emplace_back(std::make_unique<RunObject>());
        std::memset(o.get(), 0, sizeof(RunObject));
        o->handle = static_cast<std::int16_t>(slot);
        o->runState = &run_;
        o->objectInfo = entries_[info].handle;
        o->objectType = entries_[info].objectType;
        o->creationNumber = static_cast<std::uint16_t>(100 + slot);
        o->nextSelected = -1;
        o->frameItem = -1;
        o->x = x;
        o->y = y;
        o->width = w;
        o->height = h;
        slots_[static_cast<std::size_t>(slot)].object = o.get();
        LinkObjectInstance(o.get());
        return o.get();
    }

    // Runs an action by the repeat protocol, once per object it asks for.
    void RunAction(appwriter::Bytes& record) {
        ++state_->actionStamp;
        state_->actionPending = 1;
        do {
            ++state_->repeatPass;
            state_->repeatRequest = 0;
            record[RecordRunFlags] &= static_cast<std::uint8_t>(~RecordRepeat);
            ActionDispatchOf(GetI16(record.data() + RecordType))(record.data());
        } while (state_->repeatRequest);
        state_->actionPending = 0;
    }

    FrameRunState& Run() { return run_; }
    EventRunState& State() { return *state_; }
    RunObject* Object(int slot) { return objects_[static_cast<std::size_t>(slot)].get(); }

private:
    FrameRunState run_;
    ObjectInfoRunEntry entries_[MaxInfos + 1];
    std::vector<ObjectListEntry> slots_;
    std::vector<std::uint8_t> scratch_ = std::vector<std::uint8_t>(16384);
    std::vector<std::unique_ptr<RunObject>> objects_;
    std::unique_ptr<EventRunState> state_;
    FrameRunState* saved_ = nullptr;
};

} // namespace eventtest
