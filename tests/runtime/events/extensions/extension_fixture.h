// A run's temporary folder of its own holding extension modules under the names a test gives them, and the
// applications that list them.
#pragma once

#include "core/command_line.h"
#include "events/extension_host.h"
#include "runtime/startup/loader/loader_fixture.h"
#include "startup/runtime_files.h"
#include "translator/resource_translator.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace extensiontest {

namespace fs = std::filesystem;

inline const fs::path TestModules = EXTENSION_TEST_MODULES;
inline const fs::path OwnModules = VTR_BIN_DIR;

// Makes a new folder the run's temporary folder for the life of the object.
class ModuleFolder {
public:
    ModuleFolder() {
        std::string pattern = (fs::temp_directory_path() / "vtrextXXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "no temporary folder";
        folder_ = pattern;
        // The folder sits in a parent of its own, so that names reaching up find only what a test put there.
        fs::create_directory(folder_ / "run");
        vtrrt::RuntimeFiles& files = vtrrt::GetRuntimeFiles();
        keptFolder_ = files.tempFolder;
        keptRuntimeFolder_ = files.runtimeTempFolder;
        files.runtimeTempFolder = Run().u16string();
        files.tempFolder = files.runtimeTempFolder + u"/";
    }
    ~ModuleFolder() {
        vtrrt::RuntimeFiles& files = vtrrt::GetRuntimeFiles();
        files.tempFolder = keptFolder_;
        files.runtimeTempFolder = keptRuntimeFolder_;
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    ModuleFolder(const ModuleFolder&) = delete;
    ModuleFolder& operator=(const ModuleFolder&) = delete;

    fs::path Run() const { return folder_ / "run"; }
    fs::path Parent() const { return folder_; }
    // A built module copied in under `name`.
    void Copy(const fs::path& built, const std::string& name, const fs::path& into = {}) const {
        fs::copy_file(built, (into.empty() ? Run() : into) / name, fs::copy_options::overwrite_existing);
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::FILE* f = std::fopen((Run() / name).string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    // Whether the module at that path is loaded in the process.
    static bool Loaded(const fs::path& path) {
        void* handle = dlopen(path.string().c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle) dlclose(handle);
        return handle != nullptr;
    }

private:
    fs::path folder_;
    std::u16string keptFolder_, keptRuntimeFolder_;
};

// Makes the folder the run's language folder for the life of the object.
class LanguageFolder {
public:
    explicit LanguageFolder(const ModuleFolder& folder) : kept_(vtrrt::GetRuntimeFiles().languageFolder) {
        vtrrt::GetRuntimeFiles().languageFolder = folder.Run().u16string();
    }
    ~LanguageFolder() { vtrrt::GetRuntimeFiles().languageFolder = kept_; }
    LanguageFolder(const LanguageFolder&) = delete;
    LanguageFolder& operator=(const LanguageFolder&) = delete;

private:
    std::optional<std::u16string> kept_;
};

// The modules the run's translator holds an entry for.
inline int TranslatedModuleCount() {
    const vtrrt::CResourceTranslatorImpl* translator = vtrrt::ResourceTranslator().Impl();
    int count = 0;
    for (int slot = 0; translator && slot < translator->EntryCount(); ++slot)
        count += translator->Entry(slot) ? 1 : 0;
    return count;
}

// Every module's language file in the tests: the run takes the language of the first file it reads.
inline constexpr const char* FrenchLanguageFile = R"({"lang": 1036, "general": {"Open": "Ouvrir"}})";

inline fs::path Probe() {
    return TestModules / "probe.vxe";
}
inline fs::path Gauge() {
    return OwnModules / "vtrgauge.vxe";
}

// What a probe module has noted so far.
inline std::string ProbeNotes(const vtrrt::ExtensionRecord* record) {
    if (!record) return "<not loaded>";
    auto notes = reinterpret_cast<const char* (*)()>(win32::GetProcAddress(record->module, "ProbeLog"));
    return notes ? notes() : "<no log>";
}

// An application with an object of the extension at index 0 (object info 1) and one frame placing it.
constexpr std::uint16_t ExtensionObject = 1;
constexpr std::int16_t FirstExtension = 32;

inline appwriter::ObjectInfoDesc ExtensionObjectDesc(std::uint16_t handle, std::int16_t type,
                                                     const appwriter::Bytes& data, std::uint32_t flags = 0) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = type;
    o.name = u"Ext";
    o.definition.objectFlags = flags;
    o.definition.typeData = data;
    return o;
}

inline appwriter::ApplicationDescription
ListingApplication(std::vector<appwriter::ExtensionDesc> extensions) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 160;
    d.header->windowHeight = 120;
    d.extensions = std::move(extensions);
    return d;
}

// Applications loaded with their modules in a folder of the test's own, no message boxes, and what the
// loader said on stderr kept.
class ModuleFolderTest : public ::testing::Test {
protected:
    void SetUp() override { vtrrt::GetCommandLineOptions().errorBoxes = 0; }
    void TearDown() override { vtrrt::GetCommandLineOptions().errorBoxes = 1; }
    loadertest::RecordPtr LoadSaying(const appwriter::ApplicationDescription& d, int* code) {
        bytes_ = appwriter::WriteApplication(d);
        ::testing::internal::CaptureStderr();
        loadertest::RecordPtr app = loadertest::LoadFromMemory(bytes_, code);
        said_ = ::testing::internal::GetCapturedStderr();
        return app;
    }
    ModuleFolder folder_;
    std::vector<std::uint8_t> bytes_;
    std::string said_;
};

} // namespace extensiontest
