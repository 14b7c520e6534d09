#include "core/application_record.h"
#include "core/frame_record.h"
#include "core/runtime_services.h"
#include "objects/layer_rects.h"
#include "startup/banks.h"
#include "startup/font_cache.h"
#include "startup/runtime_files.h"
#include "startup/shell_services.h"

#include "vtrs2/banks.h"
#include "vtrs2/fonts.h"
#include "vtrs2/memory.h"
#include "win32/font.h"
#include "win32/gdi.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace win32;
using namespace vtrrt;

namespace win32 {
bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
} // namespace win32

namespace {

struct FontRecord {
    BYTE header[12]{};
    LOGFONTW font{};
};

// An application whose font bank holds nine fonts of different heights.
class FontCache : public ::testing::Test {
protected:
    void SetUp() override {
        appBanks.library = &banks;
        app.banks = &appBanks;
        SetCurrentApplication(&app);
        for (int i = 0; i < 9; ++i) {
            FontRecord r;
            r.font.lfHeight = -(10 + i);
            std::memcpy(r.font.lfFaceName, u"Sans", 10);
            keys[static_cast<std::size_t>(i)] = AddFont(&banks, 0, &r);
            ASSERT_NE(keys[static_cast<std::size_t>(i)], 0);
        }
    }
    void TearDown() override {
        ClearFontCache();
        SetCurrentApplication(nullptr);
        FreeAllBanks(&banks);
    }
    HFONT Get(int i, bool nonAntialiased = false) {
        return GetCachedFont(keys[static_cast<std::size_t>(i)], nonAntialiased);
    }

    ContextBanks banks{};
    ApplicationBanks appBanks;
    ApplicationRecord app{};
    std::array<std::int32_t, 9> keys{};
};

LOGFONTW Described(HFONT font) {
    LOGFONTW out{};
    EXPECT_NE(GetFontObjectW(font, sizeof out, &out), 0);
    return out;
}

TEST_F(FontCache, HandsOutOneFontPerItemAndKindMadeFromTheBank) {
    const HFONT font = Get(0);
    ASSERT_NE(font, nullptr);
    EXPECT_NE(font, GetStockFont(SYSTEM_FONT));
    EXPECT_EQ(Get(0), font);
    EXPECT_EQ(Described(font).lfHeight, -10);
    const HFONT plain = Get(0, true);
    EXPECT_NE(plain, font);
    EXPECT_EQ(Described(plain).lfQuality, NONANTIALIASED_QUALITY);
    EXPECT_EQ(GetCachedFont(0, false), GetStockFont(SYSTEM_FONT));
    EXPECT_EQ(GetCachedFont(999, false), GetStockFont(SYSTEM_FONT)) << "an item the bank lacks";
}

TEST_F(FontCache, ANinthFontTakesTheLastEntryUsedOnceCountingFromTheEnd) {
    const int uses[8] = {3, 5, 1, 2, 1, 4, 6, 2};
    std::array<HFONT, 8> fonts{};
    for (int i = 0; i < 8; ++i)
        for (int n = 0; n < uses[i]; ++n)
            fonts[static_cast<std::size_t>(i)] = Get(i);
    const HFONT ninth = Get(8);
    EXPECT_EQ(Described(fonts[4]).lfHeight, -14) << "the evicted font stays valid for whoever holds it";
    for (int i = 0; i < 8; ++i) {
        if (i == 4) continue;
        EXPECT_EQ(Get(i), fonts[static_cast<std::size_t>(i)]) << i;
    }
    EXPECT_EQ(Get(8), ninth);
    EXPECT_NE(Get(4), fonts[4]) << "entry 4 was given to the ninth font";
}

TEST_F(FontCache, WithoutSingleUsesTheLeastUsedLaterEntryGoes) {
    const int uses[8] = {3, 2, 4, 2, 5, 3, 6, 4};
    std::array<HFONT, 8> fonts{};
    for (int i = 0; i < 8; ++i)
        for (int n = 0; n < uses[i]; ++n)
            fonts[static_cast<std::size_t>(i)] = Get(i);
    Get(8);
    EXPECT_EQ(Get(1), fonts[1]);
    EXPECT_NE(Get(3), fonts[3]);
}

TEST_F(FontCache, ReleasingDeletesTheFontAndClearingFreesEveryEntryGapsOrNot) {
    const HFONT first = Get(0);
    const HFONT second = Get(1);
    const HFONT third = Get(2);
    ReleaseCachedFont(keys[1], false);
    EXPECT_FALSE(IsFont(second));
    EXPECT_TRUE(IsFont(first));
    ReleaseCachedFont(0, false); // the system font is never released
    EXPECT_TRUE(IsFont(GetStockFont(SYSTEM_FONT)));
    ClearFontCache();
    EXPECT_FALSE(IsFont(first));
    EXPECT_FALSE(IsFont(third)) << "behind the released entry's gap";
}

// A frame of three layers made current.
class LayerRects : public ::testing::Test {
protected:
    void SetUp() override {
        frame.layers = layers.data();
        frame.layerCount = static_cast<std::int32_t>(layers.size());
        Services().frame = &frame;
    }
    void TearDown() override {
        for (FrameLayer& l : layers)
            FreeMemory(&l.rects);
        Services().frame = nullptr;
    }
    std::vector<RECT> Rects(int layer) {
        const FrameLayer& l = layers[static_cast<std::size_t>(layer)];
        return std::vector<RECT>(l.rects, l.rects + l.rectCount);
    }

