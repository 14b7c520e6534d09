// The sub-application object's own conditions, actions and expressions, called with decoded parameters as
// an extension's are: the object, then up to two parameters.
#include "builtin/sub_application.h"
#include "core/upcalls.h"

#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "startup/object_infos.h"
#include "startup/player_globals.h"

#include "win32/user.h"

#include <array>
#include <bit>
#include <cstring>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int32_t JumpByIndex = 0x8000;

ApplicationRecord* Child(RunObject* o) {
    return SubApplicationChild(o);
}

// The run state of the frame the child runs, or null.
FrameRunState* ChildRun(RunObject* o) {
    const ApplicationRecord* child = Child(o);
    return child && child->run.frame ? child->run.frame->runState : nullptr;
}

// A frame change goes to a child that runs a frame and has none pending.
bool RequestExit(RunObject* o, std::int16_t code, std::int32_t parameter = 0) {
    FrameRunState* s = ChildRun(o);
    if (!s || s->exitCode != ExitNone) return false;
    s->exitCode = code;
    s->exitParameter = parameter;
    return true;
}

// The child whose globals the parent may reach, and the 0-based index of global N when N names one it has.
ApplicationRecord* GlobalsChild(RunObject* o) {
    ApplicationRecord* child = Child(o);
    return child && !(child->subAppFlags[1] & SubAppGlobalsClosed) ? child : nullptr;
}
bool ValueIndex(ApplicationRecord* child, std::intptr_t n, std::int32_t& index) {
    const ApplicationRecord* owner = child ? GetGlobalValuesOwner(child) : nullptr;
    if (!owner || n <= 0 || n > owner->globals.valueCount) return false;
    index = static_cast<std::int32_t>(n - 1);
    return true;
}
bool StringIndex(ApplicationRecord* child, std::intptr_t n, std::int32_t& index) {
    const ApplicationRecord* owner = child ? GetGlobalStringsOwner(child) : nullptr;
    if (!owner || n <= 0 || n > owner->globals.stringCount) return false;
    index = static_cast<std::int32_t>(n - 1);
    return true;
}

void ShowChildWindow(RunObject* o, bool show) {
    ApplicationRecord* child = Child(o);
    if (!child) return;
    child->subAppVisible = show ? 1 : 0;
    const HWND window = child->frameWindow;
    const HWND parentWindow = child->parent ? child->parent->frameWindow : nullptr;
    const bool shown = show && !(child->subAppOptions & SubAppInParentSurface) &&
                       !(Services().fullScreen && parentWindow && !IsWindowVisible(parentWindow));
    if (window) ShowWindow(window, shown ? SW_SHOW : SW_HIDE);
    if ((child->subAppOptions & SubAppDocked) && up::LayoutDockedSubApps) up::LayoutDockedSubApps();
}

// --- conditions ---

std::int32_t FrameChanged(RunObject* o, std::intptr_t, std::intptr_t) {
    const SubAppPart* p = SubAppOf(o);
    return p && p->child && p->currentFrame != p->previousFrame;
}
std::int32_t Finished(RunObject* o, std::intptr_t, std::intptr_t) {
    return Child(o) == nullptr;
}
std::int32_t Visible(RunObject* o, std::intptr_t, std::intptr_t) {
    const ApplicationRecord* child = Child(o);
    return child && child->subAppVisible;
}
std::int32_t Paused(RunObject* o, std::intptr_t, std::intptr_t) {
    const FrameRunState* s = ChildRun(o);
    return s && s->pauseCount != 0;
}

// --- actions ---

// The text a string parameter was decoded to; null when the record holds no string there (a damaged program
// may hand a number where a file name or a string belongs).
const WCHAR* TextParameter(std::intptr_t decoded, int n) {
    const std::uint8_t* record = DecodedCallRecord();
    const std::uint8_t* p = record ? ParameterAt(record, n) : nullptr;
    switch (p ? ParameterCode(p) : 0) {
    case ParamFile:
    case ParamFile2:
    case ParamString:
    case ParamStringExpression:
    case ParamStringComparison:
        return reinterpret_cast<const WCHAR*>(decoded);
    default:
        return nullptr;
    }
}

