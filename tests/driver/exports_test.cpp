// The driver's entry points: one prototype per public type 4 to 7, made once, and the library's binding
// of the built module.
#include "plugin/display_driver.h"
#include "vtrs2/driver_testing.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PrototypeCase {
    const char* name;
    unsigned type;
    int typeCode; // 0: no prototype
};

class Prototypes : public ::testing::TestWithParam<PrototypeCase> {};

TEST_P(Prototypes, AnswerTheirKindsTypeCodeAtDepth32) {
    const PrototypeCase& c = GetParam();
    cSurfaceImplementation* prototype = SEGetSIPrototype(c.type);
    if (c.typeCode == 0) {
        EXPECT_EQ(prototype, nullptr);
        return;
    }
    ASSERT_NE(prototype, nullptr);
    EXPECT_EQ(prototype->GetType(), c.typeCode);
    EXPECT_EQ(prototype->depth, 32);
    EXPECT_EQ(prototype->width, 0);
    // Made once: later requests get the same object.
    EXPECT_EQ(SEGetSIPrototype(c.type), prototype);
}

INSTANTIATE_TEST_SUITE_P(
    Types, Prototypes,
    ::testing::Values(PrototypeCase{"BelowTheDriversTypes", 3, 0}, PrototypeCase{"Screen", 4, 13},
                      PrototypeCase{"RenderTexture", 5, 14}, PrototypeCase{"Texture", 6, 15},
                      PrototypeCase{"ManagedTexture", 7, 16}, PrototypeCase{"AboveTheDriversTypes", 8, 0},
                      PrototypeCase{"FarAbove", 0xFFFFFFFFu, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Exports, InitialiseFindsTheDeviceAndFreeDoesNothing) {
    EXPECT_EQ(SEInitialize(), 1);
    SEFree();
    EXPECT_EQ(SEInitialize(), 1);
}

TEST(Exports, TheLibraryBindsTheBuiltModuleAndMakesScreensFromIt) {
    SetDisplayDriverFolder(u"" VTR_BIN_DIR);
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, PublicTypeScreen, DriverKindDirect3D8);
    ASSERT_NE(prototype, nullptr);
    EXPECT_EQ(prototype->GetImplementation()->GetType(), 13);
    for (int type = PublicTypeRenderTexture; type <= PublicTypeManagedTexture; ++type) {
        cSurface* holder = GetDriverPrototypeHolder(0, type);
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->GetImplementation()->GetType(), 13 + type - PublicTypeScreen) << type;
    }
    cSurface screen;
    ASSERT_TRUE(screen.Create(32, 16, prototype));
    EXPECT_EQ(screen.GetImplementation()->GetType(), 13);
    EXPECT_EQ(screen.GetWidth(), 32);
    screen.Reset();
    SetDisplayDriverFolder(nullptr);
}

} // namespace
