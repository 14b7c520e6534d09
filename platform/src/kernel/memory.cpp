// The process's memory as Windows describes it: mappings read from the system's list of them, protections
// changed page by page.
#include "win32/kernel.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace win32 {

namespace {

struct Mapping {
    std::uintptr_t start = 0, end = 0;
    bool read = false, write = false, execute = false;
    bool file = false; // backed by a file rather than anonymous
};

std::string ReadMaps() {
    std::string text;
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char block[16384];
    for (;;) {
        const ssize_t n = read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(block, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

bool ParseHex(std::string_view text, std::uintptr_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

// One line: "start-end perms offset device inode [path]"; an inode of 0 is anonymous memory.
std::optional<Mapping> ParseLine(std::string_view line) {
    std::string_view fields[5];
    std::size_t at = 0;
    for (std::string_view& field : fields) {
        at = line.find_first_not_of(' ', at);
        if (at == std::string_view::npos) return std::nullopt;
        const std::size_t end = std::min(line.find(' ', at), line.size());
        field = line.substr(at, end - at);
        at = end;
    }
    const std::size_t dash = fields[0].find('-');
    Mapping m;
    if (dash == std::string_view::npos || !ParseHex(fields[0].substr(0, dash), m.start) ||
        !ParseHex(fields[0].substr(dash + 1), m.end) || fields[1].size() < 3)
        return std::nullopt;
    m.read = fields[1][0] == 'r';
    m.write = fields[1][1] == 'w';
    m.execute = fields[1][2] == 'x';
    m.file = fields[4] != "0";
    return m;
}

struct Lookup {
    std::optional<Mapping> holding; // the mapping that holds the address
    std::uintptr_t gapStart = 0;    // otherwise the free gap around it
    std::uintptr_t gapEnd = UINTPTR_MAX;
};

Lookup FindMapping(std::uintptr_t address) {
    Lookup found;
    const std::string maps = ReadMaps();
    std::size_t from = 0;
    while (from < maps.size()) {
        std::size_t to = maps.find('\n', from);
        if (to == std::string::npos) to = maps.size();
        if (const auto m = ParseLine(std::string_view(maps).substr(from, to - from))) {
            if (address >= m->start && address < m->end) {
                found.holding = m;
                return found;
            }
            if (m->end <= address) found.gapStart = m->end;
            if (m->start > address) {
                found.gapEnd = m->start;
                return found;
            }
        }
        from = to + 1;
    }
    return found;
}

DWORD ProtectionOf(const Mapping& m) {
    if (m.execute) return m.write ? PAGE_EXECUTE_READWRITE : m.read ? PAGE_EXECUTE_READ : PAGE_EXECUTE;
    if (m.write) return PAGE_READWRITE; // the processor cannot make a page writable but not readable
    return m.read ? PAGE_READONLY : PAGE_NOACCESS;
}

std::optional<int> ProtFlagsOf(DWORD protection) {
    switch (protection) {
    case PAGE_NOACCESS:
        return PROT_NONE;
    case PAGE_READONLY:
        return PROT_READ;
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
        return PROT_READ | PROT_WRITE;
    case PAGE_EXECUTE:
        return PROT_EXEC;
    case PAGE_EXECUTE_READ:
        return PROT_READ | PROT_EXEC;
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY:
        return PROT_READ | PROT_WRITE | PROT_EXEC;
    default:
        return std::nullopt;
    }
}

std::uintptr_t PageSize() {
    static const auto size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    return size;
}

} // namespace

SIZE_T VirtualQuery(LPCVOID address, MEMORY_BASIC_INFORMATION* info, SIZE_T size) {
    if (!info || size < sizeof(MEMORY_BASIC_INFORMATION)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t page = at & ~(PageSize() - 1);
    const Lookup found = FindMapping(at);
    *info = MEMORY_BASIC_INFORMATION{};
    info->BaseAddress = reinterpret_cast<LPVOID>(page);
    if (found.holding) {
        const Mapping& m = *found.holding;
        info->AllocationBase = reinterpret_cast<LPVOID>(m.start);
        info->AllocationProtect = info->Protect = ProtectionOf(m);
        info->RegionSize = m.end - page;
        info->State = MEM_COMMIT;
        info->Type = m.file ? MEM_MAPPED : MEM_PRIVATE;
    } else {
        info->Protect = PAGE_NOACCESS;
        info->RegionSize = found.gapEnd - page;
        info->State = MEM_FREE;
    }
    return sizeof(MEMORY_BASIC_INFORMATION);
}

BOOL VirtualProtect(LPVOID address, SIZE_T size, DWORD newProtect, DWORD* oldProtect) {
    const std::optional<int> flags = ProtFlagsOf(newProtect);
    if (!flags || !oldProtect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t first = at & ~(PageSize() - 1);
    const std::uintptr_t last = size ? at + (size - 1) : at;
    if (last < at || (last | (PageSize() - 1)) == UINTPTR_MAX) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    const std::uintptr_t end = (last | (PageSize() - 1)) + 1;
    // Every page must be mapped; the answer is the first page's protection.
    std::optional<DWORD> previous;
    for (std::uintptr_t cursor = first; cursor < end;) {
        const Lookup found = FindMapping(cursor);
        if (!found.holding) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        if (!previous) previous = ProtectionOf(*found.holding);
        cursor = found.holding->end;
    }
    if (mprotect(reinterpret_cast<void*>(first), end - first, *flags) != 0) {
        SetLastError(errno == ENOMEM ? ERROR_INVALID_ADDRESS : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *oldProtect = *previous;
    return TRUE;
}

} // namespace win32
