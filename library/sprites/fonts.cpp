// Font items of bank 5, checksummed over their ANSI form so that equal fonts are found whatever their origin.
#include "vtrs2/fonts.h"

#include "vtrs2/compat.h"
#include "vtrs2/rle_codec.h"

#include <cstring>

using namespace win32;

namespace {

constexpr DWORD FontHeaderSize = sizeof(FontItem);
constexpr std::size_t FontRecordOffset = 12;

FontItem* FontOf(ContextBanks* banks, DWORD handle) {
    return reinterpret_cast<FontItem*>(GetBankItem(banks, BankFonts, handle));
}

DWORD FontChecksum(const FontItem& item) {
    LOGFONTA narrow{};
    LogFontToNarrow(&narrow, &item.font);
    const DWORD sum = ComputeItemChecksum(&item.reserved, sizeof item.reserved);
    return ContinueChecksum(&narrow, sizeof narrow, sum);
}

template <typename From, typename To> void CopyNumbers(To* out, const From* in) {
    out->lfHeight = in->height, out->lfWidth = in->width, out->lfEscapement = in->escapement;
    out->lfOrientation = in->orientation, out->lfWeight = in->weight;
    out->lfItalic = in->italic, out->lfUnderline = in->underline, out->lfStrikeOut = in->strikeOut;
    out->lfCharSet = in->charSet, out->lfOutPrecision = in->outPrecision;
    out->lfClipPrecision = in->clipPrecision, out->lfQuality = in->quality;
    out->lfPitchAndFamily = in->pitchAndFamily;
}

template <typename From> void NarrowNumbers(LogFont16* out, const From* in) {
    out->height = static_cast<SHORT>(in->lfHeight), out->width = static_cast<SHORT>(in->lfWidth);
    out->escapement = static_cast<SHORT>(in->lfEscapement);
    out->orientation = static_cast<SHORT>(in->lfOrientation), out->weight = static_cast<SHORT>(in->lfWeight);
    out->italic = in->lfItalic, out->underline = in->lfUnderline, out->strikeOut = in->lfStrikeOut;
    out->charSet = in->lfCharSet, out->outPrecision = in->lfOutPrecision;
    out->clipPrecision = in->lfClipPrecision, out->quality = in->lfQuality;
    out->pitchAndFamily = in->lfPitchAndFamily;
}

} // namespace

WORD AddFont(ContextBanks* banks, DWORD flags, const void* record) {
    if (!banks || !record) return 0;
    const DWORD handle = AddBankItem(banks, BankFonts, FontHeaderSize, 0, BankItemZeroFill, nullptr);
    // Handles travel as 16 bits: a bank holding more fonts than that cannot hand this one out.
    if (!handle || handle > 0xFFFF) {
        if (handle) ReleaseBankItem(banks, BankFonts, handle);
        return 0;
    }
    FontItem* item = FontOf(banks, handle);
    std::memcpy(&item->font, static_cast<const BYTE*>(record) + FontRecordOffset, sizeof item->font);
    item->checksum = FontChecksum(*item);
    if (flags & AddFontDeduplicate) {
        if (const DWORD existing = FindDuplicateBankItem(banks, BankFonts, &item->header)) {
            AddBankItemRef(banks, BankFonts, existing);
            ReleaseBankItem(banks, BankFonts, handle);
            return static_cast<WORD>(existing);
        }
    }
    return static_cast<WORD>(handle);
}

WORD AddFontA(ContextBanks* banks, DWORD flags, const void* record) {
    if (!record) return 0;
    LOGFONTA narrow{};
    std::memcpy(&narrow, static_cast<const BYTE*>(record) + FontRecordOffset, sizeof narrow);
    BYTE wide[FontRecordOffset + sizeof(LOGFONTW)]{};
    LOGFONTW font{};
    LogFontToWide(&font, &narrow);
    std::memcpy(wide + FontRecordOffset, &font, sizeof font);
    return AddFont(banks, flags, wide);
}

LONG ReleaseFont(ContextBanks* banks, DWORD handle) {
    return ReleaseBankItem(banks, BankFonts, handle);
}

LONG AddFontRef(ContextBanks* banks, DWORD handle) {
    return AddBankItemRef(banks, BankFonts, handle);
}

int GetFontInfoW(ContextBanks* banks, DWORD handle, FontInfoW* info) {
    const FontItem* item = FontOf(banks, handle);
    if (!item || !info) return 0;
    info->checksum = item->checksum & 0xFFFF;
    info->refCount = item->header.refCount;
    info->dataSize = item->header.dataSize;
    info->font = item->font;
    return 1;
}

int GetFontInfoA(ContextBanks* banks, DWORD handle, FontInfoA* info) {
    const FontItem* item = FontOf(banks, handle);
    if (!item || !info) return 0;
    info->checksum = item->checksum & 0xFFFF;
    info->refCount = item->header.refCount;
    info->dataSize = item->header.dataSize;
    LogFontToNarrow(&info->font, &item->font);
    return 1;
}

HFONT CreateBankFont(ContextBanks* banks, DWORD handle) {
    const FontItem* item = FontOf(banks, handle);
    return item ? CreateFontIndirectCompat(&item->font) : nullptr;
}

HFONT CreateFontFromLogFont16(const LogFont16* font) {
    if (!font) return nullptr;
    LOGFONTW wide{};
    LogFont16ToLogFontW(&wide, font);
    return CreateFontIndirectCompat(&wide);
}

void LogFont16ToLogFontA(LOGFONTA* out, const LogFont16* in) {
    if (!out || !in) return;
    CopyNumbers(out, in);
    std::memcpy(out->lfFaceName, in->faceName, sizeof out->lfFaceName);
}

void LogFontAToLogFont16(LogFont16* out, const LOGFONTA* in) {
    if (!out || !in) return;
    NarrowNumbers(out, in);
    std::memcpy(out->faceName, in->lfFaceName, sizeof out->faceName);
}

void LogFont16ToLogFontW(LOGFONTW* out, const LogFont16* in) {
    if (!out || !in) return;
    LOGFONTA narrow{};
    LogFont16ToLogFontA(&narrow, in);
    // The stored face name need not be terminated inside its field.
    narrow.lfFaceName[LF_FACESIZE - 1] = 0;
    LogFontToWide(out, &narrow);
}

void LogFontWToLogFont16(LogFont16* out, const LOGFONTW* in) {
    if (!out || !in) return;
    LOGFONTA narrow{};
    LogFontToNarrow(&narrow, in);
    LogFontAToLogFont16(out, &narrow);
}
