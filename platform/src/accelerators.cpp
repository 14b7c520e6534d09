// Accelerator tables: keys turned into menu commands before the window sees them.
#include "handle_storage.h"
#include "win32/menu.h"

#include <unordered_set>
#include <vector>

namespace win32 {

struct AccelObject {
    std::vector<ACCEL> entries;
};

namespace {

constexpr LPARAM kAltDown = LPARAM(1) << 29;

std::unordered_set<HACCEL>& LiveTables() {
    static std::unordered_set<HACCEL> tables;
    return tables;
}

bool Down(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

bool Matches(const ACCEL& entry, const MSG& msg) {
    const bool keyMessage = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    const bool charMessage = msg.message == WM_CHAR || msg.message == WM_SYSCHAR;
    const bool alt = (msg.lParam & kAltDown) != 0;
    if (entry.fVirt & FVIRTKEY) {
        if (!keyMessage || entry.key != (msg.wParam & 0xFFFF)) return false;
        return ((entry.fVirt & FSHIFT) != 0) == Down(VK_SHIFT) &&
               ((entry.fVirt & FCONTROL) != 0) == Down(VK_CONTROL) && ((entry.fVirt & FALT) != 0) == alt;
    }
    return charMessage && entry.key == (msg.wParam & 0xFFFF) && ((entry.fVirt & FALT) != 0) == alt;
}

// A command whose item the window's menu holds greyed or disabled is not sent.
bool CommandEnabled(HWND window, WORD command) {
    HMENU menu = GetMenu(window);
    if (!menu) return true;
    const UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
    return state == 0xFFFFFFFF || !(state & (MF_GRAYED | MF_DISABLED));
}

} // namespace

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
    if (!entries || count <= 0) return nullptr;
    auto* table = detail::NewHandleObject<AccelObject>(std::vector<ACCEL>(entries, entries + count));
    LiveTables().insert(table);
    return table;
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    if (!LiveTables().erase(table)) return FALSE;
    detail::DeleteHandleObject(table);
    return TRUE;
}

int TranslateAcceleratorW(HWND window, HACCEL table, MSG* msg) {
    if (!window || !msg || !LiveTables().count(table)) return 0;
    for (const ACCEL& entry : table->entries) {
        if (!Matches(entry, *msg)) continue;
        if (CommandEnabled(window, entry.cmd)) SendMessageW(window, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
        return 1;
    }
    return 0;
}

} // namespace win32
