// The fast form of the neighbourhood pass (filter modes 1 to 3): the same
// bytes and console text as the plain forms of neighbourhood.h, without
// gathering and sorting 25 values for every visit.
//
// Of a visit's 25 values only the two to its left in its own row depend on
// this row's results, so a band of rows is taken at once, one in each byte
// lane, each three pixels behind the row above: every row's visit at a step
// then has its window ready (wave_band.h). Mode 1 on the SSE2 and one-byte
// paths walks rows instead: everything a visit needs from the other 23 of
// its values is found for a stretch of the row at once, and the walk then
// goes only to the visits that may replace their value (mode1_median.h).
// docs/design.md lists the parts.
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
