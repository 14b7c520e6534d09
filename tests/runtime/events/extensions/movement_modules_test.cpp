// Movement modules over real modules in a run's temporary folder: the listed modules loaded with their
// creation entry point bound, the ones that cannot be used failing the application's load, and unloading.
#include "extension_fixture.h"

#include "core/application_record.h"
#include "core/command_line.h"
#include "objects/movement_modules.h"
#include "runtime/startup/loader/loader_fixture.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using namespace extensiontest;
using namespace vtrrt;

inline fs::path Mover() {
    return TestModules / "mover.mvx";
}

class MovementModules : public ModuleFolderTest {
protected:
    loadertest::RecordPtr Load(std::vector<std::u16string> names, int* code = nullptr) {
        appwriter::ApplicationDescription d = ListingApplication({});
        d.extensions.reset();
        d.movementModules = std::move(names);
        return LoadSaying(d, code);
    }
};

TEST_F(MovementModules, LoadsTheListedModulesWithTheirCreationEntryAndUnloadsThem) {
    folder_.Copy(Mover(), "mover.mvx");
    loadertest::RecordPtr app = Load({u"Mover.dat", u""});
    ASSERT_TRUE(app) << said_;
    ASSERT_EQ(app->movementModuleCount, 2);
    const MovementModuleRecord& mover = app->movementModules[0];
    ASSERT_NE(mover.module, nullptr);
    EXPECT_EQ(std::u16string(mover.name), u"Mover.dat");
    EXPECT_EQ(mover.createMovement, win32::GetProcAddress(mover.module, "CreateMvt"));
    EXPECT_EQ(app->movementModules[1].module, nullptr) << "an empty name loads nothing";
    EXPECT_EQ(LoadMovementExtension(*app, 2, u"mover"), 13);
    EXPECT_TRUE(ModuleFolder::Loaded(folder_.Run() / "mover.mvx"));
    FreeMovementExtensions(*app);
    EXPECT_EQ(app->movementModuleCount, 0);
    EXPECT_FALSE(ModuleFolder::Loaded(folder_.Run() / "mover.mvx"));
}

// A movement module's language file is read for it while it is loaded; its translation goes before the
// module does, also when the module has no creation entry.
TEST_F(MovementModules, AModuleIsTranslatedWhileItIsLoaded) {
    const LanguageFolder languages(folder_);
    folder_.Copy(Mover(), "mover.mvx");
    folder_.Write("mover.txt", FrenchLanguageFile);
    folder_.Copy(Probe(), "broken.mvx");
    folder_.Write("broken.txt", FrenchLanguageFile);
    const int before = TranslatedModuleCount();
    loadertest::RecordPtr app = Load({u"mover"});
    ASSERT_TRUE(app) << said_;
    EXPECT_EQ(ResourceTranslator().Translate(app->movementModules[0].module, u"Open", 40, 0), u"Ouvrir");
    EXPECT_EQ(TranslatedModuleCount(), before + 1);
    FreeMovementExtensions(*app);
    EXPECT_EQ(TranslatedModuleCount(), before);

    EXPECT_FALSE(Load({u"broken"}));
    EXPECT_EQ(TranslatedModuleCount(), before);
}

struct UnusableMovement {
    const char* name;
    std::u16string listed;
    const char* said; // on stderr
};

// Shown by its name: the bytes of its strings are no part of what it is.
void PrintTo(const UnusableMovement& c, std::ostream* out) {
    *out << c.name;
}

class UnusableMovementModule : public MovementModules,
                               public ::testing::WithParamInterface<UnusableMovement> {};

TEST_P(UnusableMovementModule, FailsTheApplicationLoadAndLeavesNothingLoaded) {
    const UnusableMovement& u = GetParam();
    // A module without the creation entry point (an object extension) sits in the folder as "broken.mvx",
    // and a movement module a name could reach outside the folder sits above it.
    folder_.Copy(Probe(), "broken.mvx");
    folder_.Copy(Mover(), "mover.mvx", folder_.Parent());
    int code = 0;
    // The first module of the list loads, and is let go again when a later one fails.
    folder_.Copy(Mover(), "first.mvx");
    EXPECT_FALSE(Load({u"first", u.listed}, &code));
    EXPECT_EQ(code, -1);
    if (u.said)
        EXPECT_NE(said_.find(u.said), std::string::npos) << said_;
    else
        EXPECT_EQ(said_.find("Cannot"), std::string::npos) << said_;
    EXPECT_FALSE(ModuleFolder::Loaded(folder_.Run() / "first.mvx"));
    EXPECT_FALSE(ModuleFolder::Loaded(folder_.Run() / "broken.mvx"));
    EXPECT_FALSE(ModuleFolder::Loaded(folder_.Parent() / "mover.mvx"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnusableMovementModule,
    ::testing::Values(UnusableMovement{"Missing", u"nosuch", "Cannot find nosuch!"},
                      UnusableMovement{"WithoutCreateMvt", u"broken", nullptr},
                      UnusableMovement{"ParentFolder", u"../mover", "Cannot find ../mover!"},
                      UnusableMovement{"Separator", u"run/mover", "Cannot find run/mover!"},
                      UnusableMovement{"Root", u"/tmp/mover", "Cannot find"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
