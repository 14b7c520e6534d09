// A top-level window with a child, the adapter and a device on the child, for the 3D device's tests.
#pragma once

#include "win32/d3d8.h"
#include "win32/d3d8_testing.h"
#include "win32/user.h"

#include <gtest/gtest.h>

#include <vector>

namespace d3d_test {

using namespace win32;

constexpr int TopWidth = 200, TopHeight = 150;
constexpr RECT ChildRect{20, 10, 84, 58}; // 64 x 48

inline LRESULT PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, m, wp, lp);
}

inline HWND MakeWindow(HWND parent, const RECT& r) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"D3dDeviceTest";
    RegisterClassExW(&wc);
    const DWORD style = (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
    return CreateWindowExW(0, u"D3dDeviceTest", u"", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           parent, nullptr, nullptr, nullptr);
}

inline D3DPRESENT_PARAMETERS Windowed(HWND window, UINT width = 0, UINT height = 0, bool depth = false) {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = depth ? TRUE : FALSE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    return p;
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        top = MakeWindow(nullptr, RECT{0, 0, TopWidth, TopHeight});
        child = MakeWindow(top, ChildRect);
        ASSERT_TRUE(top && child);
        direct3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(direct3d, nullptr) << "no OpenGL context on this machine";
    }
    void TearDown() override {
        if (device) device->Release();
        if (direct3d) direct3d->Release();
        DestroyWindow(top);
    }
    HRESULT Create(D3DPRESENT_PARAMETERS p) {
        return direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, top,
                                      D3DCREATE_MULTITHREADED | D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                                      &device);
    }
    std::vector<D3DCOLOR> BackBuffer(UINT* width = nullptr, UINT* height = nullptr) {
        return win32::testing::ReadBackBuffer(device, width, height);
    }

    HWND top = nullptr;
    HWND child = nullptr;
    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

} // namespace d3d_test
