#include "neighbourhood.h"

#include <cmath>

#include "../mode_steps.h"
// The pass's parts, each built on those above it. They are headers of this
// file alone (they say so if included anywhere else) so that the pass stays
// one translation unit: the compiler then writes the same machine code as
// for the pass in one file.
#define FAST_NEIGHBOURHOOD_PASS
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

namespace {

template <class Predicate>
int firstSquaredSumWhere(Predicate holds) {
    int low = 0;
    int high = MAX_SQUARED_DEVIATION_SUM + 1;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (holds(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

}  // namespace

double spreadPercentOf(int squared_deviation_sum) {
    const double window_sigma = std::sqrt(double(squared_deviation_sum) / 25.0);
    return window_sigma * 100.0 / 255.0;
}

int firstReplacingSquaredSum(double removal_coefficient) {
    return firstSquaredSumWhere(
        [=](int squares) { return medianReplaces(spreadPercentOf(squares), removal_coefficient); });
}

int firstUnflatSquaredSum() {
    return firstSquaredSumWhere([](int squares) { return !(spreadPercentOf(squares) <= FLAT_SPREAD_PERCENT); });
}

void medianReplacementFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                           std::FILE* console) {
    runPass(image, size, MedianReplacement{firstReplacingSquaredSum(settings.removal_coefficient)}, console);
}

void originalBlendFast(std::uint8_t* image, PictureSize size, const FilterSettings&, std::FILE* console) {
    makeBlendTable();
    runPass(image, size, OriginalBlend{firstUnflatSquaredSum()}, console);
}

void crispSmoothBlendFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                          std::FILE* console) {
    makeCrispRatios();
    runPass(image, size, crispBlendFor(settings), console);
}
