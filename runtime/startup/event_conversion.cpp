// Rebuilding a program stored with 8-bit strings into one with UTF-16 strings: every string parameter is
// widened to its fixed UTF-16 field, every size is recomputed and group references are moved along.
#include "startup/event_program.h"

#include "win32/kernel.h"

#include <algorithm>
#include <map>
#include <new>

namespace vtrrt {

using namespace win32;

namespace {

class Converter : public EventVisitor {
public:
    Converter(std::span<const std::uint8_t> old, std::uint32_t codePage) : old_(old), codePage_(codePage) {}

    bool Group(const EventGroupView& g) override {
        FinishRecord();
        FinishGroup();
        groupStart_ = out_.size();
        groupMap_[g.offset] = groupStart_;
        Copy(g.offset, GroupHeaderBytes);
        return true;
    }
    bool Record(const EventGroupView&, const EventRecordView& r) override {
        FinishRecord();
        recordStart_ = out_.size();
        Copy(r.offset, r.isCondition ? ConditionHeaderBytes : ActionHeaderBytes);
        return true;
    }
    bool Parameter(const EventRecordView&, const EventParameterView& p) override {
        const std::size_t start = out_.size();
        const std::uint8_t* src = old_.data() + p.offset;
        const std::size_t size = p.size;
        switch (p.code) {
        case ParamSample:
        case ParamMusic:
        case ParamSample2:
        case ParamMusic2:
            Copy(p.offset, std::min<std::size_t>(size, 8));
            Pad(start + 8);
            Text(src, size, 8, 64);
            return End(start, 136);
        case ParamShortAndString:
            Copy(p.offset, std::min<std::size_t>(size, 6));
            Pad(start + 6);
            return End(start, 6 + VariableText(src, size, 6));
        case ParamProgram:
            Copy(p.offset, std::min<std::size_t>(size, 6));
            Pad(start + 6);
            Text(src, size, 6, 260, 260);
            Text(src, size, 266, 108);
            return End(start, 742);
        case ParamGroup:
            Copy(p.offset, std::min<std::size_t>(size, 8));
            Pad(start + 8);
            Text(src, size, 8, 80, 80);
            Text(src, size, 88, 16, 16);
            Pad(start + 200);
            if (size >= 108) out_.insert(out_.end(), src + 104, src + 108);
            return End(start, 204);
        case ParamFile:
        case ParamFile2:
            Copy(p.offset, 4);
            Text(src, size, 4, 260);
            return End(start, 524);
        case ParamShortAndName:
            Copy(p.offset, std::min<std::size_t>(size, 6));
            Pad(start + 6);
            Text(src, size, 6, 32);
            return End(start, 70);
        case ParamString:
            Copy(p.offset, 4);
            return End(start, 4 + VariableText(src, size, 4));
        case ParamGroupPointer:
            Copy(p.offset, size);
            if (size >= 8)
                references_.push_back(
                    {start, p.offset + static_cast<std::size_t>(GetI32(src + GroupPointerParamOffsetAt))});
            return End(start, size);
        default:
            break;
        }
        if (IsExpressionCode(p.code)) return Expression(p, start);
        Copy(p.offset, size);
        return End(start, size);
    }

    // Sizes of the last record and group, the terminator, and the group references; false when a
    // reference does not reach a group.
    bool Finish() {
        FinishRecord();
        FinishGroup();
        if (overflow_) return false;
        out_.resize(out_.size() + TerminatorBytes);
        PutU16(out_.data() + out_.size() - 4, 0);
        PutU16(out_.data() + out_.size() - 2, 0xFFFF);
        for (const auto& ref : references_) {
            const auto it = groupMap_.find(ref.oldTarget);
            if (it == groupMap_.end()) return false;
            PutI32(out_.data() + ref.newParam + 4,
                   static_cast<std::int32_t>(static_cast<std::ptrdiff_t>(it->second) -
                                             static_cast<std::ptrdiff_t>(ref.newParam)));
        }
        return true;
    }
    std::vector<std::uint8_t> Take() { return std::move(out_); }

private:
    struct Reference {
        std::size_t newParam;
        std::size_t oldTarget;
    };

