#include "win32/kernel.h"
#include "win32/menu.h"
#include "win32/resource.h"

#include <gtest/gtest.h>

using namespace win32;

namespace {

std::u16string ModulePath() {
    return FromUtf8(TEST_MODULE_PATH);
}

TEST(Modules, LoadedModuleGivesItsExportsAndFileName) {
    HMODULE module = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    auto answer = reinterpret_cast<int (*)()>(GetProcAddress(module, "TestModuleAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(*static_cast<int*>(GetProcAddress(module, "TestModuleValue")), 7);
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(12)), nullptr); // ordinals do not exist here

    WCHAR name[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, name, MAX_PATH);
    EXPECT_EQ(std::u16string(name, length), ModulePath());
    WCHAR small[5];
    EXPECT_EQ(GetModuleFileNameW(module, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small[4], 0);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, LoadsAreCountedLikeWindows) {
    HMODULE first = LoadLibraryW(ModulePath().c_str());
    HMODULE second = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(GetModuleHandleW(u"PLATFORM_TEST_MODULE.so"), first); // still loaded once
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_FALSE(FreeLibrary(second));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Modules, DllNameFindsTheModuleOfThisSystem) {
    std::u16string dllName = ModulePath();
    dllName.replace(dllName.size() - 3, 3, u".dll"); // ".so" -> ".dll"
    for (char16_t& c : dllName)
        if (c == u'/') c = u'\\';
    HMODULE module = LoadLibraryW(dllName.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetModuleHandleW(u"platform_test_module.dll"), module);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, MissingAndInvalidModulesAreReported) {
    EXPECT_EQ(LoadLibraryW(u"/nonexistent/none.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    // A file that exists but is no module.
    EXPECT_EQ(LoadLibraryW(u"/proc/self/status"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(GetModuleHandleW(u"not-loaded.dll"), nullptr);
}

TEST(Modules, ProgramHandleNamesTheRunningProgram) {
    HMODULE self = GetModuleHandleW(nullptr);
    ASSERT_NE(self, nullptr);
    WCHAR name[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, name, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_TRUE(std::u16string(name, length).ends_with(u"/test_platform"));
    EXPECT_TRUE(FreeLibrary(self)); // the program stays
    EXPECT_EQ(GetModuleHandleW(nullptr), self);
}

TEST(Modules, StringsComeInTheSystemCodePageCutToTheBuffer) {
    HMODULE module = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    char narrow[32];
    EXPECT_EQ(LoadStringA(module, 1, narrow, sizeof narrow), 9);
    EXPECT_STREQ(narrow, "Caf\xE9 menu");
    EXPECT_EQ(LoadStringA(module, 1, narrow, 5), 4) << "cut to size - 1 bytes, terminated";
    EXPECT_STREQ(narrow, "Caf\xE9");
    EXPECT_EQ(LoadStringA(module, 2, narrow, sizeof narrow), 5);
    EXPECT_STREQ(narrow, "?? go");
    narrow[0] = 'x';
    EXPECT_EQ(LoadStringA(module, 3, narrow, sizeof narrow), 0);
    EXPECT_EQ(narrow[0], 0);
    narrow[0] = 'x';
    EXPECT_EQ(LoadStringA(module, 99, narrow, sizeof narrow), 0);
    EXPECT_EQ(narrow[0], 0);
    EXPECT_EQ(LoadStringA(module, 1, narrow, 0), 0);
    WCHAR wide[32];
    EXPECT_EQ(LoadStringW(module, 2, wide, 32), 5);
    EXPECT_EQ(std::u16string(wide), u"\u65E5\u672C go");
    EXPECT_TRUE(FreeLibrary(module));
}

// The base is the module's ELF header and the size reaches past everything it defines.
TEST(Modules, InformationGivesWhereTheModuleLies) {
    HMODULE module = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    MODULEINFO info{};
    ASSERT_TRUE(GetModuleInformation(GetCurrentProcess(), module, &info, sizeof info));
    const auto* base = static_cast<const char*>(info.lpBaseOfDll);
    EXPECT_EQ(std::string(base, 4), "\x7F"
                                    "ELF");
    EXPECT_EQ(info.EntryPoint, nullptr);
    for (const char* symbol : {"TestModuleAnswer", "TestModuleValue", "VtrModuleResources"}) {
        const auto* at = static_cast<const char*>(GetProcAddress(module, symbol));
        EXPECT_GT(at, base) << symbol;
        EXPECT_LT(at, base + info.SizeOfImage) << symbol;
    }
    MODULEINFO program{};
    ASSERT_TRUE(GetModuleInformation(GetCurrentProcess(), nullptr, &program, sizeof program));
    EXPECT_EQ(std::string(static_cast<const char*>(program.lpBaseOfDll), 4), "\x7F"
                                                                             "ELF");
    const auto* here = reinterpret_cast<const char*>(&ModulePath);
    EXPECT_GT(here, static_cast<const char*>(program.lpBaseOfDll));
    EXPECT_LT(here, static_cast<const char*>(program.lpBaseOfDll) + program.SizeOfImage);
    EXPECT_NE(program.EntryPoint, nullptr);

    EXPECT_FALSE(GetModuleInformation(GetCurrentProcess(), module, &info, sizeof info - 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GetModuleInformation(nullptr, module, &info, sizeof info));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(GetModuleInformation(GetCurrentProcess(), module, &info, sizeof info));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Modules, MenusComeFromTheModulesMenuResources) {
    HMODULE module = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(5));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    WCHAR text[16];
    GetMenuStringW(menu, 1, text, 16, MF_BYPOSITION);
    EXPECT_EQ(std::u16string(text), u"&Help");
    EXPECT_EQ(GetMenuItemID(menu, 1), 20u);
    HMENU file = GetSubMenu(menu, 0);
    ASSERT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
    EXPECT_EQ(GetMenuItemID(file, 2), 11u);
    DestroyMenu(menu);

    const auto five = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(5));
    HMENU ansi = LoadMenuA(module, five);
    ASSERT_NE(ansi, nullptr);
    EXPECT_EQ(GetMenuItemCount(ansi), 2);
    DestroyMenu(ansi);
    EXPECT_EQ(FindResourceA(module, five, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(RT_MENU))),
              FindResourceW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(RT_MENU)));

    EXPECT_EQ(LoadMenuW(module, MAKEINTRESOURCEW(6)), nullptr) << "read no further than the resource";
    EXPECT_EQ(LoadMenuW(module, MAKEINTRESOURCEW(7)), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, ErrorModeHandsBackThePreviousMode) {
    const UINT original = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(SetErrorMode(original), SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

} // namespace
