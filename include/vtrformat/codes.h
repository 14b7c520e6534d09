// The system's codes that data and the runtime share: object types, ink codes, direction counts, and the
// condition and action numbers the runtime names.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vtrformat {

// Object types: the system objects below 0, the built-in kinds from 0 to 9, extensions from 32.
constexpr std::int16_t TypePlayer = -7;
constexpr std::int16_t TypeKeyboardMouse = -6;
constexpr std::int16_t TypeCreate = -5;
constexpr std::int16_t TypeTimer = -4;
constexpr std::int16_t TypeStoryboard = -3;
constexpr std::int16_t TypeSpeaker = -2;
constexpr std::int16_t TypeSpecial = -1;
constexpr std::int16_t TypeActive = 2;
constexpr std::int16_t TypeText = 3;
constexpr std::int16_t TypeQuestion = 4;
constexpr std::int16_t TypeScoreDisplay = 5;
constexpr std::int16_t TypeLivesDisplay = 6;
constexpr std::int16_t TypeCounter = 7;
constexpr std::int16_t TypeRichText = 8;
constexpr std::int16_t TypeSubApplication = 9;
constexpr int FirstSystemType = -7;
constexpr int FirstKindType = 2; // the first kind with the common conditions and actions
constexpr int LastKindType = 9;
constexpr std::int16_t FirstExtensionType = 32;

// Ink codes: the effect in the low word, option bits above.
constexpr std::uint32_t InkCodeMask = 0xFFFF;
constexpr std::uint32_t InkSemiTransparent = 1;
constexpr std::uint32_t InkEffectObject = 13; // drawn through an effect object of the effect bank

// An animated object turns in 32 directions, 0 = right, counter-clockwise.
constexpr int DirectionCount = 32;

// Obstacle kinds a movement tests: obstacles only, or obstacles and platforms.
constexpr std::int32_t ObstaclesOnly = 0;
constexpr std::int32_t ObstaclesAndPlatforms = 1;

// Stored paths and file names hold at most this many UTF-16 units, terminator included.
constexpr std::size_t PathUnits = 260;

// An animation direction's stored form: its header, then its images.
constexpr std::size_t DirectionFrameCount = 6;
constexpr std::size_t DirectionImages = 8;

// An object definition's flag: the object is not created when its frame starts.
constexpr std::uint32_t DefinitionNotCreatedAtStart = 0x20000;
// A sub-application's option: it keeps sharing the globals of its parent.
constexpr std::uint32_t SubAppKeepsSharing = 0x4000;

// The border-state bits of an object that conditions -11 and -12 read.
constexpr std::uint16_t EventFlagEntered = 1;
constexpr std::uint16_t EventFlagLeft = 2;

// Conditions the loop raises.
constexpr std::int16_t ConditionEndOfFrame = -2;   // of the storyboard
constexpr std::int16_t ConditionTimerReached = -3; // of the timer

// Conditions and actions the event engine's preparation looks at.
constexpr std::int16_t ConditionKeepGroupFlag = -6; // of the special object
constexpr std::int16_t ConditionNamedLoop = -16;    // of the special object
constexpr std::int16_t ConditionFilteredOr = -24;   // of the special object
constexpr std::int16_t ConditionLogicalOr = -25;    // of the special object
constexpr std::int16_t ConditionOverlap = -4;       // of an object; of the keyboard and mouse: pointer over
constexpr std::int16_t ConditionClickOnObject = -7; // of the keyboard and mouse
constexpr std::int16_t ConditionCollision = -14;    // two objects collide
constexpr std::int16_t ConditionEntersArea = -11;   // of an object: the play area
constexpr std::int16_t ConditionLeavesArea = -12;
constexpr std::int16_t ConditionBackdrop = -13;
constexpr std::int16_t ActionCreate4 = 4;
constexpr std::int16_t ActionCreate9 = 9;
constexpr std::int16_t ActionStartLoop = 14;     // of the special object
constexpr std::int16_t ActionSwapPositions = 25; // of an object: takes snapshots of the values it swaps
constexpr int CommonConditionSlots = 81;

} // namespace vtrformat
