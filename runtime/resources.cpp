// The program's resources: its string table and the templates of its dialogs. Messages and dialogs are
// looked up by number (LoadStringW, DialogBoxParamW), which is also where language files replace them.
#include "win32/dialog_template.h"
#include "win32/resource.h"

#include <iterator>

namespace {

using namespace win32;

constexpr StringResource Strings[] = {
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
    // Damaged application data, with the place of the damage.
    {24, u"Damaged data in chunk %s at offset %s."},
    {25, u"Damaged data: the chunk list breaks off at offset %s."},
    {26, u"Frame %s cannot be loaded."},
    {27, u"Frame %s cannot start."},
    // Key names of the keyboard set-up.
    {101, u"%d (Num. keypad)"},
    {102, u"Backspace"},
    {103, u"Tab"},
    {104, u"Clear"},
    {105, u"Enter"},
    {106, u"Shift"},
    {107, u"Control"},
    {108, u"Space bar"},
    {109, u"Page Up"},
    {110, u"Page Down"},
    {111, u"End"},
    {112, u"Home"},
    {113, u"Left Arrow"},
    {114, u"Up Arrow"},
    {115, u"Right Arrow"},
    {116, u"Down Arrow"},
    {117, u"Select"},
    {118, u"Execute"},
    {119, u"Ins"},
    {120, u"Del"},
    {121, u"Escape"},
    {130, u"An error has occurred while reading the file."},
    {131, u"This file is not a VTR application position file."},
    {132, u"This file was not saved by this application."},
    {133, u"This file was saved with an incompatible version of VTR runtime."},
    {134, u"This file was saved by a incompatible version of the application."},
    {135, u"The current frame is not the same as the saved one."},
};

constexpr DWORD DialogStyle = DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD Shown = WS_VISIBLE;
constexpr DWORD Button = Shown | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD DefaultButton = Shown | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD Text = Shown | SS_LEFT;
constexpr DWORD NoId = 0xFFFF;

using Writer = DialogTemplateWriter<1024>;

constexpr Writer PausedDialog = [] {
    Writer t(DialogStyle, 0, {0, 0, 150, 42}, u"Application paused", 8, u"Helv");
    t.Item(DialogClassButton, DefaultButton, {50, 14, 50, 14}, IDOK, u"Continue");
    return t;
}();

constexpr Writer KeyboardSetupDialog = [] {
    Writer t(DialogStyle, 0, {0, 0, 166, 178}, u"Keyboard setup", 8, u"Helv");
    constexpr const char16_t* names[] = {u"Up",       u"Down",     u"Left",     u"Right",
                                         u"Button 1", u"Button 2", u"Button 3", u"Button 4"};
    for (int i = 0; i < 8; ++i) {
        const auto y = static_cast<SHORT>(8 + 17 * i);
        t.Item(DialogClassButton, Button, {8, y, 56, 14}, static_cast<DWORD>(101 + i), names[i]);
        t.Item(DialogClassStatic, Text, {72, static_cast<SHORT>(y + 3), 88, 10}, static_cast<DWORD>(110 + i),
               u"");
    }
    t.Item(DialogClassStatic, SS_CENTER, {72, 60, 88, 24}, 120, u"Press a key ... (or ESC to cancel)");
    t.Item(DialogClassButton, DefaultButton, {24, 154, 56, 14}, IDOK, u"OK");
    t.Item(DialogClassButton, Button, {88, 154, 56, 14}, IDCANCEL, u"Cancel");
    return t;
}();

constexpr Writer PasswordDialog = [] {
    Writer t(DialogStyle, 0, {0, 0, 160, 56}, u"Enter password", 8, u"Helv");
    t.Item(DialogClassEdit, Shown | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, {10, 10, 140, 13}, 101, u"");
    t.Item(DialogClassButton, DefaultButton, {24, 34, 52, 14}, IDOK, u"OK");
    t.Item(DialogClassButton, Button, {84, 34, 52, 14}, IDCANCEL, u"Cancel");
    return t;
}();

constexpr Writer PlayerControlsDialog = [] {
    Writer t(DialogStyle, 0, {0, 0, 244, 158}, u"Player controls", 8, u"Tahoma");
    t.Item(DialogClassButton, Shown | BS_GROUPBOX, {7, 5, 230, 126}, NoId, u"Default Controls");
    t.Item(DialogClassStatic, Shown | SS_BLACKFRAME, {72, 32, 152, 90}, 121, u"");
    constexpr const char16_t* columns[] = {u"1", u"2", u"3", u"4"};
    for (int c = 0; c < 4; ++c)
        t.Item(DialogClassStatic, Shown | SS_CENTER, {static_cast<SHORT>(72 + 38 * c), 20, 38, 10}, NoId,
               columns[c]);
    constexpr const char16_t* rows[] = {u"Joystick 1", u"Joystick 2", u"Joystick 3", u"Joystick 4",
                                        u"Keyboard"};
    for (int r = 0; r < 5; ++r)
        t.Item(DialogClassStatic, Text, {14, static_cast<SHORT>(37 + 18 * r), 56, 10}, NoId, rows[r]);
    t.Item(DialogClassButton, DefaultButton, {62, 137, 56, 14}, IDOK, u"OK");
    t.Item(DialogClassButton, Button, {126, 137, 56, 14}, IDCANCEL, u"Cancel");
    return t;
}();

constexpr Writer AboutDialog = [] {
    Writer t(DialogStyle, 0, {0, 0, 200, 112}, u"About", 8, u"Helv");
    t.ItemWithResource(DialogClassStatic, Shown | SS_ICON, {10, 10, 20, 20}, 101, 100);
    t.Item(DialogClassStatic, Text, {40, 10, 150, 12}, 102, u"");
    // Room for five lines of the About text: an application's text of four lines is shown whole.
    t.Item(DialogClassStatic, Text, {40, 26, 150, 40}, 104, u"");
    t.Item(DialogClassStatic, Text, {40, 68, 150, 16}, 105, u"");
    t.Item(DialogClassButton, DefaultButton, {74, 90, 52, 14}, IDOK, u"OK");
    return t;
}();

static_assert(PausedDialog.Complete() && KeyboardSetupDialog.Complete() && PasswordDialog.Complete() &&
              PlayerControlsDialog.Complete() && AboutDialog.Complete());

constexpr BinaryResource Binaries[] = {
    {RT_DIALOG, 700, PausedDialog.Data(), PausedDialog.Bytes()},
    {RT_DIALOG, 701, KeyboardSetupDialog.Data(), KeyboardSetupDialog.Bytes()},
    {RT_DIALOG, 703, PasswordDialog.Data(), PasswordDialog.Bytes()},
    {RT_DIALOG, 704, PlayerControlsDialog.Data(), PlayerControlsDialog.Bytes()},
    {RT_DIALOG, 705, AboutDialog.Data(), AboutDialog.Bytes()},
};

} // namespace

WIN32_MODULE_RESOURCES = {Strings, std::size(Strings), Binaries, std::size(Binaries)};
