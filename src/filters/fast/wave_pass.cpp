// The neighbourhood pass (modes 2 and 3, and mode 1 where the lane type
// says so) of one lane path, as a wavefront:
// this file is compiled once per path, each time with the path's own
// instructions (CMakeLists.txt), and lane_type.h picks the lane type they
// allow. Its entry points are that path's (lane_path.h); lane_path.cpp
// picks the path that runs.
#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"
#include "../progress.h"
#include "crisp_blend.h"
#include "lane_path.h"
#include "lane_type.h"
#include "median_replacement.h"
#include "mode_tables.h"
#include "neighbourhood.h"
#include "original_blend.h"
#include "wave_pass.h"

namespace fast_paths {
namespace FAST_LANES_PATH {

#if defined(FAST_LANES_WAVE_MEDIAN)
void medianReplacement(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    const int first_replacing = firstReplacingSquaredSum(settings.removal_coefficient);
    // No window's spread exceeds a coefficient of 50 or more (or one that
    // is not a number): nothing to do but say how far the pass has come.
    if (first_replacing > MAX_SQUARED_DEVIATION_SUM) {
        for (int row = 2; row <= size.height - 3; ++row) printProgressLines(console, row, size.height, 1);
        return;
    }
    fast_wave::runPass(image, size, fast_wave::medianReplacementFor(first_replacing), console);
}
#endif

void originalBlend(std::uint8_t* image, PictureSize size, const FilterSettings&, std::FILE* console) {
    fast_tables::makeBlendTable();
    fast_wave::runPass(image, size, fast_wave::originalBlendFor(firstUnflatSquaredSum()), console);
}

void crispSmoothBlend(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console) {
    if constexpr (!fast_wave::FUSED_MULTIPLY_ADD) fast_tables::makeCrispRatios();
    fast_wave::runPass(image, size, fast_wave::crispBlendFor(settings), console);
}

}  // namespace FAST_LANES_PATH
}  // namespace fast_paths
