// The image-file tests' fixture: a folder of their own, the image filters built beside the tests, surfaces
// of every depth with a pattern in them, and comparisons of colours and alpha planes.
#pragma once

#include "vtrs2/image_filters.h"
#include "vtrs2/streams.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace imagetest {

using win32::BYTE;
using win32::COLORREF;
using win32::DWORD;
using win32::RGB;
using win32::ToUtf8;

constexpr DWORD PngId = MakeFilterId('P', 'N', 'G', ' ');
constexpr DWORD JpegId = MakeFilterId('J', 'P', 'E', 'G');
constexpr DWORD GifId = MakeFilterId('G', 'I', 'F', ' ');

inline std::unique_ptr<cSurface> MakeSurface(int depth, int width, int height) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, depth, PublicTypeMemory, DriverKindNone);
    auto surface = std::make_unique<cSurface>();
    if (prototype) surface->Create(width, height, prototype);
    return surface;
}

inline BYTE Byte(int v) {
    return static_cast<BYTE>(v & 0xFF);
}

// Colours every depth holds exactly: at 8 bits through a palette of 256 distinct colours, at 15 and 16 bits
// with the low bits of each channel clear; an alpha plane when asked.
inline std::unique_ptr<cSurface> Pattern(int depth, int width, int height, bool alpha) {
    auto s = MakeSurface(depth, width, height);
    if (depth == 8) {
        LogPalette256 palette{};
        palette.version = 0x300;
        palette.count = 256;
        for (int i = 0; i < 256; ++i)
            palette.entries[i] = {Byte(i), Byte(255 - i), Byte(64 + i * 7), 0};
        s->SetLogPalette(palette.Log(), 0);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (depth == 8)
                s->SetPixelIndex(x, y, (x * 7 + y * 13) & 0xFF);
            else if (depth <= 16)
                s->SetPixel(x, y, RGB(Byte(x * 8) & 0xF8, Byte(y * 8) & 0xF8, Byte((x + y) * 8) & 0xF8));
            else
                s->SetPixel(x, y, RGB(Byte(x * 6), Byte(255 - y * 11), Byte((x + y) * 3)));
        }
    if (alpha) {
        cSurfaceImplementation* i = s->GetImplementation();
        i->AllocateAlphaPlane();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                i->AlphaRow(y)[x] = Byte(x * y * 5 + 3);
    }
    return s;
}

inline void ExpectSameColours(const cSurface& expected, const cSurface& actual, int tolerance) {
    ASSERT_EQ(expected.GetWidth(), actual.GetWidth());
    ASSERT_EQ(expected.GetHeight(), actual.GetHeight());
    int wrong = 0;
    for (int y = 0; y < expected.GetHeight(); ++y)
        for (int x = 0; x < expected.GetWidth(); ++x) {
            COLORREF a = 0, b = 0;
            expected.GetPixel(x, y, a);
            actual.GetPixel(x, y, b);
            for (int shift = 0; shift < 24; shift += 8) {
                const int d =
                    std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
                if (d > tolerance && wrong++ < 5)
                    ADD_FAILURE() << "at " << x << "," << y << " expected " << std::hex << a << " got " << b;
            }
        }
    EXPECT_EQ(wrong, 0);
}

inline void ExpectSameAlpha(const cSurface& expected, const cSurface& actual) {
    const cSurfaceImplementation* e = expected.GetImplementation();
    const cSurfaceImplementation* a = actual.GetImplementation();
    ASSERT_TRUE(e->alphaPlane && a->alphaPlane);
    for (int y = 0; y < e->height; ++y)
        for (int x = 0; x < e->width; ++x)
            ASSERT_EQ(e->AlphaRow(y)[x], a->AlphaRow(y)[x]) << x << "," << y;
}

// A filter that reads anything as a 4-bit image.
class FourBitFilter final : public CFilterImpl {
public:
    void Release() override { delete this; }
    DWORD GetFilterID() override { return 0x34544942; }
    int QueryFilterA() override { return 0; }
    int CanRead(CInputFile*) override { return 1; }
    int BeginRead(CInputFile*) override {
        width = height = 2;
        depth = 4;
        ComputePitch();
        return 0;
    }
    int ReadImage(CInputFile*, BYTE*, int, BYTE*, int) override { return 0; }
};

inline void* NewFourBitFilter(DWORD) {
    return static_cast<CFilterImpl*>(new FourBitFilter);
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = win32::CreateUniqueTempFolder(u"itest");
        ASSERT_FALSE(root_.empty());
        const std::string bin = VTR_BIN_DIR;
        filters_.Scan(std::u16string(bin.begin(), bin.end()).c_str(), 0);
        ASSERT_GE(filters_.FindFilterByID(PngId), 0);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(ToUtf8(root_), ignored);
    }
    std::u16string Path(std::u16string_view name) const { return root_ + u'/' + std::u16string(name); }
    void MakeFile(const std::string& name, const std::string& contents) const {
        std::ofstream(ToUtf8(root_) + "/" + name, std::ios::binary) << contents;
    }

    std::u16string root_;
    CImageFilterMgr filters_;
};

} // namespace imagetest
