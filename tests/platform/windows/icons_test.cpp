// Icons made from packed bitmaps, checked pixel by pixel against the picture the test packs, the bitmaps
// refused, and the icons a window is given.
#include "recorder.h"

#include <string>
#include <vector>

using namespace windows_test;

namespace {

constexpr COLORREF Transparent = 0xFFFFFFFF;

struct IconCase {
    const char* name;
    int bpp;
    int width, rows;
    bool topDown;
    bool doubled;   // the height counts the mask's rows, as icons store them
    DWORD used = 0; // colour table entries, 0: as many as the depth indexes
};

int Stride(int width, int bpp) {
    return ((width * bpp + 31) / 32) * 4;
}
int Entries(const IconCase& c) {
    return c.used ? static_cast<int>(c.used) : 1 << c.bpp;
}
bool Masked(int x, int y) {
    return (x + 2 * y) % 5 == 0;
}
int IndexAt(const IconCase& c, int x, int y) {
    return (x * 3 + y * 5) % Entries(c);
}
COLORREF Entry(int i) {
    return RGB(static_cast<BYTE>(i * 7), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3 + 1));
}
COLORREF Direct(int x, int y) {
    return RGB(static_cast<BYTE>(x * 20 + 3), static_cast<BYTE>(y * 30 + 1), static_cast<BYTE>((x ^ y) * 9));
}
COLORREF Expected(const IconCase& c, int x, int y) {
    if (Masked(x, y)) return Transparent;
    return c.bpp <= 8 ? Entry(IndexAt(c, x, y)) : Direct(x, y);
}

void Put32(std::vector<BYTE>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}
void Put16(std::vector<BYTE>& b, std::uint16_t v) {
    b.push_back(static_cast<BYTE>(v));
    b.push_back(static_cast<BYTE>(v >> 8));
}

