// A run state with object-info run entries built by hand, for preparing event programs.
#pragma once

#include "core/frame_run_state.h"
#include "events/event_preparation.h"
#include "startup/event_program.h"

#include "appwriter/event_program_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace eventtest {

using namespace vtrrt;
using appwriter::EventGroupDesc;
using appwriter::EventProgramBuilder;
using appwriter::EventRecordDesc;

struct EntryDesc {
    std::int16_t handle;
    std::int16_t type;
    std::uint32_t objectFlags = 0x200;
    std::vector<std::int16_t> qualifiers = {};
};

class RunStateFixture {
public:
    explicit RunStateFixture(const std::vector<EntryDesc>& entries) : entries_(entries.size() + 1) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ObjectInfoRunEntry& e = entries_[i];
            e.handle = entries[i].handle;
            e.objectType = entries[i].type;
            e.firstInstance = static_cast<std::int16_t>(0x8000);
            e.objectFlags = entries[i].objectFlags;
            e.rememberedFrameItem = -1;
            std::fill(std::begin(e.qualifiers), std::end(e.qualifiers), std::int16_t{-1});
            for (std::size_t q = 0; q < entries[i].qualifiers.size() && q < 8; ++q)
                e.qualifiers[q] = entries[i].qualifiers[q];
        }
        std::memset(&entries_.back(), 0xFF, sizeof(ObjectInfoRunEntry));
        std::memset(&state, 0, sizeof(state));
        state.objectInfos = entries_.data();
        state.objectInfoCount = static_cast<std::int32_t>(entries.size());
    }
    ObjectInfoRunEntry& Entry(std::size_t i) { return entries_[i]; }

    FrameRunState state;

private:
    std::vector<ObjectInfoRunEntry> entries_;
};

inline EventRecordDesc Condition(std::int16_t type, std::int16_t number, std::uint16_t objectInfo = 0,
                                 std::uint8_t runFlags = 0) {
    EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.objectInfo = objectInfo;
    r.runFlags = runFlags;
    return r;
}

inline EventRecordDesc Action(std::int16_t type, std::int16_t number, std::uint16_t objectInfo = 0) {
    return Condition(type, number, objectInfo);
}

// Reads the builder's chunk into events; fails the test when reading fails.
inline void ReadInto(FrameEvents& events, const EventProgramBuilder& b, bool unicode = true) {
    ASSERT_EQ(ReadFrameEvents(events, b.ChunkPayload(), unicode, 1252), EventsOk);
}

// The {group, condition} pairs of a prepared list.
inline std::vector<std::pair<int, int>> Pairs(const std::int32_t* list) {
    std::vector<std::pair<int, int>> out;
    for (; list && *list != -1; list += 2)
        out.emplace_back(list[0], list[1]);
    return out;
}

} // namespace eventtest
