// Filter mode 0: a fixed 5x5 weighted average of each channel, in place.
#pragma once

#include <cstdint>
#include <cstdio>

#include "../image/image_store.h"

// The plain form: each visit sums its 25 weighted neighbours from the image
// as it stands, so earlier visits' results feed later ones. Mode 0 has no
// settings; the filter modes' table runs every form with them.
void smoothPlain(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);
