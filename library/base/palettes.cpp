// The default palettes of the display modes, the shared palettes of each thread and their registry, and
// the plain conversions between palette entries and colour-table entries. Matching colours against a
// palette is the surfaces' (palette_matching.cpp); the palette of an application context and its windows
// is the window layer's (app_palette.cpp).
#include "vtrs2/palettes.h"

#include "vtrs2/display_modes.h"
#include "win32/gdi.h"

#include <algorithm>
#include <array>
#include <climits>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_set>
#include <vector>

using namespace win32;

namespace {

// Colours as 0xRRGGBB, the way palettes are usually written down.
constexpr std::array<DWORD, 16> sixteenColours = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                                  0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                                  0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
constexpr std::array<DWORD, 10> lowStaticColours = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                                    0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0};
constexpr std::array<DWORD, 10> highStaticColours = {0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                                     0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
constexpr int FirstFreeEntry = 10;
constexpr int FreeEntryCount = 236;
constexpr std::array<DWORD, FreeEntryCount> freeColours = {
    0xFFA700, 0xD78700, 0xB36B07, 0x8B4F07, 0x673707, 0x432307, 0x27002F, 0x3B003F, 0x4F004F, 0x630057,
    0x730057, 0x83005B, 0x970057, 0xA7004F, 0xB70047, 0xCB003B, 0xCF002F, 0xD3001F, 0xDB0013, 0xDF0007,
    0xE30000, 0xE71300, 0xEF2300, 0xF33300, 0xF74300, 0xFF5700, 0xFF6300, 0xFF6F00, 0xFF7F00, 0xFF8B00,
    0xFF9700, 0xFFA300, 0xFFAF00, 0xFFBF00, 0xFFCB00, 0xFFD700, 0xFFE300, 0xFFEF00, 0xFFFF01, 0xEFFF00,
    0xDFFF00, 0xCFFF00, 0xBFFF00, 0xAFFF00, 0x9FFF00, 0x8FFF00, 0x7FFF00, 0x6FFF00, 0x5FFF00, 0x4FFF00,
    0x3FFF00, 0x2FFF00, 0x1FFF00, 0x0FFF00, 0x01FF00, 0x00F300, 0x00E700, 0x00DF00, 0x00D300, 0x00C700,
    0x00BF00, 0x00B300, 0x00A700, 0x009B00, 0x008F00, 0x008300, 0x007B00, 0x006F00, 0x006300, 0x005B00,
    0x005300, 0x005B07, 0x00670B, 0x007313, 0x007B1F, 0x008727, 0x009337, 0x009B43, 0x00A753, 0x00B363,
    0x00BB73, 0x00C787, 0x00D39F, 0x00DFB3, 0x00E7CB, 0x00F3E3, 0x01FFFF, 0x00E7FB, 0x00D3F7, 0x00BBF3,
    0x00A7EF, 0x0093E7, 0x007FE3, 0x006FDF, 0x005BDB, 0x004BD7, 0x0037D3, 0x0027CF, 0x0017CB, 0x0007C7,
    0x0000C3, 0x0F00BF, 0x1B00BB, 0x3300B3, 0x4B00AB, 0x5F00A3, 0x6F009B, 0x7F0093, 0x8B0087, 0x83006B,
    0x7B0053, 0x8B0063, 0x9B0073, 0xAB0087, 0xBB009B, 0xCB00B3, 0xDB00CB, 0xEB00E3, 0xFF01FF, 0xFF00F3,
    0xFF00E7, 0xFF00DB, 0xFF00CF, 0xFF00C7, 0xFF00BB, 0xFF00AF, 0xFF00A3, 0xFF009B, 0xFF008F, 0xFF0083,
    0xFF0077, 0xFF006B, 0xFF0063, 0xFF0057, 0xFF004B, 0xFF003F, 0xFF0037, 0xFF002B, 0xFF001F, 0xFF0013,
    0xFF0007, 0xFF0001, 0xFEFEFE, 0xEFEFEF, 0xDFDFDF, 0xCFCFCF, 0xBFBFBF, 0xAFAFAF, 0x9F9F9F, 0x8F8F8F,
    0x7F7F7F, 0x6F6F6F, 0x5F5F5F, 0x4F4F4F, 0x3F3F3F, 0x2F2F2F, 0x1F1F1F, 0x0F0F0F, 0x080000, 0xFFF3E7,
    0xF7E3D3, 0xEFD7BF, 0xE7C7AB, 0xDFBB9B, 0xD7AF8B, 0xCFA37B, 0xC7976B, 0xBF8B5F, 0xB77F4F, 0xAF7743,
    0xA76B37, 0x9F632F, 0x975723, 0x8F4F1B, 0x874713, 0x080000, 0xFB0000, 0xEF0007, 0xE3000F, 0xD70017,
    0xCF001B, 0xC30023, 0xB70027, 0xAB002B, 0xA3002F, 0x97002F, 0x8B0033, 0x830033, 0x770033, 0x6B0033,
    0x5F002F, 0x57002F, 0x0000BF, 0x000097, 0x000073, 0x00005B, 0x00003F, 0x080000, 0xFF003B, 0xFF1F63,
    0xFF438F, 0xFF639F, 0xFF87BF, 0xFFA7CF, 0xFFCBFF, 0x874713, 0x733B0F, 0x63330B, 0x532B0B, 0x432307,
    0x331B07, 0x1F0F00, 0x0F0700, 0x080000, 0x87C3D3, 0x67ABBF, 0x4B9BAF, 0x2F879B, 0x1B738B, 0x0B6377,
    0x005367, 0x003F4F, 0x002F3B, 0xFF01FF, 0x080000, 0x080000, 0x080000, 0x080000, 0x080000, 0x080000,
    0x080000, 0x080000, 0x080000, 0x080000, 0x080000, 0x080000};
constexpr int DefaultBlockHeader = 40;

PALETTEENTRY Entry(DWORD rgb, BYTE flags) {
    return {static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb), flags};
}