std::int32_t RestartApplication(RunObject* o, std::intptr_t, std::intptr_t) {
    if (!RequestExit(o, ExitRestartApplication)) return 0;
    EndSubApplication(o);
    StartSubApplication(o, false, -1);
    return 0;
}
// 81 to 84: the child's frame restarted, the next or previous frame, or the child's end.
template <std::int16_t Code> std::int32_t RequestFrame(RunObject* o, std::intptr_t, std::intptr_t) {
    RequestExit(o, Code);
    return 0;
}

std::int32_t StartOtherFile(RunObject* o, std::intptr_t name, std::intptr_t) {
    SubAppPart* p = SubAppOf(o);
    const WCHAR* text = TextParameter(name, 0);
    if (!p || !text || !text[0]) return 0;
    // The name may be the child's own string, about to go: copied first.
    const std::u16string file(text, std::min(std::char_traits<char16_t>::length(text), PathUnits - 1));
    std::int32_t width = 0, height = 0;
    bool visible = o->definition && (o->definition[DefOptions] & OptionVisibleAtStart);
    if (ApplicationRecord* child = p->child) {
        visible = child->subAppVisible != 0;
        // The window's whole size, which the new child takes as it stands (SubAppKeepsGivenSize).
        if (child->frameWindow) {
            RECT r{};
            GetWindowRect(child->frameWindow, &r);
            width = r.right - r.left;
            height = r.bottom - r.top;
        }
        EndSubApplication(o);
    }
    std::fill(std::begin(p->fileName), std::end(p->fileName), 0);
    std::copy(file.begin(), file.end(), p->fileName);
    p->options &= ~SubAppOwnData;
    StartSubApplication(o, false, 0, width, height);
    if (p->child) p->child->subAppVisible = visible ? 1 : 0;
    return 0;
}

std::int32_t JumpToFrame(RunObject* o, std::intptr_t n, std::intptr_t) {
    if (n < 0 || n > MaxSubApplicationFrame) return 0;
    RequestExit(o, ExitJumpToFrame, static_cast<std::int32_t>(n) | JumpByIndex);
    return 0;
}

// The value of the action's second parameter: a double stays one.
TypedValue SecondValue(std::intptr_t decoded) {
    const std::uint8_t* record = DecodedCallRecord();
    const std::uint8_t* p = record ? ParameterAt(record, 1) : nullptr;
    if (p && IsExpressionParameterCode(ParameterCode(p))) return SlotComparisonValue(1);
    return TypedValue::Int(static_cast<std::int32_t>(decoded));
}

