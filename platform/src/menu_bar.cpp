// Menu bars drawn above client areas and the popups opened from them: their layout and pictures (owner-drawn
// items through WM_MEASUREITEM and WM_DRAWITEM), and the open menu's answer to the mouse and the keyboard.
// The open menu is a state of the layer's event handling, not a nested loop: while it is open the window's
// timers and painting go on, and its input goes to the menu.
#include "menu_internal.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"
#include "win32/window_testing.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_map>

namespace win32 {
namespace {

constexpr int kBarPadding = 6;   // on each side of a bar item's text
constexpr int kPopupInset = 2;   // outline and gap around a popup's items
constexpr int kCheckColumn = 20; // left of a popup item's text: the check mark
constexpr int kArrowColumn = 16; // right of it: the submenu arrow
constexpr int kTabGap = 16;      // between an item's text and its right-aligned part
constexpr int kItemPadding = 6;  // added to the text height of a popup item
constexpr int kSeparatorHeight = 8;
constexpr int kSubmenuOverlap = 2; // a submenu covers its parent's edge
// Answers of WM_MEASUREITEM beyond this are taken as this, so that a wrong answer cannot ask for a huge
// picture.
constexpr LONG kLargestItem = 2048;

struct PictureDeleter {
    void operator()(BitmapObject* picture) const { DeleteObject(picture); }
};
using Picture = std::unique_ptr<BitmapObject, PictureDeleter>;

// A 32-bit top-down DIB section: the same pixel layout as a window's backing bitmap, and a GDI bitmap that
// a memory DC can draw on.
Picture NewPicture(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = std::max(1, width);
    info.bmiHeader.biHeight = -std::max(1, height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    return Picture(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
}

// A memory DC with the menu font, drawing onto a picture (or onto nothing, for measuring).
class MenuDc {
public:
    explicit MenuDc(BitmapObject* picture = nullptr) : dc_(CreateCompatibleDC(nullptr)) {
        if (!dc_) return;
        if (picture) SelectObject(dc_, picture);
        SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc_, TRANSPARENT);
    }
    ~MenuDc() {
        if (dc_) DeleteDC(dc_);
    }
    MenuDc(const MenuDc&) = delete;
    MenuDc& operator=(const MenuDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

struct BarView {
    Picture picture;
    std::vector<RECT> items; // in bar coordinates; an item that starts past the right edge is not shown
    int hot = -1;            // the item under the mouse while no menu is open
    bool dirty = true;
};

// An open popup: its menu, where it hangs from, its items and which one is selected.
struct Level {
    HMENU menu = nullptr;
    RECT anchor{};           // the item it opened from, in SDL window coordinates
    bool below = true;       // under a bar item, or beside a popup item
    RECT box{};              // in SDL window coordinates
    std::vector<RECT> items; // in the popup's own coordinates
    int selected = -1;
    Picture picture;
    bool laidOut = false;
    bool dirty = true;
};

struct Tracking {
    HWND window = nullptr;
    HMENU bar = nullptr;
    bool keyboard = false; // opened from the keyboard: Escape steps back to the bar
    int barItem = -1;
    std::vector<Level> levels;
};

std::unordered_map<HWND, BarView>& Bars() {
    static std::unordered_map<HWND, BarView> bars;
    return bars;
}

Tracking& Open() {
    static Tracking tracking;
    return tracking;
}

bool Tracks(HWND window) {
    return window && Open().window == window;
}

bool ValidIndex(HMENU menu, int index) {
    return IsMenu(menu) && index >= 0 && static_cast<std::size_t>(index) < menu->items.size();
}

bool Selectable(const MenuItem& item) {
    return !(item.flags & MF_SEPARATOR);
}

bool Enabled(const MenuItem& item) {
    return !(item.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR));
}

// The character after a single '&' ("&&" is a literal '&'), its case folded; 0 when there is none.
char16_t MnemonicOf(const std::u16string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] != u'&') return static_cast<char16_t>(FoldCase(text[i + 1]));
        ++i;
    }
    return 0;
}

int FindMnemonic(HMENU menu, char16_t key, const std::vector<RECT>* shown = nullptr, int width = 0) {
    if (!IsMenu(menu)) return -1;
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
        if (shown && (i >= shown->size() || (*shown)[i].left >= width)) continue;
        if (Selectable(menu->items[i]) && MnemonicOf(menu->items[i].text) == FoldCase(key))
            return static_cast<int>(i);
    }
    return -1;
}

