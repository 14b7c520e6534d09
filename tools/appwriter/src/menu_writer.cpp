#include "appwriter/menu_writer.h"

#include "appwriter/byte_writer.h"

#include "vtrformat/chunks.h"

namespace appwriter {

using namespace vtrformat;

namespace {

constexpr std::uint16_t ItemPopup = 0x10;
constexpr std::uint16_t ItemEnd = 0x80;
constexpr std::uint32_t MenuDataHeaderSize = 20;

void WriteLevel(ByteWriter& w, const std::vector<MenuItemDesc>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItemDesc& item = items[i];
        std::uint16_t option = item.flags & ~(ItemPopup | ItemEnd);
        if (!item.popup.empty()) option |= ItemPopup;
        if (i + 1 == items.size()) option |= ItemEnd;
        w.U16(option);
        if (item.popup.empty()) w.U16(item.id);
        w.Units(item.text);
        w.U16(0);
        if (!item.popup.empty()) WriteLevel(w, item.popup);
    }
}

} // namespace

std::vector<std::uint8_t> WriteMenuTemplate(const std::vector<MenuItemDesc>& bar) {
    ByteWriter w;
    w.U16(0); // version
    w.U16(0); // offset of the items behind the header
    WriteLevel(w, bar);
    return w.Take();
}

std::vector<std::uint8_t> WriteShortcutTable(const std::vector<ShortcutDesc>& shortcuts) {
    ByteWriter w;
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
        const ShortcutDesc& s = shortcuts[i];
        w.U8(static_cast<std::uint8_t>(s.flags | (i + 1 == shortcuts.size() ? ShortcutLast : 0)));
        w.U8(0);
        w.U16(s.key);
        w.U16(s.command);
        w.U16(0);
    }
    return w.Take();
}

std::vector<std::uint8_t> WriteMenuData(const std::vector<MenuItemDesc>& bar,
                                        const std::vector<ShortcutDesc>& shortcuts) {
    const std::vector<std::uint8_t> menu = bar.empty() ? std::vector<std::uint8_t>{} : WriteMenuTemplate(bar);
    const std::vector<std::uint8_t> table = WriteShortcutTable(shortcuts);
    ByteWriter w;
    w.U32(MenuDataHeaderSize);
    w.U32(MenuDataHeaderSize);
    w.U32(static_cast<std::uint32_t>(menu.size()));
    w.U32(MenuDataHeaderSize + static_cast<std::uint32_t>(menu.size()));
    w.U32(static_cast<std::uint32_t>(table.size()));
    w.Bytes(menu);
    w.Bytes(table);
    return w.Take();
}

} // namespace appwriter
