// Handles of destroyed objects stay invalid when new objects of the same kind are made, and window classes
// keep their atoms.
#include "recorder.h"
#include "support/window_class.h"
#include "win32/font.h"
#include "win32/kernel.h"
#include "win32/menu.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

using namespace windows_test;

namespace {

struct HandleKind {
    std::string name;
    void* (*make)(HWND top);
    bool (*destroy)(void* handle); // TRUE when the handle named a live object
    bool (*live)(HWND top, void* handle);
};

void PrintTo(const HandleKind& kind, std::ostream* out) {
    *out << kind.name;
}

HWND Hw(void* h) {
    return static_cast<HWND>(h);
}

// Only a live pen or brush can be selected.
bool Selectable(HWND, void* object) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, object);
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
    return old != nullptr;
}

const HandleKind Kinds[] = {
    {"Window",
     [](HWND) {
         return static_cast<void*>(CreateWindowExW(0, u"Recorder", u"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                                   nullptr, nullptr, nullptr));
     },
     [](void* h) { return DestroyWindow(Hw(h)) != FALSE; },
     [](HWND, void* h) { return IsWindow(Hw(h)) != FALSE; }},
    {"ChildWindow",
     [](HWND top) {
         return static_cast<void*>(
             CreateWindowExW(0, u"Recorder", u"", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr));
     },
     [](void* h) { return DestroyWindow(Hw(h)) != FALSE; },
     [](HWND, void* h) { return IsWindow(Hw(h)) != FALSE; }},
    {"Menu", [](HWND) { return static_cast<void*>(CreatePopupMenu()); },
     [](void* h) { return DestroyMenu(static_cast<HMENU>(h)) != FALSE; },
     [](HWND, void* h) { return IsMenu(static_cast<HMENU>(h)) != FALSE; }},
    {"Brush", [](HWND) { return static_cast<void*>(CreateSolidBrush(RGB(1, 2, 3))); },
     [](void* h) { return DeleteObject(h) != FALSE; }, Selectable},
    {"Pen", [](HWND) { return static_cast<void*>(CreatePen(PS_SOLID, 1, RGB(1, 2, 3))); },
     [](void* h) { return DeleteObject(h) != FALSE; }, Selectable},
    {"Bitmap", [](HWND) { return static_cast<void*>(CreateCompatibleBitmap(nullptr, 4, 4)); },
     [](void* h) { return DeleteObject(h) != FALSE; },
     [](HWND, void* h) { return GetObjectW(h, 0, nullptr) != 0; }},
    {"MemoryDc", [](HWND) { return static_cast<void*>(CreateCompatibleDC(nullptr)); },
     [](void* h) { return DeleteDC(static_cast<HDC>(h)) != FALSE; },
     [](HWND, void* h) { return GetCurrentObject(static_cast<HDC>(h), OBJ_BRUSH) != nullptr; }},
    {"Font",
     [](HWND) {
         LOGFONTW lf{};
         lf.lfHeight = -12;
         return static_cast<void*>(CreateFontIndirectW(&lf));
     },
     [](void* h) { return DeleteFont(static_cast<HFONT>(h)) != FALSE; },
     [](HWND, void* h) { return IsFont(h); }},
    {"AcceleratorTable",
     [](HWND) {
         const ACCEL entry{FVIRTKEY, 'Q', 1};
         return static_cast<void*>(CreateAcceleratorTableW(&entry, 1));
     },
     [](void* h) { return DestroyAcceleratorTable(static_cast<HACCEL>(h)) != FALSE; },
     [](HWND top, void* h) {
         MSG msg{top, WM_KEYDOWN, 'Q', 0, 0, {}};
         return TranslateAcceleratorW(top, static_cast<HACCEL>(h), &msg) != 0;
     }},
    {"File",
     [](HWND) {
         return static_cast<void*>(
             CreateFileW(u"/dev/null", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
     },
     [](void* h) { return CloseHandle(h) != FALSE; },
     [](HWND, void* h) { return GetFileSize(h, nullptr) != INVALID_FILE_SIZE; }},
};

class StaleHandle : public WindowTest, public ::testing::WithParamInterface<HandleKind> {};

// Memory freed by one object is what the allocator most likely gives the next one of the same size.
TEST_P(StaleHandle, StaysInvalidWhileNewObjectsOfItsKindAreMade) {
    const HandleKind& kind = GetParam();
    void* stale = kind.make(top);
    ASSERT_NE(stale, nullptr);
    ASSERT_TRUE(kind.live(top, stale));
    ASSERT_TRUE(kind.destroy(stale));
    std::vector<void*> fresh;
    for (int i = 0; i < 32; ++i) {
        fresh.push_back(kind.make(top));
        ASSERT_NE(fresh.back(), nullptr);
    }
    EXPECT_EQ(std::count(fresh.begin(), fresh.end(), stale), 0) << "a new object took the old handle";
    EXPECT_FALSE(kind.live(top, stale));
    EXPECT_FALSE(kind.destroy(stale)) << "destroying the stale handle again is refused";
    for (void* h : fresh)
        EXPECT_TRUE(kind.live(top, h));
    for (void* h : fresh)
        kind.destroy(h);
    Pump();
}

INSTANTIATE_TEST_SUITE_P(Each, StaleHandle, ::testing::ValuesIn(Kinds),
                         [](const ::testing::TestParamInfo<HandleKind>& info) { return info.param.name; });

ATOM RegisterNamed(const char16_t* name) {
    return test_support::RegisterWindowClass(name, DefWindowProcW);
}

std::u16string ClassOf(HWND window) {
    WCHAR name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

LPCWSTR ByAtom(ATOM atom) {
    return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom));
}

TEST(WindowClassAtom, NamesItsClassFromRegistrationToUnregistration) {
    const ATOM zeta = RegisterNamed(u"Zeta");
    ASSERT_NE(zeta, 0);
    // A later class whose name sorts first takes nothing from the earlier one.
    const ATOM alpha = RegisterNamed(u"Alpha");
    ASSERT_NE(alpha, 0);
    EXPECT_NE(alpha, zeta);
    EXPECT_EQ(RegisterNamed(u"zeta"), 0) << "a second registration of a name is refused";

    HWND z = CreateWindowExW(0, ByAtom(zeta), u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    HWND a = CreateWindowExW(0, ByAtom(alpha), u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(z, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(ClassOf(z), u"Zeta");
    EXPECT_EQ(ClassOf(a), u"Alpha");
    DestroyWindow(a);

    ASSERT_TRUE(UnregisterClassW(u"Alpha", nullptr));
    EXPECT_EQ(
        CreateWindowExW(0, ByAtom(alpha), u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr),
        nullptr)
        << "an unregistered class's atom names nothing";
    HWND again =
        CreateWindowExW(0, ByAtom(zeta), u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(ClassOf(again), u"Zeta");
    DestroyWindow(again);
    DestroyWindow(z);
    EXPECT_TRUE(UnregisterClassW(u"Zeta", nullptr));
}

} // namespace
