#include "shell/error_message.h"

#include "shell/command_line.h"
#include "shell/runtime_services.h"

#include "win32/kernel.h"
#include "win32/resource.h"

#include <algorithm>
#include <cstdio>

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

// A string of the program's table with its "%s" replaced by the name (never read as a format).
std::u16string NamedMessage(UINT id, const WCHAR* name) {
    WCHAR message[MessageUnits];
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, message, MessageUnits);
    std::u16string text(message, static_cast<std::size_t>(std::max(length, 0)));
    const std::size_t at = text.find(u"%s");
    if (at != std::u16string::npos) text.replace(at, 2, name ? name : u"");
    return text;
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
