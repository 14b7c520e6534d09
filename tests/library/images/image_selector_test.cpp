// The image file selector driven by messages over the image filters built beside the tests: its list of file
// types for each kind of file, a file of each installed filter shown in the panel and in the preview, the
// default extension and filter id of a save, cancelling, the refusal of a file no filter reads, and the ANSI
// forms.
#include "image_test_support.h"

#include "support/dialog_driver.h"
#include "vtrs2/compat_testing.h"
#include "vtrs2/image_selector.h"
#include "win32/gdi.h"
#include "win32/menu.h"

#include <functional>
#include <utility>

namespace {

using namespace imagetest;
using namespace win32;
using Driver = test_support::DialogDriver;
using test_support::ListBoxItems;
using test_support::WindowText;
using Strings = std::vector<std::u16string>;

constexpr DWORD BmpId = BmpFilterId;
constexpr COLORREF Solid = RGB(200, 40, 90);

const std::pair<DWORD, std::u16string> Captions[] = {{BmpId, u"BMP files (bmp, dib)"},
                                                     {PngId, u"PNG files (png)"},
                                                     {JpegId, u"JPEG files (jpg, jpeg, jpe, jfif)"},
                                                     {GifId, u"GIF files (gif)"}};

// The installed filters' types, in the manager's order.
Strings FilterCaptions(CImageFilterMgr& filters) {
    Strings captions;
    for (int i = 0; i < filters.GetFilterCount(); ++i)
        for (const auto& [id, caption] : Captions)
            if (filters.GetFilterID(i) == id) captions.push_back(caption);
    return captions;
}

Driver::Step Pick(int id, std::u16string item) {
    return [=](HWND dialog) {
        HWND list = GetDlgItem(dialog, id);
        const LRESULT at = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(item.c_str()));
        ASSERT_NE(at, LB_ERR) << "no item " << ToUtf8(item);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    };
}
Driver::Step Name(std::u16string name) {
    return [=](HWND dialog) { SetDlgItemTextW(dialog, edt1, name.c_str()); };
}
Driver::Step Expect(std::function<void(HWND)> check) {
    return [=](HWND dialog) { check(dialog); };
}

// The library's panel inside the dialog.
HWND PanelOf(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, ImageSelectorPreviewId)) return child;
    return nullptr;
}

std::u16string PanelText(HWND dialog, int id) {
    return WindowText(GetDlgItem(PanelOf(dialog), id));
}

// The preview as the panel draws it into a bitmap of the given size, read back pixel by pixel.
struct Drawn {
    int width, height;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
Drawn DrawPreview(HWND dialog, int width, int height) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HWND panel = PanelOf(dialog);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_STATIC;
    item.CtlID = ImageSelectorPreviewId;
    item.itemAction = ODA_DRAWENTIRE;
    item.hwndItem = GetDlgItem(panel, ImageSelectorPreviewId);
    item.hDC = dc;
    item.rcItem = {0, 0, width, height};
    SendMessageW(panel, WM_DRAWITEM, ImageSelectorPreviewId, reinterpret_cast<LPARAM>(&item));
    Drawn drawn{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            drawn.pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return drawn;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
            tolerance)
            return false;
    return true;
}

// The naive picture: the button face, the image's rectangle in its colour, the raised frame on top.
void ExpectPreview(const Drawn& d, RECT image, COLORREF colour, int tolerance) {
    int wrong = 0;
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) {
            COLORREF expected = GetSysColor(COLOR_BTNFACE);
            if (x >= image.left && x < image.right && y >= image.top && y < image.bottom) expected = colour;
            if (x == d.width - 1 || y == d.height - 1)
                expected = GetSysColor(COLOR_BTNSHADOW);
            else if (x == 0 || y == 0)
                expected = GetSysColor(COLOR_BTNHIGHLIGHT);
            if (!Near(d.At(x, y), expected, tolerance) && wrong++ < 5)
                ADD_FAILURE() << "at " << x << "," << y << " expected " << std::hex << expected << " got "
                              << d.At(x, y);
        }
    EXPECT_EQ(wrong, 0);
}

