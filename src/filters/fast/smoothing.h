// The fast form of filter mode 0: the same bytes and console text as
// smoothPlain.
//
// The kernel is a 5x5 box, plus a 3x3 box, plus the centre once more. Of a
// visit's weighted sum, only the two values to its left in its own row
// depend on this row's results; the rest is summed for the whole row at
// once, and a walk along the row adds those two.
#pragma once

#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"

void smoothFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);
