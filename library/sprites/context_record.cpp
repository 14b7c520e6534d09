// The calling thread's list of contexts.
#include "vtrs2/context_record.h"

#include <new>

namespace {

// Each thread's contexts; the list (not the contexts) goes when the thread ends.
struct ThreadContexts {
    CIndexList* list = nullptr;
    ~ThreadContexts() { delete list; }
};
thread_local ThreadContexts threadContexts;

} // namespace

CIndexList* GetThreadContexts() {
    return threadContexts.list;
}

bool AddThreadContext(AppContext* context) {
    if (!threadContexts.list) threadContexts.list = new (std::nothrow) CIndexList;
    return threadContexts.list && threadContexts.list->Add(context);
}

void RemoveThreadContext(AppContext* context) {
    CIndexList* list = threadContexts.list;
    if (!list) return;
    list->Remove(list->Find(context));
    if (list->GetCount() == 0) {
        delete list;
        threadContexts.list = nullptr;
    }
}
