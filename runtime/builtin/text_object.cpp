#include "builtin/text_object.h"

#include "builtin/common_objects.h"

#include "builtin/number_format.h"
#include "builtin/object_fonts.h"
#include "builtin/position_parameter.h"
#include "builtin/system_objects.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"
#include "startup/font_cache.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::size_t TextHeaderBytes = 16;
constexpr std::size_t ParagraphTextAt = 8;
constexpr UINT TextDrawFlagsKept = 0x2F;
constexpr UINT TextDrawFlagsAdded = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
constexpr UINT VerticalAlignment = DT_VCENTER | DT_BOTTOM;

cSurface* WindowSurface() {
    AppWindow* window = Services().frameLibraryWindow;
    return window ? GetWindowSurface(window, 0) : nullptr;
}

struct Shown {
    TextParagraph first; // its flags and font are the text's
    std::u16string text;
};

// What the text shows: the run-time string at index -1 (empty when none), else the paragraph's text.
Shown WhatIsShown(RunObject* o, const TextPart& t) {
    const std::span<const std::uint8_t> def = ObjectDefinitionOf(o);
    const TextDefinition d = ReadTextDefinition(def);
    Shown s;
    s.first = ReadTextParagraph(def, d, 0);
    if (t.index < 0)
        s.text = t.string ? std::u16string(t.string) : std::u16string();
    else
        s.text = ReadTextParagraph(def, d, t.index).text;
    if (t.index > 0) s.first.font = ReadTextParagraph(def, d, t.index).font;
    return s;
}

HFONT FontFor(RunObject* o, const TextPart& t, std::uint16_t paragraphFont) {
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    const bool antialiased = block && (block->inkEffect & InkAntialiased);
    return GetCachedFont(t.font ? t.font : paragraphFont, !antialiased);
}

UINT DrawFlags(std::uint16_t paragraphFlags) {
    UINT flags = (paragraphFlags & TextDrawFlagsKept) | TextDrawFlagsAdded;
    if (paragraphFlags & ParagraphRightToLeft) flags |= DT_RTLREADING;
    return flags;
}

int Measure(cSurface& surface, const std::u16string& text, RECT box, UINT flags, HFONT font) {
    surface.DrawTextWide(text.c_str(), -1, &box, (flags & ~VerticalAlignment) | DT_CALCRECT, 0, font, 0, 0, 0,
                         0, 0, 0, 0);
    return box.bottom - box.top;
}

bool Hidden(RunObject* o) {
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    return block && (block->displayFlags & DisplayHidden);
}

void Redisplay(RunObject* o) {
    if (o->displayRoutine) o->displayRoutine(o);
    if (RunObjectExtended* x = ExtendedOf(o)) x->changed = 1;
}

// --- kind routines ---

std::uint16_t TextRecordSize(const std::uint8_t*) {
    return KindRecordSizeWith(TypeText, sizeof(TextPart));
}

int CreateText(RunObject* o, const std::uint8_t*, const ObjectCreationParams* params) {
    TextPart* t = TextOf(o);
    if (!t) return 1;
    std::memset(static_cast<void*>(t), 0, sizeof *t);
    const std::span<const std::uint8_t> def = ObjectDefinitionOf(o);
    const TextDefinition d = ReadTextDefinition(def);
    t->width = o->width = d.width;
    t->height = o->height = d.height;
    t->creationFlags = params ? static_cast<std::uint8_t>(params->creationFlags) : 0;
    t->count = d.count;
    const TextParagraph first = ReadTextParagraph(def, d, 0);
    t->colour = first.colour;
    t->needsMeasuring = 1;
    if (t->creationFlags & TextKeepsOwnCopy) SetTextString(o, first.text);
    if (RunObjectExtended* x = ExtendedOf(o)) x->changed = 1;
    return 0;
}

