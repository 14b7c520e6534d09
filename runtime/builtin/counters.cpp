#include "builtin/counters.h"

#include "builtin/number_format.h"
#include "builtin/object_fonts.h"
#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "objects/backgrounds.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/banks.h"
#include "startup/font_cache.h"
#include "startup/object_infos.h"
#include "startup/player_globals.h"

#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int32_t ScoreMinimum = -999999999;
constexpr std::int32_t CounterMaximum = 999999999;
// The tallest lives display: rows past it are not drawn, however many lives there are.
constexpr std::int64_t MaxCounterExtent = 0x7FFF;

bool IsBar(std::uint16_t type) {
    return type == CounterVerticalBar || type == CounterHorizontalBar;
}

bool IsCounterType(std::int16_t type) {
    return type >= TypeScoreDisplay && type <= TypeCounter;
}

// The stored score or lives word of a player (1-based), or the word of 0 for a player out of range.
std::int32_t PlayerWord(std::int16_t type, int player) {
    ApplicationRecord* app = CurrentApplication();
    ApplicationRecord* owner = type == TypeScoreDisplay ? GetScoresOwner(app) : GetLivesOwner(app);
    const std::int32_t* words =
        owner ? (type == TypeScoreDisplay ? owner->globals.scores : owner->globals.lives) : nullptr;
    return words && player >= 1 && player <= PlayerCount ? words[player - 1] : ~0;
}

std::uint16_t ImageAt(const CounterDefinition& def, std::size_t index) {
    const std::size_t at = 2 * index;
    return at + 2 <= def.images.size()
               ? static_cast<std::uint16_t>(def.images[at] | (def.images[at + 1] << 8))
               : 0;
}

// The digit image of a character of the formatted text, or 0.
std::uint16_t DigitImage(const CounterDefinition& def, char16_t c) {
    if (c >= u'0' && c <= u'9') return ImageAt(def, static_cast<std::size_t>(c - u'0'));
    switch (c) {
    case u'-':
        return ImageAt(def, 10);
    case u'+':
        return ImageAt(def, 11);
    case u'.':
        return ImageAt(def, 12);
    case u'e':
    case u'E':
        return ImageAt(def, 13);
    default:
        return 0;
    }
}

std::u16string FormattedValue(const CounterPart& c, std::uint16_t format) {
    return c.value.IsDouble() ? FormatNumber(c.value.real, format) : FormatInteger(~c.value.integer, format);
}

bool ImageSize(std::uint16_t image, ImageInfo& info) {
    ContextBanks* banks = CurrentLibraryBanks();
    return image && banks && GetImageInfo(banks, image, &info);
}

std::uint16_t FontOf(const CounterPart& c, const CounterDefinition& def) {
    return c.font ? c.font : (def.displayType == CounterText ? def.imageCount : 0);
}

ObjectSpriteBlock* SpriteBlock(RunObject* o) {
    return SpriteBlockOf(o);
}

HFONT CounterFont(RunObject* o, const CounterPart& c, const CounterDefinition& def) {
    const ObjectSpriteBlock* block = SpriteBlock(o);
    const bool antialiased = block && (block->inkEffect & InkAntialiased);
    return GetCachedFont(FontOf(c, def), !antialiased);
}

constexpr UINT CounterTextFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;

cSurface* WindowSurface() {
    AppWindow* window = Services().frameLibraryWindow;
    return window ? GetWindowSurface(window, 0) : nullptr;
}

// The number of lives a lives display shows, and how they lie: per row and the rows drawn.
struct LivesLayout {
    std::int64_t count = 0;
    std::int64_t columns = 1;
    std::int64_t rows = 0;
};

LivesLayout LayOutLives(const CounterPart& c, const ImageInfo& image) {
    LivesLayout l;
    const TypedValue v = CounterValue(c);
    l.count = v.IsDouble() ? static_cast<std::int64_t>(std::clamp(v.real, 0.0, 1e12)) : v.integer;
    l.count = std::max<std::int64_t>(l.count, 0);
    const std::int64_t width = std::max<std::int64_t>(image.width, 1);
    const std::int64_t height = std::max<std::int64_t>(image.height, 1);
    // One row when they all fit in the definition's width, else as many rows as needed; never more than
    // the largest box holds.
    l.columns =
        l.count * width <= c.limits.width ? l.count : std::max<std::int64_t>(1, c.limits.width / width);
    l.columns = std::min(l.columns, MaxCounterExtent / width);
    l.rows = l.columns > 0 ? (l.count + l.columns - 1) / l.columns : 0;
    l.rows = std::min(l.rows, MaxCounterExtent / height);
    return l;
}

