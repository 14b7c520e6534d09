// The question-and-answer object: its box laid out and drawn over the frame, the mouse loop answered by
// posted messages (an answer chosen, a press released elsewhere, a quit command, the close box, the run asked
// to end, a question without answers), the conditions raised for the answer in order, the object gone and the
// frame's picture under the box given back.
#include "runtime/builtin/counters/counters_fixture.h"
#include "runtime/builtin/question/answering_clock.h"

#include "builtin/question_object.h"
#include "events/event_evaluation.h"
#include "loop/application_state_machine.h"
#include "shell/application_menu.h"

using namespace counterstest;
using namespace questiontest;
using appwriter::ExpressionBuilder;

namespace {

constexpr std::int16_t TypeQuestionObject = 4;
constexpr std::uint16_t QuestionInfo = 1, CounterInfo = 2;
constexpr COLORREF Ink = RGB(0, 0, 0);
constexpr std::int32_t BoxX = 20, BoxY = 10;
const std::vector<appwriter::FontItemDesc> Fonts{{14, 400, u"DejaVu Sans"}};

// "Play again?": "Yes" (correct) and "No".
appwriter::ObjectInfoDesc Question(std::vector<appwriter::ParagraphDesc> answers = {
                                       {1, appwriter::AnswerCorrectFlag, Ink, u"Yes"}, {1, 0, Ink, u"No"}}) {
    appwriter::ObjectInfoDesc o;
    o.handle = QuestionInfo;
    o.type = TypeQuestionObject;
    o.definition.typeData =
        appwriter::QuestionData({1, appwriter::WhiteShadowFlag, Ink, u"Play again?"}, answers);
    return o;
}

// The counter takes counter x 10 + digit: the conditions' order shows in its digits.
appwriter::EventGroupDesc AppendDigit(appwriter::EventRecordDesc condition, std::int32_t digit) {
    appwriter::EventRecordDesc set;
    set.type = TypeCounter;
    set.number = 80;
    set.objectInfo = CounterInfo;
    ExpressionBuilder e;
    e.Object(TypeCounter, 80, CounterInfo)
        .Operator(appwriter::OperatorMultiplyCode)
        .Integer(10)
        .Operator(appwriter::OperatorAddCode)
        .Integer(digit);
    set.parameters.push_back(appwriter::ExpressionParameter(22, e));
    appwriter::EventGroupDesc g;
    g.conditions = {std::move(condition)};
    g.actions = {std::move(set)};
    return g;
}

appwriter::EventRecordDesc QuestionCondition(std::int16_t number,
                                             std::vector<appwriter::EventParameterDesc> params = {}) {
    appwriter::EventRecordDesc r;
    r.type = TypeQuestionObject;
    r.number = number;
    r.objectInfo = QuestionInfo;
    r.parameters = std::move(params);
    return r;
}

// -83 with the answer's number gives that number, -81 an 8 and -82 a 9.
appwriter::Bytes AnswerEvents(std::vector<appwriter::EventGroupDesc> more = {}) {
    appwriter::EventProgramBuilder b = Program(2);
    b.conditionCounts[TypeQuestionObject + 7] = 3;
    for (std::int32_t n : {1, 2})
        b.AddGroup(AppendDigit(
            QuestionCondition(-83, {appwriter::ExpressionParameter(22, ExpressionBuilder().Integer(n))}), n));
    b.AddGroup(AppendDigit(QuestionCondition(-81), 8));
    b.AddGroup(AppendDigit(QuestionCondition(-82), 9));
    for (auto& g : more)
        b.AddGroup(std::move(g));
    return b.ChunkPayload();
}

AnsweringClock::Step PostToMain(win32::UINT message, win32::WPARAM wParam) {
    return [message, wParam](const QuestionLayout&) {
        win32::PostMessageW(Services().mainWindow, message, wParam, 0);
    };
}

class QuestionTest : public CounterTest {
protected:
    // Starts the frame, whose first loop asks the question placed in it and plays the script.
    void StartAsking(const appwriter::ObjectInfoDesc& question, appwriter::Bytes events,
                     std::vector<AnsweringClock::Step> script,
                     std::vector<appwriter::InstanceDesc> placed = {{1, QuestionInfo, BoxX, BoxY, 0, 0, 0}}) {
        placed.push_back({2, CounterInfo, 120, 100, 0, 0, 0});
        answering_.script.assign(script.begin(), script.end());
        previousClock_ = SetFrameClock(&answering_);
        GetCommandLineOptions().errorBoxes = 0;
        bytes_ = appwriter::WriteApplication(
            Application({question, CounterObject(CounterInfo, TypeCounter, Digits(), {0, 0, 999999})}, placed,
                        std::move(events), Fonts));
        ASSERT_NO_FATAL_FAILURE(scene::LoadAndStart(bytes_, app_));
        firstStep_ = RunApplicationStep(app_.get(), 0);
    }
    void TearDown() override {
        Services().endRequested = false;
        CounterTest::TearDown();
    }
    int Step() { return runtime_test::StepApplication(app_.get(), clock_); }
    std::int32_t Written() { return CounterValue(*CounterOf(CounterObjectOf())).integer; }
    RunObject* CounterObjectOf() {
        for (std::int32_t i = 0; i < CurrentRunState()->maxObjects; ++i)
            if (RunObject* o = Slot(i); o && o->objectType == TypeCounter) return o;
        return nullptr;
    }
    int Questions() {
        int n = 0;
        for (std::int32_t i = 0; i < CurrentRunState()->maxObjects; ++i)
            if (RunObject* o = Slot(i); o && o->objectType == TypeQuestionObject && o->creationNumber) ++n;
        return n;
    }

