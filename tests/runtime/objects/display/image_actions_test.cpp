// Object image actions on a running frame: one colour replaced in every image of an object, with the bank's
// reference counts settled, and a frame of an animation loaded from an image file, shown at once.
#include "display_fixture.h"

#include "objects/image_actions.h"
#include "startup/object_references.h"

#include "vtrs2/banks.h"
#include "vtrs2/image_filters.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/kernel.h"

#include <filesystem>
#include <map>

namespace {

using namespace displaytest;
using win32::RGB;

constexpr COLORREF Red = 0x0000FF, Blue = 0xFF0000, Green = 0x00C000, White = 0xFFFFFF;

Picture TwoColours(COLORREF left, COLORREF right) {
    Picture p;
    p.colour = [left, right](int x, int) { return x < 4 ? left : right; };
    return p;
}

// Object 1 shows images 1, 2, 1 in its walking animation and is placed twice; object 2 shows image 1.
class ImageActions : public DisplayTest {
protected:
    void SetUp() override {
        pictures_ = {TwoColours(Red, Green), TwoColours(Green, Blue)};
        ActiveDesc first = MakeActive(1, {1, 2, 1}, 0);
        first.minSpeed = first.maxSpeed = 0; // stays on its first frame
        ActiveDesc second = MakeActive(2, {1}, 0);
        Start(pictures_, {first, second}, {{1, 10, 10}, {1, 40, 10}, {2, 70, 10}});
        Tick();
        const std::string bin = VTR_BIN_DIR;
        filters_.Scan(std::u16string(bin.begin(), bin.end()).c_str(), 0);
        savedFilters_ = std::exchange(Services().imageFilters, &filters_);
        folder_ = win32::CreateUniqueTempFolder(u"atest");
    }
    void TearDown() override {
        Services().imageFilters = savedFilters_;
        std::error_code ignored;
        std::filesystem::remove_all(win32::ToUtf8(folder_), ignored);
        DisplayTest::TearDown();
    }
    ContextBanks* Library() { return app_->banks->library; }
    std::uint32_t Count(std::uint32_t handle) {
        const BankItemHeader* item = GetBankItem(Library(), BankImages, handle);
        return item ? item->refCount : 0;
    }
    // The handles of an object's animations, with their uses.
    std::map<std::uint32_t, std::uint32_t> Uses(std::uint16_t object) {
        std::map<std::uint32_t, std::uint32_t> uses;
        EnumObjectInfoHandles(
            *GetObjectInfoByHandle(object), {},
            [](int kind, std::uint8_t* field, void* user) {
                if (kind == AppBankImages)
                    ++(*static_cast<std::map<std::uint32_t, std::uint32_t>*>(
                        user))[field[0] | (field[1] << 8)];
            },
            &uses);
        return uses;
    }
    // A picture of one colour written as a PNG file.
    std::u16string WritePng(COLORREF colour, int size) {
        cSurface* prototype = nullptr;
        GetSurfacePrototype(&prototype, 24, PublicTypeMemory, DriverKindNone);
        cSurface s;
        s.Create(size, size, prototype);
        s.Fill(colour);
        const std::u16string path = folder_ + u"/picture" + static_cast<char16_t>(u'0' + files_++) + u".png";
        EXPECT_EQ(SaveImageFile(&filters_, path.c_str(), &s, MakeFilterId('P', 'N', 'G', ' ')), 1);
        return path;
    }

    std::vector<Picture> pictures_;
    CImageFilterMgr filters_;
    CImageFilterMgr* savedFilters_ = nullptr;
    std::u16string folder_;
    int files_ = 0;
};

} // namespace

TEST_F(ImageActions, ReplacingAColourRemapsEveryHandleAndSettlesTheCounts) {
    const auto before = Uses(1);
    ASSERT_EQ(before.size(), 2u);
    const std::uint32_t shared = Active(0)->image; // image 1, also object 2's
    std::map<std::uint32_t, std::uint32_t> counts;
    for (auto [handle, uses] : before)
        counts[handle] = Count(handle);
    ASSERT_EQ(ReplaceObjectColor(Slot(0), Green, White), Slot(0));
    const auto after = Uses(1);
    ASSERT_EQ(after.size(), 2u);
    for (auto [handle, uses] : after) {
        EXPECT_FALSE(before.count(handle)) << handle;
        EXPECT_EQ(Count(handle), uses) << handle;
    }
    // The old images lose exactly the uses of object 1: the one object 2 still shows stays.
    for (auto [handle, uses] : before)
        EXPECT_EQ(Count(handle), counts[handle] - uses) << handle;
    EXPECT_GT(Count(shared), 0u);
    EXPECT_EQ(static_cast<std::uint32_t>(Active(2)->image), shared);
    // Both instances show the new first image, with white in place of green.
    EXPECT_EQ(Active(0)->image, Active(1)->image);
    EXPECT_TRUE(after.count(static_cast<std::uint32_t>(Active(0)->image)));
    Tick();
    EXPECT_EQ(Shown(11, 11), Red);
    EXPECT_EQ(Shown(16, 11), White);
    EXPECT_EQ(Shown(46, 11), White);
    EXPECT_EQ(Shown(76, 11), Green);
}

