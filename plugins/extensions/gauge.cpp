// The gauge: an object extension that shows a value between 0 and a maximum as a bar over a background,
// drawn on a surface it hands to the runtime. Its definition data, after the common 12-byte header:
// i32 width, i32 height, u32 background colour, u32 bar colour, i32 value, and (from data version 2) i32
// maximum; version 1 data is brought up to version 2 with a maximum of 100.
//
// Conditions: 0 the value (compared by the event's parameter), 1 the gauge is full, 2 the gauge has just
// reached its maximum (raised by the gauge). Actions: 0 set the value, 1 add to it, 2 set the bar colour,
// 3 set the name. Expressions: 0 the value, 1 the value over the maximum (a float), 2 the name, 3 the value
// kept between its two arguments. Reaching the maximum is pushed, and runs once the loop's events have run.
// An empty gauge (value 0 or less) has no picture and is drawn by DisplayRunObject as its background alone.
// Its state goes into saved positions; its bar colour is its text colour. The module counts the key presses
// the running frame's window gets in its user data word.
//
// Built as vtrgauge.vxe; built with GAUGE_NARROW it takes and gives 8-bit strings.
#include "plugin/extension.h"

#include "vtrs2/app_window.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/user.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace {

using namespace win32;
using extension::RunObject;

constexpr std::uint32_t GaugeIdentifier = 0x47554147; // "GAUG"
constexpr std::int16_t DataVersion = 2;
constexpr std::size_t DataVersionOneBytes = 32;
constexpr std::size_t DataBytes = 36;
constexpr std::int32_t DefaultMaximum = 100;
constexpr std::int32_t OwnReachedCondition = 2;
constexpr std::uint8_t WindowProcPriority = 50;

#ifdef GAUGE_NARROW
using Char = char;
constexpr bool Unicode = false;
#else
using Char = char16_t;
constexpr bool Unicode = true;
#endif

extension::RuntimeServices* services = nullptr;
HMODULE self = nullptr;

struct Gauge {
    std::int32_t value;
    std::int32_t maximum;
    COLORREF back;
    COLORREF bar;
    cSurface* surface;
    bool painted;
    Char name[32];
};

Gauge& Of(RunObject* o) {
    return *vtrrt::KindDataOf<Gauge>(o);
}

std::int32_t I32At(const std::uint8_t* data, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | data[at + static_cast<std::size_t>(i)];
    return static_cast<std::int32_t>(v);
}

