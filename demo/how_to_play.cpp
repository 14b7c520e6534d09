#include "how_to_play.h"

#include "demo_menu.h"
#include "frame_flow.h"

#include "appwriter/object_writer.h"

#include <string>

namespace {

constexpr std::int16_t Special = -1, KeyboardMouse = -6;
constexpr std::int16_t MenuCommandChosen = -14, KeyPressed = -1;
constexpr std::int16_t ParamShort = 3, ParamKey = 14;
constexpr std::int16_t Escape = 0x1B;
constexpr std::uint8_t EveryLoop = 0x20;
constexpr std::uint32_t VerticalScrollBar = 0x2;

// The instructions, in the subset of RTF the object reads.
const std::string Text = R"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss DejaVu Sans;}{\f1\froman DejaVu Serif;}}
{\colortbl;\red190\green30\blue30;\red20\green110\blue40;\red255\green230\blue60;\red30\green70\blue170;}
\pard\qc\sb120\sa120\b\fs40 How to play\b0\fs24\par
\pard\li240\ri240\sa120 Reach the \b door\b0  at the right end of each of the two levels. The second door wins the game.\par
\pard\li240\sb120\sa60\b\cf4\fs28 Moving\cf0\b0\fs24\par
\pard\li600\ri240\sa60 The \b left\b0  and \b right arrow keys\b0  walk; the \b space bar\b0  jumps.\par
\pard\li600\ri240\sa60 The levels scroll with you. Keep clear of the pits: \cf1 falling costs a life\cf0 .\par
\pard\li240\sb120\sa60\b\cf4\fs28 Gems\cf0\b0\fs24\par
\pard\li600\ri240\sa60 {\cb3\marker Every gem is worth 10 points.} A chime plays and a sparkle stays where it was; the gems you hold are counted under the score.\par
\pard\li240\sb120\sa60\b\cf4\fs28 Dangers\cf0\b0\fs24\par
\pard\li600\ri240\sa60 \cf1\b Balls, the bird and the walkers\b0\cf0  cost a life when they touch you, and you start the level again from its beginning.\par
\pard\li600\ri240\sa60 The gauge at the top fills as the level's minute runs out. \cf2 Three hearts\cf0  show the lives you have left; with none left, or when the time is up, the game is over.\par
\pard\li240\sb120\sa60\b\cf4\fs28 The menu\cf0\b0\fs24\par
\pard\li600\ri240\sa60 \b File > Pause\b0  (Ctrl+P) holds the game; \b Save position\b0  and \b Load position\b0  keep a level in a file and bring it back.\par
\pard\li600\ri240\sa60 The \b Options\b0  menu switches the samples, the music, the menu bar and full screen.\par
\pard\li600\ri240\sa60 \b Help > About\b0  (Ctrl+A) tells what the demo is.\par
\pard\sb240\qc\i\f1 Press Escape to go back to the title.\par
})";

} // namespace

void AddHowToPlayObjects(DemoObjects& all) {
    appwriter::RichTextDesc rich;
    rich.options = VerticalScrollBar;
    rich.background = InstructionsBackground;
    rich.width = InstructionsWidth;
    rich.height = InstructionsHeight;
    rich.text = Text;
    appwriter::ObjectInfoDesc o;
    o.handle = Instructions;
    o.type = 8;
    o.name = u"How to play";
    o.definition = appwriter::RichTextDefinition(rich);
    all.objects.push_back(o);
}

appwriter::FrameDesc DescribeHowToPlay(std::uint16_t objectInfos) {
    appwriter::FrameContents contents;
    contents.layers = {{0x10, 1.0f, 1.0f, 0, 0, u"Background"}};
    contents.instances =
        std::vector<appwriter::InstanceDesc>{{1, Instructions, InstructionsLeft, InstructionsTop, 0, 0, 0}};
    contents.fadeIn = BlackFade();
    appwriter::EventRecordDesc escape =
        Record(KeyboardMouse, KeyPressed, {appwriter::ShortParameter(ParamKey, Escape)});
    escape.runFlags = EveryLoop;
    appwriter::EventGroupDesc back;
    back.conditions = {escape};
    back.actions = {JumpTo(TitleFrame)};
    SetFrameEvents(contents, {back}, objectInfos);
    appwriter::FrameDesc frame = appwriter::DescribeFrame(640, 480, HowToPlayBackground, contents);
    frame.name = u"How to play";
    return frame;
}

appwriter::EventGroupDesc ShowHowToPlay() {
    appwriter::EventGroupDesc g;
    g.conditions = {
        Record(Special, MenuCommandChosen, {appwriter::ShortParameter(ParamShort, HowToPlayCommand)})};
    g.actions = {JumpTo(HowToPlayFrame)};
    return g;
}