TEST_F(ImageActions, AColourThatIsNotThereLeavesTheImagesAsTheyWere) {
    const auto before = Uses(1);
    std::map<std::uint32_t, std::uint32_t> counts;
    for (auto [handle, uses] : before)
        counts[handle] = Count(handle);
    ASSERT_EQ(ReplaceObjectColor(Slot(0), RGB(1, 2, 3), White), Slot(0));
    // Identical images are the ones the bank has: same handles, same counts.
    EXPECT_EQ(Uses(1), before);
    for (auto [handle, uses] : before)
        EXPECT_EQ(Count(handle), counts[handle]);
}

TEST_F(ImageActions, AFrameLoadedFromAFileReplacesTheObjectsImageOnScreen) {
    const std::uint32_t old = Active(0)->image;
    const std::uint32_t oldCount = Count(old);
    LoadObjectFrameFromFile(Slot(0), WritePng(Blue, 8).c_str(), AnimationWalking, 0, 0, 0, 0, 0, 0, 0);
    const std::uint32_t made = Active(0)->image;
    EXPECT_NE(made, old);
    EXPECT_EQ(Active(1)->image, static_cast<std::int32_t>(made));
    EXPECT_EQ(Count(made), 1u);
    EXPECT_EQ(Count(old), oldCount - 1);
    Tick();
    EXPECT_EQ(Shown(11, 11), Blue);
    EXPECT_EQ(Shown(44, 11), Blue);
    EXPECT_EQ(Shown(71, 11), Red); // object 2 keeps image 1
}

TEST_F(ImageActions, AnIdenticalImageIsReused) {
    std::uint16_t first = 0, second = 0;
    const std::u16string path = WritePng(RGB(10, 200, 30), 5);
    ASSERT_EQ(LoadImageFileToBank(first, path.c_str(), ImageLoadOptions{}), 1);
    ASSERT_EQ(LoadImageFileToBank(second, WritePng(RGB(10, 200, 30), 5).c_str(), ImageLoadOptions{}), 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(Count(first), 2u);
    // Loaded over itself, the handle keeps its image and its count.
    ASSERT_EQ(LoadImageFileToBank(second, path.c_str(), ImageLoadOptions{}), 1);
    EXPECT_EQ(second, first);
    EXPECT_EQ(Count(first), 2u);
}

TEST_F(ImageActions, OutOfRangeFramesAndUnreadableFilesChangeNothing) {
    const std::u16string path = WritePng(Blue, 8);
    const auto before = Uses(1);
    const std::int32_t image = Active(0)->image;
    struct Try {
        int animation, direction, frame;
    };
    for (Try t : {Try{AnimationWalking, -1, 0}, Try{AnimationWalking, 32, 0}, Try{AnimationWalking, 0, -1},
                  Try{AnimationWalking, 0, 3}, Try{-1, 0, 0}, Try{40, 0, 0}, Try{0, 0, 0},
                  Try{AnimationWalking, 5, 0}})
        LoadObjectFrameFromFile(Slot(0), path.c_str(), t.animation, t.direction, t.frame, 0, 0, 0, 0, 0);
    LoadObjectFrameFromFile(Slot(0), (folder_ + u"/missing.png").c_str(), AnimationWalking, 0, 0, 0, 0, 0, 0,
                            0);
    LoadObjectFrameFromFile(Slot(0), u"", AnimationWalking, 0, 0, 0, 0, 0, 0, 0);
    LoadObjectFrameFromFile(nullptr, path.c_str(), AnimationWalking, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(Uses(1), before);
    EXPECT_EQ(Active(0)->image, image);
    EXPECT_EQ(ReplaceObjectColor(nullptr, Green, White), nullptr);
    // An instance showing a handle the bank does not hold keeps it; the others take their new images.
    Active(1)->image = 60000;
    ASSERT_EQ(ReplaceObjectColor(Slot(0), Green, White), Slot(0));
    EXPECT_EQ(Active(1)->image, 60000);
    EXPECT_NE(Active(0)->image, image);
    Active(1)->image = Active(0)->image;
}
