#include "appwriter/event_program_builder.h"

#include "appwriter/byte_writer.h"

#include <algorithm>

namespace appwriter {

namespace {

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
    PutAt(b, at, v);
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
    PutAt(b, at, v);
}

// Text without its terminator in the given form.
Bytes Encode(std::u16string_view text, StringForm form) {
    Bytes b = EncodeString(text, form);
    b.resize(b.size() - (form == StringForm::Wide ? 2 : 1));
    return b;
}

EventParameterDesc Param(std::int16_t code, Bytes payload) {
    EventParameterDesc p;
    p.code = code;
    p.payload = std::move(payload);
    return p;
}

Bytes U16Bytes(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

EventParameterDesc WithFields(std::int16_t code, Bytes payload, std::size_t wideSize, std::size_t narrowSize,
                              std::vector<EventParameterDesc::Field> fields) {
    EventParameterDesc p;
    p.code = code;
    p.payload = std::move(payload);
    p.wideSize = wideSize;
    p.narrowSize = narrowSize;
    p.fields = std::move(fields);
    return p;
}

} // namespace

ExpressionBuilder& ExpressionBuilder::Integer(std::int32_t value) {
    ByteWriter w;
    w.I32(value);
    return Raw(TokenIntegerCode, w.Take());
}

ExpressionBuilder& ExpressionBuilder::String(std::u16string text) {
    tokens_.push_back({TokenString, {}, std::move(text), true});
    return *this;
}

ExpressionBuilder& ExpressionBuilder::Operator(std::int32_t code) {
    return Raw(code, {});
}

ExpressionBuilder& ExpressionBuilder::Open() {
    return Raw(ParenthesisCode, {});
}

ExpressionBuilder& ExpressionBuilder::Close() {
    return Raw(TokenCloseCode, {});
}

ExpressionBuilder& ExpressionBuilder::Comma() {
    return Raw(TokenCommaCode, {});
}

ExpressionBuilder& ExpressionBuilder::Object(std::int16_t type, std::int16_t number,
                                             std::uint16_t objectInfo) {
    ByteWriter w;
    w.U16(objectInfo);
    w.U16(0); // resolved index, written by the preparation
    const auto code =
        static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(number)) << 16) |
                                  static_cast<std::uint16_t>(type));
    return Raw(code, w.Take());
}

ExpressionBuilder& ExpressionBuilder::Object(std::int16_t type, std::int16_t number, std::uint16_t objectInfo,
                                             std::int16_t constant) {
    Object(type, number, objectInfo);
    Bytes& payload = tokens_.back().payload;
    payload.push_back(static_cast<std::uint8_t>(constant));
    payload.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(constant) >> 8));
    return *this;
}

ExpressionBuilder& ExpressionBuilder::Raw(std::int32_t code, Bytes payload) {
    tokens_.push_back({code, std::move(payload), {}, false});
    return *this;
}

Bytes ExpressionBuilder::Build(StringForm form) const {
    ByteWriter w;
    for (const Token& t : tokens_) {
        Bytes payload = t.payload;
        if (t.isString) {
            payload = EncodeString(t.text, form);
            // Wide tokens carry two more bytes after the terminator.
            if (form == StringForm::Wide) payload.insert(payload.end(), {0, 0});
        }
        w.I32(t.code);
        w.U16(static_cast<std::uint16_t>(6 + payload.size()));
        w.Bytes(payload);
    }
    w.U32(0);
    w.U16(0);
    return w.Take();
}

EventParameterDesc ObjectParameter(std::uint16_t objectInfo, std::int16_t type) {
    ByteWriter w;
    w.U16(0); // resolved index
    w.U16(objectInfo);
    w.U16(static_cast<std::uint16_t>(type));
    return Param(1, w.Take());
}

EventParameterDesc ShortParameter(std::int16_t code, std::int16_t value) {
    return Param(code, U16Bytes(static_cast<std::uint16_t>(value)));
}

