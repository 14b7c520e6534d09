// The loader's part of the sub-application object: a child application and its frame window.
#pragma once

#include "core/application_record.h"

#include "win32/types.h"

#include <cstdint>

namespace vtrrt {

// Loads the child application (a data file, or the data packed behind the program for a null path) with
// its parent and its first frame, and makes its frame window with the style the object asks; the child is
// then current. Null, with the previous application current again and nothing kept, when either fails.
ApplicationRecord* LoadSubApplication(const win32::WCHAR* path, std::int32_t frame, ApplicationRecord* parent,
                                      std::uint32_t options, win32::DWORD style, win32::DWORD exStyle);

} // namespace vtrrt
