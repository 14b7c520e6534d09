// The surface tests' slow model of the 32-bit blit, built into this binary too.
#include "library/surfaces/reference_model.cpp"
