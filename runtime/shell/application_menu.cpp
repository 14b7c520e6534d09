#include "shell/application_menu.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "shell/window_procedures.h"

#include <cstdio>

using namespace win32;

namespace vtrrt {

namespace {

constexpr std::size_t MenuDataHeader = 20;
constexpr int MenuTextUnits = 256;
constexpr UINT NotThere = 0xFFFFFFFF;
constexpr int FirstMenuOnlyCommand = 2000;
constexpr int ViewMenuPosition = 1;

// The part of the chunk at an offset and size read from it; false when the fields or the part do not lie
// inside.
bool Slice(std::span<const std::uint8_t> data, std::size_t fieldAt, std::span<const std::uint8_t>& out) {
    ByteReader fields(data);
    std::uint32_t offset = 0, size = 0;
    if (!fields.Seek(fieldAt) || !fields.U32(offset) || !fields.U32(size)) return false;
    out = {};
    if (size == 0) return true;
    ByteReader part(data);
    return part.Seek(offset) && part.Take(size, out);
}

// The icon table holds as many entries as its count says only when they fit.
bool HasIconTable(std::span<const std::uint8_t> table) {
    std::uint32_t count = 0;
    return ByteReader(table).U32(count) && count != 0 && count <= (table.size() - 4) / 4;
}

MenuLoad Malformed(const char* what) {
    std::fprintf(stderr, "vtrrt: the application's menu data is damaged (%s); it runs without a menu\n",
                 what);
    std::fflush(stderr);
    FreeApplicationMenu(nullptr);
    return MenuLoad::Malformed;
}

bool KeyDown(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

} // namespace

ApplicationMenu& CurrentMenu() {
    static ApplicationMenu menu;
    return menu;
}

MenuLoad LoadApplicationMenu(std::span<const std::uint8_t> menuData,
                             std::span<const std::uint8_t> iconTable) {
    ApplicationMenu& state = CurrentMenu();
    if (menuData.empty()) return MenuLoad::NoMenu;
    if (menuData.size() < MenuDataHeader) return Malformed("short header");
    std::span<const std::uint8_t> menuTemplate, keys;
    if (!Slice(menuData, 4, menuTemplate)) return Malformed("menu offset");
    if (!Slice(menuData, 12, keys)) return Malformed("shortcut offset");
    if (!menuTemplate.empty()) {
        state.menu = LoadMenuIndirectSizedW(menuTemplate.data(), menuTemplate.size());
        if (!state.menu) return Malformed("menu template");
    }
    // Only whole entries are kept, so that the walk never reads past the table.
    state.keyTable.assign(
        keys.begin(),
        keys.begin() + static_cast<std::ptrdiff_t>(keys.size() / ShortcutEntrySize * ShortcutEntrySize));
    if (state.menu && HasIconTable(iconTable)) ConvertMenuToOwnerDraw(state.menu, state.itemRecords, 1);
    if (const ApplicationRecord* app = CurrentApplication(); app && state.menu)
        RemoveUnavailableMenuCommands(state.menu, *app);
    return state.menu || !state.keyTable.empty() ? MenuLoad::Loaded : MenuLoad::NoMenu;
}

void FreeApplicationMenu(HWND window) {
    ApplicationMenu& state = CurrentMenu();
    if (state.menu && !(window && GetMenu(window) == state.menu)) DestroyMenu(state.menu);
    state.menu = nullptr;
    state.keyTable.clear();
    state.itemRecords.clear();
}

void RebuildApplicationMenu(ApplicationRecord& app) {
    if (app.parent) return;
    if (!(app.run.runFlags & RunFlagMenuBuilt)) {
        app.run.runFlags |= RunFlagMenuBuilt;
        return;
    }
    const HWND window = Services().mainWindow;
    const bool shown = window && CurrentMenu().menu && GetMenu(window) == CurrentMenu().menu;
    HideMenuBar();
    FreeApplicationMenu(window);
    const std::span<const std::uint8_t> menuData(app.menuData.data,
                                                 app.menuData.data ? app.menuData.size : 0);
    const std::span<const std::uint8_t> icons(app.imageList.data,
                                              app.imageList.data ? app.imageList.size : 0);
    LoadApplicationMenu(menuData, icons);
    if (shown) ShowMenuBar();
}

void ConvertMenuToOwnerDraw(HMENU menu, std::deque<std::u16string>& records, std::uint16_t topLevel) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT position = static_cast<UINT>(i);
        const UINT state = GetMenuState(menu, position, MF_BYPOSITION);
        HMENU popup = GetSubMenu(menu, i);
        const UINT id = popup ? 0 : GetMenuItemID(menu, i);
        WCHAR text[MenuTextUnits]{};
        GetMenuStringW(menu, position, text, MenuTextUnits, MF_BYPOSITION);
        const UINT keep = state & (MF_CHECKED | MF_GRAYED | MF_DISABLED);
        if (!popup && id == 0 && text[0] == 0) {
            ModifyMenuW(menu, position, MF_BYPOSITION | MF_OWNERDRAW | MF_SEPARATOR | keep, 0, nullptr);
            continue;
        }
        std::u16string& record = records.emplace_back(1, static_cast<char16_t>(topLevel));
        record += text;
        const UINT flags = MF_BYPOSITION | MF_OWNERDRAW | keep | (popup ? MF_POPUP : 0);
        const UINT_PTR item = popup ? reinterpret_cast<UINT_PTR>(popup) : id;
        ModifyMenuW(menu, position, flags, item, reinterpret_cast<LPCWSTR>(record.c_str()));
        if (popup) ConvertMenuToOwnerDraw(popup, records, 0);
    }
}