// --- the kind's routines ---

std::uint16_t CounterRecordSize(const std::uint8_t*) {
    return KindRecordSizeWith(TypeCounter, sizeof(CounterPart));
}

int CreateCounter(RunObject* o, const std::uint8_t*, const ObjectCreationParams*) {
    CounterPart* c = CounterOf(o);
    if (!c) return 1;
    std::memset(static_cast<void*>(c), 0, sizeof *c);
    const CounterDefinition def = ReadCounterDefinition(ObjectDefinitionOf(o));
    o->width = def.present ? def.width : 1;
    o->height = def.present ? def.height : 1;
    c->limits.width = o->width;
    c->limits.height = o->height;
    if (IsBar(def.displayType)) {
        c->colour1 = def.colour1;
        c->colour2 = def.colour2;
    } else if (def.displayType == CounterText) {
        c->colour1 = def.colour1;
    }
    switch (o->objectType) {
    case TypeScoreDisplay:
        c->player = def.player <= PlayerCount ? static_cast<std::int16_t>(def.player) : 0;
        c->limits.minimum = ScoreMinimum;
        c->limits.maximum = CounterMaximum;
        c->value = TypedValue::Int(PlayerWord(TypeScoreDisplay, c->player));
        break;
    case TypeLivesDisplay:
        c->player = def.player <= PlayerCount ? static_cast<std::int16_t>(def.player) : 0;
        c->limits.minimum = 0;
        c->limits.maximum = CounterMaximum;
        c->value = TypedValue::Int(PlayerWord(TypeLivesDisplay, c->player));
        break;
    default:
        c->limits.minimum = def.minimum;
        c->limits.maximum = def.maximum;
        c->value = TypedValue::Int(~def.initial);
        break;
    }
    c->limits.minimumReal = c->limits.minimum;
    c->limits.maximumReal = c->limits.maximum;
    c->frame = -1;
    if (RunObjectExtended* x = ExtendedOf(o)) x->changed = 1;
    return 0;
}

// Score and lives displays follow their player's stored word.
int RefreshFromPlayer(RunObject* o) {
    CounterPart* c = CounterOf(o);
    if (!c || c->player <= 0) return 0;
    const std::int32_t word = PlayerWord(o->objectType, c->player);
    const std::int32_t shown =
        c->value.IsDouble() ? ~static_cast<std::int32_t>(std::trunc(c->value.real)) : c->value.integer;
    if (shown == word) return 0;
    c->value = TypedValue::Int(word);
    return 2;
}

void SizeCounter(RunObject* o) {
    CounterPart* c = CounterOf(o);
    if (!c) return;
    const CounterDefinition def = ReadCounterDefinition(ObjectDefinitionOf(o));
    o->width = o->height = 1;
    o->hotSpotX = o->hotSpotY = 0;
    switch (def.displayType) {
    case CounterDigits: {
        std::int64_t width = 0, height = 0;
        ImageInfo info{};
        for (char16_t ch : FormattedValue(*c, def.format)) {
            if (!ImageSize(DigitImage(def, ch), info)) continue;
            width += info.width;
            height = std::max<std::int64_t>(height, info.height);
        }
        if (width > 0) {
            o->width = static_cast<std::int32_t>(std::min(width, MaxCounterExtent));
            o->height = static_cast<std::int32_t>(height);
        }
        // The object's position is the right end of its digits.
        o->hotSpotX = o->width;
        o->hotSpotY = o->height;
        break;
    }
    case CounterHorizontalBar:
    case CounterVerticalBar: {
        const bool horizontal = def.displayType == CounterHorizontalBar;
        const std::int32_t full = horizontal ? c->limits.width : c->limits.height;
        const std::int32_t length = CounterBarLength(*c, full);
        c->frame = length;
        o->width = horizontal ? length : c->limits.width;
        o->height = horizontal ? c->limits.height : length;
        if (def.format & FormatBarFromFarEnd) (horizontal ? o->hotSpotX : o->hotSpotY) = length - full;
        break;
    }
    case CounterAnimation: {
        ImageInfo info{};
        if (o->objectType == TypeLivesDisplay) {
            if (!ImageSize(ImageAt(def, 0), info)) break;
            const LivesLayout l = LayOutLives(*c, info);
            o->width = static_cast<std::int32_t>(l.columns * info.width);
            o->height = static_cast<std::int32_t>(l.rows * info.height);
            break;
        }
        c->frame = CounterFrameIndex(*c, def.imageCount);
        if (c->frame < 0 || !ImageSize(ImageAt(def, static_cast<std::size_t>(c->frame)), info)) break;
        o->width = info.width;
        o->height = info.height;
        o->hotSpotX = info.hotX;
        o->hotSpotY = info.hotY;
        break;
    }
    case CounterText: {
        o->width = c->limits.width;
        o->height = c->limits.height;
        cSurface* surface = WindowSurface();
        if (!surface) break;
        const std::u16string text = FormattedValue(*c, def.format);
        RECT measured{0, 0, c->limits.width, c->limits.height};
        surface->DrawTextWide(text.c_str(), -1, &measured, CounterTextFormat | DT_CALCRECT, c->colour1,
                              CounterFont(o, *c, def), 0, 0, 0, 0, 0, 0, 0);
        // The text grows to the left of the definition's box.
        o->width = std::max(o->width, static_cast<std::int32_t>(measured.right - measured.left));
        o->height = std::max(o->height, static_cast<std::int32_t>(measured.bottom - measured.top));
        o->hotSpotX = o->width - c->limits.width;
        break;
    }
    default:
        break;
    }
}

