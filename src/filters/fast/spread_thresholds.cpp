// The whole-number thresholds every lane path's pass decides by, found
// once per run from the plain statistics' own comparisons.
#include <cmath>

#include "../mode_steps.h"
#include "neighbourhood.h"

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
