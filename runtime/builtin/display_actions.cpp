// The common actions that change how an object is shown: its ink effect, semi-transparency, alpha and
// colour coefficients, its effect's parameters, its place among the sprites and its layer, and the font and
// colour of its text.
#include "builtin/common_objects.h"
#include "builtin/effect_parameters.h"
#include "builtin/object_fonts.h"
#include "builtin/object_state.h"
#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/parameters.h"
#include "objects/image_actions.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/display_mode.h"
#include "startup/event_program.h"
#include "startup/ink_effects.h"

#include "vtrs2/effect.h"
#include "vtrs2/sprites.h"
#include "win32/kernel.h"

#include <algorithm>
#include <cstdint>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint32_t InkLowWord = 0xFFFF;
constexpr std::uint32_t SemiTransparent = InkSemiTransparent;
constexpr std::uint32_t RgbaCoefficientFlag = InkRgbaCoefficient;
constexpr std::uint16_t DisplayEffectObject = 0x40;
constexpr std::int32_t OpaqueRatio = 0;
constexpr std::int32_t InvisibleRatio = 128;
constexpr DWORD NoCoefficient = NoInkCoefficient;
constexpr DWORD ColourBits = 0x00FFFFFF;
constexpr DWORD AlphaBits = 0xFF000000;
constexpr std::size_t FaceNameUnits = 32;

// The object's ink: the record, its sprite block, and the parameter as a number or as an effect object.
struct Ink {
    RunObject* object;
    ObjectSpriteBlock* block;

    std::uint32_t Code() const { return block->inkEffect & InkCodeBits; }
    std::uintptr_t Parameter() const { return reinterpret_cast<std::uintptr_t>(block->inkParameter); }
    void SetParameter(std::uintptr_t v) const { block->inkParameter = reinterpret_cast<void*>(v); }
    CEffectEx* Effect() const {
        return Code() == InkEffectObject ? static_cast<CEffectEx*>(block->inkParameter) : nullptr;
    }
    void ReleaseEffect() const {
        if (CEffectEx* e = Effect()) DeleteEffect(e);
        block->inkParameter = nullptr;
        block->displayFlags &= static_cast<std::uint16_t>(~DisplayEffectObject);
    }
    void SetLowWord(std::uint32_t code) const { block->inkEffect = (block->inkEffect & ~InkLowWord) | code; }
    // The object is redrawn and its sprite takes the new ink.
    void Apply() const {
        MarkObjectChanged(object);
        if (RunObjectExtended* x = ExtendedOf(object); x && x->sprite)
            SetSpriteEffect(SpritesOfFrame(), static_cast<Sprite*>(x->sprite), block->inkEffect,
                            static_cast<LONG_PTR>(Parameter()));
    }
};

bool InkOf(std::uint8_t* r, Ink& ink) {
    RunObject* o = ActionObjectOf(r);
    ObjectSpriteBlock* b = SpriteBlockOf(o);
    if (!b) return false;
    ink = {o, b};
    return true;
}

// RGBA coefficients are drawn only through a display driver; software surfaces draw the ratio.
bool ThroughDriver() {
    return (Services().displayFlags & DisplayDriverFlag) != 0;
}

void SetInk(std::uint8_t* r) {
    Ink ink{};
    if (!InkOf(r, ink)) return;
    const std::uint8_t* p = ParameterAt(r, 0);
    if (!p || GetI16(p) < 12) return;
    const auto code = static_cast<std::uint32_t>(GetI32(p + InkParamCodeAt)) & InkLowWord;
    if (ink.Code() == InkEffectObject) ink.ReleaseEffect();
    ink.SetLowWord(code);
    ink.SetParameter(code == SemiTransparent ? static_cast<std::uint32_t>(GetI32(p + InkParamParameterAt))
                                             : 0);
    ink.Apply();
}

void SetSemiTransparency(std::uint8_t* r) {
    Ink ink{};
    if (!InkOf(r, ink)) return;
    const std::int32_t ratio = std::clamp(GetIntParameter(ParameterAt(r, 0)), OpaqueRatio, InvisibleRatio);
    const DWORD alpha = AlphaOfRatio(ratio);
    const std::uint32_t code = ink.Code();
    if (code == SemiTransparent) {
        if (ThroughDriver()) {
            ink.block->inkEffect = (ink.block->inkEffect & ~InkCodeBits) | RgbaCoefficientFlag;
            ink.SetParameter((alpha << 24) + ColourBits);
        } else {
            ink.SetParameter(static_cast<std::uintptr_t>(ratio));
        }
    } else if (code == InkEffectObject) {
        CEffectEx* e = ink.Effect();
        if (!e) return;
        e->SetRgbaCoefficient((e->GetRgbaCoefficient() & ColourBits) | (alpha << 24));
    } else if (ThroughDriver()) {
        const DWORD colour = (ink.block->inkEffect & RgbaCoefficientFlag)
                                 ? static_cast<DWORD>(ink.Parameter()) & ColourBits
                                 : ColourBits;
        ink.block->inkEffect |= RgbaCoefficientFlag;
        ink.SetParameter((alpha << 24) | colour);
    } else {
        ink.SetLowWord(SemiTransparent);
        ink.SetParameter(static_cast<std::uintptr_t>(ratio));
    }
    ink.Apply();
}

