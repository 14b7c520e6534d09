// The runtime's services for extensions: the random routine, files stored in the application and their
// counted copies, user data words, the generic calls, the files stored in the program image, and what the
// block says of the run.
#include "extension_fixture.h"

#include "shell/extension_services.h"
#include "runtime/startup/loader/loader_fixture.h"
#include "core/command_line.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "core/application_record.h"

#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using namespace extensiontest;
using namespace vtrrt;

TEST(ExtensionRandom, StepsTheFramesSeedAsTheGeneratorDoes) {
    FrameRunState run{};
    FrameRunState* kept = Services().runState;
    Services().runState = &run;
    const extension::RunRoutines& r = *ExtensionServices()->run;
    // Seeds 1, 31416 (1 x 31415 + 1), then 31416 x 31415 + 1 = 986933641 = 15059 x 65536 + 27017.
    run.randomSeed = 0;
    EXPECT_EQ(r.random(100), 0);
    EXPECT_EQ(r.random(100), 47) << "100 x 31416 >> 16";
    EXPECT_EQ(r.random(1000), 412) << "1000 x 27017 >> 16";
    EXPECT_EQ(run.randomSeed, 27017);
    // One and zero give 0 whatever the seed, and still step it: 65535 x 31415 + 1 = 31414 x 65536 + 34122.
    for (int n : {0, 1}) {
        run.randomSeed = 65535;
        EXPECT_EQ(r.random(n), 0) << n;
        EXPECT_EQ(run.randomSeed, 34122) << n;
    }
    // n is taken as 16 bits: 65536 + 10 chooses among 10.
    run.randomSeed = 0;
    EXPECT_EQ(r.random(65536 + 10), 0);
    EXPECT_EQ(r.random(65536 + 10), 4) << "10 x 31416 >> 16";
    Services().runState = kept;
}