void SizeText(RunObject* o) {
    TextPart* t = TextOf(o);
    if (!t || !t->needsMeasuring) return;
    o->hotSpotX = o->hotSpotY = 0;
    o->width = t->width;
    o->height = t->height;
    const Shown shown = WhatIsShown(o, *t);
    const std::uint16_t flags = shown.first.flags;
    cSurface* surface = WindowSurface();
    if (surface && (!(flags & (ParagraphVerticalCentre | ParagraphBottom)) || (flags & ParagraphSingleLine)))
        o->height = Measure(*surface, shown.text, RECT{0, 0, t->width, t->height}, DrawFlags(flags),
                            FontFor(o, *t, shown.first.font));
    t->needsMeasuring = 0;
}

void DisplayText(RunObject* o) {
    TextPart* t = TextOf(o);
    cSurface* surface = WindowSurface();
    if (!t || !surface) return;
    const Shown shown = WhatIsShown(o, *t);
    const HFONT font = FontFor(o, *t, shown.first.font);
    UINT flags = DrawFlags(shown.first.flags);
    RECT box{o->displayLeft, o->displayTop, o->displayRight, o->displayBottom};
    if ((flags & VerticalAlignment) && !(flags & DT_SINGLELINE)) {
        const int measured = Measure(*surface, shown.text, box, flags, font);
        if (flags & DT_BOTTOM) {
            box.top = box.bottom - measured;
        } else {
            const int inset = (box.bottom - box.top - measured) / 2;
            box.top += inset;
            box.bottom -= inset;
        }
        flags &= ~VerticalAlignment;
    }
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    const DWORD ink = block ? block->inkEffect : 0;
    const int height = surface->DrawTextWide(
        shown.text.c_str(), -1, &box, flags, t->colour, font, 0, static_cast<int>(ink & 0xFFFF),
        reinterpret_cast<LPARAM>(block ? block->inkParameter : nullptr), 0, 0, 0, 0);
    box.bottom = box.top + height;
    AddUpdateRect(Services().frameLibraryWindow, &box);
}

void DestroyText(RunObject* o, int) {
    TextPart* t = TextOf(o);
    if (!t) return;
    FreeMemory(reinterpret_cast<void**>(&t->string));
    t->stringBytes = 0;
    ReleaseFontItem(std::exchange(t->font, std::uint16_t{0}));
}

// --- actions ---

TextPart* ActionText(std::uint8_t* record, RunObject** object) {
    *object = ActionObjectOf(record);
    return TextOf(*object);
}

void SelectAndShow(RunObject* o, std::int32_t index) {
    if (SelectTextParagraph(o, index)) Redisplay(o);
}

void DestroyAction(std::uint8_t* record) {
    RunObject* o = nullptr;
    TextPart* t = ActionText(record, &o);
    if (t && !HideDestroyedText(o)) MarkObjectForDestroy(o->handle);
}

void SetColourAction(std::uint8_t* record) {
    RunObject* o = nullptr;
    TextPart* t = ActionText(record, &o);
    if (!t) return;
    t->colour = static_cast<std::uint32_t>(GetIntParameter(ParameterAt(record, 0)));
    Redisplay(o);
}

void SetParagraphAction(std::uint8_t* record) {
    RunObject* o = nullptr;
    TextPart* t = ActionText(record, &o);
    if (!t) return;
    const std::uint8_t* p = ParameterAt(record, 0);
    const std::int32_t n = GetIntParameter(p);
    SelectAndShow(o, ParameterCode(p) == ParamParagraphConstant ? n : n - 1);
}

void PreviousParagraphAction(std::uint8_t* record) {
    RunObject* o = nullptr;
    if (TextPart* t = ActionText(record, &o)) SelectAndShow(o, std::max(t->index - 1, 0));
}

void NextParagraphAction(std::uint8_t* record) {
    RunObject* o = nullptr;
    if (TextPart* t = ActionText(record, &o)) SelectAndShow(o, t->index + 1);
}

void ShowStringAction(std::uint8_t* record) {
    RunObject* o = nullptr;
    if (ActionText(record, &o)) SelectAndShow(o, -1);
}