std::u16string_view LeftPart(const std::u16string& text) {
    return std::u16string_view(text).substr(0, text.find(u'\t'));
}

std::u16string_view RightPart(const std::u16string& text) {
    const std::size_t tab = text.find(u'\t');
    return tab == std::u16string::npos ? std::u16string_view() : std::u16string_view(text).substr(tab + 1);
}

SIZE TextSize(HDC dc, std::u16string_view text) {
    if (text.empty()) return SIZE{0, 0};
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

int LineHeight(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

// What an owner-drawn item's window says its size is; asked once until the item changes. The window may
// change the menu while it answers, so the item is looked up again after.
SIZE Measure(HWND window, HMENU menu, std::size_t index) {
    MenuItem& item = menu->items[index];
    if (!item.measured) {
        MEASUREITEMSTRUCT measure{ODT_MENU, 0, item.id, 0, 0, item.data};
        SendMessageW(window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
        if (!ValidIndex(menu, static_cast<int>(index))) return SIZE{0, 0};
        MenuItem& again = menu->items[index];
        again.measured = true;
        again.measuredSize = SIZE{std::min<LONG>(static_cast<LONG>(measure.itemWidth), kLargestItem),
                                  std::min<LONG>(static_cast<LONG>(measure.itemHeight), kLargestItem)};
    }
    return menu->items[index].measuredSize;
}

UINT OwnerDrawState(const MenuItem& item, bool selected, bool hot) {
    UINT state = 0;
    if (selected) state |= ODS_SELECTED;
    if (hot) state |= ODS_HOTLIGHT;
    if (item.flags & MF_GRAYED) state |= ODS_GRAYED;
    if (item.flags & MF_DISABLED) state |= ODS_DISABLED;
    if (item.flags & MF_CHECKED) state |= ODS_CHECKED;
    return state;
}

void SendDrawItem(HWND window, HMENU menu, std::size_t index, HDC dc, RECT rect, UINT state) {
    const MenuItem& item = menu->items[index];
    DRAWITEMSTRUCT draw{ODT_MENU, 0,    item.id,  ODA_DRAWENTIRE, state, reinterpret_cast<HWND>(menu),
                        dc,       rect, item.data};
    SendMessageW(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
}

void Fill(HDC dc, RECT rect, int colour) {
    FillRect(dc, &rect, GetSysColorBrush(colour));
}

struct ItemColours {
    int text;
    int background;
};

// Flat menus: the selection is filled with the menu highlight colour.
ItemColours ColoursOf(const MenuItem& item, bool selected, int background) {
    const bool greyed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
    if (selected) return {greyed ? COLOR_GRAYTEXT : COLOR_HIGHLIGHTTEXT, COLOR_MENUHILIGHT};
    return {greyed ? COLOR_GRAYTEXT : COLOR_MENUTEXT, background};
}

void DrawText(HDC dc, std::u16string_view text, RECT rect, UINT format, int colour) {
    if (text.empty()) return;
    SetTextColor(dc, GetSysColor(colour));
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, format | DT_SINGLELINE | DT_VCENTER);
}

// --- the bar ---

int BarWidth(const WindowObject* w) {
    return w->backing ? w->backing->width : 0;
}

// Whether a window and its bar are still there after a message was sent to the window.
bool Alive(HWND window, const BarView& view) {
    auto it = Bars().find(window);
    return Win(window) && it != Bars().end() && &it->second == &view;
}

void LayOutBar(HWND window, HMENU menu, HDC dc, BarView& view) {
    view.items.clear();
    const int height = MenuBarHeight(window);
    int x = 0;
    for (std::size_t i = 0; IsMenu(menu) && i < menu->items.size(); ++i) {
        const MenuItem& item = menu->items[i];
        int width = kBarPadding;
        if (item.flags & MF_OWNERDRAW)
            width = Measure(window, menu, i).cx;
        else if (!(item.flags & MF_SEPARATOR))
            width = TextSize(dc, LeftPart(item.text)).cx + 2 * kBarPadding;
        if (!Alive(window, view)) return;
        view.items.push_back(RECT{x, 0, x + width, height});
        x += width;
    }
}

int BarItemAt(HWND window, POINT sdlPoint) {
    auto it = Bars().find(window);
    if (it == Bars().end() || sdlPoint.y < 0 || sdlPoint.y >= MenuBarHeight(window)) return -1;
    const std::vector<RECT>& items = it->second.items;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].left < BarWidth(window) && PtInRect(&items[i], sdlPoint) &&
            ValidIndex(GetMenu(window), static_cast<int>(i)) && Selectable(GetMenu(window)->items[i]))
            return static_cast<int>(i);
    return -1;
}

void DrawBar(HWND window, BarView& view) {
    const HMENU menu = GetMenu(window);
    const int width = BarWidth(window), height = MenuBarHeight(window);
    if (!view.picture || view.picture->width != width || view.picture->height != height)
        view.picture = NewPicture(width, height);
    if (!view.picture) return;
    BitmapObject* picture = view.picture.get();
    MenuDc dc(picture);
    LayOutBar(window, menu, dc.get(), view);
    if (!Alive(window, view)) return;
    Fill(dc.get(), RECT{0, 0, width, height}, COLOR_MENUBAR);
    const std::vector<RECT> items = view.items;
    const int hotItem = view.hot;
    for (std::size_t i = 0; i < items.size() && items[i].left < width; ++i) {
        if (!ValidIndex(menu, static_cast<int>(i)) || !Alive(window, view)) break;
        const MenuItem& item = menu->items[i];
        const bool selected = Tracks(window) && Open().barItem == static_cast<int>(i);
        const bool hot = !selected && hotItem == static_cast<int>(i);
        if (item.flags & MF_OWNERDRAW) {
            SendDrawItem(window, menu, i, dc.get(), items[i], OwnerDrawState(item, selected, hot));
            continue;
        }
        if (item.flags & MF_SEPARATOR) continue;
        const ItemColours colours = ColoursOf(item, selected || hot, COLOR_MENUBAR);
        if (selected || hot) Fill(dc.get(), items[i], colours.background);
        DrawText(dc.get(), LeftPart(item.text), items[i], DT_CENTER, colours.text);
    }
}

// --- popups ---

struct PopupLayout {
    std::vector<RECT> items;
    SIZE size{};
    bool done = false;
};

// Lays out a popup's items and gives its size; owner-drawn items are measured by the window, which may close
// the menu or change it meanwhile (then the layout is not done).
PopupLayout LayOutPopup(HWND window, HMENU menu) {
    PopupLayout layout;
    MenuDc dc;
    const int line = LineHeight(dc.get()) + kItemPadding;
    int left = 0, right = 0, ownerWidth = 0;
    std::vector<int> heights;
    for (std::size_t i = 0; IsMenu(menu) && i < menu->items.size(); ++i) {
        const MenuItem& item = menu->items[i];
        if (item.flags & MF_OWNERDRAW) {
            const SIZE size = Measure(window, menu, i);
            ownerWidth = std::max<int>(ownerWidth, size.cx);
            heights.push_back(size.cy);
        } else if (item.flags & MF_SEPARATOR) {
            heights.push_back(kSeparatorHeight);
        } else {
            left = std::max<int>(left, TextSize(dc.get(), LeftPart(item.text)).cx);
            right = std::max<int>(right, TextSize(dc.get(), RightPart(item.text)).cx);
            heights.push_back(line);
        }
        if (!Tracks(window) || !IsMenu(menu)) return layout;
    }
    const int textWidth = kCheckColumn + left + (right ? kTabGap + right : 0) + kArrowColumn;
    const int width = std::max(ownerWidth, textWidth);
    int y = kPopupInset;
    for (int height : heights) {
        layout.items.push_back(RECT{kPopupInset, y, kPopupInset + width, y + height});
        y += height;
    }
    layout.size = SIZE{width + 2 * kPopupInset, y + kPopupInset};
    layout.done = true;
    return layout;
}

// Places a popup under its bar item or beside its parent item, moved back inside the SDL window where it
// would stick out; one larger than the window is clipped by it.
void Place(HWND window, Level& level, SIZE size) {
    const int width = BarWidth(window);
    const int height = MenuBarHeight(window) + (window->backing ? window->backing->height : 0);
    int x = level.below ? level.anchor.left : level.anchor.right - kSubmenuOverlap;
    int y = level.below ? level.anchor.bottom : level.anchor.top - kPopupInset;
    if (x + size.cx > width)
        x = level.below || level.anchor.left + kSubmenuOverlap - size.cx < 0
                ? width - size.cx
                : level.anchor.left + kSubmenuOverlap - size.cx;
    if (y + size.cy > height) y = height - size.cy;
    x = std::max(0, x);
    y = std::max(0, y);
    level.box = RECT{x, y, x + size.cx, y + size.cy};
}

void DrawCheckMark(HDC dc, RECT item, int colour) {
    const int x = item.left + 5, y = (item.top + item.bottom) / 2;
    const HBRUSH brush = GetSysColorBrush(colour);
    // A tick two pixels thick: down two pixels, then up six.
    for (int i = 0; i < 9; ++i) {
        const int dy = i < 3 ? i : 4 - i;
        const RECT dot{x + i, y + dy - 1, x + i + 1, y + dy + 1};
        FillRect(dc, &dot, brush);
    }
}

void DrawArrow(HDC dc, RECT item, int colour) {
    const int x = item.right - kArrowColumn + 5, y = (item.top + item.bottom) / 2;
    const HBRUSH brush = GetSysColorBrush(colour);
    for (int i = 0; i < 4; ++i) {
        const RECT column{x + i, y - 3 + i, x + i + 1, y + 4 - i};
        FillRect(dc, &column, brush);
    }
}

void DrawPopupItem(HDC dc, const MenuItem& item, RECT rect, bool selected) {
    if (item.flags & MF_SEPARATOR) {
        RECT line{rect.left + 1, (rect.top + rect.bottom) / 2, rect.right - 1, rect.bottom};
        DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    const ItemColours colours = ColoursOf(item, selected, COLOR_MENU);
    if (selected) Fill(dc, rect, colours.background);
    if (item.flags & MF_CHECKED) DrawCheckMark(dc, rect, colours.text);
    RECT text{rect.left + kCheckColumn, rect.top, rect.right - kArrowColumn, rect.bottom};
    DrawText(dc, LeftPart(item.text), text, DT_LEFT, colours.text);
    DrawText(dc, RightPart(item.text), text, DT_RIGHT, colours.text);
    if (item.popup) DrawArrow(dc, rect, colours.text);
}

void DrawPopup(HWND window, Level& level) {
    const int width = level.box.right - level.box.left, height = level.box.bottom - level.box.top;
    if (!level.picture || level.picture->width != width || level.picture->height != height)
        level.picture = NewPicture(width, height);
    if (!level.picture) return;
    BitmapObject* picture = level.picture.get();
    const HMENU menu = level.menu;
    const std::vector<RECT> items = level.items;
    const int selected = level.selected;
    MenuDc dc(picture);
    Fill(dc.get(), RECT{0, 0, width, height}, COLOR_MENU);
    for (const RECT& edge : {RECT{0, 0, width, 1}, RECT{0, height - 1, width, height}, RECT{0, 0, 1, height},
                             RECT{width - 1, 0, width, height}})
        Fill(dc.get(), edge, COLOR_BTNSHADOW);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!ValidIndex(menu, static_cast<int>(i)) || !Tracks(window)) break;
        const MenuItem& item = menu->items[i];
        const bool isSelected = static_cast<int>(i) == selected;
        if (item.flags & MF_OWNERDRAW)
            SendDrawItem(window, menu, i, dc.get(), items[i], OwnerDrawState(item, isSelected, false));
        else
            DrawPopupItem(dc.get(), item, items[i], isSelected);
    }
}

