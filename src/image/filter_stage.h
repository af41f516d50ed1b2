// The filter stage the program runs: the fast form of the mode that
// filter_mode names, as the filter modes' table gives it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "image_store.h"

// Runs the filter of settings.filter_mode over the picture in place; a mode
// outside 0..3 runs nothing and prints nothing.
void runFilterStage(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);