void SetInkByName(std::uint8_t* r) {
    Ink ink{};
    if (!InkOf(r, ink)) return;
    std::uint32_t code = 0;
    CEffectEx* effect = nullptr;
    if (!ParseInkEffect(CurrentApplication(), GetStringParameter(ParameterAt(r, 0)), code, effect)) return;
    const DWORD k = InkCoefficientOf(ink.object);
    if (ink.Code() == InkEffectObject) ink.ReleaseEffect();
    ink.SetLowWord(code);
    if (code == SemiTransparent) {
        ink.SetParameter(k <= ColourBits ? InvisibleRatio : ((k >> 25) ^ 0x7F));
    } else if (code == InkEffectObject && effect) {
        effect->SetRgbaCoefficient(k);
        ink.SetParameter(reinterpret_cast<std::uintptr_t>(effect));
        ink.block->displayFlags |= DisplayEffectObject;
    } else if (k == NoCoefficient) {
        ink.SetParameter(0);
    } else {
        ink.block->inkEffect |= RgbaCoefficientFlag;
        ink.SetParameter(k);
    }
    if (effect && code != InkEffectObject) DeleteEffect(effect);
    ink.Apply();
}

void SetEffectParameter(std::uint8_t* r) {
    Ink ink{};
    if (!InkOf(r, ink)) return;
    if (SetEffectParameterByName(ink.Effect(), GetStringParameter(ParameterAt(r, 0)),
                                 GetValueParameter(ParameterAt(r, 1))))
        ink.Apply();
}

void SetEffectImage(std::uint8_t* r) {
    Ink ink{};
    if (!InkOf(r, ink)) return;
    if (SetEffectImageByName(ink.Effect(), GetStringParameter(ParameterAt(r, 0)),
                             GetStringParameter(ParameterAt(r, 1))))
        ink.Apply();
}

void SetAlphaCoefficient(std::uint8_t* r) {
    Ink ink{};
    if (!InkOf(r, ink)) return;
    const DWORD alpha = 255u - static_cast<DWORD>(std::clamp(GetIntParameter(ParameterAt(r, 0)), 0, 255));
    const std::uint32_t code = ink.Code();
    if (code == SemiTransparent) {
        ink.block->inkEffect = (ink.block->inkEffect & ~InkCodeBits) | RgbaCoefficientFlag;
        ink.SetParameter((alpha << 24) | ColourBits);
    } else if (code == InkEffectObject) {
        CEffectEx* e = ink.Effect();
        if (!e) return;
        e->SetRgbaCoefficient((e->GetRgbaCoefficient() & ColourBits) | (alpha << 24));
    } else {
        const bool had = ink.block->inkEffect & RgbaCoefficientFlag;
        const DWORD colour = had ? static_cast<DWORD>(ink.Parameter()) & ColourBits : ColourBits;
        ink.block->inkEffect |= RgbaCoefficientFlag;
        ink.SetParameter((alpha << 24) | colour);
    }
    ink.Apply();
}

void SetRgbCoefficient(std::uint8_t* r) {
    Ink ink{};
    if (!InkOf(r, ink)) return;
    const DWORD colour = SwapRedAndBlue(static_cast<DWORD>(GetIntParameter(ParameterAt(r, 0))));
    const std::uint32_t code = ink.Code();
    if (code == SemiTransparent) {
        const DWORD alpha = AlphaOfRatio(static_cast<std::int32_t>(ink.Parameter()));
        ink.block->inkEffect = (ink.block->inkEffect & ~InkCodeBits) | RgbaCoefficientFlag;
        ink.SetParameter((alpha << 24) | colour);
    } else if (code == InkEffectObject) {
        CEffectEx* e = ink.Effect();
        if (!e) return;
        e->SetRgbaCoefficient((e->GetRgbaCoefficient() & AlphaBits) | colour);
    } else {
        const bool had = ink.block->inkEffect & RgbaCoefficientFlag;
        const DWORD alpha = had ? static_cast<DWORD>(ink.Parameter()) & AlphaBits : AlphaBits;
        ink.block->inkEffect |= RgbaCoefficientFlag;
        ink.SetParameter(alpha | colour);
    }
    ink.Apply();
}

// --- sprite order and layer ---

Sprite* SpriteOf(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    return x ? static_cast<Sprite*>(x->sprite) : nullptr;
}

template <void (*Move)(SpriteWindow*, Sprite*)> void OrderAction(std::uint8_t* r) {
    if (Sprite* sprite = SpriteOf(ActionObjectOf(r))) Move(SpritesOfFrame(), sprite);
}

