// The object-extension host over real modules in a run's temporary folder: loading the listed modules and
// binding their entry points, the modules that cannot be used, the broadcasts, the definition calls and
// the unloading.
#include "extension_fixture.h"

#include "core/application_record.h"
#include "core/command_line.h"
#include "core/runtime_services.h"
#include "objects/run_objects.h"
#include "runtime/startup/loader/loader_fixture.h"
#include "startup/object_infos.h"
#include "startup/object_references.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using namespace extensiontest;
using namespace vtrrt;

class Host : public ModuleFolderTest {
protected:
    void TearDown() override {
        SetCurrentApplication(nullptr);
        ModuleFolderTest::TearDown();
    }
    loadertest::RecordPtr Load(const appwriter::ApplicationDescription& d, int* code = nullptr) {
        return LoadSaying(d, code);
    }
};

TEST_F(Host, LoadsTheListedModulesAndBindsTheirEntryPointsByName) {
    folder_.Copy(Probe(), "probe.vxe");
    folder_.Copy(Gauge(), "vtrgauge.vxe");
    // Names get the module extension whatever they had.
    loadertest::RecordPtr app = Load(ListingApplication({{0, u"probe.mfx", u"sub"}, {1, u"vtrgauge", u""}}));
    ASSERT_TRUE(app) << said_;
    ASSERT_EQ(app->extensionCount, 2);
    const ExtensionRecord* probe = ExtensionOfType(app.get(), FirstExtension);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(std::u16string(probe->name), u"probe.mfx");
    EXPECT_EQ(std::u16string(probe->subType), u"sub");
    EXPECT_EQ(ProbeNotes(probe), "Initialize GetInfos8 sub:RunInfo")
        << "the sub-type is current for the call";
    EXPECT_EQ(probe->unicode, 0);
    EXPECT_NE(probe->entries[extension::EntryStartFrame], nullptr);
    EXPECT_EQ(probe->entries[extension::EntryWindowProc], nullptr);
    EXPECT_EQ(probe->entries[7], nullptr) << "the two unnamed slots are never bound";
    const ExtensionRunRoutines* routines = ExtensionRoutinesOfType(app.get(), FirstExtension);
    ASSERT_NE(routines, nullptr);
    EXPECT_EQ(routines->routines.actionCount, 3);
    EXPECT_EQ(routines->routines.conditionCount, 2);
    EXPECT_NE(routines->entries[extension::EntryCreateRunObject], nullptr);
    EXPECT_EQ(routines->entries[extension::EntryGetRunObjectSurface], nullptr);

    const ExtensionRecord* gauge = ExtensionOfType(app.get(), FirstExtension + 1);
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->unicode, 1);
    EXPECT_EQ(gauge->subType, nullptr);
    EXPECT_EQ(ExtensionOfType(app.get(), FirstExtension + 2), nullptr);
    EXPECT_EQ(ExtensionOfType(app.get(), 31), nullptr);
}

struct Unusable {
    const char* name;
    std::u16string listed; // the list's name
    const char* module;    // the test module copied in as "broken.vxe", or null
    const char* said;      // what stderr shows, or null for nothing
    bool leavesModuleLoaded;
};

// Shown by its name: the bytes of its strings are no part of what it is.
void PrintTo(const Unusable& c, std::ostream* out) {
    *out << c.name;
}

class UnusableModule : public Host, public ::testing::WithParamInterface<Unusable> {};

