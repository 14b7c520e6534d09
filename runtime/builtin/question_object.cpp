#include "builtin/question_object.h"
#include "core/upcalls.h"

#include "builtin/common_objects.h"
#include "builtin/position_parameter.h"
#include "builtin/system_objects.h"
#include "builtin/text_object.h"
#include "core/application_record.h"
#include "core/event_state.h"
#include "core/frame_clock.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/parameters.h"
#include "objects/display_list.h"
#include "objects/run_objects.h"
#include "startup/banks.h"
#include "startup/display_mode.h"

#include "vtrs2/app_window.h"
#include "vtrs2/fonts.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/gdi.h"

#include <algorithm>
#include <string>
#include <utility>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int Margin = 8;
constexpr int AnswerGap = 4;
constexpr int MinimumBoxWidth = 64;
constexpr int AnswerPadding = 32;
constexpr int ShadowOffset = 2;
constexpr COLORREF BoxColour = 0xC0C0C0;
constexpr COLORREF LightEdge = 0xFFFFFF;
constexpr COLORREF DarkEdge = 0x808080;
constexpr COLORREF ShadowColour = 0xFFFFFF;
// An answer's text: one line, centred both ways.
constexpr UINT AnswerTextFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT QuestionFlagsKept = 0x2F;
constexpr int QuitCommand = 1008;
constexpr int QuitCommandToo = 1009;
// PumpMessages stops after a WM_COMMAND, a left button press or a left button release.
constexpr int StopOnCommand = 1, StopOnButtonDown = 2, StopOnButtonUp = 4;
// How long the loop waits for a message before it looks at the run again.
constexpr DWORD WaitSliceMs = 50;

constexpr std::int16_t ConditionCorrect = -81;
constexpr std::int16_t ConditionWrong = -82;
constexpr std::int16_t ConditionAnswerNumber = -83;

// The fonts of the paragraphs: the bank's, or the system font when the item makes none.
class ParagraphFonts {
public:
    ParagraphFonts(const ApplicationRecord* app, const std::vector<TextParagraph>& paragraphs) {
        ContextBanks* banks = app && app->banks ? app->banks->library : nullptr;
        for (const TextParagraph& p : paragraphs) {
            HFONT font = banks && p.font ? CreateBankFont(banks, p.font) : nullptr;
            owned_.push_back(font != nullptr);
            fonts_.push_back(font ? font : GetStockFont(SYSTEM_FONT));
        }
    }
    ~ParagraphFonts() {
        for (std::size_t i = 0; i < fonts_.size(); ++i)
            if (owned_[i]) DeleteObject(fonts_[i]);
    }
    ParagraphFonts(const ParagraphFonts&) = delete;
    ParagraphFonts& operator=(const ParagraphFonts&) = delete;
    HFONT operator[](std::size_t i) const { return fonts_[i]; }

private:
    std::vector<HFONT> fonts_;
    std::vector<bool> owned_;
};

// Text sizes measured in the window's device context.
class TextMeasure {
public:
    explicit TextMeasure(AppWindow* window) : window_(window), dc_(GetAppWindowDC(window)) {}
    ~TextMeasure() {
        if (dc_) ReleaseAppWindowDC(window_, dc_);
    }
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;
    SIZE Of(HFONT font, std::u16string_view text) const {
        SIZE size{};
        if (!dc_) return size;
        const HGDIOBJ previous = SelectObject(dc_, font);
        GetTextExtentPointW(dc_, text.data(), static_cast<int>(text.size()), &size);
        SelectObject(dc_, previous);
        return size;
    }

private:
    AppWindow* window_;
    HDC dc_;
};

UINT QuestionDrawFlags(std::uint16_t paragraphFlags) {
    return (paragraphFlags & QuestionFlagsKept) | DT_WORDBREAK | DT_NOPREFIX;
}

