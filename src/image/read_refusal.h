// Which refusal the user sees for each reason loadBmp gives.
#pragma once

#include "bmp_format.h"

// The refusal printed for a file that loadBmp turned down.
const char* readRefusalText(BmpStatus status);
