// The filter plug-in manager: scanning a folder, binding entry points, the priority-ordered list, names and
// lists in both string forms, and filters made by identifier, by position or by asking each plug-in.
#include "vtrs2/filters.h"

#include "vtrs2/compat.h"
#include "vtrs2/containers.h"
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"
#include "win32/kernel.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace win32;

namespace {

// Windows' error boxes stay off while a plug-in loads.
constexpr UINT QuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
constexpr UINT SystemCodePage = 0;

const char EmptyNarrow[] = "";
const WCHAR EmptyWide[] = u"";
const char* const EmptyNarrowList[] = {nullptr};
const WCHAR* const EmptyWideList[] = {nullptr};

template <typename Proc> Proc Bind(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(GetProcAddress(module, name));
}

std::size_t ListLength(const void* const* list) {
    std::size_t n = 0;
    while (list && list[n])
        ++n;
    return n;
}

// One block holding the pointer array and the strings converted from the other form.
template <typename To, typename From, typename Convert>
const To* const* ConvertList(const From* const* list, Convert convert) {
    const std::size_t n = ListLength(reinterpret_cast<const void* const*>(list));
    std::vector<std::basic_string<To>> strings;
    std::size_t units = 0;
    try {
        for (std::size_t i = 0; i < n; ++i) {
            To* converted = convert(list[i]);
            if (!converted) return nullptr;
            strings.emplace_back(converted);
            FreeString(converted);
            units += strings.back().size() + 1;
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    void* block = nullptr;
    if (!AllocZeroedMemory((n + 1) * sizeof(To*) + units * sizeof(To), &block)) return nullptr;
    auto** pointers = static_cast<const To**>(block);
    To* text = reinterpret_cast<To*>(static_cast<std::uint8_t*>(block) + (n + 1) * sizeof(To*));
    for (std::size_t i = 0; i < n; ++i) {
        pointers[i] = text;
        std::memcpy(text, strings[i].c_str(), (strings[i].size() + 1) * sizeof(To));
        text += strings[i].size() + 1;
    }
    return pointers;
}

const char* const* NarrowList(const WCHAR* const* list) {
    return ConvertList<char>(list, [](const WCHAR* s) { return ToNarrowString(s, SystemCodePage); });
}

const WCHAR* const* WideList(const char* const* list) {
    return ConvertList<WCHAR>(list, [](const char* s) { return ToWideString(s, SystemCodePage); });
}

void FreeOwned(const void* block) {
    void* p = const_cast<void*>(block);
    FreeMemory(&p);
}

void UnloadEntry(FilterEntry* e) {
    if (!e) return;
    if (e->module) FreeLibrary(e->module);
    FreeMemory(&e->pathW);
    if (e->ownership & FilterMadePathA) FreeMemory(&e->pathA);
    if (e->ownership & FilterMadeNameA) FreeOwned(e->nameA);
    if (e->ownership & FilterMadeExtensionsA) FreeOwned(e->extensionsA);
    if (e->ownership & FilterMadeDependenciesA) FreeOwned(e->dependenciesA);
    if (e->ownership & FilterMadeNameW) FreeOwned(e->nameW);
    if (e->ownership & FilterMadeExtensionsW) FreeOwned(e->extensionsW);
    if (e->ownership & FilterMadeDependenciesW) FreeOwned(e->dependenciesW);
    FreeMemory(&e);
}

// Before the first entry whose priority is not below the new one's: lower priorities first, and of equal
// ones the entry found last first.
bool InsertByPriority(CFilterList& list, FilterEntry* entry) {
    int at = 0;
    while (at < list.count && list.items[at]->priority < entry->priority)
        ++at;
    void** items = reinterpret_cast<void**>(list.items);
    if (!GrowPointerList(&items, 0, &list.capacity, list.count)) return false;
    list.items = reinterpret_cast<FilterEntry**>(items);
    std::memmove(list.items + at + 1, list.items + at,
                 static_cast<std::size_t>(list.count - at) * sizeof(void*));
    list.items[at] = entry;
    ++list.count;
    return true;
}

WCHAR* JoinPath(const WCHAR* folder, const WCHAR* name) {
    std::u16string path(folder);
    if (!path.empty() && path.back() != u'\\') path.push_back(u'\\');
    path += name;
    WCHAR* copy = nullptr;
    if (!AllocMemory((path.size() + 1) * sizeof(WCHAR), &copy)) return nullptr;
    std::memcpy(copy, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return copy;
}

// The module's entry, or null when it lacks a required entry point (it is then unloaded).
FilterEntry* BindModule(HMODULE module, WCHAR* path, DWORD value) {
    const auto create = Bind<FilterCreateProc>(module, "CreateFilter");
    const auto identifier = Bind<FilterIdProc>(module, "GetFilterID");
    const auto nameA = Bind<FilterNameAProc>(module, "GetFilterName");
    const auto nameW = Bind<FilterNameWProc>(module, "GetFilterNameW");
    FilterEntry* e = nullptr;
    if (!create || !identifier || (!nameA && !nameW) || !AllocZeroedMemory(sizeof(FilterEntry), &e)) {
        FreeLibrary(module);
        FreeMemory(&path);
        return nullptr;
    }
    e->module = module;
    e->pathW = path;
    e->value = value;
    e->create = create;
    e->canRead = Bind<FilterCanReadProc>(module, "CanReadFile");
    const auto priority = Bind<FilterPriorityProc>(module, "GetPriority");
    e->priority = priority ? priority() : DefaultFilterPriority;
    e->identifier = identifier();
    if (nameW)
        e->nameW = nameW();
    else
        e->nameA = nameA();
    if (const auto exts = Bind<FilterListWProc>(module, "GetFilterExtsW"))
        e->extensionsW = exts();
    else if (const auto extsA = Bind<FilterListAProc>(module, "GetFilterExts"))
        e->extensionsA = extsA();
    if (const auto deps = Bind<FilterListWProc>(module, "GetDependenciesW"))
        e->dependenciesW = deps();
    else if (const auto depsA = Bind<FilterListAProc>(module, "GetDependencies"))
        e->dependenciesA = depsA();
    return e;
}

// The answer of one entry, with the stream put back where it was when the question moved it.
int AskEntry(FilterEntry* e, CInputFile* stream) {
    if (!e || !e->canRead || !stream) return 0;
    const LONG at = stream->GetPosition();
    const int answer = e->canRead(stream);
    if (stream->GetPosition() != at) stream->Seek(at, SeekFromStart);
    return answer;
}

// The form asked for of a name or list, made from the other form on first request and then owned by the
// entry; `empty` when the entry has neither.
template <typename Field, typename Have, typename Convert, typename Result>
Result OnRequest(FilterEntry* e, Field FilterEntry::*want, Have FilterEntry::*have, DWORD made,
                 Convert convert, Result empty) {
    if (!e) return empty;
    if (!(e->*want) && (e->*have)) {
        e->*want = convert(e->*have);
        if (e->*want) e->ownership |= made;
    }
    return e->*want ? e->*want : empty;
}

char* Narrow(const WCHAR* s) {
    return ToNarrowString(s, SystemCodePage);
}

WCHAR* Wide(const char* s) {
    return ToWideString(s, SystemCodePage);
}

} // namespace

CFilterMgr::CFilterMgr() : filters_(nullptr) {}

CFilterMgr::~CFilterMgr() = default;

FilterEntry* CFilterMgr::EntryAt(int index) {
    if (!filters_ || index < 0 || index >= filters_->count) return nullptr;
    return filters_->items[index];
}

void CFilterMgr::Initialize(const WCHAR* folder, const WCHAR* pattern, DWORD value) {
    if (filters_) FreeFilters();
    if (!AllocZeroedMemory(sizeof(CFilterList), &filters_)) return;
    if (!folder || !pattern) return;
    WCHAR* search = JoinPath(folder, pattern);
    if (!search) return;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileCompat(nullptr, search, &found);
    FreeMemory(&search);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        WCHAR* path = JoinPath(folder, found.cFileName);
        if (!path) continue;
        const UINT previous = SetErrorMode(QuietErrorMode);
        HMODULE module = LoadLibraryCompat(path);
        SetErrorMode(previous);
        if (!module) {
            FreeMemory(&path);
            continue;
        }
        FilterEntry* e = BindModule(module, path, value);
        if (e && !InsertByPriority(*filters_, e)) UnloadEntry(e);
    } while (FindNextFileCompat(find, &found));
    FindClose(find);
}

void CFilterMgr::InitializeA(const char* folder, const char* pattern, DWORD value) {
    WCHAR* wideFolder = ToWideString(folder, -1);
    WCHAR* widePattern = ToWideString(pattern, -1);
    Initialize(wideFolder, widePattern, value);
    FreeString(wideFolder);
    FreeString(widePattern);
}

void CFilterMgr::FreeFilters() {
    if (!filters_) return;
    for (int i = 0; i < filters_->count; ++i)
        UnloadEntry(filters_->items[i]);
    FreeMemory(&filters_->items);
    FreeMemory(&filters_);
}

void CFilterMgr::Delete() {
    FreeFilters();
    delete this;
}

int CFilterMgr::GetFilterCount() {
    return filters_ ? filters_->count : 0;
}

const char* CFilterMgr::GetFilterNameA(int index) {
    return OnRequest(EntryAt(index), &FilterEntry::nameA, &FilterEntry::nameW, FilterMadeNameA, Narrow,
                     EmptyNarrow);
}

const char* CFilterMgr::GetFilterPathA(int index) {
    return OnRequest(EntryAt(index), &FilterEntry::pathA, &FilterEntry::pathW, FilterMadePathA, Narrow,
                     EmptyNarrow);
}

DWORD CFilterMgr::GetFilterID(int index) {
    FilterEntry* e = EntryAt(index);
    return e ? e->identifier : 0;
}

int CFilterMgr::FindFilterByID(DWORD identifier) {
    for (int i = 0; i < GetFilterCount(); ++i)
        if (filters_->items[i]->identifier == identifier) return i;
    return -1;
}

const char* const* CFilterMgr::GetFilterExtsA(int index) {
    return OnRequest(EntryAt(index), &FilterEntry::extensionsA, &FilterEntry::extensionsW,
                     FilterMadeExtensionsA, NarrowList, EmptyNarrowList);
}

const char* const* CFilterMgr::GetDependenciesA(int index) {
    return OnRequest(EntryAt(index), &FilterEntry::dependenciesA, &FilterEntry::dependenciesW,
                     FilterMadeDependenciesA, NarrowList, EmptyNarrowList);
}

int CFilterMgr::CanReadStream(int index, CInputFile* stream) {
    return AskEntry(EntryAt(index), stream);
}

void* CFilterMgr::CreateFilterForStream(CInputFile* stream) {
    for (int i = 0; i < GetFilterCount(); ++i) {
        FilterEntry* e = filters_->items[i];
        if (!e->canRead || !AskEntry(e, stream)) continue;
        if (void* filter = e->create(e->value)) return filter;
    }
    return nullptr;
}

void* CFilterMgr::CreateFilterByID(DWORD identifier) {
    for (int i = 0; i < GetFilterCount(); ++i) {
        FilterEntry* e = filters_->items[i];
        if (e->identifier != identifier) continue;
        if (void* filter = e->create(e->value)) return filter;
    }
    return nullptr;
}

void* CFilterMgr::CreateFilterAt(int index) {
    FilterEntry* e = EntryAt(index);
    return e ? e->create(e->value) : nullptr;
}

void CFilterMgr::RemoveFilter(int index) {
    FilterEntry* e = EntryAt(index);
    if (!e) return;
    UnloadEntry(e);
    void** items = reinterpret_cast<void**>(filters_->items);
    RemovePointerListItem(&items, &filters_->count, &filters_->capacity, index);
    filters_->items = reinterpret_cast<FilterEntry**>(items);
}

const WCHAR* CFilterMgr::GetFilterNameW(int index) {
    return OnRequest(EntryAt(index), &FilterEntry::nameW, &FilterEntry::nameA, FilterMadeNameW, Wide,
                     EmptyWide);
}

const WCHAR* CFilterMgr::GetFilterPathW(int index) {
    FilterEntry* e = EntryAt(index);
    return e && e->pathW ? e->pathW : EmptyWide;
}

const WCHAR* const* CFilterMgr::GetFilterExtsW(int index) {
    return OnRequest(EntryAt(index), &FilterEntry::extensionsW, &FilterEntry::extensionsA,
                     FilterMadeExtensionsW, WideList, EmptyWideList);
}

const WCHAR* const* CFilterMgr::GetDependenciesW(int index) {
    return OnRequest(EntryAt(index), &FilterEntry::dependenciesW, &FilterEntry::dependenciesA,
                     FilterMadeDependenciesW, WideList, EmptyWideList);
}

int CFilterMgr::InsertBuiltInFilter(FilterCreateProc create, DWORD identifier, const WCHAR* name,
                                    DWORD value) {
    if (!create) return 0;
    if (!filters_ && !AllocZeroedMemory(sizeof(CFilterList), &filters_)) return 0;
    FilterEntry* e = nullptr;
    if (!AllocZeroedMemory(sizeof(FilterEntry), &e)) return 0;
    e->create = create;
    e->identifier = identifier;
    e->nameW = name;
    e->value = value;
    e->priority = DefaultFilterPriority;
    void** items = reinterpret_cast<void**>(filters_->items);
    if (!GrowPointerList(&items, 0, &filters_->capacity, filters_->count)) {
        FreeMemory(&e);
        return 0;
    }
    filters_->items = reinterpret_cast<FilterEntry**>(items);
    std::memmove(filters_->items + 1, filters_->items,
                 static_cast<std::size_t>(filters_->count) * sizeof(void*));
    filters_->items[0] = e;
    ++filters_->count;
    return 1;
}

CFilterMgr* NewFilterMgr() {
    return new (std::nothrow) CFilterMgr;
}