int PopupItemAt(const Level& level, POINT sdlPoint) {
    if (!PtInRect(&level.box, sdlPoint)) return -1;
    const POINT p{sdlPoint.x - level.box.left, sdlPoint.y - level.box.top};
    for (std::size_t i = 0; i < level.items.size(); ++i)
        if (PtInRect(&level.items[i], p) && ValidIndex(level.menu, static_cast<int>(i)) &&
            Selectable(level.menu->items[i]))
            return static_cast<int>(i);
    return -1;
}

// --- the open menu ---

void MarkDrawn(HWND window) {
    if (WindowObject* w = Win(window)) w->dirty = true;
}

void BarDirty(HWND window) {
    auto it = Bars().find(window);
    if (it != Bars().end()) it->second.dirty = true;
    MarkDrawn(window);
}

void CloseLevels(std::size_t keep) {
    Tracking& t = Open();
    if (t.levels.size() <= keep) return;
    t.levels.resize(keep);
    if (!t.levels.empty()) t.levels.back().dirty = true;
    MarkDrawn(t.window);
}

// Ends the menu: WM_EXITMENULOOP unless the window is going away.
void End(bool notify = true) {
    Tracking& t = Open();
    const HWND window = t.window;
    if (!window) return;
    t = Tracking{};
    BarDirty(window);
    if (notify && Win(window)) ExitMenuLoop(window);
}

