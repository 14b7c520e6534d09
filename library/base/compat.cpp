// The wide/ANSI wrappers: the wide system calls once IsUnicodeOS has chosen them, else the ANSI calls over
// strings converted with the conversion code page.
#include "vtrs2/compat.h"

#include "base/compat_state.h"
#include "vtrs2/compat_testing.h"
#include "vtrs2/memory.h"
#include "win32/resource.h"
#include "win32/screen.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <utility>

using namespace win32;

namespace {

int UseWideApi = 0;
UINT ConversionCodePage = 0;

UINT CodePageOf(int codePage) {
    return codePage == -1 ? ConversionCodePage : static_cast<UINT>(codePage);
}

// The ANSI path's results come back with the system code page into a fixed wide field.
void NarrowNameToWide(const char* name, size_t capacity, WCHAR* out, size_t outCapacity) {
    std::memset(out, 0, outCapacity * sizeof(WCHAR));
    // The narrow name need not be terminated inside its field; the wide one always is.
    for (size_t length = strnlen(name, capacity); length > 0; --length) {
        const int n = MultiByteToWideChar(CP_ACP, 0, name, static_cast<int>(length), out,
                                          static_cast<int>(outCapacity - 1));
        if (n > 0) return;
    }
    std::memset(out, 0, outCapacity * sizeof(WCHAR));
}

void FindDataToWide(const WIN32_FIND_DATAA& narrow, WIN32_FIND_DATAW* wide) {
    wide->dwFileAttributes = narrow.dwFileAttributes;
    wide->ftCreationTime = narrow.ftCreationTime;
    wide->ftLastAccessTime = narrow.ftLastAccessTime;
    wide->ftLastWriteTime = narrow.ftLastWriteTime;
    wide->nFileSizeHigh = narrow.nFileSizeHigh;
    wide->nFileSizeLow = narrow.nFileSizeLow;
    NarrowNameToWide(narrow.cFileName, sizeof narrow.cFileName, wide->cFileName, std::size(wide->cFileName));
    NarrowNameToWide(narrow.cAlternateFileName, sizeof narrow.cAlternateFileName, wide->cAlternateFileName,
                     std::size(wide->cAlternateFileName));
}

// Copies the numeric fields, which both forms lay out alike.
template <typename To, typename From> void CopyLogFontNumbers(To* out, const From* in) {
    out->lfHeight = in->lfHeight;
    out->lfWidth = in->lfWidth;
    out->lfEscapement = in->lfEscapement;
    out->lfOrientation = in->lfOrientation;
    out->lfWeight = in->lfWeight;
    out->lfItalic = in->lfItalic;
    out->lfUnderline = in->lfUnderline;
    out->lfStrikeOut = in->lfStrikeOut;
    out->lfCharSet = in->lfCharSet;
    out->lfOutPrecision = in->lfOutPrecision;
    out->lfClipPrecision = in->lfClipPrecision;
    out->lfQuality = in->lfQuality;
    out->lfPitchAndFamily = in->lfPitchAndFamily;
}

} // namespace

int IsUnicodeOS() {
    UseWideApi = 1;
    return 1;
}

int UsesWideApi() {
    return UseWideApi;
}

int SetUseWideApi(int use) {
    return std::exchange(UseWideApi, use ? 1 : 0);
}

UINT GetConversionCodePage() {
    return ConversionCodePage;
}

UINT SetConversionCodePage(UINT codePage) {
    const UINT previous = ConversionCodePage;
    ConversionCodePage = codePage;
    return previous;
}

