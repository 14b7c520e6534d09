// The named views over stored event records, on bytes laid out by hand from the record layouts.
#include "vtrformat/event_records.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

using namespace vtrformat;

TEST(StoredRecord, NamesTheFieldsOfACondition) {
    // size 18, type 2, number -14, object info 0x8003, resolved 7, run flags 0x20, negated, 1 parameter,
    // identifier 0x1234, then two bytes of parameter.
    const std::array<std::uint8_t, 18> bytes{18, 0,    2, 0, 0xF2, 0xFF, 0x03, 0x80, 7,
                                             0,  0x20, 1, 1, 0,    0x34, 0x12, 0xEE, 0xEE};
    const StoredRecord r(bytes.data());
    EXPECT_EQ(r.Size(), 18u);
    EXPECT_EQ(r.Type(), 2);
    EXPECT_EQ(r.Number(), -14);
    EXPECT_TRUE(r.IsCondition());
    EXPECT_EQ(r.Code(), static_cast<std::int32_t>(0xFFF20002u));
    EXPECT_EQ(r.ObjectInfo() & QualifierBit, QualifierBit);
    EXPECT_EQ(r.Resolved(), 7);
    EXPECT_EQ(r.RunFlags(), RecordEveryLoop);
    EXPECT_TRUE(r.Negated());
    EXPECT_EQ(r.ParameterCount(), 1);
    EXPECT_EQ(r.Identifier(), 0x1234);
    EXPECT_EQ(r.HeaderBytes(), ConditionHeaderBytes);
}

TEST(StoredRecord, AnActionHasTheShorterHeader) {
    const std::array<std::uint8_t, 14> bytes{14, 0, 0xFF, 0xFF, 25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const StoredRecord r(bytes.data());
    EXPECT_FALSE(r.IsCondition());
    EXPECT_EQ(r.Type(), TypeSpecial);
    EXPECT_EQ(r.HeaderBytes(), ActionHeaderBytes);
}

// A size field smaller than the header bounds the view: fields past it read as zero.
TEST(StoredRecord, FieldsPastItsOwnSizeReadAsZero) {
    const std::array<std::uint8_t, 16> bytes{6, 0, 2, 0, 0xF2, 0xFF, 9, 0, 7, 0, 0x20, 1, 1, 0, 0, 0};
    const StoredRecord r(bytes.data());
    EXPECT_EQ(r.Number(), -14);
    EXPECT_EQ(r.ObjectInfo(), 0);
    EXPECT_EQ(r.Resolved(), 0);
    EXPECT_FALSE(r.Negated());
}

TEST(StoredGroup, ItsSizeIsStoredNegative) {
    const std::array<std::uint8_t, 16> bytes{0xF0, 0xFF, 1, 2, 0x08, 0x00, 0,    0,
                                             50,   0,    0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    const StoredGroup g(bytes.data());
    EXPECT_EQ(g.StoredSize(), -16);
    EXPECT_EQ(g.Size(), 16u);
    EXPECT_EQ(g.Conditions(), 1);
    EXPECT_EQ(g.Actions(), 2);
    EXPECT_EQ(g.Flags(), GroupTimed);
    EXPECT_EQ(g.CounterA(), 50);
    EXPECT_EQ(g.CounterB(), -1);
}

TEST(StoredParameter, PayloadFieldsCountFromThePayload) {
    // A zone parameter: size 12, code 5, left 1, top 2, right 30, bottom 40.
    const std::array<std::uint8_t, 12> bytes{12, 0, 5, 0, 1, 0, 2, 0, 30, 0, 40, 0};
    const StoredParameter p(bytes.data());
    EXPECT_EQ(p.Code(), 5);
    EXPECT_TRUE(p.HoldsPayload(ZonePayloadBytes));
    EXPECT_FALSE(p.HoldsPayload(ZonePayloadBytes + 1));
    const StoredZone z = ZoneOf(p);
    EXPECT_EQ(z.left, 1);
    EXPECT_EQ(z.top, 2);
    EXPECT_EQ(z.right, 30);
    EXPECT_EQ(z.bottom, 40);
    EXPECT_EQ(p.PayloadI32(6), 0); // would end past the parameter
}

TEST(StoredToken, ItsSizeFollowsTheCode) {
    // An integer token: code 0x0000FFFF, size 10, value 300.
    const std::array<std::uint8_t, 10> bytes{0xFF, 0xFF, 0, 0, 10, 0, 0x2C, 0x01, 0, 0};
    const StoredToken t(bytes.data());
    EXPECT_EQ(t.Code(), TokenIntegerCode);
    EXPECT_EQ(t.Size(), 10u);
    EXPECT_EQ(t.PayloadI32(0), 300);
    EXPECT_EQ(t.PayloadI32(2), 0);
}

TEST(SizedView, ANullViewReadsNothing) {
    const StoredRecord r(nullptr);
    EXPECT_FALSE(r.Valid());
    EXPECT_EQ(r.Size(), 0u);
    EXPECT_EQ(r.Type(), 0);
    EXPECT_FALSE(r.Holds(0));
}

} // namespace
