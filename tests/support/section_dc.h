// A 32-bit top-down DIB section selected into a memory DC, for tests that draw through GDI and read back.
#pragma once

#include "win32/gdi.h"

#include <cstdint>

namespace vtrtest {

struct SectionDc {
    SectionDc(int w, int h) : width(w), height(h) {
        win32::BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(win32::BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = win32::BI_RGB;
        void* pixels = nullptr;
        bitmap = win32::CreateDIBSection(nullptr, &info, win32::DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = static_cast<std::uint32_t*>(pixels);
        dc = win32::CreateCompatibleDC(nullptr);
        previous = win32::SelectObject(dc, bitmap);
    }
    ~SectionDc() {
        win32::SelectObject(dc, previous);
        win32::DeleteDC(dc);
        win32::DeleteObject(bitmap);
    }
    SectionDc(const SectionDc&) = delete;
    SectionDc& operator=(const SectionDc&) = delete;

    int width, height;
    win32::HBITMAP bitmap;
    std::uint32_t* bits = nullptr;
    win32::HDC dc;
    win32::HGDIOBJ previous;
};

} // namespace vtrtest