char* ToNarrowString(const WCHAR* text, int codePage) {
    if (!text) return nullptr;
    const size_t length = std::char_traits<WCHAR>::length(text);
    if (length > INT_MAX / 4) return nullptr;
    const UINT cp = CodePageOf(codePage);
    int needed = 0;
    if (length > 0) {
        needed = WideCharToMultiByte(cp, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        if (needed <= 0) return nullptr;
    }
    // 3 bytes a unit covers UTF-8 and the double-byte pages; some code pages (GB18030, UTF-7) need more.
    const size_t size = std::max(3 * length + 3, static_cast<size_t>(needed) + 1);
    char* block = nullptr;
    if (!AllocZeroedMemory(size, &block)) return nullptr;
    if (length > 0)
        WideCharToMultiByte(cp, 0, text, static_cast<int>(length), block, needed, nullptr, nullptr);
    return block;
}

WCHAR* ToWideString(const char* text, int codePage) {
    if (!text) return nullptr;
    const size_t length = std::strlen(text);
    if (length > INT_MAX - 1) return nullptr;
    // No code page makes more UTF-16 units than it has bytes.
    WCHAR* block = nullptr;
    if (!AllocZeroedMemory((length + 1) * sizeof(WCHAR), &block)) return nullptr;
    if (length > 0 && MultiByteToWideChar(CodePageOf(codePage), 0, text, static_cast<int>(length), block,
                                          static_cast<int>(length)) <= 0) {
        FreeMemory(&block);
        return nullptr;
    }
    return block;
}

void FreeString(void* text) {
    FreeMemoryBlock(text);
}

HANDLE FindFirstFileCompat(void* /*unused*/, const WCHAR* pattern, WIN32_FIND_DATAW* data) {
    if (UseWideApi) return FindFirstFileW(pattern, data);
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    char* narrowPattern = ToNarrowString(pattern, -1);
    if (!narrowPattern) return INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA narrow;
    HANDLE find = FindFirstFileA(narrowPattern, &narrow);
    FreeString(narrowPattern);
    if (find != INVALID_HANDLE_VALUE) FindDataToWide(narrow, data);
    return find;
}

BOOL FindNextFileCompat(HANDLE find, WIN32_FIND_DATAW* data) {
    if (UseWideApi) return FindNextFileW(find, data);
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WIN32_FIND_DATAA narrow;
    if (!FindNextFileA(find, &narrow)) return FALSE;
    FindDataToWide(narrow, data);
    return TRUE;
}

HMODULE LoadLibraryCompat(const WCHAR* name) {
    if (UseWideApi) return LoadLibraryW(name);
    char* narrow = ToNarrowString(name, -1);
    if (!narrow) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HMODULE module = LoadLibraryA(narrow);
    FreeString(narrow);
    return module;
}

HFONT CreateFontIndirectCompat(const LOGFONTW* font) {
    if (!font) return nullptr;
    if (UseWideApi) return CreateFontIndirectW(font);
    LOGFONTA narrow{};
    LogFontToNarrow(&narrow, font);
    return CreateFontIndirectA(&narrow);
}

int LoadStringCompat(HMODULE module, UINT id, WCHAR* buffer, int size) {
    if (UseWideApi) return LoadStringW(module, id, buffer, size);
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    char* block = nullptr;
    if (!AllocZeroedMemory(static_cast<std::size_t>(size) + 1, &block)) return 0;
    const int bytes = LoadStringA(module, id, block, size + 1);
    // Every byte of the system code page is one character: the string is cut to what the buffer holds.
    int units = 0;
    if (bytes > 0) units = MultiByteToWideChar(CP_ACP, 0, block, std::min(bytes, size - 1), buffer, size - 1);
    units = std::max(units, 0);
    buffer[units] = 0;
    FreeString(block);
    return units;
}

void LogFontToWide(LOGFONTW* out, const LOGFONTA* in) {
    if (!out || !in) return;
    CopyLogFontNumbers(out, in);
    NarrowNameToWide(in->lfFaceName, LF_FACESIZE, out->lfFaceName, LF_FACESIZE);
}

void LogFontToNarrow(LOGFONTA* out, const LOGFONTW* in) {
    if (!out || !in) return;
    CopyLogFontNumbers(out, in);
    std::memset(out->lfFaceName, 0, sizeof out->lfFaceName);
    // The wide name need not be terminated inside its field; the narrow one always is, cut at a whole
    // character when the code page makes it longer than the field.
    size_t length = 0;
    while (length < LF_FACESIZE && in->lfFaceName[length])
        ++length;
    while (length > 0) {
        const int n = WideCharToMultiByte(CP_ACP, 0, in->lfFaceName, static_cast<int>(length),
                                          out->lfFaceName, LF_FACESIZE - 1, nullptr, nullptr);
        if (n > 0) return;
        --length;
        if (length > 0 && in->lfFaceName[length] >= 0xDC00 && in->lfFaceName[length] <= 0xDFFF &&
            in->lfFaceName[length - 1] >= 0xD800 && in->lfFaceName[length - 1] <= 0xDBFF)
            --length; // never split a surrogate pair
    }
    std::memset(out->lfFaceName, 0, sizeof out->lfFaceName);
}

void GetVirtualScreenRect(RECT* rect) {
    GetVirtualScreenBounds(rect);
}
