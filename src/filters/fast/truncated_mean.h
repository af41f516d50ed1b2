// The window's truncated mean, sum / 25, as a multiplication and a shift:
// what the row walk and the wavefront both work the mean out by.
#pragma once

#include "../neighbourhood.h"

namespace {

// sum / 25 for every sum of 25 bytes: 5243 / 2^17 exceeds 1/25 by less
// than 1 / (25 * 6375).
constexpr int MEAN_MULTIPLIER = 5243;
constexpr bool meanByMultiplyHolds() {
    for (int sum = 0; sum <= 25 * 255; ++sum)
        if (((sum * MEAN_MULTIPLIER) >> 17) != sum / WINDOW_SIZE) return false;
    return true;
}
static_assert(meanByMultiplyHolds(), "the mean by multiplication must be the truncated mean");

}  // namespace