void RemoveTrailingMenuSeparators(HMENU menu) {
    for (int count = GetMenuItemCount(menu); count > 0; --count) {
        const UINT last = static_cast<UINT>(count - 1);
        if (!(GetMenuState(menu, last, MF_BYPOSITION) & MF_SEPARATOR)) return;
        DeleteMenu(menu, last, MF_BYPOSITION);
    }
}

void RemoveUnavailableMenuCommands(HMENU menu, const ApplicationRecord& app) {
    if (!app.framePasswords) DeleteMenu(menu, CommandPassword, MF_BYCOMMAND);
    if (!(app.header.flags1 & HeaderFullScreenSwitching) &&
        GetMenuState(menu, CommandFullScreen, MF_BYCOMMAND) != NotThere) {
        DeleteMenu(menu, CommandFullScreen, MF_BYCOMMAND);
        if (HMENU view = GetSubMenu(menu, ViewMenuPosition)) RemoveTrailingMenuSeparators(view);
    }
}

int ShortcutToMenuCommand(HWND window, bool alt, int key, std::span<const std::uint8_t> table) {
    const bool control = KeyDown(VK_CONTROL), shift = KeyDown(VK_SHIFT);
    for (std::size_t at = 0; at + ShortcutEntrySize <= table.size(); at += ShortcutEntrySize) {
        // The loop hands out whole entries only, so every read succeeds.
        ByteReader entry(table.subspan(at, ShortcutEntrySize));
        std::uint8_t flags = 0;
        std::uint16_t entryKey = 0, command = 0;
        entry.U8(flags);
        entry.Skip(1);
        entry.U16(entryKey);
        entry.U16(command);
        const bool matches = entryKey == key && ((flags & ShortcutAlt) != 0) == alt &&
                             ((flags & ShortcutControl) != 0) == control &&
                             ((flags & ShortcutShift) != 0) == shift;
        if (matches && command != 0) {
            if (command >= FirstMenuOnlyCommand && !(flags & ShortcutEvenGreyed)) {
                // Commands of the application's own menu fire only while their item is there and enabled.
                const UINT state = GetMenuState(GetMenu(window), static_cast<UINT>(command), MF_BYCOMMAND);
                if (state == NotThere || (state & MF_GRAYED)) return 0;
            }
            PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(command) + 0x10000, 0);
            return 1;
        }
        if (flags & ShortcutLast) break;
    }
    return 0;
}

void UpdateMenuStates(HMENU menu, const ApplicationRecord& app) {
    const std::uint16_t flags = Services().flags;
    CheckMenuItem(menu, CommandSamples,
                  MF_BYCOMMAND | ((flags & RuntimeSamplesOn) ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, CommandMusic, MF_BYCOMMAND | ((flags & RuntimeMusicOn) ? MF_CHECKED : MF_UNCHECKED));
    EnableMenuItem(menu, CommandPassword, MF_BYCOMMAND | (app.framePasswords ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, CommandHelp,
                   MF_BYCOMMAND | (app.helpFile && app.helpFile[0] ? MF_ENABLED : MF_GRAYED));
}

} // namespace vtrrt