// 81 shows a paragraph at a position; 82 then makes the text flash at an interval.
template <bool Flashes> void ShowParagraphAtAction(std::uint8_t* record) {
    ResolvedPosition at;
    if (!ResolvePositionParameter(ParameterAt(record, 0), 0, at)) return;
    const std::int32_t paragraph = GetIntParameter(ParameterAt(record, 1));
    const std::int32_t interval = Flashes ? GetIntParameter(ParameterAt(record, 2)) : 0;
    for (std::uint16_t objectInfo : ActionObjectInfos(record)) {
        const std::int32_t handle = ShowTextParagraphAt(objectInfo, paragraph, at.x, at.y);
        ObjectSpriteBlock* block = Flashes ? SpriteBlockOf(ObjectOfHandle(handle)) : nullptr;
        if (block) block->flashInterval = block->flashCountdown = interval;
    }
}

void SetStringAction(std::uint8_t* record) {
    RunObject* o = nullptr;
    TextPart* t = ActionText(record, &o);
    if (!t) return;
    const std::u16string_view text = GetStringParameter(ParameterAt(record, 0));
    if (t->string && text == std::u16string_view(t->string)) return;
    ShowTextString(o, text);
}

// --- expressions ---

TextPart* ExpressionText(RunObject** object) {
    *object = GetExpressionObject(CurrentToken());
    return TextOf(*object);
}

void SetTopString(std::u16string_view text) {
    static WCHAR empty[1] = {0};
    WCHAR* copy = text.empty() ? nullptr : MakeTemporaryString(text);
    ExpressionTop() = TypedValue::String(copy ? copy : empty);
}

void ParagraphNumberExpression() {
    RunObject* o = nullptr;
    const TextPart* t = ExpressionText(&o);
    SetTopInt(t ? t->index + 1 : 0);
}

void StringExpression() {
    RunObject* o = nullptr;
    const TextPart* t = ExpressionText(&o);
    SetTopString(t && t->string ? std::u16string_view(t->string) : std::u16string_view());
}

void ParagraphTextExpression() {
    RunObject* o = nullptr;
    TextPart* t = ExpressionText(&o);
    StepToken();
    const std::int32_t n = EvaluateExpression()->ToInt();
    if (!t) return SetTopString({});
    if (n < 0) return SetTopString(t->string ? std::u16string_view(t->string) : std::u16string_view());
    const std::span<const std::uint8_t> def = ObjectDefinitionOf(o);
    const TextDefinition d = ReadTextDefinition(def);
    SetTopString(ReadTextParagraph(def, d, std::min(n, d.count - 1)).text);
}

void NumberExpression() {
    RunObject* o = nullptr;
    const TextPart* t = ExpressionText(&o);
    ExpressionTop() = t && t->string ? StringToNumber(t->string) : TypedValue::Int(0);
}

void CountExpression() {
    RunObject* o = nullptr;
    const TextPart* t = ExpressionText(&o);
    SetTopInt(t ? t->count : 0);
}

} // namespace

std::vector<std::uint16_t> ActionObjectInfos(const std::uint8_t* record) {
    const std::uint16_t stored = GetU16(record + RecordObjectInfo);
    if (!(stored & QualifierBit)) return {stored};
    std::vector<std::uint16_t> handles;
    const FrameRunState* run = CurrentRunState();
    for (std::int16_t index : MemberIndexesOf(GetU16(record + RecordResolved)))
        if (run && run->objectInfos && index >= 0 && index < run->objectInfoCount)
            handles.push_back(static_cast<std::uint16_t>(run->objectInfos[index].handle));
    return handles;
}

TextDefinition ReadTextDefinition(std::span<const std::uint8_t> def) {
    TextDefinition d;
    const std::size_t block = DefU16(def, DefTypeData);
    if (block == 0 || block + TextHeaderBytes > def.size()) return d;
    d.block = block;
    d.width = DefI32(def, block + 4);
    d.height = DefI32(def, block + 8);
    const std::int64_t stored = DefI32(def, block + 12);
    const std::int64_t room = static_cast<std::int64_t>((def.size() - block - TextHeaderBytes) / 4);
    d.count = static_cast<std::int32_t>(std::clamp<std::int64_t>(stored, 0, room));
    return d;
}