void DrawBar(const CounterPart& c, const CounterDefinition& def, cSurface& surface, const RECT& r, DWORD ink,
             LPARAM parameter) {
    QuickBackdropShape shape{};
    shape.shape = ShapeRectangle;
    shape.fillType = def.imageCount == CounterFillGradient ? FillGradient : FillSolid;
    shape.colour1 = c.colour1;
    shape.colour2 = c.colour2;
    shape.vertical = def.displayType == CounterVerticalBar ? 1 : 0;
    const std::int32_t length = c.frame;
    const std::int32_t full = shape.vertical ? c.limits.height : c.limits.width;
    if (shape.fillType == FillGradient && length != 0 && full > 0) {
        // The far end takes the colour the bar's length reaches between the two.
        std::uint32_t far = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const std::int64_t a = (c.colour1 >> shift) & 0xFF, b = (c.colour2 >> shift) & 0xFF;
            far |= static_cast<std::uint32_t>((a + (b - a) * length / full) & 0xFF) << shift;
        }
        shape.colour2 = far;
    }
    DrawBackgroundObject(&surface, shape, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, ink,
                         parameter, (ink & InkAntialiased) ? 1 : 0);
}

void DrawLives(const CounterPart& c, const CounterDefinition& def, const cSurface& surface, const RECT& r,
               DWORD ink, LPARAM parameter) {
    ImageInfo info{};
    const std::uint16_t image = ImageAt(def, 0);
    if (!ImageSize(image, info) || info.width == 0 || info.height == 0) return;
    const LivesLayout l = LayOutLives(c, info);
    const std::int64_t w = info.width, h = info.height;
    // The images inside the rectangle that the window's surface shows, row by row.
    const std::int64_t bottom = std::min<std::int64_t>(r.bottom, surface.GetHeight());
    const std::int64_t right = std::min<std::int64_t>(r.right, surface.GetWidth());
    const std::int64_t firstRow = r.top < 0 ? -static_cast<std::int64_t>(r.top) / h : 0;
    const std::int64_t firstColumn = r.left < 0 ? -static_cast<std::int64_t>(r.left) / w : 0;
    for (std::int64_t row = firstRow; row < l.rows && r.top + row * h < bottom; ++row) {
        const std::int64_t inRow = std::min(l.columns, l.count - row * l.columns);
        for (std::int64_t column = firstColumn; column < inRow && r.left + column * w < right; ++column)
            DrawImageToWindow(SpritesOfFrame(), image, static_cast<int>(r.left + column * w),
                              static_cast<int>(r.top + row * h), 0, ink, parameter);
    }
}

