#include "events_fixture.h"

#include <functional>

using namespace eventtest;
using appwriter::ExpressionBuilder;
using appwriter::ObjectParameter;

namespace {

constexpr std::uint16_t Ship = 10, Rock = 11, Bullet = 12;
constexpr std::uint16_t Enemies = 0x8003;

struct Offsets : EventVisitor {
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

class Prepared : public ::testing::Test {
protected:
    Prepared() : fixture({{Ship, 2}, {Rock, 2, 0x200, {3}}, {Bullet, 2, 0x1000, {3}}, {13, 3, 0x200, {3}}}) {}

    void Build() {
        ReadInto(events, builder);
        ASSERT_EQ(PrepareFrameEvents(events, fixture.state), 0);
        ASSERT_EQ(WalkEventProgram(events.program, offsets), EventsOk);
    }
    std::pair<int, int> At(std::size_t group, std::size_t record) const {
        return {static_cast<int>(offsets.groups[group]), static_cast<int>(offsets.records[group][record])};
    }
    std::uint16_t GroupFlagsOf(std::size_t group) const {
        return GetU16(events.program.data() + offsets.groups[group] + GroupFlags);
    }

    EventProgramBuilder builder = [] {
        EventProgramBuilder b;
        b.objectInfoCount = 4;
        b.conditionCounts[TypeSpecial + 7] = 40;
        b.conditionCounts[TypeKeyboardMouse + 7] = 12;
        b.conditionCounts[2 + 7] = 5;
        b.qualifiers.push_back({Enemies, 2});
        return b;
    }();
    RunStateFixture fixture;
    FrameEvents events;
    Offsets offsets;
};

} // namespace

TEST_F(Prepared, GroupsAreListedUnderTheirFirstConditionAndAfterEachOr) {
    EventGroupDesc g0;
    g0.conditions.push_back(Condition(TypeKeyboardMouse, -9));
    g0.conditions.push_back(Condition(2, -30, Ship));
    builder.AddGroup(g0);
    EventGroupDesc g1;
    g1.conditions.push_back(Condition(2, -30, Ship));
    g1.conditions.push_back(Condition(TypeSpecial, -25));
    g1.conditions.push_back(Condition(2, -31, Rock));
    g1.conditions.push_back(Condition(TypeSpecial, -24));
    g1.conditions.push_back(Condition(TypeSpecial, -3));
    builder.AddGroup(g1);
    Build();
    EXPECT_EQ(Pairs(SystemConditionList(events, TypeKeyboardMouse, -9)), (std::vector{At(0, 0)}));
    // The second condition of a group without or is not listed.
    EXPECT_EQ(Pairs(ObjectConditionList(events, 0, -30)), (std::vector{At(1, 0)}));
    EXPECT_EQ(Pairs(ObjectConditionList(events, 1, -31)), (std::vector{At(1, 2)}));
    EXPECT_EQ(Pairs(SystemConditionList(events, TypeSpecial, -3)), (std::vector{At(1, 4)}));
    // Logical or first: both or-conditions become -25.
    EXPECT_EQ(GroupFlagsOf(1) & (GroupHasOr | GroupLogicalOr), GroupHasOr | GroupLogicalOr);
    EXPECT_EQ(GetI16(events.program.data() + offsets.records[1][3] + RecordNumber), -25);
    EXPECT_EQ(GroupFlagsOf(0) & GroupHasOr, 0);
}

TEST_F(Prepared, EveryLoopListKeepsProgramOrder) {
    for (int i = 0; i < 3; ++i) {
        EventGroupDesc g;
        g.conditions.push_back(Condition(TypeSpecial, -1, 0, i == 1 ? 0 : RecordEveryLoop));
        g.conditions.push_back(Condition(TypeSpecial, -2, 0, RecordEveryLoop)); // not first: not listed
        builder.AddGroup(g);
    }
    Build();
    ASSERT_EQ(events.everyLoop.size(), 2u);
    EXPECT_EQ(events.everyLoop[0].group, At(0, 0).first);
    EXPECT_EQ(events.everyLoop[0].condition, At(0, 0).second);
    EXPECT_EQ(events.everyLoop[1].group, At(2, 0).first);
}

TEST_F(Prepared, QualifierListsHoldTheMembersOfTheirType) {
    EventGroupDesc g;
    g.conditions.push_back(Condition(2, -32, Enemies));
    builder.AddGroup(g);
    Build();
    const std::uint16_t offset = events.header.qualifiers[0].listOffset;
    std::vector<std::pair<int, int>> members;
    for (const std::int16_t* m = QualifierMembers(events, offset); m && m[0] != -1; m += 2)
        members.emplace_back(m[0], m[1]);
    // Object 13 lists the qualifier but is of type 3.
    EXPECT_EQ(members, (std::vector<std::pair<int, int>>{{Rock, 1}, {Bullet, 2}}));
    EXPECT_EQ(GetU16(events.program.data() + offsets.records[0][0] + RecordResolved), offset | 0x8000);
    // A condition on a qualifier is listed under every member.
    EXPECT_EQ(Pairs(ObjectConditionList(events, 1, -32)), (std::vector{At(0, 0)}));
    EXPECT_EQ(Pairs(ObjectConditionList(events, 2, -32)), (std::vector{At(0, 0)}));
    EXPECT_EQ(ObjectConditionList(events, 0, -32), nullptr);
}

TEST_F(Prepared, CollisionConditionsPairObjectsAndSetTheirFlags) {
    EventGroupDesc g;
    EventRecordDesc c = Condition(2, ConditionCollision, Ship);
    c.parameters.push_back(ObjectParameter(Bullet, 2));
    g.conditions.push_back(c);
    g.actions.push_back(Action(2, ActionCreate4, Ship));
    builder.AddGroup(g);
    EventGroupDesc b;
    b.conditions.push_back(Condition(2, ConditionBackdrop, Rock));
    b.actions.push_back(Action(2, 25, Rock));
    builder.AddGroup(b);
    Build();
    EXPECT_EQ(fixture.Entry(0).collisionFlags, CollisionOverlap | CollisionWithObjects);
    // The bullet draws over a saved background: no sprite to test.
    EXPECT_EQ(fixture.Entry(2).collisionFlags, CollisionOverlap | CollisionWithObjects | CollisionNoSprite);
    EXPECT_EQ(fixture.Entry(1).collisionFlags, CollisionBackdrop);
    EXPECT_EQ(events.collisionPairs[0], std::vector<std::int16_t>{2});
    EXPECT_EQ(events.collisionPairs[2], std::vector<std::int16_t>{0});
    // Listed under the ship and under the bullet of its parameter.
    EXPECT_EQ(Pairs(ObjectConditionList(events, 0, ConditionCollision)), (std::vector{At(0, 0)}));
    EXPECT_EQ(Pairs(ObjectConditionList(events, 2, ConditionCollision)), (std::vector{At(0, 0)}));
    // Resolved index of the parameter, the group flags, and the create action's partner.
    EXPECT_EQ(GetU16(events.program.data() + offsets.records[0][0] + ConditionHeaderBytes + 4), 2);
    EXPECT_EQ(GroupFlagsOf(0) & GroupHasCreateOrDestroy, GroupHasCreateOrDestroy);
    EXPECT_EQ(GroupFlagsOf(1) & GroupHasSwap, GroupHasSwap);
    EXPECT_EQ(events.collisionPartners[0], (std::vector<std::int16_t>{2, -1}));
}

TEST_F(Prepared, RunTimeGroupFlagsAndDisabledBitsAreCleared) {
    EventGroupDesc g;
    g.flags = GroupOnlyOnce | GroupCounted | GroupTimed | GroupKeepFlag1 | GroupInactive;
    g.conditions.push_back(Condition(TypeSpecial, -1, 0, RecordDisabled));
    builder.AddGroup(g);
    EventGroupDesc keep = g;
    keep.conditions.push_back(Condition(TypeSpecial, ConditionKeepGroupFlag));
    builder.AddGroup(keep);
    Build();
    EXPECT_EQ(GroupFlagsOf(0), GroupInactive);
    EXPECT_EQ(GroupFlagsOf(1), GroupInactive | GroupKeepFlag1);
    EXPECT_EQ(events.program[offsets.records[0][0] + RecordRunFlags] & RecordDisabled, 0);
}

TEST_F(Prepared, ConstantLoopNamesAreRegisteredOnce) {
    for (const char16_t* name : {u"Scan", u"SCAN", u"Other"}) {
        EventGroupDesc g;
        EventRecordDesc c = Condition(TypeSpecial, ConditionNamedLoop);
        c.parameters.push_back(appwriter::ExpressionParameter(45, ExpressionBuilder().String(name)));
        g.conditions.push_back(c);
        builder.AddGroup(g);
    }
    EventGroupDesc computed;
    EventRecordDesc c = Condition(TypeSpecial, ConditionNamedLoop);
    c.parameters.push_back(appwriter::ExpressionParameter(
        45, ExpressionBuilder().String(u"A").Operator(appwriter::OperatorAddCode).String(u"B")));
    computed.conditions.push_back(c);
    builder.AddGroup(computed);
    Build();
    EXPECT_EQ(events.loopNames, (std::vector<std::u16string>{u"Scan", u"Other"}));
}

TEST_F(Prepared, ExpressionTokensOfObjectsAreResolved) {
    EventGroupDesc g;
    EventRecordDesc a = Action(TypeSpecial, 3);
    a.parameters.push_back(appwriter::ExpressionParameter(
        22, ExpressionBuilder().Object(2, 11, Bullet).Operator(appwriter::OperatorAddCode).Integer(1)));
    a.parameters.push_back(appwriter::IntParameter(ParamZeroed, 77));
    g.actions.push_back(a);
    builder.AddGroup(g);
    Build();
    const std::uint8_t* param = events.program.data() + offsets.records[0][0] + ActionHeaderBytes;
    EXPECT_EQ(GetU16(param + 6 + 8), 2);
    const std::uint8_t* zeroed = param + GetI16(param);
    EXPECT_EQ(GetI32(zeroed + 4), 0);
}

TEST_F(Prepared, RestartingStartsFromTheStoredBytes) {
    EventGroupDesc g;
    g.conditions.push_back(Condition(TypeSpecial, -1));
    builder.AddGroup(g);
    Build();
    // The run writes state into the program.
    PutI32(events.program.data() + offsets.groups[0] + GroupCounterA, 1234);
    events.program[offsets.groups[0] + GroupFlags] |= GroupTimed;
    ASSERT_EQ(PrepareFrameEvents(events, fixture.state), 0);
    EXPECT_EQ(GetI32(events.program.data() + offsets.groups[0] + GroupCounterA), 0);
    EXPECT_EQ(GroupFlagsOf(0) & GroupTimed, 0);
    ReleaseFrameEventLists(events);
    EXPECT_EQ(events.prepared, 0);
    EXPECT_EQ(SystemConditionList(events, TypeSpecial, -1), nullptr);
}

// Damaged programs: each one fails cleanly, leaving nothing prepared.
struct Damage {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> apply;
};

class DamagedProgram : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedProgram, FailsWithoutPreparing) {
    EventProgramBuilder b;
    b.objectInfoCount = 1;
    b.conditionCounts[TypeSpecial + 7] = 10;
    EventGroupDesc g;
    EventRecordDesc c = Condition(2, ConditionCollision, 10);
    c.parameters.push_back(ObjectParameter(10, 2));
    g.conditions.push_back(c);
    EventRecordDesc a = Action(TypeSpecial, 3);
    a.parameters.push_back(appwriter::ExpressionParameter(22, ExpressionBuilder().Integer(4)));
    a.parameters.push_back(appwriter::GroupReferenceParameter(0));
    g.actions.push_back(a);
    b.AddGroup(g);
    std::vector<std::uint8_t> program = b.Program();
    GetParam().apply(program);
    FrameEvents events;
    events.stored = program;
    RunStateFixture f({{10, 2}});
    EXPECT_EQ(PrepareFrameEvents(events, f.state), PrepareFailed);
    EXPECT_EQ(events.prepared, 0);
    EXPECT_TRUE(events.conditionSlots.empty());
}