// Header, colour table, colour rows and mask rows, written field by field.
std::vector<BYTE> Pack(const IconCase& c) {
    std::vector<BYTE> b;
    const int height = c.doubled ? 2 * c.rows : c.rows;
    Put32(b, 40);
    Put32(b, static_cast<std::uint32_t>(c.width));
    Put32(b, static_cast<std::uint32_t>(c.topDown ? -height : height));
    Put16(b, 1);
    Put16(b, static_cast<std::uint16_t>(c.bpp));
    for (std::uint32_t v : {0u, 0u, 0u, 0u, c.used, 0u})
        Put32(b, v);
    if (c.bpp <= 8)
        for (int i = 0; i < Entries(c); ++i) {
            const COLORREF e = Entry(i);
            b.insert(b.end(), {GetBValue(e), GetGValue(e), GetRValue(e), 0});
        }
    // Rows in memory order: the bottom row first unless top-down.
    const auto pictureRow = [&](int r) { return c.topDown ? r : c.rows - 1 - r; };
    for (int r = 0; r < c.rows; ++r) {
        std::vector<BYTE> row(static_cast<std::size_t>(Stride(c.width, c.bpp)), 0);
        const int y = pictureRow(r);
        for (int x = 0; x < c.width; ++x) {
            if (c.bpp <= 8) {
                const int bit = x * c.bpp; // the leftmost pixel in the highest bits
                row[bit / 8] |= static_cast<BYTE>(IndexAt(c, x, y) << (8 - c.bpp - bit % 8));
            } else {
                const COLORREF d = Direct(x, y);
                BYTE* p = &row[static_cast<std::size_t>(x * c.bpp / 8)];
                p[0] = GetBValue(d);
                p[1] = GetGValue(d);
                p[2] = GetRValue(d);
                if (c.bpp == 32) p[3] = 0x5A; // not alpha: the mask alone leaves pixels out
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    for (int r = 0; r < c.rows; ++r) {
        std::vector<BYTE> row(static_cast<std::size_t>(Stride(c.width, 1)), 0);
        for (int x = 0; x < c.width; ++x)
            if (Masked(x, pictureRow(r))) row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

class IconFromDib : public ::testing::TestWithParam<IconCase> {};

TEST_P(IconFromDib, HoldsThePicturePackedWithTheMasksHoles) {
    const IconCase& c = GetParam();
    const std::vector<BYTE> bytes = Pack(c);
    HICON icon = CreateIconFromDib(bytes.data(), bytes.size());
    ASSERT_NE(icon, nullptr);
    const SIZE size = win32::testing::IconSize(icon);
    EXPECT_EQ(size.cx, c.width);
    EXPECT_EQ(size.cy, c.rows);
    for (int y = 0; y < c.rows; ++y)
        for (int x = 0; x < c.width; ++x)
            ASSERT_EQ(win32::testing::ReadIconPixel(icon, x, y), Expected(c, x, y)) << x << "," << y;
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_EQ(win32::testing::ReadIconPixel(icon, 0, 0), Transparent);
}

INSTANTIATE_TEST_SUITE_P(Depths, IconFromDib,
                         ::testing::Values(IconCase{"OneBitSquareBottomUp", 1, 16, 16, false, true},
                                           IconCase{"FourBitsOddWidthTopDown", 4, 5, 3, true, false},
                                           IconCase{"EightBitsSquareBottomUp", 8, 16, 16, false, true},
                                           IconCase{"EightBitsShortColourTable", 8, 9, 4, false, false, 20},
                                           IconCase{"TwentyFourBitsPaddedRows", 24, 7, 5, false, false},
                                           IconCase{"ThirtyTwoBitsTopDownSquare", 32, 6, 6, true, true},
                                           IconCase{"LargestSide", 24, MaxIconSide, MaxIconSide, false,
                                                    true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IconFromDibRefused, BitmapsThatDoNotHoldTogether) {
    const IconCase eight{"", 8, 16, 16, false, true};
    const std::vector<BYTE> good = Pack(eight);
    const auto with = [&](std::size_t at, std::uint32_t v) {
        std::vector<BYTE> b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<BYTE>(v >> (8 * i));
        return b;
    };
    const auto bits = [&](std::uint16_t depth) {
        std::vector<BYTE> b = good;
        b[14] = static_cast<BYTE>(depth);
        return b;
    };
    struct Refused {
        const char* what;
        std::vector<BYTE> bytes;
    };
    const std::vector<Refused> cases = {
        {"mask one byte short", {good.begin(), good.end() - 1}},
        {"colour table cut", {good.begin(), good.begin() + 40 + 255 * 4}},
        {"header cut", {good.begin(), good.begin() + 39}},
        {"header size past the end", with(0, 5000)},
        {"header size below the basic header", with(0, 12)},
        {"more colours than the depth indexes", with(32, 257)},
        {"zero height", with(8, 0)},
        {"width beyond every size", with(4, 0x7FFFFFFF)},
        {"two bits per pixel", bits(2)},
        {"run-length compression", with(16, 1)},
        {"a side over the largest", Pack(IconCase{"", 24, MaxIconSide + 1, MaxIconSide + 1, false, true})},
    };
    for (const Refused& r : cases)
        EXPECT_EQ(CreateIconFromDib(r.bytes.data(), r.bytes.size()), nullptr) << r.what;
    EXPECT_EQ(CreateIconFromDib(nullptr, good.size()), nullptr);
}

TEST_F(WindowTest, SetIconAnswersThePreviousIconOfItsKind) {
    const std::vector<BYTE> bytes = Pack(IconCase{"", 24, 7, 5, false, false});
    HICON first = CreateIconFromDib(bytes.data(), bytes.size());
    HICON second = CreateIconFromDib(bytes.data(), bytes.size());
    ASSERT_TRUE(first && second);
    const auto set = [](HWND w, WPARAM kind, HICON icon) {
        return reinterpret_cast<HICON>(SendMessageW(w, WM_SETICON, kind, reinterpret_cast<LPARAM>(icon)));
    };
    const auto get = [](HWND w, WPARAM kind) {
        return reinterpret_cast<HICON>(SendMessageW(w, WM_GETICON, kind, 0));
    };
    // The top-level window shows it on its SDL window; a child window only keeps it.
    HWND child = Child(0, 0, 20, 20);
    for (HWND w : {top, child}) {
        EXPECT_EQ(set(w, ICON_BIG, first), nullptr);
        EXPECT_EQ(set(w, ICON_BIG, second), first);
        EXPECT_EQ(set(w, ICON_SMALL, first), nullptr);
        EXPECT_EQ(get(w, ICON_BIG), second);
        EXPECT_EQ(get(w, ICON_SMALL), first);
        EXPECT_EQ(set(w, ICON_SMALL, nullptr), first);
        EXPECT_EQ(get(w, ICON_SMALL), nullptr);
    }
    DestroyIcon(first);
    // A handle that is no icon changes nothing.
    EXPECT_EQ(set(top, ICON_BIG, first), nullptr);
    EXPECT_EQ(get(top, ICON_BIG), second);
    DestroyWindow(child);
    DestroyIcon(second);
}

} // namespace