void DisplayCounter(RunObject* o) {
    CounterPart* c = CounterOf(o);
    cSurface* surface = WindowSurface();
    if (!c || !surface) return;
    const CounterDefinition def = ReadCounterDefinition(ObjectDefinitionOf(o));
    const ObjectSpriteBlock* block = SpriteBlock(o);
    const DWORD ink = block ? block->inkEffect : 0;
    const auto parameter = reinterpret_cast<LPARAM>(block ? block->inkParameter : nullptr);
    RECT r{o->displayLeft, o->displayTop, o->displayRight, o->displayBottom};
    switch (def.displayType) {
    case CounterDigits: {
        int x = r.left;
        ImageInfo info{};
        for (char16_t ch : FormattedValue(*c, def.format)) {
            const std::uint16_t image = DigitImage(def, ch);
            if (!ImageSize(image, info)) continue;
            DrawImageToWindow(SpritesOfFrame(), image, x, r.top, 0, ink, parameter);
            x += info.width;
        }
        break;
    }
    case CounterVerticalBar:
    case CounterHorizontalBar:
        if (r.right > r.left && r.bottom > r.top) DrawBar(*c, def, *surface, r, ink, parameter);
        break;
    case CounterAnimation:
        if (o->objectType == TypeLivesDisplay)
            DrawLives(*c, def, *surface, r, ink, parameter);
        else if (c->frame >= 0)
            DrawImageToWindow(SpritesOfFrame(), ImageAt(def, static_cast<std::size_t>(c->frame)), r.left,
                              r.top, 0, ink, parameter);
        break;
    case CounterText: {
        const std::u16string text = FormattedValue(*c, def.format);
        surface->DrawTextWide(text.c_str(), -1, &r, CounterTextFormat, c->colour1, CounterFont(o, *c, def), 0,
                              static_cast<int>(ink & 0xFFFF), parameter, 0, 0, 0, 0);
        break;
    }
    default:
        return;
    }
    AddUpdateRect(Services().frameLibraryWindow, &r);
}

void DestroyCounter(RunObject* o, int) {
    if (CounterPart* c = CounterOf(o)) ReleaseFontItem(std::exchange(c->font, std::uint16_t{0}));
}

void Redisplay(RunObject* o) {
    if (o->displayRoutine) o->displayRoutine(o);
    if (RunObjectExtended* x = ExtendedOf(o)) x->changed = 1;
}

// An integer counter given a double becomes a double counter for good.
void FollowType(RunObject* o, CounterPart& c, const TypedValue& incoming) {
    if (c.value.IsDouble() || !incoming.IsDouble()) return;
    c.value = TypedValue::Double(static_cast<double>(~c.value.integer));
    Redisplay(o);
}

void Store(RunObject* o, CounterPart& c, double real, std::int64_t integer) {
    if (c.value.IsDouble()) {
        double v = real;
        if (v < c.limits.minimumReal) v = c.limits.minimumReal;
        if (v > c.limits.maximumReal) v = c.limits.maximumReal;
        if (v == c.value.real || (std::isnan(v) && std::isnan(c.value.real))) return;
        c.value.real = v;
    } else {
        std::int64_t v = integer;
        if (v < c.limits.minimum) v = c.limits.minimum;
        if (v > c.limits.maximum) v = c.limits.maximum;
        const std::int32_t stored = ~static_cast<std::int32_t>(v);
        if (stored == c.value.integer) return;
        c.value.integer = stored;
    }
    Redisplay(o);
}

enum class Change { Set, Add, Subtract };

void ChangeCounter(RunObject* o, const TypedValue& value, Change change) {
    CounterPart* c = CounterOf(o);
    if (!c || value.IsString()) return;
    FollowType(o, *c, value);
    if (c->value.IsDouble()) {
        const double current = c->value.real, given = value.ToDouble();
        Store(o, *c,
              change == Change::Set   ? given
              : change == Change::Add ? current + given
                                      : current - given,
              0);
    } else {
        const std::int64_t current = ~c->value.integer, given = value.integer;
        Store(o, *c, 0,
              change == Change::Set   ? given
              : change == Change::Add ? current + given
                                      : current - given);
    }
}

} // namespace

CounterPart* CounterOf(RunObject* o) {
    if (!o || !IsCounterType(o->objectType)) return nullptr;
    return reinterpret_cast<CounterPart*>(KindDataOf(o, sizeof(CounterPart)));
}

TypedValue CounterValue(const CounterPart& c) {
    return c.value.IsDouble() ? c.value : TypedValue::Int(~c.value.integer);
}

void SetCounterValue(RunObject* o, TypedValue value) {
    ChangeCounter(o, value, Change::Set);
}
void AddToCounter(RunObject* o, const TypedValue& value) {
    ChangeCounter(o, value, Change::Add);
}
void SubtractFromCounter(RunObject* o, const TypedValue& value) {
    ChangeCounter(o, value, Change::Subtract);
}

