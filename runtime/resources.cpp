// The program's resources: its string table. Messages are looked up by number through LoadStringW, which
// is also where language files replace them.
#include "win32/resource.h"

#include <iterator>

namespace {

constexpr win32::StringResource Strings[] = {
    {2, u"Window initialization error."},
    {3, u"Application initialization error."},
    {4, u"Error while opening file."},
    {8, u"Not enough memory!"},
    {9, u"File error!"},
    {13, u"Cannot find %s!"},
    {14, u"There is not enough available space in the temporary drive. Free some disk space and try again."},
    {19, u"This application has been built with an incompatible version of Vantaro or Gridlark."},
    {20, u"This is not an application file!"},
    {21, u"Cannot load %s. This object might need an external program or library not yet installed."},
    {22, u"Joystick not connected or driver not installed."},
    {23, u"Cannot initialize Application."},
};

} // namespace

WIN32_MODULE_RESOURCES = {Strings, std::size(Strings)};
