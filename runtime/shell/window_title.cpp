#include "shell/window_title.h"

#include "core/application_record.h"
#include "core/command_line.h"
#include "core/frame_record.h"
#include "core/runtime_services.h"
#include "startup/display_mode.h"

#include "vtrs2/app_context.h"
#include "win32/user.h"

#include <array>
#include <string>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::size_t TitleUnits = 512;
constexpr std::uint32_t FrameNamedInTitle = 0x1;

struct ModeSuffix {
    WORD type;
    const char16_t* text;
};

constexpr std::array<ModeSuffix, 5> ModeSuffixes{{
    {3, u" - 256 colors"},
    {4, u" - 16M colors (24 bit)"},
    {6, u" - 32768 colors"},
    {7, u" - 65536 colors"},
    {8, u" - 16M colors (32 bit)"},
}};

std::u16string ModeSuffixText() {
    const RuntimeServices& services = Services();
    if (services.displayFlags & DisplayDriverFlag)
        return (services.displayFlags & DisplayDirect3D8Flag) ? u" - D3D8 Mode" : u" - D3D9 Mode";
    for (const ModeSuffix& suffix : ModeSuffixes)
        if (suffix.type == services.displayType) return suffix.text;
    return {};
}

std::u16string BuildSuffix() {
    const std::string digits = std::to_string(GetLibraryVersion() & 0xFFFF);
    return u" - DLL Build #" + std::u16string(digits.begin(), digits.end());
}

bool HasText(const WCHAR* text) {
    return text && text[0];
}

} // namespace

void SetWindowTitleWithMode(const WCHAR* text) {
    const HWND window = Services().mainWindow;
    if (!window) return;
    std::u16string title = text ? text : u"";
    if (GetCommandLineOptions().debugTitle) {
        title = title.substr(0, TitleUnits - 1) + ModeSuffixText() + BuildSuffix();
        title.resize(std::min(title.size(), TitleUnits - 1));
    }
    SetWindowTextW(window, title.c_str());
}

void UpdateWindowTitle() {
    const ApplicationRecord* app = CurrentApplication();
    const FrameRecord* frame = Services().frame;
    if (!app) return;
    const bool named = frame && (frame->flags & FrameNamedInTitle) && HasText(frame->name);
    if (app->parent) {
        if (named && app->frameWindow) SetWindowTextW(app->frameWindow, frame->name);
        return;
    }
    if (named && HasText(app->name))
        SetWindowTitleWithMode((std::u16string(app->name) + u" - " + frame->name).c_str());
    else
        SetWindowTitleWithMode(HasText(app->name) ? app->name : u"Untitled");
}

} // namespace vtrrt
