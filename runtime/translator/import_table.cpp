#include "translator/import_table.h"

#include "vtrformat/bytes.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace vtrrt {

using namespace win32;
using vtrformat::GetU16;
using vtrformat::GetU32;
using vtrformat::LoadLE;

namespace {

// The ELF64 facts read here: identification, header and record sizes, segment and dynamic tags, and the
// relocation kinds of x86-64 that fill a slot with a symbol's address.
constexpr std::array<std::uint8_t, 4> ElfMagic = {0x7F, 'E', 'L', 'F'};
constexpr std::uint8_t ElfClass64 = 2;
constexpr std::uint8_t ElfLittleEndian = 1;
constexpr std::uint16_t MachineX86_64 = 62;
constexpr std::size_t ElfHeaderSize = 64;
constexpr std::size_t ProgramHeaderSize = 56;
constexpr std::size_t DynamicEntrySize = 16;
constexpr std::size_t SymbolEntrySize = 24;
constexpr std::size_t RelocationEntrySize = 24;
constexpr std::uint32_t SegmentLoad = 1;
constexpr std::uint32_t SegmentDynamic = 2;
constexpr std::int64_t TagNull = 0;
constexpr std::int64_t TagNeeded = 1;
constexpr std::int64_t TagPltRelSize = 2;
constexpr std::int64_t TagStrTab = 5;
constexpr std::int64_t TagSymTab = 6;
constexpr std::int64_t TagRela = 7;
constexpr std::int64_t TagRelaSize = 8;
constexpr std::int64_t TagRelaEnt = 9;
constexpr std::int64_t TagStrSize = 10;
constexpr std::int64_t TagSymEnt = 11;
constexpr std::int64_t TagPltRel = 20;
constexpr std::int64_t TagJmpRel = 23;
constexpr std::uint32_t RelocationGlobalData = 6;
constexpr std::uint32_t RelocationJumpSlot = 7;
constexpr std::uint16_t UndefinedSection = 0;

// The layer's library, which the system's "Kernel32.dll" and "User32.dll" both stand for.
constexpr std::string_view LayerLibrary = "libvtrplatform.so";

// The image of a loaded module in memory, read only where it lies inside the image and where the system
// says the pages are readable.
class ImageMemory {
public:
    ImageMemory(std::uintptr_t start, std::uintptr_t end) : start_(start), end_(end) {}

    std::optional<std::span<const std::uint8_t>> Bytes(std::uintptr_t address, std::size_t count) {
        if (address < start_ || address > end_ || end_ - address < count || !Readable(address, count))
            return std::nullopt;
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(address), count);
    }
    bool Inside(std::uintptr_t address, std::size_t count) const {
        return address >= start_ && address <= end_ && end_ - address >= count;
    }

private:
    bool Readable(std::uintptr_t address, std::size_t count) {
        const std::uintptr_t end = address + count;
        for (std::uintptr_t cursor = address; cursor < end;) {
            const auto known = std::find_if(readable_.begin(), readable_.end(), [&](const auto& region) {
                return cursor >= region.first && cursor < region.second;
            });
            if (known != readable_.end()) {
                cursor = known->second;
                continue;
            }
            MEMORY_BASIC_INFORMATION info{};
            if (!VirtualQuery(reinterpret_cast<LPCVOID>(cursor), &info, sizeof info) ||
                info.State != MEM_COMMIT || !IsReadable(info.Protect))
                return false;
            const auto regionStart = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
            readable_.emplace_back(regionStart, regionStart + info.RegionSize);
            cursor = regionStart + info.RegionSize;
        }
        return true;
    }
    static bool IsReadable(DWORD protection) {
        return protection == PAGE_READONLY || protection == PAGE_READWRITE || protection == PAGE_WRITECOPY ||
               protection == PAGE_EXECUTE_READ || protection == PAGE_EXECUTE_READWRITE ||
               protection == PAGE_EXECUTE_WRITECOPY;
    }

    std::uintptr_t start_, end_;
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> readable_;
};

std::uint64_t U64(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return LoadLE<std::uint64_t>(bytes.data() + offset);
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// The file names a library named as the system names it has here ("x.dll" is "x.so" or "libx.so").
std::vector<std::string> LibraryFileNames(std::string_view dllName) {
    if (SameNameIgnoringCase(dllName, "Kernel32.dll") || SameNameIgnoringCase(dllName, "User32.dll"))
        return {std::string(LayerLibrary)};
    std::vector<std::string> names{std::string(dllName)};
    if (dllName.size() > 4 && SameNameIgnoringCase(dllName.substr(dllName.size() - 4), ".dll")) {
        const std::string stem(dllName.substr(0, dllName.size() - 4));
        names.push_back(stem + ".so");
        names.push_back("lib" + stem + ".so");
    }
    return names;
}

// A terminated name of the string table, or none when it runs past the table.
std::optional<std::string_view> NameAt(ImageMemory& memory, const ImportDescriptor& d, std::uint64_t offset) {
    if (offset >= d.namesSize) return std::nullopt;
    const auto bytes = memory.Bytes(d.names + offset, d.namesSize - offset);
    if (!bytes) return std::nullopt;
    const auto end = std::find(bytes->begin(), bytes->end(), std::uint8_t{0});
    if (end == bytes->end()) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(bytes->data()),
                            static_cast<std::size_t>(end - bytes->begin()));
}