struct DefaultPalettes {
    LogPalette256 two{}, sixteen{}, full{};
    DefaultPalettes() {
        two.version = sixteen.version = full.version = LogPaletteVersion;
        two.count = 2;
        two.entries[0] = Entry(0x000000, 0);
        two.entries[1] = Entry(0xFFFFFF, 0);
        sixteen.count = 16;
        for (std::size_t i = 0; i < sixteenColours.size(); ++i)
            sixteen.entries[i] = Entry(sixteenColours[i], 0);
        full.count = PaletteSize;
        for (std::size_t i = 0; i < lowStaticColours.size(); ++i) {
            full.entries[i] = Entry(lowStaticColours[i], 0);
            full.entries[246 + i] = Entry(highStaticColours[i], 0);
        }
        for (int i = 0; i < FreeEntryCount; ++i)
            full.entries[FirstFreeEntry + i] =
                Entry(freeColours[static_cast<std::size_t>(i)], PaletteNoCollapse);
    }
};

DefaultPalettes& Defaults() {
    static DefaultPalettes palettes;
    return palettes;
}

// --- the registry ---------------------------------------------------------------------------------------

// One thread's palettes. The registry lives in one process, so the thread alone names an entry.
struct PaletteThreadEntry {
    std::thread::id threadId;
    int count;
    int capacity;
    SharedPalette** palettes;
    int refCount;
};

constexpr int PaletteListStep = 8;