    AnsweringClock answering_{clock_};
    int firstStep_ = 0;
};

struct AnswerCase {
    const char* name;
    std::vector<AnsweringClock::Step> script;
    std::int32_t digits; // what the conditions raised wrote
};

class Answers : public QuestionTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(Answers, RaiseTheConditionsOfTheAnswerChosenAndTheQuestionGoes) {
    StartAsking(Question(), AnswerEvents(), GetParam().script);
    ASSERT_EQ(firstStep_, 1);
    EXPECT_TRUE(answering_.script.empty());
    EXPECT_EQ(QuestionAsked(), nullptr);
    EXPECT_EQ(Written(), GetParam().digits);
    Tick();
    EXPECT_EQ(Questions(), 0) << "the question is destroyed at the end of its loop";
}

INSTANTIATE_TEST_SUITE_P(
    Questions, Answers,
    ::testing::Values(AnswerCase{"TheCorrectAnswer", {Click(0)}, 18},
                      AnswerCase{"AWrongAnswer", {Click(1)}, 29},
                      AnswerCase{"PressedAndReleasedApart", {Press(1), Release(1)}, 29},
                      // Released over the other answer: nothing is chosen, and the next click counts.
                      AnswerCase{"ReleasedOverAnotherAnswer", {Press(0), Release(1), Click(1)}, 29},
                      AnswerCase{"ReleasedOutside",
                                 {Press(0),
                                  [](const QuestionLayout& q) {
                                      Post(win32::WM_LBUTTONUP, {q.box.right + 5, q.box.bottom + 5});
                                  },
                                  Click(0)},
                                 18},
                      AnswerCase{"PressedOutsideTheAnswers",
                                 {[](const QuestionLayout& q) {
                                      Post(win32::WM_LBUTTONDOWN, Centre(q.question));
                                      Post(win32::WM_LBUTTONUP, Centre(q.question));
                                  },
                                  Click(1)},
                                 29}),
    [](const auto& info) { return std::string(info.param.name); });

struct EndCase {
    const char* name;
    AnsweringClock::Step end;
};

class EndsWithoutAnswer : public QuestionTest, public ::testing::WithParamInterface<EndCase> {};

// The dialog ends, its pressed answer let go, and the run ends as the command or the signal asked.
TEST_P(EndsWithoutAnswer, EndsTheDialogAndThenTheRun) {
    StartAsking(Question(), AnswerEvents(), {Press(0), GetParam().end});
    for (int steps = 0; steps < 50 && firstStep_ == 1 && Step() == 1; ++steps) {
    }
    EXPECT_EQ(QuestionAsked(), nullptr);
    EXPECT_TRUE(answering_.script.empty());
    EXPECT_EQ(app_->runState, StateQuit);
    EXPECT_EQ(win32::GetCapture(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Questions, EndsWithoutAnswer,
    ::testing::Values(EndCase{"AQuitCommand", PostToMain(win32::WM_COMMAND, CommandQuit)},
                      EndCase{"TheOtherQuitCommand", PostToMain(win32::WM_COMMAND, CommandQuitToo)},
                      EndCase{"TheCloseBox", PostToMain(win32::WM_SYSCOMMAND, win32::SC_CLOSE)},
                      EndCase{"TheWindowManagersClose", PostToMain(win32::WM_CLOSE, 0)},
                      EndCase{"ASignal", [](const QuestionLayout&) { RequestEndOfRun(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuestionTest, AQuestionWithoutAnswersEndsOnlyWithAQuitCommand) {
    const auto clickQuestion = [](const QuestionLayout& q) {
        EXPECT_TRUE(q.answers.empty());
        Post(win32::WM_LBUTTONDOWN, Centre(q.question));
        Post(win32::WM_LBUTTONUP, Centre(q.question));
    };
    StartAsking(Question({}), AnswerEvents(),
                {clickQuestion, clickQuestion, PostToMain(win32::WM_COMMAND, CommandQuit)});
    EXPECT_EQ(app_->runState, StateQuit);
    EXPECT_TRUE(answering_.script.empty());
    EXPECT_GE(answering_.waitsWhileAsked, 3);
}

TEST_F(QuestionTest, TheBoxIsDrawnOverTheFrameAndThePictureUnderItGivenBack) {
    QuestionLayout seen;
    StartAsking(Question(), AnswerEvents(),
                {[&](const QuestionLayout& q) {
                     seen = q;
                     // Raised: light edges on the top and left, dark on the bottom and right, grey inside.
                     EXPECT_EQ(Shown(q.box.left, q.box.top), RGB(255, 255, 255));
                     EXPECT_EQ(Shown(q.box.right - 1, q.box.bottom - 1), RGB(128, 128, 128));
                     EXPECT_EQ(Shown(q.box.left + 2, q.box.bottom - 3), RGB(192, 192, 192));
                     const win32::RECT& yes = q.answers[0];
                     EXPECT_EQ(Shown(yes.left, yes.top), RGB(255, 255, 255));
                     EXPECT_EQ(Shown(yes.right - 1, yes.bottom - 1), RGB(128, 128, 128));
                     Post(win32::WM_LBUTTONDOWN, Centre(yes));
                 },
                 [&](const QuestionLayout& q) {
                     // Pressed: the edges swap.
                     const win32::RECT& yes = q.answers[0];
                     EXPECT_EQ(Shown(yes.left, yes.top), RGB(128, 128, 128));
                     EXPECT_EQ(Shown(yes.right - 1, yes.bottom - 1), RGB(255, 255, 255));
                     Post(win32::WM_LBUTTONUP, Centre(yes));
                 }});
    ASSERT_EQ(firstStep_, 1);
    ASSERT_TRUE(answering_.script.empty());
    EXPECT_EQ(seen.box.left, BoxX);
    EXPECT_EQ(seen.box.top, BoxY);
    for (int y = seen.box.top; y < seen.box.bottom; ++y)
        for (int x = seen.box.left; x < seen.box.right; ++x)
            ASSERT_EQ(Shown(x, y), Background) << "at " << x << "," << y;
}

TEST_F(QuestionTest, TheCreateActionAsksAtItsPosition) {
    appwriter::EventRecordDesc create;
    create.type = TypeQuestionObject;
    create.number = 80;
    create.objectInfo = QuestionInfo;
    appwriter::PositionDesc at;
    at.x = 40;
    at.y = 50;
    create.parameters.push_back(appwriter::PositionParameter(ParamPosition, at));
    appwriter::EventRecordDesc once;
    once.type = TypeSpecial;
    once.number = -6;
    once.runFlags = RecordEveryLoop;
    appwriter::EventGroupDesc g;
    g.conditions = {once};
    g.actions = {create};
    win32::RECT box{};
    // Placed but not shown at the start, the question is not made until the event makes it.
    appwriter::ObjectInfoDesc question = Question();
    question.definition.options = 0;
    StartAsking(question, AnswerEvents({g}), {[&](const QuestionLayout& q) {
                    box = q.box;
                    Post(win32::WM_LBUTTONDOWN, Centre(q.answers[0]));
                    Post(win32::WM_LBUTTONUP, Centre(q.answers[0]));
                }},
                {{1, QuestionInfo, 0, 0, 0, 0, 0}});
    ASSERT_EQ(firstStep_, 1);
    for (int i = 0; i < 3 && answering_.script.size(); ++i)
        Tick();
    EXPECT_TRUE(answering_.script.empty());
    EXPECT_EQ(box.left, 40);
    EXPECT_EQ(box.top, 50);
    EXPECT_EQ(Written(), 18);
}

struct LayoutCase {
    const char* name;
    std::vector<win32::SIZE> answers;
    std::int32_t windowWidth;
    win32::RECT box;
};

class Layouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layouts, FollowTheMarginsAndTheWindow) {
    const LayoutCase& c = GetParam();
    int measuredWidth = -1;
    const QuestionLayout l = LayOutQuestion(
        30, 40, c.windowWidth,
        [&](int width) {
            measuredWidth = width;
            return 20;
        },
        c.answers, 12);
    EXPECT_EQ(l.box.left, c.box.left);
    EXPECT_EQ(l.box.top, c.box.top);
    EXPECT_EQ(l.box.right, c.box.right);
    EXPECT_EQ(l.box.bottom, c.box.bottom);
    const int inner = c.box.right - c.box.left - 16;
    EXPECT_EQ(measuredWidth, inner) << "the question breaks in the box's inner width";
    EXPECT_EQ(l.question.left, c.box.left + 8);
    EXPECT_EQ(l.question.top, c.box.top + 8);
    int top = l.question.bottom + 8;
    for (std::size_t i = 0; i < c.answers.size(); ++i) {
        const win32::RECT& a = l.answers[i];
        EXPECT_EQ(a.left, c.box.left + 8);
        EXPECT_EQ(a.right - a.left, inner) << "answers span the inner width";
        EXPECT_EQ(a.top, top);
        EXPECT_EQ(a.bottom - a.top, (c.answers[i].cy ? c.answers[i].cy : 12) * 3 / 2);
        top = a.bottom + 4;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Questions, Layouts,
    ::testing::Values(
        // Narrow answers: the box keeps its 64 pixels.
        LayoutCase{
            "AtLeast64Wide", {{10, 12}, {20, 14}}, 640, {30, 40, 94, 40 + 8 + 20 + 8 + 18 + 4 + 21 + 8}},
        LayoutCase{"TheWidestAnswerAndItsMargins",
                   {{100, 12}, {20, 12}},
                   640,
                   {30, 40, 162, 40 + 8 + 20 + 8 + 18 + 4 + 18 + 8}},
        // Wider than the window: reduced to it, from its left edge.
        LayoutCase{"ReducedToTheWindow", {{150, 12}}, 120, {0, 40, 120, 40 + 8 + 20 + 8 + 18 + 8}},
        LayoutCase{"AnEmptyAnswerTakesTheLineUnit", {{0, 0}}, 640, {30, 40, 94, 40 + 8 + 20 + 8 + 18 + 8}},
        LayoutCase{"NoAnswers", {}, 640, {30, 40, 94, 40 + 8 + 20 + 8}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
