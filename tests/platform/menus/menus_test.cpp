#include "platform/windows/recorder.h"
#include "shell/application_menu.h"

#include "appwriter/menu_writer.h"

#include "win32/user.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace win32;
using appwriter::MenuItemDesc;
using appwriter::ShortcutDesc;
using vtrrt::ShortcutAlt;
using vtrrt::ShortcutControl;
using vtrrt::ShortcutEvenGreyed;
using Bytes = std::vector<std::uint8_t>;

std::u16string Text(HMENU menu, UINT position) {
    WCHAR buffer[64]{};
    GetMenuStringW(menu, position, buffer, 64, MF_BYPOSITION);
    return buffer;
}

std::vector<MenuItemDesc> SampleBar() {
    return {
        {u"&File", 0, 0, {{u"&Open", 100, 0, {}}, {u"", 0, 0, {}}, {u"&Quit", 1008, MF_CHECKED, {}}}},
        {u"&Options", 0, 0, {{u"&Sound", 2001, MF_GRAYED, {}}, {u"&More", 0, 0, {{u"Deep", 2002, 0, {}}}}}}};
}

TEST(MenuTemplate, WrittenTemplateLoadsIntoItsItems) {
    const Bytes bytes = appwriter::WriteMenuTemplate(SampleBar());
    HMENU bar = LoadMenuIndirectSizedW(bytes.data(), bytes.size());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(Text(bar, 0), u"&File");
    EXPECT_EQ(Text(bar, 1), u"&Options");
    HMENU file = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(GetMenuItemID(file, 0), 100u);
    EXPECT_TRUE(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(GetMenuItemID(file, 2), 1008u);
    EXPECT_EQ(GetMenuState(bar, 1008, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(GetMenuState(bar, 2001, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(GetMenuState(bar, 0, MF_BYPOSITION) >> 8, 3u); // a popup answers its item count
    EXPECT_EQ(GetMenuItemID(GetSubMenu(GetSubMenu(bar, 1), 1), 0), 2002u);
    EXPECT_EQ(GetMenuItemID(bar, 0), 0xFFFFFFFFu);
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(file));
}

TEST(MenuTemplate, HandWrittenBytesLoad) {
    // Header {version 0, offset 0}; popup "F" (0x10) holding one last item (0x80) id 7 "Q"; the popup is last
    // on the bar too (0x90).
    const Bytes bytes = {0, 0, 0, 0, 0x90, 0, 'F', 0, 0, 0, 0x80, 0, 7, 0, 'Q', 0, 0, 0};
    HMENU bar = LoadMenuIndirectW(bytes.data());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 1);
    EXPECT_EQ(Text(bar, 0), u"F");
    EXPECT_EQ(GetMenuItemID(GetSubMenu(bar, 0), 0), 7u);
    EXPECT_EQ(Text(GetSubMenu(bar, 0), 0), u"Q");
    DestroyMenu(bar);
}

TEST(MenuTemplate, EveryTruncationIsRefused) {
    const Bytes bytes = appwriter::WriteMenuTemplate(SampleBar());
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_EQ(LoadMenuIndirectSizedW(bytes.data(), size), nullptr) << size;
}

TEST(MenuTemplate, OtherVersionsAndEndlessNestingAreRefused) {
    Bytes versionOne = appwriter::WriteMenuTemplate(SampleBar());
    versionOne[0] = 1;
    EXPECT_EQ(LoadMenuIndirectSizedW(versionOne.data(), versionOne.size()), nullptr);
    Bytes deep = {0, 0, 0, 0};
    for (int i = 0; i < 100; ++i)
        deep.insert(deep.end(), {0x90, 0, 'x', 0, 0, 0});
    deep.insert(deep.end(), {0x80, 0, 1, 0, 0, 0});
    EXPECT_EQ(LoadMenuIndirectSizedW(deep.data(), deep.size()), nullptr);
}

TEST(MenuCalls, CheckAndEnableAnswerThePreviousState) {
    HMENU bar = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 10, u"Ten");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"Menu");
    EXPECT_EQ(CheckMenuItem(bar, 10, MF_CHECKED), 0u);
    EXPECT_EQ(CheckMenuItem(bar, 10, MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(EnableMenuItem(bar, 10, MF_GRAYED), 0);
    EXPECT_EQ(EnableMenuItem(bar, 10, MF_ENABLED), static_cast<BOOL>(MF_GRAYED));
    EXPECT_EQ(CheckMenuItem(bar, 99, MF_CHECKED), 0xFFFFFFFFu);
    EXPECT_EQ(GetMenuState(bar, 99, MF_BYCOMMAND), 0xFFFFFFFFu);
    EXPECT_EQ(GetMenuState(bar, 5, MF_BYPOSITION), 0xFFFFFFFFu);
    EXPECT_TRUE(DeleteMenu(bar, 0, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(popup));
    DestroyMenu(bar);
}

TEST(MenuCalls, TrailingSeparatorsAreRemoved) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, u"One");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    vtrrt::RemoveTrailingMenuSeparators(menu);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    DestroyMenu(menu);
}

TEST(MenuBar, SetMenuTakesItsRoomFromTheClientArea) {
    HWND window =
        windows_test::MakeTopWindow(u"MenuBarTest", DefWindowProcW, WS_OVERLAPPEDWINDOW, 0, 300, 200);
    RECT outer{}, client{}, outerWithMenu{}, clientWithMenu{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 1, u"Go");
    ASSERT_TRUE(SetMenu(window, bar));
    EXPECT_EQ(GetMenu(window), bar);
    GetWindowRect(window, &outerWithMenu);
    GetClientRect(window, &clientWithMenu);
    EXPECT_TRUE(EqualRect(&outer, &outerWithMenu));
    EXPECT_EQ(clientWithMenu.bottom, client.bottom - GetSystemMetrics(SM_CYMENU));
    DestroyMenu(bar); // a menu destroyed while set leaves the window without one
    EXPECT_EQ(GetMenu(window), nullptr);
    DestroyWindow(window);
}

// Shortcuts: the application data's table turned into posted menu commands.
class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        window =
            windows_test::MakeTopWindow(u"ShortcutTest", DefWindowProcW, WS_OVERLAPPEDWINDOW, 0, 300, 200);
        const Bytes data = appwriter::WriteMenuData(
            {{u"&Game",
              0,
              0,
              {{u"Own", 2001, 0, {}}, {u"Greyed own", 2002, MF_GRAYED, {}}, {u"Quit", 1008, MF_GRAYED, {}}}}},
            {{0, 'P', 1012},
             {ShortcutControl, 'Q', 1008},
             {0, 'O', 2001},
             {0, 'G', 2002},
             {ShortcutEvenGreyed, 'H', 2002},
             {ShortcutAlt, VK_F10, 1020},
             {0, 'Z', 0}});
        ASSERT_EQ(vtrrt::LoadApplicationMenu(data, {}), vtrrt::MenuLoad::Loaded);
        SetMenu(window, vtrrt::CurrentMenu().menu);
    }
    void TearDown() override {
        SetControl(false);
        SetMenu(window, nullptr);
        vtrrt::FreeApplicationMenu(nullptr);
        DestroyWindow(window);
    }
    // Sets the Control key's state as the queue sees it when the key message is retrieved.
    void SetControl(bool down) {
        PostMessageW(window, down ? WM_KEYDOWN : WM_KEYUP, VK_CONTROL, 0);
        MSG msg{};
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
        }
    }
    // The command a key posts, or -1.
    int Fire(bool alt, int key) {
        const int posted = vtrrt::ShortcutToMenuCommand(window, alt, key, vtrrt::CurrentMenu().keyTable);
        MSG msg{};
        int command = -1;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE))
            if (msg.message == WM_COMMAND && msg.lParam == 0 && HIWORD(msg.wParam) == 1)
                command = LOWORD(msg.wParam);
        EXPECT_EQ(posted != 0, command != -1);
        return command;
    }
    HWND window = nullptr;
};

