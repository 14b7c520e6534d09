#include "events_fixture.h"

using namespace eventtest;
using appwriter::ExpressionBuilder;
using appwriter::StringForm;

namespace {

// Offsets of every group and record, in program order.
struct Layout : EventVisitor {
    std::vector<std::size_t> groups;
    std::vector<std::vector<std::size_t>> records;
    bool Group(const EventGroupView& g) override {
        groups.push_back(g.offset);
        records.emplace_back();
        return true;
    }
    bool Record(const EventGroupView&, const EventRecordView& r) override {
        records.back().push_back(r.offset);
        return true;
    }
};

Layout LayoutOf(std::vector<std::uint8_t>& program) {
    Layout l;
    EXPECT_EQ(WalkEventProgram(program, l), EventsOk);
    return l;
}

EventProgramBuilder SmallProgram(StringForm form = StringForm::Wide) {
    EventProgramBuilder b(form);
    b.objectInfoCount = 2;
    b.conditionCounts[TypeSpecial + 7] = 30;
    EventGroupDesc g;
    g.conditions.push_back(Condition(TypeSpecial, -1, 0, RecordEveryLoop));
    g.actions.push_back(Action(2, 3, 10));
    b.AddGroup(g);
    return b;
}

} // namespace

TEST(EventProgramReading, ChunkInOneOrSeveralPiecesReadsTheProgramAsWritten) {
    for (int pieces : {1, 3}) {
        EventProgramBuilder b = SmallProgram();
        b.AddGroup(b.Groups()[0]);
        b.qualifiers.push_back({0x8001, 2});
        b.maxObjects = 500;
        FrameEvents events;
        ASSERT_EQ(ReadFrameEvents(events, b.ChunkPayload(pieces), true, 1252), EventsOk);
        EXPECT_EQ(events.stored, b.Program());
        EXPECT_EQ(events.program, events.stored);
        EXPECT_EQ(events.header.maxObjects, 500);
        EXPECT_EQ(events.header.objectInfoCount, 2);
        EXPECT_EQ(events.header.conditionCounts[TypeSpecial + 7], 30);
        ASSERT_EQ(events.header.qualifiers.size(), 1u);
        EXPECT_EQ(events.header.qualifiers[0].qualifier, 0x8001);
    }
}

TEST(EventProgramReading, FewerThan300ObjectsBecome300) {
    EventProgramBuilder b = SmallProgram();
    b.maxObjects = 12;
    FrameEvents events;
    ReadInto(events, b);
    EXPECT_EQ(events.header.maxObjects, 300);
}

TEST(EventProgramReading, HandWrittenChunkGivesItsGroupAndTerminator) {
    // "ER>>" header with 2 object infos and no qualifiers, "ERes" 20, one group of one action with no
    // parameters, "<<ER".
    std::vector<std::uint8_t> chunk = {'E', 'R', '>', '>', 0x2C, 0x01, 2, 0, 0, 0};
    chunk.resize(chunk.size() + 34, 0);
    chunk.insert(chunk.end(), {0, 0}); // qualifier count
    // Group of 30 bytes (size -30), no condition, one action; the action: size 14, type 2, number 5,
    // object info 10, no parameters.
    const std::vector<std::uint8_t> g = {0xE2, 0xFF, 0, 1, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0,
                                         0,    14,   0, 2, 0, 5, 0, 10, 0, 0, 0, 0, 0, 0, 0};
    chunk.insert(chunk.end(), {'E', 'R', 'e', 's', 30, 0, 0, 0, 'E', 'R', 'e', 'v', 30, 0, 0, 0});
    chunk.insert(chunk.end(), g.begin(), g.end());
    chunk.insert(chunk.end(), {'<', '<', 'E', 'R'});
    FrameEvents events;
    ASSERT_EQ(ReadFrameEvents(events, chunk, true, 1252), EventsOk);
    EXPECT_EQ(events.header.maxObjects, 300);
    ASSERT_EQ(events.stored.size(), 34u);
    EXPECT_TRUE(std::equal(g.begin(), g.end(), events.stored.begin()));
    EXPECT_EQ(GetI16(events.stored.data() + 30), 0);
    EXPECT_EQ(GetI16(events.stored.data() + 32), -1);
    Layout l = LayoutOf(events.stored);
    ASSERT_EQ(l.records.size(), 1u);
    EXPECT_EQ(l.records[0], std::vector<std::size_t>{16});
}

