#include "builtin/object_state.h"

#include "events/selection.h"
#include "objects/animations.h"
#include "objects/movements.h"
#include "objects/run_objects.h"
#include "startup/ink_effects.h"

#include "vtrs2/effect.h"
#include "vtrs2/memory.h"

#include <algorithm>
#include <cstring>

namespace vtrrt {

namespace {

constexpr std::int32_t ValuesGrowth = 10;

} // namespace

void MarkObjectChanged(RunObject* o) {
    if (!o) return;
    if (RunObjectExtended* x = ExtendedOf(o))
        x->changed = 1;
    else if (o->displayRoutine)
        o->displayRoutine(o);
}

bool SetObjectDirection(RunObject* o, std::int32_t direction) {
    RunObjectExtended* x = ExtendedOf(o);
    direction &= 31;
    if (!x || GetObjectDirection(o) == direction) return false;
    x->direction = direction;
    CallMovementAction(MovementRow::SetDirection, o, direction);
    x->changed = 1;
    return true;
}

void RefreshObjectAnimation(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    if (!x) return;
    if (o->objectType == TypeActive) {
        if (AnimationOf(o)) StepAnimation(o, 0);
    } else if (x->animationRoutine) {
        x->animationRoutine(o);
    }
}

std::uint32_t AlphaOfRatio(std::int32_t ratio) {
    return ratio >= 128 ? 0u : static_cast<std::uint32_t>(255 - 2 * std::max(ratio, 0));
}

std::uint32_t InkCoefficientOf(RunObject* o) {
    const ObjectSpriteBlock* b = SpriteBlockOf(o);
    if (!b) return NoInkCoefficient;
    const auto parameter = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(b->inkParameter));
    const std::uint32_t code = b->inkEffect & InkCodeBits;
    if (code == InkSemiTransparent)
        return (AlphaOfRatio(static_cast<std::int32_t>(parameter)) << 24) | 0xFFFFFF;
    if (code == InkEffectObject) {
        auto* effect = static_cast<CEffectEx*>(b->inkParameter);
        return effect ? effect->GetRgbaCoefficient() : NoInkCoefficient;
    }
    return (b->inkEffect & InkRgbaCoefficient) ? parameter : NoInkCoefficient;
}

RunObject* KeptObjectAlive(const KeptObject& k) {
    RunObject* o = ObjectOfHandle(k.handle);
    return o && o->creationNumber == k.creationNumber ? o : nullptr;
}

TypedValue* AlterableValue(RunObject* o, std::int32_t n) {
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb || !vb->values || n < 0 || n >= vb->count) return nullptr;
    return static_cast<TypedValue*>(vb->values) + n;
}

TypedValue* GrowAlterableValue(RunObject* o, std::int32_t n) {
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb || n < 0 || n >= MaxAlterableValues) return nullptr;
    if (n < vb->count && vb->values) return static_cast<TypedValue*>(vb->values) + n;
    const std::int32_t count = n + ValuesGrowth;
    void* values = vb->values;
    if (!ReallocMemory(static_cast<std::size_t>(count) * sizeof(TypedValue), &values)) return nullptr;
    const std::int32_t old = vb->values ? vb->count : 0;
    auto* typed = static_cast<TypedValue*>(values);
    for (std::int32_t i = old; i < count; ++i)
        typed[i] = TypedValue::Int(0);
    vb->values = values;
    vb->count = count;
    return typed + n;
}

TypedValue ReadAlterableValue(RunObject* o, std::int32_t n) {
    const TypedValue* v = AlterableValue(o, n);
    return v ? *v : TypedValue::Int(0);
}

bool StoreAlterableValue(TypedValue& slot, const TypedValue& value) {
    win32::WCHAR* copy = nullptr;
    if (value.type == TypeString) {
        // Expression results live in the loop's temporary strings: the value keeps a copy of its own.
        const std::u16string_view text = value.Text();
        if (!AllocMemory((text.size() + 1) * sizeof(win32::WCHAR), &copy)) return false;
        std::memcpy(copy, text.data(), text.size() * sizeof(win32::WCHAR));
        copy[text.size()] = 0;
    }
    if (slot.type == TypeString) FreeMemoryBlock(slot.string);
    if (copy)
        slot = TypedValue::String(copy);
    else if (value.type == TypeDouble)
        slot = TypedValue::Double(value.real);
    else
        slot = TypedValue::Int(value.type == TypeInteger ? value.integer : 0);
    return true;
}

std::uint32_t* AlterableFlags(RunObject* o) {
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    return vb ? &vb->flags : nullptr;
}

std::u16string_view AlterableString(RunObject* o, std::int32_t n) {
    const ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb || n < 0 || n >= AlterableStringCount || !vb->strings[n]) return {};
    return vb->strings[n];
}

} // namespace vtrrt
