// The application's own menu and keyboard shortcuts: built from the menu chunk of the application data, its
// item states kept in step with the runtime, and shortcuts turned into menu commands.
#pragma once

#include "win32/user.h"

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

namespace vtrrt {

struct ApplicationRecord;

// Menu commands of the runtime.
enum MenuCommand : int {
    CommandQuit = 1008,
    CommandQuitToo = 1009,
    CommandRestart = 1010,
    CommandPassword = 1011,
    CommandPause = 1012,
    CommandPlayerControls = 1013,
    CommandSamples = 1020,
    CommandMusic = 1021,
    CommandMenuBar = 1022,
    CommandHelp = 1023,
    CommandAbout = 1024,
    CommandFullScreen = 1025,
    CommandMdiCascade = 1026,
    CommandMdiTileHorizontally = 1027,
    CommandMdiTileVertically = 1028,
    CommandMdiArrangeIcons = 1029,
    CommandMdiNext = 1030,
    CommandMdiPrevious = 1031,
    CommandMdiClose = 1032,
    CommandNothing = 1033,
};

// Shortcut entries: 8 bytes {u8 flags, u8 reserved, u16 virtual key, u16 command, u16 reserved}.
constexpr std::size_t ShortcutEntrySize = 8;
constexpr std::uint8_t ShortcutShift = 0x04;
constexpr std::uint8_t ShortcutControl = 0x08;
constexpr std::uint8_t ShortcutAlt = 0x10;
constexpr std::uint8_t ShortcutEvenGreyed = 0x40;

struct ApplicationMenu {
    win32::HMENU menu = nullptr;
    std::vector<std::uint8_t> keyTable; // whole entries only
    // Owner-drawn item records {u16 top-level flag, text, NUL}; each item's data word points at its record,
    // which never moves while the menu lives.
    std::deque<std::u16string> itemRecords;
};

ApplicationMenu& CurrentMenu();

enum class MenuLoad { Loaded, NoMenu, Malformed };

// Builds the menu and copies the shortcut table from the menu chunk; with a menu icon table (u32 count, then
// {u16 command, u16 image}) the items become owner-drawn. The current application's unavailable commands
// are then taken out (RemoveUnavailableMenuCommands). A chunk whose offsets, sizes or template do not hold
// leaves the application without a menu or shortcuts (Malformed), and says so on stderr.
MenuLoad LoadApplicationMenu(std::span<const std::uint8_t> menuData, std::span<const std::uint8_t> iconTable);
// Destroys the menu unless it is still set on `window`, and drops the shortcuts and item records.
void FreeApplicationMenu(win32::HWND window);
// At an application's start: the first time only notes that the menu is built (the loader built it); after
// that (a restart) the menu and shortcuts are built again from the menu data, and the menu bar comes back
// when it was shown. Sub-applications have no menu of their own.
void RebuildApplicationMenu(ApplicationRecord& app);

// Turns every item of the menu (and of its popups, with flag 0) into an owner-drawn item with a record.
void ConvertMenuToOwnerDraw(win32::HMENU menu, std::deque<std::u16string>& records, std::uint16_t topLevel);
void RemoveTrailingMenuSeparators(win32::HMENU menu);
// Takes out the password command when no frame has a password, and the full-screen command when the
// header does not allow switching, with the separators that end the View submenu (the second) after it.
void RemoveUnavailableMenuCommands(win32::HMENU menu, const ApplicationRecord& app);

// Posts WM_COMMAND (id + 0x10000, 0) to the window for the first entry that matches the key, Alt and the
// Control and Shift keys' states; returns 1 when a command was posted.
int ShortcutToMenuCommand(win32::HWND window, bool alt, int key, std::span<const std::uint8_t> table);

// What WM_INITMENU does: sound items checked by the runtime's flags, password and help items enabled only
// when the application has them.
void UpdateMenuStates(win32::HMENU menu, const ApplicationRecord& app);

} // namespace vtrrt
