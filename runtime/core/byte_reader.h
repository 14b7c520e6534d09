// The loader reads bytes already in memory through the data format's bounded reader.
#pragma once

#include "vtrformat/bytes.h"

namespace vtrrt {

using vtrformat::ByteReader;

} // namespace vtrrt