// Whether the open menu is still the one that began on this window, after a message was sent to it.
bool StillOpen(HWND window) {
    Tracking& t = Open();
    if (!Tracks(window)) return false;
    if (!Win(window) || GetMenu(window) != t.bar || !IsMenu(t.bar)) {
        End(Win(window) != nullptr);
        return false;
    }
    return true;
}

void LayOutAndPlace(HWND window, std::size_t depth) {
    Tracking& t = Open();
    const HMENU menu = t.levels[depth].menu;
    PopupLayout layout = LayOutPopup(window, menu);
    if (!layout.done || !StillOpen(window) || depth >= t.levels.size() || t.levels[depth].menu != menu)
        return;
    Level& level = t.levels[depth];
    level.items = std::move(layout.items);
    level.laidOut = true;
    Place(window, level, layout.size);
}

int FirstSelectable(HMENU menu, int from, int step) {
    if (!IsMenu(menu) || menu->items.empty()) return -1;
    const int count = static_cast<int>(menu->items.size());
    int i = from;
    for (int n = 0; n < count; ++n) {
        i = ((i + step) % count + count) % count;
        if (Selectable(menu->items[static_cast<std::size_t>(i)])) return i;
    }
    return -1;
}

// Opens a popup: the window hears WM_INITMENUPOPUP first, and may change the menu before it is laid out.
bool OpenLevel(HWND window, HMENU menu, int indexInParent, RECT anchor, bool below) {
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(indexInParent, FALSE));
    if (!StillOpen(window) || !IsMenu(menu)) return false;
    Tracking& t = Open();
    Level level;
    level.menu = menu;
    level.anchor = anchor;
    level.below = below;
    t.levels.push_back(std::move(level));
    LayOutAndPlace(window, t.levels.size() - 1);
    if (!StillOpen(window)) return false;
    MarkDrawn(window);
    return true;
}

