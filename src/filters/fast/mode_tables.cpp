#include "mode_tables.h"

#include <cmath>

#include "../mode_steps.h"
#include "lanes.h"

namespace fast_tables {

std::uint8_t blend_table[256][256];
alignas(16) double crisp_ratio_by_squares[MAX_SQUARED_DEVIATION_SUM + 1];

namespace {

bool blend_table_made = false;
bool crisp_ratios_made = false;

// Any spread above the flat limit: the blend then takes the median given.
constexpr double UNFLAT_SPREAD_PERCENT = 100.0;

}  // namespace

void makeBlendTable() {
    if (blend_table_made) return;
    for (int median = 0; median < 256; ++median)
        for (int centre = 0; centre < 256; ++centre)
            blend_table[median][centre] =
                originalBlendValue(std::uint8_t(median), std::uint8_t(centre), UNFLAT_SPREAD_PERCENT);
    blend_table_made = true;
}

// sqrt(sum / 25) / 128, the window's sigma over 128, by the plain filter's
// own operations: the lanes round each one as the one-lane instruction does.
void makeCrispRatios() {
    if (crisp_ratios_made) return;
    int squares = 0;
#if defined(FAST_LANES_SSE2)
    for (; squares + 1 <= MAX_SQUARED_DEVIATION_SUM; squares += 2) {
        const __m128d sums = _mm_cvtepi32_pd(_mm_setr_epi32(squares, squares + 1, 0, 0));
        const __m128d sigma = _mm_sqrt_pd(_mm_div_pd(sums, _mm_set1_pd(25.0)));
        _mm_store_pd(crisp_ratio_by_squares + squares, _mm_div_pd(sigma, _mm_set1_pd(128.0)));
    }
#endif
    for (; squares <= MAX_SQUARED_DEVIATION_SUM; ++squares)
        crisp_ratio_by_squares[squares] = std::sqrt(double(squares) / 25.0) / 128.0;
    crisp_ratios_made = true;
}

}  // namespace fast_tables
