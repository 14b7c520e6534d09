#include "events/event_preparation.h"
#include "core/upcalls.h"

#include "events/extension_host.h"

#include "core/frame_run_state.h"

#include "vtrs2/sprites.h"
#include "win32/kernel.h"

#include <algorithm>
#include <new>
#include <set>

namespace vtrrt {

namespace {

constexpr std::uint16_t ObjectRunCollides = 0x4000;
constexpr std::uint16_t ObjectRunKeepsCollision = 0x8000;
constexpr std::uint32_t FrameBackdropCollisionPerLayer = 0x20;

bool SameLoopName(std::u16string_view a, std::u16string_view b) {
    return win32::EqualsIgnoringCase(a, b);
}

struct RecordInfo {
    std::size_t offset = 0;
    std::int16_t type = 0;
    std::int16_t number = 0;
    std::uint16_t objectInfo = 0; // as stored
    std::uint16_t resolved = NoObjectInfoIndex;
    std::uint8_t runFlags = 0;
    bool hasObjectParameter = false;
    std::uint16_t parameterObject = 0; // handle of the first parameter of code 1
    std::int16_t parameterType = 0;
    std::uint16_t parameterResolved = NoObjectInfoIndex;
    std::int16_t firstShort = 0;    // 16-bit value of the first parameter
    std::size_t firstParameter = 0; // offset of the first parameter; 0 = none
    // The first parameter is an expression of one string literal: its text.
    bool literalName = false;
    std::u16string literal;
};

struct GroupInfo {
    std::size_t offset;
    std::vector<RecordInfo> conditions;
    std::vector<RecordInfo> actions;
};

std::int32_t EntryCount(const FrameRunState& s) {
    if (!s.objectInfos) return 0;
    std::int32_t n = 0;
    while (n < s.objectInfoCount && s.objectInfos[n].handle != -1)
        ++n;
    return n;
}

// Walk 1: clears the disabled bit, resolves references, zeroes code-25 words, registers constant loop
// names, checks group references, and notes what the later steps need.
class ResolveWalk : public EventVisitor {
public:
    ResolveWalk(FrameEvents& e, const FrameRunState& s, std::span<std::uint8_t> program,
                const std::set<std::size_t>& groupStarts)
        : events_(e), state_(s), base_(program.data()), groupStarts_(groupStarts) {}

    std::vector<GroupInfo> groups;