struct Registry {
    std::mutex lock; // guards the array only; each entry is used by its own thread
    std::vector<PaletteThreadEntry*> entries;
    std::unordered_set<HPALETTE> ownHandles; // palette handles the shared palettes made themselves
    ~Registry() { FreePaletteRegistry(); }
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// The thread's entry, and whether the thread has met the palettes yet: the first use stands for the
// thread's start. A thread ends its palettes with FreeThreadPalettes; the process's end frees what any
// thread left. (The slot has no destructor: the program loads and unloads this library at run time, and a
// thread-local destructor registered from it upsets the end of the process.)
struct ThreadSlot {
    PaletteThreadEntry* entry = nullptr;
    bool attached = false;
};
thread_local ThreadSlot threadSlot;

// Deletes the palette's handle when the palette made it itself; a handle a caller gave stays the caller's.
void DropHandle(SharedPalette* palette) {
    if (!palette->handle) return;
    Registry& r = TheRegistry();
    bool own = false;
    {
        std::lock_guard guard(r.lock);
        own = r.ownHandles.erase(palette->handle) > 0;
    }
    if (own) DeleteObject(palette->handle);
    palette->handle = nullptr;
}

void FreePaletteRecord(SharedPalette* palette) {
    delete[] palette->lookup15;
    DropHandle(palette);
    delete palette;
}

void FreeEntry(PaletteThreadEntry* entry) {
    for (int i = 0; i < entry->count; ++i)
        FreePaletteRecord(entry->palettes[i]);
    delete[] entry->palettes;
    delete entry;
}

PaletteThreadEntry* FindPaletteThread() {
    if (!threadSlot.attached) {
        threadSlot.attached = true;
        InitSystemPalette();
    }
    return threadSlot.entry;
}

bool Append(PaletteThreadEntry& entry, SharedPalette* palette) {
    if (entry.count + 1 >= entry.capacity) {
        const int capacity = entry.capacity + PaletteListStep;
        auto* grown = new (std::nothrow) SharedPalette*[static_cast<std::size_t>(capacity)];
        if (!grown) return false;
        std::copy(entry.palettes, entry.palettes + entry.count, grown);
        delete[] entry.palettes;
        entry.palettes = grown;
        entry.capacity = capacity;
    }
    entry.palettes[entry.count++] = palette;
    return true;
}

int IndexInThread(const PaletteThreadEntry& entry, const SharedPalette* palette) {
    for (int i = 0; i < entry.count; ++i)
        if (entry.palettes[i] == palette) return i;
    return -1;
}

// Two colours of a shared palette match; from entry 1 on black and RGB(8, 0, 0) stand for each other.
bool SameEntry(const PALETTEENTRY& a, const PALETTEENTRY& b, int index) {
    COLORREF x = PaletteColor(a), y = PaletteColor(b);
    if (index > 0) {
        if (x == 0) x = NearBlack;
        if (y == 0) y = NearBlack;
    }
    return x == y;
}

// The darkest of entries 1 .. count - 1, the first of equals: the entry nearest to black, as the colour
// matching would find it by the square of the distance.
DWORD BlackIndexOf(const LogPalette256& p) {
    DWORD darkest = 0;
    int least = INT_MAX;
    for (int i = 1; i < p.count; ++i) {
        const PALETTEENTRY& e = p.entries[i];
        const int lightness = e.peRed * e.peRed + e.peGreen * e.peGreen + e.peBlue * e.peBlue;
        if (lightness < least) {
            least = lightness;
            darkest = static_cast<DWORD>(i);
        }
    }
    return darkest;
}

// A normalised copy: flags cleared, black only at entry 0.
SharedPalette* NewRecord(const LOGPALETTE& source) {
    auto* record = new (std::nothrow) SharedPalette{};
    if (!record) return nullptr;
    record->palette.version = LogPaletteVersion;
    record->palette.count = std::min<WORD>(source.palNumEntries, PaletteSize);
    const PALETTEENTRY* entries = source.palPalEntry;
    std::copy(entries, entries + record->palette.count, record->palette.entries);
    for (int i = 0; i < PaletteSize; ++i) {
        PALETTEENTRY& e = record->palette.entries[i];
        e.peFlags = 0;
        if (i > 0 && PaletteColor(e) == 0) e.peRed = static_cast<BYTE>(NearBlack);
    }
    record->blackIndex = BlackIndexOf(record->palette);
    record->refCount = 1;
    return record;
}

SharedPalette* MatchInThread(const PaletteThreadEntry& entry, const PALETTEENTRY* entries) {
    for (int i = 0; i < entry.count; ++i)
        if (SamePaletteColours(entry.palettes[i]->palette.entries, entries)) return entry.palettes[i];
    return nullptr;
}

// A full 256-entry palette for the colours of any LOGPALETTE (missing entries black).
LogPalette256 Widen(const LOGPALETTE& palette) {
    LogPalette256 wide{};
    wide.version = palette.palVersion;
    wide.count = std::min<WORD>(palette.palNumEntries, PaletteSize);
    const PALETTEENTRY* entries = palette.palPalEntry;
    std::copy(entries, entries + wide.count, wide.entries);
    return wide;
}

} // namespace