RECT BarItemRect(HWND window, int index) {
    auto it = Bars().find(window);
    if (it == Bars().end() || index < 0 || static_cast<std::size_t>(index) >= it->second.items.size())
        return RECT{};
    return it->second.items[static_cast<std::size_t>(index)];
}

// Selects a bar item and, when asked, opens its popup (selecting its first item for the keyboard).
void SelectBar(HWND window, int index, bool open, bool selectFirst) {
    Tracking& t = Open();
    CloseLevels(0);
    t.barItem = index;
    BarDirty(window);
    if (!open || !ValidIndex(t.bar, index)) return;
    const MenuItem& item = t.bar->items[static_cast<std::size_t>(index)];
    if (!item.popup || !Enabled(item)) return;
    if (!OpenLevel(window, item.popup, index, BarItemRect(window, index), true)) return;
    if (selectFirst) Open().levels.back().selected = FirstSelectable(Open().levels.back().menu, -1, 1);
}

void OpenSubmenu(HWND window, std::size_t depth, int index, bool selectFirst) {
    Tracking& t = Open();
    Level& parent = t.levels[depth];
    if (!ValidIndex(parent.menu, index)) return;
    const MenuItem& item = parent.menu->items[static_cast<std::size_t>(index)];
    if (!item.popup || !Enabled(item)) return;
    RECT anchor = parent.items[static_cast<std::size_t>(index)];
    OffsetRect(&anchor, parent.box.left, parent.box.top);
    anchor.left = parent.box.left;
    anchor.right = parent.box.right;
    CloseLevels(depth + 1);
    if (!OpenLevel(window, item.popup, index, anchor, false)) return;
    if (selectFirst) Open().levels.back().selected = FirstSelectable(Open().levels.back().menu, -1, 1);
}

