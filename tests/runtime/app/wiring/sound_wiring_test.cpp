// A written application with a sound bank, a music bank and events that name them, run through its frames:
// the frame's sounds load with its events' uses, the parameters become library handles, music is extracted
// to a file, and frame end stops what the application plays unless the header keeps it.
#include "startup/event_program.h"
#include "runtime/startup/loader/loader_fixture.h"
#include "runtime/waited_clock.h"
#include "startup/banks.h"
#include "startup/event_program.h"
#include "startup/sound_items.h"
#include "support/scene_fixture.h"

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "appwriter/sound_writer.h"
#include "vtrs2/app_context.h"
#include "vtrs2/sound.h"
#include "vtrs2/sound_channels.h"
#include "win32/kernel.h"
#include "core/header_flags.h"
#include "core/frame_run_state.h"
#include "core/frame_record.h"
#include "core/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace vtrrt;

// One event group whose action names the given sample and music (stored indexes).
appwriter::Bytes EventsNaming(std::uint16_t sample, std::uint16_t music) {
    appwriter::EventProgramBuilder b;
    b.conditionCounts[TypeSpecial + 7] = 40;
    appwriter::EventGroupDesc g;
    appwriter::EventRecordDesc c;
    c.type = TypeSpecial;
    c.number = -3;
    g.conditions.push_back(c);
    appwriter::EventRecordDesc play;
    play.type = TypeSpeaker;
    play.number = 0;
    play.parameters.push_back(appwriter::SampleParameter(ParamSample, sample, 0, u"sample"));
    play.parameters.push_back(appwriter::SampleParameter(ParamMusic, music, 0, u"music"));
    g.actions.push_back(play);
    b.AddGroup(g);
    return b.ChunkPayload();
}

appwriter::Bytes Tone() {
    appwriter::WavDesc wav;
    wav.samples = appwriter::ToneSamples(wav.rate, 1, 440.0, 8000, 22050);
    return appwriter::WriteWav(wav);
}

void AddBank(appwriter::ApplicationDescription& d, std::uint16_t bankChunk, std::uint16_t offsetsChunk,
             const std::vector<appwriter::SoundItemDesc>& items) {
    const appwriter::BankPayload bank = appwriter::WriteSoundBank(items, appwriter::StringForm::Wide);
    d.extra.push_back({bankChunk, 0, bank.items});
    d.extra.push_back({offsetsChunk, 0, appwriter::WriteBankOffsets(bank.offsets)});
}

appwriter::ApplicationDescription Describe(std::uint16_t flags2) {
    appwriter::ApplicationDescription d;
    d.header->flags1 = HeaderAllSoundChannels;
    d.header->flags2 = flags2;
    AddBank(d, appwriter::ChunkSoundBank, appwriter::ChunkSoundOffsets,
            {{0, u"Jump", Tone()}, {0, u"Coin", Tone()}, {0x20, u"Far", Tone()}});
    appwriter::MidiDesc tune;
    tune.notes = {{0, 480, 0, 60, 100}};
    AddBank(d, appwriter::ChunkMusicBank, appwriter::ChunkMusicOffsets,
            {{0, u"Theme", appwriter::WriteMidi(tune)}});
    appwriter::FrameContents first, second;
    first.events = EventsNaming(1, 0);
    second.events = EventsNaming(0, 0xFFFF);
    d.frames.push_back(appwriter::DescribeFrame(320, 200, 0, first));
    d.frames.push_back(appwriter::DescribeFrame(320, 200, 0, second));
    return d;
}

// The handle stored in the first sample and music parameters of the frame's stored events.
std::pair<std::uint32_t, std::uint32_t> EventSoundHandles(FrameRecord& frame) {
    std::pair<std::uint32_t, std::uint32_t> found{0xFFFFFFFF, 0xFFFFFFFF};
    ForEachEventSoundParameter(
        frame.events->stored,
        [](std::uint8_t* payload, int bank, void* user) {
            auto& f = *static_cast<std::pair<std::uint32_t, std::uint32_t>*>(user);
            (bank == 2 ? f.first : f.second) = static_cast<std::uint32_t>(payload[0] | (payload[1] << 8));
        },
        &found);
    return found;
}

class SoundWiring : public ::testing::Test {
protected:
    void Load(std::uint16_t flags2 = 0) {
        previousClock_ = SetFrameClock(&clock_);
        GetCommandLineOptions().errorBoxes = 0;
        context_ = CreateAppContext(nullptr, nullptr);
        Services().libraryContext = context_;
        bytes_ = appwriter::WriteApplication(Describe(flags2));
        app_ = loadertest::LoadFromMemory(bytes_);
        ASSERT_TRUE(app_);
        ASSERT_EQ(StartApplication(app_.get()), 1);
        ASSERT_EQ(Step(), 1);
    }
    void TearDown() override {
        scene::EndAndRelease(app_);
        if (manager_) manager_->Delete();
        if (filters_) {
            filters_->FreeFilters();
            filters_->Delete();
        }
        Services().libraryContext = nullptr;
        if (context_) DestroyAppContext(context_);
        SetFrameClock(previousClock_);
        GetCommandLineOptions().errorBoxes = 1;
    }
    int Step() { return RunApplicationStep(app_.get(), 0); }
    int EndWith(std::int16_t code) {
        CurrentRunState()->exitCode = code;
        return Step();
    }
    std::uint32_t Handle(int kind, std::uint16_t index) {
        return HandleOfStoredIndex(*app_->banks, kind, index);
    }
    std::uint32_t Count(int kind, std::uint32_t handle) {
        return GetBankItemReferenceCount(*app_->banks, kind, handle);
    }
    std::u16string MusicFile(std::uint32_t handle) {
        std::u16string path(GetSoundItemData(context_->banks, handle, nullptr) / 2, u'\0');
        GetSoundItemData(context_->banks, handle, path.data());
        path.resize(std::char_traits<char16_t>::length(path.c_str()));
        return path;
    }
    bool Exists(const std::u16string& path) {
        return win32::GetFileAttributesW(path.c_str()) != win32::INVALID_FILE_ATTRIBUTES;
    }
    void PlayOnChannel(std::uint32_t handle) {
        filters_ = NewSoundFilterMgr();
        const std::string bin = VTR_BIN_DIR;
        filters_->Scan(std::u16string(bin.begin(), bin.end()).c_str(), 3);
        manager_ = CreateSoundManagerForWindow(filters_, nullptr);
        ASSERT_NE(manager_, nullptr);
        manager_->Register(nullptr);
        ASSERT_EQ(PlaySoundItemW(manager_, context_, SoundHandle(handle), nullptr, PlayLoops, 0, 0),
                  PlayStarted);
    }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    AppContext* context_ = nullptr;
    CSoundFilterMgr* filters_ = nullptr;
    CSoundManager* manager_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

} // namespace

