#include "objects/transition_modules.h"

#include "core/command_line.h"
#include "startup/runtime_files.h"

#include "appwriter/frame_writer.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

using namespace vtrrt;
using namespace win32;

// The modules of the build folder stand for the run's temporary folder.
class TransitionModules : public ::testing::Test {
protected:
    void SetUp() override {
        kept_ = GetRuntimeFiles().tempFolder;
        GetRuntimeFiles().tempFolder = std::filesystem::path(VTR_BIN_DIR).u16string() + u"/";
        GetCommandLineOptions().errorBoxes = 0;
    }
    void TearDown() override {
        FreeTransitionModules();
        GetRuntimeFiles().tempFolder = kept_;
        GetCommandLineOptions().errorBoxes = 1;
    }
    std::u16string kept_;
};

TEST_F(TransitionModules, AModuleIsLoadedOnceWhateverTheCaseAndTheExtensionOfItsName) {
    const TransitionModuleRecord* first = LoadTransitionModule(u"vtrtrans");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name, u"vtrtrans.dll");
    EXPECT_NE(first->createTransition, nullptr);
    EXPECT_EQ(LoadTransitionModule(u"VTRTRANS.DLL"), first);
    EXPECT_EQ(LoadTransitionModule(u"VtrTrans.mvx"), first) << "another extension becomes .dll";
}

TEST_F(TransitionModules, MissingAndBrokenModulesAreToldApartAndGiveNothing) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vtr-transition-modules";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "broken.dll") << "not a module";
    GetRuntimeFiles().tempFolder = folder.u16string() + u"/";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadTransitionModule(u"nosuch"), nullptr);
    EXPECT_EQ(LoadTransitionModule(u"broken"), nullptr);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Cannot find nosuch.dll!"), std::string::npos) << said;
    EXPECT_NE(said.find("Cannot load broken.dll."), std::string::npos) << said;
    std::filesystem::remove_all(folder);
}

TEST_F(TransitionModules, NamesThatAreNotPlainFileNamesAreNeverLookedUp) {
    ::testing::internal::CaptureStderr();
    for (const char16_t* name :
         {u"../vtrtrans", u"sub/vtrtrans", u"sub\\vtrtrans", u"C:vtrtrans", u"..", u""})
        EXPECT_EQ(LoadTransitionModule(name), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "nothing is reported either";
}

TEST_F(TransitionModules, ATransitionIsMadeFromItsDescriptorAndAnswersItsSlots) {
    appwriter::TransitionDesc t;
    t.identifier = 1;
    t.duration = 500;
    t.parameters = {3, 0, 0, 0}; // three steps
    const appwriter::Bytes bytes = appwriter::TransitionPayload(t, appwriter::StringForm::Wide);
    appwriter::Bytes wide = bytes;
    wide[12] |= TransitionWideName; // what the loader sets in UTF-16 data
    const std::optional<TransitionDescriptor> d = ReadTransitionDescriptor(wide);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->moduleName, u"vtrtrans");
    EXPECT_EQ(d->duration, 500u);
    transition::Object* object = CreateTransitionObject(*d);
    ASSERT_NE(object, nullptr);
    StartTransition(object, d->duration);
    int steps = 0;
    while (!TransitionDone(object) && steps < 10) {
        StepTransition(object, nullptr, nullptr, nullptr, transition::ModeFadeIn, nullptr);
        ++steps;
    }
    EXPECT_EQ(steps, 3);
    EXPECT_FALSE(TransitionDrawsDirectly(object, false)) << "the module offers no direct steps";
    EndTransition(object, false);
    DestroyTransition(object);
}

// A fade by time whose last step came before its time was up is not done until a step has drawn the final
// picture, so that it never ends a little short of where it goes; one that nothing steps ends on its time.
TEST_F(TransitionModules, AFadeByTimeEndsOnItsFinalPicture) {
    appwriter::TransitionDesc t;
    t.duration = 20;
    const std::optional<TransitionDescriptor> d =
        ReadTransitionDescriptor(appwriter::TransitionPayload(t, appwriter::StringForm::Ansi));
    ASSERT_TRUE(d);
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, 0, 0);
    cSurface target, from, to;
    ASSERT_TRUE(target.Create(4, 4, prototype) && from.Create(4, 4, prototype) && to.Create(4, 4, prototype));
    from.Fill(RGB(255, 255, 255));
    to.Fill(RGB(32, 96, 192));
    transition::Object* stepped = CreateTransitionObject(*d);
    transition::Object* unstepped = CreateTransitionObject(*d);
    ASSERT_TRUE(stepped && unstepped);
    StartTransition(stepped, d->duration);
    StartTransition(unstepped, d->duration);
    StepTransition(stepped, &target, &from, &to, transition::ModeFadeIn, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_FALSE(TransitionDone(stepped)) << "its time is up, but its last step drew a mix";
    StepTransition(stepped, &target, &from, &to, transition::ModeFadeIn, nullptr);
    EXPECT_TRUE(TransitionDone(stepped));
    COLORREF at = 0;
    target.GetPixel(1, 1, at);
    EXPECT_EQ(at, RGB(32, 96, 192));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(TransitionDone(unstepped));
    DestroyTransition(stepped);
    DestroyTransition(unstepped);
}

TEST_F(TransitionModules, AnEightBitNameIsReadInTheApplicationsCodePage) {
    appwriter::TransitionDesc t;
    t.module = u"VTRTRANS";
    const std::optional<TransitionDescriptor> d =
        ReadTransitionDescriptor(appwriter::TransitionPayload(t, appwriter::StringForm::Ansi));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->moduleName, u"VTRTRANS");
}

struct DescriptorCase {
    const char* name;
    std::size_t field; // offset of the u32 to change
    std::uint32_t value;
};

class BadDescriptor : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(BadDescriptor, IsRefused) {
    appwriter::TransitionDesc t;
    t.parameters = {1, 2, 3, 4};
    appwriter::Bytes b = appwriter::TransitionPayload(t, appwriter::StringForm::Ansi);
    for (int i = 0; i < 4; ++i)
        b[GetParam().field + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(GetParam().value >> (8 * i));
    EXPECT_FALSE(ReadTransitionDescriptor(b));
}

const DescriptorCase badDescriptors[] = {
    {"NameOffsetPastTheEnd", 20, 0x1000},
    {"NameOffsetAtTheEnd", 20, 45},
    {"ParametersPastTheEnd", 24, 0x1000},
    {"ParameterSizePastTheEnd", 28, 5},
    {"ParameterSizeThatWrapsRound", 28, 0xFFFFFFFF},
    {"NameWithoutTerminator", 20, 44}, // the last byte of the parameters is not 0
};

INSTANTIATE_TEST_SUITE_P(Fields, BadDescriptor, ::testing::ValuesIn(badDescriptors),
                         [](const ::testing::TestParamInfo<DescriptorCase>& info) {
                             return info.param.name;
                         });

TEST(TransitionDescriptor, ShorterThanItsFieldsIsRefused) {
    EXPECT_FALSE(ReadTransitionDescriptor(appwriter::Bytes(31, 0)));
}

} // namespace