EventParameterDesc IntParameter(std::int16_t code, std::int32_t value) {
    ByteWriter w;
    w.I32(value);
    return Param(code, w.Take());
}

EventParameterDesc ExpressionParameter(std::int16_t code, ExpressionBuilder expression,
                                       std::uint16_t comparison) {
    EventParameterDesc p = Param(code, U16Bytes(comparison));
    p.expression = std::move(expression);
    p.isExpression = true;
    return p;
}

EventParameterDesc PositionParameter(std::int16_t code, std::uint16_t parent, std::int16_t parentType) {
    // Offsets in the parameter minus its 4-byte head: parent at 4, type at 20, index at 22, instance at 26.
    Bytes b(code == 21 ? 24 : 20, 0);
    PutU16(b, 0, parent);
    PutU16(b, 16, static_cast<std::uint16_t>(parentType));
    if (code == 21) PutU16(b, 22, 0xFFFF);
    return Param(code, std::move(b));
}

EventParameterDesc PositionParameter(std::int16_t code, const PositionDesc& position) {
    // Offsets in the parameter less its 4-byte head.
    Bytes b(code == 21 || code == 18 ? 28 : 22, 0);
    PutU16(b, 0, position.parent);
    PutU16(b, 2, position.flags);
    PutU16(b, 4, static_cast<std::uint16_t>(position.x));
    PutU16(b, 6, static_cast<std::uint16_t>(position.y));
    PutU16(b, 8, static_cast<std::uint16_t>(position.distance));
    PutU16(b, 10, static_cast<std::uint16_t>(position.angle));
    PutU32(b, 12, position.directions);
    PutU16(b, 16, static_cast<std::uint16_t>(position.parentType));
    PutU16(b, 20, static_cast<std::uint16_t>(position.layer));
    if (b.size() > 22) PutU16(b, 22, 0xFFFF);
    return Param(code, std::move(b));
}

EventParameterDesc CreateParameter(std::uint16_t objectInfo, const PositionDesc& position) {
    EventParameterDesc p = PositionParameter(21, position);
    PutU16(p.payload, 24, objectInfo);
    return p;
}

EventParameterDesc ShootParameter(std::uint16_t objectInfo, std::int16_t speed,
                                  const PositionDesc& position) {
    EventParameterDesc p = PositionParameter(18, position);
    PutU16(p.payload, 24, objectInfo);
    PutU16(p.payload, 26, static_cast<std::uint16_t>(speed));
    return p;
}

EventParameterDesc ConstantComparisonParameter(std::int32_t value, std::int16_t comparison) {
    Bytes b(10, 0);
    PutU32(b, 0, static_cast<std::uint32_t>(value));
    PutU16(b, 8, static_cast<std::uint16_t>(comparison));
    return Param(42, std::move(b));
}

EventParameterDesc ZoneParameter(std::int16_t left, std::int16_t top, std::int16_t right,
                                 std::int16_t bottom) {
    Bytes b(8, 0);
    PutU16(b, 0, static_cast<std::uint16_t>(left));
    PutU16(b, 2, static_cast<std::uint16_t>(top));
    PutU16(b, 4, static_cast<std::uint16_t>(right));
    PutU16(b, 6, static_cast<std::uint16_t>(bottom));
    return Param(13, std::move(b));
}

EventParameterDesc InkParameter(std::uint32_t ink, std::uint32_t parameter) {
    Bytes b(8, 0);
    PutU32(b, 0, ink);
    PutU32(b, 4, parameter);
    return Param(44, std::move(b));
}

EventParameterDesc SampleParameter(std::int16_t code, std::uint16_t handle, std::uint16_t flags,
                                   std::u16string name) {
    Bytes b = U16Bytes(handle);
    b.insert(b.end(), {static_cast<std::uint8_t>(flags), static_cast<std::uint8_t>(flags >> 8)});
    return WithFields(code, std::move(b), 136, 72, {{8, 64, 8, 64, std::move(name)}});
}

EventParameterDesc FileParameter(std::int16_t code, std::u16string name) {
    return WithFields(code, {}, 524, 264, {{4, 260, 4, 260, std::move(name)}});
}