TEST_F(SoundWiring, TheFramesEventsLoadTheirSoundsAndNameThemByLibraryHandle) {
    Load();
    EXPECT_EQ(context_->channelCount, 32) << "the header asks for every channel";
    const std::uint32_t coin = Handle(AppBankSounds, 1);
    const std::uint32_t theme = Handle(AppBankMusic, 0);
    ASSERT_NE(coin, 0u);
    ASSERT_NE(theme, 0u);
    EXPECT_EQ(Handle(AppBankSounds, 0), 0u) << "not named by this frame";
    EXPECT_EQ(Count(AppBankSounds, coin), 1u);
    EXPECT_EQ(EventSoundHandles(*app_->run.frame), std::make_pair(coin, theme));
    char16_t name[8] = {};
    ASSERT_EQ(GetSoundItemNameW(context_->banks, coin, name, 8), 1);
    EXPECT_EQ(std::u16string(name), u"Coin");
    // The music is a file of the application's music folder, holding the tune.
    const std::u16string file = MusicFile(theme);
    EXPECT_EQ(file.rfind(std::u16string(app_->musicFolder), 0), 0u);
    EXPECT_EQ(file.substr(file.size() - 4), u".mid");
    EXPECT_TRUE(Exists(file));

    // The next frame names the other sample and no music: what is no longer used goes, with the music's file.
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    EXPECT_EQ(Handle(AppBankSounds, 1), 0u);
    EXPECT_NE(Handle(AppBankSounds, 0), 0u);
    EXPECT_EQ(Handle(AppBankMusic, 0), 0u);
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(EventSoundHandles(*app_->run.frame).second, 0u) << "no item: 0";
}

TEST_F(SoundWiring, FrameEndStopsTheApplicationsSounds) {
    Load();
    const std::uint32_t coin = Handle(AppBankSounds, 1);
    PlayOnChannel(coin);
    EXPECT_EQ(IsSoundPlaying(context_, SoundHandle(coin)), 1);
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    EXPECT_EQ(FindChannelOfSound(context_, SoundHandle(coin)), 0);
    EXPECT_EQ(Handle(AppBankSounds, 1), 0u);
}

TEST_F(SoundWiring, ASoundKeptPlayingAcrossFramesStaysLoadedThoughTheNextFrameDoesNotUseIt) {
    Load(HeaderKeepSounds);
    const std::uint32_t coin = Handle(AppBankSounds, 1);
    PlayOnChannel(coin);
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    EXPECT_EQ(IsSoundPlaying(context_, SoundHandle(coin)), 1);
    EXPECT_EQ(Handle(AppBankSounds, 1), coin);
    // Once it stops, the next frame load lets it go.
    StopSound(context_, SoundKindSample, SoundHandle(coin));
    ASSERT_EQ(EndWith(ExitPreviousFrame), 1);
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    EXPECT_EQ(Handle(AppBankSounds, 1), 0u);
}

TEST_F(SoundWiring, AStreamedSampleStaysInTheDataFileAndIsReferencedThere) {
    Load();
    const std::uint32_t far = LoadBankItem(*app_->banks, AppBankSounds, 2);
    ASSERT_NE(far, 0u);
    SoundItemInfo info{};
    ASSERT_EQ(GetSoundItemInfo(context_->banks, far, &info), 1);
    EXPECT_EQ(info.kind, SoundKindSample | SoundStreamedFromFile);
    std::vector<std::uint8_t> data(GetSoundItemData(context_->banks, far, nullptr));
    GetSoundItemData(context_->banks, far, data.data());
    ASSERT_GE(data.size(), sizeof(SoundFileReference));
    SoundFileReference r{};
    std::memcpy(&r, data.data(), sizeof r);
    EXPECT_EQ(r.file, win32::INVALID_HANDLE_VALUE);
    const std::uint32_t item = app_->banks->banks[AppBankSounds].offsets[2];
    EXPECT_EQ(r.position, item + 24) << "the block after the item's header";
    EXPECT_EQ(r.nameLength, 3u);
    EXPECT_EQ(r.size, 6u + Tone().size());
    const std::vector<std::uint8_t> storedName{'F', 0, 'a', 0, 'r', 0};
    EXPECT_TRUE(std::equal(storedName.begin(), storedName.end(), bytes_.begin() + r.position));
    const std::u16string name(reinterpret_cast<const char16_t*>(data.data() + sizeof r));
    EXPECT_EQ(name, std::u16string(loadertest::DataPath));
}
