// Logical font records as stored in application data and handed between modules; fonts made from them,
// resolved through fontconfig to FreeType faces, with their metrics, text extents and text drawing.
#pragma once

#include "win32/types.h"

namespace win32 {

struct FontObject;
using HFONT = FontObject*;

constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTW) == 92);

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTA) == 60);

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct DRAWTEXTPARAMS {
    UINT cbSize;
    int iTabLength;
    int iLeftMargin;
    int iRightMargin;
    UINT uiLengthDrawn;
};
static_assert(sizeof(DRAWTEXTPARAMS) == 20);

// Weights.
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_THIN = 100;
constexpr LONG FW_LIGHT = 300;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_MEDIUM = 500;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_HEAVY = 900;

// Character sets.
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGUL_CHARSET = 129;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE CHINESEBIG5_CHARSET = 136;
constexpr BYTE GREEK_CHARSET = 161;
constexpr BYTE TURKISH_CHARSET = 162;
constexpr BYTE HEBREW_CHARSET = 177;
constexpr BYTE ARABIC_CHARSET = 178;
constexpr BYTE BALTIC_CHARSET = 186;
constexpr BYTE RUSSIAN_CHARSET = 204;
constexpr BYTE THAI_CHARSET = 222;
constexpr BYTE EASTEUROPE_CHARSET = 238;
constexpr BYTE OEM_CHARSET = 255;

// Qualities: the non-antialiased one draws monochrome glyphs.
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DRAFT_QUALITY = 1;
constexpr BYTE PROOF_QUALITY = 2;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr BYTE CLEARTYPE_QUALITY = 5;

// Pitch and family.
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;
constexpr BYTE FF_SCRIPT = 0x40;
constexpr BYTE FF_DECORATIVE = 0x50;

// Stock fonts (GetStockObject indexes).
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;

// Text alignment (SetTextAlign).
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr UINT TA_RTLREADING = 256;

// ExtTextOut options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// DrawText formats.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_INTERNAL = 0x00001000;
constexpr UINT DT_EDITCONTROL = 0x00002000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_RTLREADING = 0x00020000;
constexpr UINT DT_HIDEPREFIX = 0x00100000;

// Logical fonts. A face the machine lacks becomes fontconfig's nearest match (a sans-serif for names it
// does not know); a negative height is the em size in pixels, a positive one the cell height.
HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontIndirectA(const LOGFONTA* font);
// Frees a font made by CreateFontIndirect; stock fonts and unknown handles answer FALSE and stay.
BOOL DeleteFont(HFONT font);
// The logical font a handle was made from (the GetObject of a font): bytes copied, or the size with no
// buffer; 0 for what is not a font.
int GetFontObjectW(HFONT font, int size, LOGFONTW* out);
int GetFontObjectA(HFONT font, int size, LOGFONTA* out);
// The stock fonts (SYSTEM_FONT, DEFAULT_GUI_FONT, ...): never deleted; null for other indexes.
HFONT GetStockFont(int index);
// Whether a handle is a live font of this layer.
bool IsFont(const void* handle);

// Metrics and extents of a font, without a device context.
BOOL GetFontTextMetricsW(HFONT font, TEXTMETRICW* metrics);
BOOL GetFontTextExtentW(HFONT font, LPCWSTR text, int length, SIZE* size);

// Text through device contexts. A DC starts with SYSTEM_FONT and TA_TOP | TA_LEFT; the font and the
// alignment are the DC's, the text and background colours and the background mode those of SetTextColor,
// SetBkColor and SetBkMode.
HFONT SelectFont(HDC dc, HFONT font);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int length, SIZE* size);
BOOL GetTextExtentPointW(HDC dc, LPCWSTR text, int length, SIZE* size);
// The advances of the characters first..last of the DC's font, in whole pixels: the widths a text extent
// adds up. FALSE when last comes before first.
BOOL GetCharWidthW(HDC dc, UINT first, UINT last, INT* widths);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx);
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
// A count of -1 means a terminated string. The result is the height of the text (0 on failure); with
// DT_VCENTER or DT_BOTTOM, the offset from the top of the rectangle to the bottom of the text.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);
int DrawTextExW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format, DRAWTEXTPARAMS* params);
// Width (low word) and height (high word) of a line whose tabs jump to the given stops: none means every
// eight average character widths, one means every that many pixels, more are positions after which the
// last gap repeats.
DWORD GetTabbedTextExtentW(HDC dc, LPCWSTR text, int count, int tabCount, const INT* tabStops);

} // namespace win32
