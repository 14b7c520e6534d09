// A written application with object definitions, an image bank and an event program, loaded and run through
// its frames: what the loader reads, what frame start prepares and attaches, and what frame end and the
// application's close give back.
#include "core/application_record.h"
#include "core/command_line.h"
#include "core/event_state.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "events/event_preparation.h"
#include "core/event_state.h"
#include "runtime/startup/loader/loader_fixture.h"
#include "runtime/waited_clock.h"
#include "startup/banks.h"
#include "startup/object_infos.h"
#include "support/scene_fixture.h"

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace vtrrt;

constexpr std::uint16_t Ship = 4;
constexpr std::uint16_t Wall = 1;

appwriter::Bytes EventsWithOneGroup() {
    appwriter::EventProgramBuilder b;
    b.objectInfoCount = 2;
    b.conditionCounts[TypeSpecial + 7] = 40;
    appwriter::EventGroupDesc g;
    appwriter::EventRecordDesc c;
    c.type = TypeSpecial;
    c.number = -3;
    g.conditions.push_back(c);
    b.AddGroup(g);
    return b.ChunkPayload();
}

struct WrittenApp {
    appwriter::ApplicationDescription d;
    appwriter::BankPayload images;
};

WrittenApp Describe() {
    WrittenApp w;
    appwriter::ApplicationDescription& d = w.d;
    std::vector<appwriter::ObjectInfoDesc> objects(2);
    objects[0].handle = Ship;
    objects[0].name = u"Ship";
    objects[1].handle = Wall;
    objects[1].type = 1;
    objects[1].name = u"Wall";
    objects[1].definition.type = 1;
    objects[1].definition.image = 1;
    appwriter::ImageItemDesc wide;
    wide.width = 8;
    wide.height = 6;
    w.images = appwriter::WriteImageBank({appwriter::ImageItemDesc{}, wide});
    std::vector<std::uint32_t> offsets = w.images.offsets;
    offsets.insert(offsets.begin(), 0); // stored index 0 has no item
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos(objects, appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    d.extra.push_back({appwriter::ChunkImageBank, 0, w.images.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(offsets)});
    appwriter::FrameContents contents;
    contents.events = EventsWithOneGroup();
    for (int i = 0; i < 2; ++i) {
        // Only the first frame places the wall.
        contents.instances = i == 0 ? std::vector<appwriter::InstanceDesc>{{1, Wall, 0, 0, 0, 0, 0}}
                                    : std::vector<appwriter::InstanceDesc>{};
        d.frames.push_back(appwriter::DescribeFrame(320, 200, 0x10, contents));
    }
    return w;
}

class FrameWiring : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        GetCommandLineOptions().errorBoxes = 0;
        written_ = Describe();
        bytes_ = appwriter::WriteApplication(written_.d);
        app_ = loadertest::LoadFromMemory(bytes_);
        ASSERT_TRUE(app_);
    }
    void TearDown() override {
        scene::EndAndRelease(app_);
        SetFrameClock(previousClock_);
        GetCommandLineOptions().errorBoxes = 1;
    }
    int Step() { return RunApplicationStep(app_.get(), 0); }
    int EndWith(std::int16_t code) {
        CurrentRunState()->exitCode = code;
        return Step();
    }
    FrameEvents& Events() { return *app_->run.frame->events; }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    WrittenApp written_;
    std::vector<std::uint8_t> bytes_;
    loadertest::LibraryContextScope context_;
    loadertest::RecordPtr app_;
};

} // namespace

TEST_F(FrameWiring, LoaderReadsTheObjectDefinitionsAndTheBankDirectory) {
    ASSERT_NE(app_->objectInfos, nullptr);
    EXPECT_EQ(app_->objectInfos->infos.size(), 2u);
    ObjectInfo* ship = SeekObjectInfoByHandle(app_.get(), Ship);
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(ship->name, u"Ship");
    ASSERT_EQ(LoadObjectDefinition(app_.get(), *SeekObjectInfoByHandle(app_.get(), Wall)), 0);

    ASSERT_NE(app_->banks, nullptr);
    const AppBank& images = app_->banks->banks[AppBankImages];
    EXPECT_TRUE(images.present);
    ASSERT_EQ(images.offsets.size(), 3u);
    EXPECT_EQ(images.hasItem[0], 0);
    // Each offset is absolute in the data and lands on the item the writer stored there.
    for (std::size_t i = 1; i < 3; ++i) {
        ASSERT_EQ(images.hasItem[i], 1);
        const std::uint32_t at = images.offsets[i];
        const std::uint32_t inBank = written_.images.offsets[i - 1];
        ASSERT_LT(at, bytes_.size());
        EXPECT_EQ(at - inBank, images.payloadPosition);
        EXPECT_TRUE(std::equal(written_.images.items.begin() + inBank,
                               written_.images.items.begin() + inBank + 32, bytes_.begin() + at));
    }
    EXPECT_FALSE(app_->banks->banks[AppBankSounds].present);
}