    bool Group(const EventGroupView& g) override {
        groups.push_back({g.offset, {}, {}});
        return true;
    }
    bool Record(const EventGroupView&, const EventRecordView& r) override {
        std::uint8_t* rec = base_ + r.offset;
        rec[RecordRunFlags] &= static_cast<std::uint8_t>(~RecordDisabled);
        RecordInfo info;
        info.offset = r.offset;
        info.type = r.type;
        info.number = r.number;
        info.objectInfo = GetU16(rec + RecordObjectInfo);
        info.resolved = NoObjectInfoIndex;
        info.runFlags = rec[RecordRunFlags];
        if (r.type >= 0) {
            info.resolved = GetObjectInfoIndex(events_, state_, info.objectInfo, r.type);
            PutU16(rec + RecordResolved, info.resolved);
        }
        auto& list = r.isCondition ? groups.back().conditions : groups.back().actions;
        list.push_back(info);
        current_ = &list.back();
        firstParameter_ = true;
        return true;
    }
    bool Parameter(const EventRecordView& r, const EventParameterView& p) override {
        std::uint8_t* param = base_ + p.offset;
        RecordInfo& info = *current_;
        const bool first = firstParameter_;
        firstParameter_ = false;
        if (first && p.size >= 6) info.firstShort = GetI16(param + ParamValueAt);
        if (first) info.firstParameter = p.offset;
        if (p.code == ParamObject) {
            if (p.size < 10) return false;
            const std::uint16_t handle = GetU16(param + ObjectParamHandleAt);
            const std::int16_t type = GetI16(param + ObjectParamTypeAt);
            const std::uint16_t index = GetObjectInfoIndex(events_, state_, handle, type);
            PutU16(param + ObjectParamResolvedAt, index);
            if (first) {
                info.hasObjectParameter = true;
                info.parameterObject = handle;
                info.parameterType = type;
                info.parameterResolved = index;
            }
        } else if (IsPositionCode(p.code)) {
            if (p.size < (p.code == ParamCreateInstance ? 28u : 24u)) return false;
            const std::uint16_t handle = GetU16(param + PositionParamParentAt);
            const std::int16_t type = GetI16(param + PositionParamParentTypeAt);
            PutU16(param + PositionParamResolvedAt,
                   handle == 0xFFFF ? NoObjectInfoIndex : GetObjectInfoIndex(events_, state_, handle, type));
            if (p.code == ParamCreateInstance) PutU16(param + PositionParamInstanceAt, PlacedInstance(info));
        } else if (p.code == ParamZeroed) {
            if (p.size < 8) return false;
            PutI32(param + ParamValueAt, 0);
        } else if (p.code == ParamGroupPointer) {
            if (p.size < 8) return false;
            const std::int64_t target =
                static_cast<std::int64_t>(p.offset) + GetI32(param + GroupPointerParamOffsetAt);
            if (target < 0 || !groupStarts_.count(static_cast<std::size_t>(target))) return false;
        } else if (IsExpressionCode(p.code)) {
            int tokens = 0;
            std::u16string text;
            bool onlyString = true;
            const bool ok =
                ForEachToken(param, p.size, [&](std::int32_t code, std::uint8_t* token, std::size_t size) {
                    ++tokens;
                    const auto type = static_cast<std::int16_t>(code & 0xFFFF);
                    if (code == TokenString) {
                        for (std::size_t at = TokenHeaderBytes; at + 2 <= size; at += 2) {
                            const char16_t c = static_cast<char16_t>(GetU16(token + at));
                            if (!c) break;
                            text.push_back(c);
                        }
                    } else {
                        onlyString = false;
                    }
                    if (type > 0) {
                        if (size < 10) return false;
                        PutU16(
                            token + TokenObjectResolvedAt,
                            GetObjectInfoIndex(events_, state_, GetU16(token + TokenObjectHandleAt), type));
                    }
                    return true;
                });
            if (!ok) return false;
            const bool literal = tokens == 1 && onlyString;
            if (first && literal) {
                info.literalName = true;
                info.literal = text;
            }
            if (r.isCondition && r.type == TypeSpecial && r.number == ConditionNamedLoop) {
                if (literal)
                    RegisterLoopName(text);
                else
                    events_.computedLoopNames = 1;
            }
        }
        return true;
    }

private:
    // The frame item placed for the record's object info, or -1 for a qualifier or none.
    std::uint16_t PlacedInstance(const RecordInfo& info) const {
        if (info.objectInfo & QualifierBit) return 0xFFFF;
        const FrameRecord* frame = state_.frame;
        if (!frame || !frame->instances) return 0xFFFF;
        for (std::int32_t i = 0; i < frame->instanceCount; ++i)
            if (frame->instances[i].objectInfo == info.objectInfo) return static_cast<std::uint16_t>(i);
        return 0xFFFF;
    }
    void RegisterLoopName(const std::u16string& name) {
        if (std::none_of(events_.loopNames.begin(), events_.loopNames.end(),
                         [&](const std::u16string& other) { return SameLoopName(name, other); }))
            events_.loopNames.push_back(name);
    }

    FrameEvents& events_;
    const FrameRunState& state_;
    std::uint8_t* base_;
    const std::set<std::size_t>& groupStarts_;
    RecordInfo* current_ = nullptr;
    bool firstParameter_ = false;
};

class GroupStartWalk : public EventVisitor {
public:
    std::set<std::size_t> starts;
    bool Group(const EventGroupView& g) override {
        starts.insert(g.offset);
        return true;
    }
};

class Preparer {
public:
    Preparer(FrameEvents& e, FrameRunState& s) : events_(e), state_(s), entries_(EntryCount(s)) {}