    std::array<FrameLayer, 3> layers{};
    FrameRecord frame{};
};

TEST_F(LayerRects, AreStoredNormalisedAndOnlyOnLayersTheFrameHas) {
    AddLayerRect(1, 50, 40, 10, 20);
    AddLayerRect(3, 0, 0, 5, 5);
    AddLayerRect(-1, 0, 0, 5, 5);
    ASSERT_EQ(Rects(1).size(), 1u);
    EXPECT_EQ(Rects(1)[0], (RECT{10, 20, 50, 40}));
    EXPECT_TRUE(Rects(0).empty());
    EXPECT_TRUE(Rects(2).empty());
}

TEST_F(LayerRects, GrowBeyondTheirFirstBlock) {
    for (int i = 0; i < 40; ++i)
        AddLayerRect(0, i, 0, i + 1, 1);
    ASSERT_EQ(Rects(0).size(), 40u);
    EXPECT_EQ(Rects(0)[39], (RECT{39, 0, 40, 1}));
    EXPECT_EQ(layers[0].rectCapacity, 48);
}

TEST_F(LayerRects, ErasingRemovesOverlapsInOrderButNotRectanglesItOnlyTouches) {
    AddLayerRect(0, 0, 0, 10, 10);
    AddLayerRect(0, 20, 0, 30, 10);
    AddLayerRect(0, 40, 0, 50, 10);
    EraseLayerRects(0, 10, 0, 20, 10); // touches the first two at their edges
    EXPECT_EQ(Rects(0).size(), 3u);
    EraseLayerRects(0, 25, 15, 45, 5); // given upside down
    EXPECT_EQ(Rects(0), (std::vector<RECT>{{0, 0, 10, 10}}));
    EraseLayerRects(7, 0, 0, 100, 100);
    EXPECT_EQ(Rects(0).size(), 1u);
}

TEST_F(LayerRects, HitTestsIncludeTheTopLeftEdgesAndSearchEveryLayerForMinusOne) {
    AddLayerRect(0, 0, 0, 10, 10);
    AddLayerRect(2, 5, 5, 20, 20);
    struct Case {
        int layer, x, y;
        const RECT* expected;
    };
    const RECT* first = &layers[0].rects[0];
    const RECT* third = &layers[2].rects[0];
    const Case cases[] = {
        {0, 0, 0, first},   {0, 9, 9, first},    {0, 10, 5, nullptr}, {0, 5, 10, nullptr},
        {-1, 6, 6, first},  {-1, 15, 15, third}, {1, 6, 6, nullptr},  {2, 6, 6, third},
        {3, 6, 6, nullptr}, {-2, 6, 6, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HitTestLayerRects(c.layer, c.x, c.y), c.expected) << c.layer << " " << c.x << "," << c.y;
}

struct PathCase {
    const char* name;
    const char16_t* file;
    int kind;
    const char16_t* expected;
};

class PathPart : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathPart, IsCutFromTheApplicationFile) {
    ApplicationRecord app{};
    app.dataFilePath = GetParam().file;
    SetCurrentApplication(&app);
    const std::u16string kept = GetRuntimeFiles().runtimeTempFolder;
    GetRuntimeFiles().runtimeTempFolder = u"/tmp/vrtAbc123";
    WCHAR out[260];
    std::fill(std::begin(out), std::end(out), u'?');
    GetApplicationPathPart(GetParam().kind, out);
    GetRuntimeFiles().runtimeTempFolder = kept;
    SetCurrentApplication(nullptr);
    EXPECT_EQ(std::u16string(out), std::u16string(GetParam().expected));
}

const PathCase pathCases[] = {
    {"Drive", u"C:\\Games\\Demo\\space.run.vtg", 1, u"C:"},
    {"Folder", u"C:\\Games\\Demo\\space.run.vtg", 2, u"\\Games\\Demo\\"},
    {"DriveAndFolder", u"C:\\Games\\Demo\\space.run.vtg", 3, u"C:\\Games\\Demo\\"},
    {"NameWithoutExtension", u"C:\\Games\\Demo\\space.run.vtg", 4, u"space.run"},
    {"TempFolderWithBackslash", u"C:\\Games\\x.vtg", 5, u"/tmp/vrtAbc123\\"},
    {"OtherKindsAreEmpty", u"C:\\Games\\x.vtg", 6, u""},
    {"UnixPathHasNoDrive", u"/home/player/games/demo.vtg", 1, u""},
    {"UnixFolder", u"/home/player/games/demo.vtg", 3, u"/home/player/games/"},
    {"NameWithoutDot", u"/games/demo", 4, u"demo"},
};

INSTANTIATE_TEST_SUITE_P(Kinds, PathPart, ::testing::ValuesIn(pathCases),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; });

} // namespace
