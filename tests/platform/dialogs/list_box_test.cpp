// List boxes in a dialog: what the keyboard, clicks and the wheel do to the selection and the scroll, what
// the parent hears, and how the rows are drawn.
#include "win32/dialog.h"
#include "win32/dialog_template.h"
#include "win32/gdi.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace win32;

namespace {

constexpr int ListId = 20;
constexpr int Items = 30;

constexpr DialogTemplateWriter<256> ListDialog = [] {
    DialogTemplateWriter<256> t(DS_MODALFRAME | WS_POPUP | WS_CAPTION, 0, {0, 0, 120, 90}, u"List", 8,
                                u"Helv");
    t.Item(DialogClassListBox, WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY, {5, 5, 110, 80}, ListId, u"");
    return t;
}();

std::vector<WORD>* notices = nullptr;

INT_PTR ListProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == ListId && notices) notices->push_back(HIWORD(wParam));
    return message == WM_INITDIALOG;
}

class ListBox : public ::testing::Test {
protected:
    void SetUp() override {
        win32::testing::ResetInputState();
        notices = &seen;
        dialog = CreateDialogIndirectParamW(nullptr, ListDialog.Data(), nullptr, ListProc, 0);
        ASSERT_NE(dialog, nullptr);
        list = GetDlgItem(dialog, ListId);
        for (int i = 0; i < Items; ++i) {
            const std::u16string text = u"Item " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
            EXPECT_EQ(SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())), i);
        }
        ShowWindow(dialog, SW_SHOW);
        SetFocus(list);
    }
    void TearDown() override {
        notices = nullptr;
        DestroyWindow(dialog);
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageW(list, message, wParam, lParam);
    }
    LRESULT Selected() { return Send(LB_GETCURSEL); }
    int RowHeight() {
        // The first two rows' tops, found by clicking down the list.
        const LRESULT before = Selected();
        int top = -1;
        for (int y = 2; y < 60; ++y) {
            Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, y));
            if (Selected() == Send(LB_GETTOPINDEX) + 1) {
                top = y - 2;
                break;
            }
        }
        Send(LB_SETCURSEL, static_cast<WPARAM>(before));
        return top;
    }
    static void Paint() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    std::vector<WORD> seen;
    HWND dialog = nullptr;
    HWND list = nullptr;
};

} // namespace

TEST_F(ListBox, KeysMoveTheSelectionAndScrollItIntoViewTellingTheParent) {
    EXPECT_EQ(Selected(), LB_ERR);
    Send(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(Selected(), 0);
    Send(WM_KEYDOWN, VK_END);
    EXPECT_EQ(Selected(), Items - 1);
    const LRESULT top = Send(LB_GETTOPINDEX);
    EXPECT_GT(top, 0) << "the last item is scrolled into view";
    Send(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(Selected(), Items - 1) << "nothing after the last";
    Send(WM_KEYDOWN, VK_HOME);
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(Send(LB_GETTOPINDEX), 0);
    Send(WM_KEYDOWN, VK_NEXT);
    const LRESULT page = Selected();
    EXPECT_GT(page, 1);
    Send(WM_KEYDOWN, VK_PRIOR);
    EXPECT_EQ(Selected(), 0);
    // Down, End, Home, Page Down and Page Up changed it; the Down at the end did not.
    EXPECT_EQ(seen, std::vector<WORD>(5, LBN_SELCHANGE));
    EXPECT_EQ(Send(WM_GETDLGCODE), DLGC_WANTARROWS);
}

TEST_F(ListBox, ClicksSelectTheRowUnderThePointerAndTheWheelScrolls) {
    const int row = RowHeight();
    ASSERT_GT(row, 0);
    seen.clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 2 + 3 * row + row / 2));
    EXPECT_EQ(Selected(), 3);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 2 + 3 * row + row / 2));
    EXPECT_EQ(seen, (std::vector<WORD>{LBN_SELCHANGE, LBN_DBLCLK}));
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)));
    EXPECT_EQ(Send(LB_GETTOPINDEX), 3);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 2 + row / 2));
    EXPECT_EQ(Selected(), 3) << "the top row is now the fourth item";
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(WHEEL_DELTA * 10)));
    EXPECT_EQ(Send(LB_GETTOPINDEX), 0);
}

TEST_F(ListBox, ItemsKeepTheirTextAndDataAndAreFoundWithoutRegardToCase) {
    WCHAR text[16] = {};
    EXPECT_EQ(Send(LB_GETTEXTLEN, 2), 6);
    EXPECT_EQ(Send(LB_GETTEXT, 2, reinterpret_cast<LPARAM>(text)), 6);
    EXPECT_EQ(std::u16string(text), u"Item C");
    EXPECT_EQ(Send(LB_GETTEXTLEN, Items), LB_ERR);
    EXPECT_EQ(Send(LB_SETITEMDATA, 4, 1234), 0);
    EXPECT_EQ(Send(LB_GETITEMDATA, 4), 1234);
    EXPECT_EQ(Send(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"item c")), 2);
    // From after the item given, wrapping round: the second "Item C" is item 28.
    EXPECT_EQ(Send(LB_FINDSTRINGEXACT, 2, reinterpret_cast<LPARAM>(u"ITEM C")), 28);
    EXPECT_EQ(Send(LB_SETCURSEL, Items), LB_ERR);
    EXPECT_EQ(Selected(), LB_ERR);
    Send(LB_RESETCONTENT);
    EXPECT_EQ(Send(LB_GETCOUNT), 0);
    EXPECT_TRUE(seen.empty()) << "what the program does is not told";
}

// The selected row of the focused list in the highlight colour, the others on the window colour, inside a
// sunken edge.
TEST_F(ListBox, TheSelectedRowIsHighlightedInsideTheFrame) {
    const int row = RowHeight();
    ASSERT_GT(row, 0);
    Send(LB_SETCURSEL, 1);
    InvalidateRect(list, nullptr, TRUE);
    Paint();
    RECT client{};
    GetClientRect(list, &client);
    const auto at = [&](int x, int y) { return win32::testing::ReadWindowPixel(list, x, y); };
    EXPECT_EQ(at(0, 0), GetSysColor(COLOR_BTNSHADOW)) << "the sunken edge";
    EXPECT_EQ(at(client.right - 1, client.bottom - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    const int right = client.right - 4;
    EXPECT_EQ(at(right, 2 + row / 2), GetSysColor(COLOR_WINDOW)) << "row 0";
    EXPECT_EQ(at(right, 2 + row + row / 2), GetSysColor(COLOR_HIGHLIGHT)) << "row 1, selected";
    EXPECT_EQ(at(right, 2 + 2 * row + row / 2), GetSysColor(COLOR_WINDOW)) << "row 2";
}