    int Run() {
        ResetEntries();
        BuildQualifierLists();
        std::span<std::uint8_t> program(events_.program);
        GroupStartWalk starts;
        if (WalkEventProgram(program, starts) != EventsOk) return PrepareFailed;
        ResolveWalk walk(events_, state_, program, starts.starts);
        if (WalkEventProgram(program, walk) != EventsOk) return PrepareFailed;
        groups_ = std::move(walk.groups);
        SizeSlots();
        for (const GroupInfo& g : groups_)
            PrepareGroup(g);
        NumberLoopStarts();
        FoldCauses();
        FlattenLists();
        UpdateObjects();
        events_.prepared = 1;
        return 0;
    }

private:
    ObjectInfoRunEntry* Entries() { return state_.objectInfos; }

    void ResetEntries() {
        for (std::int32_t i = 0; i < entries_; ++i) {
            Entries()[i].firstSelected = -1;
            Entries()[i].collisionFlags = 0;
            Entries()[i].conditionSlots = -1;
            Entries()[i].collisionPartners = nullptr;
        }
        events_.collisionPairs.assign(static_cast<std::size_t>(entries_), {});
        events_.collisionPartners.assign(static_cast<std::size_t>(entries_), {});
        causes_.assign(static_cast<std::size_t>(entries_), {});
    }

    void BuildQualifierLists() {
        for (EventQualifier& q : events_.header.qualifiers) {
            q.listOffset = static_cast<std::uint16_t>(events_.qualifierMembers.size() / 2);
            for (std::int32_t i = 0; i < entries_; ++i) {
                const ObjectInfoRunEntry& e = Entries()[i];
                if (e.objectType != q.objectType) continue;
                for (std::int16_t id : e.qualifiers) {
                    if (id == -1) break;
                    if ((static_cast<std::uint16_t>(id) & 0x7FFF) == (q.qualifier & 0x7FFF)) {
                        events_.qualifierMembers.push_back(e.handle);
                        events_.qualifierMembers.push_back(static_cast<std::int16_t>(i));
                        break;
                    }
                }
            }
            events_.qualifierMembers.push_back(-1);
            events_.qualifierMembers.push_back(-1);
        }
    }

    // The run entries a resolved reference stands for: one entry, or a qualifier's members.
    std::vector<std::int32_t> EntriesOf(std::uint16_t resolved) const {
        std::vector<std::int32_t> out;
        if (resolved == NoObjectInfoIndex) return out;
        if (resolved & QualifierBit) {
            const std::int16_t* m = QualifierMembers(events_, resolved);
            for (; m && m[0] != -1; m += 2)
                out.push_back(m[1]);
        } else if (resolved < entries_) {
            out.push_back(resolved);
        }
        return out;
    }

    std::uint16_t OverlapFlags(std::int32_t entry) {
        const std::uint32_t f = Entries()[entry].objectFlags;
        const bool noSprite = !(f & ObjectHasSprite) || (f & ObjectSavedBackground);
        return noSprite ? CollisionNoSprite : 0;
    }

    void Mark(const std::vector<std::int32_t>& entries, std::uint16_t flags, bool spriteAware) {
        for (std::int32_t e : entries)
            Entries()[e].collisionFlags |=
                static_cast<std::uint16_t>(flags | (spriteAware ? OverlapFlags(e) : 0));
    }

    void AddPair(std::int32_t a, std::int32_t b) {
        auto& list = events_.collisionPairs[static_cast<std::size_t>(a)];
        if (std::find(list.begin(), list.end(), b) == list.end())
            list.push_back(static_cast<std::int16_t>(b));
    }

    void SizeSlots() {
        std::int32_t next = 0;
        for (int t = 0; t < 7; ++t) {
            events_.systemSlotBase[t] = next;
            next += std::max<std::int16_t>(events_.header.conditionCounts[t], 0) + 1;
        }
        events_.infoSlotBase.resize(static_cast<std::size_t>(entries_));
        infoSlotCount_.resize(static_cast<std::size_t>(entries_));
        for (std::int32_t i = 0; i < entries_; ++i) {
            const std::int16_t type = Entries()[i].objectType;
            std::int32_t own = 0;
            if (type >= 0 && type <= 9)
                own = std::max<std::int16_t>(events_.header.conditionCounts[type + 7], 0);
            else if (type >= FirstExtensionType)
                own = ExtensionConditionCount(type);
            events_.infoSlotBase[static_cast<std::size_t>(i)] = next;
            infoSlotCount_[static_cast<std::size_t>(i)] = CommonConditionSlots + own;
            Entries()[i].conditionSlots = next;
            next += CommonConditionSlots + own;
        }
        slotCount_ = static_cast<std::size_t>(next);
    }

