// Joysticks through SDL's joystick subsystem, opened on first use and kept for the process.
#include "win32/mm.h"

#include <SDL.h>

#include <algorithm>
#include <map>

namespace win32 {
namespace {

constexpr DWORD kCentre = 0x8000;

SDL_Joystick* Joystick(UINT id) {
    static bool ready = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    static std::map<UINT, SDL_Joystick*> open;
    if (!ready) return nullptr;
    SDL_JoystickUpdate();
    if (auto it = open.find(id); it != open.end()) {
        if (SDL_JoystickGetAttached(it->second)) return it->second;
        SDL_JoystickClose(it->second);
        open.erase(it);
    }
    if (static_cast<int>(id) >= SDL_NumJoysticks()) return nullptr;
    SDL_Joystick* joystick = SDL_JoystickOpen(static_cast<int>(id));
    if (joystick) open[id] = joystick;
    return joystick;
}

DWORD Axis(SDL_Joystick* joystick, int axis) {
    if (axis >= SDL_JoystickNumAxes(joystick)) return kCentre;
    return static_cast<DWORD>(SDL_JoystickGetAxis(joystick, axis) + 32768);
}

} // namespace

MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info) {
    if (!info) return JOYERR_PARMS;
    SDL_Joystick* joystick = Joystick(id);
    if (!joystick) return JOYERR_UNPLUGGED;
    info->dwXpos = Axis(joystick, 0);
    info->dwYpos = Axis(joystick, 1);
    info->dwButtons = 0;
    const int buttons = std::min(32, SDL_JoystickNumButtons(joystick));
    for (int b = 0; b < buttons; ++b)
        if (SDL_JoystickGetButton(joystick, b)) info->dwButtons |= 1u << b;
    return JOYERR_NOERROR;
}

MMRESULT joyGetDevCapsW(UINT_PTR id, JOYCAPSW* caps, UINT size) {
    if (!caps || size < sizeof(JOYCAPSW)) return JOYERR_PARMS;
    SDL_Joystick* joystick = Joystick(static_cast<UINT>(id));
    if (!joystick) return JOYERR_UNPLUGGED;
    *caps = JOYCAPSW{};
    caps->wXmax = caps->wYmax = caps->wZmax = 0xFFFF;
    caps->wNumButtons = static_cast<UINT>(std::max(0, SDL_JoystickNumButtons(joystick)));
    return JOYERR_NOERROR;
}

} // namespace win32
