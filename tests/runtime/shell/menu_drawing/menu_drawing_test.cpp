#include "core/application_record.h"
#include "core/runtime_services.h"
#include "shell/application_menu.h"
#include "shell/window_procedures.h"
#include "startup/banks.h"
#include "support/section_dc.h"

#include "appwriter/menu_writer.h"
#include "vtrs2/app_context.h"
#include "vtrs2/banks.h"
#include "vtrs2/palette_matching.h"

#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/menu.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace win32;
using namespace vtrrt;

constexpr DWORD Mode8 = 3, Mode16 = 7, Mode24 = 4, Mode32 = 8;
constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Green = RGB(0, 255, 0);
constexpr COLORREF KeyBlue = RGB(0, 0, 255);
constexpr char16_t Block = u'\u2588'; // a full block: its inside pixels carry the exact text colour

std::tuple<LONG, LONG, LONG, LONG> Edges(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The record an owner-drawn item's data word points at: {top-level flag, text, NUL}.
std::u16string Record(bool topLevel, std::u16string_view text) {
    std::u16string record(1, topLevel ? u'\1' : u'\0');
    record += text;
    return record;
}

// A 32-bit section selected into a memory DC, standing for the layer's menu pixels.
class Canvas : public vtrtest::SectionDc {
public:
    static constexpr int Width = 240, Height = 40;
    Canvas() : SectionDc(Width, Height) {}

    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    int Count(const RECT& r, COLORREF colour) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += At(x, y) == colour;
        return n;
    }
    // The box of the pixels `take` picks, right and bottom exclusive.
    template <typename Pick> RECT Box(const RECT& r, Pick take) const {
        RECT box{r.right, r.bottom, r.left, r.top};
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (take(At(x, y))) {
                    box.left = std::min<LONG>(box.left, x), box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1),
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
    RECT Ink(const RECT& r, COLORREF background) const {
        return Box(r, [background](COLORREF c) { return c != background; });
    }
};

// The current application with its images in the library's banks and a menu icon table.
class MenuDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        appBanks.library = &libraryBanks;
        appBanks.targetMode = Mode32;
        app.banks = &appBanks;
        SetCurrentApplication(&app);
    }
    void TearDown() override {
        SetCurrentApplication(nullptr);
        Services().isNewerNT = 0;
        FreeAllBanks(&libraryBanks);
    }

    MEASUREITEMSTRUCT Measure(const std::u16string* record) {
        MEASUREITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemID = 100;
        item.itemData = record ? reinterpret_cast<ULONG_PTR>(record->c_str()) : 0;
        EXPECT_EQ(MainWindowProc(nullptr, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&item)), 1);
        return item;
    }
    void Draw(const std::u16string* record, UINT state, RECT rect, UINT id = 100) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemID = id;
        item.itemState = state;
        item.hDC = canvas.dc;
        item.rcItem = rect;
        item.itemData = record ? reinterpret_cast<ULONG_PTR>(record->c_str()) : 0;
        EXPECT_EQ(MainWindowProc(nullptr, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), 0);
    }

    // An image of the display mode, every pixel `colour(x, y)`, added to the library's image bank.
    template <typename Colour>
    DWORD AddTestImage(DWORD mode, int w, int h, COLORREF transparent, Colour colour, DWORD flags = 0) {
        const DWORD size = GetImageDataSize(w, h, mode);
        std::vector<BYTE> pixels(size);
        const std::size_t pitch = size / static_cast<DWORD>(h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const COLORREF c = colour(x, y);
                BYTE* p = pixels.data() + y * pitch;
                if (mode == Mode32 || mode == Mode24) {
                    p += x * (mode == Mode32 ? 4 : 3);
                    p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
                } else {
                    const auto v = static_cast<std::uint16_t>((GetRValue(c) >> 3) << 11 |
                                                              (GetGValue(c) >> 2) << 5 | GetBValue(c) >> 3);
                    p[2 * x] = static_cast<BYTE>(v), p[2 * x + 1] = static_cast<BYTE>(v >> 8);
                }
            }
        return AddImage(&libraryBanks, mode, w, h, 0, 0, 0, 0, transparent, flags, pixels.data(),
                        pixels.size(), nullptr);
    }
    // The menu icon table: u32 count, then {u16 command, u16 image}.
    void SetIcons(const std::vector<std::pair<std::uint16_t, DWORD>>& entries) {
        iconTable.assign(4, 0);
        iconTable[0] = static_cast<BYTE>(entries.size());
        for (const auto& [command, image] : entries)
            for (const std::uint16_t v : {command, static_cast<std::uint16_t>(image)}) {
                iconTable.push_back(static_cast<BYTE>(v));
                iconTable.push_back(static_cast<BYTE>(v >> 8));
            }
        app.imageList = {iconTable.data(), static_cast<std::uint32_t>(iconTable.size())};
    }

    Canvas canvas;
    ContextBanks libraryBanks{};
    ApplicationBanks appBanks;
    ApplicationRecord app{};
    std::vector<BYTE> iconTable;
};

