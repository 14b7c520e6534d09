// The menu's icons through a whole run: the application's image list names stored images, the first frame
// loads them into the library and turns the list into library handles, and the popup items draw them.
#include "runtime/startup/loader/loader_fixture.h"
#include "loop/application_state_machine.h"
#include "core/command_line.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "shell/window_procedures.h"
#include "startup/banks.h"
#include "support/scene.h"

#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "vtrs2/banks.h"

#include "win32/gdi.h"
#include "win32/menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vtrrt;
using namespace win32;

class StillClock final : public FrameClock {
public:
    DWORD Now() override { return now; }
    void WaitForMessage(DWORD timeoutMs) override { now += timeoutMs ? timeoutMs : 1; }
    DWORD now = 1000;
};

constexpr std::uint16_t IconCommand = 100;
constexpr std::uint16_t NoImage = 0xFFFF;

// Stored images 0 and 1 are missing, 2 is a 4 x 4 red square (24-bit rows of blue, green, red): the first
// handle the library gives out is not its stored index.
std::vector<std::uint8_t> WriteIconApplication() {
    appwriter::ApplicationDescription d;
    appwriter::ImageItemDesc red;
    for (int i = 0; i < 16; ++i)
        red.pixels.insert(red.pixels.end(), {0, 0, 255});
    appwriter::BankPayload images = appwriter::WriteImageBank({red});
    std::vector<std::uint32_t> offsets = images.offsets;
    offsets.insert(offsets.begin(), 2, 0);
    d.extra.push_back({appwriter::ChunkImageBank, 0, images.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(offsets)});
    d.imageList = std::vector<appwriter::ImageListEntry>{{IconCommand, 2}, {IconCommand + 1, NoImage}};
    for (int i = 0; i < 2; ++i)
        d.frames.push_back(appwriter::DescribeFrame(320, 200, 0x10, {}));
    return appwriter::WriteApplication(d);
}

class MenuIconFrames : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        GetCommandLineOptions().errorBoxes = 0;
        bytes_ = WriteIconApplication();
        app_ = loadertest::LoadFromMemory(bytes_);
        ASSERT_TRUE(app_);
        ASSERT_TRUE(app_->banks);
        app_->banks->library = &library_;
    }
    void TearDown() override {
        if (app_) {
            scene::EndStarted(*app_);
        }
        app_.reset();
        FreeAllBanks(&library_);
        SetCurrentApplication(nullptr);
        SetFrameClock(previousClock_);
        GetCommandLineOptions().errorBoxes = 1;
    }
    std::uint16_t ListImage(int entry) const {
        const std::uint8_t* at = app_->imageList.data + 4 + 4 * entry + 2;
        return static_cast<std::uint16_t>(at[0] | at[1] << 8);
    }

    StillClock clock_;
    FrameClock* previousClock_ = nullptr;
    ContextBanks library_{};
    std::vector<std::uint8_t> bytes_;
    loadertest::LibraryContextScope context_;
    loadertest::RecordPtr app_;
};

TEST_F(MenuIconFrames, FirstFrameLoadsTheListsImagesAndTurnsItIntoHandlesOnce) {
    ASSERT_EQ(StartApplication(app_.get()), 1);
    ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    const std::uint16_t handle = ListImage(0);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(StoredIndexOfHandle(*app_->banks, AppBankImages, handle), 2);
    EXPECT_EQ(GetBankItemReferenceCount(*app_->banks, AppBankImages, handle), 1u);
    EXPECT_EQ(ListImage(1), 0); // no image
    ImageInfo info{};
    ASSERT_TRUE(GetImageInfo(&library_, handle, &info));
    EXPECT_EQ(info.width, 4);

    // The next frame counts the list by handle: the image stays, held once, and the list is not translated
    // a second time.
    CurrentRunState()->exitCode = ExitNextFrame;
    ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    EXPECT_EQ(ListImage(0), handle);
    EXPECT_EQ(GetBankItemReferenceCount(*app_->banks, AppBankImages, handle), 1u);

    // A popup item of that command now shows the image, centred in its cell.
    BITMAPINFO bitmap{};
    bitmap.bmiHeader = {sizeof(BITMAPINFOHEADER), 100, -24, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &bitmap, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, section);
    const std::u16string record(1, u'\0');
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_MENU;
    item.itemID = IconCommand;
    item.hDC = dc;
    item.rcItem = RECT{0, 0, 100, 24};
    item.itemData = reinterpret_cast<ULONG_PTR>(record.c_str());
    MainWindowProc(nullptr, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(GetPixel(dc, 5 + 6, 4 + 6), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 5 + 9, 4 + 9), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 5 + 5, 4 + 6), GetSysColor(COLOR_MENU));
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(section);
}

} // namespace
