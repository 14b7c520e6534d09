// Internal: deleting the texture that a bank-4 item holds.
#pragma once

#include "vtrs2/banks.h"

void DeleteTexture(TextureCacheItem& item);
