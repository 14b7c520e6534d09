// Unicode text on the clipboard, and the global memory blocks that carry it.
#include "win32/clipboard.h"
#include "kernel/handles.h"
#include "win32/kernel.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace win32 {

namespace {

struct GlobalMemory : detail::KernelObject {
    std::vector<std::byte> bytes;
    int locks = 0;
};

struct Clipboard {
    bool open = false;
    // The process's own text while SDL's video does not run.
    std::u16string local;
    // The block handed out by GetClipboardData, freed when the clipboard is closed or changed.
    HANDLE handedOut = nullptr;
};

Clipboard& State() {
    static Clipboard clipboard;
    return clipboard;
}

bool Desktop() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

void DropHandedOut(Clipboard& c) {
    if (c.handedOut) GlobalFree(c.handedOut);
    c.handedOut = nullptr;
}

bool Check(bool valid, UINT format) {
    if (!State().open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (format != CF_UNICODETEXT) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    return valid;
}

void Put(const std::u16string& text) {
    State().local = text;
    if (Desktop()) SDL_SetClipboardText(ToUtf8(text).c_str());
}

std::u16string Text() {
    if (!Desktop()) return State().local;
    char* utf8 = SDL_GetClipboardText();
    std::u16string text = utf8 ? FromUtf8(utf8) : std::u16string();
    SDL_free(utf8);
    return text;
}

} // namespace

HANDLE GlobalAlloc(UINT, std::size_t bytes) {
    auto memory = std::make_shared<GlobalMemory>();
    try {
        memory->bytes.assign(bytes, std::byte{0});
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return detail::RegisterObject(memory);
}

void* GlobalLock(HANDLE handle) {
    auto memory = detail::LookupObject<GlobalMemory>(handle);
    if (!memory) return nullptr;
    ++memory->locks;
    return memory->bytes.data();
}

BOOL GlobalUnlock(HANDLE handle) {
    auto memory = detail::LookupObject<GlobalMemory>(handle);
    if (!memory || memory->locks == 0) return FALSE;
    return --memory->locks > 0;
}

HANDLE GlobalFree(HANDLE handle) {
    return detail::UnregisterObject<GlobalMemory>(handle) ? nullptr : handle;
}

std::size_t GlobalSize(HANDLE handle) {
    auto memory = detail::LookupObject<GlobalMemory>(handle);
    return memory ? memory->bytes.size() : 0;
}

BOOL OpenClipboard(HWND) {
    Clipboard& c = State();
    if (c.open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    c.open = true;
    return TRUE;
}

BOOL CloseClipboard() {
    Clipboard& c = State();
    if (!c.open) return FALSE;
    DropHandedOut(c);
    c.open = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    Clipboard& c = State();
    if (!c.open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DropHandedOut(c);
    Put(u"");
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE handle) {
    auto memory = detail::LookupObject<GlobalMemory>(handle);
    if (!Check(memory != nullptr, format)) return nullptr;
    const std::size_t units = memory->bytes.size() / sizeof(char16_t);
    std::u16string text(units, u'\0');
    std::memcpy(text.data(), memory->bytes.data(), units * sizeof(char16_t));
    text.resize(std::find(text.begin(), text.end(), u'\0') - text.begin());
    DropHandedOut(State());
    Put(text);
    GlobalFree(handle);
    return handle;
}

HANDLE GetClipboardData(UINT format) {
    if (!Check(true, format)) return nullptr;
    const std::u16string text = Text();
    if (text.empty()) return nullptr;
    Clipboard& c = State();
    DropHandedOut(c);
    c.handedOut = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
    if (void* bytes = GlobalLock(c.handedOut)) {
        std::memcpy(bytes, text.c_str(), (text.size() + 1) * sizeof(char16_t));
        GlobalUnlock(c.handedOut);
    }
    return c.handedOut;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    if (format != CF_UNICODETEXT) return FALSE;
    return Desktop() ? SDL_HasClipboardText() == SDL_TRUE : !State().local.empty();
}

} // namespace win32
