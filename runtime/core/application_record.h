// One loaded application: its data header and header, names and paths, frame directory, kept chunks and
// the bookkeeping of the data stream it was read from.
#pragma once

#include "core/application_data.h"
#include "core/application_globals.h"
#include "core/application_run.h"

#include "win32/types.h"
#include "win32/user.h"

#include <cstdint>

class CInputFile;
class cSurface;
class CIndexList;
struct AppContext;
struct AppWindow;

namespace vtrrt {

struct ObjectInfoTable;
struct ApplicationBanks;
struct ExtensionRecord;
struct ExtensionRunRoutines;
struct MovementModuleRecord;
struct RunObject;

constexpr int EmbeddedNameUnits = 260;
// The sound channels whose last sample file the application remembers.
constexpr int RememberedChannels = 32;

// A file stored inside the application data, extracted on demand.
struct EmbeddedFileEntry {
    win32::WCHAR name[EmbeddedNameUnits]; // relocated name, terminated
    win32::WCHAR* extractedPath;          // the extracted copy, null until extracted
    std::uint32_t size;
    std::uint32_t position; // of the file's bytes in the data stream
    std::int32_t extractedRefCount;
};

// A block read whole from one chunk and kept as it is; `size` bytes at `data`.
struct KeptChunk {
    std::uint8_t* data;
    std::uint32_t size;
};

// Zero-filled at creation; blocks and strings come from the library's memory functions and are freed by
// CloseApplication.
struct ApplicationRecord {
    ApplicationDataHeader dataHeader;
    ApplicationHeader header;
    win32::WCHAR* name;
    const win32::WCHAR* dataFilePath; // not owned
    win32::WCHAR* projectPath;
    win32::WCHAR* copyright;
    win32::WCHAR* aboutText;
    win32::WCHAR* targetPath;
    win32::WCHAR* musicFolder;
    CInputFile* dataStream; // owned; null when closed
    std::uint32_t dataBaseOffset;
    win32::WCHAR* helpFile;
    KeptChunk iconDib;
    KeptChunk imageList; // u32 count, then count {u16, u16 image index}
    KeptChunk menuData;
    std::int32_t framesCounted;
    std::uint16_t frameHandleCount;
    std::uint16_t* frameHandles;
    std::int32_t frameTableEntries; // entries of both frame tables: the header's frame count
    std::uint32_t* frameOffsets;    // payload position of each frame's chunk list
    win32::WCHAR** framePasswords;  // null when no frame has one
    CIndexList* embeddedFiles;      // of EmbeddedFileEntry
    ApplicationRecord* parent;
    std::uint32_t subAppOptions;
    std::int32_t runState;
    std::int32_t value;
    std::int32_t currentFrameIndex;
    // Sharing with the parent: player controls, lives, scores, global values, global strings.
    std::int32_t shareControls;
    std::int32_t shareLives;
    std::int32_t shareScores;
    std::int32_t shareGlobalValues;
    std::int32_t shareGlobalStrings;
    KeptChunk globalValues;
    KeptChunk globalStrings; // u32 count, then count terminated UTF-16 strings
    std::uint8_t* key;       // 256 bytes
    KeptChunk extendedOptions;
    std::uint32_t codePage;
    std::uint8_t unicode;
    KeptChunk effectBank;
    std::uint8_t effectsFlag;
    std::int32_t displayOption;
    std::uint32_t textFileEncodings[2];
    // The first frame palette of the application (LOGPALETTE as stored), from which the application's
    // palette is built; freed when the application closes.
    KeptChunk applicationPalette;
    ApplicationRun run;
    ApplicationGlobals globals;
    win32::WCHAR playerNames[PlayerCount][PlayerNameUnits];
    ObjectInfoTable* objectInfos; // null until the object-definitions chunk is read
    ApplicationBanks* banks;      // null until the first bank chunk is read
    // The depth and the prototype of the application's surfaces (the prototype is the library's).
    std::int32_t surfaceDepth;
    cSurface* surfacePrototype;
    // The last frame's screen surface (its picture, for the next frame to keep); owned.
    cSurface* frameSurface;
    // The window the application's frames show in, and its library window; null until it is made.
    win32::HWND frameWindow;
    AppWindow* frameLibraryWindow;
    // The library context in use when the loading ended; an application without one cannot start.
    AppContext* libraryContext;
    // Full screen: the depth of the mode in use (-1 windowed or after a failed switch), what the switch
    // saved to come back with, and the surface that holds the screen meanwhile (owned; null windowed).
    std::int32_t fullScreenDepth;
    std::uint16_t savedHeaderOptions;
    std::uint8_t menuWasShown;
    win32::WINDOWPLACEMENT savedPlacement;
    std::int32_t savedAreaWidth;
    std::int32_t savedAreaHeight;
    cSurface* fullScreenSurface;
    // Images made while the application runs (pasted surfaces): a flag per image handle, grown to the
    // highest handle + 1.
    std::uint32_t runTimeImageCount;
    std::uint8_t* runTimeImages;
    // The object extensions the application lists (index = object type - 32), both arrays of the same count,
    // and its movement-extension modules.
    ExtensionRecord* extensions;
    ExtensionRunRoutines* extensionRoutines;
    std::int16_t extensionCount;
    MovementModuleRecord* movementModules;
    std::int32_t movementModuleCount;
    // The sample file last played on each channel and the last music file played, as the speaker's actions
    // remember them: heap strings, null when none.
    win32::WCHAR* channelSampleFiles[RememberedChannels];
    win32::WCHAR* musicFile;
    // A sub-application's own (all 0 for the top application): the object that runs it, its two flag words
    // (SubAppModalFlag of the first, SubAppGlobalsClosed of the second), whether it is shown, the size and
    // position its object gives its window, the countdown of passes before a pending show, and the icon
    // made from its object's definition (destroyed with the record).
    RunObject* subAppObject;
    std::uint32_t subAppFlags[2];
    std::int32_t subAppVisible;
    std::int32_t subAppWidth, subAppHeight;
    std::int32_t subAppX, subAppY;
    std::int32_t showCountdown;
    win32::HICON subAppIcon;
};

// Bit 8 of a sub-application's first flag word: it is modal (kept only for modal children); of its second:
// its global values and strings are closed to its parent.
constexpr std::uint32_t SubAppModalFlag = 0x100;
constexpr std::uint32_t SubAppGlobalsClosed = 0x100;
// Sub-application options the shell reads.
// A popup window, whose position is the screen's.
constexpr std::uint32_t SubAppPopup = 0x20;
constexpr std::uint32_t SubAppCloseIgnored = 0x800;
constexpr std::uint32_t SubAppModal = 0x1000;
constexpr std::uint32_t SubAppCloseHides = 0x8000;
constexpr std::uint32_t SubAppSizedByObject = 0x10000;
constexpr std::uint32_t SubAppMdiChild = 0x100000;
constexpr std::uint32_t SubAppDocked = 0x200000;
constexpr std::uint32_t SubAppDockSides = 0xC00000;
constexpr std::uint32_t SubAppDockTop = 0x400000;
constexpr std::uint32_t SubAppDockRight = 0x800000;
constexpr std::uint32_t SubAppDockBottom = 0xC00000;
// The size the child was given is already its window's (cleared when the window is first shown).
constexpr std::uint32_t SubAppKeepsGivenSize = 0x1000000;
constexpr std::uint32_t SubAppOwnActivation = 0x2000000;
constexpr std::uint32_t SubAppInParentSurface = 0x4000000;

} // namespace vtrrt