// Chooses an item: a popup opens, an enabled command closes the menu and is posted, anything else stays.
void Choose(HWND window, HMENU menu, int index, std::size_t depth) {
    if (!ValidIndex(menu, index)) return;
    const MenuItem& item = menu->items[static_cast<std::size_t>(index)];
    if (!Enabled(item)) return;
    if (item.popup) {
        if (depth == 0)
            SelectBar(window, index, true, true);
        else
            OpenSubmenu(window, depth - 1, index, true);
        return;
    }
    const UINT id = item.id;
    End();
    if (Win(window)) PostMessageW(window, WM_COMMAND, id & 0xFFFF, 0);
}

// Starts the menu on a window: WM_ENTERMENULOOP, then WM_INITMENU with the bar.
bool Begin(HWND window, bool keyboard) {
    Tracking& t = Open();
    if (t.window) return false;
    t.window = window;
    t.bar = GetMenu(window);
    t.keyboard = keyboard;
    if (auto it = Bars().find(window); it != Bars().end()) it->second.hot = -1;
    EnterMenuLoop(window);
    return StillOpen(window);
}

int NextBarItem(HWND window, int from, int step) {
    auto it = Bars().find(window);
    const HMENU bar = GetMenu(window);
    if (it == Bars().end() || !IsMenu(bar)) return -1;
    const int count = static_cast<int>(std::min(bar->items.size(), it->second.items.size()));
    int i = from;
    for (int n = 0; n < count; ++n) {
        i = ((i + step) % count + count) % count;
        if (Selectable(bar->items[static_cast<std::size_t>(i)]) &&
            it->second.items[static_cast<std::size_t>(i)].left < BarWidth(window))
            return i;
    }
    return -1;
}

void RefreshOpenMenu() {
    Tracking& t = Open();
    for (std::size_t depth = 0; t.window && depth < t.levels.size(); ++depth) {
        if (!t.levels[depth].laidOut) LayOutAndPlace(t.window, depth);
        if (!t.window || depth >= t.levels.size()) return;
        if (!t.levels[depth].dirty) continue;
        t.levels[depth].dirty = false;
        DrawPopup(t.window, t.levels[depth]);
        MarkDrawn(t.window);
    }
}

// Lays out and draws what changed. Drawing sends messages, and a window may paint or present from inside
// them; the drawing does not start again from there.
void Refresh() {
    static bool busy = false;
    if (busy) return;
    busy = true;
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT)) {
        if (!MenuBarHeight(top) || !top->backing) continue;
        BarView& view = Bars()[top];
        if (!view.dirty && view.picture && view.picture->width == BarWidth(top)) continue;
        view.dirty = false;
        DrawBar(top, view);
        MarkDrawn(top);
    }
    RefreshOpenMenu();
    busy = false;
}

// --- input while the menu is open ---

void MoveTo(HWND window, POINT p) {
    Tracking& t = Open();
    for (std::size_t depth = t.levels.size(); depth-- > 0;) {
        Level& level = t.levels[depth];
        if (!PtInRect(&level.box, p)) continue;
        const int index = PopupItemAt(level, p);
        if (index == level.selected) return;
        level.selected = index;
        level.dirty = true;
        MarkDrawn(window);
        CloseLevels(depth + 1);
        if (index >= 0) OpenSubmenu(window, depth, index, false);
        return;
    }
    const int bar = BarItemAt(window, p);
    if (bar >= 0) {
        if (bar != t.barItem) SelectBar(window, bar, !t.levels.empty(), false);
        return;
    }
    // Away from every item: the deepest popup shows nothing selected.
    if (!t.levels.empty() && t.levels.back().selected >= 0) {
        t.levels.back().selected = -1;
        t.levels.back().dirty = true;
        MarkDrawn(window);
    }
}

void Press(HWND window, POINT p) {
    Tracking& t = Open();
    for (const Level& level : t.levels)
        if (PtInRect(&level.box, p)) return MoveTo(window, p);
    const int bar = BarItemAt(window, p);
    if (bar < 0 || (bar == t.barItem && !t.levels.empty())) return End();
    SelectBar(window, bar, true, false);
}

