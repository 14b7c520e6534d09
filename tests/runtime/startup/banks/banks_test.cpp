#include "startup/banks.h"
#include "startup/object_infos.h"
#include "startup/object_references.h"

#include "appwriter/object_writer.h"

#include "vtrs2/banks.h"
#include "vtrs2/fonts.h"
#include "vtrs2/memory_testing.h"
#include "vtrs2/streams.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vtrrt;
using appwriter::ImageItemDesc;

namespace {

constexpr std::uint32_t Prefix = 10; // bytes of other data before the bank payload

// Application data holding one bank, read through a memory stream into the library's banks.
class BanksTest : public ::testing::Test {
protected:
    ~BanksTest() override {
        FreeBanks(banks);
        FreeAllBanks(&library);
        if (stream) stream->Delete();
    }

    void Open(int kind, const appwriter::BankPayload& payload, std::vector<std::uint32_t> stored) {
        data.assign(Prefix, 0xEE);
        data.insert(data.end(), payload.items.begin(), payload.items.end());
        stream = NewInputMemFile();
        ASSERT_NE(stream, nullptr);
        static_cast<CInputMemFile*>(stream)->Attach(data.data(), static_cast<win32::LONG>(data.size()));
        banks.stream = stream;
        banks.library = &library;
        ReadBankChunk(banks, kind, Prefix);
        ASSERT_TRUE(ReadBankOffsets(banks, kind, appwriter::WriteBankOffsets(stored)));
    }
    void OpenImages(std::vector<ImageItemDesc> images, bool withGap = true) {
        const auto payload = appwriter::WriteImageBank(images);
        std::vector<std::uint32_t> stored = payload.offsets;
        if (withGap) stored.insert(stored.begin() + 1, 0); // stored index 1 has no item
        Open(AppBankImages, payload, stored);
    }
    std::uint32_t Count(std::uint32_t handle) {
        return GetBankItemReferenceCount(banks, AppBankImages, handle);
    }

    ApplicationBanks banks;
    ContextBanks library{};
    CInputFile* stream = nullptr;
    std::vector<std::uint8_t> data;
};

FrameBankUses Images(std::vector<std::uint16_t> indexes) {
    FrameBankUses uses;
    uses.indexes[AppBankImages] = std::move(indexes);
    return uses;
}

} // namespace

TEST_F(BanksTest, ItemsLoadOnDemandWithTheirStoredFields) {
    ImageItemDesc a;
    a.width = 6;
    a.height = 3;
    a.hotX = 2;
    a.actionY = 1;
    OpenImages({a, ImageItemDesc{}});
    const std::uint32_t handle = LoadBankItem(banks, AppBankImages, 0);
    ASSERT_NE(handle, 0u);
    ImageInfo info{};
    ASSERT_TRUE(GetImageInfo(&library, handle, &info));
    EXPECT_EQ(info.width, 6);
    EXPECT_EQ(info.height, 3);
    EXPECT_EQ(info.hotX, 2);
    EXPECT_EQ(info.actionY, 1);
    EXPECT_EQ(StoredIndexOfHandle(banks, AppBankImages, handle), 0);
    // Loaded once: a second demand shares it.
    EXPECT_EQ(LoadBankItem(banks, AppBankImages, 0), handle);
    EXPECT_EQ(Count(handle), 2u);
    // The gap, an index past the end and the "none" reference load nothing.
    EXPECT_EQ(LoadBankItem(banks, AppBankImages, 1), 0u);
    EXPECT_EQ(LoadBankItem(banks, AppBankImages, 7), 0u);
    EXPECT_EQ(LoadBankItem(banks, AppBankImages, NoStoredIndex), 0u);
    EXPECT_NE(LoadBankItem(banks, AppBankImages, 2), 0u);
}

TEST_F(BanksTest, CountsFollowEachFrameAndItemsUsedAgainAreNotReloaded) {
    OpenImages({ImageItemDesc{}, ImageItemDesc{}});
    ASSERT_EQ(LoadFrameBankItems(banks, Images({0, 0, 2})), 0);
    const std::uint32_t first = HandleOfStoredIndex(banks, AppBankImages, 0);
    const std::uint32_t second = HandleOfStoredIndex(banks, AppBankImages, 2);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(Count(first), 2u);
    EXPECT_EQ(Count(second), 1u);
    // Next frame: the first image once more, the second no longer.
    ASSERT_EQ(LoadFrameBankItems(banks, Images({0})), 0);
    EXPECT_EQ(HandleOfStoredIndex(banks, AppBankImages, 0), first);
    EXPECT_EQ(Count(first), 1u);
    EXPECT_EQ(HandleOfStoredIndex(banks, AppBankImages, 2), 0u);
    EXPECT_EQ(GetBankItem(&library, BankImages, second), nullptr);
    // A frame that uses nothing releases everything.
    ASSERT_EQ(LoadFrameBankItems(banks, Images({})), 0);
    EXPECT_EQ(GetBankItem(&library, BankImages, first), nullptr);
    EXPECT_EQ(HandleOfStoredIndex(banks, AppBankImages, 0), 0u);
}

