// Font items of bank 5 and the conversions of the application's stored 16-bit font records.
#pragma once

#include "vtrs2/banks.h"
#include "vtrs2/export.h"
#include "win32/font.h"

struct FontItem {
    BankItemHeader header;
    win32::DWORD checksum; // over the reserved word and the ANSI form of the font
    win32::DWORD reserved;
    win32::LOGFONTW font;
};
static_assert(sizeof(FontItem) == 112);

struct FontInfoW {
    win32::DWORD checksum;
    win32::DWORD refCount;
    win32::DWORD dataSize;
    win32::LOGFONTW font;
};
struct FontInfoA {
    win32::DWORD checksum;
    win32::DWORD refCount;
    win32::DWORD dataSize;
    win32::LOGFONTA font;
};

// The application's stored font record: five 16-bit numbers, eight bytes, a 32-character ANSI face name.
struct LogFont16 {
    win32::SHORT height, width, escapement, orientation, weight;
    win32::BYTE italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality, pitchAndFamily;
    char faceName[32];
};
static_assert(sizeof(LogFont16) == 50);

// AddFont flag: an equal font already in the bank is shared instead.
constexpr win32::DWORD AddFontDeduplicate = 0x100;

// `record` holds the font after 12 bytes. Handles are 16-bit; 0 on failure.
VTRS2_API win32::WORD AddFont(ContextBanks* banks, win32::DWORD flags, const void* record);
VTRS2_API win32::WORD AddFontA(ContextBanks* banks, win32::DWORD flags, const void* record);
VTRS2_API win32::LONG ReleaseFont(ContextBanks* banks, win32::DWORD handle);
VTRS2_API win32::LONG AddFontRef(ContextBanks* banks, win32::DWORD handle);
VTRS2_API int GetFontInfoW(ContextBanks* banks, win32::DWORD handle, FontInfoW* info);
VTRS2_API int GetFontInfoA(ContextBanks* banks, win32::DWORD handle, FontInfoA* info);
// A GDI font made from the item's description; null when the handle names no font.
VTRS2_API win32::HFONT CreateBankFont(ContextBanks* banks, win32::DWORD handle);
VTRS2_API win32::HFONT CreateFontFromLogFont16(const LogFont16* font);

VTRS2_API void LogFont16ToLogFontA(win32::LOGFONTA* out, const LogFont16* in);
VTRS2_API void LogFontAToLogFont16(LogFont16* out, const win32::LOGFONTA* in);
VTRS2_API void LogFont16ToLogFontW(win32::LOGFONTW* out, const LogFont16* in);
VTRS2_API void LogFontWToLogFont16(LogFont16* out, const win32::LOGFONTW* in);