DWORD TextExtent(std::u16string_view text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    const DWORD extent = GetTabbedTextExtentW(dc, text.data(), static_cast<int>(text.size()), 0, nullptr);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return extent;
}

TEST_F(MenuDrawing, MeasuresSeparatorsBarItemsAndPopupItems) {
    const std::u16string bar = Record(true, u"&File"), popup = Record(false, u"&Open\tCtrl+O");
    const MEASUREITEMSTRUCT separator = Measure(nullptr);
    EXPECT_EQ(separator.itemWidth, 64u);
    EXPECT_EQ(separator.itemHeight, 6u);

    struct Case {
        const std::u16string* record;
        std::u16string_view text;
        UINT extraWidth;
    };
    for (const Case& c : {Case{&bar, u"&File", 0}, Case{&popup, u"&Open\tCtrl+O", 39}}) {
        const DWORD extent = TextExtent(c.text);
        ASSERT_GE(HIWORD(extent), 8u) << "the default GUI font is taller than the short-text limit";
        const MEASUREITEMSTRUCT item = Measure(c.record);
        EXPECT_EQ(item.itemWidth, LOWORD(extent) + c.extraWidth);
        EXPECT_EQ(item.itemHeight, HIWORD(extent) + 8u);
    }
}

TEST_F(MenuDrawing, SeparatorIsTheMenuColourWithAnEtchedLineAcrossItsMiddle) {
    Draw(nullptr, 0, RECT{0, 0, 64, 6});
    const COLORREF menu = GetSysColor(COLOR_MENU);
    EXPECT_EQ(canvas.At(10, 0), menu);
    EXPECT_EQ(canvas.At(10, 5), menu);
    EXPECT_NE(canvas.At(10, 3), menu);
}

TEST_F(MenuDrawing, BackgroundFollowsPlaceStateAndFlatMenus) {
    struct Case {
        const char* name;
        bool topLevel;
        UINT state;
        bool flat;
        int edge, inside;
    };
    const Case cases[] = {
        {"bar item", true, 0, false, COLOR_BTNFACE, COLOR_BTNFACE},
        {"popup item", false, 0, false, COLOR_MENU, COLOR_MENU},
        {"hot bar item", true, ODS_HOTLIGHT, false, COLOR_HIGHLIGHT, COLOR_HIGHLIGHT},
        {"selected popup item", false, ODS_SELECTED, false, COLOR_HIGHLIGHT, COLOR_HIGHLIGHT},
        {"flat bar item", true, 0, true, COLOR_MENUBAR, COLOR_MENUBAR},
        {"flat hot item is filled", false, ODS_HOTLIGHT, true, COLOR_MENUHILIGHT, COLOR_MENUHILIGHT},
        {"flat selected item is outlined", false, ODS_SELECTED, true, COLOR_HIGHLIGHT, COLOR_MENUHILIGHT},
    };
    const std::u16string bar = Record(true, u""), popup = Record(false, u"");
    for (const Case& c : cases) {
        Services().isNewerNT = c.flat ? 1 : 0;
        const RECT r{20, 5, 120, 29};
        Draw(c.topLevel ? &bar : &popup, c.state, r);
        EXPECT_EQ(canvas.At(r.left, r.top), GetSysColor(c.edge)) << c.name;
        EXPECT_EQ(canvas.At(r.right - 1, r.bottom - 1), GetSysColor(c.edge)) << c.name;
        EXPECT_EQ(canvas.At(r.left + 2, r.top + 2), GetSysColor(c.inside)) << c.name;
        EXPECT_EQ(canvas.At(r.left - 1, r.top), 0u) << c.name; // nothing outside the item
    }
}

