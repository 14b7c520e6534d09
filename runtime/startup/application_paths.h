// Where the application's files are while it runs.
#pragma once

#include "core/application_record.h"

#include "win32/types.h"

namespace vtrrt {

// Moves a path that lies under the folder of the target path or of the project path to the same place under
// the application's folder (or the run's temporary folder when the header asks so). `path` holds 260 units.
void RelocatePathToTempFolder(const ApplicationRecord& app, win32::WCHAR* path);

} // namespace vtrrt