TEST_F(BanksTest, ReferencesHeldByOthersAreNeverTakenAway) {
    OpenImages({ImageItemDesc{}});
    ASSERT_EQ(LoadFrameBankItems(banks, Images({0, 0})), 0);
    const std::uint32_t handle = HandleOfStoredIndex(banks, AppBankImages, 0);
    AddImageRef(&library, handle); // someone else's reference
    ASSERT_EQ(LoadFrameBankItems(banks, Images({0})), 0);
    EXPECT_EQ(Count(handle), 2u);
    ASSERT_EQ(LoadFrameBankItems(banks, Images({})), 0);
    EXPECT_EQ(Count(handle), 1u);
    ReleaseImage(&library, handle);
}

TEST_F(BanksTest, UsesOutsideTheBankAreIgnored) {
    OpenImages({ImageItemDesc{}});
    ASSERT_EQ(LoadFrameBankItems(banks, Images({5, 0xFFFF, 1})), 0);
    EXPECT_EQ(GetBankCount(&library, BankImages), 0u);
}

TEST_F(BanksTest, HandlesBeyondTheMapsAreRefusedNotWrapped) {
    OpenImages({ImageItemDesc{}});
    EXPECT_FALSE(SetBankMapping(banks, AppBankImages, 0, 0x10000));
    EXPECT_FALSE(SetBankMapping(banks, AppBankImages, 9, 3));
    EXPECT_EQ(StoredIndexOfHandle(banks, AppBankImages, 0x10003), NoStoredIndex);
    // A large handle grows the reverse map.
    ASSERT_TRUE(SetBankMapping(banks, AppBankImages, 0, 700));
    EXPECT_EQ(StoredIndexOfHandle(banks, AppBankImages, 700), 0);
    EXPECT_GE(banks.banks[AppBankImages].reverse.size(), 956u);
    SetBankMapping(banks, AppBankImages, 0, 0);
}

TEST_F(BanksTest, CompressedItemAtTheStartOfThePayloadIsAnItem) {
    banks.itemsCompressed = true;
    banks.build = 285;
    const auto payload =
        appwriter::CompressBank(appwriter::WriteImageBank({ImageItemDesc{}, ImageItemDesc{}}));
    ASSERT_EQ(payload.offsets[0], 0u);
    std::vector<std::uint32_t> stored;
    for (std::uint32_t o : payload.offsets)
        stored.push_back(o + 256);
    Open(AppBankImages, payload, stored);
    EXPECT_NE(LoadBankItem(banks, AppBankImages, 0), 0u);
    EXPECT_NE(LoadBankItem(banks, AppBankImages, 1), 0u);
}

TEST_F(BanksTest, HandWrittenImageItemLoads) {
    // Header per the item table: two unused words, data size 12, width 2, height 2, mode 4 (24-bit),
    // flags 0, unused word, hot spot (1, 1), action point (0, 0), transparent colour 0; then 12 bytes.
    std::vector<std::uint8_t> item = {0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0, 2, 0, 2, 0,
                                      4, 0, 0, 0, 1, 0, 1, 0, 0,  0, 0, 0, 0, 0, 0, 0};
    item.resize(item.size() + 12, 0x55);
    appwriter::BankPayload payload;
    payload.items = item;
    Open(AppBankImages, payload, {0, 0}); // index 0 none, index 1... set below
    ASSERT_TRUE(ReadBankOffsets(banks, AppBankImages, appwriter::WriteBankOffsets({0, 0})));
    EXPECT_EQ(LoadBankItem(banks, AppBankImages, 0), 0u);
    // The same bytes at offset 0 of a payload whose offsets are not shifted cannot be named; place them
    // behind a leading word instead.
    payload.items.insert(payload.items.begin(), 4, 0);
    data.clear();
    stream->Delete();
    stream = nullptr;
    Open(AppBankImages, payload, {4});
    const std::uint32_t handle = LoadBankItem(banks, AppBankImages, 0);
    ASSERT_NE(handle, 0u);
    ImageInfo info{};
    ASSERT_TRUE(GetImageInfo(&library, handle, &info));
    EXPECT_EQ(info.width, 2);
    EXPECT_EQ(info.hotX, 1);
}