TEST_F(FrameWiring, FrameStartPreparesTheEventsAndAttachesTheRunsEventState) {
    ASSERT_EQ(StartApplication(app_.get()), 1);
    ASSERT_EQ(Step(), 1);
    FrameRunState* run = CurrentRunState();
    ASSERT_NE(run, nullptr);
    ASSERT_NE(run->eventState, nullptr);
    EXPECT_EQ(CurrentEventState(), run->eventState);
    EXPECT_EQ(run->eventState->run, run);
    EXPECT_EQ(run->eventState->events, &Events());
    EXPECT_NE(Events().prepared, 0);
    EXPECT_NE(SystemConditionList(Events(), TypeSpecial, -3), nullptr);
}

TEST_F(FrameWiring, FrameRestartPreparesThePristineProgramAgain) {
    ASSERT_EQ(StartApplication(app_.get()), 1);
    ASSERT_EQ(Step(), 1);
    const std::vector<std::uint8_t> prepared = Events().program;
    ASSERT_FALSE(prepared.empty());
    // What a run changes in its working program (group flags, counters) must not survive a restart.
    std::fill(Events().program.begin(), Events().program.end() - 4, 0x5A);
    ASSERT_EQ(EndWith(ExitRestartFrame), 1);
    EXPECT_EQ(Events().program, prepared);
    EXPECT_NE(Events().prepared, 0);
    ASSERT_NE(CurrentRunState()->eventState, nullptr);
    EXPECT_EQ(CurrentEventState(), CurrentRunState()->eventState);
    EXPECT_EQ(CurrentEventState()->run, CurrentRunState());
}

TEST_F(FrameWiring, FrameEndReleasesTheEventStateAndTheNextFrameGetsItsOwn) {
    ASSERT_EQ(StartApplication(app_.get()), 1);
    ASSERT_EQ(Step(), 1);
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    ASSERT_EQ(app_->currentFrameIndex, 1);
    EXPECT_NE(Events().prepared, 0);
    EXPECT_EQ(CurrentEventState(), CurrentRunState()->eventState);
    ASSERT_EQ(EndWith(ExitEndApplication), 0);
    EXPECT_EQ(CurrentRunState(), nullptr);
    EXPECT_EQ(CurrentEventState(), nullptr);
}

TEST_F(FrameWiring, CloseApplicationFreesTheObjectDefinitionsAndBanks) {
    ASSERT_EQ(StartApplication(app_.get()), 1);
    ASSERT_EQ(Step(), 1);
    ASSERT_NE(SeekObjectInfoByHandle(app_.get(), Wall), nullptr);
    ASSERT_EQ(LoadObjectDefinition(app_.get(), *SeekObjectInfoByHandle(app_.get(), Wall)), 0);
    // Closing the running application gives everything back; the leak checker sees what it would not.
    scene::EndStarted(*app_);
    CloseApplication(app_.release());
    EXPECT_EQ(CurrentEventState(), nullptr);
}

TEST_F(FrameWiring, FrameLoadLoadsAndTranslatesTheDefinitionsItPlaces) {
    ASSERT_EQ(StartApplication(app_.get()), 1);
    ASSERT_EQ(Step(), 1);
    ObjectInfo* wall = SeekObjectInfoByHandle(app_.get(), Wall);
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->runFlags & InfoDefinitionLoaded, InfoDefinitionLoaded);
    // The stored index 1 becomes the handle the run's library context gave the item.
    EXPECT_EQ(wall->runFlags & InfoTranslated, InfoTranslated);
    const std::uint16_t handle = DefU16(wall->definition, BackdropImage);
    EXPECT_NE(handle, 0);
    EXPECT_EQ(handle, HandleOfStoredIndex(*app_->banks, AppBankImages, 1));
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    EXPECT_EQ(wall->runFlags & InfoDefinitionLoaded, 0u) << "the next frame places no wall";
}
