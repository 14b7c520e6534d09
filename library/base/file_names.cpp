// File-name copies for the file streams.
#include "file_names.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <cstring>

using namespace win32;

namespace filenames {

namespace {

template <typename T> T* Copy(const T* name) {
    if (!name) return nullptr;
    std::size_t length = 0;
    while (name[length])
        ++length;
    T* copy = nullptr;
    if (!AllocMemory((length + 1) * sizeof(T), &copy)) return nullptr;
    std::memcpy(copy, name, (length + 1) * sizeof(T));
    return copy;
}

} // namespace

WCHAR* CopyWide(const WCHAR* name) {
    return Copy(name);
}

char* CopyAnsi(const char* name) {
    return Copy(name);
}

char* AnsiFromWide(const WCHAR* name) {
    if (!name) return nullptr;
    const int size = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    char* copy = nullptr;
    if (size <= 0 || !AllocMemory(static_cast<std::size_t>(size), &copy)) return nullptr;
    if (WideCharToMultiByte(CP_ACP, 0, name, -1, copy, size, nullptr, nullptr) != size) FreeMemory(&copy);
    return copy;
}

WCHAR* WideFromAnsi(const char* name) {
    if (!name) return nullptr;
    const int size = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    WCHAR* copy = nullptr;
    if (size <= 0 || !AllocMemory(static_cast<std::size_t>(size) * sizeof(WCHAR), &copy)) return nullptr;
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, copy, size) != size) FreeMemory(&copy);
    return copy;
}

template <typename T> void Free(T*& name) {
    FreeMemory(&name);
}

template void Free<char>(char*&);
template void Free<WCHAR>(WCHAR*&);

} // namespace filenames
