#include "shell/error_message.h"

#include "shell/command_line.h"

#include "win32/kernel.h"
#include "win32/resource.h"

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

std::string ToUtf8(std::u16string_view text) {
    std::string out(text.size() * 3 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
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

void ShowErrorMessage(HWND owner, int code, const WCHAR* fileName) {
    if (code <= 0) return;
    const std::u16string text = ErrorMessageText(code, fileName);
    std::fprintf(stderr, "vtrrt: %s\n", ToUtf8(text).c_str());
    std::fflush(stderr);
    if (GetCommandLineOptions().errorBoxes & 1) MessageBoxW(owner, text.c_str(), nullptr, MB_ICONINFORMATION);
}

} // namespace vtrrt