    // A condition is listed once per slot: its targets are distinct.
    void ListUnder(std::int32_t slot, std::size_t group, std::size_t condition) {
        listed_.push_back({slot, static_cast<std::int32_t>(group), static_cast<std::int32_t>(condition)});
    }

    void ListCondition(const GroupInfo& g, const RecordInfo& c) {
        const std::int32_t index = -static_cast<std::int32_t>(c.number);
        if (c.type < 0) {
            if (c.type < -7 || index < 1 || index > events_.header.conditionCounts[c.type + 7]) return;
            ListUnder(events_.systemSlotBase[c.type + 7] + index, g.offset, c.offset);
            return;
        }
        std::vector<std::int32_t> targets = EntriesOf(c.resolved);
        if (c.number == ConditionCollision && c.hasObjectParameter)
            for (std::int32_t e : EntriesOf(c.parameterResolved))
                if (std::find(targets.begin(), targets.end(), e) == targets.end()) targets.push_back(e);
        for (std::int32_t e : targets)
            if (index >= 1 && index < infoSlotCount_[static_cast<std::size_t>(e)])
                ListUnder(events_.infoSlotBase[static_cast<std::size_t>(e)] + index, g.offset, c.offset);
    }

    static bool IsOr(const RecordInfo& c) {
        return c.type == TypeSpecial && (c.number == ConditionFilteredOr || c.number == ConditionLogicalOr);
    }

    void PrepareGroup(const GroupInfo& g) {
        std::uint8_t* group = events_.program.data() + g.offset;
        std::uint16_t flags = GetU16(group + GroupFlags);
        const bool keeps = std::any_of(g.conditions.begin(), g.conditions.end(), [](const RecordInfo& c) {
            return c.type == TypeSpecial && c.number == ConditionKeepGroupFlag;
        });
        flags &= static_cast<std::uint16_t>(
            ~((keeps ? 0x081E : GroupPreparedClear) | GroupHasOr | GroupLogicalOr));
        for (const RecordInfo& a : g.actions) {
            if (a.type < 2) continue;
            if (a.number == ActionSwapPositions) flags |= GroupHasSwap;
            if (a.number == ActionCreate4 || a.number == ActionCreate9) {
                flags |= GroupHasCreateOrDestroy;
                RecordCauses(g, a);
            }
        }
        for (const RecordInfo& c : g.conditions)
            MarkCollisions(c);
        const bool hasOr = std::any_of(g.conditions.begin(), g.conditions.end(), IsOr);
        // Listing, or-conditions and the every-loop list.
        std::int16_t firstOr = 0;
        bool listNext = true;
        for (const RecordInfo& c : g.conditions) {
            if (listNext) {
                ListCondition(g, c);
                if (c.type == TypeSpecial && c.number == ConditionNamedLoop && c.literalName)
                    AddLoopGroup(c.literal, g.offset, hasOr);
                if (c.runFlags & RecordEveryLoop)
                    events_.everyLoop.push_back(
                        {static_cast<std::int32_t>(g.offset), static_cast<std::int32_t>(c.offset)});
            }
            listNext = false;
            if (IsOr(c)) {
                listNext = true;
                if (firstOr == 0) {
                    firstOr = c.number;
                    flags |= GroupHasOr;
                    if (c.number == ConditionLogicalOr) flags |= GroupLogicalOr;
                } else if (c.number != firstOr) {
                    PutU16(events_.program.data() + c.offset + RecordNumber,
                           static_cast<std::uint16_t>(firstOr));
                }
            }
        }
        PutU16(group + GroupFlags, flags);
    }

