// A test surface whose pixels are a DIB section with a memory DC, so that text can be drawn into it; it
// counts the temporaries made from it.
#pragma once

#include "vtrs2/surface_implementation.h"
#include "win32/gdi.h"

#include <new>

namespace blit_test {

class SectionSurface final : public cSurfaceImplementation {
public:
    static SectionSurface* Make(int w, int h) {
        auto* s = new (std::nothrow) SectionSurface;
        if (!s) return nullptr;
        win32::BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(win32::BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        s->bitmap_ = win32::CreateDIBSection(nullptr, &info, win32::DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!s->bitmap_) {
            s->Delete();
            return nullptr;
        }
        s->SelectDepthRoutines(32);
        s->width = w;
        s->height = h;
        s->clipRight = w;
        s->clipBottom = h;
        s->pitch = s->signedPitch = w * 4;
        s->pixels = static_cast<win32::BYTE*>(bits);
        s->pixelAllocation = bits;
        return s;
    }
    ~SectionSurface() override {
        pixels = nullptr;
        pixelAllocation = nullptr;
        if (bitmap_) win32::DeleteObject(bitmap_);
    }
    cSurfaceImplementation* DestroyAndFree(unsigned freeFlags) override {
        cSurfaceImplementation* self = this;
        if (freeFlags & 1)
            delete this;
        else
            this->~SectionSurface();
        return self;
    }
    cSurfaceImplementation* CreateSameKind(int w, int h) override {
        ++temporaries;
        return Make(w, h);
    }
    win32::HDC GetDeviceContext() override {
        if (!dc_) {
            dc_ = win32::CreateCompatibleDC(nullptr);
            previous_ = win32::SelectObject(dc_, bitmap_);
        }
        return dc_;
    }
    void ReleaseDeviceContext(win32::HDC) override {
        if (!dc_) return;
        win32::SelectObject(dc_, previous_);
        win32::DeleteDC(dc_);
        dc_ = nullptr;
    }
    int temporaries = 0;

private:
    SectionSurface() = default;
    win32::HBITMAP bitmap_ = nullptr;
    win32::HDC dc_ = nullptr;
    win32::HGDIOBJ previous_ = nullptr;
};

} // namespace blit_test