TEST(EventProgramReading, ProgramWithoutGroupsHoldsOnlyTheTerminatorAndPrepares) {
    EventProgramBuilder b;
    FrameEvents events;
    ReadInto(events, b);
    EXPECT_EQ(events.stored, (std::vector<std::uint8_t>{0, 0, 0xFF, 0xFF}));
    RunStateFixture f({});
    EXPECT_EQ(PrepareFrameEvents(events, f.state), 0);
    EXPECT_EQ(events.prepared, 1);
    EXPECT_TRUE(events.everyLoop.empty());
}

TEST(EventProgramReading, TruncatedChunkKeepsTheWholeGroupsTerminated) {
    EventProgramBuilder b = SmallProgram();
    b.AddGroup(b.Groups()[0]);
    const auto full = b.ChunkPayload();
    const std::size_t oneGroup = (b.Program().size() - 4) / 2;
    // Cut inside the second group.
    std::vector<std::uint8_t> cut(full.begin(), full.end() - 4 - static_cast<std::ptrdiff_t>(oneGroup / 2));
    FrameEvents events;
    EXPECT_EQ(ReadFrameEvents(events, cut, true, 1252), EventsEndOfData);
    ASSERT_EQ(events.stored.size(), oneGroup + 4);
    EXPECT_EQ(GetI16(events.stored.data() + oneGroup), 0);
    RunStateFixture f({{10, 2}});
    EXPECT_EQ(PrepareFrameEvents(events, f.state), 0);
}

TEST(EventProgramReading, GroupDataBeyondTheAnnouncedSizeIsRefused) {
    EventProgramBuilder b = SmallProgram();
    auto chunk = b.ChunkPayload();
    // "ERes" says 4 bytes fewer than "ERev" brings.
    const std::size_t at = b.HeaderItem().size() + 4;
    chunk[at] = static_cast<std::uint8_t>(chunk[at] - 4);
    FrameEvents events;
    EXPECT_EQ(ReadFrameEvents(events, chunk, true, 1252), EventsDamaged);
    // What stays is terminated (here: nothing of the groups).
    ASSERT_EQ(events.stored.size(), 4u);
    EXPECT_EQ(GetI16(events.stored.data()), 0);
}

TEST(EventProgramReading, SizeLargerThanThePayloadTakesOnlyWhatArrives) {
    std::vector<std::uint8_t> chunk = {'E', 'R', 'e', 's', 0xFF, 0xFF, 0xFF, 0x7F, '<', '<', 'E', 'R'};
    FrameEvents events;
    EXPECT_EQ(ReadFrameEvents(events, chunk, true, 1252), EventsOk);
    EXPECT_EQ(events.stored, (std::vector<std::uint8_t>{0, 0, 0xFF, 0xFF}));
}

TEST(EventProgramReading, GroupsBeforeTheSizeAreRefused) {
    std::vector<std::uint8_t> chunk = {'E', 'R', 'e', 'v', 4, 0, 0, 0, 1, 2, 3, 4, '<', '<', 'E', 'R'};
    FrameEvents events;
    EXPECT_EQ(ReadFrameEvents(events, chunk, true, 1252), EventsDamaged);
    EXPECT_TRUE(events.stored.empty());
}

TEST(EventProgramReading, UnknownTagsAreSkipped) {
    EventProgramBuilder b = SmallProgram();
    auto chunk = b.ChunkPayload();
    chunk.insert(chunk.begin(), {'X', 'Y', 'Z', 'W'});
    FrameEvents events;
    ASSERT_EQ(ReadFrameEvents(events, chunk, true, 1252), EventsOk);
    EXPECT_EQ(events.stored, b.Program());
}

