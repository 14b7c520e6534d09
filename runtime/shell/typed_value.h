// The value record of expressions, alterable values and global values belongs to the event engine.
#pragma once

#include "events/typed_value.h"