class ImageSelector : public ImageFiles {
protected:
    void SetUp() override {
        ImageFiles::SetUp();
        win32::testing::ResetInputState();
        ofn_.lStructSize = sizeof ofn_;
        ofn_.lpstrFile = file_;
        ofn_.nMaxFile = MAX_PATH;
        ofn_.lpstrInitialDir = root_.c_str();
        ofn_.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        ofn_.lCustData = 5;
    }
    void TearDown() override {
        win32::testing::ResetInputState();
        ImageFiles::TearDown();
    }
    // A file of one colour, written by the filter.
    void WriteSolid(const std::u16string& name, DWORD filter, int width, int height) {
        auto surface = MakeSurface(24, width, height);
        surface->Fill(Solid);
        ASSERT_EQ(SaveImageFile(&filters_, Path(name).c_str(), surface.get(), filter), 1);
    }
    int Select(int open, DWORD* id, int kinds = SelectStillImages) {
        return SelectImageFileW(&ofn_, open, &filters_, id, kinds);
    }

    WCHAR file_[MAX_PATH] = {};
    OPENFILENAMEW ofn_{};
};

struct Installed {
    const char* name;
    DWORD id;
    const char16_t* file;
    const char16_t* caption;
    int tolerance;
};

class EachFilter : public ImageSelector, public ::testing::WithParamInterface<Installed> {};

std::string InstalledName(const ::testing::TestParamInfo<Installed>& info) {
    return info.param.name;
}

} // namespace

// The filter's own type shows its file alone; choosing it fills the panel with what the filter reads, and the
// preview shows it centred at its size, or shrunk into the box keeping its ratio.
TEST_P(EachFilter, ItsTypeListsItsFilesAndThePanelShowsThem) {
    const Installed c = GetParam();
    WriteSolid(c.file, c.id, 20, 10);
    WriteSolid(u"wide.bmp", BmpId, 200, 50);
    ImageFile reading(&filters_);
    ASSERT_EQ(reading.OpenRead(Path(c.file).c_str()), ImageOk);
    const int depth = reading.GetDepth();
    reading.Close();
    cSurface read;
    ASSERT_EQ(LoadImageFileIntoSurface(&filters_, Path(c.file).c_str(), &read, nullptr, 0), 1);
    COLORREF stored = 0;
    read.GetPixel(0, 0, stored);
    DWORD id = c.id;
    Driver driver;
    driver
        .Then(Expect([&](HWND d) {
            EXPECT_EQ(ListBoxItems(d, lst2).at(SendDlgItemMessageW(d, lst2, LB_GETCURSEL, 0, 0)), c.caption)
                << "the given filter's type comes first";
            const Strings shown =
                c.id == BmpId ? Strings{u"[..]", c.file, u"wide.bmp"} : Strings{u"[..]", c.file};
            EXPECT_EQ(ListBoxItems(d, lst1), shown);
        }))
        .Then(Pick(lst2, u"Image files"))
        .Then(Pick(lst1, c.file))
        .Then(Expect([&](HWND d) {
            EXPECT_EQ(PanelText(d, ImageSelectorTypeId), FromUtf8(c.name));
            EXPECT_EQ(PanelText(d, ImageSelectorWidthId), u"20");
            EXPECT_EQ(PanelText(d, ImageSelectorHeightId), u"10");
            EXPECT_EQ(PanelText(d, ImageSelectorDepthId), FromUtf8(std::to_string(depth)));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(PanelOf(d), ImageSelectorFramesId)));
            ExpectPreview(DrawPreview(d, 60, 40), {20, 15, 40, 25}, stored, c.tolerance);
        }))
        .Then(Pick(lst1, u"wide.bmp"))
        .Then(Expect([&](HWND d) {
            // 200 x 50 into 100 x 100: the width fills the box, the height follows at 25.
            ExpectPreview(DrawPreview(d, 100, 100), {0, 37, 100, 62}, Solid, 0);
        }))
        .Then(Pick(lst1, c.file))
        .Then(Driver::Press(IDOK));
    ASSERT_EQ(Select(1, &id), 1);
    EXPECT_EQ(std::u16string(file_), Path(c.file));
    EXPECT_EQ(id, c.id) << "an open leaves the id given";
}

