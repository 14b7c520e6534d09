// Menus as data: items, states and popups, menu templates, and the menu loop's messages.
#include "win32/menu.h"
#include "handle_storage.h"
#include "win32/resource.h"

#include "menu_internal.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace win32 {

namespace {

constexpr UINT StateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE;
constexpr UINT NotThere = 0xFFFFFFFF;
// Templates deeper or longer than this are refused as malformed rather than exhausting the stack or memory.
constexpr int MaxTemplateDepth = 16;
constexpr std::size_t MaxTemplateItems = 4096;

std::unordered_set<HMENU>& LiveMenus() {
    static std::unordered_set<HMENU> menus;
    return menus;
}

HMENU NewMenu(bool popup) {
    auto* menu = detail::NewHandleObject<MenuObject>();
    menu->popup = popup;
    LiveMenus().insert(menu);
    return menu;
}

// Finds an item by position, or by command id anywhere in the menu and its popups (depth first).
MenuItem* FindItem(HMENU menu, UINT item, UINT flags, HMENU* owner = nullptr) {
    if (!IsMenu(menu)) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (item >= menu->items.size()) return nullptr;
        if (owner) *owner = menu;
        return &menu->items[item];
    }
    for (MenuItem& entry : menu->items) {
        if (!(entry.flags & MF_POPUP) && entry.id == item) {
            if (owner) *owner = menu;
            return &entry;
        }
        if (entry.popup)
            if (MenuItem* found = FindItem(entry.popup, item, flags, owner)) return found;
    }
    return nullptr;
}

bool MakeItem(UINT flags, UINT_PTR item, LPCWSTR content, MenuItem& out) {
    out = MenuItem{};
    out.flags = flags & ~MF_BYPOSITION;
    if (flags & MF_POPUP) {
        out.popup = reinterpret_cast<HMENU>(item);
        if (!IsMenu(out.popup)) return false;
        out.popup->popup = true;
    } else {
        out.id = static_cast<UINT>(item);
    }
    if (flags & MF_OWNERDRAW)
        out.data = reinterpret_cast<ULONG_PTR>(content);
    else if (!(flags & (MF_SEPARATOR | MF_BITMAP)) && content)
        out.text = content;
    return true;
}

void RefreshBar(HMENU menu) {
    MenuChanged(menu);
}

// Reads little-endian words from a bounded template; every read is checked against the end.
struct TemplateReader {
    const BYTE* bytes;
    std::size_t size;
    std::size_t pos = 0;
    std::size_t items = 0;

    bool Word(WORD& out) {
        if (size - pos < 2) return false;
        out = static_cast<WORD>(bytes[pos] | bytes[pos + 1] << 8);
        pos += 2;
        return true;
    }
    bool Text(std::u16string& out) {
        out.clear();
        for (;;) {
            WORD unit;
            if (!Word(unit)) return false;
            if (unit == 0) return true;
            out.push_back(static_cast<char16_t>(unit));
        }
    }
};

bool ReadTemplateLevel(TemplateReader& reader, HMENU menu, int depth) {
    if (depth > MaxTemplateDepth) return false;
    for (;;) {
        if (++reader.items > MaxTemplateItems) return false;
        WORD option = 0, id = 0;
        if (!reader.Word(option)) return false;
        if (!(option & MF_POPUP) && !reader.Word(id)) return false;
        std::u16string text;
        if (!reader.Text(text)) return false;
        const UINT flags = option & ~(MF_END | MF_BYPOSITION);
        if (option & MF_POPUP) {
            HMENU sub = CreatePopupMenu();
            if (!ReadTemplateLevel(reader, sub, depth + 1) ||
                !AppendMenuW(menu, flags, reinterpret_cast<UINT_PTR>(sub), text.c_str())) {
                DestroyMenu(sub);
                return false;
            }
        } else if (id == 0 && text.empty() && !(flags & MF_OWNERDRAW)) {
            AppendMenuW(menu, MF_SEPARATOR | (flags & StateBits), 0, nullptr);
        } else {
            AppendMenuW(menu, flags, id, text.c_str());
        }
        if (option & MF_END) return true;
    }
}

HMENU ParseTemplate(TemplateReader& reader) {
    WORD version = 0, offset = 0;
    if (!reader.Word(version) || !reader.Word(offset) || version != 0) return nullptr;
    if (offset > reader.size - reader.pos) return nullptr;
    reader.pos += offset;
    HMENU menu = CreateMenu();
    if (!ReadTemplateLevel(reader, menu, 0)) {
        DestroyMenu(menu);
        return nullptr;
    }
    return menu;
}

} // namespace

HMENU CreateMenu() {
    return NewMenu(false);
}
HMENU CreatePopupMenu() {
    return NewMenu(true);
}

BOOL IsMenu(HMENU menu) {
    return menu && LiveMenus().count(menu) ? TRUE : FALSE;
}

