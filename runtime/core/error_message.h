// Reporting loader and start-up errors: one line on stderr, and a message box unless R0 turned them off.
#pragma once

#include "win32/msgbox.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vtrrt {

// The text shown for a result code: the program's string of that number; stream codes show "File error!"
// (out of memory "Not enough memory!"); code 4 starts with the file's name.
std::u16string ErrorMessageText(int code, const win32::WCHAR* fileName);

// Reports a positive code (negative codes were reported already or stay silent): the text as one line on
// stderr, then, when error boxes are on, in a box with the information icon.
void ShowErrorMessage(win32::HWND owner, int code, const win32::WCHAR* fileName = nullptr);

// "<name> : File error!": a file of the run that could not be written; a line on stderr, and a box when
// error boxes are on.
void ShowFileErrorMessage(win32::HWND owner, const win32::WCHAR* fileName);

// The codes of data that is damaged (a stream failure other than running out of memory, or a chunk too
// large for its reader): these can be reported with the place of the damage.
bool IsDamagedDataCode(int code);

// Where damaged data lies: the chunk being read (DamagedChunkUnknown when its header could not be read)
// and the offset of its header in the file.
constexpr std::uint32_t DamagedChunkUnknown = 0x10000;
struct DamagePlace {
    std::uint32_t chunk = DamagedChunkUnknown;
    std::int64_t offset = 0;
};

// What a frame's failure is: loading it or starting it.
enum class FrameFailure { Load, Start };

// "<file> : Frame <n> cannot start. Damaged data in chunk 0x333D at offset 0x1A0.": the file's name when
// given, the frame's sentence for a frame (its 0-based index, else -1), then the place of the damage, or
// without one the text of a positive code.
std::u16string LoadFailureText(const win32::WCHAR* fileName, std::int32_t frameIndex, FrameFailure failure,
                               const DamagePlace* place, int code);

// Reports that text as ShowErrorMessage reports a code: a line on stderr, and a box when error boxes are on.
void ShowLoadFailure(win32::HWND owner, const win32::WCHAR* fileName, std::int32_t frameIndex,
                     FrameFailure failure, const DamagePlace* place, int code);

// One line on stderr, "vtrrt: <text>", for an error that shows no message box.
void ReportErrorLine(std::u16string_view text);

// "Cannot find <name>!" and "Cannot load <name>. ...", owned by the main window, always shown.
void ShowCannotFindMessage(const win32::WCHAR* name);
void ShowCannotLoadMessage(const win32::WCHAR* name);

} // namespace vtrrt