void Release(HWND window, POINT p) {
    Tracking& t = Open();
    for (std::size_t depth = t.levels.size(); depth-- > 0;) {
        if (!PtInRect(&t.levels[depth].box, p)) continue;
        const int index = PopupItemAt(t.levels[depth], p);
        if (index >= 0) Choose(window, t.levels[depth].menu, index, depth + 1);
        return;
    }
    // A command on the bar itself is chosen where it was pressed.
    const int bar = BarItemAt(window, p);
    if (bar >= 0 && bar == t.barItem && ValidIndex(t.bar, bar) &&
        !t.bar->items[static_cast<std::size_t>(bar)].popup)
        Choose(window, t.bar, bar, 0);
}

void StepInPopup(HWND window, int step) {
    Level& level = Open().levels.back();
    const int next = FirstSelectable(level.menu, level.selected < 0 && step < 0 ? 0 : level.selected, step);
    if (next == level.selected) return;
    level.selected = next;
    level.dirty = true;
    MarkDrawn(window);
}

void StepOnBar(HWND window, int step) {
    Tracking& t = Open();
    const int next = NextBarItem(window, t.barItem, step);
    if (next >= 0) SelectBar(window, next, !t.levels.empty(), true);
}

void OnMenuKey(HWND window, BYTE key) {
    Tracking& t = Open();
    const HMENU bar = t.bar;
    switch (key) {
    case VK_ESCAPE:
        if (t.levels.size() > 1 || (t.levels.size() == 1 && t.keyboard))
            CloseLevels(t.levels.size() - 1);
        else
            End();
        return;
    case VK_MENU:
    case VK_F10:
        return End();
    case VK_LEFT:
        if (t.levels.size() > 1) return CloseLevels(t.levels.size() - 1);
        return StepOnBar(window, -1);
    case VK_RIGHT:
        if (!t.levels.empty()) {
            const Level& level = t.levels.back();
            if (ValidIndex(level.menu, level.selected) &&
                level.menu->items[static_cast<std::size_t>(level.selected)].popup)
                return OpenSubmenu(window, t.levels.size() - 1, level.selected, true);
        }
        return StepOnBar(window, 1);
    case VK_UP:
    case VK_DOWN:
        if (t.levels.empty()) {
            SelectBar(window, t.barItem, true, key == VK_DOWN);
            if (key == VK_UP && !Open().levels.empty())
                Open().levels.back().selected = FirstSelectable(Open().levels.back().menu, 0, -1);
            return;
        }
        return StepInPopup(window, key == VK_DOWN ? 1 : -1);
    case VK_RETURN:
        if (t.levels.empty()) return Choose(window, bar, t.barItem, 0);
        return Choose(window, t.levels.back().menu, t.levels.back().selected, t.levels.size());
    default:
        break;
    }
    const bool letter = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
    if (!letter) return;
    if (t.levels.empty()) {
        auto it = Bars().find(window);
        const int index =
            it == Bars().end() ? -1 : FindMnemonic(bar, key, &it->second.items, BarWidth(window));
        if (index >= 0) Choose(window, bar, index, 0);
        return;
    }
    Level& level = t.levels.back();
    const int index = FindMnemonic(level.menu, key);
    if (index < 0) return;
    level.selected = index;
    level.dirty = true;
    MarkDrawn(window);
    Choose(window, level.menu, index, t.levels.size());
}

} // namespace

// --- what the rest of the layer asks ---

int MenuBarHeight(const WindowObject* w) {
    return w && !IsChild(w) && w->menu ? FrameInsets(0, 0, true).top : 0;
}

void MenuBarChanged(HWND window) {
    if (Tracks(window) && GetMenu(window) != Open().bar) End();
    if (!GetMenu(window)) {
        Bars().erase(window);
        return;
    }
    BarDirty(window);
}

void MenuChanged(HMENU menu) {
    for (auto& [window, view] : Bars())
        if (GetMenu(window) == menu) {
            view.dirty = true;
            MarkDrawn(window);
        }
    // A popup may show an item changed through its bar: every open popup is laid out again.
    Tracking& t = Open();
    for (Level& level : t.levels) {
        level.laidOut = false;
        level.dirty = true;
    }
    if (t.window && !t.levels.empty()) MarkDrawn(t.window);
}

void MenuDestroyed(HMENU menu) {
    Tracking& t = Open();
    if (!t.window) return;
    bool shown = t.bar == menu;
    for (const Level& level : t.levels)
        shown = shown || level.menu == menu;
    if (shown) End();
}