// --- default palettes --------------------------------------------------------------------------------

const LogPalette256* GetDefaultModePalette(int mode) {
    switch (mode & DisplayModeDepthMask) {
    case 1:
        return &Defaults().two;
    case 2:
    case 5:
        return &Defaults().sixteen;
    case 3:
        return &Defaults().full;
    default:
        return nullptr;
    }
}

HPALETTE CreateDefaultPalette(const void* block) {
    LogPalette256 p = Defaults().full;
    if (block) {
        const BYTE* bytes = static_cast<const BYTE*>(block) + DefaultBlockHeader;
        for (int i = 0; i < FreeEntryCount; ++i, bytes += 4)
            p.entries[FirstFreeEntry + i] = {bytes[0], bytes[1], bytes[2], PaletteNoCollapse};
    }
    return CreatePalette(p.Log());
}

// --- shared palettes -----------------------------------------------------------------------------------

SharedPalette* FindMatchingSharedPalette(const LOGPALETTE* palette) {
    PaletteThreadEntry* entry = FindPaletteThread();
    if (!entry || !palette) return nullptr;
    const LogPalette256 wide = Widen(*palette);
    return MatchInThread(*entry, wide.entries);
}

SharedPalette* GetSharedPalette(const LOGPALETTE* palette) {
    if (!palette) return nullptr;
    if (SharedPalette* found = FindMatchingSharedPalette(palette)) return AddRefSharedPalette(found);
    PaletteThreadEntry* entry = FindPaletteThread();
    if (!entry) return nullptr;
    SharedPalette* record = NewRecord(*palette);
    if (!record) return nullptr;
    if (SharedPalette* found = MatchInThread(*entry, record->palette.entries)) {
        FreePaletteRecord(record);
        return AddRefSharedPalette(found);
    }
    if (!Append(*entry, record)) {
        FreePaletteRecord(record);
        return nullptr;
    }
    return record;
}

SharedPalette* AcquireSharedPalette(const LOGPALETTE* palette) {
    return GetSharedPalette(palette);
}

SharedPalette* GetFirstSharedPalette() {
    PaletteThreadEntry* entry = FindPaletteThread();
    if (!entry || entry->count == 0) return nullptr;
    return AddRefSharedPalette(entry->palettes[0]);
}

SharedPalette* AddRefSharedPalette(SharedPalette* palette) {
    if (palette) ++palette->refCount;
    return palette;
}

// Only a palette of the calling thread's list is touched: a record another thread (or a thread's end) has
// freed is never read.
void ReleaseSharedPalette(SharedPalette* palette) {
    PaletteThreadEntry* entry = threadSlot.entry;
    if (!palette || !entry) return;
    const int index = IndexInThread(*entry, palette);
    if (index < 0) return;
    if (--palette->refCount > 0) return;
    std::copy(entry->palettes + index + 1, entry->palettes + entry->count, entry->palettes + index);
    --entry->count;
    FreePaletteRecord(palette);
}

void FreeSharedPalette(SharedPalette* palette) {
    ReleaseSharedPalette(palette);
}

SharedPalette* GetSharedPaletteForQuads(const RGBQUAD* quads, int count) {
    LogPalette256 p{};
    p.version = LogPaletteVersion;
    p.count = static_cast<WORD>(std::clamp(count, 1, PaletteSize));
    RgbQuadsToPalette(p.entries, quads, p.count);
    return GetSharedPalette(p.Log());
}

HPALETTE GetSharedPaletteHandle(SharedPalette* palette) {
    if (!palette) return nullptr;
    if (!palette->handle) {
        LogPalette256 copy = palette->palette;
        for (int i = FirstFreeEntry; i < FirstFreeEntry + FreeEntryCount; ++i)
            copy.entries[i].peFlags = PaletteNoCollapse;
        palette->handle = CreatePalette(copy.Log());
        if (palette->handle) {
            Registry& r = TheRegistry();
            std::lock_guard guard(r.lock);
            r.ownHandles.insert(palette->handle);
        }
    }
    return palette->handle;
}

