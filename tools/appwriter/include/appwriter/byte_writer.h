// The writer lays out every stored field through the data format's little-endian buffer.
#pragma once

#include "vtrformat/bytes.h"

namespace appwriter {

using vtrformat::ByteWriter;

} // namespace appwriter