// Where the dialog is drawn, in the frame window's coordinates: the window's surface, or through a display
// driver, whose scene is drawn whole at each pass, a surface of the box's own (the frame's present puts it
// over the scene).
class Canvas {
public:
    Canvas() = default;
    ~Canvas() { Close(); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void Open(AppWindow* window, const RECT& box) {
        window_ = window;
        FrameRecord* frame = Services().frame;
        if (!(Services().displayFlags & DisplayDriverFlag) || !frame || frame->questionBox) return;
        cSurface* prototype = nullptr;
        GetSurfacePrototype(&prototype, BoxDepth, PublicTypeDib, 0);
        cSurface* made = prototype ? NewSurface() : nullptr;
        if (!made || !made->Create(box.right - box.left, box.bottom - box.top, prototype)) {
            DeleteSurface(made);
            return;
        }
        frame_ = frame;
        frame->questionBox = made;
        frame->questionBoxX = x_ = box.left;
        frame->questionBoxY = y_ = box.top;
    }
    // The box's surface leaves the frame, which is drawn again without it.
    void Close() {
        if (!frame_) return;
        DeleteSurface(std::exchange(frame_->questionBox, nullptr));
        frame_ = nullptr;
        RedrawDriverScene();
    }
    bool OwnSurface() const { return frame_ != nullptr; }

    void Fill(int left, int top, int right, int bottom, COLORREF colour) const {
        if (!frame_)
            FillWindowRect(window_, left, top, right, bottom, colour);
        else
            frame_->questionBox->FillRect(left - x_, top - y_, right - left + 1, bottom - top + 1, colour);
    }
    void Text(HFONT font, RECT r, const std::u16string& text, COLORREF colour, UINT flags) const {
        if (!frame_) {
            DrawWindowText(window_, font, &r, text.c_str(), colour, flags);
            return;
        }
        OffsetRect(&r, -x_, -y_);
        frame_->questionBox->DrawTextWide(text.c_str(), -1, &r, flags, colour, font, 0, 0, 0, 0, 0, 0, 0);
    }
    // What was drawn reaches the screen.
    void Show() const {
        if (frame_)
            RedrawDriverScene();
        else
            UpdateWindowFromSurface(window_);
    }

private:
    static constexpr int BoxDepth = 24;
    AppWindow* window_ = nullptr;
    FrameRecord* frame_ = nullptr;
    int x_ = 0, y_ = 0;
};

// The dialog of one question: what it shows, where, and what the user has pressed.
struct Dialog {
    Canvas canvas;
    AppWindow* window = nullptr;
    HWND frameWindow = nullptr;
    std::vector<TextParagraph> paragraphs; // the question, then the answers
    QuestionLayout layout;
    int pressed = -1; // the answer held down, -1 none
};

const QuestionLayout*& AskedNow() {
    static const QuestionLayout* asked = nullptr;
    return asked;
}

// The edges of a button: light on the top and left and dark on the bottom and right, swapped when pressed.
void DrawQuestionButton(const Canvas& canvas, const RECT& r, bool pressed) {
    const COLORREF topLeft = pressed ? DarkEdge : LightEdge;
    const COLORREF bottomRight = pressed ? LightEdge : DarkEdge;
    canvas.Fill(r.left, r.top, r.right - 1, r.top, topLeft);
    canvas.Fill(r.left, r.top, r.left, r.bottom - 1, topLeft);
    canvas.Fill(r.left, r.bottom - 1, r.right - 1, r.bottom - 1, bottomRight);
    canvas.Fill(r.right - 1, r.top, r.right - 1, r.bottom - 1, bottomRight);
}

void DrawParagraphText(const Canvas& canvas, HFONT font, RECT box, const TextParagraph& p, UINT flags) {
    if (p.flags & ParagraphWhiteShadow) {
        const RECT shadow{box.left + ShadowOffset, box.top + ShadowOffset, box.right + ShadowOffset,
                          box.bottom + ShadowOffset};
        canvas.Text(font, shadow, p.text, ShadowColour, flags);
    }
    canvas.Text(font, box, p.text, p.colour, flags);
}

void DrawAnswer(const Dialog& d, const ParagraphFonts& fonts, std::size_t answer, bool pressed) {
    const RECT& r = d.layout.answers[answer];
    d.canvas.Fill(r.left, r.top, r.right - 1, r.bottom - 1, BoxColour);
    DrawQuestionButton(d.canvas, r, pressed);
    const int shift = pressed ? 1 : 0;
    const RECT text{r.left + shift, r.top + shift, r.right + shift, r.bottom + shift};
    DrawParagraphText(d.canvas, fonts[answer + 1], text, d.paragraphs[answer + 1], AnswerTextFlags);
}

void DrawDialog(const Dialog& d, const ParagraphFonts& fonts) {
    const RECT& b = d.layout.box;
    d.canvas.Fill(b.left, b.top, b.right - 1, b.bottom - 1, BoxColour);
    DrawQuestionButton(d.canvas, b, false);
    DrawParagraphText(d.canvas, fonts[0], d.layout.question, d.paragraphs[0],
                      QuestionDrawFlags(d.paragraphs[0].flags));
    for (std::size_t i = 0; i < d.layout.answers.size(); ++i)
        DrawAnswer(d, fonts, i, false);
    d.canvas.Show();
}

bool IsQuitCommand(const MSG& m) {
    const int id = LOWORD(m.wParam);
    return m.message == WM_COMMAND && m.lParam == 0 && (id == QuitCommand || id == QuitCommandToo);
}

// A quit command waiting anywhere in the queue is taken out before any other message is dispatched, so
// that only the main window, once the dialog has ended, acts on it.
bool TakeQuitCommand(MSG& taken) {
    MSG m{};
    if (!PeekMessageW(&m, nullptr, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) || !IsQuitCommand(m)) return false;
    PeekMessageW(&taken, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE);
    return true;
}

// The dialog ends without an answer when the run is asked to end, its frame is ending or its window went.
bool RunGoesOn(const Dialog& d) {
    if (Services().endRequested || !IsWindow(d.frameWindow)) return false;
    const FrameRunState* s = CurrentRunState();
    return s && s->exitCode != ExitError && s->exitCode != ExitEndApplication;
}

POINT PointInFrame(const Dialog& d, const MSG& m) {
    POINT p{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
    if (m.hwnd && m.hwnd != d.frameWindow) MapWindowPoints(m.hwnd, d.frameWindow, &p, 1);
    return p;
}

int AnswerAt(const Dialog& d, POINT p) {
    for (std::size_t i = 0; i < d.layout.answers.size(); ++i)
        if (PtInRect(&d.layout.answers[i], p)) return static_cast<int>(i);
    return -1;
}

std::int32_t ResultOf(const Dialog& d, int answer) {
    const std::int32_t number = answer + 1;
    return (d.paragraphs[static_cast<std::size_t>(number)].flags & AnswerCorrect) ? number | AnswerCorrectBit
                                                                                  : number;
}

// The mouse loop; the answer chosen (its result), or 0.
std::int32_t AskUntilAnswered(Dialog& d, const ParagraphFonts& fonts, MSG& quit) {
    for (;;) {
        if (!RunGoesOn(d)) return 0;
        if (TakeQuitCommand(quit)) return 0;
        MSG m{};
        if (!PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE)) {
            CurrentFrameClock().WaitForMessage(WaitSliceMs);
            continue;
        }
        if (m.message == WM_QUIT) return 0;
        up::PumpMessages(&m, StopOnCommand | StopOnButtonDown | StopOnButtonUp);
        if (m.message == WM_LBUTTONDOWN) {
            const int answer = AnswerAt(d, PointInFrame(d, m));
            if (answer < 0) continue;
            SetCapture(d.frameWindow);
            d.pressed = answer;
            DrawAnswer(d, fonts, static_cast<std::size_t>(answer), true);
            d.canvas.Show();
        } else if (m.message == WM_LBUTTONUP && d.pressed >= 0) {
            if (GetCapture() == d.frameWindow) ReleaseCapture();
            const int pressed = std::exchange(d.pressed, -1);
            if (AnswerAt(d, PointInFrame(d, m)) == pressed) return ResultOf(d, pressed);
            DrawAnswer(d, fonts, static_cast<std::size_t>(pressed), false);
            d.canvas.Show();
        }
    }
}

// The question and its answers as the definition holds them; false when the definition holds no text.
bool ReadQuestion(RunObject* o, std::vector<TextParagraph>& paragraphs) {
    const std::span<const std::uint8_t> def = ObjectDefinitionOf(o);
    const TextDefinition text = ReadTextDefinition(def);
    if (text.count < 1) return false;
    for (std::int32_t i = 0; i < text.count; ++i)
        paragraphs.push_back(ReadTextParagraph(def, text, i));
    return true;
}

// Remembers the dialog shown for as long as it is shown.
class AskedScope {
public:
    explicit AskedScope(const QuestionLayout* layout) : previous_(AskedNow()) { AskedNow() = layout; }
    ~AskedScope() { AskedNow() = previous_; }
    AskedScope(const AskedScope&) = delete;
    AskedScope& operator=(const AskedScope&) = delete;

private:
    const QuestionLayout* previous_;
};

// --- conditions and action ---

int AlwaysWhenRaised(std::uint8_t*, RunObject*) {
    return 1;
}
int NeverOverSelection(std::uint8_t*) {
    return 0;
}

int AnswerNumberIs(std::uint8_t* record, RunObject*) {
    const EventRunState* s = CurrentEventState();
    const std::int32_t chosen = s ? s->eventParameter1 : 0;
    return Negatable(record, GetIntParameter(ParameterAt(record, 0)) == chosen);
}

void CreateQuestionAction(std::uint8_t* record) {
    ResolvedPosition at;
    if (!up::ResolvePositionParameter(ParameterAt(record, 0), 0, at)) return;
    const FrameRunState* s = CurrentRunState();
    const std::int32_t lastLayer = s && s->frame && s->frame->layerCount > 0 ? s->frame->layerCount - 1 : 0;
    for (std::uint16_t objectInfo : ActionObjectInfos(record))
        CreateObject(-1, objectInfo, at.x, at.y, 0, 0, lastLayer, -1);
}

int CreateQuestion(RunObject* o, const std::uint8_t*, const ObjectCreationParams*) {
    const TextDefinition text = ReadTextDefinition(ObjectDefinitionOf(o));
    // A definition whose paragraphs do not lie inside it makes no question.
    if (text.count < 1) return 1;
    o->width = text.width;
    o->height = text.height;
    return 0;
}

void ZeroHotSpot(RunObject* o) {
    o->hotSpotX = o->hotSpotY = 0;
}

} // namespace

