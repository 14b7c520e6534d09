// Writes extended dialog templates (DLGTEMPLATEEX) word by word, at compile time for the resources of a
// module or at run time for tests: the header with its font, then each item aligned to four bytes.
#pragma once

#include "win32/dialog.h"

#include <array>
#include <cstddef>

namespace win32 {

template <std::size_t Words> class DialogTemplateWriter {
public:
    struct Box {
        SHORT x, y, cx, cy;
    };

    // The header: style (DS_SETFONT is added), extended style, position and size in dialog units, title,
    // and the font's point size and face.
    constexpr DialogTemplateWriter(DWORD style, DWORD exStyle, Box box, const WCHAR* title, WORD pointSize,
                                   const WCHAR* face) {
        Word(1);      // version
        Word(0xFFFF); // extended
        Dword(0);     // help id
        Dword(exStyle);
        Dword(style | DS_SETFONT);
        itemCount_ = size_;
        Word(0);
        Rect(box);
        Word(0); // no menu
        Word(0); // the dialog class
        Text(title);
        Word(pointSize);
        Word(400); // weight
        Word(0);   // italic, character set
        Text(face);
    }

    // A control of a class given by ordinal (DialogClassButton, ...), with its text.
    constexpr DialogTemplateWriter& Item(WORD classOrdinal, DWORD style, Box box, DWORD id, const WCHAR* text,
                                         DWORD exStyle = 0) {
        ItemHead(style, box, id, exStyle);
        Word(0xFFFF);
        Word(classOrdinal);
        Text(text);
        Word(0); // no creation data
        return *this;
    }
    // A control whose title is a resource number (an icon of a static).
    constexpr DialogTemplateWriter& ItemWithResource(WORD classOrdinal, DWORD style, Box box, DWORD id,
                                                     WORD resource) {
        ItemHead(style, box, id, 0);
        Word(0xFFFF);
        Word(classOrdinal);
        Word(0xFFFF);
        Word(resource);
        Word(0);
        return *this;
    }

    constexpr const WORD* Data() const { return words_.data(); }
    constexpr std::size_t Bytes() const { return (size_ < Words ? size_ : Words) * sizeof(WORD); }

private:
    // Words past the capacity are counted but not kept: Complete() tells.
    constexpr void Word(WORD w) {
        if (size_ < Words) words_[size_] = w;
        ++size_;
    }
    constexpr void Dword(DWORD d) {
        Word(static_cast<WORD>(d & 0xFFFF));
        Word(static_cast<WORD>(d >> 16));
    }
    constexpr void Text(const WCHAR* text) {
        while (text && *text)
            Word(*text++);
        Word(0);
    }
    constexpr void Rect(Box box) {
        for (SHORT v : {box.x, box.y, box.cx, box.cy})
            Word(static_cast<WORD>(v));
    }
    constexpr void ItemHead(DWORD style, Box box, DWORD id, DWORD exStyle) {
        if (size_ % 2) Word(0);
        Dword(0); // help id
        Dword(exStyle);
        Dword(style | WS_CHILD);
        Rect(box);
        Dword(id);
        if (itemCount_ < Words) ++words_[itemCount_];
    }

    std::array<WORD, Words> words_{};
    std::size_t size_ = 0;
    std::size_t itemCount_ = 0;

public:
    // False when the template did not fit the writer's words.
    constexpr bool Complete() const { return size_ <= Words; }
};

} // namespace win32
