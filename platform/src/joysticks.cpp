// Joysticks over SDL's: the first four the system lists, read on demand.
#include "win32/mm.h"
#include "win32/window_testing.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <mutex>

namespace win32 {

namespace {

constexpr int MaxJoysticks = 4;
constexpr int MaxButtons = 32;
constexpr DWORD AxisMax = 0xFFFF;

struct Joysticks {
    std::mutex lock;
    bool started = false;
    std::array<SDL_Joystick*, MaxJoysticks> open{};
};

Joysticks& State() {
    static Joysticks joysticks;
    return joysticks;
}

bool Start(Joysticks& j) {
    if (j.started) return true;
    // The runtime decides itself whether its window has the focus when it reads its players' controls.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    j.started = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    return j.started;
}

// The joystick of that id, opened on first use; null when the system has none there.
SDL_Joystick* Joystick(Joysticks& j, UINT id) {
    if (id >= MaxJoysticks) return nullptr;
    Start(j);
    if (!j.started) return nullptr;
    SDL_JoystickUpdate();
    SDL_Joystick*& open = j.open[id];
    if (open && !SDL_JoystickGetAttached(open)) {
        SDL_JoystickClose(open);
        open = nullptr;
    }
    if (!open && static_cast<int>(id) < SDL_NumJoysticks()) open = SDL_JoystickOpen(static_cast<int>(id));
    return open;
}

DWORD Axis(SDL_Joystick* joystick, int axis) {
    if (axis >= SDL_JoystickNumAxes(joystick)) return AxisMax / 2;
    return static_cast<DWORD>(static_cast<int>(SDL_JoystickGetAxis(joystick, axis)) + 32768);
}

} // namespace

MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info) {
    if (!info) return JOYERR_PARMS;
    Joysticks& j = State();
    std::lock_guard guard(j.lock);
    SDL_Joystick* joystick = Joystick(j, id);
    if (!joystick) return JOYERR_UNPLUGGED;
    info->dwXpos = Axis(joystick, 0);
    info->dwYpos = Axis(joystick, 1);
    info->dwButtons = 0;
    info->dwButtonNumber = 0;
    const int buttons = std::min(SDL_JoystickNumButtons(joystick), MaxButtons);
    for (int b = 0; b < buttons; ++b)
        if (SDL_JoystickGetButton(joystick, b)) {
            info->dwButtons |= 1u << b;
            ++info->dwButtonNumber;
        }
    return JOYERR_NOERROR;
}

MMRESULT joyGetDevCapsW(UINT_PTR id, JOYCAPSW* caps, UINT size) {
    if (!caps || size < sizeof(JOYCAPSW)) return JOYERR_PARMS;
    Joysticks& j = State();
    std::lock_guard guard(j.lock);
    SDL_Joystick* joystick = Joystick(j, static_cast<UINT>(id));
    if (!joystick) return JOYERR_UNPLUGGED;
    *caps = JOYCAPSW{};
    caps->wXmax = caps->wYmax = caps->wZmax = AxisMax;
    caps->wNumButtons = static_cast<UINT>(std::min(SDL_JoystickNumButtons(joystick), MaxButtons));
    if (const char* name = SDL_JoystickName(joystick))
        for (int i = 0; name[i] && i < MAXPNAMELEN - 1; ++i)
            caps->szPname[i] = static_cast<WCHAR>(static_cast<unsigned char>(name[i]));
    return JOYERR_NOERROR;
}

namespace testing {

int AttachTestJoystick(int axes, int buttons) {
    Joysticks& j = State();
    std::lock_guard guard(j.lock);
    if (!Start(j)) return -1;
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, 0);
    if (index < 0) return -1;
    if (index < MaxJoysticks && !j.open[static_cast<std::size_t>(index)])
        j.open[static_cast<std::size_t>(index)] = SDL_JoystickOpen(index);
    return index;
}

void SetTestJoystick(int index, int axis, int value, int button, bool pressed) {
    Joysticks& j = State();
    std::lock_guard guard(j.lock);
    if (index < 0 || index >= MaxJoysticks || !j.open[static_cast<std::size_t>(index)]) return;
    SDL_Joystick* joystick = j.open[static_cast<std::size_t>(index)];
    if (axis >= 0)
        SDL_JoystickSetVirtualAxis(joystick, axis,
                                   static_cast<Sint16>(std::clamp(value - 32768, -32768, 32767)));
    if (button >= 0) SDL_JoystickSetVirtualButton(joystick, button, pressed ? 1 : 0);
}

void DetachTestJoysticks() {
    Joysticks& j = State();
    std::lock_guard guard(j.lock);
    for (SDL_Joystick*& open : j.open) {
        if (open) SDL_JoystickClose(open);
        open = nullptr;
    }
    if (!j.started) return;
    for (int i = SDL_NumJoysticks() - 1; i >= 0; --i)
        if (SDL_JoystickIsVirtual(i)) SDL_JoystickDetachVirtual(i);
}

} // namespace testing

} // namespace win32