template <void (*Move)(SpriteWindow*, Sprite*, Sprite*)> void OrderAgainstAction(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    RunObject* other = GetObjectParameter(ParameterAt(r, 0), r);
    Sprite* sprite = SpriteOf(o);
    Sprite* otherSprite = SpriteOf(other);
    if (sprite && otherSprite && other->layer == o->layer) Move(SpritesOfFrame(), sprite, otherSprite);
}

void MoveToLayer(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    FrameRecord* frame = o && o->runState ? o->runState->frame : nullptr;
    if (!frame) return;
    const std::int32_t layer = GetValueParameter(ParameterAt(r, 0)).ToInt() - 1;
    if (layer < 0 || layer >= frame->layerCount || layer == o->layer) return;
    o->layer = layer;
    FrameLayer& l = frame->layers[layer];
    ++l.createdObjects;
    ObjectSpriteBlock* b = SpriteBlockOf(o);
    if (!b) return;
    b->layerKey = layer;
    b->zOrder = l.createdObjects;
    // The sprite lands in front of the layer's sprites.
    if (Sprite* sprite = SpriteOf(o)) SetSpriteLayer(SpritesOfFrame(), sprite, layer);
    const std::uint32_t flags = l.settings.flags;
    if ((flags & 0x10) && !(flags & 0x20000)) {
        if ((b->displayFlags & DisplayHidden) && (b->displayFlags & DisplayFlashShown)) ShowObject(o);
    } else {
        if (Sprite* sprite = SpriteOf(o)) SetSpriteState(SpritesOfFrame(), sprite, 1);
        HideObject(o);
    }
}

// --- fonts and text colour ---

template <void (*Change)(LOGFONTW&, std::uint8_t*, RECT*&, RunObject*)> void FontAction(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    // An object with no font yet gets one: the change is made to an empty description.
    LOGFONTW font{};
    GetObjectFont(o, &font);
    RECT size{};
    RECT* newSize = &size;
    Change(font, r, newSize, o);
    SetObjectFont(o, &font, newSize);
}

void FaceName(LOGFONTW& f, std::uint8_t* r, RECT*& newSize, RunObject*) {
    const std::u16string_view name = GetStringParameter(ParameterAt(r, 0));
    const std::size_t n = std::min(name.size(), FaceNameUnits - 1);
    std::copy_n(name.begin(), n, f.lfFaceName);
    f.lfFaceName[n] = 0;
    newSize = nullptr;
}

void PointSize(LOGFONTW& f, std::uint8_t* r, RECT*& newSize, RunObject* o) {
    const std::int32_t points = GetIntParameter(ParameterAt(r, 0));
    const LONG old = f.lfHeight;
    f.lfHeight = -static_cast<LONG>(points * ScreenPixelsPerInch() / 72.0 + 0.5);
    if (!GetIntParameter(ParameterAt(r, 1))) {
        newSize = nullptr;
        return;
    }
    const float ratio = old == 0 ? 1.0f : static_cast<float>(f.lfHeight) / static_cast<float>(old);
    *newSize = {0, 0, static_cast<LONG>(o->width * ratio), static_cast<LONG>(o->height * ratio)};
}

void Bold(LOGFONTW& f, std::uint8_t* r, RECT*& newSize, RunObject*) {
    f.lfWeight = GetIntParameter(ParameterAt(r, 0)) ? FW_BOLD : FW_NORMAL;
    newSize = nullptr;
}

template <BYTE LOGFONTW::*Field> void Style(LOGFONTW& f, std::uint8_t* r, RECT*& newSize, RunObject*) {
    f.*Field = GetIntParameter(ParameterAt(r, 0)) ? 1 : 0;
    newSize = nullptr;
}

void TextColour(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r))
        SetObjectTextColor(o, static_cast<COLORREF>(GetIntParameter(ParameterAt(r, 0))));
}

struct DisplayAction {
    std::int16_t number;
    ActionRoutine routine;
};

const DisplayAction DisplayActions[] = {
    {38, SetInk},
    {39, SetSemiTransparency},
    {50, FontAction<FaceName>},
    {51, FontAction<PointSize>},
    {52, FontAction<Bold>},
    {53, FontAction<Style<&LOGFONTW::lfItalic>>},
    {54, FontAction<Style<&LOGFONTW::lfUnderline>>},
    {55, FontAction<Style<&LOGFONTW::lfStrikeOut>>},
    {56, TextColour},
    {57, OrderAction<MoveSpriteToFront>},
    {58, OrderAction<MoveSpriteToBack>},
    {59, OrderAgainstAction<MoveSpriteInFrontOf>},
    {60, OrderAgainstAction<MoveSpriteBehind>},
    {61, MoveToLayer},
    {63, SetInkByName},
    {64, SetEffectParameter},
    {65, SetAlphaCoefficient},
    {66, SetRgbCoefficient},
    {67, SetEffectImage},
};

} // namespace

void InstallDisplayActionRoutines() {
    for (const DisplayAction& a : DisplayActions)
        SetCommonActionRoutine(a.number, a.routine);
}

} // namespace vtrrt