INSTANTIATE_TEST_SUITE_P(Installed, EachFilter,
                         ::testing::Values(Installed{"BMP", BmpId, u"one.bmp", u"BMP files (bmp, dib)", 0},
                                           Installed{"PNG", PngId, u"one.png", u"PNG files (png)", 0},
                                           Installed{"JPEG", JpegId, u"one.jpg",
                                                     u"JPEG files (jpg, jpeg, jpe, jfif)", 8},
                                           Installed{"GIF", GifId, u"one.gif", u"GIF files (gif)", 0}),
                         InstalledName);

// The first type of an open dialog names the kinds asked for and shows every listed filter's files; no
// installed filter reads animations.
TEST_F(ImageSelector, TheOpenDialogsTypesFollowTheKindsAskedFor) {
    const std::pair<int, Strings> cases[] = {
        {SelectStillImages, {u"Image files"}},
        {SelectAnimations, {u"Animation files"}},
        {SelectStillImages | SelectAnimations, {u"Graphic files"}},
    };
    WriteSolid(u"a.png", PngId, 4, 4);
    WriteSolid(u"b.bmp", BmpId, 4, 4);
    std::ofstream(ToUtf8(Path(u"notes.txt"))) << "x";
    for (auto [kinds, expected] : cases) {
        if (kinds & SelectStillImages) {
            const Strings captions = FilterCaptions(filters_);
            expected.insert(expected.end(), captions.begin(), captions.end());
            expected.push_back(u"All files (*.*)");
        }
        Driver driver;
        driver
            .Then(Expect([&, expected = expected](HWND d) {
                EXPECT_EQ(ListBoxItems(d, lst2), expected);
                EXPECT_EQ(SendDlgItemMessageW(d, lst2, LB_GETCURSEL, 0, 0), 0);
                if (kinds & SelectStillImages) {
                    EXPECT_EQ(ListBoxItems(d, lst1), (Strings{u"[..]", u"a.png", u"b.bmp"}));
                }
            }))
            .Then(Driver::Press(IDCANCEL));
        EXPECT_EQ(Select(1, nullptr, kinds), 0);
    }
}

// A save lists the filters only, with the given one chosen; another type brings its extension to a name typed
// without one, and its id back. The record is the caller's again.
TEST_F(ImageSelector, ASaveGivesTheChosenTypesExtensionAndId) {
    DWORD id = PngId;
    ofn_.Flags = OFN_OVERWRITEPROMPT;
    Driver driver;
    driver
        .Then(Expect([&](HWND d) {
            EXPECT_EQ(WindowText(d), u"Save As");
            const Strings captions = FilterCaptions(filters_);
            EXPECT_EQ(ListBoxItems(d, lst2), captions);
            EXPECT_EQ(ListBoxItems(d, lst2).at(SendDlgItemMessageW(d, lst2, LB_GETCURSEL, 0, 0)),
                      u"PNG files (png)");
        }))
        .Then(Pick(lst2, u"JPEG files (jpg, jpeg, jpe, jfif)"))
        .Then(Name(u"shot"))
        .Then(Driver::Press(IDOK));
    ASSERT_EQ(Select(0, &id), 1);
    EXPECT_EQ(std::u16string(file_), Path(u"shot.jpg"));
    EXPECT_EQ(id, JpegId);
    EXPECT_EQ(ofn_.lpstrFilter, nullptr);
    EXPECT_EQ(ofn_.lpfnHook, nullptr);
    EXPECT_EQ(ofn_.lpstrDefExt, nullptr);
    EXPECT_EQ(ofn_.Flags, OFN_OVERWRITEPROMPT);
    EXPECT_EQ(ofn_.lCustData, 5);

    // Without a type chosen, the first filter's extension.
    Driver again;
    again.Then(Name(u"plain")).Then(Driver::Press(IDOK));
    ASSERT_EQ(Select(0, nullptr), 1);
    EXPECT_EQ(std::u16string(file_), Path(u"plain.") + filters_.GetFilterExtsW(0)[0]);
}