TEST_F(BanksTest, DamagedItemsLoadNothing) {
    ImageItemDesc zeroData;
    zeroData.pixels = {};
    auto payload = appwriter::WriteImageBank({ImageItemDesc{}});
    // Data size 0.
    payload.items[payload.offsets[0] + 8] = 0;
    payload.items[payload.offsets[0] + 9] = 0;
    Open(AppBankImages, payload, payload.offsets);
    EXPECT_EQ(LoadBankItem(banks, AppBankImages, 0), 0u);
    // An offset past the data.
    ASSERT_TRUE(ReadBankOffsets(banks, AppBankImages, appwriter::WriteBankOffsets({100000})));
    EXPECT_EQ(LoadBankItem(banks, AppBankImages, 0), 0u);
}

TEST_F(BanksTest, PackedImageWhoseDataCannotFillItAllocatesNothing) {
    // Header per the item table: data size 1, width and height 32767, mode 6 (15-bit), flags 2 (pixels
    // packed two bytes a pixel); the one byte of data is a repeat packet without its pixel.
    std::vector<std::uint8_t> item = {0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0x7F, 0xFF,
                                      0x7F, 6, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    5};
    appwriter::BankPayload payload;
    payload.items = item;
    Open(AppBankImages, payload, {4}); // behind a leading word: offset 0 names no item
    const int before = GetHeapCompactionCount();
    SetAllocationFailures(0, 2); // a library allocation would fail, compacting the heap once
    EXPECT_EQ(LoadBankItem(banks, AppBankImages, 0), 0u);
    SetAllocationFailures(0, 0);
    EXPECT_EQ(GetHeapCompactionCount(), before);
}

TEST_F(BanksTest, FontsLoadAsLogicalFonts) {
    Open(AppBankFonts, appwriter::WriteFontBank({{14, 700, u"Serif"}}, appwriter::StringForm::Wide),
         appwriter::WriteFontBank({{14, 700, u"Serif"}}, appwriter::StringForm::Wide).offsets);
    const std::uint32_t handle = LoadBankItem(banks, AppBankFonts, 0);
    ASSERT_NE(handle, 0u);
    FontInfoW info{};
    ASSERT_TRUE(GetFontInfoW(&library, handle, &info));
    EXPECT_EQ(info.font.lfHeight, 14);
    EXPECT_EQ(info.font.lfWeight, 700);
    EXPECT_EQ(std::u16string(info.font.lfFaceName), u"Serif");
    ReleaseBankItem(banks, AppBankFonts, handle);
    EXPECT_EQ(HandleOfStoredIndex(banks, AppBankFonts, 0), 0u);
}

namespace {

ObjectInfo Backdrop(std::int16_t type, std::uint16_t image, std::uint16_t fillType = 3) {
    appwriter::ObjectDefinitionDesc d;
    d.type = type;
    d.image = image;
    d.fillType = fillType;
    ObjectInfo info{};
    info.objectType = type;
    info.definition = appwriter::WriteObjectDefinition(d);
    info.runFlags = InfoDefinitionLoaded;
    return info;
}

} // namespace

TEST_F(BanksTest, ObjectLoadedOnDemandIsTranslatedAtItsFirstLoadOnly) {
    OpenImages({ImageItemDesc{}, ImageItemDesc{}});
    ObjectInfo backdrop = Backdrop(1, 2);
    LoadObjectInfoBankItems(banks, backdrop);
    const std::uint32_t handle = HandleOfStoredIndex(banks, AppBankImages, 2);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(DefU16(backdrop.definition, BackdropImage), handle);
    EXPECT_EQ(backdrop.runFlags & InfoTranslated, InfoTranslated);
    EXPECT_EQ(Count(handle), 1u);
    LoadObjectInfoBankItems(banks, backdrop); // already translated: nothing more
    EXPECT_EQ(Count(handle), 1u);
}

TEST_F(BanksTest, FrameUsesOfObjectsCountByStoredIndexAndNoneBecomesZero) {
    OpenImages({ImageItemDesc{}});
    ObjectInfo shape = Backdrop(0, 0);
    ObjectInfo plain = Backdrop(0, 0, 1); // filled with a colour: no image
    ObjectInfo none = Backdrop(1, NoStoredIndex);
    FrameBankUses uses;
    for (ObjectInfo* info : {&shape, &plain, &none})
        CountObjectInfoUses(banks, *info, uses);
    EXPECT_EQ(uses.indexes[AppBankImages], (std::vector<std::uint16_t>{0, NoStoredIndex}));
    ASSERT_EQ(LoadFrameBankItems(banks, uses), 0);
    for (ObjectInfo* info : {&shape, &none})
        TranslateObjectInfo(banks, *info);
    EXPECT_EQ(DefU16(shape.definition, BackdropFillImage), HandleOfStoredIndex(banks, AppBankImages, 0));
    EXPECT_EQ(DefU16(none.definition, BackdropImage), 0);
}
