// Which prototype every depth, public type and driver kind gets, the display-driver binding with and without
// a driver, and the surface library's per-thread start and end.
#include "vtrs2/driver_testing.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// The driver folder a case asks for; every test leaves the library's own folder behind it.
enum class Driver { Own, Missing, Empty, TestDriver };

std::u16string Folder(const char* path) {
    return std::u16string(path, path + std::char_traits<char>::length(path));
}

void UseDriverFolder(Driver driver) {
    if (driver == Driver::TestDriver)
        SetDisplayDriverFolder(Folder(TEST_DRIVER_FOLDER).c_str());
    else if (driver == Driver::Missing)
        SetDisplayDriverFolder(Folder(EMPTY_FOLDER).c_str());
    else if (driver == Driver::Empty)
        SetDisplayDriverFolder(Folder(EMPTY_DRIVER_FOLDER).c_str());
    else
        SetDisplayDriverFolder(nullptr);
}

class DriverFolder : public ::testing::Test {
protected:
    void TearDown() override { SetDisplayDriverFolder(nullptr); }
};

struct PrototypeCase {
    const char* name;
    Driver driver;
    int depth;
    int type;
    int kind;
    int typeCode; // what the chosen prototype's GetType answers
    int chosenDepth;
    int result;
};

class PrototypeTable : public DriverFolder, public ::testing::WithParamInterface<PrototypeCase> {};

TEST_P(PrototypeTable, ChoosesTheClassAndDepthAndSaysWhetherTheDepthWasHad) {
    const PrototypeCase& c = GetParam();
    UseDriverFolder(c.driver);
    cSurface* prototype = nullptr;
    EXPECT_EQ(GetSurfacePrototype(&prototype, c.depth, c.type, c.kind), c.result);
    ASSERT_NE(prototype, nullptr);
    EXPECT_EQ(prototype->GetImplementation()->GetType(), c.typeCode);
    EXPECT_EQ(prototype->GetDepth(), c.chosenDepth);
}

constexpr int Memory = 1, Section = 3, DibDC = 4, Screen8 = 13, ManagedTexture8 = 16;

INSTANTIATE_TEST_SUITE_P(
    Prototypes, PrototypeTable,
    ::testing::Values(
        PrototypeCase{"Memory16", Driver::Own, 16, 0, 0, Memory, 16, 1},
        PrototypeCase{"Memory20IsThe24BitOne", Driver::Own, 20, 0, 0, Memory, 24, 0},
        PrototypeCase{"Memory5IsThe8BitOne", Driver::Own, 5, 0, 0, Memory, 8, 0},
        PrototypeCase{"Section12IsThe15BitOne", Driver::Own, 12, 1, 0, Section, 15, 0},
        PrototypeCase{"WindowSurface32", Driver::Own, 32, 2, 0, DibDC, 32, 1},
        PrototypeCase{"Type3Section8", Driver::Own, 8, 3, 0, Section, 8, 1},
        PrototypeCase{"ScreenWithoutDriverKindIsASection", Driver::Own, 24, 4, 0, Section, 24, 1},
        PrototypeCase{"TypeAboveSevenIsASection", Driver::Own, 32, 9, 0, Section, 32, 1},
        PrototypeCase{"EmptyDriverFileFallsBackToDibDC", Driver::Empty, 32, 4, 6, DibDC, 32, 1},
        PrototypeCase{"MissingDriverScreenIsDibDC", Driver::Missing, 16, 4, 6, DibDC, 16, 1},
        PrototypeCase{"MissingDriverTextureIsASection", Driver::Missing, 32, 6, 6, Section, 32, 1},
        PrototypeCase{"MissingDirect3D9ScreenIsDibDC", Driver::TestDriver, 32, 4, 5, DibDC, 32, 1},
        PrototypeCase{"DriverScreen", Driver::TestDriver, 32, 4, 6, Screen8, 32, 1},
        PrototypeCase{"DriverScreenOfAnotherDepth", Driver::TestDriver, 16, 4, 6, Screen8, 32, 0},
        PrototypeCase{"DriverScreenFor12CountsAs15", Driver::TestDriver, 12, 4, 6, Screen8, 32, 0},
        PrototypeCase{"DriverManagedTexture", Driver::TestDriver, 32, 7, 6, ManagedTexture8, 32, 1},
        PrototypeCase{"WindowSurfaceWithDriverIsASection", Driver::TestDriver, 32, 2, 6, Section, 32, 1},
        PrototypeCase{"MemoryEvenWithDriver", Driver::TestDriver, 24, 0, 6, Memory, 24, 1}),
    [](const ::testing::TestParamInfo<PrototypeCase>& info) { return std::string(info.param.name); });