TEST_F(Shortcuts, PostTheirCommands) {
    EXPECT_EQ(Fire(false, 'P'), 1012);
    EXPECT_EQ(Fire(true, VK_F10), 1020);
    EXPECT_EQ(Fire(false, VK_F10), -1); // Alt must match
    EXPECT_EQ(Fire(false, 'Z'), -1);    // no command
    EXPECT_EQ(Fire(false, 'X'), -1);
}

TEST_F(Shortcuts, ControlMustMatchTheKeysState) {
    EXPECT_EQ(Fire(false, 'Q'), -1);
    SetControl(true);
    EXPECT_EQ(Fire(false, 'Q'), 1008);
    EXPECT_EQ(Fire(false, 'P'), -1);
}

TEST_F(Shortcuts, OwnCommandsFireOnlyWhileTheirItemIsEnabled) {
    EXPECT_EQ(Fire(false, 'O'), 2001);
    EXPECT_EQ(Fire(false, 'G'), -1);
    EXPECT_EQ(Fire(false, 'H'), 2002); // flag 0x40 fires anyway
    SetControl(true);
    EXPECT_EQ(Fire(false, 'Q'), 1008); // runtime commands fire though greyed
    SetControl(false);
    SetMenu(window, nullptr);
    EXPECT_EQ(Fire(false, 'O'), -1); // no menu, no item
}

