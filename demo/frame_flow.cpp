#include "frame_flow.h"

#include "appwriter/event_program_builder.h"

#include <algorithm>
#include <set>

#include "vtrformat/event_records.h"

namespace {

using namespace vtrformat;

// Object types and condition and action numbers of the system objects the flow uses.
constexpr std::int16_t KeyboardMouse = -6;
constexpr std::int16_t Timer = -4;
constexpr std::int16_t Storyboard = -3;
constexpr std::int16_t PlayerType = -7;
constexpr std::int16_t AnyKeyPressed = -9;
constexpr std::int16_t KeyPressed = -1;
constexpr std::int16_t NoLivesLeft = -5;
constexpr std::int16_t SetScore = 0, SetLives = 1;
constexpr std::int16_t ParamKey = 14;
constexpr std::int16_t Escape = 0x1B;
constexpr std::uint8_t EveryLoop = 0x20;
constexpr std::int16_t MouseClicked = -5;
constexpr std::int16_t Special = -1;
constexpr std::int16_t OnlyOnceWhileTrue = -7;
constexpr std::int16_t QuestionType = 4;
constexpr std::int16_t CreateQuestion = 80;
constexpr std::int16_t AnswerNumber = -83;
constexpr std::int16_t TimerGreater = -1;
constexpr std::int16_t JumpToFrame = 2;
constexpr std::int16_t LeftButton = 0;
constexpr std::int16_t ParamShort = 3;
constexpr std::uint16_t PlayerOne = 0;
constexpr std::int32_t FirstLives = 3;
constexpr std::uint32_t FadeMilliseconds = 500;

appwriter::EventRecordDesc SetPlayer(std::int16_t action, std::int32_t value) {
    appwriter::EventRecordDesc r = Record(
        PlayerType, action,
        {appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(value))});
    r.objectInfo = PlayerOne;
    return r;
}

appwriter::EventGroupDesc Group(appwriter::EventRecordDesc condition,
                                std::vector<appwriter::EventRecordDesc> actions) {
    appwriter::EventGroupDesc g;
    g.conditions = {std::move(condition)};
    g.actions = std::move(actions);
    return g;
}

appwriter::EventRecordDesc AnyKey() {
    return Record(KeyboardMouse, AnyKeyPressed);
}
appwriter::EventRecordDesc Click() {
    return Record(KeyboardMouse, MouseClicked, {appwriter::ShortParameter(ParamShort, LeftButton)});
}
appwriter::EventRecordDesc After(int seconds) {
    return Record(Timer, TimerGreater, {appwriter::IntParameter(ParamTime, seconds * 1000)});
}

} // namespace

appwriter::EventRecordDesc Record(std::int16_t type, std::int16_t number,
                                  std::vector<appwriter::EventParameterDesc> parameters) {
    appwriter::EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.parameters = std::move(parameters);
    return r;
}

appwriter::EventRecordDesc JumpTo(std::int32_t frameNumber) {
    return Record(Storyboard, JumpToFrame,
                  {appwriter::ShortParameter(ParamFrameHandle, static_cast<std::int16_t>(frameNumber - 1))});
}

std::vector<appwriter::EventGroupDesc> TitleFlow() {
    const std::vector<appwriter::EventRecordDesc> newGame = {
        SetPlayer(SetScore, 0), SetPlayer(SetLives, FirstLives), JumpTo(Level1Frame)};
    return {Group(AnyKey(), newGame), Group(Click(), newGame)};
}

std::vector<appwriter::EventGroupDesc> LevelFlow() {
    appwriter::EventRecordDesc escape =
        Record(KeyboardMouse, KeyPressed, {appwriter::ShortParameter(ParamKey, Escape)});
    escape.runFlags = EveryLoop;
    appwriter::EventRecordDesc noLives = Record(PlayerType, NoLivesLeft);
    noLives.objectInfo = PlayerOne;
    noLives.runFlags = EveryLoop;
    return {Group(After(LevelSeconds), {JumpTo(GameOverFrame)}), Group(escape, {JumpTo(TitleFrame)}),
            Group(noLives, {JumpTo(GameOverFrame)})};
}

std::vector<appwriter::EventGroupDesc> GameOverFlow(std::uint16_t question, std::int16_t x, std::int16_t y) {
    // Once, when the time has come: the question asked where it stands.
    appwriter::EventRecordDesc once = Record(Special, OnlyOnceWhileTrue);
    once.runFlags = EveryLoop;
    appwriter::EventGroupDesc ask;
    ask.conditions = {After(GameOverSeconds), once};
    appwriter::PositionDesc at;
    at.x = x;
    at.y = y;
    appwriter::EventRecordDesc create =
        Record(QuestionType, CreateQuestion, {appwriter::PositionParameter(ParamPosition, at)});
    create.objectInfo = question;
    ask.actions = {create};
    const auto answer = [&](std::int32_t n) {
        appwriter::EventRecordDesc r = Record(
            QuestionType, AnswerNumber,
            {appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(n))});
        r.objectInfo = question;
        return r;
    };
    return {ask,
            Group(answer(1), {SetPlayer(SetScore, 0), SetPlayer(SetLives, FirstLives), JumpTo(Level1Frame)}),
            Group(answer(2), {JumpTo(TitleFrame)})};
}

appwriter::Bytes BlackFade() {
    appwriter::TransitionDesc fade;
    fade.identifier = 1; // cross-fade
    fade.duration = FadeMilliseconds;
    fade.flags = 0x1; // from (or to) a plain colour
    fade.colour = 0;  // black
    return appwriter::TransitionPayload(fade, appwriter::StringForm::Wide);
}

void SetFrameEvents(appwriter::FrameContents& frame, const std::vector<appwriter::EventGroupDesc>& groups,
                    std::uint16_t objectInfos) {
    appwriter::EventProgramBuilder b;
    std::set<std::uint16_t> kinds;
    if (frame.instances)
        for (const appwriter::InstanceDesc& placed : *frame.instances)
            kinds.insert(placed.objectInfo);
    // The frame's events name its objects, which are looked up among the application's object infos.
    b.objectInfoCount = std::max(static_cast<std::uint16_t>(kinds.size()), objectInfos);
    b.conditionCounts[-1 + 7] = 40; // the special object's
    b.conditionCounts[PlayerType + 7] = 6;
    b.conditionCounts[KeyboardMouse + 7] = 12;
    b.conditionCounts[Timer + 7] = 8;
    b.conditionCounts[Storyboard + 7] = 10;
    b.conditionCounts[QuestionType + 7] = 3;
    for (const appwriter::EventGroupDesc& group : groups)
        b.AddGroup(group);
    frame.events = b.ChunkPayload();
}