BOOL DestroyMenu(HMENU menu) {
    if (!IsMenu(menu)) return FALSE;
    MenuDestroyed(menu);
    // A menu bar destroyed while shown leaves its window without one.
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetMenu(w) == menu) SetMenu(w, nullptr);
    LiveMenus().erase(menu);
    for (MenuItem& item : menu->items)
        if (item.popup) DestroyMenu(item.popup);
    detail::DeleteHandleObject(menu);
    return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR item, LPCWSTR content) {
    MenuItem entry;
    if (!IsMenu(menu) || !MakeItem(flags, item, content, entry)) return FALSE;
    menu->items.push_back(std::move(entry));
    RefreshBar(menu);
    return TRUE;
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR content) {
    MenuItem entry;
    if (!IsMenu(menu) || !MakeItem(flags, item, content, entry)) return FALSE;
    HMENU owner = menu;
    std::size_t at = menu->items.size();
    if (MenuItem* before = FindItem(menu, position, flags, &owner))
        at = static_cast<std::size_t>(before - owner->items.data());
    else if (!(flags & MF_BYPOSITION))
        return FALSE;
    owner->items.insert(owner->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    RefreshBar(menu);
    return TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR content) {
    MenuItem* target = FindItem(menu, position, flags);
    MenuItem entry;
    if (!target) return FALSE;
    // A popup given again as itself keeps its submenu; any other popup it held is destroyed.
    if (!MakeItem(flags, item, content, entry)) return FALSE;
    if (target->popup && target->popup != entry.popup) DestroyMenu(target->popup);
    *target = std::move(entry);
    RefreshBar(menu);
    return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
    HMENU owner = nullptr;
    MenuItem* target = FindItem(menu, position, flags, &owner);
    if (!target) return FALSE;
    owner->items.erase(owner->items.begin() + (target - owner->items.data()));
    RefreshBar(menu);
    return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
    MenuItem* target = FindItem(menu, position, flags);
    if (!target) return FALSE;
    HMENU popup = target->popup;
    RemoveMenu(menu, position, flags);
    if (popup) DestroyMenu(popup);
    return TRUE;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    MenuItem* target = FindItem(menu, item, flags);
    if (!target) return NotThere;
    const DWORD previous = target->flags & MF_CHECKED;
    target->flags = (target->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    if (previous != (target->flags & MF_CHECKED)) RefreshBar(menu);
    return previous;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    MenuItem* target = FindItem(menu, item, flags);
    if (!target) return static_cast<BOOL>(NotThere);
    const UINT previous = target->flags & (MF_GRAYED | MF_DISABLED);
    target->flags = (target->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    if (previous != (target->flags & (MF_GRAYED | MF_DISABLED))) RefreshBar(menu);
    return static_cast<BOOL>(previous);
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    const MenuItem* target = FindItem(menu, item, flags);
    if (!target) return NotThere;
    if (target->popup)
        return (static_cast<UINT>(std::min<std::size_t>(target->popup->items.size(), 0xFF)) << 8) |
               (target->flags & 0xFF);
    return target->flags;
}

int GetMenuItemCount(HMENU menu) {
    return IsMenu(menu) ? static_cast<int>(menu->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    if (position < 0) return NotThere;
    const MenuItem* target = FindItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
    return target && !target->popup ? target->id : NotThere;
}

HMENU GetSubMenu(HMENU menu, int position) {
    if (position < 0) return nullptr;
    const MenuItem* target = FindItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
    return target ? target->popup : nullptr;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int capacity, UINT flags) {
    const MenuItem* target = FindItem(menu, item, flags);
    if (!target) return 0;
    if (!buffer || capacity <= 0) return static_cast<int>(target->text.size());
    const int count = std::min(static_cast<int>(target->text.size()), capacity - 1);
    std::copy_n(target->text.data(), count, buffer);
    buffer[count] = 0;
    return count;
}

ULONG_PTR GetMenuItemData(HMENU menu, UINT item, UINT flags) {
    const MenuItem* target = FindItem(menu, item, flags);
    return target ? target->data : 0;
}

BOOL DrawMenuBar(HWND window) {
    if (!Win(window)) return FALSE;
    MenuBarChanged(window);
    return TRUE;
}

HMENU LoadMenuIndirectSizedW(const void* menuTemplate, std::size_t size) {
    if (!menuTemplate) return nullptr;
    TemplateReader reader{static_cast<const BYTE*>(menuTemplate), size};
    return ParseTemplate(reader);
}

HMENU LoadMenuIndirectW(const void* menuTemplate) {
    // No size is given: the template is trusted to end where its items say.
    return LoadMenuIndirectSizedW(menuTemplate, static_cast<std::size_t>(-1) / 2);
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
    HRSRC found = FindResourceW(instance, name, MAKEINTRESOURCEW(RT_MENU));
    if (!found) return nullptr;
    return LoadMenuIndirectSizedW(LockResource(LoadResource(instance, found)),
                                  SizeofResource(instance, found));
}

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name) {
    // Menus are found by number, the same in both forms.
    return LoadMenuW(instance, reinterpret_cast<LPCWSTR>(name));
}

void EnterMenuLoop(HWND window) {
    SendMessageW(window, WM_ENTERMENULOOP, 0, 0);
    if (HMENU bar = GetMenu(window)) SendMessageW(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
}

void ExitMenuLoop(HWND window) {
    SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    if (Win(window)) SendMessageW(window, WM_EXITMENULOOP, 0, 0);
}

BOOL ChooseMenuItem(HWND window, HMENU menu, UINT position) {
    const MenuItem* target = FindItem(menu, position, MF_BYPOSITION);
    if (!target || target->popup || (target->flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR))) return FALSE;
    return PostMessageW(window, WM_COMMAND, target->id & 0xFFFF, 0);
}

} // namespace win32