QuestionLayout LayOutQuestion(std::int32_t x, std::int32_t y, std::int32_t windowWidth,
                              const std::function<int(int width)>& questionHeight,
                              std::span<const SIZE> answerTexts, int lineUnit) {
    int widest = 0;
    for (const SIZE& s : answerTexts)
        widest = std::max<int>(widest, s.cx);
    int width = std::max(MinimumBoxWidth, widest + AnswerPadding);
    if (windowWidth > 0 && width > windowWidth) {
        width = windowWidth;
        x = 0;
    }
    const int inner = std::max(0, width - 2 * Margin);
    QuestionLayout l;
    l.question = {x + Margin, y + Margin, x + Margin + inner,
                  y + Margin + std::max(0, questionHeight(inner))};
    int top = l.question.bottom + Margin;
    for (const SIZE& s : answerTexts) {
        const int textHeight = s.cy > 0 ? s.cy : lineUnit;
        const int height = textHeight * 3 / 2;
        l.answers.push_back({x + Margin, top, x + Margin + inner, top + height});
        top += height + AnswerGap;
    }
    const int bottom = answerTexts.empty() ? l.question.bottom + Margin : top - AnswerGap + Margin;
    l.box = {x, y, x + width, bottom};
    return l;
}

std::int32_t RunQuestionDialog(RunObject* o) {
    Dialog d;
    d.window = Services().frameLibraryWindow;
    d.frameWindow = Services().frameWindow;
    const FrameRunState* s = o ? o->runState : nullptr;
    if (!s || !d.window || !d.frameWindow || !ReadQuestion(o, d.paragraphs)) return 0;
    const ParagraphFonts fonts(CurrentApplication(), d.paragraphs);
    {
        const TextMeasure measure(d.window);
        const int lineUnit = measure.Of(fonts[0], u"X").cy;
        std::vector<SIZE> answers;
        for (std::size_t i = 1; i < d.paragraphs.size(); ++i)
            answers.push_back(measure.Of(fonts[i], d.paragraphs[i].text));
        RECT area{};
        GetAppWindowArea(d.window, &area);
        const auto questionHeight = [&](int width) {
            RECT r{0, 0, width, 0};
            return DrawWindowText(d.window, fonts[0], &r, d.paragraphs[0].text.c_str(), 0,
                                  QuestionDrawFlags(d.paragraphs[0].flags) | DrawWindowTextMeasure);
        };
        d.layout = LayOutQuestion(o->x - s->scrollX, o->y - s->scrollY, area.right - area.left,
                                  questionHeight, answers, lineUnit);
    }
    o->width = d.layout.box.right - d.layout.box.left;
    o->height = d.layout.box.bottom - d.layout.box.top;
    // Over the library's surfaces the box is drawn over the window's picture, which is kept; through a
    // display driver in a surface of its own.
    d.canvas.Open(d.window, d.layout.box);
    SavedRect saved{};
    SpriteWindow* sprites = d.window->sprites;
    const bool kept = !d.canvas.OwnSurface() && sprites &&
                      SaveWindowRect(sprites, &saved, d.layout.box.left, d.layout.box.top,
                                     d.layout.box.right - 1, d.layout.box.bottom - 1) == 0;
    std::int32_t result = 0;
    MSG quit{};
    {
        const AskedScope asked(&d.layout);
        DrawDialog(d, fonts);
        result = AskUntilAnswered(d, fonts, quit);
    }
    if (d.pressed >= 0 && GetCapture() == d.frameWindow) ReleaseCapture();
    if (kept) {
        RestoreWindowRect(sprites, &saved);
        FreeSavedRect(&saved);
    }
    if (d.canvas.OwnSurface()) {
        d.canvas.Close();
    } else {
        AddUpdateRect(d.window, &d.layout.box);
        UpdateWindowFromSurface(d.window);
    }
    if (quit.message == WM_COMMAND) PostMessageW(Services().mainWindow, WM_COMMAND, quit.wParam, quit.lParam);
    return result;
}

