// The resources every translated test module carries: strings, a dialog, a menu and a block of strings, and
// the table that exports them. Included once by each module's source.
#pragma once

#include "win32/dialog_template.h"
#include "win32/menu.h"
#include "win32/resource.h"

#include <cstddef>
#include <iterator>

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace win32;

constexpr StringResource Strings[] = {
    {12, u"Open"},      {13, u"Close"},
    {20, u"Hello"},     {21, u"Long"}, // its translation is longer than the buffers the tests give
    {30, u"Caf\u00E9"},
};

using Writer = DialogTemplateWriter<256>;
constexpr DWORD NameLabel = 3;
constexpr Writer Settings = [] {
    Writer t(WS_POPUP | WS_CAPTION, 0, {0, 0, 120, 60}, u"Settings", 8, u"Helv");
    t.Item(DialogClassStatic, WS_VISIBLE | SS_LEFT, {5, 5, 60, 10}, NameLabel, u"Name");
    t.Item(DialogClassButton, WS_VISIBLE | BS_DEFPUSHBUTTON, {5, 30, 50, 14}, IDOK, u"OK");
    t.Item(DialogClassButton, WS_VISIBLE | BS_PUSHBUTTON, {60, 30, 50, 14}, IDCANCEL, u"Cancel");
    return t;
}();
static_assert(Settings.Complete());

// "&File" (Open, a separator, Exit) and "&Help"; the literal's own terminator is not part of it.
constexpr char16_t Menu[] = u"\0\0"             // version, header size
                            u"\x10&File\0"      // MF_POPUP
                            u"\0\x0A&Open\0"    // id 10
                            u"\0\0\0"           // a separator
                            u"\x80\x0B"         // MF_END, id 11
                            u"E&xit\0"          //
                            u"\x80\x14&Help\0"; // MF_END, id 20

// Block 1 holds strings 0 to 15: "Hello" is string 3, the others are empty.
constexpr char16_t Block[] = u"\0\0\0"
                             u"\x05Hello"
                             u"\0\0\0\0\0\0\0\0\0\0\0\0";

constexpr BinaryResource Binaries[] = {
    {RT_DIALOG, 100, Settings.Data(), Settings.Bytes()},
    {RT_MENU, 200, Menu, sizeof Menu - sizeof(char16_t)},
    {RT_STRING, 1, Block, sizeof Block - sizeof(char16_t)},
};

} // namespace

// The program that loads a test module exports a table of the same name: the module's own is defined under a
// hidden name and exported under the common one by the assembler alone, so that its own lookups never reach
// the program's.
extern "C" {
__attribute__((visibility("hidden"))) extern const win32::ModuleResources ModuleOwnResources;
const win32::ModuleResources ModuleOwnResources = {Strings, std::size(Strings), Binaries,
                                                   std::size(Binaries)};
}
asm(".globl VtrModuleResources\n"
    ".type VtrModuleResources, @object\n"
    ".size VtrModuleResources, 32\n"
    ".set VtrModuleResources, ModuleOwnResources\n");