    // The groups a named loop runs on its fast path, in program order; a loop with an alternative in one of
    // its groups keeps to the slow path.
    void AddLoopGroup(const std::u16string& name, std::size_t group, bool hasOr) {
        auto& loops = events_.preparedLoops;
        auto it = std::find_if(loops.begin(), loops.end(),
                               [&](const PreparedLoop& l) { return SameLoopName(l.name, name); });
        if (it == loops.end()) {
            loops.push_back({{}, name, 0, -1});
            it = loops.end() - 1;
        }
        if (it->groups.empty() || it->groups.back() != static_cast<std::int32_t>(group))
            it->groups.push_back(static_cast<std::int32_t>(group));
        if (hasOr) it->hasAlternatives = 1;
    }

    // A start-loop action that names its loop by a literal carries the 1-based number of the loop's
    // prepared entry in its first parameter's first payload word (0: none).
    void NumberLoopStarts() {
        for (const GroupInfo& g : groups_)
            for (const RecordInfo& a : g.actions) {
                if (a.type != TypeSpecial || a.number != ActionStartLoop || !a.firstParameter) continue;
                std::int16_t number = 0;
                if (a.literalName) {
                    const auto& loops = events_.preparedLoops;
                    for (std::size_t i = 0; i < loops.size() && i < 0x7FFF; ++i)
                        if (SameLoopName(loops[i].name, a.literal)) number = static_cast<std::int16_t>(i + 1);
                }
                PutU16(events_.program.data() + a.firstParameter + 4, static_cast<std::uint16_t>(number));
            }
    }

    void MarkCollisions(const RecordInfo& c) {
        if (c.type == TypeKeyboardMouse &&
            (c.number == ConditionOverlap || c.number == ConditionClickOnObject)) {
            if (c.hasObjectParameter) Mark(EntriesOf(c.parameterResolved), CollisionOverlap, false);
            return;
        }
        if (c.type < 2) return;
        const auto self = EntriesOf(c.resolved);
        const auto other =
            c.hasObjectParameter ? EntriesOf(c.parameterResolved) : std::vector<std::int32_t>{};
        switch (c.number) {
        case ConditionOverlap:
            Mark(self, CollisionOverlap, true);
            Mark(other, CollisionOverlap, true);
            break;
        case ConditionCollision:
            Mark(self, CollisionOverlap | CollisionWithObjects, true);
            Mark(other, CollisionOverlap | CollisionWithObjects, true);
            for (std::int32_t a : self)
                for (std::int32_t b : other) {
                    AddPair(a, b);
                    AddPair(b, a);
                }
            break;
        case ConditionEntersArea:
        case ConditionLeavesArea:
            Mark(self, CollisionBorder, false);
            break;
        case ConditionBackdrop:
            Mark(self, CollisionBackdrop, false);
            break;
        default:
            break;
        }
    }

    // What in the group's conditions can have caused a create or destroy action on an object.
    void RecordCauses(const GroupInfo& g, const RecordInfo& action) {
        const std::size_t limit =
            static_cast<std::size_t>(std::max(100, entries_)) * static_cast<std::size_t>(entries_ + 1);
        for (std::int32_t e : EntriesOf(action.resolved)) {
            auto& causes = causes_[static_cast<std::size_t>(e)];
            for (const RecordInfo& c : g.conditions) {
                if (c.type < 2) continue;
                const auto self = EntriesOf(c.resolved);
                const bool names = std::find(self.begin(), self.end(), e) != self.end();
                std::vector<std::int32_t> values;
                if (c.number == ConditionCollision && c.hasObjectParameter) {
                    const auto other = EntriesOf(c.parameterResolved);
                    if (names) values.insert(values.end(), other.begin(), other.end());
                    if (std::find(other.begin(), other.end(), e) != other.end())
                        values.insert(values.end(), self.begin(), self.end());
                } else if (names && c.number == ConditionBackdrop) {
                    values.push_back(CauseBackdrop);
                } else if (names && c.number == ConditionLeavesArea) {
                    values.push_back(static_cast<std::uint16_t>(c.firstShort) | 0x8000);
                }
                for (std::int32_t v : values)
                    if (std::find(causes.begin(), causes.end(), v) == causes.end() && causeCount_ < limit) {
                        causes.push_back(v);
                        ++causeCount_;
                    }
            }
        }
    }

