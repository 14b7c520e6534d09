#include "persist/global_object_store.h"

#include "builtin/counters.h"
#include "builtin/text_object.h"
#include "core/frame_run_state.h"
#include "objects/run_objects.h"
#include "startup/object_infos.h"

#include "vtrs2/memory.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "vtrformat/bytes.h"

namespace vtrrt {

namespace {

constexpr std::int32_t StoreStep = 256;
constexpr std::size_t EntryHeaderBytes = 8;
// Value count, value flags, the values; the strings follow.
constexpr std::size_t ValuesHeaderBytes = 8;
constexpr std::size_t MinValuesElementBytes = ValuesHeaderBytes + AlterableValueCount * sizeof(TypedValue);
// A text's element holds a copy of its text (owned by the store); a counter's its value and limits.
constexpr std::size_t TextElementBytes = 16;
constexpr std::size_t CounterElementBytes = 40;
static_assert(sizeof(TypedValue) + 2 * sizeof(std::int32_t) + 2 * sizeof(double) == CounterElementBytes);

char16_t Fold(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool SameKey(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

std::u16string KeyOf(const ObjectInfoRunEntry& e) {
    const std::u16string_view name(e.name, std::find(std::begin(e.name), std::end(e.name), u'\0') - e.name);
    std::u16string key(name);
    key += u"::";
    for (char c : std::to_string(e.objectType))
        key.push_back(static_cast<char16_t>(c));
    return key;
}

std::size_t KeyBytes(const std::u16string& key) {
    return (key.size() + 1) * sizeof(char16_t);
}

std::u16string EntryKey(const std::uint8_t* entry) {
    std::u16string key;
    for (const std::uint8_t* p = entry + EntryHeaderBytes;; p += 2) {
        char16_t c;
        std::memcpy(&c, p, 2);
        if (!c) return key;
        key.push_back(c);
    }
}

std::uint8_t* ElementsOf(std::uint8_t* entry) {
    std::size_t units = 0;
    for (const std::uint8_t* p = entry + EntryHeaderBytes; p[0] | p[1]; p += 2)
        ++units;
    return entry + EntryHeaderBytes + (units + 1) * sizeof(char16_t);
}

// The strings of one values element: ten terminated UTF-16 strings after the values.
std::size_t StringsBytes(ObjectValuesBlock& vb) {
    std::size_t bytes = 0;
    for (char16_t* s : vb.strings)
        bytes += ((s ? std::char_traits<char16_t>::length(s) : 0) + 1) * sizeof(char16_t);
    return bytes;
}

std::size_t ValuesElementBytes(RunObject* o) {
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb) return MinValuesElementBytes;
    return std::max(MinValuesElementBytes, ValuesHeaderBytes +
                                               static_cast<std::size_t>(vb->count) * sizeof(TypedValue) +
                                               StringsBytes(*vb));
}

char16_t* CopyString(const char16_t* s) {
    if (!s) return nullptr;
    const std::size_t units = std::char_traits<char16_t>::length(s) + 1;
    char16_t* copy = nullptr;
    if (!AllocMemory(units * sizeof(char16_t), &copy)) return nullptr;
    std::memcpy(copy, s, units * sizeof(char16_t));
    return copy;
}

// The string values of an element are the store's own copies.
void FreeElementStrings(std::uint8_t* element) {
    const std::uint32_t count = vtrformat::GetU32(element);
    for (std::uint32_t i = 0; i < count; ++i) {
        TypedValue v;
        std::memcpy(&v, element + ValuesHeaderBytes + i * sizeof(TypedValue), sizeof v);
        if (v.type == TypeString && v.string) FreeMemoryBlock(v.string);
    }
}

char16_t* TextOfElement(const std::uint8_t* element) {
    char16_t* text;
    std::memcpy(&text, element, sizeof text);
    return text;
}

void FreeEntry(std::uint8_t* entry) {
    const std::uint32_t count = vtrformat::GetU32(entry), size = vtrformat::GetU32(entry + 4);
    std::uint8_t* elements = ElementsOf(entry);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t* element = elements + std::size_t{i} * size;
        if (size == TextElementBytes)
            FreeMemoryBlock(TextOfElement(element));
        else if (size != CounterElementBytes)
            FreeElementStrings(element);
    }
    FreeMemoryBlock(entry);
}

// A text keeps the text it shows.
void WriteText(std::uint8_t* element, RunObject* o) {
    FreeMemoryBlock(TextOfElement(element));
    std::memset(element, 0, TextElementBytes);
    const TextPart* t = TextOf(o);
    const std::u16string shown = TextShown(o);
    char16_t* copy = t ? CopyString(shown.c_str()) : nullptr;
    std::memcpy(element, &copy, sizeof copy);
}

void ReadText(const std::uint8_t* element, RunObject* o) {
    if (const char16_t* text = TextOfElement(element)) ShowTextString(o, text);
}

void WriteCounter(std::uint8_t* element, RunObject* o) {
    std::memset(element, 0, CounterElementBytes);
    const CounterPart* c = CounterOf(o);
    if (!c) return;
    std::memcpy(element, &c->value, sizeof c->value);
    std::memcpy(element + 16, &c->limits.minimum, 4);
    std::memcpy(element + 20, &c->limits.maximum, 4);
    std::memcpy(element + 24, &c->limits.minimumReal, 8);
    std::memcpy(element + 32, &c->limits.maximumReal, 8);
}

void ReadCounter(const std::uint8_t* element, RunObject* o) {
    CounterPart* c = CounterOf(o);
    if (!c) return;
    TypedValue value;
    std::memcpy(&value, element, sizeof value);
    if (value.type != TypeInteger && value.type != TypeDouble) return;
    c->value = value;
    std::memcpy(&c->limits.minimum, element + 16, 4);
    std::memcpy(&c->limits.maximum, element + 20, 4);
    std::memcpy(&c->limits.minimumReal, element + 24, 8);
    std::memcpy(&c->limits.maximumReal, element + 32, 8);
    if (o->displayRoutine) o->displayRoutine(o);
}

std::size_t ElementBytes(std::int16_t type, RunObject* o) {
    if (type == TypeText) return TextElementBytes;
    if (type == TypeCounter) return CounterElementBytes;
    return ValuesElementBytes(o);
}

void WriteValues(std::uint8_t* element, std::size_t size, RunObject* o) {
    FreeElementStrings(element);
    std::memset(element, 0, size);
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb) return;
    const auto* values = static_cast<const TypedValue*>(vb->values);
    const std::int32_t count = values ? vb->count : 0;
    vtrformat::PutU32(element, static_cast<std::uint32_t>(count));
    vtrformat::PutU32(element + 4, vb->flags);
    for (std::int32_t i = 0; i < count; ++i) {
        TypedValue v{};
        CopyTypedValue(v, values[i]);
        if (v.type == TypeString) v.string = CopyString(v.string);
        std::memcpy(element + ValuesHeaderBytes + static_cast<std::size_t>(i) * sizeof(TypedValue), &v,
                    sizeof v);
    }
    std::uint8_t* at = element + ValuesHeaderBytes + static_cast<std::size_t>(count) * sizeof(TypedValue);
    for (char16_t* s : vb->strings) {
        const std::size_t bytes = (s ? std::char_traits<char16_t>::length(s) : 0) * sizeof(char16_t);
        if (bytes) std::memcpy(at, s, bytes);
        at += bytes + sizeof(char16_t); // the terminator is already zero
    }
}

void ReadValues(const std::uint8_t* element, std::size_t size, RunObject* o) {
    ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb) return;
    auto* values = static_cast<TypedValue*>(vb->values);
    const std::uint32_t count = std::min<std::uint32_t>(vtrformat::GetU32(element), values ? vb->count : 0);
    vb->flags = vtrformat::GetU32(element + 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        TypedValue v;
        std::memcpy(&v, element + ValuesHeaderBytes + i * sizeof(TypedValue), sizeof v);
        if (values[i].type == TypeString) FreeMemory(&values[i].string);
        CopyTypedValue(values[i], v);
        if (v.type == TypeString) values[i].string = CopyString(v.string);
    }
    const std::uint8_t* at = element + ValuesHeaderBytes + vtrformat::GetU32(element) * sizeof(TypedValue);
    const std::uint8_t* end = element + size;
    for (int i = 0; i < AlterableStringCount && at + 2 <= end; ++i) {
        std::u16string text;
        for (; at + 2 <= end; at += 2) {
            char16_t c;
            std::memcpy(&c, at, 2);
            if (!c) break;
            text.push_back(c);
        }
        at += 2;
        SetAlterableString(o, i, text.c_str());
    }
}

