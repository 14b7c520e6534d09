// The kinds' own parts of a saved position: texts, the score, lives and counter objects and sub-applications,
// each written and read back by its own routine in 80 bytes (a text adds what it shows, a sub-application
// its file name and its child's own position), rich texts (their scroll positions and zoom, behind a u32
// length), and extension objects, whose state their extension writes and reads.
#include "core/upcalls.h"

#include "builtin/counters.h"
#include "builtin/sub_application.h"
#include "builtin/text_object.h"
#include "core/runtime_services.h"
#include "events/extension_host.h"
#include "persist/position_file.h"
#include "persist/saved_positions.h"
#include "richtext/rich_text_object.h"
#include "startup/event_program.h"

#include <cstring>

#include <array>

namespace vtrrt {

namespace {

constexpr std::size_t KindPartBytes = 80;

void Pad(PositionWriter& w, std::size_t start) {
    w.Zeros(KindPartBytes - (w.bytes.size() - start));
}

bool TakePart(ByteReader& r, SavedObject& o) {
    std::span<const std::uint8_t> part;
    if (!r.Take(KindPartBytes, part)) return false;
    o.kind.assign(part.begin(), part.end());
    return true;
}

bool WriteText(PositionWriter& w, RunObject* o) {
    const std::size_t start = w.bytes.size();
    const TextPart* t = TextOf(o);
    if (t) {
        w.I32(t->width);
        w.I32(t->height);
        w.U8(t->creationFlags);
        w.U8(t->needsMeasuring);
        w.U8(t->state);
        w.U8(0);
        w.U16(t->font);
        w.U16(0);
        w.I32(t->index);
        w.I32(t->count);
        w.U32(t->colour);
    }
    Pad(w, start);
    w.Text(t ? t->string : nullptr);
    return true;
}

bool ReadText(ByteReader& r, SavedObject& o) {
    return TakePart(r, o) && vtrrt::ReadText(r, o.kindText);
}

bool ApplyText(RunObject* o, const SavedObject& saved) {
    TextPart* t = TextOf(o);
    if (!t || saved.kind.size() != KindPartBytes) return true;
    if (saved.kindText) SetTextString(o, *saved.kindText);
    ByteReader r(saved.kind);
    std::uint8_t pad8 = 0;
    std::uint16_t pad16 = 0;
    r.I32(t->width);
    r.I32(t->height);
    r.U8(t->creationFlags);
    r.U8(t->needsMeasuring);
    r.U8(t->state);
    r.U8(pad8);
    r.U16(t->font);
    r.U16(pad16);
    std::int32_t count = 0;
    r.I32(t->index);
    // The paragraph count is the definition's, whatever the file says.
    r.I32(count);
    r.U32(t->colour);
    // The box is measured again from the text it now holds.
    t->needsMeasuring = 1;
    return true;
}

bool WriteCounter(PositionWriter& w, RunObject* o) {
    const std::size_t start = w.bytes.size();
    if (const CounterPart* c = CounterOf(o)) {
        w.I16(c->player);
        w.U16(c->font);
        w.I32(c->frame);
        w.U32(static_cast<std::uint32_t>(c->value.type));
        if (c->value.IsDouble())
            w.F64(c->value.real);
        else
            w.F64(static_cast<double>(c->value.integer));
        const CounterLimits& l = c->limits;
        for (std::int32_t v :
             {l.minimum, l.maximum, l.reserved[0], l.reserved[1], l.shown, l.width, l.height})
            w.I32(v);
        w.F64(l.minimumReal);
        w.F64(l.maximumReal);
        w.U32(c->colour1);
        w.U32(c->colour2);
    }
    Pad(w, start);
    return true;
}

bool ReadCounter(ByteReader& r, SavedObject& o) {
    if (!TakePart(r, o)) return false;
    // The value's type: an integer (held complemented) or a double.
    const std::uint32_t type =
        o.kind[8] | (o.kind[9] << 8) | (o.kind[10] << 16) | (static_cast<std::uint32_t>(o.kind[11]) << 24);
    return type == TypeInteger || type == TypeDouble;
}

bool ApplyCounter(RunObject* o, const SavedObject& saved) {
    CounterPart* c = CounterOf(o);
    if (!c || saved.kind.size() != KindPartBytes) return true;
    ByteReader r(saved.kind);
    std::uint32_t type = 0;
    double value = 0;
    r.I16(c->player);
    r.U16(c->font);
    r.I32(c->frame);
    r.U32(type);
    ReadF64(r, value);
    c->value = type == static_cast<std::uint32_t>(TypeDouble)
                   ? TypedValue::Double(value)
                   : TypedValue::Int(static_cast<std::int32_t>(value));
    CounterLimits& l = c->limits;
    for (std::int32_t* v :
         {&l.minimum, &l.maximum, &l.reserved[0], &l.reserved[1], &l.shown, &l.width, &l.height})
        r.I32(*v);
    ReadF64(r, l.minimumReal);
    ReadF64(r, l.maximumReal);
    r.U32(c->colour1);
    r.U32(c->colour2);
    return true;
}

// A child's position is stamped with 0 whatever its own stamp: only its parent's file is stamped.
constexpr std::int32_t ChildPositionStamp = 0;

// The child's state: its position, written with it current; empty when it runs no frame.
std::vector<std::uint8_t> ChildPosition(ApplicationRecord* child) {
    if (!child || !child->run.frame || !child->run.frame->runState) return {};
    const CurrentApplicationScope scope(child);
    return WriteApplicationPosition(ChildPositionStamp);
}

// 80 bytes: the definition's width and height, the options, the frame numbers of the last two passes, the
// start frame, the frame the child runs (-1: none) and whether it is shown; then the file name; then 1 and
// the child's position (u32 its length, the bytes), or 0 when no child runs.
bool SaveSubApplicationState(PositionWriter& w, RunObject* o) {
    const SubAppPart* p = SubAppOf(o);
    if (!p) return false;
    const std::vector<std::uint8_t> child = ChildPosition(p->child);
    if (p->child && p->child->run.frame && child.empty()) return false;
    const std::size_t start = w.bytes.size();
    w.I32(p->width);
    w.I32(p->height);
    w.U32(p->options);
    w.I32(p->previousFrame);
    w.I32(p->currentFrame);
    w.U16(p->startFrame);
    w.U16(0);
    w.I32(child.empty() ? -1 : p->child->currentFrameIndex);
    w.I32(!child.empty() && p->child->subAppVisible ? 1 : 0);
    Pad(w, start);
    w.Text(p->fileName[0] ? p->fileName : nullptr);
    w.U8(child.empty() ? 0 : 1);
    if (child.empty()) return true;
    if (child.size() > UINT32_MAX) return false;
    w.U32(static_cast<std::uint32_t>(child.size()));
    w.Bytes(child);
    return true;
}

bool ReadSubApplicationState(ByteReader& r, SavedObject& o) {
    std::uint8_t running = 0;
    if (!TakePart(r, o) || !vtrrt::ReadText(r, o.kindText) || !r.U8(running) || running > 1) return false;
    if (o.kindText && o.kindText->size() >= PathUnits) return false;
    if (!running) return true;
    std::uint32_t bytes = 0;
    std::span<const std::uint8_t> position;
    if (!r.U32(bytes) || !r.Take(bytes, position) || position.size() < PositionMagicBytes ||
        std::memcmp(position.data(), PositionMagic, PositionMagicBytes) != 0)
        return false;
    o.childPosition.emplace(position.begin(), position.end());
    return true;
}

// The child started again at the frame it ran, stepped once into it, and given its own position back.
bool LoadSubApplicationState(RunObject* o, const SavedObject& saved) {
    SubAppPart* p = SubAppOf(o);
    if (!p || saved.kind.size() != KindPartBytes) return true;
    ByteReader r(saved.kind);
    std::uint16_t pad = 0;
    std::int32_t frame = -1, visible = 0;
    r.I32(p->width);
    r.I32(p->height);
    r.U32(p->options);
    r.I32(p->previousFrame);
    r.I32(p->currentFrame);
    r.U16(p->startFrame);
    r.U16(pad);
    r.I32(frame);
    r.I32(visible);
    std::fill(std::begin(p->fileName), std::end(p->fileName), 0);
    if (saved.kindText) std::copy(saved.kindText->begin(), saved.kindText->end(), p->fileName);
    if (!saved.childPosition) return true;
    EndSubApplication(o);
    StartSubApplication(o, false, frame);
    ApplicationRecord* child = p->child;
    if (!child) return false;
    child->subAppVisible = visible;
    const CurrentApplicationScope scope(child);
    if (!up::RunApplicationStep(child, 0) || child->currentFrameIndex != frame) return false;
    return LoadPositionFromBytes(*saved.childPosition, ChildPositionStamp) == PositionValid;
}

bool WriteExtension(PositionWriter& w, RunObject* o) {
    const std::optional<ExtensionSavedState> keeping = ExtensionStateKeeping(o->objectType);
    if (!keeping) return false;
    w.U32(static_cast<std::uint32_t>(std::int32_t{keeping->dataVersion}));
    w.U8(keeping->saves ? 1 : 0);
    if (!keeping->saves) return true;
    std::vector<std::uint8_t> state;
    if (!SaveExtensionObjectState(o, state) || state.size() > UINT32_MAX) return false;
    w.U32(static_cast<std::uint32_t>(state.size()));
    w.Bytes(state);
    return true;
}

bool ReadExtension(ByteReader& r, SavedObject& o) {
    std::uint8_t kept = 0;
    if (!r.U32(o.extensionVersion) || !r.U8(kept) || kept > 1) return false;
    if (!kept) return true;
    std::uint32_t bytes = 0;
    std::span<const std::uint8_t> state;
    if (!r.U32(bytes) || !r.Take(bytes, state)) return false;
    o.extensionState.emplace(state.begin(), state.end());
    return true;
}

bool ApplyExtension(RunObject* o, const SavedObject& saved) {
    return !saved.extensionState || LoadExtensionObjectState(o, *saved.extensionState);
}

bool WriteRichText(PositionWriter& w, RunObject* o) {
    std::vector<std::uint8_t> state;
    WriteRichTextState(o, state);
    w.U32(static_cast<std::uint32_t>(state.size()));
    w.Bytes(state);
    return true;
}

// Nothing (an object without a document), or the whole state; anything else is damaged.
bool ReadRichText(ByteReader& r, SavedObject& o) {
    std::uint32_t bytes = 0;
    std::span<const std::uint8_t> state;
    if (!r.U32(bytes) || (bytes != 0 && bytes != RichTextStateBytes) || !r.Take(bytes, state)) return false;
    o.kind.assign(state.begin(), state.end());
    return true;
}

bool ApplyRichText(RunObject* o, const SavedObject& saved) {
    return saved.kind.empty() || ReadRichTextState(o, saved.kind);
}

constexpr KindPositionRoutines TextRoutines{WriteText, ReadText, ApplyText};
constexpr KindPositionRoutines RichTextRoutines{WriteRichText, ReadRichText, ApplyRichText};
constexpr KindPositionRoutines CounterRoutines{WriteCounter, ReadCounter, ApplyCounter};
constexpr KindPositionRoutines ExtensionRoutines{WriteExtension, ReadExtension, ApplyExtension};
constexpr KindPositionRoutines SubApplicationRoutines{SaveSubApplicationState, ReadSubApplicationState,
                                                      LoadSubApplicationState};

} // namespace

const KindPositionRoutines* KindPositionRoutinesOf(std::int16_t type) {
    switch (type) {
    case TypeText:
        return &TextRoutines;
    case TypeScoreDisplay:
    case TypeLivesDisplay:
    case TypeCounter:
        return &CounterRoutines;
    case TypeSubApplication:
        return &SubApplicationRoutines;
    case TypeRichText:
        return &RichTextRoutines;
    default:
        return type >= FirstExtensionType ? &ExtensionRoutines : nullptr;
    }
}

} // namespace vtrrt