struct DynamicSection {
    std::uint64_t strTab = 0, strSize = 0, symTab = 0, symEnt = 0;
    std::uint64_t rela = 0, relaSize = 0, relaEnt = 0;
    std::uint64_t jmpRel = 0, pltRelSize = 0, pltRel = 0;
    std::vector<std::uint64_t> needed;
};

bool ReadDynamicSection(ImageMemory& memory, std::uintptr_t address, std::uint64_t size,
                        DynamicSection& out) {
    for (std::uint64_t at = 0; at <= size && size - at >= DynamicEntrySize; at += DynamicEntrySize) {
        const auto entry = memory.Bytes(address + at, DynamicEntrySize);
        if (!entry) return false;
        const auto tag = static_cast<std::int64_t>(U64(*entry, 0));
        const std::uint64_t value = U64(*entry, 8);
        switch (tag) {
        case TagNull:
            return true;
        case TagNeeded:
            out.needed.push_back(value);
            break;
        case TagStrTab:
            out.strTab = value;
            break;
        case TagStrSize:
            out.strSize = value;
            break;
        case TagSymTab:
            out.symTab = value;
            break;
        case TagSymEnt:
            out.symEnt = value;
            break;
        case TagRela:
            out.rela = value;
            break;
        case TagRelaSize:
            out.relaSize = value;
            break;
        case TagRelaEnt:
            out.relaEnt = value;
            break;
        case TagJmpRel:
            out.jmpRel = value;
            break;
        case TagPltRelSize:
            out.pltRelSize = value;
            break;
        case TagPltRel:
            out.pltRel = value;
            break;
        default:
            break;
        }
    }
    return true;
}

std::optional<ImportDescriptor> Refuse() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
}

} // namespace

std::optional<ImportDescriptor> FindImportDescriptor(const MODULEINFO& image, std::string_view dllName) {
    const auto base = reinterpret_cast<std::uintptr_t>(image.lpBaseOfDll);
    if (!base || dllName.empty() || image.SizeOfImage < ElfHeaderSize || base + image.SizeOfImage < base)
        return Refuse();
    ImportDescriptor d;
    d.imageStart = base;
    d.imageEnd = base + image.SizeOfImage;
    ImageMemory memory(d.imageStart, d.imageEnd);

    const auto header = memory.Bytes(base, ElfHeaderSize);
    if (!header || !std::equal(ElfMagic.begin(), ElfMagic.end(), header->begin()) ||
        (*header)[4] != ElfClass64 || (*header)[5] != ElfLittleEndian ||
        GetU16(header->data() + 18) != MachineX86_64)
        return Refuse();
    const std::uint64_t phOffset = U64(*header, 32);
    const std::uint16_t phEntrySize = GetU16(header->data() + 54);
    const std::uint16_t phCount = GetU16(header->data() + 56);
    if (phEntrySize < ProgramHeaderSize || phOffset >= image.SizeOfImage) return Refuse();

    // The segment that maps file offset 0 holds the header: the image's base less its address in the file's
    // terms is what every address of the file is moved by.
    std::optional<std::uintptr_t> bias;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> dynamic;
    for (std::uint16_t i = 0; i < phCount; ++i) {
        const auto ph =
            memory.Bytes(base + phOffset + static_cast<std::uint64_t>(i) * phEntrySize, ProgramHeaderSize);
        if (!ph) return Refuse();
        const std::uint32_t type = GetU32(ph->data());
        if (type == SegmentLoad && U64(*ph, 8) == 0 && !bias) bias = base - U64(*ph, 16);
        if (type == SegmentDynamic && !dynamic) dynamic.emplace(U64(*ph, 16), U64(*ph, 40));
    }
    if (!bias || !dynamic) return Refuse();
    d.loadBias = *bias;

    // The dynamic linker may have moved the table addresses of the dynamic section already; those that lie
    // inside the image are taken as they are, the others are moved by the bias.
    const auto address = [&](std::uint64_t value, std::uint64_t size) -> std::optional<std::uintptr_t> {
        const std::uintptr_t at = memory.Inside(value, size) ? value : d.loadBias + value;
        if (!memory.Inside(at, size)) return std::nullopt;
        return at;
    };
    DynamicSection section;
    const auto dynamicAt = address(dynamic->first, dynamic->second);
    if (!dynamicAt || !ReadDynamicSection(memory, *dynamicAt, dynamic->second, section)) return Refuse();

    const auto names = address(section.strTab, section.strSize);
    const auto symbols = address(section.symTab, SymbolEntrySize);
    if (!section.strTab || !names || !section.symTab || !symbols || section.symEnt != SymbolEntrySize)
        return Refuse();
    d.names = *names;
    d.namesSize = section.strSize;
    d.symbols = *symbols;
    d.symbolSize = SymbolEntrySize;
    d.relocationSize = RelocationEntrySize;
    if (section.rela && section.relaSize) {
        const auto at = address(section.rela, section.relaSize);
        if (!at || section.relaEnt != RelocationEntrySize) return Refuse();
        d.relocations = *at;
        d.relocationsSize = section.relaSize;
    }
    // Procedure linkage relocations of this machine are always of the kind with addends.
    if (section.jmpRel && section.pltRelSize) {
        const auto at = address(section.jmpRel, section.pltRelSize);
        if (!at || section.pltRel != static_cast<std::uint64_t>(TagRela)) return Refuse();
        d.jumpSlots = *at;
        d.jumpSlotsSize = section.pltRelSize;
    }

    const std::vector<std::string> wanted = LibraryFileNames(dllName);
    for (std::uint64_t offset : section.needed) {
        const std::optional<std::string_view> needed = NameAt(memory, d, offset);
        if (!needed) continue;
        const std::size_t slash = needed->rfind('/');
        const std::string_view file = slash == std::string_view::npos ? *needed : needed->substr(slash + 1);
        for (const std::string& name : wanted)
            if (SameNameIgnoringCase(file, name)) return d;
    }
    return Refuse();
}