void SetCounterMinimum(RunObject* o, const TypedValue& value) {
    CounterPart* c = CounterOf(o);
    if (!c || value.IsString()) return;
    c->limits.minimum = value.ToInt();
    c->limits.minimumReal = value.ToDouble();
    const TypedValue current = CounterValue(*c);
    Store(o, *c, current.ToDouble(), current.IsDouble() ? 0 : current.integer);
}

void SetCounterMaximum(RunObject* o, const TypedValue& value) {
    CounterPart* c = CounterOf(o);
    if (!c || value.IsString()) return;
    c->limits.maximum = value.ToInt();
    c->limits.maximumReal = value.ToDouble();
    const TypedValue current = CounterValue(*c);
    Store(o, *c, current.ToDouble(), current.IsDouble() ? 0 : current.integer);
}

std::int32_t CounterBarLength(const CounterPart& c, std::int32_t full) {
    if (full <= 0) return 0;
    if (c.value.IsDouble()) {
        const double low = c.limits.minimumReal, high = c.limits.maximumReal;
        if (!(high > low) || std::isnan(c.value.real)) return 0;
        const double v = std::clamp(c.value.real, low, high);
        return std::clamp(static_cast<std::int32_t>((v - low) * full / (high - low)), 0, full);
    }
    const std::int64_t low = c.limits.minimum, high = c.limits.maximum;
    if (high <= low) return 0;
    // Clamped first, the product stays below 2^63.
    const std::int64_t v = std::clamp<std::int64_t>(~c.value.integer, low, high);
    return static_cast<std::int32_t>((v - low) * full / (high - low));
}

std::int32_t CounterFrameIndex(const CounterPart& c, std::int32_t frames) {
    if (frames <= 0) return -1;
    return CounterBarLength(c, frames - 1);
}

void RefreshPlayerCounters(std::int16_t type, int player, std::int32_t storedWord) {
    FrameRunState* s = CurrentRunState();
    if (!s || !s->objects) return;
    for (std::int32_t slot = 0; slot < s->maxObjects; ++slot) {
        RunObject* o = s->objects[slot].object;
        CounterPart* c = o && o->objectType == type && o->creationNumber ? CounterOf(o) : nullptr;
        if (!c || c->player != player + 1) continue;
        if (!c->value.IsDouble() && c->value.integer == storedWord) continue;
        c->value = TypedValue::Int(storedWord);
        Redisplay(o);
    }
}

void GetCounterFont(RunObject* o, LOGFONTW* font) {
    CounterPart* c = CounterOf(o);
    const std::uint16_t item = c ? FontOf(*c, ReadCounterDefinition(ObjectDefinitionOf(o))) : 0;
    DescribeFontItem(item, font);
}

void SetCounterFont(RunObject* o, const LOGFONTW* font, const RECT* size) {
    CounterPart* c = CounterOf(o);
    if (!c || !font || ReadCounterDefinition(ObjectDefinitionOf(o)).displayType != CounterText) return;
    const std::uint16_t item = AddFontItem(*font);
    if (!item) return;
    ReleaseFontItem(c->font);
    c->font = item;
    if (size) {
        c->limits.width = o->width = size->right - size->left;
        c->limits.height = o->height = size->bottom - size->top;
    }
    Redisplay(o);
}

void InstallCounterKinds() {
    for (std::int16_t type : {TypeScoreDisplay, TypeLivesDisplay, TypeCounter}) {
        ObjectKindRoutines& kind = KindRoutines()[static_cast<std::size_t>(type)];
        kind.recordSize = CounterRecordSize;
        kind.create = CreateCounter;
        kind.handle = type == TypeCounter ? nullptr : RefreshFromPlayer;
        kind.display = DisplayCounter;
        kind.destroy = DestroyCounter;
        kind.zone = SizeCounter;
        // The text colour is the first colour: a text counter's text, a bar's near end.
        ObjectTextRoutines& text = KindTextRoutines()[static_cast<std::size_t>(type)];
        text.getFont = [](RunObject* o, LOGFONTW* font) {
            if (!font || !CounterOf(o)) return false;
            GetCounterFont(o, font);
            return true;
        };
        text.setFont = SetCounterFont;
        text.getTextColor = [](RunObject* o) -> COLORREF {
            const CounterPart* c = CounterOf(o);
            return c ? c->colour1 : 0;
        };
        text.setTextColor = [](RunObject* o, COLORREF colour) {
            if (CounterPart* c = CounterOf(o)) c->colour1 = colour;
        };
    }
}

} // namespace vtrrt