int HandleQuestionObject(RunObject* o) {
    ApplicationRecord* app = o->runState ? o->runState->application : nullptr;
    up::PauseApplication();
    const std::int32_t result = RunQuestionDialog(o);
    up::ResumeApplication();
    const CurrentApplicationScope scope(app ? app : CurrentApplication());
    if (result != 0) {
        if (EventRunState* s = CurrentEventState()) s->eventParameter1 = result & ~AnswerCorrectBit;
        TriggerObjectCondition(o, EventCodeOf(TypeQuestion, ConditionAnswerNumber));
        TriggerObjectCondition(
            o, EventCodeOf(TypeQuestion, (result & AnswerCorrectBit) ? ConditionCorrect : ConditionWrong));
    }
    MarkObjectForDestroy(o->handle);
    // Asked once: the object is no longer handled before it goes.
    return 1;
}

const QuestionLayout* QuestionAsked() {
    return AskedNow();
}

void InstallQuestionRoutines() {
    ObjectKindRoutines& kind = KindRoutines()[TypeQuestion];
    kind.recordSize = [](const std::uint8_t*) { return KindRecordSize(TypeQuestion); };
    kind.create = CreateQuestion;
    kind.handle = HandleQuestionObject;
    kind.display = nullptr;
    kind.destroy = nullptr;
    kind.zone = ZeroHotSpot;
    SetActionRoutine(TypeQuestion, 80, CreateQuestionAction);
    SetConditionRoutine(TypeQuestion, ConditionCorrect, NeverOverSelection, AlwaysWhenRaised);
    SetConditionRoutine(TypeQuestion, ConditionWrong, NeverOverSelection, AlwaysWhenRaised);
    SetConditionRoutine(TypeQuestion, ConditionAnswerNumber, NeverOverSelection, AnswerNumberIs);
}

} // namespace vtrrt
