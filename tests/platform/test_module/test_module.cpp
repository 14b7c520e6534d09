// A module with a function, a data export and a string table for the loader and resource tests.
#include "win32/resource.h"

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

} // namespace

WIN32_MODULE_RESOURCES = {Strings, std::size(Strings), nullptr, 0};
