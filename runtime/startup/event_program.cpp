#include "startup/event_program.h"

#include "core/byte_reader.h"

#include <algorithm>
#include <array>
#include <new>

namespace vtrrt {

namespace {

constexpr std::array ExpressionCodes{15, 22, 23, 27, 28, 45, 46, 52, 53, 54, 59, 62};
constexpr std::array PositionCodes{9, 16, 18, 21};

bool ReadHeader(ByteReader& r, EventProgramHeader& h) {
    std::uint16_t count = 0;
    if (!r.U16(h.maxObjects) || !r.U16(h.objectInfoCount) || !r.U16(h.runtimeCount)) return false;
    for (auto& c : h.conditionCounts)
        if (!r.I16(c)) return false;
    if (!r.U16(count) || count > r.Left() / 4) return false;
    h.maxObjects = std::max(h.maxObjects, MinFrameObjects);
    h.qualifiers.resize(count);
    for (auto& q : h.qualifiers) {
        r.U16(q.qualifier);
        r.I16(q.objectType);
        q.listOffset = 0;
    }
    return true;
}

void Terminate(std::vector<std::uint8_t>& program, std::size_t groupsLength) {
    program.resize(groupsLength + TerminatorBytes);
    PutU16(program.data() + groupsLength, 0);
    PutU16(program.data() + groupsLength + 2, 0xFFFF);
}

} // namespace

bool IsExpressionCode(std::int16_t code) {
    return std::find(ExpressionCodes.begin(), ExpressionCodes.end(), code) != ExpressionCodes.end();
}

bool IsPositionCode(std::int16_t code) {
    return std::find(PositionCodes.begin(), PositionCodes.end(), code) != PositionCodes.end();
}

FrameEvents* NewFrameEvents() {
    return new (std::nothrow) FrameEvents;
}

void DeleteFrameEvents(FrameEvents*& events) {
    delete events;
    events = nullptr;
}

void ResetFrameEventData(FrameEvents& events) {
    events = FrameEvents{};
}

std::size_t WholeGroupsLength(std::span<const std::uint8_t> bytes) {
    std::size_t pos = 0;
    while (pos + 2 <= bytes.size()) {
        const std::int16_t size = GetI16(bytes.data() + pos);
        if (size >= 0 || static_cast<std::size_t>(-size) < GroupHeaderBytes) break;
        const auto length = static_cast<std::size_t>(-static_cast<int>(size));
        if (length > bytes.size() - pos) break;
        pos += length;
    }
    return pos;
}

int ReadFrameEvents(FrameEvents& events, std::span<const std::uint8_t> payload, bool unicode,
                    std::uint32_t codePage) {
    ByteReader r(payload);
    std::vector<std::uint8_t> groups;
    std::size_t capacity = 0;
    bool sized = false;
    int result = EventsOk;
    try {
        for (;;) {
            std::uint32_t tag = 0;
            // Data that ends between items ends the chunk like its end tag (an empty chunk holds nothing).
            if (r.Left() == 0) break;
            if (!r.U32(tag)) {
                result = EventsEndOfData;
                break;
            }
            if (tag == EventTagEnd) break;
            if (tag == EventTagHeader) {
                if (!ReadHeader(r, events.header)) {
                    result = EventsEndOfData;
                    break;
                }
                events.hasHeader = true;
            } else if (tag == EventTagSize) {
                std::uint32_t size = 0;
                if (!r.U32(size)) {
                    result = EventsEndOfData;
                    break;
                }
                capacity = size;
                sized = true;
                groups.clear();
                // The groups come from this same payload: room for more than it holds is never taken.
                groups.reserve(std::min<std::size_t>(capacity, r.Left()));
            } else if (tag == EventTagGroups) {
                std::uint32_t size = 0;
                std::span<const std::uint8_t> data;
                if (!sized || !r.U32(size)) {
                    result = sized ? EventsEndOfData : EventsDamaged;
                    break;
                }
                if (size > capacity - groups.size()) {
                    result = EventsDamaged;
                    break;
                }
                if (!r.Take(size, data)) {
                    // What was read stays: the whole groups of it.
                    groups.insert(groups.end(), payload.begin() + static_cast<std::ptrdiff_t>(r.Position()),
                                  payload.end());
                    result = EventsEndOfData;
                    break;
                }
                groups.insert(groups.end(), data.begin(), data.end());
            }
        }
        if (sized) {
            std::vector<std::uint8_t> program(groups.begin(), groups.end());
            Terminate(program, WholeGroupsLength(program));
            events.stored = std::move(program);
        } else {
            events.stored.clear();
        }
    } catch (const std::bad_alloc&) {
        events.stored.clear();
        result = EventsOutOfMemory;
    }
    if (!unicode && !events.stored.empty()) {
        const int converted = ConvertEventsToUnicode(events, codePage);
        if (result == EventsOk) result = converted;
    }
    events.program = events.stored;
    return result;
}

int WalkEventProgram(std::span<std::uint8_t> program, EventVisitor& visitor) {
    std::uint8_t* base = program.data();
    std::size_t pos = 0;
    for (;;) {
        if (pos + 2 > program.size()) return EventsDamaged;
        const std::int16_t groupSize = GetI16(base + pos);
        if (groupSize == 0) return EventsOk;
        if (groupSize > 0) return EventsDamaged;
        const auto length = static_cast<std::size_t>(-static_cast<int>(groupSize));
        if (length < GroupHeaderBytes || length > program.size() - pos) return EventsDamaged;
        const EventGroupView group{pos, length, base[pos + GroupConditionCount],
                                   base[pos + GroupActionCount]};
        if (!visitor.Group(group)) return EventsDamaged;
        const std::size_t groupEnd = pos + length;
        std::size_t rec = pos + GroupHeaderBytes;
        for (int i = 0; i < group.conditions + group.actions; ++i) {
            const bool isCondition = i < group.conditions;
            const std::size_t headerBytes = isCondition ? ConditionHeaderBytes : ActionHeaderBytes;
            if (rec + headerBytes > groupEnd) return EventsDamaged;
            const std::int16_t recSize = GetI16(base + rec);
            if (recSize < static_cast<std::int16_t>(headerBytes) ||
                static_cast<std::size_t>(recSize) > groupEnd - rec)
                return EventsDamaged;
            const EventRecordView record{
                rec,         static_cast<std::size_t>(recSize), i,
                isCondition, GetI16(base + rec + RecordType),   GetI16(base + rec + RecordNumber)};
            if (!visitor.Record(group, record)) return EventsDamaged;
            const auto count = static_cast<std::int8_t>(base[rec + RecordParameterCount]);
            if (count < 0) return EventsDamaged;
            std::size_t param = rec + headerBytes;
            const std::size_t recEnd = rec + record.size;
            for (int p = 0; p < count; ++p) {
                if (param + ParameterHeaderBytes > recEnd) return EventsDamaged;
                const std::int16_t paramSize = GetI16(base + param);
                if (paramSize < static_cast<std::int16_t>(ParameterHeaderBytes) ||
                    static_cast<std::size_t>(paramSize) > recEnd - param)
                    return EventsDamaged;
                const EventParameterView view{param, static_cast<std::size_t>(paramSize),
                                              GetI16(base + param + ParameterCodeAt)};
                if (!visitor.Parameter(record, view)) return EventsDamaged;
                param += view.size;
            }
            rec = recEnd;
        }
        pos = groupEnd;
    }
}

namespace {

class FileParameterVisitor : public EventVisitor {
public:
    FileParameterVisitor(std::uint8_t* base, void (*cb)(int, char16_t*, std::size_t, void*), void* user)
        : base_(base), cb_(cb), user_(user) {}
    bool Parameter(const EventRecordView&, const EventParameterView& p) override {
        std::size_t at = 0;
        std::size_t units = 0;
        if (p.code == ParamProgram) {
            at = 6;
            units = 260;
        } else if (p.code == ParamFile || p.code == ParamFile2) {
            at = 4;
            units = 260;
        } else {
            return true;
        }
        if (at + units * 2 > p.size) return false;
        // The callback writes through this pointer; the bytes are only 2-aligned by position.
        std::u16string text(units, u'\0');
        std::memcpy(text.data(), base_ + p.offset + at, units * 2);
        text.back() = 0;
        cb_(0, text.data(), units, user_);
        std::memcpy(base_ + p.offset + at, text.data(), units * 2);
        return true;
    }

private:
    std::uint8_t* base_;
    void (*cb_)(int, char16_t*, std::size_t, void*);
    void* user_;
};

class SoundParameterVisitor : public EventVisitor {
public:
    SoundParameterVisitor(std::uint8_t* base, void (*cb)(std::uint8_t*, int, void*), void* user)
        : base_(base), cb_(cb), user_(user) {}
    bool Parameter(const EventRecordView&, const EventParameterView& p) override {
        int bank = 0;
        if (p.code == ParamSample || p.code == ParamSample2) bank = 2;
        if (p.code == ParamMusic || p.code == ParamMusic2) bank = 3;
        if (bank == 0) return true;
        if (p.size < 8) return false;
        cb_(base_ + p.offset + 4, bank, user_);
        return true;
    }

private:
    std::uint8_t* base_;
    void (*cb_)(std::uint8_t*, int, void*);
    void* user_;
};

class ObstacleVisitor : public EventVisitor {
public:
    explicit ObstacleVisitor(std::uint8_t* base) : base_(base) {}
    bool Parameter(const EventRecordView&, const EventParameterView& p) override {
        if (p.code != ParamObstacle) return true;
        if (p.size < 6) return false;
        const std::uint16_t type = GetU16(base_ + p.offset + 4);
        if (type == 1) kinds |= 1;
        if (type == 2) kinds |= 2;
        return true;
    }
    std::uint32_t kinds = 0;

private:
    std::uint8_t* base_;
};

} // namespace

int ForEachEventFileParameter(std::span<std::uint8_t> program,
                              void (*callback)(int, char16_t* text, std::size_t units, void* user),
                              void* user) {
    FileParameterVisitor v(program.data(), callback, user);
    return WalkEventProgram(program, v);
}

int ForEachEventSoundParameter(std::span<std::uint8_t> program,
                               void (*callback)(std::uint8_t* payload, int bank, void* user), void* user) {
    SoundParameterVisitor v(program.data(), callback, user);
    return WalkEventProgram(program, v);
}

std::uint32_t ScanEventsForObstacleTypes(std::span<std::uint8_t> program) {
    ObstacleVisitor v(program.data());
    WalkEventProgram(program, v);
    return v.kinds;
}

} // namespace vtrrt