// Offsets in the program above: group 0, condition 16 (its object parameter 32), action 42 (expression
// parameter 56, group reference after it).
constexpr std::size_t Cond = 16, CondParam = 32, Act = 42, ActParam = 56;

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedProgram,
    ::testing::Values(
        Damage{"PositiveGroupSize", [](auto& p) { PutU16(p.data(), 40); }},
        Damage{"GroupSmallerThanItsHeader",
               [](auto& p) { PutU16(p.data(), static_cast<std::uint16_t>(-8)); }},
        Damage{"GroupPastTheEnd", [](auto& p) { PutU16(p.data(), static_cast<std::uint16_t>(-2000)); }},
        Damage{"NoTerminator", [](auto& p) { p.resize(p.size() - 4); }},
        Damage{"RecordSizeZero", [](auto& p) { PutU16(p.data() + Cond, 0); }},
        Damage{"RecordSizeNegative",
               [](auto& p) { PutU16(p.data() + Cond, static_cast<std::uint16_t>(-20)); }},
        Damage{"MoreRecordsThanFit", [](auto& p) { p[GroupActionCount] = 9; }},
        Damage{"ParameterSizeZero", [](auto& p) { PutU16(p.data() + CondParam, 0); }},
        Damage{"ParameterCountNegative", [](auto& p) { p[Cond + RecordParameterCount] = 0xFF; }},
        Damage{"ObjectParameterTooShort", [](auto& p) { PutU16(p.data() + CondParam, 6); }},
        Damage{"TokenSizeZero", [](auto& p) { PutU16(p.data() + ActParam + 6 + 4, 0); }},
        Damage{"GroupReferenceNotAGroup",
               [](auto& p) {
                   const std::size_t ref = ActParam + GetI16(p.data() + ActParam);
                   PutI32(p.data() + ref + 4, 3);
               }},
        Damage{"GroupReferenceOutside",
               [](auto& p) {
                   const std::size_t ref = ActParam + GetI16(p.data() + ActParam);
                   PutI32(p.data() + ref + 4, 0x7FFFFF00);
               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedProgramOffsets, TableOffsetsMatchTheBuiltProgram) {
    // Keeps the damage table honest about where it writes.
    EXPECT_EQ(Cond, GroupHeaderBytes);
    EXPECT_EQ(CondParam, Cond + ConditionHeaderBytes);
    EXPECT_EQ(Act, CondParam + 10);
    EXPECT_EQ(ActParam, Act + ActionHeaderBytes);
}
