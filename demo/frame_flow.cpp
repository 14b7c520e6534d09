#include "frame_flow.h"

#include "appwriter/event_program_builder.h"

namespace {

// Object types and condition and action numbers of the system objects the flow uses.
constexpr std::int16_t KeyboardMouse = -6;
constexpr std::int16_t Timer = -4;
constexpr std::int16_t Storyboard = -3;
constexpr std::int16_t AnyKeyPressed = -9;
constexpr std::int16_t KeyPressed = -1;
constexpr std::int16_t ParamKey = 14;
constexpr std::int16_t Escape = 0x1B;
constexpr std::uint8_t EveryLoop = 0x20;
constexpr std::int16_t MouseClicked = -5;
constexpr std::int16_t TimerGreater = -1;
constexpr std::int16_t JumpToFrame = 2;
constexpr std::int16_t LeftButton = 0;
constexpr std::int16_t ParamShort = 3;
constexpr std::int16_t ParamTime = 2;
constexpr std::int16_t ParamExpression = 22;

// Jumps to frame n (from 1).
appwriter::EventRecordDesc JumpTo(std::int32_t n) {
    return Record(
        Storyboard, JumpToFrame,
        {appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(n))});
}

appwriter::EventProgramBuilder Program() {
    appwriter::EventProgramBuilder b;
    b.conditionCounts[KeyboardMouse + 7] = 12;
    b.conditionCounts[Timer + 7] = 8;
    b.conditionCounts[Storyboard + 7] = 10;
    return b;
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

void AddFrameFlow(appwriter::FrameContents& title, appwriter::FrameContents& level,
                  const std::vector<appwriter::EventGroupDesc>& titleExtras,
                  const std::vector<appwriter::EventGroupDesc>& levelExtras, std::uint16_t objectInfos) {
    appwriter::EventProgramBuilder titleEvents = Program();
    appwriter::EventGroupDesc key;
    key.conditions = {Record(KeyboardMouse, AnyKeyPressed)};
    key.actions = {JumpTo(2)};
    titleEvents.AddGroup(key);
    appwriter::EventGroupDesc click;
    click.conditions = {
        Record(KeyboardMouse, MouseClicked, {appwriter::ShortParameter(ParamShort, LeftButton)})};
    click.actions = {JumpTo(2)};
    titleEvents.AddGroup(click);
    for (const appwriter::EventGroupDesc& group : titleExtras)
        titleEvents.AddGroup(group);
    title.events = titleEvents.ChunkPayload();

    appwriter::EventProgramBuilder levelEvents = Program();
    appwriter::EventGroupDesc back;
    back.conditions = {
        Record(Timer, TimerGreater, {appwriter::IntParameter(ParamTime, LevelSeconds * 1000)})};
    back.actions = {JumpTo(1)};
    levelEvents.AddGroup(back);
    appwriter::EventGroupDesc escape;
    escape.conditions = {Record(KeyboardMouse, KeyPressed, {appwriter::ShortParameter(ParamKey, Escape)})};
    escape.conditions[0].runFlags = EveryLoop;
    escape.actions = {JumpTo(1)};
    levelEvents.AddGroup(escape);
    for (const appwriter::EventGroupDesc& group : levelExtras)
        levelEvents.AddGroup(group);
    // The level's events name its objects, which are looked up among the application's object infos.
    levelEvents.objectInfoCount = objectInfos;
    level.events = levelEvents.ChunkPayload();
}
