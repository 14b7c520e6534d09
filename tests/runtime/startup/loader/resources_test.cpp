#include "vtrs2/image_selector.h"
#include "win32/kernel.h"
#include "win32/resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace win32;

TEST(ModuleResources, ProgramStringTableIsFoundThroughItsModule) {
    WCHAR buffer[256];
    const int n = LoadStringW(GetModuleHandleW(nullptr), 20, buffer, 256);
    EXPECT_EQ(std::u16string(buffer), u"This is not an application file!");
    EXPECT_EQ(n, 32);
}

TEST(ModuleResources, LongStringIsCutToTheBufferAndTerminated) {
    WCHAR buffer[5];
    EXPECT_EQ(LoadStringW(nullptr, 9, buffer, 5), 4);
    EXPECT_EQ(std::u16string(buffer), u"File");
}

TEST(ModuleResources, MissingStringGivesZeroAndAnEmptyBuffer) {
    WCHAR buffer[8] = u"junk";
    EXPECT_EQ(LoadStringW(nullptr, 12345, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST(ModuleResources, SizeZeroHandsOutTheStringItself) {
    const WCHAR* text = nullptr;
    const int n = LoadStringW(nullptr, 23, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, static_cast<std::size_t>(n)), u"Cannot initialize Application.");
}

// This program and the library it loads each export a table under the same name; each module is given its
// own.
TEST(ModuleResources, TheLibrarySeesItsOwnTableNotTheProgramsOne) {
    HMODULE library = GetModuleHandleW(u"vtrs2.dll");
    ASSERT_NE(library, nullptr);
    const ModuleResources* own = FindModuleResources(library);
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, FindModuleResources(GetModuleHandleW(nullptr)));
    WCHAR buffer[8] = u"junk";
    EXPECT_EQ(LoadStringW(library, 20, buffer, 8), 0) << "the program's strings are not the library's";
    EXPECT_NE(FindResourceW(library, MAKEINTRESOURCEW(ImageSelectorTemplateId), MAKEINTRESOURCEW(RT_DIALOG)),
              nullptr);
}

} // namespace
