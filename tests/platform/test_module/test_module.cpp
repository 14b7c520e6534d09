// A module with a function, a data export, a string table and a menu for the loader and resource tests.
#include "win32/resource.h"

#include <cstddef>
#include <iterator>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int TestModuleAnswer() {
    return 42;
}

EXPORT int TestModuleValue;
int TestModuleValue = 7;

namespace {

constexpr win32::StringResource Strings[] = {
    {1, u"Caf\u00E9 menu"},  // one byte a character in code page 1252
    {2, u"\u65E5\u672C go"}, // characters 1252 lacks
    {3, u""},
};

// A version-0 menu template: "&File" (Open, a separator, Exit) and "&Help". The literal's own terminator is
// not part of it.
constexpr char16_t Menu[] = u"\0\0"          // version, header size
                            u"\x10&File\0"   // MF_POPUP
                            u"\0\x0A&Open\0" // id 10
                            u"\0\0\0"        // a separator
                            u"\x80\x0B"
                            u"E&xit\0"          // MF_END, id 11: the popup's last item
                            u"\x80\x14&Help\0"; // MF_END, id 20: the menu's last item
constexpr std::size_t MenuBytes = sizeof Menu - sizeof(char16_t);

constexpr win32::BinaryResource Binaries[] = {
    {win32::RT_MENU, 5, Menu, MenuBytes},
    {win32::RT_MENU, 6, Menu, MenuBytes - 4}, // cut inside its last item
};

} // namespace

WIN32_MODULE_RESOURCES = {Strings, std::size(Strings), Binaries, std::size(Binaries)};
