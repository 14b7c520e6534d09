// Worked examples of the 32-bit ink operators, checked on single pixels with values computed by hand.
#include "surface_test_support.h"

#include <gtest/gtest.h>

using namespace win32;
using surface_test::MakeSurface;

namespace {

DWORD Raw(cSurface& s) {
    return *reinterpret_cast<DWORD*>(s.LockPixels());
}

struct Example {
    const char* name;
    int ink;
    DWORD parameter;
    DWORD source; // raw pixels: blue in the low byte
    DWORD destination;
    DWORD expected;
};

TEST(InkExamples, GiveTheWorkedResults) {
    const Example examples[] = {
        {"blend half", 1, 64, 0x00FF0000, 0x000000FF, 0x007F007F},
        {"blend source only", 0x1000, 0xFF000000, 0x11223344, 0x55667788, 0x00223344},
        {"add saturates", 9, 0, 0x00C86400, 0x0064C800, 0x00FFFF00},
        {"sub clamps", 11, 0, 0x00320000, 0x0014000A, 0x0000000A},
        {"mono red", 10, 0, 0x00FF0000, 0, 0x004F4F4F},
        {"mono blue", 10, 0, 0x000000FF, 0, 0x001F1F1F},
        {"mono green", 10, 0, 0x0000FF00, 0, 0x008F8F8F},
        {"invert keeps the fourth byte of a keyed source", 2, 0, 0xAA0000FF, 0, 0xAAFFFF00},
        {"xor on all bytes", 3, 0, 0xF00F00FF, 0x0FF0FF00, 0xFFFFFFFF},
        {"keyed blend leaves its key", 12, 0x40000000 | RGB(1, 2, 3), 0x00FFFFFF, 0x77010203, 0x77010203},
        {"keyed blend blends the rest", 12, 0x40000000 | RGB(1, 2, 3), 0x00FEFEFE, 0x00000000, 0x007F7F7F},
        {"replacement under the source key", 6, 0x40000000 | RGB(0xFF, 0, 0), 0x00000000, 0x00000010,
         0x007F0000},
    };
    for (const Example& e : examples) {
        auto s = MakeSurface(1, 1, 32);
        auto d = MakeSurface(1, 1, 32);
        s->FillValue(e.source);
        d->FillValue(e.destination);
        s->SetColorKey(RGB(0, 0, 0x10)); // raw 0x00000010
        ASSERT_EQ(s->Blit(*d, 0, 0, 0, 0, 1, 1, 1, e.ink, e.parameter), 1) << e.name;
        EXPECT_EQ(Raw(*d), e.expected) << e.name;
    }
}

TEST(InkExamples, NothingToDrawStillSucceeds) {
    auto s = MakeSurface(1, 1, 32);
    auto d = MakeSurface(1, 1, 32);
    s->FillValue(0x00FFFFFF);
    d->FillValue(0x00123456);
    EXPECT_EQ(s->Blit(*d, 0, 0, 0, 0, 1, 1, 0, 1, 128), 1);
    EXPECT_EQ(s->Blit(*d, 0, 0, 0, 0, 1, 1, 0, 0x1000, 0x00FFFFFF), 1);
    EXPECT_EQ(Raw(*d), 0x00123456u);
    EXPECT_EQ(s->Blit(*d, 0, 0, 0, 0, 1, 1, 0, 7, 0), 0); // no operator: refused, nothing drawn
    EXPECT_EQ(s->Blit(*d, 0, 0, 0, 0, 1, 1, 2, 0, 0), 0);
    EXPECT_EQ(Raw(*d), 0x00123456u);
}

TEST(PixelRoutines, KeepTheFourthByteOutOfColours) {
    auto s = MakeSurface(1, 1, 32);
    s->FillValue(0xFF102030);
    COLORREF c = 0;
    ASSERT_EQ(s->GetPixel(0, 0, c), 1);
    EXPECT_EQ(c, 0x00302010u);
    s->SetPixel(0, 0, 0x00302011);
    EXPECT_EQ(Raw(*s), 0xFF112030u);
    s->Fill(RGB(1, 2, 3));
    EXPECT_EQ(Raw(*s), 0x00010203u);
}

TEST(PixelRoutines, EveryDepthHasEverySlotAndPackedSourcesTheirFour) {
    for (int index = 0; index < 5; ++index) {
        const PixelRoutineTable* t = GetPixelRoutineTable(index);
        ASSERT_NE(t, nullptr);
        const void* const slots[] = {reinterpret_cast<const void*>(t->SetPixel),
                                     reinterpret_cast<const void*>(t->GetPixel),
                                     reinterpret_cast<const void*>(t->FillRect),
                                     reinterpret_cast<const void*>(t->CopyTransparent),
                                     reinterpret_cast<const void*>(t->InkBlitTransparent),
                                     reinterpret_cast<const void*>(t->CopyOpaque),
                                     reinterpret_cast<const void*>(t->InkBlitOpaque),
                                     reinterpret_cast<const void*>(t->CallbackBlitTransparent),
                                     reinterpret_cast<const void*>(t->CallbackBlitOpaque),
                                     reinterpret_cast<const void*>(t->MirrorRows),
                                     reinterpret_cast<const void*>(t->ReplaceValue),
                                     reinterpret_cast<const void*>(t->ConvertBlit),
                                     reinterpret_cast<const void*>(t->MeasureRuns),
                                     reinterpret_cast<const void*>(t->EncodeRuns)};
        for (const void* slot : slots)
            EXPECT_NE(slot, nullptr) << index;
        const PixelRoutineTable* packed = GetPackedSourceRoutineTable(index);
        EXPECT_NE(packed->InkBlitOpaque, nullptr) << index;
        EXPECT_EQ(packed->SetPixel, nullptr) << index;
    }
    EXPECT_EQ(GetPixelRoutineTable(5), nullptr);
    // The 15- and 16-bit tables share their blits and conversions, not their pixel access.
    EXPECT_EQ(GetPixelRoutineTable(1)->InkBlitOpaque, GetPixelRoutineTable(2)->InkBlitOpaque);
    EXPECT_NE(GetPixelRoutineTable(1)->SetPixel, GetPixelRoutineTable(2)->SetPixel);
}

} // namespace