TEST_F(MenuDrawing, TextColourFollowsState) {
    struct Case {
        UINT state;
        int colour;
    };
    const std::u16string record = Record(false, std::u16string(3, Block));
    for (const Case& c : {Case{0, COLOR_MENUTEXT}, Case{ODS_HOTLIGHT, COLOR_HIGHLIGHTTEXT},
                          Case{ODS_SELECTED, COLOR_HIGHLIGHTTEXT}, Case{ODS_GRAYED, COLOR_GRAYTEXT},
                          Case{ODS_DISABLED | ODS_HOTLIGHT, COLOR_GRAYTEXT}}) {
        const RECT r{0, 0, 200, 24};
        Draw(&record, c.state, r);
        EXPECT_GT(canvas.Count(RECT{26, 0, 60, 24}, GetSysColor(c.colour)), 10) << "state " << c.state;
    }
}

TEST_F(MenuDrawing, BarTextIsCentredBetweenItsMargins) {
    const std::u16string record = Record(true, std::u16string(2, Block));
    const RECT r{10, 0, 110, 24};
    Draw(&record, 0, r);
    const RECT ink = canvas.Ink(r, GetSysColor(COLOR_BTNFACE));
    ASSERT_LT(ink.left, ink.right);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 60.0, 1.0);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 12.0, 2.0);
}

TEST_F(MenuDrawing, PopupTextStartsAfterTheIconColumnAndATabPartEndsAtTheRightMargin) {
    const std::u16string record = Record(false, std::u16string{Block, u'\t', Block, Block});
    const RECT r{0, 0, 200, 24};
    Draw(&record, 0, r);
    const COLORREF menu = GetSysColor(COLOR_MENU);
    const RECT left = canvas.Ink(RECT{0, 0, 100, 24}, menu), right = canvas.Ink(RECT{100, 0, 200, 24}, menu);
    EXPECT_NEAR(left.left, 26, 1);
    EXPECT_NEAR(right.right, 200 - 13, 1);
    EXPECT_GT(right.right - right.left, left.right - left.left); // two blocks against one
}

// Where an image of each shape lands in the 16 x 16 cell at (left + 5, top + 4).
TEST_F(MenuDrawing, IconIsFittedAndCentredInItsCell) {
    struct Case {
        DWORD mode;
        int width, height;
        RECT inCell;
        DWORD addFlags;
    };
    const Case cases[] = {
        {Mode32, 16, 16, {0, 0, 16, 16}, 0},
        {Mode32, 32, 8, {0, 6, 16, 10}, 0},
        {Mode32, 8, 32, {6, 0, 10, 16}, 0},
        {Mode32, 8, 8, {4, 4, 12, 12}, AddImageStorePacked}, // kept as runs in the bank
        {Mode24, 5, 3, {5, 6, 10, 9}, 0},
        {Mode16, 64, 48, {0, 2, 16, 14}, 0},
    };
    const std::u16string record = Record(false, u"");
    const RECT item{10, 6, 210, 30};
    for (const Case& c : cases) {
        appBanks.targetMode = c.mode;
        SetIcons({{100, AddTestImage(
                            c.mode, c.width, c.height, 0, [](int, int) { return Red; }, c.addFlags)}});
        Draw(&record, 0, item);
        const RECT cell{item.left + 5, item.top + 4, item.left + 21, item.top + 20};
        const RECT drawn{cell.left + c.inCell.left, cell.top + c.inCell.top, cell.left + c.inCell.right,
                         cell.top + c.inCell.bottom};
        // Red comes back from 16 bits as 248 or more; the background around it may be rounded too.
        const auto red = [](COLORREF p) {
            return GetRValue(p) >= 248 && GetGValue(p) == 0 && GetBValue(p) == 0;
        };
        EXPECT_EQ(Edges(canvas.Box(item, red)), Edges(drawn)) << c.width << " x " << c.height;
        EXPECT_EQ(canvas.Count(drawn, canvas.At(drawn.left, drawn.top)),
                  (drawn.right - drawn.left) * (drawn.bottom - drawn.top));
    }
}

