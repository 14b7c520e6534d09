#include "translator/translated_templates.h"

#include "vtrformat/bytes.h"
#include "win32/dialog.h"
#include "win32/menu.h"

#include <algorithm>
#include <string>

namespace vtrrt {

using namespace win32;
using vtrformat::ByteReader;
using vtrformat::ByteWriter;
using vtrformat::GetU16;
using vtrformat::GetU32;

namespace {

constexpr std::uint16_t OrdinalMark = 0xFFFF;
constexpr std::size_t StringsPerBlock = 16;
constexpr std::size_t LongestCountedString = 0xFFFF;
// Menus nested deeper than the layer builds are left untranslated.
constexpr int DeepestMenu = 16;

// The two dialog template layouts: header and item header sizes, where the style and the item count lie.
struct DialogLayout {
    std::size_t headerSize;
    std::size_t styleAt;
    std::size_t countAt;
    std::size_t itemHeaderSize;
};
constexpr DialogLayout StandardDialog{18, 0, 8, 18};
constexpr DialogLayout ExtendedDialog{26, 12, 16, 24};

bool ReadText(ByteReader& reader, std::u16string& text) {
    text.clear();
    for (std::uint16_t unit = 0; reader.U16(unit);) {
        if (unit == 0) return true;
        text.push_back(static_cast<char16_t>(unit));
    }
    return false;
}

void WriteText(ByteWriter& writer, std::u16string_view text) {
    writer.Units(text);
    writer.U16(0);
}

// A field that holds either 0xFFFF and a number, or a terminated text: its bytes as they stand, and the text.
struct TextOrNumber {
    std::span<const std::uint8_t> bytes;
    bool number = false;
    std::u16string text;
};

bool ReadTextOrNumber(ByteReader& reader, std::span<const std::uint8_t> data, TextOrNumber& field) {
    const std::size_t start = reader.Position();
    std::uint16_t first = 0;
    if (!reader.U16(first)) return false;
    field.number = first == OrdinalMark;
    if (field.number) {
        std::uint16_t ignored = 0;
        if (!reader.U16(ignored)) return false;
    } else if (!reader.Seek(start) || !ReadText(reader, field.text)) {
        return false;
    }
    field.bytes = data.subspan(start, reader.Position() - start);
    return true;
}

bool AlignReader(ByteReader& reader) {
    return reader.Seek((reader.Position() + 3) & ~std::size_t{3});
}

void AlignWriter(ByteWriter& writer) {
    while (writer.Size() % 4)
        writer.U8(0);
}

std::u16string Translated(const CModuleResources& entry, const std::u16string& text, int kind, int id) {
    return text.empty() ? text : entry.Translate(text, kind, id);
}

// A block of 16 counted strings; each non-empty one is looked up by its identifier.
std::optional<std::vector<std::uint8_t>>
TranslatedStringBlock(const CModuleResources& entry, std::uint32_t id, std::span<const std::uint8_t> data) {
    const std::int64_t first =
        (static_cast<std::int64_t>(id) - 1) * static_cast<std::int64_t>(StringsPerBlock);
    ByteReader reader(data);
    ByteWriter writer;
    for (std::int64_t n = 0; reader.Left() > 0; ++n) {
        std::uint16_t count = 0;
        std::span<const std::uint8_t> units;
        if (!reader.U16(count) || !reader.Take(std::size_t{count} * 2, units)) return std::nullopt;
        if (count == 0 || GetU16(units.data()) == 0) {
            writer.U16(0);
            continue;
        }
        std::u16string text(count, u'\0');
        for (std::size_t i = 0; i < count; ++i)
            text[i] = static_cast<char16_t>(GetU16(units.data() + 2 * i));
        const std::u16string translation = entry.Translate(text, static_cast<int>(first + n), 0);
        // A translation too long to be counted keeps the block untranslated.
        if (translation.size() > LongestCountedString) return std::nullopt;
        writer.U16(static_cast<std::uint16_t>(translation.size()));
        writer.Units(translation);
    }
    return writer.Take();
}

struct DialogItem {
    std::span<const std::uint8_t> header;
    TextOrNumber className;
    TextOrNumber title;
    std::span<const std::uint8_t> creationData;
};

std::optional<std::vector<std::uint8_t>> TranslatedDialog(const CModuleResources& entry, std::uint32_t id,
                                                          std::span<const std::uint8_t> data) {
    if (data.size() < 4) return std::nullopt;
    const DialogLayout& layout = GetU16(data.data() + 2) == OrdinalMark ? ExtendedDialog : StandardDialog;
    const bool extended = &layout == &ExtendedDialog;
    if (data.size() < layout.headerSize) return std::nullopt;
    const DWORD style = GetU32(data.data() + layout.styleAt);
    const std::uint16_t itemCount = GetU16(data.data() + layout.countAt);
    const int dialog = static_cast<int>(id);

    ByteReader reader(data);
    reader.Seek(layout.headerSize);
    TextOrNumber menu, windowClass;
    std::u16string title;
    if (!ReadTextOrNumber(reader, data, menu) || !ReadTextOrNumber(reader, data, windowClass) ||
        !ReadText(reader, title))
        return std::nullopt;
    std::uint16_t pointSize = 0, weight = 0;
    std::uint8_t italic = 0, charSet = 0;
    std::u16string face;
    const bool hasFont = (style & DS_SETFONT) != 0;
    if (hasFont) {
        if (!reader.U16(pointSize)) return std::nullopt;
        if (extended && (!reader.U16(weight) || !reader.U8(italic) || !reader.U8(charSet)))
            return std::nullopt;
        if (!ReadText(reader, face)) return std::nullopt;
    }
    std::vector<DialogItem> items(itemCount);
    for (DialogItem& item : items) {
        std::uint16_t extra = 0;
        if (!AlignReader(reader) || !reader.Take(layout.itemHeaderSize, item.header) ||
            !ReadTextOrNumber(reader, data, item.className) || !ReadTextOrNumber(reader, data, item.title) ||
            !reader.U16(extra) || !reader.Take(extra, item.creationData))
            return std::nullopt;
    }

    ByteWriter writer;
    writer.Bytes(data.first(layout.headerSize));
    writer.Bytes(menu.bytes);
    writer.Bytes(windowClass.bytes);
    WriteText(writer, Translated(entry, title, DialogText, dialog));
    if (hasFont) {
        writer.U16(entry.dialogFontSize
                       ? static_cast<std::uint16_t>(std::min<std::uint32_t>(entry.dialogFontSize, 0xFFFF))
                       : pointSize);
        if (extended) {
            writer.U16(weight);
            writer.U8(italic);
            writer.U8(charSet);
        }
        WriteText(writer, entry.dialogFont.empty() ? face : entry.dialogFont);
    }
    for (const DialogItem& item : items) {
        AlignWriter(writer);
        writer.Bytes(item.header);
        writer.Bytes(item.className.bytes);
        if (item.title.number)
            writer.Bytes(item.title.bytes);
        else
            WriteText(writer, Translated(entry, item.title.text, DialogText, dialog));
        writer.U16(static_cast<std::uint16_t>(item.creationData.size()));
        writer.Bytes(item.creationData);
    }
    return writer.Take();
}

// One level of menu items, into popups as they come; false when the items run past the data or nest too
// deep.
bool RebuildMenuItems(const CModuleResources& entry, ByteWriter& writer, ByteReader& reader, int menu,
                      int depth) {
    if (depth > DeepestMenu) return false;
    for (;;) {
        std::uint16_t flags = 0, command = 0;
        std::u16string text;
        if (!reader.U16(flags)) return false;
        const bool popup = (flags & MF_POPUP) != 0;
        if (!popup && !reader.U16(command)) return false;
        if (!ReadText(reader, text)) return false;
        writer.U16(flags);
        if (!popup) writer.U16(command);
        WriteText(writer, Translated(entry, text, MenuText, menu));
        if (popup && !RebuildMenuItems(entry, writer, reader, menu, depth + 1)) return false;
        if (flags & MF_END) return true;
    }
}

std::optional<std::vector<std::uint8_t>> TranslatedMenu(const CModuleResources& entry, std::uint32_t id,
                                                        std::span<const std::uint8_t> data) {
    ByteReader reader(data);
    std::uint16_t version = 0, offset = 0;
    // Extended menu templates (version 1) stay as they are.
    if (!reader.U16(version) || !reader.U16(offset) || version != 0 || !reader.Skip(offset))
        return std::nullopt;
    ByteWriter writer;
    writer.Bytes(data.first(reader.Position()));
    if (!RebuildMenuItems(entry, writer, reader, static_cast<int>(id), 0)) return std::nullopt;
    return writer.Take();
}

} // namespace

std::optional<std::vector<std::uint8_t>> TranslatedCopy(std::uint32_t type, std::uint32_t id,
                                                        const CModuleResources& entry,
                                                        std::span<const std::uint8_t> data) {
    switch (type) {
    case RT_STRING:
        return TranslatedStringBlock(entry, id, data);
    case RT_DIALOG:
        return TranslatedDialog(entry, id, data);
    case RT_MENU:
        return TranslatedMenu(entry, id, data);
    default:
        return std::nullopt;
    }
}

void RebuildTranslatedResource(CResourceData& record, const CModuleResources& entry, const void* data,
                               std::size_t size) {
    if (!CurrentTranslator() || !record.copy.empty() || !data) return;
    record.rebuilt = true;
    std::optional<std::vector<std::uint8_t>> copy = TranslatedCopy(
        record.type, record.id, entry, std::span(static_cast<const std::uint8_t*>(data), size));
    if (copy) record.copy = std::move(*copy);
}

} // namespace vtrrt