TextParagraph ReadTextParagraph(std::span<const std::uint8_t> def, const TextDefinition& d,
                                std::int32_t index) {
    TextParagraph p;
    if (d.block == 0 || index < 0 || index >= d.count) return p;
    const std::size_t at =
        d.block + DefU32(def, d.block + TextHeaderBytes + 4u * static_cast<std::size_t>(index));
    if (at < d.block || at + ParagraphTextAt > def.size()) return p;
    p.font = DefU16(def, at);
    p.flags = DefU16(def, at + 2);
    p.colour = DefU32(def, at + 4);
    for (std::size_t c = at + ParagraphTextAt; c + 2 <= def.size(); c += 2) {
        const auto unit = static_cast<char16_t>(DefU16(def, c));
        if (!unit) break;
        p.text.push_back(unit);
    }
    return p;
}

TextPart* TextOf(RunObject* o) {
    if (!o || o->objectType != TypeText) return nullptr;
    return reinterpret_cast<TextPart*>(KindDataOf(o, sizeof(TextPart)));
}

void SetTextString(RunObject* o, std::u16string_view given) {
    TextPart* t = TextOf(o);
    if (!t) return;
    // The text may be the object's own string, which growing moves.
    const std::u16string text(given);
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    if (bytes > UINT32_MAX) return;
    if (!t->string || t->stringBytes < bytes) {
        void* block = t->string;
        if (!(block ? ReallocMemory(bytes, &block) : AllocMemory(bytes, &block))) return;
        t->string = static_cast<char16_t*>(block);
        t->stringBytes = static_cast<std::uint32_t>(bytes);
    }
    std::memmove(t->string, text.data(), text.size() * sizeof(char16_t));
    t->string[text.size()] = 0;
    t->needsMeasuring = 1;
}

std::u16string TextShown(RunObject* o) {
    const TextPart* t = TextOf(o);
    return t ? WhatIsShown(o, *t).text : std::u16string();
}

void ShowTextString(RunObject* o, std::u16string_view text) {
    TextPart* t = TextOf(o);
    if (!t) return;
    SetTextString(o, text);
    t->index = -1;
    if (!Hidden(o)) Redisplay(o);
}

int SelectTextParagraph(RunObject* o, std::int32_t index) {
    TextPart* t = TextOf(o);
    if (!t) return 0;
    index = std::clamp(index, -1, t->count - 1);
    if (index != t->index) {
        t->index = index;
        if (index >= 0) {
            const std::span<const std::uint8_t> def = ObjectDefinitionOf(o);
            SetTextString(o, ReadTextParagraph(def, ReadTextDefinition(def), index).text);
        }
    }
    t->needsMeasuring = 1;
    return Hidden(o) ? 0 : 1;
}

bool HideDestroyedText(RunObject* o) {
    TextPart* t = TextOf(o);
    if (!t || !(t->creationFlags & TextKeepsOwnCopy)) return false;
    HideObject(o);
    if (ObjectSpriteBlock* block = SpriteBlockOf(o))
        block->displayFlags &= static_cast<std::uint16_t>(~DisplayFlashShown);
    t->state = static_cast<std::uint8_t>((t->state & ~TextShownByEvent) | TextHiddenByDestroy);
    return true;
}