void PutI32(std::uint8_t* data, std::size_t at, std::int32_t value) {
    for (int i = 0; i < 4; ++i)
        data[at + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}

void Changed(RunObject* o) {
    Of(o).painted = false;
    services->run->redisplay(o);
}

AppWindow* FrameWindow() {
    return services ? services->frameLibraryWindow : nullptr;
}

void Paint(RunObject* o) {
    Gauge& g = Of(o);
    const int width = std::max(1, o->width), height = std::max(1, o->height);
    if (!g.surface) {
        // A memory surface of the window's depth: a display driver's window surface is a screen, which
        // draws only between its own scenes.
        const cSurface* work = GetWindowSurface(FrameWindow(), 0);
        cSurface* prototype = nullptr;
        if (!work) return;
        GetSurfacePrototype(&prototype, work->GetDepth(), PublicTypeMemory, DriverKindNone);
        if (!prototype) return;
        g.surface = NewSurface();
        if (!g.surface || !g.surface->Create(width, height, prototype)) {
            DeleteSurface(g.surface);
            g.surface = nullptr;
            return;
        }
    }
    g.surface->Fill(g.back);
    const std::int64_t filled =
        g.maximum > 0 ? std::clamp<std::int64_t>(std::int64_t{width} * g.value / g.maximum, 0, width) : 0;
    if (filled > 0) g.surface->FillRect(0, 0, static_cast<int>(filled), height, g.bar);
    g.painted = true;
}

// --- conditions, actions, expressions ---

std::int32_t ValueCondition(RunObject* o, std::intptr_t, std::intptr_t) {
    return Of(o).value;
}
std::int32_t IsFull(RunObject* o, std::intptr_t, std::intptr_t) {
    return Of(o).value >= Of(o).maximum ? 1 : 0;
}
std::int32_t HasReached(RunObject*, std::intptr_t, std::intptr_t) {
    return 1;
}

void SetTo(RunObject* o, std::int64_t value) {
    Gauge& g = Of(o);
    const bool wasFull = g.value >= g.maximum;
    g.value = static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
    Changed(o);
    if (!wasFull && g.value >= g.maximum) services->run->raiseOwnCondition(o, OwnReachedCondition, 0);
}

std::int32_t SetValue(RunObject* o, std::intptr_t value, std::intptr_t) {
    SetTo(o, static_cast<std::int32_t>(value));
    return 0;
}
std::int32_t AddValue(RunObject* o, std::intptr_t value, std::intptr_t) {
    SetTo(o, std::int64_t{Of(o).value} + static_cast<std::int32_t>(value));
    return 0;
}
std::int32_t SetBarColour(RunObject* o, std::intptr_t colour, std::intptr_t) {
    Of(o).bar = static_cast<COLORREF>(colour);
    Changed(o);
    return 0;
}
std::int32_t SetName(RunObject* o, std::intptr_t text, std::intptr_t) {
    Gauge& g = Of(o);
    const auto* from = reinterpret_cast<const Char*>(text);
    std::size_t n = 0;
    for (; from && from[n] && n + 1 < std::size(g.name); ++n)
        g.name[n] = from[n];
    g.name[n] = 0;
    return 0;
}

std::intptr_t ValueExpression(RunObject* o, const std::uint8_t*) {
    return Of(o).value;
}
std::intptr_t FractionExpression(RunObject* o, const std::uint8_t*) {
    const Gauge& g = Of(o);
    const float f = g.maximum ? static_cast<float>(g.value) / static_cast<float>(g.maximum) : 0.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    o->resultFlags |= vtrrt::ExpressionResultFloat;
    return bits;
}
std::intptr_t NameExpression(RunObject* o, const std::uint8_t*) {
    o->resultFlags |= vtrrt::ExpressionResultString;
    return reinterpret_cast<std::intptr_t>(Of(o).name);
}
std::intptr_t ClampExpression(RunObject* o, const std::uint8_t* token) {
    const auto low = static_cast<std::int32_t>(services->run->firstExpressionParameter(token, o, 0));
    const auto high = static_cast<std::int32_t>(services->run->nextExpressionParameter(token, o, 0));
    return std::clamp(Of(o).value, std::min(low, high), std::max(low, high));
}

constexpr extension::ConditionRoutine Conditions[] = {ValueCondition, IsFull, HasReached};
constexpr extension::ActionRoutine Actions[] = {SetValue, AddValue, SetBarColour, SetName};
constexpr extension::ExpressionRoutine Expressions[] = {ValueExpression, FractionExpression, NameExpression,
                                                        ClampExpression};

} // namespace

// Every application that lists the gauge initializes and frees it (a sub-application of the same data among
// them): the services stay until the last has freed it.
int applications = 0;

VTR_EXTENSION_EXPORT std::int32_t Initialize(extension::RuntimeServices* s, HMODULE module) {
    if (!s || s->size < sizeof(extension::RuntimeServices) || !s->run) return 1;
    services = s;
    self = module;
    ++applications;
    return 0;
}

VTR_EXTENSION_EXPORT std::int32_t Free(extension::RuntimeServices*) {
    if (applications > 0 && --applications == 0) services = nullptr;
    return 0;
}

VTR_EXTENSION_EXPORT std::intptr_t GetInfos(extension::RuntimeServices*, std::int32_t which) {
    return which == extension::InfoUnicode ? (Unicode ? 1 : 0) : 0;
}

VTR_EXTENSION_EXPORT std::int32_t GetRunObjectInfos(extension::RuntimeServices*, extension::RunInfo* info) {
    if (!info || info->size < sizeof(extension::RunInfo)) return 0;
    info->conditions = Conditions;
    info->conditionCount = static_cast<std::int16_t>(std::size(Conditions));
    info->actions = Actions;
    info->actionCount = static_cast<std::int16_t>(std::size(Actions));
    info->expressions = Expressions;
    info->expressionCount = static_cast<std::int16_t>(std::size(Expressions));
    info->options = extension::RunInfoWindowProc;
    info->windowProcPriority = WindowProcPriority;
    info->identifier = GaugeIdentifier;
    info->dataVersion = DataVersion;
    return 1;
}