TEST_P(UnusableModule, FailsTheApplicationLoadAndLeavesNothingLoaded) {
    const Unusable& u = GetParam();
    if (u.module) folder_.Copy(TestModules / u.module, "broken.vxe");
    if (std::string(u.name) == "NotAModule") folder_.Write("broken.vxe", "this is not a module");
    // A module the name could reach outside the temporary folder is there, and must not be loaded.
    folder_.Copy(Probe(), "probe.vxe", folder_.Parent());
    int code = 0;
    EXPECT_FALSE(Load(ListingApplication({{0, u.listed, u""}}), &code));
    EXPECT_EQ(code, ExtensionRefused);
    if (u.said)
        EXPECT_NE(said_.find(u.said), std::string::npos) << said_;
    else
        EXPECT_EQ(said_.find("Cannot"), std::string::npos) << said_;
    EXPECT_FALSE(ModuleFolder::Loaded(folder_.Run() / "broken.vxe"));
    EXPECT_FALSE(ModuleFolder::Loaded(folder_.Parent() / "probe.vxe"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnusableModule,
    ::testing::Values(Unusable{"Missing", u"nosuch.vxe", nullptr, "Cannot find nosuch.vxe!", false},
                      Unusable{"NotAModule", u"broken.vxe", nullptr, "Cannot load broken.vxe.", false},
                      Unusable{"RefusedByInitialize", u"broken", "refuses.vxe", "Cannot load broken.", false},
                      Unusable{"NoRunInformation", u"broken.vxe", "noruninfo.vxe", nullptr, false},
                      Unusable{"RunInformationRefused", u"broken.vxe", "zeroruninfo.vxe", nullptr, false},
                      Unusable{"ParentFolder", u"../probe.vxe", nullptr, "Cannot find ../probe.vxe!", false},
                      Unusable{"Separator", u"run/probe.vxe", nullptr, "Cannot find run/probe.vxe!", false},
                      Unusable{"Backslash", u"..\\probe.vxe", nullptr, "Cannot find", false},
                      Unusable{"Root", u"/tmp/probe.vxe", nullptr, "Cannot find", false},
                      Unusable{"Drive", u"C:probe.vxe", nullptr, "Cannot find", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Host, AnEmptyNameLeavesItsSlotUnloadedAndItsObjectsUncreatable) {
    folder_.Copy(Probe(), "probe.vxe");
    appwriter::ApplicationDescription d = ListingApplication({{0, u"", u""}, {1, u"probe", u""}});
    d.extra.push_back({appwriter::ChunkObjectInfos, 0,
                       appwriter::WriteObjectInfos({ExtensionObjectDesc(ExtensionObject, FirstExtension,
                                                                        appwriter::ExtensionData(1, {}))},
                                                   appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    loadertest::RecordPtr app = Load(d);
    ASSERT_TRUE(app) << said_;
    EXPECT_EQ(app->extensionCount, 2);
    EXPECT_EQ(ExtensionOfType(app.get(), FirstExtension), nullptr);
    EXPECT_NE(ExtensionOfType(app.get(), FirstExtension + 1), nullptr);
    EXPECT_EQ(ExtensionRoutinesOfType(app.get(), FirstExtension), nullptr);
}

TEST_F(Host, AnIndexBeyondTheCountIsRefused) {
    folder_.Copy(Probe(), "probe.vxe");
    appwriter::ApplicationDescription d = ListingApplication({{3, u"probe", u""}});
    d.extensionCount = 2;
    int code = 0;
    EXPECT_FALSE(Load(d, &code));
    EXPECT_EQ(code, ExtensionIndexOutOfRange);
}

TEST_F(Host, TheFirstFormFindsItsNamesEightBytesIntoAnEntryAndEightBitNamesAreConverted) {
    folder_.Copy(Probe(), "probé.vxe");
    appwriter::ApplicationDescription d = ListingApplication({{0, u"probé", u"s"}});
    d.extensionsFirstForm = true;
    d.form = appwriter::StringForm::Ansi;
    d.codePage = 1252;
    loadertest::RecordPtr app = Load(d);
    ASSERT_TRUE(app) << said_;
    const ExtensionRecord* probe = ExtensionOfType(app.get(), FirstExtension);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(std::u16string(probe->name), u"probé");
    EXPECT_EQ(std::u16string(probe->subType), u"s");
}

TEST_F(Host, ANameOffsetPastItsEntryIsRefused) {
    // One entry of 10 bytes whose name would start 16 bytes in.
    appwriter::ByteWriter w;
    w.U16(1);
    w.U16(1);
    w.U16(10);
    w.U16(0);
    w.Bytes(appwriter::Bytes(6, 'a'));
    appwriter::ApplicationDescription d = ListingApplication({});
    d.extensions.reset();
    d.extra.push_back({appwriter::ChunkExtensionListW, 0, w.Take()});
    int code = 0;
    EXPECT_FALSE(Load(d, &code));
    EXPECT_EQ(code, StreamDataError);
}

// What the probe's Free saw: whether its module could still be reached.
std::vector<std::string> freeSeen;
void* freedModule = nullptr;
void OnProbeNote(const char* note) {
    if (std::string(note).find("Free") == std::string::npos) return;
    freeSeen.push_back(note);
    // The module is still there while its Free runs.
    if (freedModule && dlsym(freedModule, "ProbeLog")) freeSeen.push_back("still loaded");
}

TEST_F(Host, UnloadingCallsFreeBeforeTheModuleGoes) {
    folder_.Copy(Probe(), "probe.vxe");
    loadertest::RecordPtr app = Load(ListingApplication({{0, u"probe", u""}}));
    ASSERT_TRUE(app);
    const ExtensionRecord* probe = ExtensionOfType(app.get(), FirstExtension);
    ASSERT_NE(probe, nullptr);
    auto setObserver = reinterpret_cast<void (*)(void (*)(const char*))>(
        win32::GetProcAddress(probe->module, "SetProbeObserver"));
    ASSERT_NE(setObserver, nullptr);
    setObserver(OnProbeNote);
    freeSeen.clear();
    freedModule = dlopen((folder_.Run() / "probe.vxe").string().c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(freedModule, nullptr);
    dlclose(freedModule); // the host's reference keeps it
    app.reset();
    EXPECT_EQ(freeSeen, (std::vector<std::string>{"Free", "still loaded"}));
    EXPECT_FALSE(ModuleFolder::Loaded(folder_.Run() / "probe.vxe"));
    freedModule = nullptr;
}

// An extension's language file (its name with ".txt" in the language folder) is read for its module while it
// is loaded; the module's translation goes before the module does, also when its Initialize refuses it.
TEST_F(Host, AnExtensionIsTranslatedWhileItIsLoaded) {
    const LanguageFolder languages(folder_);
    folder_.Copy(Probe(), "probe.vxe");
    folder_.Write("probe.txt", FrenchLanguageFile);
    folder_.Copy(TestModules / "refuses.vxe", "refuses.vxe");
    folder_.Write("refuses.txt", FrenchLanguageFile);
    const int before = TranslatedModuleCount();
    loadertest::RecordPtr app = Load(ListingApplication({{0, u"probe", u""}}));
    ASSERT_TRUE(app);
    const ExtensionRecord* probe = ExtensionOfType(app.get(), FirstExtension);
    ASSERT_NE(probe, nullptr);
    const win32::HMODULE module = probe->module;
    EXPECT_EQ(ResourceTranslator().Translate(module, u"Open", 40, 0), u"Ouvrir");
    EXPECT_EQ(TranslatedModuleCount(), before + 1);
    app.reset();
    EXPECT_EQ(TranslatedModuleCount(), before);

    int code = 0;
    EXPECT_FALSE(Load(ListingApplication({{0, u"refuses", u""}}), &code));
    EXPECT_EQ(code, ExtensionRefused);
    EXPECT_EQ(TranslatedModuleCount(), before);
}

// Broadcasts go to every loaded extension in index order, each tagged here by its sub-type.
std::vector<std::string> heard;
void OnNote(const char* note) {
    heard.push_back(note);
}

TEST_F(Host, BroadcastsReachEveryExtensionInIndexOrder) {
    folder_.Copy(Probe(), "first.vxe");
    folder_.Copy(Probe(), "second.vxe");
    loadertest::RecordPtr app = Load(ListingApplication({{1, u"second", u"B"}, {0, u"first", u"A"}}));
    ASSERT_TRUE(app) << said_;
    heard.clear();
    for (int type : {32, 33}) {
        auto set = reinterpret_cast<void (*)(void (*)(const char*))>(
            win32::GetProcAddress(ExtensionOfType(app.get(), type)->module, "SetProbeObserver"));
        set(OnNote);
    }
    SetCurrentApplication(app.get());
    BroadcastStartApp();
    BroadcastStartFrame(2);
    BroadcastEndFrame(2);
    BroadcastEndApp();
    EXPECT_EQ(heard, (std::vector<std::string>{"A:StartApp", "B:StartApp", "A:StartFrame:2", "B:StartFrame:2",
                                               "A:EndFrame:2", "B:EndFrame:2", "A:EndApp", "B:EndApp"}));
    SetCurrentApplication(nullptr);
}

TEST_F(Host, DefinitionsAreHandedToTheirExtensionWhenLoadedAndTakenBackWhenUnloaded) {
    folder_.Copy(Probe(), "probe.vxe");
    appwriter::Bytes own(66, 0);
    own[64] = 0x34, own[65] = 0x12; // the image handle at 76 of the data
    appwriter::ApplicationDescription d = ListingApplication({{0, u"probe", u""}});
    d.extra.push_back({appwriter::ChunkObjectInfos, 0,
                       appwriter::WriteObjectInfos({ExtensionObjectDesc(ExtensionObject, FirstExtension,
                                                                        appwriter::ExtensionData(0, own))},
                                                   appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    loadertest::RecordPtr app = Load(d);
    ASSERT_TRUE(app) << said_;
    SetCurrentApplication(app.get());
    ObjectInfo* info = SeekObjectInfoByHandle(app.get(), ExtensionObject);
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(LoadObjectDefinition(app.get(), *info), 0);
    // The data's version (0) is below the extension's (1): it is brought up to date first.
    EXPECT_EQ(ProbeNotes(ExtensionOfType(app.get(), FirstExtension)),
              "Initialize GetInfos8 RunInfo UpdateEditStructure LoadObject UpdateFileNames");
    // Only the field inside the definition is a reference of the object.
    std::vector<std::pair<int, std::uint16_t>> references;
    EnumObjectInfoHandles(
        *info, {},
        [](int bank, std::uint8_t* field, void* user) {
            static_cast<std::vector<std::pair<int, std::uint16_t>>*>(user)->push_back(
                {bank, static_cast<std::uint16_t>(field[0] | (field[1] << 8))});
        },
        &references);
    EXPECT_EQ(references, (std::vector<std::pair<int, std::uint16_t>>{{0, 0x1234}}));
    UnloadObjectDefinition(app.get(), *info);
    EXPECT_NE(ProbeNotes(ExtensionOfType(app.get(), FirstExtension)).find("UpdateFileNames UnloadObject"),
              std::string::npos);
}

TEST_F(Host, AnOlderDefinitionIsReplacedByTheOneItsExtensionBringsUpToDate) {
    folder_.Copy(Gauge(), "vtrgauge.vxe");
    // A version 1 gauge: size, colours and value, without a maximum.
    appwriter::ByteWriter own;
    for (std::int32_t v : {40, 8, 0x0000FF, 0xFF0000, 25})
        own.I32(v);
    appwriter::ApplicationDescription d = ListingApplication({{0, u"vtrgauge", u""}});
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos(
             {ExtensionObjectDesc(ExtensionObject, FirstExtension, appwriter::ExtensionData(1, own.Take()))},
             appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    loadertest::RecordPtr app = Load(d);
    ASSERT_TRUE(app) << said_;
    ObjectInfo* info = SeekObjectInfoByHandle(app.get(), ExtensionObject);
    ASSERT_EQ(LoadObjectDefinition(app.get(), *info), 0);
    const std::size_t at = DefU16(info->definition, DefExtensionData);
    EXPECT_EQ(DefU32(info->definition, at), 36u);
    EXPECT_EQ(DefU32(info->definition, at + 8), 2u);
    EXPECT_EQ(DefU32(info->definition, at + 32), 100u) << "the maximum the new version adds";
    EXPECT_EQ(DefU32(info->definition, at + 28), 25u);
    EXPECT_EQ(DefU32(info->definition, DefSize), info->definition.size());
}

// Extensions take their data's bounds from its size word: data shorter than its header or than the size it
// gives is damaged, and the extension never sees it.
TEST_F(Host, DataCutShortOfItsSizeIsNeverHandedToItsExtension) {
    folder_.Copy(Probe(), "probe.vxe");
    appwriter::Bytes longer = appwriter::ExtensionData(0, appwriter::Bytes(66, 0));
    longer[0] = static_cast<std::uint8_t>(longer.size() + 1);
    const std::pair<const char*, appwriter::Bytes> cases[] = {
        {"one byte short of its size", longer},
        {"shorter than its header", appwriter::Bytes{8, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& [what, data] : cases) {
        appwriter::ApplicationDescription d = ListingApplication({{0, u"probe", u""}});
        d.extra.push_back(
            {appwriter::ChunkObjectInfos, 0,
             appwriter::WriteObjectInfos({ExtensionObjectDesc(ExtensionObject, FirstExtension, data)},
                                         appwriter::StringForm::Wide, appwriter::KeyOf(d))});
        loadertest::RecordPtr app = Load(d);
        ASSERT_TRUE(app) << said_;
        SetCurrentApplication(app.get());
        ObjectInfo* info = SeekObjectInfoByHandle(app.get(), ExtensionObject);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(LoadObjectDefinition(app.get(), *info), StreamDataError) << what;
        EXPECT_EQ(ProbeNotes(ExtensionOfType(app.get(), FirstExtension)), "Initialize GetInfos8 RunInfo")
            << what;
        SetCurrentApplication(nullptr);
    }
}

// A gauge data of the first version that holds only its header is left as it is (and its object refused
// when made), not read past its end to bring it up to date.
TEST_F(Host, AGaugeDataHoldingOnlyItsHeaderIsNotBroughtUpToDate) {
    folder_.Copy(Gauge(), "vtrgauge.vxe");
    appwriter::ApplicationDescription d = ListingApplication({{0, u"vtrgauge", u""}});
    d.extra.push_back({appwriter::ChunkObjectInfos, 0,
                       appwriter::WriteObjectInfos({ExtensionObjectDesc(ExtensionObject, FirstExtension,
                                                                        appwriter::ExtensionData(1, {}))},
                                                   appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    loadertest::RecordPtr app = Load(d);
    ASSERT_TRUE(app) << said_;
    ObjectInfo* info = SeekObjectInfoByHandle(app.get(), ExtensionObject);
    ASSERT_EQ(LoadObjectDefinition(app.get(), *info), 0);
    const std::size_t at = DefU16(info->definition, DefExtensionData);
    EXPECT_EQ(DefU32(info->definition, at), 12u);
    EXPECT_EQ(DefU32(info->definition, at + 8), 1u);
}

} // namespace
