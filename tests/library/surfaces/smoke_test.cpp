#include "vtrs2/surface.h"
#include <gtest/gtest.h>
TEST(Smoke, Builds) { cSurface s; EXPECT_FALSE(s.HasImplementation()); }