std::int32_t ShowTextParagraphAt(std::uint16_t objectInfo, std::int32_t paragraph, std::int32_t x,
                                 std::int32_t y) {
    FrameRunState* s = CurrentRunState();
    if (!s || !s->objects) return -1;
    for (std::int32_t slot = 0; slot < s->maxObjects; ++slot) {
        RunObject* o = s->objects[slot].object;
        TextPart* t = o && o->creationNumber && static_cast<std::uint16_t>(o->objectInfo) == objectInfo
                          ? TextOf(o)
                          : nullptr;
        if (!t || o->x != x || o->y != y) continue;
        ShowObject(o);
        t->state = static_cast<std::uint8_t>((t->state & ~TextHiddenByDestroy) | TextShownByEvent);
        // Chosen again, the paragraph is copied again.
        t->index = -2;
        SelectTextParagraph(o, paragraph);
        Redisplay(o);
        return slot;
    }
    const std::int32_t lastLayer = s->frame && s->frame->layerCount > 0 ? s->frame->layerCount - 1 : 0;
    const int slot = CreateObject(-1, objectInfo, x, y, 0, 0, lastLayer, -1);
    if (slot < 0) return -1;
    RunObject* o = s->objects[slot].object;
    if (TextPart* t = TextOf(o)) {
        t->state |= TextShownByEvent;
        t->index = -2;
        SelectTextParagraph(o, paragraph);
    }
    return slot;
}

bool GetTextFont(RunObject* o, LOGFONTW* font) {
    TextPart* t = TextOf(o);
    std::uint16_t item = t ? t->font : 0;
    if (t && !item) {
        const std::span<const std::uint8_t> def = ObjectDefinitionOf(o);
        item = ReadTextParagraph(def, ReadTextDefinition(def), 0).font;
    }
    return DescribeFontItem(item, font);
}

void SetTextFont(RunObject* o, const LOGFONTW* font, const RECT* size) {
    TextPart* t = TextOf(o);
    if (!t || !font) return;
    LOGFONTW current{};
    GetTextFont(o, &current);
    if (std::memcmp(&current, font, sizeof current) != 0) {
        const std::uint16_t item = AddFontItem(*font);
        if (!item) return;
        ReleaseFontItem(t->font);
        t->font = item;
    }
    if (size) {
        t->width = o->width = size->right - size->left;
        t->height = o->height = size->bottom - size->top;
    }
    t->needsMeasuring = 1;
    Redisplay(o);
}

void InstallTextRoutines() {
    ObjectKindRoutines& kind = KindRoutines()[TypeText];
    kind.recordSize = TextRecordSize;
    kind.create = CreateText;
    kind.handle = nullptr;
    kind.display = DisplayText;
    kind.destroy = DestroyText;
    kind.zone = SizeText;
    ObjectTextRoutines& text = KindTextRoutines()[TypeText];
    text.getFont = [](RunObject* o, LOGFONTW* font) {
        LOGFONTW described{};
        if (!font || !GetTextFont(o, &described)) return false;
        *font = described;
        return true;
    };
    text.setFont = SetTextFont;
    text.getTextColor = [](RunObject* o) -> COLORREF {
        const TextPart* t = TextOf(o);
        return t ? t->colour : 0;
    };
    text.setTextColor = [](RunObject* o, COLORREF colour) {
        if (TextPart* t = TextOf(o)) t->colour = colour;
    };
    static constexpr std::array<std::pair<std::int32_t, ActionRoutine>, 9> Actions{{
        {80, DestroyAction},
        {81, ShowParagraphAtAction<false>},
        {82, ShowParagraphAtAction<true>},
        {83, SetColourAction},
        {84, SetParagraphAction},
        {85, PreviousParagraphAction},
        {86, NextParagraphAction},
        {87, ShowStringAction},
        {88, SetStringAction},
    }};
    for (const auto& [number, routine] : Actions)
        SetActionRoutine(TypeText, number, routine);
    static constexpr std::array<ExpressionRoutine, 5> Expressions{ParagraphNumberExpression, StringExpression,
                                                                  ParagraphTextExpression, NumberExpression,
                                                                  CountExpression};
    for (std::size_t i = 0; i < Expressions.size(); ++i)
        SetExpressionRoutine(TypeText, static_cast<std::int32_t>(CommonNumbers + i), Expressions[i]);
}

} // namespace vtrrt
