// The fast form of the neighbourhood pass (filter modes 1 to 3): the same
// bytes and console text as the plain forms of neighbourhood.h, without
// gathering and sorting 25 values for every visit.
//
// Of a visit's 25 values only the two to its left in its own row depend on
// this row's results. Everything the visit needs from the other 23, its
// settled values (their 11th, 12th and 13th smallest, their sum and sum of
// squares), is found for the whole row at once; a walk along the row then
// adds the two rewritten values and lets the mode decide. The AVX paths
// instead take 32 rows at once, one in each byte lane, each three pixels
// behind the row above, so that every row's visit at a step has its window
// ready (wave_band.h). The pass's parts are the headers beside this one;
// docs/design.md lists them.
#pragma once

#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"

// The fast forms of filter modes 1, 2 and 3.
void medianReplacementFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                           std::FILE* console);
void originalBlendFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);
void crispSmoothBlendFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                          std::FILE* console);

// The squared deviation sum of a window about its truncated mean is a whole
// number; 255 * sum - 25 * mean^2 - 2 * mean * (sum mod 25) bounds it, and
// that is largest at mean 127 with remainder 24.
constexpr int MAX_SQUARED_DEVIATION_SUM = 25 * 127 * 128 + 24;

// The statistics' spread in percent for a whole-number squared deviation
// sum, by the very double operations of computeStatistics.
double spreadPercentOf(int squared_deviation_sum);

// The spread grows with the squared deviation sum, so each comparison on it
// flips once: these give the smallest sum for which the median replaces the
// value (mode 1) and for which a window is no longer flat (mode 2), or
// MAX_SQUARED_DEVIATION_SUM + 1 when none is.
int firstReplacingSquaredSum(double removal_coefficient);
int firstUnflatSquaredSum();

// crispBlendValue's double operations in its very order, written here so
// that the walk can have them inline (the tests hold the two together).
// Each file keeps its own copy (static): one compiled for AVX2 must never
// be the copy the linker keeps for everyone.
static inline int crispBlendInWalk(int median, int centre_value, double spread_ratio) {
    double a = double(centre_value) * spread_ratio;
    a = a * 3.0;
    double b = spread_ratio * 3.0;
    b = 1.0 - b;
    b = b * double(median);
    const double value = a + b;
    const int whole = int(value);
    return whole < 0 ? 0 : whole > 255 ? 255 : whole;
}