// --- the registry ------------------------------------------------------------------------------------------

void RegisterPaletteThread() {
    threadSlot.attached = true;
    if (threadSlot.entry) {
        ++threadSlot.entry->refCount;
    } else {
        auto* entry = new (std::nothrow) PaletteThreadEntry{std::this_thread::get_id(), 0, 0, nullptr, 1};
        if (!entry) return;
        Registry& r = TheRegistry();
        {
            std::lock_guard guard(r.lock);
            r.entries.push_back(entry);
        }
        threadSlot.entry = entry;
    }
    GetSharedPalette(Defaults().full.Log());
}

void UnregisterPaletteThread() {
    PaletteThreadEntry* entry = threadSlot.entry;
    if (!entry || --entry->refCount > 0) return;
    threadSlot.entry = nullptr;
    Registry& r = TheRegistry();
    {
        std::lock_guard guard(r.lock);
        r.entries.erase(std::remove(r.entries.begin(), r.entries.end(), entry), r.entries.end());
    }
    FreeEntry(entry);
}

void RestartPaletteThread() {
    if (threadSlot.attached && !threadSlot.entry) InitSystemPalette();
}

void FreeThreadPalettes() {
    UnregisterPaletteThread();
}

void FreePaletteRegistry() {
    Registry& r = TheRegistry();
    std::vector<PaletteThreadEntry*> entries;
    {
        std::lock_guard guard(r.lock);
        entries.swap(r.entries);
    }
    for (PaletteThreadEntry* entry : entries)
        FreeEntry(entry);
    if (threadSlot.entry && std::find(entries.begin(), entries.end(), threadSlot.entry) != entries.end())
        threadSlot.entry = nullptr;
}

// The layer is a true-colour display: it has no system palette to read into the defaults.
void InitSystemPalette() {
    DefaultPalettes& d = Defaults();
    if (HDC screen = GetDC(nullptr)) {
        if (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) {
            const int colours = 1 << (GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES));
            PALETTEENTRY read[PaletteSize] = {};
            if (colours == 16 && GetSystemPaletteEntries(screen, 0, 16, read) == 16)
                for (int i = 0; i < 16; ++i)
                    d.sixteen.entries[i] = {read[i].peRed, read[i].peGreen, read[i].peBlue, 0};
            if (colours == PaletteSize &&
                GetSystemPaletteEntries(screen, 0, PaletteSize, read) == PaletteSize)
                for (int i : {0, 246})
                    for (int k = i; k < i + 10; ++k)
                        d.full.entries[k] = {read[k].peRed, read[k].peGreen, read[k].peBlue, 0};
        }
        ReleaseDC(nullptr, screen);
    }
    RegisterPaletteThread();
}

// --- comparison and plain conversions -------------------------------------------------------------------

bool SamePaletteColours(const PALETTEENTRY* a, const PALETTEENTRY* b) {
    if (!SameEntry(a[10], b[10], 10)) return false;
    for (int i = 0; i < PaletteSize; ++i)
        if (!SameEntry(a[i], b[i], i)) return false;
    return true;
}

void SetSharedPaletteHandle(SharedPalette* palette, HPALETTE handle) {
    if (!palette || !handle || palette->handle == handle) return;
    DropHandle(palette);
    palette->handle = handle;
}

void SetLogPaletteEntries(LOGPALETTE* palette, const PALETTEENTRY* source, int first, int count) {
    if (!palette || !source || first < 0 || first >= PaletteSize || count <= 0) return;
    count = std::min(count, PaletteSize - first);
    PALETTEENTRY* entries = palette->palPalEntry;
    std::copy(source, source + count, entries + first);
}

void PaletteToRgbQuads(RGBQUAD* destination, const PALETTEENTRY* source, int count) {
    for (int i = 0; destination && source && i < count; ++i)
        destination[i] = {source[i].peBlue, source[i].peGreen, source[i].peRed, 0};
}

void RgbQuadsToPalette(PALETTEENTRY* destination, const RGBQUAD* source, int count) {
    for (int i = 0; destination && source && i < count; ++i)
        destination[i] = {source[i].rgbRed, source[i].rgbGreen, source[i].rgbBlue, 0};
}
