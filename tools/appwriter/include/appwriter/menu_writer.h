// Writes an application's menu: a menu template (header version 0) and a shortcut table of 8-byte entries,
// framed as the menu chunk's payload.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace appwriter {

struct MenuItemDesc {
    std::u16string text;             // empty with id 0: a separator
    std::uint16_t id = 0;            // ignored for popups
    std::uint16_t flags = 0;         // MF_GRAYED 0x1, MF_CHECKED 0x8, ...; MF_POPUP and MF_END are added here
    std::vector<MenuItemDesc> popup; // non-empty: the item opens this popup
};

struct ShortcutDesc {
    std::uint8_t flags = 0; // 4 Shift, 8 Control, 0x10 Alt, 0x40 post even when greyed; 0x80 is added last
    std::uint16_t key = 0;  // virtual key
    std::uint16_t command = 0;
};

std::vector<std::uint8_t> WriteMenuTemplate(const std::vector<MenuItemDesc>& bar);
std::vector<std::uint8_t> WriteShortcutTable(const std::vector<ShortcutDesc>& shortcuts);

// The menu chunk's payload: u32 header size (20), then the template's offset and size, then the shortcut
// table's offset and size; the template and the table follow.
std::vector<std::uint8_t> WriteMenuData(const std::vector<MenuItemDesc>& bar,
                                        const std::vector<ShortcutDesc>& shortcuts);

} // namespace appwriter
