// The manager of filter plug-ins: the modules of a folder that match a pattern, bound by their entry points,
// kept in priority order, and asked to make filter objects. Image and sound filter managers derive from it.
#pragma once

#include "plugin/filter.h"
#include "vtrs2/export.h"
#include "win32/types.h"

class CInputFile;

// One loaded plug-in. Of each name and list the form the plug-in supplied is kept as given; the other form is
// made on first request and owned by the entry (ownership flags below). The wide path is always owned.
struct FilterEntry {
    win32::HMODULE module; // null for a built-in entry
    char* pathA;
    const char* nameA;
    const char* const* extensionsA;
    const char* const* dependenciesA;
    win32::WCHAR* pathW;
    const win32::WCHAR* nameW;
    const win32::WCHAR* const* extensionsW;
    const win32::WCHAR* const* dependenciesW;
    win32::LONG priority;
    win32::DWORD value; // given to CreateFilter
    win32::DWORD identifier;
    win32::DWORD ownership;
    FilterCreateProc create;
    FilterCanReadProc canRead;
};

// Ownership flags of a FilterEntry: the forms the entry made itself.
constexpr win32::DWORD FilterMadeNameA = 0x01;
constexpr win32::DWORD FilterMadeExtensionsA = 0x02;
constexpr win32::DWORD FilterMadeDependenciesA = 0x04;
constexpr win32::DWORD FilterMadePathA = 0x08;
constexpr win32::DWORD FilterMadeNameW = 0x10;
constexpr win32::DWORD FilterMadeExtensionsW = 0x20;
constexpr win32::DWORD FilterMadeDependenciesW = 0x40;

// The entries of a manager, ascending by priority.
struct CFilterList {
    FilterEntry** items;
    int count;
    int capacity;
};

class VTRS2_API CFilterMgr {
public:
    CFilterMgr();
    // Leaves the list alone: the derived managers free their filters first.
    virtual ~CFilterMgr();
    CFilterMgr(const CFilterMgr&) = delete;
    CFilterMgr& operator=(const CFilterMgr&) = delete;

    // Loads every module of the folder that matches the pattern, replacing the list there was.
    virtual void Initialize(const win32::WCHAR* folder, const win32::WCHAR* pattern, win32::DWORD value);
    virtual void InitializeA(const char* folder, const char* pattern, win32::DWORD value);
    // Unloads every plug-in and deletes the list; filters made from them must be gone by then.
    virtual void FreeFilters();
    // Destroys and frees a manager made on the heap.
    virtual void Delete();
    virtual int GetFilterCount();
    // "" when there is none.
    virtual const char* GetFilterNameA(int index);
    virtual const char* GetFilterPathA(int index);
    virtual win32::DWORD GetFilterID(int index);
    // The first entry with the identifier, or -1.
    virtual int FindFilterByID(win32::DWORD identifier);
    // An empty list when there is none.
    virtual const char* const* GetFilterExtsA(int index);
    virtual const char* const* GetDependenciesA(int index);
    // The plug-in's answer, 0 without CanReadFile; the stream is put back where it was.
    virtual int CanReadStream(int index, CInputFile* stream);
    // A filter from the first plug-in, in list order, that reads the stream and makes one; the stream is put
    // back where it was after each question.
    virtual void* CreateFilterForStream(CInputFile* stream);
    virtual void* CreateFilterByID(win32::DWORD identifier);
    virtual void* CreateFilterAt(int index);
    virtual void RemoveFilter(int index);
    virtual const win32::WCHAR* GetFilterNameW(int index);
    virtual const win32::WCHAR* GetFilterPathW(int index);
    virtual const win32::WCHAR* const* GetFilterExtsW(int index);
    virtual const win32::WCHAR* const* GetDependenciesW(int index);

    // A built-in filter: an entry with only a create routine and no module, put first in the list (a list is
    // made when there is none) and never unloaded. 1, or 0 when memory runs out.
    int InsertBuiltInFilter(FilterCreateProc create, win32::DWORD identifier, const win32::WCHAR* name,
                            win32::DWORD value);

protected:
    FilterEntry* EntryAt(int index);

    CFilterList* filters_;
};

VTRS2_API CFilterMgr* NewFilterMgr();