// The instances of a run entry in chain order.
template <typename F> void ForEachInstance(FrameRunState& s, const ObjectInfoRunEntry& e, F&& f) {
    for (std::int16_t h = e.firstInstance; h != NoInstanceLink && h >= 0 && h < s.maxObjects;) {
        RunObject* o = s.objects[h].object;
        if (!o) break;
        f(o);
        h = o->nextInstance;
    }
}

bool StoredKind(const ApplicationRecord& app, const ObjectInfoRunEntry& e) {
    ObjectInfo* info =
        SeekObjectInfoByHandle(const_cast<ApplicationRecord*>(&app), static_cast<std::uint16_t>(e.handle));
    // Texts and counters keep their own fields; other kinds their alterable values.
    return info && (info->headerFlags & InfoHeaderGlobal) &&
           (e.objectType == TypeText || e.objectType == TypeCounter || (e.flags & RunEntryHasValues));
}

std::int32_t FindEntry(const GlobalObjectStore& store, std::u16string_view key) {
    for (std::int32_t i = 0; i < store.count; ++i)
        if (SameKey(EntryKey(store.entries[i]), key)) return i;
    return -1;
}

GlobalObjectStore* StoreOf(ApplicationRecord& app) {
    if (app.run.globalStore) return app.run.globalStore;
    GlobalObjectStore* store = nullptr;
    if (!AllocZeroedMemory(sizeof(GlobalObjectStore), &store)) return nullptr;
    app.run.globalStore = store;
    return store;
}