    void FoldCauses() {
        for (std::int32_t e = 0; e < entries_; ++e) {
            auto& partners = events_.collisionPartners[static_cast<std::size_t>(e)];
            partners.clear();
            for (std::int32_t v : causes_[static_cast<std::size_t>(e)]) {
                if (v & 0x8000)
                    Entries()[e].collisionFlags |= static_cast<std::uint16_t>(v);
                else if (std::find(partners.begin(), partners.end(), v) == partners.end())
                    partners.push_back(static_cast<std::int16_t>(v));
            }
            if (!partners.empty()) partners.push_back(-1);
        }
    }

    void FlattenLists() {
        // Program order within each slot.
        std::stable_sort(listed_.begin(), listed_.end(),
                         [](const Listed& a, const Listed& b) { return a.slot < b.slot; });
        events_.conditionSlots.assign(slotCount_, -1);
        for (std::size_t i = 0; i < listed_.size(); ++i) {
            const Listed& l = listed_[i];
            if (i == 0 || listed_[i - 1].slot != l.slot) {
                if (i != 0) events_.conditionLists.push_back(-1);
                events_.conditionSlots[static_cast<std::size_t>(l.slot)] =
                    static_cast<std::int32_t>(events_.conditionLists.size());
            }
            events_.conditionLists.push_back(l.group);
            events_.conditionLists.push_back(l.condition);
        }
        if (!listed_.empty()) events_.conditionLists.push_back(-1);
        for (const EventListPair& p : events_.everyLoop) {
            events_.everyLoopList.push_back(p.group);
            events_.everyLoopList.push_back(p.condition);
        }
        events_.everyLoopList.push_back(-1);
    }

    void UpdateObjects() {
        for (std::int32_t i = 0; i < entries_; ++i)
            Entries()[i].instanceCount = 0;
        if (!state_.objects) return;
        for (std::int32_t slot = 0; slot < state_.maxObjects; ++slot) {
            RunObject* o = state_.objects[slot].object;
            if (!o) continue;
            std::int32_t index = -1;
            for (std::int32_t i = 0; i < entries_; ++i)
                if (Entries()[i].handle == o->objectInfo) index = i;
            if (index < 0) continue;
            ObjectInfoRunEntry& entry = Entries()[index];
            o->objectInfoEntry = &entry;
            o->conditionEvents =
                events_.conditionSlots.data() + events_.infoSlotBase[static_cast<std::size_t>(index)];
            ++entry.instanceCount;
            o->collisionFlags = static_cast<std::int16_t>(entry.collisionFlags);
            up::SetMovementWrapMask(o, entry.wrapMask);
            // A sprite whose object no event tests for overlaps stops colliding.
            if (RunObjectExtended* x = up::ExtendedOf(o); x && x->sprite &&
                                                          (o->objectFlags & ObjectHasSprite) &&
                                                          !(entry.collisionFlags & CollisionOverlap))
                SetSpriteCollidable(up::SpritesOfFrame(), static_cast<Sprite*>(x->sprite), 0);
            if (!(o->runFlags & ObjectRunKeepsCollision)) {
                const bool frameLayers =
                    state_.frame && (state_.frame->flags & FrameBackdropCollisionPerLayer);
                const bool collides = (entry.collisionFlags & (CollisionOverlap | CollisionBorder)) ||
                                      ((entry.collisionFlags & CollisionBackdrop) && frameLayers);
                if (collides)
                    o->runFlags |= ObjectRunCollides;
                else
                    o->runFlags &= static_cast<std::uint16_t>(~ObjectRunCollides);
            }
        }
    }