TEST(ApplicationMenuData, DamagedChunksLeaveNoMenu) {
    const Bytes good = appwriter::WriteMenuData({{u"A", 1, 0, {}}}, {{0, 'A', 1}});
    const auto damaged = [&](std::size_t at, std::uint32_t value) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    const std::vector<Bytes> cases = {Bytes(good.begin(), good.begin() + 12),
                                      damaged(4, 0xFFFFFFF0u),
                                      damaged(8, 0xFFFFFFFFu),
                                      damaged(12, static_cast<std::uint32_t>(good.size())),
                                      damaged(16, 9),
                                      damaged(8, 7)};
    for (const Bytes& b : cases) {
        EXPECT_EQ(vtrrt::LoadApplicationMenu(b, {}), vtrrt::MenuLoad::Malformed);
        EXPECT_EQ(vtrrt::CurrentMenu().menu, nullptr);
        EXPECT_TRUE(vtrrt::CurrentMenu().keyTable.empty());
    }
    EXPECT_EQ(vtrrt::LoadApplicationMenu({}, {}), vtrrt::MenuLoad::NoMenu);
    EXPECT_EQ(vtrrt::LoadApplicationMenu(good, {}), vtrrt::MenuLoad::Loaded);
    EXPECT_EQ(vtrrt::CurrentMenu().keyTable.size(), 8u);
    vtrrt::FreeApplicationMenu(nullptr);
}

TEST(ApplicationMenuData, IconTableMakesItemsOwnerDrawnWithRecords) {
    const Bytes data = appwriter::WriteMenuData(SampleBar(), {});
    const Bytes icons = {1, 0, 0, 0, 100, 0, 1, 0};
    ASSERT_EQ(vtrrt::LoadApplicationMenu(data, icons), vtrrt::MenuLoad::Loaded);
    const HMENU bar = vtrrt::CurrentMenu().menu;
    // (A popup's state word holds its item count in the high byte, so its owner-draw bit is not told there.)
    EXPECT_TRUE(GetMenuState(GetSubMenu(bar, 0), 100, MF_BYCOMMAND) & MF_OWNERDRAW);
    const auto* top = reinterpret_cast<const char16_t*>(GetMenuItemData(bar, 0, MF_BYPOSITION));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top[0], 1);
    EXPECT_EQ(std::u16string(top + 1), u"&File");
    const HMENU file = GetSubMenu(bar, 0);
    const auto* open = reinterpret_cast<const char16_t*>(GetMenuItemData(file, 100, MF_BYCOMMAND));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open[0], 0);
    EXPECT_EQ(std::u16string(open + 1), u"&Open");
    EXPECT_EQ(GetMenuState(file, 1008, MF_BYCOMMAND) & (MF_CHECKED | MF_OWNERDRAW),
              MF_CHECKED | MF_OWNERDRAW);
    EXPECT_TRUE(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR);
    vtrrt::FreeApplicationMenu(nullptr);
    // A count larger than the table holds is no icon table.
    const Bytes tooMany = {9, 0, 0, 0, 100, 0, 1, 0};
    ASSERT_EQ(vtrrt::LoadApplicationMenu(data, tooMany), vtrrt::MenuLoad::Loaded);
    EXPECT_FALSE(GetMenuState(vtrrt::CurrentMenu().menu, 100, MF_BYCOMMAND) & MF_OWNERDRAW);
    EXPECT_EQ(GetMenuItemData(vtrrt::CurrentMenu().menu, 0, MF_BYPOSITION), 0u);
    vtrrt::FreeApplicationMenu(nullptr);
}

} // namespace
