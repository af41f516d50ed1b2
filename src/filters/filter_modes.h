// The filter modes, one row each: the number the menu offers, the message a
// filter announces itself with, its plain form (the reference) and its fast
// form (what the program runs). The filter stage, the tests, the fuzzer and
// the benchmark all go through this table, so a mode is added or checked in
// one row. The table sits above both forms; neither form includes it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "../image/image_store.h"
#include "../messages/messages.h"
#include "fast/neighbourhood.h"
#include "fast/smoothing.h"
#include "neighbourhood.h"
#include "smoothing.h"

using FilterForm = void (*)(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);

struct FilterMode {
    int number;
    const char* start_message;
    FilterForm plain;
    FilterForm fast;
};

inline constexpr FilterMode FILTER_MODES[] = {
    {FILTER_MODE_SMOOTHING, kSmoothingStarted, smoothPlain, smoothFast},
    {FILTER_MODE_MEDIAN, kMedianStarted, medianReplacementPlain, medianReplacementFast},
    {FILTER_MODE_ORIGINAL_BLEND, kMedianStarted, originalBlendPlain, originalBlendFast},
    {FILTER_MODE_CRISP_SMOOTH_BLEND, kMedianStarted, crispSmoothBlendPlain, crispSmoothBlendFast},
};

// The row of mode `number`, or nullptr where no mode has that number.
const FilterMode* filterModeOf(int number);

// The filter as a user meets it: the mode's start message, then `form`
// (the mode's plain or fast form) over the picture in place.
void runFilterForm(const FilterMode& mode, FilterForm form, std::uint8_t* image, PictureSize size,
                   const FilterSettings& settings, std::FILE* console);