    FrameEvents& events_;
    FrameRunState& state_;
    std::int32_t entries_;
    std::vector<GroupInfo> groups_;
    std::vector<std::int32_t> infoSlotCount_;
    struct Listed {
        std::int32_t slot, group, condition;
    };
    std::size_t slotCount_ = 0;
    std::vector<Listed> listed_;
    std::vector<std::vector<std::int32_t>> causes_;
    std::size_t causeCount_ = 0;
};

void FreeLists(FrameEvents& e) {
    e.qualifierMembers.clear();
    e.conditionSlots.clear();
    e.conditionLists.clear();
    e.infoSlotBase.clear();
    e.everyLoop.clear();
    e.everyLoopList.clear();
    e.preparedLoops.clear();
    e.computedLoopNames = 0;
    e.collisionPairs.clear();
    e.collisionPartners.clear();
    e.loopNames.clear();
    std::fill(std::begin(e.systemSlotBase), std::end(e.systemSlotBase), 0);
}

} // namespace

std::uint16_t GetObjectInfoIndex(const FrameEvents& events, const FrameRunState& state, std::uint16_t handle,
                                 std::int16_t type) {
    if (handle & QualifierBit) {
        for (const EventQualifier& q : events.header.qualifiers)
            if (q.qualifier == handle && q.objectType == type)
                return static_cast<std::uint16_t>(q.listOffset | QualifierBit);
        return NoObjectInfoIndex;
    }
    const std::int32_t n = std::min<std::int32_t>(EntryCount(state), events.header.objectInfoCount);
    for (std::int32_t i = 0; i < n; ++i)
        if (static_cast<std::uint16_t>(state.objectInfos[i].handle) == handle)
            return static_cast<std::uint16_t>(i);
    return NoObjectInfoIndex;
}

int PrepareFrameEvents(FrameEvents& events, FrameRunState& state, bool fromStored) {
    FreeLists(events);
    events.prepared = 0;
    try {
        if (fromStored || events.program.empty()) events.program = events.stored;
        if (events.program.empty()) {
            // No program: only the terminator.
            events.program = {0, 0, 0xFF, 0xFF};
        }
        if (events.header.qualifiers.size() > 0x7FFF) return PrepareFailed;
        Preparer preparer(events, state);
        if (preparer.Run() != 0) {
            FreeLists(events);
            return PrepareFailed;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        FreeLists(events);
        return PrepareFailed;
    }
}

void ReleaseFrameEventLists(FrameEvents& events) {
    if (!events.prepared) return;
    FreeLists(events);
    events.prepared = 0;
}

const std::int32_t* SystemConditionList(const FrameEvents& events, std::int16_t type, std::int16_t number) {
    if (!events.prepared || type < -7 || type > -1) return nullptr;
    const std::int32_t index = -static_cast<std::int32_t>(number);
    if (index < 1 || index > events.header.conditionCounts[type + 7]) return nullptr;
    const std::size_t slot = static_cast<std::size_t>(events.systemSlotBase[type + 7] + index);
    if (slot >= events.conditionSlots.size() || events.conditionSlots[slot] < 0) return nullptr;
    return events.conditionLists.data() + events.conditionSlots[slot];
}

const std::int32_t* ObjectConditionList(const FrameEvents& events, std::int32_t entryIndex,
                                        std::int16_t number) {
    if (!events.prepared || entryIndex < 0 ||
        static_cast<std::size_t>(entryIndex) >= events.infoSlotBase.size())
        return nullptr;
    const std::int32_t index = -static_cast<std::int32_t>(number);
    const std::size_t base =
        static_cast<std::size_t>(events.infoSlotBase[static_cast<std::size_t>(entryIndex)]);
    const std::size_t end =
        static_cast<std::size_t>(entryIndex) + 1 < events.infoSlotBase.size()
            ? static_cast<std::size_t>(events.infoSlotBase[static_cast<std::size_t>(entryIndex) + 1])
            : events.conditionSlots.size();
    if (index < 1 || base + static_cast<std::size_t>(index) >= end) return nullptr;
    const std::int32_t list = events.conditionSlots[base + static_cast<std::size_t>(index)];
    return list < 0 ? nullptr : events.conditionLists.data() + list;
}

const std::int16_t* QualifierMembers(const FrameEvents& events, std::uint16_t listOffset) {
    const std::size_t at = static_cast<std::size_t>(listOffset & 0x7FFF) * 2;
    if (at + 1 >= events.qualifierMembers.size()) return nullptr;
    return events.qualifierMembers.data() + at;
}

} // namespace vtrrt
