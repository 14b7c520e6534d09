// UTF-16 text against UTF-8 and the Windows code pages: UTF-8 by hand, every other code page through iconv.
#include "text.h"

#include "win32/user.h"

#include <iconv.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <map>

namespace win32::detail {

namespace {

static_assert(std::endian::native == std::endian::little, "UTF-16LE is handed to iconv as it lies in memory");

constexpr char16_t Replacement = 0xFFFD;
constexpr UINT SystemAnsiCodePage = 1252;
constexpr UINT SystemOemCodePage = 437;
constexpr UINT CP_MACCP = 2;

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

UINT ResolveCodePage(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
        return SystemAnsiCodePage;
    case CP_OEMCP:
        return SystemOemCodePage;
    case CP_MACCP:
        return 10000;
    default:
        return codePage;
    }
}

// Code pages whose bytes below 0x80 are ASCII whatever comes around them.
bool IsAsciiCompatible(UINT cp) {
    return cp == CP_UTF8 || cp == 874 || cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 437 ||
           cp == 850 || cp == 20127 || cp == 54936 || (cp >= 1250 && cp <= 1258) ||
           (cp >= 28591 && cp <= 28605);
}

struct CodePageName {
    UINT codePage;
    const char* name;
};

// Windows numbers whose iconv name is not simply "CP<number>".
constexpr std::array CodePageNames{
    CodePageName{874, "WINDOWS-874"},   CodePageName{932, "WINDOWS-31J"},
    CodePageName{1200, "UTF-16LE"},     CodePageName{1201, "UTF-16BE"},
    CodePageName{10000, "MACINTOSH"},   CodePageName{20127, "ASCII"},
    CodePageName{20866, "KOI8-R"},      CodePageName{20932, "EUC-JP"},
    CodePageName{21866, "KOI8-U"},      CodePageName{28591, "ISO-8859-1"},
    CodePageName{28592, "ISO-8859-2"},  CodePageName{28593, "ISO-8859-3"},
    CodePageName{28594, "ISO-8859-4"},  CodePageName{28595, "ISO-8859-5"},
    CodePageName{28596, "ISO-8859-6"},  CodePageName{28597, "ISO-8859-7"},
    CodePageName{28598, "ISO-8859-8"},  CodePageName{28599, "ISO-8859-9"},
    CodePageName{28603, "ISO-8859-13"}, CodePageName{28605, "ISO-8859-15"},
    CodePageName{50220, "ISO-2022-JP"}, CodePageName{51932, "EUC-JP"},
    CodePageName{51949, "EUC-KR"},      CodePageName{54936, "GB18030"},
    CodePageName{65000, "UTF-7"},
};

std::string IconvName(UINT cp) {
    for (const auto& entry : CodePageNames)
        if (entry.codePage == cp) return entry.name;
    return "CP" + std::to_string(cp);
}

// Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no character in 1252; Windows maps them to the C1 controls of
// the same number, which keeps every byte string round-tripping.
bool Is1252Hole(unsigned value) {
    return value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
}

// iconv descriptors are not shareable between threads, so each thread keeps its own, opened once.
class IconvCache {
public:
    ~IconvCache() {
        for (auto& [key, cd] : descriptors_)
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    iconv_t Get(UINT cp, bool toWide) {
        auto key = std::pair{cp, toWide};
        auto it = descriptors_.find(key);
        if (it == descriptors_.end()) {
            const std::string name = IconvName(cp);
            iconv_t cd = toWide ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
            it = descriptors_.emplace(key, cd).first;
        }
        if (it->second != reinterpret_cast<iconv_t>(-1))
            iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

private:
    std::map<std::pair<UINT, bool>, iconv_t> descriptors_;
};

iconv_t Descriptor(UINT cp, bool toWide) {
    thread_local IconvCache cache;
    return cache.Get(cp, toWide);
}

std::u16string DecodeUtf8(std::string_view bytes, bool& invalid) {
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        size_t length = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : 2;
        char32_t c = b0 >= 0xF0 ? (b0 & 0x07) : b0 >= 0xE0 ? (b0 & 0x0F) : (b0 & 0x1F);
        bool ok = b0 >= 0xC2 && b0 <= 0xF4 && i + length <= bytes.size();
        for (size_t k = 1; ok && k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            ok = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        ok = ok && !(length == 3 && c < 0x800) && !(length == 4 && (c < 0x10000 || c > 0x10FFFF)) &&
             !(c >= 0xD800 && c <= 0xDFFF);
        if (!ok) {
            invalid = true;
            out.push_back(Replacement);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

std::string EncodeUtf8(std::u16string_view text, bool& invalid) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char16_t first = text[i];
        const char32_t c = NextCodePoint(text, i);
        if (c == Replacement && first != Replacement) invalid = true;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool IsAscii(std::string_view bytes) {
    for (char b : bytes)
        if (static_cast<unsigned char>(b) >= 0x80) return false;
    return true;
}

bool IsAscii(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= 0x80) return false;
    return true;
}

// Runs iconv over the whole input; `onError` is told where a unit failed and returns how many input bytes to
// skip, or 0 to give up.
template <typename OnError>
bool RunIconv(iconv_t cd, const char* input, size_t inputSize, std::string& out, OnError onError) {
    char* in = const_cast<char*>(input);
    size_t inLeft = inputSize;
    std::array<char, 1024> chunk;
    while (true) {
        char* outPtr = chunk.data();
        size_t outLeft = chunk.size();
        const size_t result = inLeft ? iconv(cd, &in, &inLeft, &outPtr, &outLeft)
                                     : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        const int error = errno;
        out.append(chunk.data(), chunk.size() - outLeft);
        if (result != static_cast<size_t>(-1)) {
            if (inLeft == 0 && in != nullptr) {
                in = nullptr; // one more call flushes a stateful encoding
                continue;
            }
            return true;
        }
        if (error == E2BIG) continue;
        const size_t skip = onError(static_cast<size_t>(in - input), out);
        if (skip == 0 || skip > inLeft) return false;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

} // namespace

char32_t NextCodePoint(std::u16string_view text, std::size_t& index) {
    const char16_t unit = text[index++];
    if (!IsHighSurrogate(unit) && !IsLowSurrogate(unit)) return unit;
    if (IsHighSurrogate(unit) && index < text.size() && IsLowSurrogate(text[index])) {
        const char16_t low = text[index++];
        return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
    }
    return Replacement;
}

std::optional<std::u16string> DecodeCodePage(UINT codePage, std::string_view bytes, bool strict) {
    const UINT cp = ResolveCodePage(codePage);
    if (cp == CP_UTF8 || (IsAsciiCompatible(cp) && IsAscii(bytes))) {
        bool invalid = false;
        std::u16string text = DecodeUtf8(bytes, invalid);
        if (invalid && strict) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return std::nullopt;
        }
        return text;
    }
    iconv_t cd = Descriptor(cp, true);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    std::string wideBytes;
    const bool ok =
        RunIconv(cd, bytes.data(), bytes.size(), wideBytes, [&](size_t at, std::string& out) -> size_t {
            const auto byte = static_cast<unsigned char>(bytes[at]);
            if (cp == 1252 && Is1252Hole(byte)) {
                out.append({static_cast<char>(byte), '\0'});
                return 1;
            }
            if (strict) return 0;
            out.append({static_cast<char>(Replacement & 0xFF), static_cast<char>(Replacement >> 8)});
            return 1;
        });
    if (!ok) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return std::nullopt;
    }
    std::u16string text(wideBytes.size() / 2, u'\0');
    std::memcpy(text.data(), wideBytes.data(), text.size() * 2);
    return text;
}

std::optional<NarrowResult> EncodeCodePage(UINT codePage, std::u16string_view text, bool strict,
                                           std::string_view defaultChar) {
    const UINT cp = ResolveCodePage(codePage);
    NarrowResult result;
    if (cp == CP_UTF8 || (IsAsciiCompatible(cp) && IsAscii(text))) {
        bool invalid = false;
        result.text = EncodeUtf8(text, invalid);
        if (invalid && strict) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return std::nullopt;
        }
        return result;
    }
    iconv_t cd = Descriptor(cp, false);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const auto* input = reinterpret_cast<const char*>(text.data());
    const bool ok =
        RunIconv(cd, input, text.size() * 2, result.text, [&](size_t at, std::string& out) -> size_t {
            const size_t unit = at / 2;
            const char16_t c = text[unit];
            if (cp == 1252 && Is1252Hole(c)) {
                out.push_back(static_cast<char>(c));
                return 2;
            }
            const bool pair = IsHighSurrogate(c) && unit + 1 < text.size() && IsLowSurrogate(text[unit + 1]);
            if (strict && !pair && (IsHighSurrogate(c) || IsLowSurrogate(c))) return 0;
            out.append(defaultChar);
            result.usedDefault = true;
            return pair ? 4 : 2;
        });
    if (!ok) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return std::nullopt;
    }
    return result;
}

} // namespace win32::detail

namespace win32 {

UINT GetACP() {
    return detail::SystemAnsiCodePage;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceBytes, LPWSTR out,
                        int outUnits) {
    if (!source || sourceBytes == 0 || sourceBytes < -1 || outUnits < 0 || (outUnits > 0 && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = sourceBytes == -1 ? std::strlen(source) + 1 : static_cast<size_t>(sourceBytes);
    auto text = detail::DecodeCodePage(codePage, {source, length}, (flags & MB_ERR_INVALID_CHARS) != 0);
    if (!text) return 0;
    if (text->size() > static_cast<size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (outUnits == 0) return static_cast<int>(text->size());
    if (text->size() > static_cast<size_t>(outUnits)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, text->data(), text->size() * sizeof(WCHAR));
    return static_cast<int>(text->size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceUnits, LPSTR out, int outBytes,
                        LPCSTR defaultChar, BOOL* usedDefaultChar) {
    if (!source || sourceUnits == 0 || sourceUnits < -1 || outBytes < 0 || (outBytes > 0 && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length =
        sourceUnits == -1 ? std::char_traits<char16_t>::length(source) + 1 : static_cast<size_t>(sourceUnits);
    const std::string_view fallback = defaultChar ? std::string_view(defaultChar) : std::string_view("?");
    auto result = detail::EncodeCodePage(codePage, {source, length}, (flags & WC_ERR_INVALID_CHARS) != 0,
                                         fallback.empty() ? std::string_view("?") : fallback);
    if (!result) return 0;
    if (usedDefaultChar) *usedDefaultChar = result->usedDefault ? TRUE : FALSE;
    if (result->text.size() > static_cast<size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (outBytes == 0) return static_cast<int>(result->text.size());
    if (result->text.size() > static_cast<size_t>(outBytes)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, result->text.data(), result->text.size());
    return static_cast<int>(result->text.size());
}

BOOL OemToCharA(LPCSTR source, LPSTR out) {
    if (!source || !out) return FALSE;
    const std::string_view oem(source);
    if (oem.empty()) {
        out[0] = 0;
        return TRUE;
    }
    const auto wide = detail::DecodeCodePage(CP_OEMCP, oem, false);
    const auto ansi = wide ? detail::EncodeCodePage(CP_ACP, *wide, false, "?") : std::nullopt;
    // Both code pages give one byte per character, so the text keeps its length and fits where it was.
    if (!ansi || ansi->text.size() != oem.size()) return FALSE;
    std::memcpy(out, ansi->text.data(), ansi->text.size());
    out[ansi->text.size()] = 0;
    return TRUE;
}

std::string ToUtf8(std::u16string_view text) {
    bool invalid = false;
    return detail::EncodeUtf8(text, invalid);
}

std::u16string FromUtf8(std::string_view text) {
    bool invalid = false;
    return detail::DecodeUtf8(text, invalid);
}

} // namespace win32