class StoredFiles : public ::testing::Test {
protected:
    void SetUp() override {
        appwriter::ApplicationDescription d;
        d.embeddedFiles = std::vector<appwriter::EmbeddedFileDesc>{{u"Level.txt", {'h', 'e', 'l', 'l', 'o'}},
                                                                   {u"empty.bin", {}}};
        bytes_ = appwriter::WriteApplication(d);
        app_ = loadertest::LoadFromMemory(bytes_);
        ASSERT_TRUE(app_);
        SetCurrentApplication(app_.get());
    }
    void TearDown() override {
        app_.reset();
        SetCurrentApplication(nullptr);
    }
    static std::string Contents(const std::u16string& path) {
        std::ifstream in(fs::path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    ModuleFolder folder_;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(StoredFiles, AStoredFileIsCopiedOnceAndItsCopyGoesWithItsLastUser) {
    extension::RuntimeServices* s = ExtensionServices();
    char16_t first[260] = {}, second[260] = {};
    ASSERT_EQ(s->usablePath(u"level.TXT", first, 260), 1) << "names compare without regard to case";
    ASSERT_EQ(s->usablePath(u"Level.txt", second, 260), 1);
    EXPECT_EQ(std::u16string(first), std::u16string(second));
    EXPECT_EQ(fs::path(first).parent_path(), folder_.Run()) << "the copy is in the run's temporary folder";
    EXPECT_EQ(Contents(first), "hello");
    s->releasePath(u"Level.txt");
    EXPECT_TRUE(fs::exists(fs::path(first))) << "one user is left";
    s->releasePath(u"Level.txt");
    EXPECT_FALSE(fs::exists(fs::path(first)));
    s->releasePath(u"Level.txt"); // one release too many changes nothing
    // Asked for again, it is copied again.
    ASSERT_EQ(s->usablePath(u"Level.txt", first, 260), 1);
    EXPECT_EQ(Contents(first), "hello");
    s->releasePath(u"Level.txt");
}

TEST_F(StoredFiles, OtherNamesAreUsableAsTheyAreAndEmptyOrUnfittingOnesAreNot) {
    extension::RuntimeServices* s = ExtensionServices();
    char16_t path[260] = {};
    ASSERT_EQ(s->usablePath(u"/data/other.txt", path, 260), 1);
    EXPECT_EQ(std::u16string(path), u"/data/other.txt");
    EXPECT_EQ(s->usablePath(u"empty.bin", path, 260), 0) << "a stored file of size 0";
    EXPECT_EQ(s->usablePath(u"Level.txt", nullptr, 260), 0);
    EXPECT_EQ(s->usablePath(nullptr, path, 260), 0);
    // The 8-bit form writes no more than the buffer holds, and fails when the path does not fit.
    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(s->usablePathA("Level.txt", small, 4), 0);
    EXPECT_EQ(small[4], '#');
    char narrow[260] = {};
    ASSERT_EQ(s->usablePathA("LEVEL.txt", narrow, sizeof narrow), 1);
    EXPECT_EQ(fs::path(narrow).parent_path(), folder_.Run());
    s->releasePathA("level.txt");
    EXPECT_FALSE(fs::exists(fs::path(narrow)));
}

TEST_F(StoredFiles, OpeningGivesARealFilesHandleAndSize) {
    extension::RuntimeServices* s = ExtensionServices();
    folder_.Write("real.dat", "0123456789");
    const std::u16string path = (folder_.Run() / "real.dat").u16string();
    std::uint32_t size = 0;
    win32::HANDLE file = s->openFile(path.c_str(), &size);
    ASSERT_NE(file, win32::INVALID_HANDLE_VALUE);
    EXPECT_EQ(size, 10u);
    char first[3] = {};
    EXPECT_EQ(FileReadRaw(file, first, 2), 0);
    EXPECT_STREQ(first, "01");
    s->closeFile(file);
    EXPECT_EQ(s->openFile(nullptr, &size), win32::INVALID_HANDLE_VALUE);
    EXPECT_EQ(s->openFile(u"/no/such/file", &size), win32::INVALID_HANDLE_VALUE);
    // The data here has no file: its stored files cannot be opened in place.
    EXPECT_EQ(s->openFile(u"Level.txt", &size), win32::INVALID_HANDLE_VALUE);
}

TEST(ExtensionUserData, AModuleNoExtensionCameFromHasNoWordAndChangesNone) {
    ModuleFolder folder;
    folder.Copy(Probe(), "probe.vxe");
    const std::vector<std::uint8_t> bytes =
        appwriter::WriteApplication(ListingApplication({{0, u"probe", u""}}));
    loadertest::RecordPtr app = loadertest::LoadFromMemory(bytes);
    ASSERT_TRUE(app);
    SetCurrentApplication(app.get());
    extension::RuntimeServices* s = ExtensionServices();
    const win32::HMODULE module = ExtensionOfType(app.get(), FirstExtension)->module;
    EXPECT_EQ(s->setUserData(module, 5), 0);
    EXPECT_EQ(s->setUserData(module, 6), 5) << "the previous word";
    static int somewhere = 0;
    const auto stranger = reinterpret_cast<win32::HMODULE>(&somewhere);
    EXPECT_EQ(s->getUserData(stranger), 0);
    EXPECT_EQ(s->setUserData(stranger, 9), 0);
    EXPECT_EQ(s->setUserData(nullptr, 9), 0);
    EXPECT_EQ(s->getUserData(module), 6);
    app.reset();
    SetCurrentApplication(nullptr);
}

TEST(ExtensionGenericCalls, AnswerByTheirCodes) {
    extension::RuntimeServices* s = ExtensionServices();
    std::int32_t build[2] = {-1, -1}, other[2] = {-1, -1};
    EXPECT_EQ(s->generic(extension::CallBuildInformation, reinterpret_cast<std::intptr_t>(build),
                         reinterpret_cast<std::intptr_t>(other), 0),
              1);
    EXPECT_EQ(build[0], 285);
    EXPECT_EQ(build[1], 0);
    EXPECT_EQ(other[0], 0);
    EXPECT_EQ(s->generic(extension::CallBuildInformation, 0, 0, 0), 1) << "either record may be missing";
    // Memory from the runtime's allocator.
    auto* block = reinterpret_cast<std::uint8_t*>(s->generic(extension::CallAllocateZeroed, 16, 0, 0));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[15], 0);
    block = reinterpret_cast<std::uint8_t*>(
        s->generic(extension::CallReallocate, reinterpret_cast<std::intptr_t>(block), 64, 0));
    ASSERT_NE(block, nullptr);
    EXPECT_GE(GetMemorySize(block), 64u);
    EXPECT_EQ(s->generic(extension::CallFree, reinterpret_cast<std::intptr_t>(block), 0, 0), 1);
    EXPECT_EQ(s->generic(extension::CallAllocate, -1, 0, 0), 0);
    // Without an application: Unicode and no code page.
    EXPECT_EQ(s->generic(extension::CallUnicodeOf, 0, 0, 0), 1);
    EXPECT_EQ(s->generic(extension::CallCodePageOf, 0, 0, 0), 0);
    EXPECT_EQ(s->generic(112, 0, 0, 0), 1);
    EXPECT_EQ(s->generic(113, 0, 0, 0), 1);
    for (std::int32_t unknown : {0, 18, 20, 99, 119, -1})
        EXPECT_EQ(s->generic(unknown, 1, 2, 3), 0) << unknown;
    // The service pause holds the frame timer once, and says so in the block.
    EXPECT_EQ(s->generic(extension::CallPauseFrameTimer, 0, 0, 0), 1);
    EXPECT_EQ(ExtensionServices()->servicePaused, 1u);
    EXPECT_EQ(s->generic(extension::CallResumeFrameTimer, 0, 0, 0), 1);
    EXPECT_EQ(ExtensionServices()->servicePaused, 0u);
}

TEST(ExtensionServicesBlock, SaysWhatRunItServes) {
    ModuleFolder folder;
    extension::RuntimeServices* s = ExtensionServices();
    EXPECT_EQ(s->size, sizeof(extension::RuntimeServices));
    EXPECT_EQ(s->version, extension::InterfaceVersion);
    EXPECT_EQ(s->runtimeVersion, 0x0205411Du);
    EXPECT_EQ(std::u16string(s->tempFolder), folder.Run().u16string());
    ASSERT_NE(s->run, nullptr);
    EXPECT_EQ(s->run->size, sizeof(extension::RunRoutines));
    EXPECT_EQ(s->run->count, extension::RunRoutineCount);
    // Every routine the table counts is there to call, the movement services included.
    const auto* slots = reinterpret_cast<const std::uint8_t*>(s->run) +
                        offsetof(extension::RunRoutines, firstExpressionParameter);
    for (std::uint32_t i = 0; i < s->run->count; ++i) {
        void* routine = nullptr;
        std::memcpy(&routine, slots + i * sizeof(void*), sizeof(void*));
        EXPECT_NE(routine, nullptr) << "routine " << i;
    }
    EXPECT_EQ(s->run->callMovementService(nullptr, 1, 2), 0) << "no object, no movement to ask";
}

// A program file with a run of stored files behind some bytes of its own.
class ProgramFiles : public ::testing::Test {
protected:
    static appwriter::Bytes FileChunk(const std::u16string& name, const std::string& bytes,
                                      std::uint16_t flags = 0) {
        appwriter::ByteWriter w;
        w.Units(name);
        w.U16(0);
        w.Bytes({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
        appwriter::Bytes out;
        appwriter::WriteChunk(out, 0x2240, flags, w.Take(), {});
        return out;
    }
    std::u16string Program(const std::vector<appwriter::Bytes>& chunks) {
        std::string bytes = "program image";
        for (const appwriter::Bytes& c : chunks)
            bytes.append(c.begin(), c.end());
        folder_.Write("program", bytes);
        return (folder_.Run() / "program").u16string();
    }
    void SetUp() override { GetCommandLineOptions().errorBoxes = 0; }
    void TearDown() override {
        DeleteExtractedFiles();
        GetCommandLineOptions().errorBoxes = 1;
    }
    ModuleFolder folder_;
};

TEST_F(ProgramFiles, AreWrittenIntoTheTemporaryFolderAndDeletedAtShutdown) {
    const std::u16string program =
        Program({FileChunk(u"one.dat", "first"), FileChunk(u"two.dat", std::string(70000, 'x'), 1)});
    ASSERT_EQ(ExtractProgramFiles(program.c_str(), 13, 2), 1);
    std::ifstream one(folder_.Run() / "one.dat");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(one), {}), "first");
    EXPECT_EQ(fs::file_size(folder_.Run() / "two.dat"), 70000u) << "compressed, inflated";
    DeleteExtractedFiles();
    EXPECT_FALSE(fs::exists(folder_.Run() / "one.dat"));
    EXPECT_FALSE(fs::exists(folder_.Run() / "two.dat"));
    EXPECT_EQ(ExtractProgramFiles(program.c_str(), 13, 0), 1) << "nothing to extract";
}

TEST_F(ProgramFiles, ANameThatIsNoPlainFileNameStopsTheExtraction) {
    for (const char16_t* name : {u"../escaped.dat", u"sub/inner.dat", u"/tmp/rooted.dat", u""}) {
        const std::u16string program = Program({FileChunk(u"fine.dat", "ok"), FileChunk(name, "bad")});
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(ExtractProgramFiles(program.c_str(), 13, 2), 0);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("vtrrt:"), std::string::npos) << said;
        EXPECT_FALSE(fs::exists(folder_.Parent() / "escaped.dat"));
        EXPECT_FALSE(fs::exists(folder_.Run() / "sub"));
    }
    // A chunk cut short is reported as well.
    const std::u16string program = Program({FileChunk(u"fine.dat", "ok")});
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ExtractProgramFiles(program.c_str(), 13, 3), 0);
    ::testing::internal::GetCapturedStderr();
}

} // namespace