// Every parameter kind with a string, in both forms: the converted 8-bit program is the UTF-16 one.
EventProgramBuilder StringProgram(StringForm form) {
    EventProgramBuilder b(form);
    EventGroupDesc head;
    head.conditions.push_back(Condition(TypeSpecial, -2));
    head.conditions.back().parameters.push_back(
        appwriter::GroupParameter(u"Group title", u"secret", 0x12345678));
    b.AddGroup(head);
    EventGroupDesc g;
    EventRecordDesc a = Action(TypeSpeaker, 1);
    a.parameters.push_back(appwriter::SampleParameter(6, 3, 1, u"Explosion"));
    a.parameters.push_back(appwriter::SampleParameter(36, 4, 0, u"Theme"));
    a.parameters.push_back(appwriter::FileParameter(40, u"C:\\data\\level.txt"));
    a.parameters.push_back(appwriter::ProgramParameter(2, u"notepad.exe", u"readme.txt"));
    a.parameters.push_back(appwriter::Named57Parameter(9, u"Name"));
    a.parameters.push_back(appwriter::StringParameter(u"caf\u00e9 text"));
    a.parameters.push_back(appwriter::ShortStringParameter(5, u"short"));
    a.parameters.push_back(appwriter::ExpressionParameter(22, ExpressionBuilder()
                                                                  .String(u"Hello")
                                                                  .Operator(appwriter::OperatorAddCode)
                                                                  .Integer(5)
                                                                  .Comma()
                                                                  .String(u"x")));
    g.actions.push_back(a);
    EventRecordDesc ref = Action(TypeSpecial, 7);
    ref.parameters.push_back(appwriter::GroupReferenceParameter(0));
    g.actions.push_back(ref);
    b.AddGroup(g);
    b.AddGroup(head);
    EventGroupDesc back;
    EventRecordDesc ref2 = Action(TypeSpecial, 7);
    ref2.parameters.push_back(appwriter::GroupReferenceParameter(2));
    back.actions.push_back(ref2);
    b.AddGroup(back);
    return b;
}

TEST(EventProgramConversion, EightBitProgramBecomesTheUtf16Program) {
    FrameEvents narrow;
    ASSERT_EQ(ReadFrameEvents(narrow, StringProgram(StringForm::Ansi).ChunkPayload(), false, 1252), EventsOk);
    const auto wide = StringProgram(StringForm::Wide).Program();
    EXPECT_EQ(narrow.stored, wide);
}

TEST(EventProgramConversion, GroupReferencesStillReachTheirGroups) {
    FrameEvents narrow;
    ASSERT_EQ(ReadFrameEvents(narrow, StringProgram(StringForm::Ansi).ChunkPayload(), false, 1252), EventsOk);
    Layout l = LayoutOf(narrow.stored);
    ASSERT_EQ(l.groups.size(), 4u);
    // The reference of group 1's second action names group 0; group 3's names group 2.
    const std::size_t param1 = l.records[1][1] + ActionHeaderBytes;
    EXPECT_EQ(param1 + static_cast<std::size_t>(GetI32(narrow.stored.data() + param1 + 4)), l.groups[0]);
    const std::size_t param3 = l.records[3][0] + ActionHeaderBytes;
    EXPECT_EQ(param3 + static_cast<std::size_t>(GetI32(narrow.stored.data() + param3 + 4)), l.groups[2]);
    RunStateFixture f({});
    EXPECT_EQ(PrepareFrameEvents(narrow, f.state), 0);
}

TEST(EventProgramConversion, ParameterWalkersSeeTheConvertedStrings) {
    FrameEvents events;
    ASSERT_EQ(ReadFrameEvents(events, StringProgram(StringForm::Ansi).ChunkPayload(), false, 1252), EventsOk);
    std::vector<std::u16string> files;
    ForEachEventFileParameter(
        events.stored,
        [](int, char16_t* text, std::size_t, void* user) {
            static_cast<std::vector<std::u16string>*>(user)->push_back(text);
        },
        &files);
    EXPECT_EQ(files, (std::vector<std::u16string>{u"C:\\data\\level.txt", u"notepad.exe"}));
    std::vector<std::pair<int, int>> sounds;
    ForEachEventSoundParameter(
        events.stored,
        [](std::uint8_t* payload, int bank, void* user) {
            static_cast<std::vector<std::pair<int, int>>*>(user)->emplace_back(GetU16(payload), bank);
        },
        &sounds);
    EXPECT_EQ(sounds, (std::vector<std::pair<int, int>>{{3, 2}, {4, 3}}));
}

TEST(EventProgramReading, EmptyChunkHoldsNoProgram) {
    FrameEvents events;
    EXPECT_EQ(ReadFrameEvents(events, {}, true, 1252), EventsOk);
    EXPECT_TRUE(events.stored.empty());
    RunStateFixture f({});
    EXPECT_EQ(PrepareFrameEvents(events, f.state), 0);
}
