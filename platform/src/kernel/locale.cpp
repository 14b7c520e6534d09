// Locales: the ANSI code page of a language, from a table of the languages the system's code pages serve.
#include "win32/kernel.h"

#include <cstdio>
#include <cstring>

namespace win32 {

namespace {

constexpr WORD AnySubLanguage = 0xFFFF;

struct LanguageCodePage {
    WORD primary;     // bits 0-9 of the LANGID
    WORD subLanguage; // bits 10-15, or AnySubLanguage
    UINT codePage;
};

// Entries for one sub-language come before the entry of its whole language.
constexpr LanguageCodePage CodePages[] = {
    // Chinese: traditional script in Taiwan, Hong Kong and Macau, simplified in the PRC and Singapore.
    {0x04, 0x01, 950},
    {0x04, 0x03, 950},
    {0x04, 0x05, 950},
    {0x04, AnySubLanguage, 936},
    // Croatian, Serbian and Bosnian share a primary language: the Cyrillic forms use 1251.
    {0x1A, 0x03, 1251},
    {0x1A, 0x07, 1251},
    {0x1A, 0x08, 1251},
    {0x1A, AnySubLanguage, 1250},
    // Azeri and Uzbek: Latin script (sub-language 1) or Cyrillic (2).
    {0x2C, 0x02, 1251},
    {0x2C, AnySubLanguage, 1254},
    {0x43, 0x02, 1251},
    {0x43, AnySubLanguage, 1254},
    {0x01, AnySubLanguage, 1256}, // Arabic
    {0x02, AnySubLanguage, 1251}, // Bulgarian
    {0x03, AnySubLanguage, 1252}, // Catalan
    {0x05, AnySubLanguage, 1250}, // Czech
    {0x06, AnySubLanguage, 1252}, // Danish
    {0x07, AnySubLanguage, 1252}, // German
    {0x08, AnySubLanguage, 1253}, // Greek
    {0x09, AnySubLanguage, 1252}, // English
    {0x0A, AnySubLanguage, 1252}, // Spanish
    {0x0B, AnySubLanguage, 1252}, // Finnish
    {0x0C, AnySubLanguage, 1252}, // French
    {0x0D, AnySubLanguage, 1255}, // Hebrew
    {0x0E, AnySubLanguage, 1250}, // Hungarian
    {0x0F, AnySubLanguage, 1252}, // Icelandic
    {0x10, AnySubLanguage, 1252}, // Italian
    {0x11, AnySubLanguage, 932},  // Japanese
    {0x12, AnySubLanguage, 949},  // Korean
    {0x13, AnySubLanguage, 1252}, // Dutch
    {0x14, AnySubLanguage, 1252}, // Norwegian
    {0x15, AnySubLanguage, 1250}, // Polish
    {0x16, AnySubLanguage, 1252}, // Portuguese
    {0x18, AnySubLanguage, 1250}, // Romanian
    {0x19, AnySubLanguage, 1251}, // Russian
    {0x1B, AnySubLanguage, 1250}, // Slovak
    {0x1C, AnySubLanguage, 1250}, // Albanian
    {0x1D, AnySubLanguage, 1252}, // Swedish
    {0x1E, AnySubLanguage, 874},  // Thai
    {0x1F, AnySubLanguage, 1254}, // Turkish
    {0x20, AnySubLanguage, 1256}, // Urdu
    {0x21, AnySubLanguage, 1252}, // Indonesian
    {0x22, AnySubLanguage, 1251}, // Ukrainian
    {0x23, AnySubLanguage, 1251}, // Belarusian
    {0x24, AnySubLanguage, 1250}, // Slovenian
    {0x25, AnySubLanguage, 1257}, // Estonian
    {0x26, AnySubLanguage, 1257}, // Latvian
    {0x27, AnySubLanguage, 1257}, // Lithuanian
    {0x29, AnySubLanguage, 1256}, // Persian
    {0x2A, AnySubLanguage, 1258}, // Vietnamese
    {0x2D, AnySubLanguage, 1252}, // Basque
    {0x2F, AnySubLanguage, 1251}, // Macedonian
    {0x36, AnySubLanguage, 1252}, // Afrikaans
    {0x38, AnySubLanguage, 1252}, // Faroese
    {0x3C, AnySubLanguage, 1252}, // Irish
    {0x3E, AnySubLanguage, 1252}, // Malay
    {0x3F, AnySubLanguage, 1251}, // Kazakh
    {0x40, AnySubLanguage, 1251}, // Kyrgyz
    {0x41, AnySubLanguage, 1252}, // Swahili
    {0x44, AnySubLanguage, 1251}, // Tatar
    {0x52, AnySubLanguage, 1252}, // Welsh
    {0x56, AnySubLanguage, 1252}, // Galician
    {0x6E, AnySubLanguage, 1252}, // Luxembourgish
};

constexpr WORD LanguageNeutral = 0x00;

// The code page of a locale; 0 when the table does not know its language.
UINT AnsiCodePageOf(LCID locale) {
    const auto language = static_cast<LANGID>(locale & 0xFFFF);
    const WORD primary = language & 0x3FF;
    const auto subLanguage = static_cast<WORD>(language >> 10);
    // The neutral language stands for the user's or the system's default locale.
    if (primary == LanguageNeutral) return GetACP();
    for (const LanguageCodePage& entry : CodePages)
        if (entry.primary == primary &&
            (entry.subLanguage == AnySubLanguage || entry.subLanguage == subLanguage))
            return entry.codePage;
    return 0;
}

} // namespace

int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size) {
    if (type != LOCALE_IDEFAULTANSICODEPAGE) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const UINT codePage = AnsiCodePageOf(locale);
    if (codePage == 0 || size < 0 || (size > 0 && !data)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%u", codePage);
    const int needed = length + 1;
    if (size == 0) return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(data, text, static_cast<std::size_t>(needed));
    return needed;
}

} // namespace win32