EventParameterDesc ProgramParameter(std::uint16_t flags, std::u16string path, std::u16string commandLine) {
    return WithFields(33, U16Bytes(flags), 742, 374,
                      {{6, 260, 6, 260, std::move(path)}, {526, 108, 266, 108, std::move(commandLine)}});
}

EventParameterDesc GroupParameter(std::u16string title, std::u16string password, std::uint32_t identifier) {
    EventParameterDesc p =
        WithFields(38, Bytes(4, 0), 204, 108,
                   {{8, 80, 8, 80, std::move(title)}, {168, 16, 88, 16, std::move(password)}});
    p.text.assign(1, static_cast<char16_t>(identifier & 0xFFFF));
    p.text.push_back(static_cast<char16_t>(identifier >> 16));
    return p;
}

EventParameterDesc GroupReferenceParameter(int groupIndex) {
    EventParameterDesc p = Param(39, Bytes(4, 0));
    p.groupReference = groupIndex;
    return p;
}

EventParameterDesc Named57Parameter(std::uint16_t value, std::u16string name) {
    return WithFields(57, U16Bytes(value), 70, 38, {{6, 32, 6, 32, std::move(name)}});
}

EventParameterDesc StringParameter(std::u16string text) {
    EventParameterDesc p = Param(64, {});
    p.text = std::move(text);
    p.hasText = true;
    return p;
}

EventParameterDesc ShortStringParameter(std::uint16_t value, std::u16string text) {
    EventParameterDesc p = Param(10, U16Bytes(value));
    p.text = std::move(text);
    p.hasText = true;
    return p;
}

int EventProgramBuilder::AddGroup(EventGroupDesc group) {
    groups_.push_back(std::move(group));
    return static_cast<int>(groups_.size() - 1);
}

Bytes EventProgramBuilder::Parameter(const EventParameterDesc& p, std::size_t paramOffset,
                                     const std::vector<std::size_t>& groupOffsets) const {
    Bytes b(4, 0);
    b.insert(b.end(), p.payload.begin(), p.payload.end());
    if (!p.fields.empty()) {
        const bool wide = form_ == StringForm::Wide;
        b.resize(wide ? p.wideSize : p.narrowSize, 0);
        for (const auto& f : p.fields) {
            Bytes text = Encode(f.text, form_);
            const std::size_t limit = wide ? (f.wideUnits - 1) * 2 : f.narrowBytes - 1;
            text.resize(std::min(text.size(), limit));
            std::copy(text.begin(), text.end(),
                      b.begin() + static_cast<std::ptrdiff_t>(wide ? f.wideOffset : f.narrowOffset));
        }
        if (p.code == 38 && p.text.size() == 2) {
            const std::uint32_t id = p.text[0] | (static_cast<std::uint32_t>(p.text[1]) << 16);
            PutU32(b, wide ? 200 : 104, id);
        }
    }
    if (p.hasText) {
        const Bytes text = EncodeString(p.text, form_);
        b.insert(b.end(), text.begin(), text.end());
    }
    if (p.isExpression) {
        const Bytes e = p.expression.Build(form_);
        b.insert(b.end(), e.begin(), e.end());
    }
    if (p.groupReference >= 0 && static_cast<std::size_t>(p.groupReference) < groupOffsets.size())
        PutU32(b, 4,
               static_cast<std::uint32_t>(static_cast<std::int64_t>(groupOffsets[p.groupReference]) -
                                          static_cast<std::int64_t>(paramOffset)));
    PutU16(b, 0, static_cast<std::uint16_t>(b.size()));
    PutU16(b, 2, static_cast<std::uint16_t>(p.code));
    return b;
}