    void Copy(std::size_t from, std::size_t n) {
        out_.insert(out_.end(), old_.begin() + static_cast<std::ptrdiff_t>(from),
                    old_.begin() + static_cast<std::ptrdiff_t>(from + n));
    }
    void Pad(std::size_t to) {
        if (out_.size() < to) out_.resize(to, 0);
    }
    // The 8-bit string at `at` (at most `maxBytes`, else up to the parameter's end), converted into a
    // zero-ended field of `units` UTF-16 units.
    void Text(const std::uint8_t* src, std::size_t size, std::size_t at, std::size_t units,
              std::size_t maxBytes = SIZE_MAX) {
        std::u16string wide = Widen(src, size, at, maxBytes);
        if (wide.size() >= units) wide.resize(units - 1);
        wide.resize(units, u'\0');
        for (char16_t c : wide) {
            out_.push_back(static_cast<std::uint8_t>(c));
            out_.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    }
    // A string of its own length; returns the bytes written.
    std::size_t VariableText(const std::uint8_t* src, std::size_t size, std::size_t at) {
        std::u16string wide = Widen(src, size, at, SIZE_MAX);
        wide.push_back(u'\0');
        for (char16_t c : wide) {
            out_.push_back(static_cast<std::uint8_t>(c));
            out_.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        return wide.size() * 2;
    }
    std::u16string Widen(const std::uint8_t* src, std::size_t size, std::size_t at, std::size_t maxBytes) {
        if (at >= size) return {};
        const std::size_t limit = std::min(size - at, maxBytes);
        const auto* begin = src + at;
        const auto* end = std::find(begin, begin + limit, std::uint8_t{0});
        const int bytes = static_cast<int>(end - begin);
        if (bytes == 0) return {};
        const auto* text = reinterpret_cast<LPCSTR>(begin);
        const int units = MultiByteToWideChar(codePage_, 0, text, bytes, nullptr, 0);
        if (units <= 0) return {};
        std::u16string wide(static_cast<std::size_t>(units), u'\0');
        MultiByteToWideChar(codePage_, 0, text, bytes, wide.data(), units);
        return wide;
    }
    bool Expression(const EventParameterView& p, std::size_t start) {
        auto* src = const_cast<std::uint8_t*>(old_.data() + p.offset);
        Copy(p.offset, TokenHeaderBytes);
        const bool ok =
            ForEachToken(src, p.size, [&](std::int32_t code, std::uint8_t* token, std::size_t size) {
                if (code != TokenString) {
                    out_.insert(out_.end(), token, token + size);
                    return true;
                }
                const std::size_t tokenStart = out_.size();
                out_.insert(out_.end(), token, token + TokenHeaderBytes);
                const std::size_t textBytes = VariableText(token, size, TokenHeaderBytes);
                out_.push_back(0);
                out_.push_back(0);
                const std::size_t tokenSize = TokenHeaderBytes + textBytes + 2;
                if (tokenSize > 0x7FFF) return false;
                PutU16(out_.data() + tokenStart + 4, static_cast<std::uint16_t>(tokenSize));
                return true;
            });
        if (!ok) return false;
        // The end: a 32-bit 0 and a 16-bit 0.
        out_.insert(out_.end(), {0, 0, 0, 0, 0, 0});
        return End(start, out_.size() - start);
    }
    bool End(std::size_t start, std::size_t size) {
        if (size > 0x7FFF) return false;
        Pad(start + size);
        out_.resize(start + size);
        PutU16(out_.data() + start, static_cast<std::uint16_t>(size));
        return true;
    }
    void FinishRecord() {
        if (recordStart_ == SIZE_MAX) return;
        if (out_.size() - recordStart_ > 0x7FFF) overflow_ = true;
        PutU16(out_.data() + recordStart_, static_cast<std::uint16_t>(out_.size() - recordStart_));
        recordStart_ = SIZE_MAX;
    }
    void FinishGroup() {
        if (groupStart_ == SIZE_MAX) return;
        const auto size = static_cast<int>(out_.size() - groupStart_);
        if (size > 0x7FFF) overflow_ = true;
        PutU16(out_.data() + groupStart_, static_cast<std::uint16_t>(-size));
        groupStart_ = SIZE_MAX;
    }

    std::span<const std::uint8_t> old_;
    std::uint32_t codePage_;
    std::vector<std::uint8_t> out_;
    std::size_t groupStart_ = SIZE_MAX;
    std::size_t recordStart_ = SIZE_MAX;
    bool overflow_ = false;
    std::map<std::size_t, std::size_t> groupMap_;
    std::vector<Reference> references_;
};

} // namespace

int ConvertEventsToUnicode(FrameEvents& events, std::uint32_t codePage) {
    try {
        std::vector<std::uint8_t> old = events.stored;
        Converter converter(old, codePage);
        int result = WalkEventProgram(old, converter);
        if (result == EventsOk && !converter.Finish()) result = EventsDamaged;
        std::vector<std::uint8_t> rebuilt = converter.Take();
        // A record or group that grew beyond what a 16-bit size holds cannot be stored.
        if (result == EventsOk && WholeGroupsLength(rebuilt) + TerminatorBytes != rebuilt.size())
            result = EventsDamaged;
        if (result != EventsOk) {
            events.stored.clear();
            return result;
        }
        events.stored = std::move(rebuilt);
        return EventsOk;
    } catch (const std::bad_alloc&) {
        events.stored.clear();
        return EventsOutOfMemory;
    }
}

} // namespace vtrrt
