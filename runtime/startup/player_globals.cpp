#include "startup/player_globals.h"

#include "core/byte_reader.h"
#include "core/runtime_services.h"

#include "vtrs2/memory.h"
#include "win32/mm.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

namespace vtrrt {

using namespace win32;

namespace {

std::array<JoystickRange, PlayerCount> joystickRanges{};

// Walks up the parent chain while the kind is shared and a parent exists.
ApplicationRecord* OwnerBy(ApplicationRecord* app, std::int32_t ApplicationRecord::*shared) {
    while (app && app->*shared && app->parent)
        app = app->parent;
    return app;
}

std::size_t UnitLength(const WCHAR* text) {
    std::size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

WCHAR* CopyText(const WCHAR* text, std::size_t units) {
    WCHAR* copy = nullptr;
    if (!AllocMemory((units + 1) * sizeof(WCHAR), reinterpret_cast<void**>(&copy))) return nullptr;
    std::memcpy(copy, text, units * sizeof(WCHAR));
    copy[units] = 0;
    return copy;
}

void FreeStrings(ApplicationGlobals& g) {
    for (std::int32_t i = 0; i < g.stringCount; ++i)
        FreeMemory(reinterpret_cast<void**>(&g.strings[i]));
    FreeMemory(reinterpret_cast<void**>(&g.strings));
    g.stringCount = 0;
}

bool InitControls(ApplicationRecord& app) {
    ApplicationGlobals& g = app.globals;
    if (app.shareControls && app.parent) {
        ApplicationRecord* owner = GetControlsOwner(app.parent);
        g.controls = owner->globals.controls;
        g.controlWork = owner->globals.controlWork;
        return true;
    }
    if (!AllocMemory(ControlBlockWords * sizeof(std::uint16_t), reinterpret_cast<void**>(&g.controls)))
        return false;
    for (int p = 0; p < PlayerCount; ++p) {
        g.controls[p] = app.header.controlTypes[p];
        for (int k = 0; k < 8; ++k)
            g.controls[PlayerCount + p * 8 + k] = app.header.controlKeys[p][k];
    }
    for (int p = 0; p < PlayerCount; ++p)
        if (g.controls[p] >= 1 && g.controls[p] <= 4) InitPlayerJoystick(p, g.controls[p] - 1);
    return AllocZeroedMemory(ControlWorkWords * sizeof(std::uint16_t),
                             reinterpret_cast<void**>(&g.controlWork));
}

bool InitCounters(ApplicationRecord& app, std::int32_t* ApplicationGlobals::*field,
                  std::int32_t ApplicationRecord::*shared, std::uint32_t initial) {
    if (app.*shared && app.parent) {
        app.globals.*field = OwnerBy(app.parent, shared)->globals.*field;
        return true;
    }
    if (!AllocMemory(PlayerCount * sizeof(std::int32_t), reinterpret_cast<void**>(&(app.globals.*field))))
        return false;
    // Stored complemented, and kept that way.
    std::fill_n(app.globals.*field, PlayerCount, static_cast<std::int32_t>(initial));
    return true;
}

// The kept chunk: u16 count, count 4-byte slots, count type bytes. A double is stored in its 4-byte slot as
// a single-precision float.
bool InitValues(ApplicationRecord& app) {
    if (app.shareGlobalValues && app.parent) return true;
    const KeptChunk& kept = app.globalValues;
    if (!kept.data) return true;
    ByteReader r({kept.data, kept.size});
    std::uint16_t count = 0;
    if (!r.U16(count) || r.Left() < count * 5u || count == 0) return true;
    const std::size_t typesAt = 2 + count * 4u;
    if (!AllocZeroedMemory(count * sizeof(TypedValue), reinterpret_cast<void**>(&app.globals.values)))
        return false;
    app.globals.valueCount = count;
    for (std::uint16_t i = 0; i < count; ++i) {
        std::uint32_t raw = 0;
        r.U32(raw);
        TypedValue& v = app.globals.values[i];
        if (kept.data[typesAt + i] == 0) {
            v.type = TypeInteger;
            v.integer = static_cast<std::int32_t>(raw);
        } else {
            v.type = TypeDouble;
            v.real = std::bit_cast<float>(raw);
        }
    }
    return true;
}

// The kept chunk: u32 count, then count terminated UTF-16 strings; a list cut short keeps what is there.
bool InitStrings(ApplicationRecord& app) {
    if (app.shareGlobalStrings && app.parent) return true;
    const KeptChunk& kept = app.globalStrings;
    if (!kept.data) return true;
    ByteReader r({kept.data, kept.size});
    std::uint32_t count = 0;
    if (!r.U32(count) || count == 0) return true;
    // Every string takes at least its terminator.
    count = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(r.Left() / 2));
    if (count == 0) return true;
    ApplicationGlobals& g = app.globals;
    if (!AllocZeroedMemory(count * sizeof(WCHAR*), reinterpret_cast<void**>(&g.strings))) return false;
    g.stringCount = static_cast<std::int32_t>(count);
    for (std::uint32_t i = 0; i < count && r.Left() >= 2; ++i) {
        std::u16string text;
        std::uint16_t unit = 0;
        while (r.U16(unit) && unit != 0)
            text.push_back(static_cast<char16_t>(unit));
        g.strings[i] = CopyText(text.data(), text.size());
        if (!g.strings[i]) return false;
    }
    return true;
}

} // namespace

JoystickRange& JoystickRangeOf(int joystick) {
    return joystickRanges[static_cast<std::size_t>(std::clamp(joystick, 0, PlayerCount - 1))];
}

ApplicationRecord* GetControlsOwner(ApplicationRecord* app) {
    return OwnerBy(app, &ApplicationRecord::shareControls);
}
ApplicationRecord* GetLivesOwner(ApplicationRecord* app) {
    return OwnerBy(app, &ApplicationRecord::shareLives);
}
ApplicationRecord* GetScoresOwner(ApplicationRecord* app) {
    return OwnerBy(app, &ApplicationRecord::shareScores);
}
ApplicationRecord* GetGlobalValuesOwner(ApplicationRecord* app) {
    return OwnerBy(app, &ApplicationRecord::shareGlobalValues);
}
ApplicationRecord* GetGlobalStringsOwner(ApplicationRecord* app) {
    return OwnerBy(app, &ApplicationRecord::shareGlobalStrings);
}

// A player whose joystick cannot be read plays with the keyboard.
void InitPlayerJoystick(int player, int joystick) {
    JOYINFOEX position{};
    position.dwSize = sizeof(position);
    position.dwFlags = JOY_RETURNX | JOY_RETURNY | JOY_RETURNBUTTONS;
    if (joyGetPosEx(static_cast<UINT>(joystick), &position) != JOYERR_NOERROR) {
        if (ApplicationRecord* app = CurrentApplication();
            app && app->globals.controls && player >= 0 && player < PlayerCount)
            app->globals.controls[player] = ControlKeyboard;
        return;
    }
    JOYCAPSW caps{};
    JoystickRangeOf(joystick) =
        joyGetDevCapsW(static_cast<UINT_PTR>(joystick), &caps, sizeof(caps)) == JOYERR_NOERROR
            ? JoystickRange{caps.wXmin, caps.wXmax, caps.wYmin, caps.wYmax}
            : JoystickRange{0, 0xFFFF, 0, 0xFFFF};
}

void FreeGlobalData(bool all) {
    ApplicationRecord* app = CurrentApplication();
    if (!app) return;
    ApplicationGlobals& g = app->globals;
    auto freeKept = [](KeptChunk& kept) {
        FreeMemory(reinterpret_cast<void**>(&kept.data));
        kept.size = 0;
    };
    const bool parent = app->parent != nullptr;
    if (all) freeKept(app->globalStrings);
    if (!(app->shareGlobalStrings && parent)) FreeStrings(g);
    g.strings = nullptr;
    g.stringCount = 0;
    if (all) freeKept(app->globalValues);
    if (!(app->shareGlobalValues && parent)) FreeMemory(reinterpret_cast<void**>(&g.values));
    g.values = nullptr;
    g.valueCount = 0;
    if (!(app->shareScores && parent)) FreeMemory(reinterpret_cast<void**>(&g.scores));
    g.scores = nullptr;
    if (!(app->shareLives && parent)) FreeMemory(reinterpret_cast<void**>(&g.lives));
    g.lives = nullptr;
    if (!(app->shareControls && parent)) {
        FreeMemory(reinterpret_cast<void**>(&g.controls));
        FreeMemory(reinterpret_cast<void**>(&g.controlWork));
    }
    g.controls = nullptr;
    g.controlWork = nullptr;
}

bool InitApplicationGlobals() {
    ApplicationRecord* app = CurrentApplication();
    if (!app) return false;
    FreeGlobalData(false);
    return InitControls(*app) &&
           InitCounters(*app, &ApplicationGlobals::lives, &ApplicationRecord::shareLives,
                        app->header.initialLives) &&
           InitCounters(*app, &ApplicationGlobals::scores, &ApplicationRecord::shareScores,
                        app->header.initialScore) &&
           InitValues(*app) && InitStrings(*app);
}

bool ReserveGlobalValues(ApplicationRecord* app, std::int32_t count) {
    ApplicationRecord* owner = GetGlobalValuesOwner(app);
    if (!owner || count < 0) return false;
    ApplicationGlobals& g = owner->globals;
    if (count <= g.valueCount) return true;
    void* block = g.values;
    if (!block) {
        if (!AllocZeroedMemory(static_cast<std::size_t>(count) * sizeof(TypedValue), &block)) return false;
    } else {
        if (!ReallocMemory(static_cast<std::size_t>(count) * sizeof(TypedValue), &block)) return false;
        std::memset(static_cast<TypedValue*>(block) + g.valueCount, 0,
                    static_cast<std::size_t>(count - g.valueCount) * sizeof(TypedValue));
    }
    g.values = static_cast<TypedValue*>(block);
    g.valueCount = count;
    return true;
}

TypedValue* GetGlobalValueSlot(ApplicationRecord* app, std::int32_t index) {
    static TypedValue fallback;
    ApplicationRecord* owner = GetGlobalValuesOwner(app);
    if (owner && index >= 0 && index < INT32_MAX && ReserveGlobalValues(owner, index + 1))
        return &owner->globals.values[index];
    fallback = {};
    return &fallback;
}

void SetGlobalValue(ApplicationRecord* app, std::int32_t index, const TypedValue* value) {
    ApplicationRecord* owner = GetGlobalValuesOwner(app);
    if (!owner || !value || index < 0 || index == INT32_MAX || !ReserveGlobalValues(owner, index + 1)) return;
    CopyTypedValue(owner->globals.values[index], *value);
}

const WCHAR* GetGlobalString(ApplicationRecord* app, std::int32_t index) {
    ApplicationRecord* owner = GetGlobalStringsOwner(app);
    if (!owner || index < 0 || index >= owner->globals.stringCount || !owner->globals.strings[index])
        return u"";
    return owner->globals.strings[index];
}

void SetGlobalString(ApplicationRecord* app, std::int32_t index, const WCHAR* text) {
    ApplicationRecord* owner = GetGlobalStringsOwner(app);
    if (!owner || index < 0 || index == INT32_MAX) return;
    if (!text) text = u"";
    ApplicationGlobals& g = owner->globals;
    if (index >= g.stringCount) {
        void* block = g.strings;
        const std::size_t bytes = static_cast<std::size_t>(index + 1) * sizeof(WCHAR*);
        if (!(block ? ReallocMemory(bytes, &block) : AllocMemory(bytes, &block))) return;
        g.strings = static_cast<WCHAR**>(block);
        for (std::int32_t i = g.stringCount; i <= index; ++i)
            g.strings[i] = nullptr;
        g.stringCount = index + 1;
    }
    WCHAR* copy = CopyText(text, UnitLength(text));
    if (!copy) return;
    FreeMemory(reinterpret_cast<void**>(&g.strings[index]));
    g.strings[index] = copy;
}

} // namespace vtrrt