TEST_F(ImageSelector, CancellingLeavesTheFileAndIdAlone) {
    WriteSolid(u"a.png", PngId, 4, 4);
    std::copy_n(u"start", 6, file_);
    DWORD id = PngId;
    Driver driver;
    driver.Then(Pick(lst1, u"a.png")).Then(Pick(lst2, u"GIF files (gif)")).Then(Driver::Key(VK_ESCAPE));
    EXPECT_EQ(Select(0, &id), 0);
    EXPECT_EQ(std::u16string(file_), u"start");
    EXPECT_EQ(id, PngId);
}

// A file that no filter reads empties the panel and is refused; the dialog stays.
TEST_F(ImageSelector, AFileNoFilterReadsIsRefused) {
    WriteSolid(u"good.png", PngId, 4, 4);
    std::ofstream(ToUtf8(Path(u"fake.png"))) << "not an image";
    Driver driver;
    driver.Then(Pick(lst1, u"good.png"))
        .Then(Pick(lst1, u"fake.png"))
        .Then(Expect([](HWND d) {
            EXPECT_EQ(PanelText(d, ImageSelectorTypeId), u"");
            EXPECT_EQ(PanelText(d, ImageSelectorWidthId), u"");
            ExpectPreview(DrawPreview(d, 10, 10), {0, 0, 0, 0}, 0, 0);
        }))
        .Then(Driver::Press(IDOK))
        .Then(Expect([](HWND d) { EXPECT_EQ(WindowText(d), u"Open") << "the dialog stays"; }))
        .Then(Pick(lst1, u"good.png"))
        .Then(Driver::Press(IDOK));
    ASSERT_EQ(Select(1, nullptr), 1);
    EXPECT_EQ(std::u16string(file_), Path(u"good.png"));
}

// The ANSI record, through the wide dialog and through the ANSI one: the panel is filled either way and the
// chosen path comes back narrow.
TEST_F(ImageSelector, TheAnsiFormChoosesThroughEitherDialog) {
    WriteSolid(u"a.png", PngId, 6, 3);
    const std::string folder = ToUtf8(root_);
    for (int wide : {1, 0}) {
        const int before = SetUseWideApi(wide);
        char file[MAX_PATH] = {};
        char title[MAX_PATH] = {};
        OPENFILENAMEA a{};
        a.lStructSize = sizeof a;
        a.lpstrFile = file;
        a.nMaxFile = MAX_PATH;
        a.lpstrFileTitle = title;
        a.nMaxFileTitle = MAX_PATH;
        a.lpstrInitialDir = folder.c_str();
        DWORD id = 0;
        Driver driver;
        driver.Then(Pick(lst1, u"a.png"))
            .Then(Expect([](HWND d) {
                EXPECT_EQ(PanelText(d, ImageSelectorTypeId), u"PNG");
                EXPECT_EQ(PanelText(d, ImageSelectorWidthId), u"6");
            }))
            .Then(Driver::Press(IDOK));
        EXPECT_EQ(SelectImageFileA(&a, 1, &filters_, &id, SelectStillImages), 1) << "wide " << wide;
        SetUseWideApi(before);
        EXPECT_EQ(std::string(file), folder + "/a.png");
        EXPECT_EQ(std::string(title), "a.png");
        EXPECT_EQ(a.nFileOffset, folder.size() + 1);
        EXPECT_EQ(a.nFileExtension, folder.size() + 3);
    }
}