TEST_F(MenuDrawing, CheckedItemTakesTheCheckedImageAndTransparencyKeepsTheBackground) {
    const DWORD plain = AddTestImage(Mode32, 16, 16, 0, [](int, int) { return Red; });
    // Left half the transparent colour, right half green.
    const DWORD checked =
        AddTestImage(Mode32, 16, 16, KeyBlue, [](int x, int) { return x < 8 ? KeyBlue : Green; });
    SetIcons({{100, plain}, {0xFFFE, checked}});
    const std::u16string record = Record(false, u"");
    Draw(&record, ODS_CHECKED | ODS_HOTLIGHT, RECT{0, 0, 200, 24});
    const COLORREF selection = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(canvas.Count(RECT{5, 4, 13, 20}, selection), 8 * 16);
    EXPECT_EQ(canvas.Count(RECT{13, 4, 21, 20}, Green), 8 * 16);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 200, 24}, Red), 0);
}

TEST_F(MenuDrawing, GreyedIconIsDrawnInGrey) {
    SetIcons({{100, AddTestImage(Mode32, 16, 16, 0, [](int, int) { return Red; })}});
    const std::u16string record = Record(false, u"");
    Draw(&record, ODS_GRAYED, RECT{0, 0, 200, 24});
    const COLORREF pixel = canvas.At(12, 12);
    EXPECT_NE(pixel, GetSysColor(COLOR_MENU));
    EXPECT_EQ(GetRValue(pixel), GetGValue(pixel));
    EXPECT_EQ(GetGValue(pixel), GetBValue(pixel));
}

// In 256 colours the icon's indexes show the colours of the context's palette, its index 0 transparent.
TEST_F(MenuDrawing, PaletteIconShowsTheContextsColours) {
    LogPalette256 log = *GetDefaultModePalette(3);
    log.entries[77] = {0x12, 0x34, 0x56, 0};
    HPALETTE handle = CreatePalette(log.Log());
    AppContext* context = CreateAppContext(nullptr, handle);
    ASSERT_NE(context, nullptr);
    Services().libraryContext = context;
    appBanks.targetMode = Mode8;
    std::vector<BYTE> indexes(16 * 16, 77);
    for (int y = 0; y < 16; ++y)
        indexes[static_cast<std::size_t>(16 * y)] = 0;
    SetIcons({{100, AddImage(&libraryBanks, Mode8, 16, 16, 0, 0, 0, 0, 0, 0, indexes.data(), indexes.size(),
                             nullptr)}});
    const std::u16string record = Record(false, u"");
    Draw(&record, 0, RECT{0, 0, 200, 24});
    EXPECT_EQ(canvas.Count(RECT{6, 4, 21, 20}, RGB(0x12, 0x34, 0x56)), 15 * 16);
    // The cell's background is the menu colour as the palette shows it.
    const SharedPalette* palette = context->sharedPalette;
    const COLORREF menu = PaletteColor(
        palette->palette.entries[GetNearestPaletteIndex(context->sharedPalette, GetSysColor(COLOR_MENU))]);
    EXPECT_EQ(canvas.Count(RECT{5, 4, 6, 20}, menu), 16) << "the transparent column";
    Services().libraryContext = nullptr;
    DestroyAppContext(context);
    DeleteObject(handle);
}

TEST_F(MenuDrawing, NoIconWithoutTheLibraryBanksOnTheBarOrForAnotherCommand) {
    SetIcons({{100, AddTestImage(Mode32, 16, 16, 0, [](int, int) { return Red; })}});
    const std::u16string popup = Record(false, u""), bar = Record(true, u"");
    Draw(&popup, 0, RECT{0, 0, 200, 24}, 101);
    Draw(&bar, 0, RECT{0, 0, 200, 24});
    app.banks = nullptr;
    Draw(&popup, 0, RECT{0, 0, 200, 24});
    EXPECT_EQ(canvas.Count(RECT{0, 0, 200, 24}, Red), 0);
}

