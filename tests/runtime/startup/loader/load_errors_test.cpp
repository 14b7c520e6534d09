#include "loader_fixture.h"

#include "appwriter/application_writer.h"
#include "core/command_line.h"
#include "core/error_message.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace loadertest;
using appwriter::ApplicationDescription;
using appwriter::Bytes;

constexpr int FileError = 0x40000002;
constexpr int DataError = 0x40000009;
constexpr int BufferFull = 0x40000007;
const std::string NotApplication = "This is not an application file!";
const std::string Incompatible =
    "This application has been built with an incompatible version of Vantaro or Gridlark.";

ApplicationDescription Small() {
    ApplicationDescription app;
    app.name = u"Small";
    app.frames.resize(1);
    return app;
}

// The offset of the first (or a later) top-level chunk with this id.
std::size_t ChunkAt(const Bytes& bytes, std::uint16_t id, int occurrence = 1) {
    std::size_t at = 16;
    while (at + 8 <= bytes.size()) {
        const std::uint16_t found = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
        if (found == id && --occurrence == 0) return at;
        const std::uint32_t size = bytes[at + 4] | (bytes[at + 5] << 8) | (bytes[at + 6] << 16) |
                                   (static_cast<std::uint32_t>(bytes[at + 7]) << 24);
        at += 8 + size;
    }
    ADD_FAILURE() << "no chunk " << id;
    return 0;
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes Written(const std::function<void(ApplicationDescription&)>& change) {
    ApplicationDescription app = Small();
    change(app);
    return appwriter::WriteApplication(app);
}

Bytes CompressedName(const std::function<void(Bytes&, std::size_t payload)>& damage) {
    Bytes bytes = Written([](ApplicationDescription& app) {
        app.name = u"A name long enough to be worth compressing, compressing, compressing";
        app.chunkFlags[appwriter::ChunkAppName] = appwriter::ChunkCompressed;
    });
    damage(bytes, ChunkAt(bytes, appwriter::ChunkAppName) + 8);
    return bytes;
}

// Where a case's damage is reported: the chunk (its first or a later instance), or the end of a list cut
// short.
struct Place {
    std::uint16_t chunk = 0; // 0: no place, the case's message
    int occurrence = 1;
};
constexpr std::uint16_t ListCutShort = 0xFFFF;

struct DamageCase {
    const char* name;
    std::function<Bytes()> make;
    int code;
    std::string message; // empty: nothing is reported
    Place place = {};
};

// "<file> : Damaged data in chunk 0x2224 at offset 0x88.", with the offset found in the damaged bytes.
std::string Located(const Bytes& bytes, Place place) {
    const std::u16string file = loadertest::DataPath;
    char text[96];
    if (place.chunk == ListCutShort)
        std::snprintf(text, sizeof text, "Damaged data: the chunk list breaks off at offset 0x%zX.",
                      bytes.size());
    else
        std::snprintf(text, sizeof text, "Damaged data in chunk 0x%04X at offset 0x%zX.", place.chunk,
                      ChunkAt(bytes, place.chunk, place.occurrence));
    return std::string(file.begin(), file.end()) + " : " + text;
}

std::string ExpectedMessage(const DamageCase& c, const Bytes& bytes) {
    return c.place.chunk ? Located(bytes, c.place) : c.message;
}

const DamageCase Cases[] = {
    {"BadMagic",
     [] {
         Bytes b = Written([](auto&) {});
         b[0] = 'X';
         return b;
     },
     20, NotApplication},
    {"TooShortForDataHeader", [] { return Bytes{'V', 'T', 'R', 'W', 2, 3}; }, 20, NotApplication},
    {"BadVersion",
     [] {
         Bytes b = Written([](auto&) {});
         b[4] = 0x03;
         return b;
     },
     19, Incompatible},
    {"BadTypeWord", [] { return Written([](auto& app) { app.typeWord = 4; }); }, 19, Incompatible},
    {"IncompatibleChunk",
     [] {
         return Written([](auto& app) { app.extra.push_back({appwriter::ChunkIncompatible, 0, Bytes{1}}); });
     },
     19, Incompatible},
    {"TruncatedChunk",
     [] {
         Bytes b = Written([](auto&) {});
         b.resize(ChunkAt(b, appwriter::ChunkAppName) + 10);
         return b;
     },
     FileError,
     "",
     {appwriter::ChunkAppName}},
    {"OversizedChunk",
     [] {
         Bytes b = Written([](auto&) {});
         Put32(b, ChunkAt(b, appwriter::ChunkAppName) + 4, 0x80000000u);
         return b;
     },
     FileError,
     "",
     {appwriter::ChunkAppName}},
    {"MissingEndChunk",
     [] {
         Bytes b = Written([](auto&) {});
         b.resize(b.size() - 8);
         return b;
     },
     FileError,
     "",
     {ListCutShort}},
    {"HeaderChunkLargerThanTheHeader",
     [] {
         return Written([](auto& app) {
             app.header.reset();
             app.extra.push_back({appwriter::ChunkAppHeader, 0, Bytes(200, 0)});
         });
     },
     9,
     "",
     {appwriter::ChunkAppHeader}},
    {"BadCompressedData",
     [] {
         return CompressedName([](Bytes& b, std::size_t payload) {
             for (std::size_t i = payload + 10; i < payload + 20; ++i)
                 b[i] ^= 0xA5;
         });
     },
     DataError,
     "",
     {appwriter::ChunkAppName}},
    {"InflatedSizeBeyondLimit",
     [] { return CompressedName([](Bytes& b, std::size_t payload) { Put32(b, payload, 0xFFFFFFF0u); }); },
     DataError,
     "",
     {appwriter::ChunkAppName}},
    {"InflatesPastDeclaredSize",
     [] { return CompressedName([](Bytes& b, std::size_t payload) { Put32(b, payload, b[payload] - 1u); }); },
     BufferFull,
     "",
     {appwriter::ChunkAppName}},
    {"InflatesShortOfDeclaredSize",
     [] { return CompressedName([](Bytes& b, std::size_t payload) { Put32(b, payload, b[payload] + 1u); }); },
     DataError,
     "",
     {appwriter::ChunkAppName}},
    {"CompressedSizePastPayload",
     [] { return CompressedName([](Bytes& b, std::size_t payload) { Put32(b, payload + 4, 5000); }); },
     DataError,
     "",
     {appwriter::ChunkAppName}},
    {"EncipheredChunkReadWithoutKey",
     [] {
         return Written(
             [](auto& app) { app.chunkFlags[appwriter::ChunkAppName] = appwriter::ChunkEnciphered; });
     },
     -1, ""},
    {"MoreFramesThanTheHeaderSays",
     [] {
         return Written([](auto& app) {
             app.frames.resize(2);
             app.header->frameCount = 1;
         });
     },
     DataError,
     "",
     {appwriter::ChunkFrame, 2}},
    {"FrameCountBeyondTheData",
     [] { return Written([](auto& app) { app.header->frameCount = 0x7FFFFFFF; }); },
     DataError,
     "",
     {appwriter::ChunkAppHeader}},
    {"EmbeddedNameTooLong",
     [] {
         return Written([](auto& app) {
             app.embeddedFiles =
                 std::vector<appwriter::EmbeddedFileDesc>{{std::u16string(300, u'a'), Bytes{1}}};
         });
     },
     DataError,
     "",
     {appwriter::ChunkEmbeddedFiles}},
    {"EmbeddedFileLongerThanItsChunk",
     [] {
         Bytes b = Written([](auto& app) {
             app.embeddedFiles = std::vector<appwriter::EmbeddedFileDesc>{{u"a", Bytes{1, 2, 3}}};
         });
         // count, name length, one UTF-16 unit, then the file's size.
         Put32(b, ChunkAt(b, appwriter::ChunkEmbeddedFiles) + 8 + 4 + 2 + 2, 1000);
         return b;
     },
     DataError,
     "",
     {appwriter::ChunkEmbeddedFiles}},
    {"GlobalStringCountBeyondTheChunk",
     [] {
         return Written([](auto& app) {
             app.extra.push_back({appwriter::ChunkGlobalStrings, 0, Bytes{0xE8, 3, 0, 0, 'a', 0}});
         });
     },
     DataError,
     "",
     {appwriter::ChunkGlobalStrings}},
    {"UnterminatedGlobalString",
     [] {
         return Written([](auto& app) {
             app.extra.push_back({appwriter::ChunkGlobalStrings, 0, Bytes{1, 0, 0, 0, 'a', 0}});
         });
     },
     DataError,
     "",
     {appwriter::ChunkGlobalStrings}},
    {"EffectOffsetOutsideTheBank",
     [] { return Written([](auto& app) { app.effectBankRaw = Bytes{1, 0, 0, 0, 0xE8, 3, 0, 0}; }); },
     DataError,
     "",
     {appwriter::ChunkEffectBank}},
    {"ImageListCountBeyondTheChunk",
     [] {
         return Written([](auto& app) {
             app.extra.push_back({appwriter::ChunkAppImageList, 0, Bytes{9, 0, 0, 0, 1, 0, 2, 0}});
         });
     },
     DataError,
     "",
     {appwriter::ChunkAppImageList}},
};

class DamagedFile : public ::testing::TestWithParam<DamageCase> {
protected:
    void SetUp() override { vtrrt::GetCommandLineOptions() = {}; }
    void TearDown() override { vtrrt::GetCommandLineOptions() = {}; }
};

TEST_P(DamagedFile, FailsWithItsCodeAndMessage) {
    const DamageCase& c = GetParam();
    const Bytes bytes = c.make();
    const std::string message = ExpectedMessage(c, bytes);
    int code = 0;
    ::testing::internal::CaptureStderr();
    RecordPtr app = LoadFromMemory(bytes, &code);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(app, nullptr);
    EXPECT_EQ(code, c.code);
    if (message.empty()) {
        EXPECT_EQ(err, "");
    } else {
        EXPECT_NE(err.find("vtrrt: " + message + "\n"), std::string::npos) << err;
        // Without a display the message box writes its caption and text.
        EXPECT_NE(err.find("Error: " + message + "\n"), std::string::npos) << err;
    }
}

TEST_P(DamagedFile, SwitchR0LeavesOnlyTheLineOnStderr) {
    const DamageCase& c = GetParam();
    vtrrt::ParseCommandLine(u"-R0");
    const Bytes bytes = c.make();
    const std::string message = ExpectedMessage(c, bytes);
    int code = 0;
    ::testing::internal::CaptureStderr();
    RecordPtr app = LoadFromMemory(bytes, &code);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(err.find("Error: "), std::string::npos) << err;
    EXPECT_EQ(err, message.empty() ? "" : "vtrrt: " + message + "\n");
}

INSTANTIATE_TEST_SUITE_P(Table, DamagedFile, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ErrorMessage, CannotOpenStartsWithTheFileName) {
    EXPECT_EQ(vtrrt::ErrorMessageText(4, u"/x/app.vtg"), u"/x/app.vtg : Error while opening file.");
}

TEST(ErrorMessage, StreamCodesShowFileErrorAndOutOfMemoryItsOwnText) {
    for (int code : {0x40000001, 0x40000002, 0x40000005, 0x40000007, 0x40000009})
        EXPECT_EQ(vtrrt::ErrorMessageText(code, nullptr), u"File error!") << code;
    EXPECT_EQ(vtrrt::ErrorMessageText(0x40000000, nullptr), u"Not enough memory!");
    EXPECT_EQ(vtrrt::ErrorMessageText(8, nullptr), u"Not enough memory!");
}

TEST(ErrorMessage, CodeWithoutStringStillSaysSomething) {
    EXPECT_EQ(vtrrt::ErrorMessageText(777, nullptr), u"Error 777.");
}

} // namespace