// A new entry or a grown one: at least `count` elements of `size` bytes, the old elements kept.
std::uint8_t* SizedEntry(std::uint8_t* old, const std::u16string& key, std::uint32_t count,
                         std::uint32_t size) {
    const std::uint32_t oldCount = old ? vtrformat::GetU32(old) : 0,
                        oldSize = old ? vtrformat::GetU32(old + 4) : 0;
    if (old && oldCount >= count && oldSize >= size) return old;
    count = std::max(count, oldCount);
    size = std::max(size, oldSize);
    const std::size_t header = EntryHeaderBytes + KeyBytes(key);
    std::uint8_t* entry = nullptr;
    if (!AllocZeroedMemory(header + std::size_t{count} * size, &entry)) return nullptr;
    vtrformat::PutU32(entry, count);
    vtrformat::PutU32(entry + 4, size);
    std::memcpy(entry + EntryHeaderBytes, key.c_str(), KeyBytes(key));
    if (old) {
        const std::uint8_t* from = ElementsOf(old);
        for (std::uint32_t i = 0; i < oldCount; ++i)
            std::memcpy(entry + header + std::size_t{i} * size, from + std::size_t{i} * oldSize, oldSize);
        FreeMemoryBlock(old); // the string copies moved with the elements
    }
    return entry;
}

bool PutEntry(GlobalObjectStore& store, std::int32_t index, std::uint8_t* entry) {
    if (index >= 0) {
        store.entries[index] = entry;
        return true;
    }
    if (store.count == store.capacity) {
        void* block = store.entries;
        const std::size_t bytes = static_cast<std::size_t>(store.capacity + StoreStep) * sizeof(void*);
        if (!(block ? ReallocMemory(bytes, &block) : AllocMemory(bytes, &block))) return false;
        store.entries = static_cast<std::uint8_t**>(block);
        store.capacity += StoreStep;
    }
    store.entries[store.count++] = entry;
    return true;
}

} // namespace

void StoreGlobalObjects() {
    FrameRunState* s = CurrentRunState();
    if (!s || !s->objectInfos || !s->application) return;
    ApplicationRecord& app = *s->application;
    for (std::int32_t i = 0; i < s->objectInfoCount; ++i) {
        const ObjectInfoRunEntry& e = s->objectInfos[i];
        if (e.instanceCount <= 0 || !StoredKind(app, e)) continue;
        GlobalObjectStore* store = StoreOf(app);
        if (!store) return;
        std::uint32_t size = 0;
        ForEachInstance(*s, e, [&](RunObject* o) {
            size = std::max<std::uint32_t>(size, static_cast<std::uint32_t>(ElementBytes(e.objectType, o)));
        });
        const std::u16string key = KeyOf(e);
        const std::int32_t index = FindEntry(*store, key);
        std::uint8_t* old = index >= 0 ? store->entries[index] : nullptr;
        std::uint8_t* entry = SizedEntry(old, key, static_cast<std::uint32_t>(e.instanceCount), size);
        if (!entry) return;
        if (!PutEntry(*store, index, entry)) {
            FreeEntry(entry);
            return;
        }
        size = vtrformat::GetU32(entry + 4);
        std::uint8_t* element = ElementsOf(entry);
        ForEachInstance(*s, e, [&](RunObject* o) {
            if (e.objectType == TypeText)
                WriteText(element, o);
            else if (e.objectType == TypeCounter)
                WriteCounter(element, o);
            else
                WriteValues(element, size, o);
            element += size;
        });
    }
}