int PatchImportTable(const MODULEINFO& image, std::string_view dllName, std::span<const ImportRow> rows,
                     std::span<void*> saved, int* patched) {
    if (patched) *patched = 0;
    if (rows.empty() || dllName.empty() || (!saved.empty() && saved.size() != rows.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::fill(saved.begin(), saved.end(), nullptr);
    const std::optional<ImportDescriptor> found = FindImportDescriptor(image, dllName);
    if (!found) return 0;
    const ImportDescriptor& d = *found;
    ImageMemory memory(d.imageStart, d.imageEnd);

    int count = 0;
    const auto walk = [&](std::uintptr_t table, std::size_t size) {
        for (std::size_t at = 0; at <= size && size - at >= d.relocationSize; at += d.relocationSize) {
            const auto entry = memory.Bytes(table + at, d.relocationSize);
            if (!entry) return;
            const std::uint64_t info = U64(*entry, 8);
            const auto kind = static_cast<std::uint32_t>(info & 0xFFFFFFFF);
            if (kind != RelocationGlobalData && kind != RelocationJumpSlot) continue;
            const std::uint64_t index = info >> 32;
            const auto symbol = memory.Bytes(d.symbols + index * d.symbolSize, d.symbolSize);
            // Only what the module imports: a symbol it defines itself is not an import.
            if (!symbol || GetU16(symbol->data() + 6) != UndefinedSection) continue;
            const std::optional<std::string_view> name = NameAt(memory, d, GetU32(symbol->data()));
            if (!name) continue;
            const auto row = std::find_if(rows.begin(), rows.end(), [&](const ImportRow& r) {
                return r.name && SameNameIgnoringCase(*name, r.name);
            });
            if (row == rows.end() || !row->replacement) continue;
            const std::uintptr_t slot = d.loadBias + U64(*entry, 0);
            if (slot % sizeof(void*) != 0 || !memory.Bytes(slot, sizeof(void*))) continue;
            DWORD protection = 0;
            if (!VirtualProtect(reinterpret_cast<LPVOID>(slot), sizeof(void*), PAGE_READWRITE, &protection))
                continue;
            void** target = reinterpret_cast<void**>(slot);
            void* previous = __atomic_load_n(target, __ATOMIC_ACQUIRE);
            __atomic_store_n(target, row->replacement, __ATOMIC_RELEASE);
            DWORD ignored = 0;
            VirtualProtect(reinterpret_cast<LPVOID>(slot), sizeof(void*), protection, &ignored);
            const auto rowIndex = static_cast<std::size_t>(row - rows.begin());
            if (!saved.empty() && !saved[rowIndex]) saved[rowIndex] = previous;
            ++count;
        }
    };
    walk(d.relocations, d.relocationsSize);
    walk(d.jumpSlots, d.jumpSlotsSize);
    if (patched) *patched = count;
    SetLastError(ERROR_SUCCESS);
    return 1;
}

} // namespace vtrrt