TEST_F(DriverFolder, AFailedLoadIsNeverTriedAgain) {
    UseDriverFolder(Driver::Missing);
    const int before = GetDisplayDriverLoadAttempts();
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, 4, 6);
    GetSurfacePrototype(&prototype, 32, 4, 6);
    EXPECT_EQ(BindDisplayDriver(0), 0);
    EXPECT_EQ(GetDisplayDriverLoadAttempts(), before + 1);
    // Unloading clears only the flag of a driver that had loaded: this one stays failed.
    UnloadDisplayDrivers();
    EXPECT_EQ(BindDisplayDriver(0), 0);
    EXPECT_EQ(GetDisplayDriverLoadAttempts(), before + 1);
}

TEST_F(DriverFolder, ABoundDriverIsLoadedOnceAndAgainAfterAnUnload) {
    UseDriverFolder(Driver::TestDriver);
    const int before = GetDisplayDriverLoadAttempts();
    EXPECT_EQ(BindDisplayDriver(0), 1);
    EXPECT_EQ(BindDisplayDriver(0), 1);
    EXPECT_EQ(GetDisplayDriverLoadAttempts(), before + 1);
    for (int type = 4; type <= 7; ++type) {
        const cSurface* holder = GetDriverPrototypeHolder(0, type);
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->GetImplementation()->GetType(), 9 + type);
    }
    UnloadDisplayDrivers();
    EXPECT_FALSE(GetDriverPrototypeHolder(0, 4)->HasImplementation());
    EXPECT_EQ(BindDisplayDriver(0), 1);
    EXPECT_EQ(GetDisplayDriverLoadAttempts(), before + 2);
}

// When the last thread leaves, the holders are emptied but a loaded driver stays loaded: the next request
// takes its prototypes again from the module it has, without loading the file over it.
TEST_F(DriverFolder, AfterTheLastThreadLeavesALoadedDriverIsNotLoadedAgain) {
    UseDriverFolder(Driver::TestDriver);
    ASSERT_EQ(BindDisplayDriver(0), 1);
    const int before = GetDisplayDriverLoadAttempts();
    ExitSurfaceLibrary();
    EXPECT_FALSE(GetDriverPrototypeHolder(0, 4)->HasImplementation());
    EXPECT_EQ(BindDisplayDriver(0), 1);
    InitSurfaceLibrary();
    EXPECT_EQ(GetDisplayDriverLoadAttempts(), before);
    EXPECT_EQ(GetDriverPrototypeHolder(0, 4)->GetImplementation()->GetType(), Screen8);
    cSurface* prototype = nullptr;
    EXPECT_EQ(GetSurfacePrototype(&prototype, 16, 0, 0), 1) << "the library's own prototypes are back";
    // The 8-bit ones too: the thread's palettes were registered again when they were made.
    EXPECT_EQ(GetSurfacePrototype(&prototype, 8, 3, 0), 1);
    ASSERT_NE(prototype, nullptr);
    EXPECT_NE(prototype->GetImplementation()->palette, nullptr);
}

TEST_F(DriverFolder, SmallSurfacesFromADriverScreenAreSections) {
    UseDriverFolder(Driver::TestDriver);
    cSurface* screen = nullptr;
    ASSERT_EQ(GetSurfacePrototype(&screen, 32, 4, 6), 1);
    cSurface small, large;
    ASSERT_TRUE(small.Create(4, 4, screen));
    EXPECT_EQ(small.GetImplementation()->GetType(), Section);
    EXPECT_EQ(small.GetDepth(), 32);
    ASSERT_TRUE(large.Create(9, 4, screen));
    EXPECT_EQ(large.GetImplementation()->GetType(), Screen8);
    // A render texture made from its own holder stays a render texture.
    cSurface texture;
    ASSERT_TRUE(texture.Create(4, 4, GetDriverPrototypeHolder(0, 5)));
    EXPECT_EQ(texture.GetImplementation()->GetType(), 14);
}

TEST(SurfaceLibrary, AThreadOnlyCountsItsStartsAndThePrototypesStay) {
    cSurface* before = nullptr;
    ASSERT_EQ(GetSurfacePrototype(&before, 16, 2, 0), 1);
    const cSurfaceImplementation* implementation = before->GetImplementation();
    InitSurfaceLibrary();
    InitSurfaceLibrary();
    ExitSurfaceLibrary();
    ExitSurfaceLibrary();
    cSurface* after = nullptr;
    ASSERT_EQ(GetSurfacePrototype(&after, 16, 2, 0), 1);
    EXPECT_EQ(after->GetImplementation(), implementation);
}

TEST(SurfaceLibrary, AnotherThreadStartingAndEndingLeavesThePrototypes) {
    std::thread([] {
        InitSurfaceLibrary();
        ExitSurfaceLibrary();
        // A thread that never started changes nothing when it ends.
        ExitSurfaceLibrary();
    }).join();
    cSurface* prototype = nullptr;
    EXPECT_EQ(GetSurfacePrototype(&prototype, 24, 0, 0), 1);
    ASSERT_NE(prototype, nullptr);
    EXPECT_TRUE(prototype->HasImplementation());
}

} // namespace