// The application's menu as the main window shows it, rebuilt when the application starts again.
class MenuRebuild : public ::testing::Test {
protected:
    // A plain top-level window stands for the main window: only its menu matters here.
    void SetUp() override {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"MenuRebuildWindow";
        RegisterClassExW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, u"", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Services().mainWindow = window;
        SetCurrentApplication(&app);
        Load({{u"&File", 0, 0, {{u"&Quit", 1008, 0, {}}}}});
        ShowMenuBar();
        ASSERT_NE(GetMenu(window), nullptr);
    }
    void TearDown() override {
        SetMenu(window, nullptr);
        FreeApplicationMenu(nullptr);
        DestroyWindow(window);
        Services().mainWindow = nullptr;
        SetCurrentApplication(nullptr);
    }
    void Load(const std::vector<appwriter::MenuItemDesc>& bar) {
        FreeApplicationMenu(nullptr);
        menuBytes = appwriter::WriteMenuData(bar, {{8, 'Q', 1008}});
        app.menuData = {menuBytes.data(), static_cast<std::uint32_t>(menuBytes.size())};
        ASSERT_EQ(LoadApplicationMenu(menuBytes, {}), MenuLoad::Loaded);
    }

    ApplicationRecord app{};
    std::vector<std::uint8_t> menuBytes;
    HWND window = nullptr;
};

TEST_F(MenuRebuild, FirstStartOnlyNotesTheMenuThenARestartRebuildsIt) {
    // What the run did to the shown menu: a check mark and an item of its own.
    const HMENU loaded = CurrentMenu().menu;
    const HMENU file = GetSubMenu(loaded, 0);
    CheckMenuItem(file, 1008, MF_BYCOMMAND | MF_CHECKED);
    AppendMenuW(file, MF_STRING, 4242, u"Added");
    const auto shownFile = [&] { return GetSubMenu(GetMenu(window), 0); };

    RebuildApplicationMenu(app);
    EXPECT_TRUE(app.run.runFlags & RunFlagMenuBuilt);
    EXPECT_EQ(GetMenuState(shownFile(), 1008, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED) << "left as it was";
    EXPECT_EQ(GetMenuItemCount(shownFile()), 2);

    // The restart shows the menu of the application's data again, and only it.
    RebuildApplicationMenu(app);
    ASSERT_NE(CurrentMenu().menu, nullptr);
    EXPECT_EQ(GetMenu(window), CurrentMenu().menu);
    ASSERT_EQ(GetMenuItemCount(shownFile()), 1);
    EXPECT_EQ(GetMenuItemID(shownFile(), 0), 1008u);
    EXPECT_EQ(GetMenuState(shownFile(), 1008, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_FALSE(IsMenu(loaded)) << "the menu it replaced was destroyed";
    EXPECT_EQ(CurrentMenu().keyTable.size(), 8u);
}

TEST_F(MenuRebuild, HiddenMenuBarStaysHiddenAndSubApplicationsHaveNoMenu) {
    app.run.runFlags |= RunFlagMenuBuilt;
    HideMenuBar();
    RebuildApplicationMenu(app);
    EXPECT_EQ(GetMenu(window), nullptr);
    EXPECT_NE(CurrentMenu().menu, nullptr);

    ApplicationRecord child{};
    child.parent = &app;
    const HMENU before = CurrentMenu().menu;
    RebuildApplicationMenu(child);
    EXPECT_EQ(child.run.runFlags & RunFlagMenuBuilt, 0);
    EXPECT_EQ(CurrentMenu().menu, before);
}

TEST_F(MenuRebuild, UnavailableCommandsAreTakenOutWithTheSeparatorsTheyLeaveAtTheEnd) {
    WCHAR password[] = u"secret";
    WCHAR* passwords[] = {password};
    struct Case {
        bool framePasswords;
        std::uint16_t headerFlags;
        int viewItems;
    };
    for (const Case& c : {Case{false, 0, 1}, Case{true, 0x1000, 3}}) {
        app.framePasswords = c.framePasswords ? passwords : nullptr;
        app.header.flags1 = c.headerFlags;
        Load({{u"&File", 0, 0, {{u"&Go to frame", 1011, 0, {}}, {u"&Quit", 1008, 0, {}}}},
              {u"&View",
               0,
               0,
               {{u"&Menu bar", 1022, 0, {}}, {u"", 0, 0, {}}, {u"&Full screen", 1025, 0, {}}}}});
        const HMENU menu = CurrentMenu().menu;
        EXPECT_EQ(GetMenuState(menu, 1011, MF_BYCOMMAND) != 0xFFFFFFFF, c.framePasswords);
        EXPECT_EQ(GetMenuState(menu, 1025, MF_BYCOMMAND) != 0xFFFFFFFF, c.headerFlags != 0);
        EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 1)), c.viewItems);
    }
    app.framePasswords = nullptr;
}

} // namespace
