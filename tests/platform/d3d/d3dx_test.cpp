// The sprite batch and font objects made beside a device.
#include "device_fixture.h"
#include "win32/d3dx8.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace d3d_test;

namespace {

TEST_F(DeviceTest, SpriteBatchPutsTheDeviceInItsStatesAndDoesNotNest) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    ID3DXSprite* sprite = nullptr;
    EXPECT_EQ(D3DXCreateSprite(nullptr, &sprite), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite, nullptr);
    ASSERT_EQ(D3DXCreateSprite(device, &sprite), D3D_OK);
    EXPECT_EQ(sprite->End(), D3DERR_INVALIDCALL);
    ASSERT_EQ(sprite->Begin(), D3D_OK);
    EXPECT_EQ(sprite->Begin(), D3DERR_INVALIDCALL);
    DWORD value = 0;
    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {{D3DRS_ALPHABLENDENABLE, TRUE},
                                                           {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                                           {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}};
    for (const auto& [state, want] : states) {
        ASSERT_EQ(device->GetRenderState(state, &value), D3D_OK);
        EXPECT_EQ(value, want) << state;
    }
    ASSERT_EQ(device->GetTextureStageState(0, D3DTSS_MAGFILTER, &value), D3D_OK);
    EXPECT_EQ(value, D3DTEXF_LINEAR);
    EXPECT_EQ(sprite->End(), D3D_OK);
    IDirect3DDevice8* owner = nullptr;
    ASSERT_EQ(sprite->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    owner->Release();
    EXPECT_EQ(sprite->Release(), 0u);
    EXPECT_EQ(device->AddRef(), 2u); // the sprite gave back its reference
    device->Release();
}

TEST_F(DeviceTest, FontKeepsTheLogicalFontItWasMadeWith) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    LOGFONTA wanted{};
    wanted.lfHeight = -13;
    wanted.lfWeight = 700;
    std::strcpy(wanted.lfFaceName, "Arial");
    ID3DXFont* font = nullptr;
    EXPECT_EQ(D3DXCreateFontIndirect(device, nullptr, &font), D3DERR_INVALIDCALL);
    ASSERT_EQ(D3DXCreateFontIndirect(device, &wanted, &font), D3D_OK);
    LOGFONTA kept{};
    ASSERT_EQ(font->GetLogFont(&kept), D3D_OK);
    EXPECT_EQ(std::memcmp(&kept, &wanted, sizeof kept), 0);
    EXPECT_EQ(font->Release(), 0u);
}

} // namespace
