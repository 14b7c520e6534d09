#include "core/error_message.h"

#include "core/command_line.h"
#include "core/runtime_services.h"

#include "win32/kernel.h"
#include "win32/resource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

using namespace win32;

namespace vtrrt {

namespace {

constexpr UINT StringOutOfMemory = 8;
constexpr UINT StringFileError = 9;
constexpr UINT StringCannotOpen = 4;
constexpr int MessageUnits = 256;
// The library's stream result codes share this high word.
constexpr unsigned StreamCodeBase = 0x40000000;
constexpr unsigned StreamCodeMask = 0xFFFF0000;

UINT StringIdOf(int code) {
    const unsigned value = static_cast<unsigned>(code);
    if ((value & StreamCodeMask) == StreamCodeBase)
        return value == StreamCodeBase ? StringOutOfMemory : StringFileError;
    return static_cast<UINT>(code);
}

constexpr UINT StringCannotFind = 13;
constexpr UINT StringCannotLoad = 21;

// The text as one line on stderr, then in a box with the information icon when asked.
void Report(HWND owner, const std::u16string& text, bool box) {
    ReportErrorLine(text);
    if (box) MessageBoxW(owner, text.c_str(), nullptr, MB_ICONINFORMATION);
}

// A string of the program's table with each "%s" replaced by the next of the values (never read as a
// format).
std::u16string FilledMessage(UINT id, std::initializer_list<std::u16string_view> values) {
    WCHAR message[MessageUnits];
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, message, MessageUnits);
    std::u16string text(message, static_cast<std::size_t>(std::max(length, 0)));
    std::size_t from = 0;
    for (std::u16string_view value : values) {
        const std::size_t at = text.find(u"%s", from);
        if (at == std::u16string::npos) break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

std::u16string NamedMessage(UINT id, const WCHAR* name) {
    return FilledMessage(id, {name ? name : u""});
}

constexpr UINT StringDamagedChunk = 24;
constexpr UINT StringDamagedChunkList = 25;
constexpr UINT StringFrameNotLoaded = 26;
constexpr UINT StringFrameNotStarted = 27;

std::u16string Hex(std::int64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return std::u16string(text, text + std::strlen(text));
}

} // namespace

std::u16string ErrorMessageText(int code, const WCHAR* fileName) {
    std::u16string text;
    if (code == static_cast<int>(StringCannotOpen) && fileName) {
        text = fileName;
        text += u" : ";
    }
    WCHAR message[MessageUnits];
    const int length = LoadStringW(GetModuleHandleW(nullptr), StringIdOf(code), message, MessageUnits);
    if (length > 0) {
        text.append(message, static_cast<std::size_t>(length));
    } else {
        // A code without a string still says something.
        const std::string fallback = "Error " + std::to_string(code) + ".";
        text.append(fallback.begin(), fallback.end());
    }
    return text;
}

bool IsDamagedDataCode(int code) {
    const unsigned value = static_cast<unsigned>(code);
    return code == static_cast<int>(StringFileError) ||
           ((value & StreamCodeMask) == StreamCodeBase && value != StreamCodeBase);
}

std::u16string LoadFailureText(const WCHAR* fileName, std::int32_t frameIndex, FrameFailure failure,
                               const DamagePlace* place, int code) {
    std::u16string text;
    if (fileName) {
        text = fileName;
        text += u" : ";
    }
    std::u16string sentences;
    if (frameIndex >= 0) {
        const std::string number = std::to_string(std::int64_t{frameIndex} + 1);
        sentences =
            FilledMessage(failure == FrameFailure::Start ? StringFrameNotStarted : StringFrameNotLoaded,
                          {std::u16string(number.begin(), number.end())});
    }
    std::u16string cause;
    if (place)
        cause = place->chunk == DamagedChunkUnknown
                    ? FilledMessage(StringDamagedChunkList, {Hex(place->offset, 1)})
                    : FilledMessage(StringDamagedChunk, {Hex(place->chunk, 4), Hex(place->offset, 1)});
    else if (code > 0)
        cause = ErrorMessageText(code, nullptr);
    if (!sentences.empty() && !cause.empty()) sentences += u' ';
    return text + sentences + cause;
}

void ShowLoadFailure(HWND owner, const WCHAR* fileName, std::int32_t frameIndex, FrameFailure failure,
                     const DamagePlace* place, int code) {
    Report(owner, LoadFailureText(fileName, frameIndex, failure, place, code),
           (GetCommandLineOptions().errorBoxes & 1) != 0);
}

void ReportErrorLine(std::u16string_view text) {
    std::fprintf(stderr, "vtrrt: %s\n", ToUtf8(text).c_str());
    std::fflush(stderr);
}

void ShowErrorMessage(HWND owner, int code, const WCHAR* fileName) {
    if (code <= 0) return;
    Report(owner, ErrorMessageText(code, fileName), (GetCommandLineOptions().errorBoxes & 1) != 0);
}

void ShowFileErrorMessage(HWND owner, const WCHAR* fileName) {
    std::u16string text = fileName ? fileName : u"";
    text += u" : ";
    text += ErrorMessageText(static_cast<int>(StringFileError), nullptr);
    Report(owner, text, (GetCommandLineOptions().errorBoxes & 1) != 0);
}

void ShowCannotFindMessage(const WCHAR* name) {
    Report(Services().mainWindow, NamedMessage(StringCannotFind, name), true);
}

void ShowCannotLoadMessage(const WCHAR* name) {
    Report(Services().mainWindow, NamedMessage(StringCannotLoad, name), true);
}

} // namespace vtrrt
