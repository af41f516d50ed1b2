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
#include "fast/lane_path.h"
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
    // The fast form's entry in each lane path (lane_path.h), where the mode
    // has one form per path; the fast form runs the chosen path's.
    NeighbourhoodForm LanePath::*lane_path_form;
};

inline constexpr FilterMode FILTER_MODES[] = {
    {FILTER_MODE_SMOOTHING, kSmoothingStarted, smoothPlain, smoothFast, nullptr},
    {FILTER_MODE_MEDIAN, kMedianStarted, medianReplacementPlain, medianReplacementFast,
     &LanePath::median_replacement},
    {FILTER_MODE_ORIGINAL_BLEND, kMedianStarted, originalBlendPlain, originalBlendFast, &LanePath::original_blend},
    {FILTER_MODE_CRISP_SMOOTH_BLEND, kMedianStarted, crispSmoothBlendPlain, crispSmoothBlendFast,
     &LanePath::crisp_smooth_blend},
};

// The mode's fast form as lane path `path` runs it: the path's own for
// modes 1 to 3, the one fast form for mode 0. For the tests and the
// benchmark; the program runs `fast`, which picks the path itself.
FilterForm fastFormIn(const FilterMode& mode, const LanePath& path);

// The row of mode `number`, or nullptr where no mode has that number.
const FilterMode* filterModeOf(int number);

// The filter as a user meets it: the mode's start message, then `form`
// (the mode's plain or fast form) over the picture in place.
void runFilterForm(const FilterMode& mode, FilterForm form, std::uint8_t* image, PictureSize size,
                   const FilterSettings& settings, std::FILE* console);