std::int32_t SetGlobalValueAction(RunObject* o, std::intptr_t n, std::intptr_t value) {
    ApplicationRecord* child = GlobalsChild(o);
    std::int32_t index = 0;
    if (!ValueIndex(child, n, index)) return 0;
    const TypedValue v = SecondValue(value);
    SetGlobalValue(child, index, &v);
    return 0;
}
std::int32_t Show(RunObject* o, std::intptr_t, std::intptr_t) {
    ShowChildWindow(o, true);
    return 0;
}
std::int32_t Hide(RunObject* o, std::intptr_t, std::intptr_t) {
    ShowChildWindow(o, false);
    return 0;
}
std::int32_t SetGlobalStringAction(RunObject* o, std::intptr_t n, std::intptr_t text) {
    ApplicationRecord* child = GlobalsChild(o);
    std::int32_t index = 0;
    const WCHAR* value = TextParameter(text, 1);
    if (!value || !StringIndex(child, n, index)) return 0;
    SetGlobalString(child, index, value);
    return 0;
}
template <bool Pause> std::int32_t PauseOrResume(RunObject* o, std::intptr_t, std::intptr_t) {
    ApplicationRecord* child = Child(o);
    if (!child) return 0;
    const CurrentApplicationScope scope(child);
    if (Pause)
        up::PauseApplication();
    else
        up::ResumeApplication();
    return 0;
}
template <bool Width> std::int32_t SetSize(RunObject* o, std::intptr_t value, std::intptr_t) {
    const auto v = static_cast<std::int32_t>(value);
    (Width ? o->width : o->height) = v;
    ApplicationRecord* child = Child(o);
    if (!child || !child->frameWindow || !(child->subAppOptions & SubAppSizedByObject)) return 0;
    (Width ? child->subAppWidth : child->subAppHeight) = v;
    RECT r{};
    GetClientRect(child->frameWindow, &r);
    SetWindowPos(child->frameWindow, nullptr, 0, 0, Width ? v : r.right - r.left,
                 Width ? r.bottom - r.top : v, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

// --- expressions ---

std::int32_t ArgumentInt() {
    StepToken();
    return EvaluateExpression()->ToInt();
}

std::intptr_t CurrentFrameNumber(RunObject* o, const std::uint8_t*) {
    const ApplicationRecord* child = Child(o);
    return child ? child->currentFrameIndex + 1 : 0;
}

std::intptr_t GlobalValueExpression(RunObject* o, const std::uint8_t*) {
    const std::int32_t n = ArgumentInt();
    ApplicationRecord* child = GlobalsChild(o);
    std::int32_t index = 0;
    if (!ValueIndex(child, n, index)) return 0;
    const TypedValue* v = GetGlobalValueSlot(child, index);
    if (!v->IsDouble()) return v->ToInt();
    // A double comes back as its float rounding.
    o->resultFlags |= ExpressionResultFloat;
    return static_cast<std::intptr_t>(std::bit_cast<std::uint32_t>(static_cast<float>(v->real)));
}

std::intptr_t GlobalStringExpression(RunObject* o, const std::uint8_t*) {
    const std::int32_t n = ArgumentInt();
    ApplicationRecord* child = GlobalsChild(o);
    std::int32_t index = 0;
    o->resultFlags |= ExpressionResultString;
    const WCHAR* text = StringIndex(child, n, index) ? GetGlobalString(child, index) : u"";
    return reinterpret_cast<std::intptr_t>(MakeTemporaryString(text ? text : u""));
}

constexpr std::array<DecodedConditionRoutine, 4> Conditions{FrameChanged, Finished, Visible, Paused};
constexpr std::array<DecodedActionRoutine, 15> Actions{RestartApplication,
                                                       RequestFrame<ExitRestartFrame>,
                                                       RequestFrame<ExitNextFrame>,
                                                       RequestFrame<ExitPreviousFrame>,
                                                       RequestFrame<ExitError>,
                                                       StartOtherFile,
                                                       JumpToFrame,
                                                       SetGlobalValueAction,
                                                       Show,
                                                       Hide,
                                                       SetGlobalStringAction,
                                                       PauseOrResume<true>,
                                                       PauseOrResume<false>,
                                                       SetSize<true>,
                                                       SetSize<false>};
constexpr std::array<DecodedExpressionRoutine, 3> Expressions{CurrentFrameNumber, GlobalValueExpression,
                                                              GlobalStringExpression};

} // namespace

void InstallSubApplicationEvents() {
    DecodedRoutines routines;
    routines.conditions = Conditions.data();
    routines.conditionCount = static_cast<std::int32_t>(Conditions.size());
    routines.actions = Actions.data();
    routines.actionCount = static_cast<std::int32_t>(Actions.size());
    routines.expressions = Expressions.data();
    routines.expressionCount = static_cast<std::int32_t>(Expressions.size());
    SetDecodedRoutines(TypeSubApplication, routines);
}

} // namespace vtrrt
