// Saved positions: the checks a file must pass before the frame changes, and a frame of actives, texts,
// counters, score displays, run-time backdrops, global values and strings and the global-object store
// written and read back field by field and pixel for pixel.
#include "runtime/builtin/counters/counters_fixture.h"

#include "objects/backgrounds.h"
#include "objects/display_list.h"
#include "persist/global_object_store.h"
#include "persist/saved_positions.h"
#include "startup/player_globals.h"
#include "support/dialog_driver.h"

#include "win32/comdlg.h"

#include <filesystem>
#include <fstream>

using namespace counterstest;

namespace {

constexpr std::uint16_t ActiveInfo = 3;

class SavedPosition : public CounterTest {
protected:
    void StartFrame() {
        std::vector<appwriter::ObjectInfoDesc> objects{
            CounterObject(1, TypeCounter, Digits(), {345, 0, 100000}),
            CounterObject(2, TypeScoreDisplay, Digits()),
            ObjectOf(MakeActive(ActiveInfo, {LifeImage}, KeyedInk)),
            TextObject(4, 60, 20, {{0, 0, RGB(250, 230, 20), u"Hello"}}),
        };
        objects[2].definition.objectFlags |= ObjectHasValues;
        // Global: their values outlive the frame in the global-object store.
        for (std::size_t i : {0u, 2u, 3u})
            objects[i].headerFlags = InfoHeaderGlobal;
        appwriter::ApplicationDescription d = Application(objects, {{1, 1, 10, 10, 0, 0, 0},
                                                                    {2, 2, 10, 30, 0, 0, 0},
                                                                    {3, ActiveInfo, 80, 60, 0, 0, 0},
                                                                    {4, ActiveInfo, 100, 70, 0, 0, 0},
                                                                    {5, 4, 20, 90, 0, 0, 0}});
        StartDescribed(d);
        Tick();
        path_ = std::filesystem::temp_directory_path() /
                ("vtr-position-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".vpp");
    }
    void TearDown() override {
        std::filesystem::remove(path_);
        CounterTest::TearDown();
    }
    std::u16string Path() const { return path_.u16string(); }
    void WriteBytes(const std::vector<std::uint8_t>& bytes) const {
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<COLORREF> Pixels() {
        std::vector<COLORREF> p;
        for (int y = 0; y < FrameHeight; ++y)
            for (int x = 0; x < FrameWidth; ++x)
                p.push_back(Shown(x, y));
        return p;
    }
    std::filesystem::path path_;
};

struct CheckCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> change;
    int expected;
};

// Offsets in a written file: magic 13, version at 13, name size at 15, the name, then stamp and frame.
std::size_t StampAt(const std::vector<std::uint8_t>& b) {
    return 17 + static_cast<std::size_t>(b[15] | (b[16] << 8));
}
void SetU16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

TEST_F(SavedPosition, EachCheckGivesItsMessageNumber) {
    StartFrame();
    const std::vector<std::uint8_t> written = WriteApplicationPosition(7);
    ASSERT_FALSE(written.empty());
    const std::vector<CheckCase> cases{
        {"as written", [](auto&) {}, PositionValid},
        {"bad magic", [](auto& b) { b[3] = 'x'; }, PositionNotAPosition},
        {"no version word", [](auto& b) { b.resize(14); }, PositionNotAPosition},
        {"short magic", [](auto& b) { b.resize(12); }, PositionReadError},
        {"version 10", [](auto& b) { SetU16(b, 13, 10); }, PositionValid},
        {"version 11 | 0x8000", [](auto& b) { SetU16(b, 13, 0x800B); }, PositionValid},
        {"version 12", [](auto& b) { SetU16(b, 13, 12); }, PositionValid},
        {"version 13", [](auto& b) { SetU16(b, 13, 13); }, PositionIncompatibleVersion},
        {"version 0x800D", [](auto& b) { SetU16(b, 13, 0x800D); }, PositionIncompatibleVersion},
        {"another application", [](auto& b) { b[17] ^= 1; }, PositionOtherApplication},
        {"another stamp", [](auto& b) { b[StampAt(b)] ^= 1; }, PositionOtherApplication},
        {"another frame", [](auto& b) { SetU16(b, StampAt(b) + 4, 1); }, PositionOtherFrame},
        {"truncated", [](auto& b) { b.resize(b.size() - 3); }, PositionReadError},
        {"trailing bytes", [](auto& b) { b.push_back(0); }, PositionReadError},
    };
    for (const CheckCase& c : cases) {
        std::vector<std::uint8_t> bytes = written;
        c.change(bytes);
        PositionImage image;
        EXPECT_EQ(ParsePosition(bytes, ExpectationOfCurrentFrame(7), image), c.expected) << c.name;
    }
    // A truncation anywhere is read as damage or as a file of another kind, never applied.
    for (std::size_t size = 0; size < written.size(); size += 7) {
        PositionImage image;
        EXPECT_NE(ParsePosition({written.data(), size}, ExpectationOfCurrentFrame(7), image), PositionValid)
            << size;
    }
}

TEST_F(SavedPosition, ARefusedOrDamagedFileLeavesTheFrameAsItWas) {
    StartFrame();
    FrameRunState* before = CurrentRunState();
    RunObject* counter = Object(0);
    std::vector<std::uint8_t> bytes = WriteApplicationPosition(0);
    bytes.resize(bytes.size() / 2);
    WriteBytes(bytes);
    EXPECT_EQ(LoadApplicationPosition(Path().c_str()), PositionLoad::Refused);
    EXPECT_EQ(CurrentRunState(), before);
    EXPECT_EQ(Object(0), counter);
    EXPECT_EQ(LoadApplicationPosition(u"/nonexistent/none.vpp"), PositionLoad::Refused);
    EXPECT_EQ(CurrentRunState(), before);
    // A position of another stamp: the stamp is the loading event's.
    ASSERT_EQ(SaveApplicationPosition(Path().c_str()), 1);
    CurrentRunState()->positionStamp = 5;
    EXPECT_EQ(LoadApplicationPosition(Path().c_str()), PositionLoad::Refused);
    EXPECT_EQ(CurrentRunState(), before);
}

// A creation number of 0 marks a record still waiting to be made, which its destruction frees without taking
// down what its movement, sprite and values own. A file that says 0 for an object (damaged, or written
// while it waited) makes the object whole again all the same.
TEST_F(SavedPosition, AnObjectLoadedWithCreationNumberZeroIsWhole) {
    StartFrame();
    RunObject* active = Object(3);
    ASSERT_NE(active, nullptr);
    const std::uint16_t number = active->creationNumber;
    ASSERT_NE(number, 0);
    active->creationNumber = 0;
    ASSERT_EQ(SaveApplicationPosition(Path().c_str()), 1);
    active->creationNumber = number;
    ASSERT_EQ(LoadApplicationPosition(Path().c_str()), PositionLoad::Applied);
    ASSERT_NE(Object(3), nullptr);
    EXPECT_NE(Object(3)->creationNumber, 0) << "the loaded object reads as a record still waiting";
}

TEST_F(SavedPosition, ARoundTripRestoresEveryObjectAndThePicture) {
    StartFrame();
    // The state to keep: values, positions, a counter, a score, a text, a global, a run-time backdrop.
    AddLayerBackdrop(Slot(2), 0, true);
    SetCounterValue(Object(0), TypedValue::Int(4321));
    app_->globals.scores[0] = ~120;
    RefreshPlayerCounters(TypeScoreDisplay, 0, ~120);
    Active(2)->x = 50;
    Active(2)->changed = 1;
    TypedValue seven = TypedValue::Double(7.5);
    SetGlobalValue(app_.get(), 2, &seven);
    SetGlobalString(app_.get(), 1, u"kept");
    ShowTextString(Object(4), u"Saved");
    static_cast<TypedValue*>(ValuesBlockOf(Object(3))->values)[4] = TypedValue::Int(99);
    SetAlterableString(Object(3), 2, u"alpha");
    Tick();
    Tick();
    StoreGlobalObjects();
    ASSERT_NE(app_->run.globalStore, nullptr);
    ASSERT_EQ(app_->run.globalStore->count, 3);
    const std::vector<COLORREF> picture = Pixels();
    // The active pasted itself where it stood before it moved.
    ASSERT_EQ(Shown(81, 61), RGB(220, 40, 60));
    ASSERT_EQ(SaveApplicationPosition(Path().c_str()), 1);
    const std::vector<std::uint8_t> first = WriteApplicationPosition(0);

    // Everything changes...
    SetCounterValue(Object(0), TypedValue::Int(5));
    app_->globals.scores[0] = ~3;
    RefreshPlayerCounters(TypeScoreDisplay, 0, ~3);
    Active(2)->x = 20;
    Active(2)->changed = 1;
    ShowTextString(Object(4), u"Changed");
    TypedValue zero = TypedValue::Int(0);
    SetGlobalValue(app_.get(), 2, &zero);
    SetGlobalString(app_.get(), 1, u"gone");
    DeleteLayerBackdrops(0);
    DestroyObject(3, 1);
    FreeGlobalObjectStore(*app_);
    Tick();
    ASSERT_NE(Pixels(), picture);

    // ...and comes back.
    ASSERT_EQ(LoadApplicationPosition(Path().c_str()), PositionLoad::Applied);
    EXPECT_EQ(CounterValue(Counter(0)).ToInt(), 4321);
    EXPECT_EQ(CounterValue(Counter(1)).ToInt(), 120);
    EXPECT_EQ(app_->globals.scores[0], ~120);
    EXPECT_EQ(Active(2)->x, 50);
    EXPECT_EQ(TextShown(Object(4)), u"Saved");
    EXPECT_EQ(GetGlobalValueSlot(app_.get(), 2)->ToDouble(), 7.5);
    EXPECT_EQ(std::u16string(GetGlobalString(app_.get(), 1)), u"kept");
    ASSERT_NE(Object(3), nullptr);
    EXPECT_EQ(static_cast<TypedValue*>(ValuesBlockOf(Object(3))->values)[4].ToInt(), 99);
    EXPECT_EQ(std::u16string(ValuesBlockOf(Object(3))->strings[2]), u"alpha");
    ASSERT_NE(app_->run.globalStore, nullptr);
    EXPECT_EQ(app_->run.globalStore->count, 3);
    // Written again, the position is the same bytes but for the clock's base.
    std::vector<std::uint8_t> again = WriteApplicationPosition(0);
    const std::size_t clockBase = StampAt(first) + 6 + 20;
    for (std::size_t i = clockBase; i < clockBase + 4; ++i)
        again[i] = first[i];
    EXPECT_EQ(again, first);
    Tick();
    EXPECT_EQ(Pixels(), picture);
}

TEST_F(SavedPosition, AFailedSaveKeepsTheOldFile) {
    StartFrame();
    ASSERT_EQ(SaveApplicationPosition(Path().c_str()), 1);
    const auto size = std::filesystem::file_size(path_);
    EXPECT_EQ(SaveApplicationPosition((Path() + u"/inside").c_str()), 0);
    EXPECT_EQ(std::filesystem::file_size(path_), size);
    std::vector<std::filesystem::path> left;
    for (const auto& e : std::filesystem::directory_iterator(path_.parent_path()))
        if (e.path().string().find(path_.filename().string()) == 0 && e.path() != path_) left.push_back(e);
    EXPECT_TRUE(left.empty());
}

} // namespace

namespace {

// Steps until the application runs its frame of that index.
void RunUntilFrame(ApplicationRecord& app, std::int32_t index) {
    for (int i = 0; i < 200 && !(app.currentFrameIndex == index && app.runState == StateRunFrame); ++i)
        ASSERT_EQ(RunApplicationStep(&app, 0), 1);
    ASSERT_EQ(app.currentFrameIndex, index);
}

TEST_F(SavedPosition, ALoadAndJumpGoesToTheSavedFrameWhereAPlainLoadIsRefused) {
    appwriter::ApplicationDescription d =
        Application({CounterObject(1, TypeCounter, Digits(), {345, 0, 100000})}, {{1, 1, 40, 40, 0, 0, 0}});
    d.frames.push_back(d.frames[0]);
    StartDescribed(d);
    path_ =
        std::filesystem::temp_directory_path() / ("vtr-position-jump-" + std::to_string(::getpid()) + ".vpp");
    CurrentRunState()->exitCode = ExitJumpToFrame;
    CurrentRunState()->exitParameter = 1 | 0x8000;
    RunUntilFrame(*app_, 1);
    SetCounterValue(Object(0), TypedValue::Int(777));
    ASSERT_EQ(SaveApplicationPosition(Path().c_str()), 1);

    CurrentRunState()->exitCode = ExitJumpToFrame;
    CurrentRunState()->exitParameter = 0 | 0x8000;
    RunUntilFrame(*app_, 0);
    EXPECT_EQ(LoadApplicationPosition(Path().c_str()), PositionLoad::Refused);
    EXPECT_EQ(CounterValue(Counter(0)).ToInt(), 345);

    const std::u16string path = Path();
    std::copy(path.begin(), path.end(), CurrentRunState()->positionFile);
    CurrentRunState()->positionFile[path.size()] = 0;
    CurrentRunState()->exitCode = ExitLoadPositionJump;
    RunUntilFrame(*app_, 1);
    Tick();
    EXPECT_EQ(CounterValue(Counter(0)).ToInt(), 777);
    EXPECT_EQ(app_->run.pendingPositionFile[0], 0);
}

} // namespace

namespace {

using Driver = test_support::DialogDriver;

Driver::Step Name(std::u16string name) {
    return [=](win32::HWND dialog) { win32::SetDlgItemTextW(dialog, win32::edt1, name.c_str()); };
}

TEST_F(SavedPosition, TheDialogsNameTheFileAndANameWithoutExtensionTakesVpp) {
    StartFrame();
    const std::filesystem::path chosen = path_.parent_path() / ("vtr-chosen-" + std::to_string(::getpid()));
    {
        Driver driver;
        driver.Then(Name(chosen.u16string())).Then(Driver::Press(win32::IDOK));
        EXPECT_EQ(SaveApplicationPosition(nullptr), 1);
    }
    std::filesystem::path written = chosen;
    written += ".vpp";
    ASSERT_TRUE(std::filesystem::exists(written));
    SetCounterValue(Object(0), TypedValue::Int(9));
    FrameRunState* before = CurrentRunState();
    {
        Driver driver;
        driver.Then(Driver::Key(win32::VK_ESCAPE));
        EXPECT_EQ(LoadApplicationPosition(nullptr), PositionLoad::Cancelled);
    }
    EXPECT_EQ(CurrentRunState(), before);
    {
        Driver driver;
        driver.Then(Name(written.u16string())).Then(Driver::Press(win32::IDOK));
        EXPECT_EQ(LoadApplicationPosition(nullptr), PositionLoad::Applied);
    }
    EXPECT_EQ(CounterValue(Counter(0)).ToInt(), 345);
    std::filesystem::remove(written);
}

} // namespace
