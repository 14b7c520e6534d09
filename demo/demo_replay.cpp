#include "demo_replay.h"

#include "frame_flow.h"
#include "replay_layout.h"

namespace {

constexpr std::int16_t Special = -1, Storyboard = -3;
constexpr std::int16_t Always = -1, CompareGlobal = -8, StartOfFrame = -1;
constexpr std::int16_t SetGlobalValue = 3, AddToGlobal = 5, SendMenuCommand = 18, PlayBack = 31;
constexpr std::int16_t ParamShort = 3, ParamExpression = 22, ParamComparison = 23;
constexpr std::uint16_t CompareEqual = 0;
constexpr std::uint8_t EveryLoop = 0x20;
constexpr std::int16_t Pause = 1012;
// Frame flag: the frame records its input into the file its string names.
constexpr std::uint32_t RecordsInput = 0x4000;
// Any fixed seed: the balls' random bounces then start alike in both copies.
constexpr std::uint16_t TapeSeed = 0x5EED;

appwriter::EventParameterDesc Number(std::int32_t n) {
    return appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(n));
}

appwriter::EventGroupDesc Group(appwriter::EventRecordDesc condition,
                                std::vector<appwriter::EventRecordDesc> actions) {
    appwriter::EventGroupDesc g;
    g.conditions = {std::move(condition)};
    g.actions = std::move(actions);
    return g;
}

appwriter::EventParameterDesc LoopCount() {
    return appwriter::ShortParameter(ParamShort, LoopCountValue);
}

} // namespace

void AddInputTape(const InputTape& tape, appwriter::FrameContents& level, std::uint32_t& frameFlags,
                  std::vector<appwriter::EventGroupDesc>& events) {
    level.randomSeed = TapeSeed;
    std::vector<appwriter::EventRecordDesc> atStart = {
        Record(Special, SetGlobalValue, {LoopCount(), Number(0)})};
    if (!tape.recordTo.empty()) {
        frameFlags |= RecordsInput;
        level.string3343 = tape.recordTo;
    }
    if (!tape.playFrom.empty())
        atStart.push_back(Record(Storyboard, PlayBack, {appwriter::StringParameter(tape.playFrom)}));
    events.push_back(Group(Record(Storyboard, StartOfFrame), atStart));
    appwriter::EventRecordDesc always = Record(Special, Always);
    always.runFlags = EveryLoop;
    events.push_back(Group(always, {Record(Special, AddToGlobal, {LoopCount(), Number(1)})}));
    // The recording is made by hand or by a script that watches the screen: only the replay stops.
    if (tape.playFrom.empty()) return;
    for (int loop : CheckpointLoops) {
        appwriter::EventRecordDesc reached = Record(
            Special, CompareGlobal,
            {LoopCount(), appwriter::ExpressionParameter(
                              ParamComparison, appwriter::ExpressionBuilder().Integer(loop), CompareEqual)});
        reached.runFlags = EveryLoop;
        events.push_back(Group(
            reached, {Record(Special, SendMenuCommand, {appwriter::ShortParameter(ParamShort, Pause)})}));
    }
}
