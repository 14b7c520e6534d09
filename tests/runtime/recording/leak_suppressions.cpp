#include "support/fontconfig_leak_suppression.h"
