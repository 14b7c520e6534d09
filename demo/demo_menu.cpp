#include "demo_menu.h"

#include "frame_flow.h"

#include "appwriter/menu_writer.h"

namespace {

// Commands the runtime carries out itself.
constexpr std::uint16_t Quit = 1008, Restart = 1010, Pause = 1012, Samples = 1020, Music = 1021,
                        MenuBar = 1022, About = 1024, FullScreen = 1025;
constexpr std::uint8_t Control = 0x08;

// Header flags: the menu bar may be hidden, and the window may switch to full screen and back.
constexpr std::uint16_t MenuBarMayHide = 0x100, FullScreenSwitching = 0x1000;

constexpr std::int16_t Special = -1, Storyboard = -3;
constexpr std::int16_t MenuCommandChosen = -14;
constexpr std::int16_t PositionLoaded = -9, PositionSaved = -10;
constexpr std::int16_t SendMenuCommand = 18;
constexpr std::int16_t SavePosition = 28, LoadPosition = 29;
constexpr std::int16_t ParamShort = 3, ParamFile = 40, ParamExpression = 22;
constexpr std::uint8_t EveryLoop = 0x20; // tested in every loop, not waiting to be raised

appwriter::EventGroupDesc Group(std::vector<appwriter::EventRecordDesc> conditions,
                                std::vector<appwriter::EventRecordDesc> actions) {
    appwriter::EventGroupDesc g;
    g.conditions = std::move(conditions);
    g.actions = std::move(actions);
    return g;
}

appwriter::EventRecordDesc EachLoop(appwriter::EventRecordDesc r) {
    r.runFlags = EveryLoop;
    return r;
}

appwriter::EventRecordDesc MenuChosen(std::uint16_t command) {
    return Record(Special, MenuCommandChosen, {appwriter::ShortParameter(ParamShort, command)});
}

// A save or load with no file named: the runtime asks for the file in its own dialog, paused meanwhile.
// Stamp 0: every save of the demo can be loaded by it.
appwriter::EventRecordDesc PositionAction(std::int16_t action) {
    return Record(
        Storyboard, action,
        {appwriter::FileParameter(ParamFile, u""),
         appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(0))});
}

// The runtime's "Application paused" dialog: the game stands still until the player goes on.
appwriter::EventRecordDesc ShowPaused() {
    return Record(Special, SendMenuCommand, {appwriter::ShortParameter(ParamShort, Pause)});
}

} // namespace

std::vector<appwriter::EventGroupDesc> AddDemoMenu(appwriter::ApplicationDescription& d) {
    d.header->flags1 |= MenuBarMayHide | FullScreenSwitching;
    // The File menu's Quit stays alone below the separator.
    d.menuData = appwriter::WriteMenuData(
        {{u"&File",
          0,
          0,
          {{u"&Restart", Restart, 0, {}},
           {u"&Pause\tCtrl+P", Pause, 0, {}},
           {u"&Save position...", SavePositionCommand, 0, {}},
           {u"&Load position...", LoadPositionCommand, 0, {}},
           {u"", 0, 0, {}},
           {u"&Quit\tCtrl+Q", Quit, 0, {}}}},
         {u"&Options",
          0,
          0,
          {{u"&Samples on/off", Samples, 0, {}},
           {u"&Music on/off", Music, 0, {}},
           {u"Hide the menu &bar", MenuBar, 0, {}},
           {u"&Full screen", FullScreen, 0, {}}}},
         {u"&Help",
          0,
          0,
          {{u"&About\tCtrl+A", About, 0, {}}, {u"&How to play\tCtrl+H", HowToPlayCommand, 0, {}}}}},
        {{Control, 'Q', Quit},
         {Control, 'A', About},
         {Control, 'P', Pause},
         {Control, 'H', HowToPlayCommand}});
    // After a save or a load the level waits in the paused dialog, so that the player takes it up again
    // when ready rather than in the middle of a move.
    return {Group({MenuChosen(SavePositionCommand)}, {PositionAction(SavePosition)}),
            Group({MenuChosen(LoadPositionCommand)}, {PositionAction(LoadPosition)}),
            Group({EachLoop(Record(Storyboard, PositionSaved))}, {ShowPaused()}),
            Group({EachLoop(Record(Storyboard, PositionLoaded))}, {ShowPaused()})};
}