void RestoreGlobalObjects() {
    FrameRunState* s = CurrentRunState();
    if (!s || !s->objectInfos || !s->application || !s->application->run.globalStore) return;
    const GlobalObjectStore& store = *s->application->run.globalStore;
    for (std::int32_t i = 0; i < s->objectInfoCount; ++i) {
        const ObjectInfoRunEntry& e = s->objectInfos[i];
        if (e.instanceCount <= 0 || !StoredKind(*s->application, e)) continue;
        const std::int32_t index = FindEntry(store, KeyOf(e));
        if (index < 0) continue;
        std::uint8_t* entry = store.entries[index];
        const std::uint32_t count = vtrformat::GetU32(entry), size = vtrformat::GetU32(entry + 4);
        const std::uint8_t* element = ElementsOf(entry);
        std::uint32_t n = 0;
        ForEachInstance(*s, e, [&](RunObject* o) {
            if (n++ >= count) return;
            if (e.objectType == TypeText && size == TextElementBytes)
                ReadText(element, o);
            else if (e.objectType == TypeCounter && size == CounterElementBytes)
                ReadCounter(element, o);
            else if (size >= MinValuesElementBytes)
                ReadValues(element, size, o);
            element += size;
        });
    }
}

void FreeGlobalObjectStore(ApplicationRecord& app) {
    GlobalObjectStore* store = app.run.globalStore;
    if (!store) return;
    for (std::int32_t i = 0; i < store->count; ++i)
        FreeEntry(store->entries[i]);
    FreeMemory(&store->entries);
    FreeMemory(&store);
    app.run.globalStore = nullptr;
}

void WriteGlobalObjectStore(PositionWriter& file, const ApplicationRecord& app) {
    const GlobalObjectStore* store = app.run.globalStore;
    const std::int32_t count = store ? store->count : 0;
    file.U32(static_cast<std::uint32_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint8_t* entry = store->entries[i];
        const std::uint32_t elements = vtrformat::GetU32(entry), size = vtrformat::GetU32(entry + 4);
        const std::uint8_t* first = ElementsOf(entry);
        const std::size_t held = static_cast<std::size_t>(first - entry) + std::size_t{elements} * size;
        // The entry as held with its pointers written as 0: a text's copy, a string value's text.
        std::vector<std::uint8_t> copy(entry, entry + held);
        std::uint8_t* at = copy.data() + (first - entry);
        for (std::uint32_t k = 0; k < elements; ++k) {
            std::uint8_t* element = at + std::size_t{k} * size;
            if (size == TextElementBytes) {
                std::memset(element, 0, sizeof(char16_t*));
            } else if (size != CounterElementBytes) {
                for (std::uint32_t v = 0; v < vtrformat::GetU32(element); ++v) {
                    std::uint8_t* value = element + ValuesHeaderBytes + v * sizeof(TypedValue);
                    if (vtrformat::GetU32(value) == static_cast<std::uint32_t>(TypeString))
                        std::memset(value + 8, 0, 8);
                }
            }
        }
        file.U32(static_cast<std::uint32_t>(held + 4));
        file.Bytes(copy);
        file.U32(0);
        if (size != TextElementBytes) continue;
        for (std::uint32_t k = 0; k < elements; ++k) {
            const char16_t* text = TextOfElement(first + std::size_t{k} * size);
            if (!text) {
                file.U32(0);
                continue;
            }
            const std::size_t units = std::char_traits<char16_t>::length(text) + 1;
            file.U32(static_cast<std::uint32_t>(units));
            for (std::size_t u = 0; u < units; ++u)
                file.U16(static_cast<std::uint16_t>(text[u]));
        }
    }
}

bool ReplaceGlobalObjectStore(ApplicationRecord& app, const std::vector<SavedStoreEntry>& saved) {
    FreeGlobalObjectStore(app);
    if (saved.empty()) return true;
    GlobalObjectStore* store = StoreOf(app);
    if (!store) return false;
    for (const SavedStoreEntry& e : saved) {
        const std::size_t header = EntryHeaderBytes + KeyBytes(e.key);
        std::uint8_t* entry = nullptr;
        if (!AllocZeroedMemory(header + e.elements.size(), &entry)) return false;
        vtrformat::PutU32(entry, e.count);
        vtrformat::PutU32(entry + 4, e.elementSize);
        std::memcpy(entry + EntryHeaderBytes, e.key.c_str(), KeyBytes(e.key));
        std::memcpy(entry + header, e.elements.data(), e.elements.size());
        if (e.elementSize == TextElementBytes)
            for (std::uint32_t k = 0; k < e.count && k < e.texts.size(); ++k) {
                char16_t* copy = e.texts[k] ? CopyString(e.texts[k]->c_str()) : nullptr;
                std::memcpy(entry + header + std::size_t{k} * e.elementSize, &copy, sizeof copy);
            }
        if (!PutEntry(*store, -1, entry)) {
            FreeEntry(entry);
            return false;
        }
    }
    return true;
}

} // namespace vtrrt
