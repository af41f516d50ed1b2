// The neighbourhood pass that walks rows: built for the build's own
// instructions (SSE2 on x86, or one-byte lanes). The other paths run the
// wavefront (wave_pass.cpp). Its entry points are that path's
// (lane_path.h); lane_path.cpp picks the path that runs.
#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"
#include "../progress.h"
#include "lane_path.h"
#include "mode_tables.h"
#include "neighbourhood.h"
// The pass's parts, each built on those above it. They are headers of this
// file alone (they say so if included anywhere else) so that the pass stays
// one translation unit: the compiler then writes the same machine code as
// for the pass in one file.
#define FAST_NEIGHBOURHOOD_PASS
#include "lanes.h"
#include "truncated_mean.h"
#include "crisp_gate.h"
#include "row_buffers.h"
#include "columns.h"
#include "settled.h"
#include "scalar_walk.h"
#include "lane_window.h"
#include "mode1_candidates.h"
#include "mode1_median.h"
#include "mode2_original_blend.h"
#include "mode3_crisp_blend.h"
#include "lane_walk.h"
#include "pass.h"

// The SSE2 path runs the wavefront (wave_pass.cpp); its row walk is kept
// beside it, as a path of its own, while the two are measured.
#if defined(FAST_LANES_SSE2)
#define FAST_ROW_WALK_PATH sse2_rows
#else
#define FAST_ROW_WALK_PATH one_byte
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

void originalBlend(std::uint8_t* image, PictureSize size, const FilterSettings&, std::FILE* console) {
    fast_tables::makeBlendTable();
    runPass(image, size, OriginalBlend{firstUnflatSquaredSum()}, console);
}

void crispSmoothBlend(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    fast_tables::makeCrispRatios();
    runPass(image, size, crispBlendFor(settings), console);
}

}  // namespace FAST_ROW_WALK_PATH
}  // namespace fast_paths
