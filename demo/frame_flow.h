// The demo's frames follow one another: the title waits for a key or a click and starts a game at level 1;
// a level goes to the next on its exit, back to the title on Escape, and to the game-over frame when its
// time runs out or the last life is lost; the game-over frame gives the title back.
#pragma once

#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"

#include <cstdint>
#include <vector>

// The frames by number (from 1), as every part of the game names them.
constexpr std::int32_t TitleFrame = 1;
constexpr std::int32_t Level1Frame = 2;
constexpr std::int32_t Level2Frame = 3;
constexpr std::int32_t GameOverFrame = 4;
constexpr std::int32_t HowToPlayFrame = 5;
// Run by the title in a box, never reached by the game's own jumps.
constexpr std::int32_t AttractFrame = 6;
constexpr std::int32_t FrameCount = 6;

// Seconds a level lasts before the game is over.
constexpr int LevelSeconds = 60;
// Seconds the game-over frame shows before it asks whether to play again.
constexpr int GameOverSeconds = 1;

// A condition or action of a system object, with its parameters.
appwriter::EventRecordDesc Record(std::int16_t type, std::int16_t number,
                                  std::vector<appwriter::EventParameterDesc> parameters = {});
// Jumps to a frame by its handle, its number less one, so that a copy of the game with its frames in
// another order (the level-first copy) keeps its jumps through the frame-handle table.
appwriter::EventRecordDesc JumpTo(std::int32_t frameNumber);

// The title's events: a key or a click starts a game (score 0, the first lives) at level 1.
std::vector<appwriter::EventGroupDesc> TitleFlow();
// A level's events: Escape gives the title back, the end of its time and the last life lost end the game.
std::vector<appwriter::EventGroupDesc> LevelFlow();
// The game-over frame's events: after a moment it asks "Play again?" with the question object of that handle
// at (x, y); its first answer starts a new game at level 1, its second gives the title back.
std::vector<appwriter::EventGroupDesc> GameOverFlow(std::uint16_t question, std::int16_t x, std::int16_t y);

// A short cross-fade from or to black, through the runtime's transition module, between frames.
appwriter::Bytes BlackFade();

// Writes a frame's event program from its groups; `objectInfos` is the number of the application's object
// infos, among which the events find the objects they name.
void SetFrameEvents(appwriter::FrameContents& frame, const std::vector<appwriter::EventGroupDesc>& groups,
                    std::uint16_t objectInfos);