void ForgetMenuWindow(HWND window) {
    if (Tracks(window)) End(false);
    Bars().erase(window);
}

void DrawPendingMenuBars() {
    Refresh();
}

void ForEachMenuLayer(HWND top, const std::function<void(const BitmapObject&, POINT)>& draw) {
    if (!MenuBarHeight(top)) return;
    auto it = Bars().find(top);
    if (it != Bars().end() && it->second.picture) draw(*it->second.picture, POINT{0, 0});
    if (!Tracks(top)) return;
    for (const Level& level : Open().levels)
        if (level.picture) draw(*level.picture, POINT{level.box.left, level.box.top});
}

bool MenuIsOpen(HWND top) {
    return Tracks(top);
}

void CancelMenu(HWND top) {
    if (Tracks(top)) End();
}

bool MenuTakesMouse(HWND top, MenuMouse kind, POINT sdlPoint) {
    Refresh();
    if (!Tracks(top)) {
        auto it = Bars().find(top);
        const int hot = kind == MenuMouse::Leave ? -1 : BarItemAt(top, sdlPoint);
        if (it != Bars().end() && it->second.hot != hot) {
            it->second.hot = hot;
            BarDirty(top);
        }
        if (kind == MenuMouse::Leave) return false;
        if (kind == MenuMouse::Down) {
            POINT screen{sdlPoint.x, sdlPoint.y - MenuBarHeight(top)};
            ClientToScreen(top, &screen);
            PostMessageW(top, WM_NCLBUTTONDOWN, static_cast<WPARAM>(HTMENU), MAKELPARAM(screen.x, screen.y));
        }
        return true;
    }
    switch (kind) {
    case MenuMouse::Move:
        MoveTo(top, sdlPoint);
        break;
    case MenuMouse::Down:
        Press(top, sdlPoint);
        break;
    case MenuMouse::Up:
        Release(top, sdlPoint);
        break;
    case MenuMouse::OtherButton: {
        bool inside = BarItemAt(top, sdlPoint) >= 0;
        for (const Level& level : Open().levels)
            inside = inside || PtInRect(&level.box, sdlPoint);
        if (!inside) End();
        break;
    }
    case MenuMouse::Leave:
        break;
    }
    return true;
}

bool MenuTakesKey(HWND top, BYTE virtualKey, bool down) {
    if (!Tracks(top)) return false;
    Refresh();
    if (down && Tracks(top)) OnMenuKey(top, virtualKey);
    return true;
}

void TrackMenuFromMouse(HWND window, POINT screenPoint) {
    window = TopLevelOf(window);
    if (!GetMenu(window) || Open().window) return;
    Refresh();
    POINT p = screenPoint;
    ScreenToClient(window, &p);
    p.y += MenuBarHeight(window);
    const int index = BarItemAt(window, p);
    if (index < 0 || !Begin(window, false)) return;
    SelectBar(window, index, true, false);
}

void TrackMenuFromKey(HWND window, WCHAR mnemonic) {
    window = TopLevelOf(window);
    const HMENU bar = GetMenu(window);
    if (!bar || Open().window) return;
    Refresh();
    auto it = Bars().find(window);
    if (it == Bars().end()) return;
    const int index = mnemonic ? FindMnemonic(bar, mnemonic, &it->second.items, BarWidth(window))
                               : NextBarItem(window, -1, 1);
    if (index < 0 || !Begin(window, true)) return;
    SelectBar(window, index, false, false);
    if (mnemonic && Tracks(window)) Choose(window, Open().bar, index, 0);
}

} // namespace win32

namespace win32::testing {

BOOL GetShownMenuItemRect(HWND window, HMENU menu, int position, RECT* rect) {
    if (!rect || !Win(window) || !menu || position < 0) return FALSE;
    Refresh();
    const auto index = static_cast<std::size_t>(position);
    if (menu == GetMenu(window)) {
        auto it = Bars().find(window);
        if (it == Bars().end() || index >= it->second.items.size()) return FALSE;
        *rect = it->second.items[index];
        return TRUE;
    }
    if (!Tracks(window)) return FALSE;
    for (const Level& level : Open().levels) {
        if (level.menu != menu || index >= level.items.size()) continue;
        *rect = level.items[index];
        OffsetRect(rect, level.box.left, level.box.top);
        return TRUE;
    }
    return FALSE;
}

} // namespace win32::testing
