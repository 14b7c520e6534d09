// The global atom table: 16-bit numbers for names, counted per add.
#include "paths.h"

#include <mutex>
#include <vector>

namespace win32 {

namespace {

constexpr ATOM FirstStringAtom = 0xC000;
constexpr ATOM LastIntegerAtom = 0xBFFF;

struct AtomEntry {
    std::u32string folded; // empty when the slot is free
    int count = 0;
};

struct AtomTable {
    std::mutex lock;
    std::vector<AtomEntry> entries; // index i is atom FirstStringAtom + i
};

AtomTable& Atoms() {
    static AtomTable* table = new AtomTable;
    return *table;
}

// "#123" names the integer atom 123; 0 when the name is not of that form or out of range.
ATOM IntegerAtom(std::u16string_view name) {
    if (name.size() < 2 || name[0] != u'#') return 0;
    unsigned value = 0;
    for (char16_t c : name.substr(1)) {
        if (c < u'0' || c > u'9') return 0;
        value = value * 10 + (c - u'0');
        if (value > LastIntegerAtom) return 0;
    }
    return static_cast<ATOM>(value);
}

bool Check(LPCWSTR name) {
    const size_t length = name ? std::char_traits<char16_t>::length(name) : 0;
    if (length == 0 || length > 255) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

} // namespace

ATOM GlobalAddAtomW(LPCWSTR name) {
    if (!Check(name)) return 0;
    if (ATOM integer = IntegerAtom(name)) return integer;
    const std::u32string folded = detail::FoldCase(ToUtf8(name));
    AtomTable& table = Atoms();
    std::lock_guard guard(table.lock);
    size_t freeSlot = table.entries.size();
    for (size_t i = 0; i < table.entries.size(); ++i) {
        AtomEntry& entry = table.entries[i];
        if (entry.count > 0 && entry.folded == folded) {
            ++entry.count;
            return static_cast<ATOM>(FirstStringAtom + i);
        }
        if (entry.count == 0 && freeSlot == table.entries.size()) freeSlot = i;
    }
    if (freeSlot == table.entries.size()) {
        if (table.entries.size() > 0xFFFFu - FirstStringAtom) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        table.entries.emplace_back();
    }
    table.entries[freeSlot] = {folded, 1};
    return static_cast<ATOM>(FirstStringAtom + freeSlot);
}

ATOM GlobalFindAtomW(LPCWSTR name) {
    if (!Check(name)) return 0;
    if (ATOM integer = IntegerAtom(name)) return integer;
    const std::u32string folded = detail::FoldCase(ToUtf8(name));
    AtomTable& table = Atoms();
    std::lock_guard guard(table.lock);
    for (size_t i = 0; i < table.entries.size(); ++i)
        if (table.entries[i].count > 0 && table.entries[i].folded == folded)
            return static_cast<ATOM>(FirstStringAtom + i);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}

ATOM GlobalDeleteAtom(ATOM atom) {
    if (atom < FirstStringAtom) return 0; // integer atoms are never stored
    AtomTable& table = Atoms();
    std::lock_guard guard(table.lock);
    const size_t index = atom - FirstStringAtom;
    if (index >= table.entries.size() || table.entries[index].count == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return atom;
    }
    if (--table.entries[index].count == 0) table.entries[index].folded.clear();
    return 0;
}

} // namespace win32
