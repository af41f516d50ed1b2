// Filter modes 1 to 3 share one pass: for each channel of each interior
// pixel, gather the 5x5 window, sort it, compute its statistics and let the
// mode's step decide the channel's new value.
#pragma once

#include <cstdint>
#include <cstdio>

#include "../image/image_store.h"

constexpr int WINDOW_SIZE = 25;
constexpr int MEDIAN_INDEX = 12;  // the 13th smallest of 25

struct WindowStatistics {
    std::uint8_t window[WINDOW_SIZE];  // sorted ascending
    std::uint8_t median;
    std::uint8_t centre_value;
    std::int32_t window_sum;
    double window_mean;            // truncated to a whole number
    double pixel_deviation;        // |window_mean - centre| / 255
    double squared_deviation_sum;  // about window_mean
    double window_sigma;
    double spread_percent;         // sigma in percent of full scale
    double spread_ratio;           // sigma / 128
};

// Row-major from the top-left corner of the neighbourhood of (row, column).
void gatherWindow(const std::uint8_t* image, int row, int column, int channel, std::uint8_t* window);

// The fixed exchange sort: 24 full passes of neighbour compare-exchanges.
void sortWindow(std::uint8_t* window);

// From a sorted window and the centre's value, in the order the statistics
// build on each other.
void computeStatistics(const std::uint8_t* sorted_window, std::uint8_t centre_value, WindowStatistics* statistics);

// The plain forms of the whole pass, with the step of filter mode 1, 2 or 3.
void medianReplacementPlain(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                            std::FILE* console);
void originalBlendPlain(std::uint8_t* image, PictureSize size, const FilterSettings& settings, std::FILE* console);
void crispSmoothBlendPlain(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                           std::FILE* console);
