// Saved application positions: the running frame written to a position file and read back into it, the
// file dialogs that name the file, and the load that first jumps to the frame a position was saved in.
#pragma once

#include "persist/position_file.h"

#include "win32/types.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vtrrt {

// What a load did. Refused and cancelled loads leave the frame as it was; a failed one has torn the run
// down, so the caller must build it again.
enum class PositionLoad {
    Applied,
    Refused,     // a check failed, with its message, before anything changed
    Cancelled,   // no file was chosen
    Failed,      // the run was rebuilt and could not be restored (message 130)
    FrameNumber, // only the frame index was asked for, and it was read
};

// Writes the running frame to `file`, or to the pending or chosen file when null; 1 on success, 0 on a
// write failure or a cancelled dialog. The file is written beside the target and renamed over it when
// complete.
int SaveApplicationPosition(const win32::WCHAR* file);
// Reads a position into the running frame (or into the frame being started, when none runs yet). With
// `frameIndex` only the frame index is read into it.
PositionLoad LoadApplicationPosition(const win32::WCHAR* file, std::int32_t* frameIndex = nullptr);
// Chooses the file, reads the saved frame index and keeps file and stamp in the application for the start
// of that frame; the index, or -1.
std::int32_t LoadPositionAndRestart();
// The pending file of the run state, else the save dialog (paused around it): 1 with `path` set, 0 when
// cancelled or when no dialog can be shown.
int ChooseSavePositionFile(std::u16string& path);
// The pending file of the run state or the application (whose stamp then becomes the one expected), else
// the open dialog: 1 with `path` set, 0 when cancelled or when no dialog can be shown.
int ChooseLoadPositionFile(std::u16string& path, std::int32_t& stamp);

// Reads a position from bytes into the current application's running frame, showing no message:
// PositionValid when it was applied, else the number of the failed check (PositionReadError when the run
// could not take it).
int LoadPositionFromBytes(std::span<const std::uint8_t> bytes, std::int32_t stamp);

// The bytes of the running frame's position, stamped; empty when a value cannot be written.
std::vector<std::uint8_t> WriteApplicationPosition(std::int32_t stamp);
// What a position must agree with to be loaded into the current frame.
PositionExpectation ExpectationOfCurrentFrame(std::int32_t stamp);

} // namespace vtrrt