VTR_EXTENSION_EXPORT void* UpdateEditStructure(extension::RuntimeServices* s, const std::uint8_t* data) {
    // Data shorter than the first version's is left for CreateRunObject to refuse.
    if (!data || static_cast<std::uint32_t>(I32At(data, extension::DataSizeOffset)) < DataVersionOneBytes ||
        static_cast<std::uint32_t>(I32At(data, extension::DataVersionOffset)) >= DataVersion)
        return nullptr;
    auto* block = reinterpret_cast<std::uint8_t*>(s->generic(extension::CallAllocate, DataBytes, 0, 0));
    if (!block) return nullptr;
    std::memcpy(block, data, DataVersionOneBytes);
    PutI32(block, extension::DataSizeOffset, static_cast<std::int32_t>(DataBytes));
    PutI32(block, extension::DataVersionOffset, DataVersion);
    PutI32(block, DataVersionOneBytes, DefaultMaximum);
    return block;
}

VTR_EXTENSION_EXPORT std::uint16_t WindowProc(vtrrt::FrameRunState*, HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_KEYDOWN && services) services->setUserData(self, services->getUserData(self) + 1);
    return 0;
}

VTR_EXTENSION_EXPORT std::uint32_t GetRunObjectDataSize(vtrrt::FrameRunState*, const std::uint8_t*) {
    return static_cast<std::uint32_t>(vtrrt::MaxKindDataOffset + sizeof(Gauge));
}

VTR_EXTENSION_EXPORT std::int32_t CreateRunObject(RunObject* o, std::uint8_t* data,
                                                  const extension::ObjectCreationParams*) {
    const std::uint32_t size = static_cast<std::uint32_t>(I32At(data, extension::DataSizeOffset));
    if (size < DataBytes) return 1;
    Gauge& g = Of(o);
    g = Gauge{};
    o->width = I32At(data, 12);
    o->height = I32At(data, 16);
    o->hotSpotX = o->hotSpotY = 0;
    g.back = static_cast<COLORREF>(I32At(data, 20));
    g.bar = static_cast<COLORREF>(I32At(data, 24));
    g.value = I32At(data, 28);
    g.maximum = I32At(data, 32);
    return 0;
}

VTR_EXTENSION_EXPORT std::int32_t DestroyRunObject(RunObject* o, std::int32_t) {
    DeleteSurface(Of(o).surface);
    Of(o).surface = nullptr;
    return 0;
}

VTR_EXTENSION_EXPORT std::int32_t HandleRunObject(RunObject*) {
    return 0;
}

VTR_EXTENSION_EXPORT void GetZoneInfo(RunObject*) {
    // The size is the definition's, set at creation.
}

VTR_EXTENSION_EXPORT cSurface* GetRunObjectSurface(RunObject* o) {
    if (Of(o).value <= 0) return nullptr;
    if (!Of(o).painted) Paint(o);
    return Of(o).surface;
}

VTR_EXTENSION_EXPORT void DisplayRunObject(RunObject* o) {
    AppWindow* window = FrameWindow();
    cSurface* work = window ? GetWindowSurface(window, 0) : nullptr;
    if (!work) return;
    work->FillRect(o->displayLeft, o->displayTop, o->width, o->height, Of(o).back);
    AddUpdateRectCoords(window, o->displayLeft, o->displayTop, o->displayLeft + o->width,
                        o->displayTop + o->height);
}

VTR_EXTENSION_EXPORT COLORREF GetRunObjectTextColor(RunObject* o) {
    return Of(o).bar;
}

VTR_EXTENSION_EXPORT void SetRunObjectTextColor(RunObject* o, COLORREF colour) {
    SetBarColour(o, colour, 0);
}

VTR_EXTENSION_EXPORT std::int32_t SaveRunObject(RunObject* o, HANDLE file) {
    const Gauge& g = Of(o);
    const std::int32_t state[3] = {g.value, g.maximum, static_cast<std::int32_t>(g.bar)};
    return FileWriteRaw(file, state, sizeof state) == 0 ? 1 : 0;
}

VTR_EXTENSION_EXPORT std::int32_t LoadRunObject(RunObject* o, HANDLE file) {
    std::int32_t state[3] = {};
    if (FileReadRaw(file, state, sizeof state) != 0) return 0;
    Gauge& g = Of(o);
    g.value = state[0];
    g.maximum = state[1];
    g.bar = static_cast<COLORREF>(state[2]);
    Changed(o);
    return 1;
}
