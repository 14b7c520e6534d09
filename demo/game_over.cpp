#include "game_over.h"

#include "demo_hud_layout.h"
#include "frame_flow.h"

namespace {

constexpr std::int16_t TextType = 3;
constexpr std::int16_t QuestionType = 4;
constexpr std::uint32_t Black = 0;
constexpr std::uint32_t KeyedInk = 0x10000000;
// Drawn by its kind on an owner-drawn sprite, over what it saved of the background.
constexpr std::uint32_t DrawnFlags = 0x04 | 0x200;
constexpr std::uint16_t CentredOneLine = 0x1 | 0x4 | 0x20;
constexpr std::uint16_t Centred = 0x1;

} // namespace

void AddGameOverObjects(DemoObjects& all) {
    appwriter::ObjectInfoDesc banner;
    banner.handle = GameOverBanner;
    banner.type = TextType;
    banner.name = u"Game over";
    banner.inkEffect = KeyedInk;
    banner.definition.objectFlags = DrawnFlags;
    banner.definition.typeData =
        appwriter::TextData(640, BannerHeight, {{BannerFont, CentredOneLine, BannerColour, u"Game over"}});
    all.objects.push_back(banner);
    // Placed, not shown at the start: the frame's events make it.
    appwriter::ObjectInfoDesc question;
    question.handle = GameOverQuestion;
    question.type = QuestionType;
    question.name = u"Play again";
    question.definition.options = 0;
    question.definition.typeData = appwriter::QuestionData(
        {NameFont, Centred, Black, u"Play again?"},
        {{NameFont, appwriter::AnswerCorrectFlag, Black, PlayAgainYes}, {NameFont, 0, Black, PlayAgainNo}});
    all.objects.push_back(question);
}

appwriter::FrameDesc DescribeGameOver(std::uint16_t objectInfos) {
    appwriter::FrameContents over;
    over.layers = {{0x10, 1.0f, 1.0f, 0, 0, u"Background"}};
    over.instances = std::vector<appwriter::InstanceDesc>{
        {1, GameOverBanner, 0, BannerTop, 0, 0, 0}, {2, GameOverQuestion, QuestionX, QuestionY, 0, 0, 0}};
    over.fadeIn = BlackFade();
    SetFrameEvents(over, GameOverFlow(GameOverQuestion, QuestionX, QuestionY), objectInfos);
    appwriter::FrameDesc frame = appwriter::DescribeFrame(640, 480, GameOverBackground, over);
    frame.name = u"Game over";
    return frame;
}