Bytes EventProgramBuilder::Groups(const std::vector<std::size_t>& groupOffsets) const {
    Bytes out;
    for (const EventGroupDesc& g : groups_) {
        const std::size_t start = out.size();
        out.resize(start + 16, 0);
        out[start + 2] = static_cast<std::uint8_t>(g.conditions.size());
        out[start + 3] = static_cast<std::uint8_t>(g.actions.size());
        PutU16(out, start + 4, g.flags);
        PutU32(out, start + 8, static_cast<std::uint32_t>(g.counterA));
        PutU32(out, start + 12, static_cast<std::uint32_t>(g.counterB));
        auto writeRecord = [&](const EventRecordDesc& r, bool condition) {
            const std::size_t rs = out.size();
            out.resize(rs + (condition ? 16 : 14), 0);
            PutU16(out, rs + 2, static_cast<std::uint16_t>(r.type));
            PutU16(out, rs + 4, static_cast<std::uint16_t>(r.number));
            PutU16(out, rs + 6, r.objectInfo);
            out[rs + 10] = r.runFlags;
            out[rs + 11] = r.negation;
            out[rs + 12] = static_cast<std::uint8_t>(
                r.countOverride.value_or(static_cast<std::int8_t>(r.parameters.size())));
            if (condition) PutU16(out, rs + 14, r.identifier);
            for (const auto& p : r.parameters) {
                const Bytes pb = Parameter(p, out.size(), groupOffsets);
                out.insert(out.end(), pb.begin(), pb.end());
            }
            PutU16(out, rs,
                   static_cast<std::uint16_t>(
                       r.sizeOverride.value_or(static_cast<std::int16_t>(out.size() - rs))));
        };
        for (const auto& c : g.conditions)
            writeRecord(c, true);
        for (const auto& a : g.actions)
            writeRecord(a, false);
        const auto size = static_cast<std::int16_t>(-static_cast<int>(out.size() - start));
        PutU16(out, start, static_cast<std::uint16_t>(g.sizeOverride.value_or(size)));
    }
    return out;
}

std::vector<std::size_t> EventProgramBuilder::GroupOffsets() const {
    std::vector<std::size_t> offsets;
    const Bytes plain = Groups({});
    std::size_t pos = 0;
    for (std::size_t i = 0; i < groups_.size() && pos + 2 <= plain.size(); ++i) {
        offsets.push_back(pos);
        const auto size = static_cast<std::int16_t>(plain[pos] | (plain[pos + 1] << 8));
        if (size >= 0) break;
        pos += static_cast<std::size_t>(-static_cast<int>(size));
    }
    return offsets;
}

Bytes EventProgramBuilder::Program() const {
    Bytes out = Groups(GroupOffsets());
    out.insert(out.end(), {0, 0, 0xFF, 0xFF});
    return out;
}

Bytes EventProgramBuilder::HeaderItem() const {
    ByteWriter w;
    w.U32(EventTagHeader);
    w.U16(maxObjects);
    w.U16(objectInfoCount);
    w.U16(runtimeCount);
    for (std::int16_t c : conditionCounts)
        w.U16(static_cast<std::uint16_t>(c));
    w.U16(static_cast<std::uint16_t>(qualifiers.size()));
    for (const auto& q : qualifiers) {
        w.U16(q.qualifier);
        w.U16(static_cast<std::uint16_t>(q.objectType));
    }
    return w.Take();
}

Bytes EventProgramBuilder::ChunkPayload(int pieces) const {
    const Bytes groups = Groups(GroupOffsets());
    ByteWriter w;
    w.Bytes(HeaderItem());
    w.U32(EventTagSize);
    w.U32(static_cast<std::uint32_t>(groups.size()));
    pieces = std::max(1, pieces);
    const std::size_t step = std::max<std::size_t>(1, (groups.size() + static_cast<std::size_t>(pieces) - 1) /
                                                          static_cast<std::size_t>(pieces));
    for (std::size_t at = 0; at < groups.size(); at += step) {
        const std::size_t n = std::min(step, groups.size() - at);
        w.U32(EventTagGroups);
        w.U32(static_cast<std::uint32_t>(n));
        w.Bytes(std::span(groups).subspan(at, n));
    }
    w.U32(EventTagEnd);
    return w.Take();
}

} // namespace appwriter
