// Marks what the library exports; everything else in it stays hidden.
#pragma once

#define VTRS2_API __attribute__((visibility("default")))
