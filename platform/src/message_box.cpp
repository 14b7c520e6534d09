#include "win32/msgbox.h"

#include "win32/kernel.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace win32 {

namespace {

struct Button {
    int id;
    const char* label;
};

std::vector<Button> ButtonsOf(UINT type) {
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_YESNOCANCEL:
        return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO:
        return {{IDYES, "Yes"}, {IDNO, "No"}};
    default:
        return {{IDOK, "OK"}};
    }
}

std::size_t DefaultIndex(UINT type, std::size_t count) {
    const std::size_t index = (type >> 8) & 0xF;
    return index < count ? index : 0;
}

Uint32 SdlIconFlags(UINT type) {
    switch (type & 0xF0) {
    case MB_ICONERROR:
        return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING:
        return SDL_MESSAGEBOX_WARNING;
    default:
        return SDL_MESSAGEBOX_INFORMATION;
    }
}

bool Headless() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && std::strcmp(driver, "dummy") == 0) return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return !(x11 && *x11) && !(wayland && *wayland);
}

} // namespace

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    const std::string title = caption ? ToUtf8(caption) : std::string("Error");
    const std::string message = text ? ToUtf8(text) : std::string();
    const std::vector<Button> buttons = ButtonsOf(type);
    const std::size_t defaultIndex = DefaultIndex(type, buttons.size());

    if (!Headless()) {
        std::vector<SDL_MessageBoxButtonData> sdlButtons;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            Uint32 flags = i == defaultIndex ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
            if (buttons[i].id == IDCANCEL || (buttons.size() == 1))
                flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
            sdlButtons.push_back({flags, buttons[i].id, buttons[i].label});
        }
        const SDL_MessageBoxData data{
            SdlIconFlags(type), nullptr, title.c_str(), message.c_str(), static_cast<int>(sdlButtons.size()),
            sdlButtons.data(),  nullptr};
        int pressed = -1;
        if (SDL_ShowMessageBox(&data, &pressed) == 0) {
            if (pressed >= 0) return pressed;
            // Closed without a button: Cancel when the box has one, else the default.
            for (const Button& button : buttons)
                if (button.id == IDCANCEL) return IDCANCEL;
            return buttons[defaultIndex].id;
        }
    }
    std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    std::fflush(stderr);
    return buttons[defaultIndex].id;
}

} // namespace win32
