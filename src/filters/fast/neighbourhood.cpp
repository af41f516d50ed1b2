// Mode 1 (median replacement) on the SSE2 and one-byte paths, as a row
// walk: built for the build's own instructions (SSE2 on x86, or one-byte
// lanes). Every other path and mode runs the wavefront (wave_pass.cpp);
// here the row walk's candidates, the visits that may replace their value,
// let most of a row go unwalked, which 16 lanes of wavefront did not beat
// on small pictures (docs/speed.md). lane_path.cpp picks the path that runs.
#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"
#include "../progress.h"
#include "lane_path.h"
#include "neighbourhood.h"
// The walk's parts, each built on those above it. They are headers of this
// file alone (they say so if included anywhere else) so that the pass stays
// one translation unit: the compiler then writes the same machine code as
// for the pass in one file.
#define FAST_NEIGHBOURHOOD_PASS
#include "lanes.h"
#include "truncated_mean.h"
#include "row_buffers.h"
#include "columns.h"
#include "settled.h"
#include "scalar_walk.h"
#include "lane_window.h"
#include "mode1_candidates.h"
#include "mode1_median.h"
#include "lane_walk.h"
#include "pass.h"

#if defined(FAST_LANES_SSE2)
#define FAST_ROW_WALK_PATH sse2_rows
#else
#define FAST_ROW_WALK_PATH one_byte_rows
#endif

namespace fast_paths {
namespace FAST_ROW_WALK_PATH {

void medianReplacement(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    const int first_replacing = firstReplacingSquaredSum(settings.removal_coefficient);
    // No window's spread exceeds a coefficient of 50 or more (or one that
    // is not a number): nothing to do but say how far the pass has come.
    if (first_replacing > MAX_SQUARED_DEVIATION_SUM) {
        for (int row = 2; row <= size.height - 3; ++row) printProgressLines(console, row, size.height, 1);
        return;
    }
    runPass(image, size, MedianReplacement{first_replacing}, console);
}

}  // namespace FAST_ROW_WALK_PATH
}  // namespace fast_paths
