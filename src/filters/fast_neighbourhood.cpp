#include "fast_neighbourhood.h"

#include <array>
#include <cmath>

#include "../front/messages.h"
#include "fast_lanes.h"
#include "mode_steps.h"
#include "neighbourhood.h"
#include "progress.h"

namespace {

using fast_lanes::Lane1;
using fast_lanes::WideLanes;

constexpr int ROW_BYTES = ROW_STRIDE;
constexpr int LEFT_REACH = 6;  // bytes from a visit to its channel two pixels left
constexpr int NEAR = 3;        // bytes to the same channel one pixel over

// Per row, for every byte column: the four values of rows r-2, r-1, r+1 and
// r+2 sorted, the same with the row's own value added, and their sums.
std::uint8_t column_four[4][ROW_BYTES];
std::uint8_t column_five[5][ROW_BYTES];
std::uint16_t column_sum[ROW_BYTES];
std::uint32_t column_squares[ROW_BYTES];

// Per row, for every visit: the 11th, 12th and 13th smallest of the 23
// values that do not depend on the row's own results, their sum and their
// sum of squares.
std::uint8_t rank_low[ROW_BYTES];
std::uint8_t rank_mid[ROW_BYTES];
std::uint8_t rank_high[ROW_BYTES];
std::uint16_t rest_sum[ROW_BYTES];
std::uint32_t rest_squares[ROW_BYTES];

// Filled as first needed: each entry is a pure function of its index, so an
// entry once made holds for every later picture too.
std::uint16_t blend_plus_one[256][256];  // 0 until made
double spread_ratio_by_squares[MAX_SQUARED_DEVIATION_SUM + 1];  // 0 until made (and for 0)

// ---- the row's columns -----------------------------------------------------

template <class V>
void sortColumnAt(const std::uint8_t* centre_row, int p) {
    using fast_lanes::exchange;
    using fast_lanes::load;
    V a = load<V>(centre_row - 2 * ROW_STRIDE + p);
    V b = load<V>(centre_row - ROW_STRIDE + p);
    V c = load<V>(centre_row + ROW_STRIDE + p);
    V d = load<V>(centre_row + 2 * ROW_STRIDE + p);
    exchange(a, b);
    exchange(c, d);
    exchange(a, c);
    exchange(b, d);
    exchange(b, c);
    const V sorted[4] = {a, b, c, d};
    // The row's own value goes in by insertion.
    V carried = load<V>(centre_row + p);
    for (int i = 0; i < 4; ++i) {
        storeLanes(column_four[i] + p, sorted[i]);
        storeLanes(column_five[i] + p, lower(sorted[i], carried));
        carried = upper(sorted[i], carried);
    }
    storeLanes(column_five[4] + p, carried);
}

void sortColumns(const std::uint8_t* centre_row, int row_bytes) {
    int p = 0;
    for (; p + WideLanes::COUNT <= row_bytes; p += WideLanes::COUNT) sortColumnAt<WideLanes>(centre_row, p);
    for (; p < row_bytes; ++p) sortColumnAt<Lane1>(centre_row, p);
}

void sumColumns(const std::uint8_t* centre_row, int row_bytes) {
    const std::uint8_t* above_far = centre_row - 2 * ROW_STRIDE;
    const std::uint8_t* above = centre_row - ROW_STRIDE;
    const std::uint8_t* below = centre_row + ROW_STRIDE;
    const std::uint8_t* below_far = centre_row + 2 * ROW_STRIDE;
    for (int p = 0; p < row_bytes; ++p) {
        const std::uint32_t v0 = above_far[p], v1 = above[p], v3 = below[p], v4 = below_far[p];
        column_sum[p] = std::uint16_t(v0 + v1 + v3 + v4);
        column_squares[p] = v0 * v0 + v1 * v1 + v3 * v3 + v4 * v4;
    }
}

// ---- the visits' 23 settled values ----------------------------------------

template <class V, std::size_t N>
std::array<V, N> loadColumn(const std::uint8_t (*column)[ROW_BYTES], int p) {
    std::array<V, N> values{};
    for (std::size_t i = 0; i < N; ++i) values[i] = fast_lanes::load<V>(column[i] + p);
    return values;
}

template <class V>
void rankRestAt(int j) {
    using fast_lanes::mergeSorted;
    const auto left = mergeSorted<V>(loadColumn<V, 4>(column_four, j - LEFT_REACH),
                                     loadColumn<V, 4>(column_four, j - NEAR));
    const auto right = mergeSorted<V>(loadColumn<V, 5>(column_five, j + NEAR),
                                      loadColumn<V, 5>(column_five, j + LEFT_REACH));
    const auto all = mergeSorted<V>(mergeSorted<V>(left, loadColumn<V, 5>(column_five, j)), right);
    storeLanes(rank_low + j, all[10]);
    storeLanes(rank_mid + j, all[11]);
    storeLanes(rank_high + j, all[12]);
}

void rankRest(int first, int end) {
    int j = first;
    for (; j + WideLanes::COUNT <= end; j += WideLanes::COUNT) rankRestAt<WideLanes>(j);
    for (; j < end; ++j) rankRestAt<Lane1>(j);
}

void sumRest(const std::uint8_t* centre_row, int first, int end) {
    for (int j = first; j < end; ++j) {
        const std::uint32_t x0 = centre_row[j], x1 = centre_row[j + NEAR], x2 = centre_row[j + LEFT_REACH];
        rest_sum[j] = std::uint16_t(column_sum[j - LEFT_REACH] + column_sum[j - NEAR] + column_sum[j] +
                                    column_sum[j + NEAR] + column_sum[j + LEFT_REACH] + x0 + x1 + x2);
        rest_squares[j] = column_squares[j - LEFT_REACH] + column_squares[j - NEAR] + column_squares[j] +
                          column_squares[j + NEAR] + column_squares[j + LEFT_REACH] + x0 * x0 + x1 * x1 + x2 * x2;
    }
}

// ---- the walk along the row ------------------------------------------------

// The 13th smallest of the 25: the two rewritten values can only move it
// within the 11th to 13th smallest of the other 23.
inline int medianWith(int far, int near, int low, int mid, int high) {
    const int smaller = far < near ? far : near;
    const int larger = far < near ? near : far;
    int median = larger < mid ? larger : mid;
    median = median < smaller ? smaller : median;
    median = median < high ? median : high;
    return median < low ? low : median;
}

struct Visit {
    int median;
    int centre;
    int sum;      // of all 25 values
    int squares;  // of all 25 values
};

inline int meanOf(const Visit& v) { return v.sum / WINDOW_SIZE; }

// The sum of (mean - value)^2 over the window, in whole numbers.
inline int squaredDeviationSum(const Visit& v) {
    const int mean = meanOf(v);
    return v.squares - mean * (2 * v.sum - WINDOW_SIZE * mean);
}

double spreadRatioOf(int squared_deviation_sum) {
    double& ratio = spread_ratio_by_squares[squared_deviation_sum];
    if (ratio == 0.0) {
        const double window_sigma = std::sqrt(double(squared_deviation_sum) / 25.0);
        ratio = window_sigma / 128.0;
    }
    return ratio;
}

// Any spread above the flat limit: the blend then takes the median given.
constexpr double UNFLAT_SPREAD_PERCENT = 100.0;

int blendOf(int median, int centre) {
    std::uint16_t& entry = blend_plus_one[median][centre];
    if (entry == 0)
        entry = std::uint16_t(1 + originalBlendValue(std::uint8_t(median), std::uint8_t(centre), UNFLAT_SPREAD_PERCENT));
    return entry - 1;
}

struct MedianReplacement {
    int first_replacing;
    int operator()(const Visit& v) const { return squaredDeviationSum(v) >= first_replacing ? v.median : v.centre; }
};

struct OriginalBlend {
    int first_unflat;
    int operator()(const Visit& v) const {
        // In a flat window the value is blended with itself.
        return blendOf(squaredDeviationSum(v) >= first_unflat ? v.median : v.centre, v.centre);
    }
};

// Whether the crisp blend's gate passes, by |window mean - centre|.
bool crisp_gate_by_distance[256];

struct CrispBlend {
    int operator()(const Visit& v) const {
        const int distance = meanOf(v) - v.centre;
        if (!crisp_gate_by_distance[distance < 0 ? -distance : distance]) return v.centre;
        return crispBlendValue(std::uint8_t(v.median), std::uint8_t(v.centre), spreadRatioOf(squaredDeviationSum(v)));
    }
};

void fillCrispGate(const FilterSettings& settings) {
    for (int distance = 0; distance < 256; ++distance) {
        const double window_mean = double(distance);
        const double pixel_deviation = std::fabs((window_mean - 0.0) / 255.0);
        crisp_gate_by_distance[distance] =
            crispGatePasses(pixel_deviation, settings.min_threshold, settings.max_threshold);
    }
}

// Three chains, one per channel: each visit takes the two values its
// channel's chain rewrote just before it.
template <class Step>
void walkRow(std::uint8_t* row, int row_bytes, const Step& step) {
    int far[CHANNELS_PER_PIXEL] = {row[0], row[1], row[2]};
    int near[CHANNELS_PER_PIXEL] = {row[3], row[4], row[5]};
    for (int j = LEFT_REACH; j < row_bytes - LEFT_REACH; j += CHANNELS_PER_PIXEL) {
        for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel) {
            const int k = j + channel;
            const int a = far[channel];
            const int b = near[channel];
            const Visit visit{medianWith(a, b, rank_low[k], rank_mid[k], rank_high[k]), row[k],
                              rest_sum[k] + a + b, int(rest_squares[k]) + a * a + b * b};
            const int value = step(visit);
            row[k] = std::uint8_t(value);
            far[channel] = b;
            near[channel] = value;
        }
    }
}

template <class Step>
void filterRow(std::uint8_t* image, int row, int width, const Step& step) {
    std::uint8_t* centre_row = image + pixelIndex(row, 0, 0);
    const int row_bytes = width * CHANNELS_PER_PIXEL;
    sortColumns(centre_row, row_bytes);
    sumColumns(centre_row, row_bytes);
    rankRest(LEFT_REACH, row_bytes - LEFT_REACH);
    sumRest(centre_row, LEFT_REACH, row_bytes - LEFT_REACH);
    walkRow(centre_row, row_bytes, step);
}

template <class Step>
void runPass(std::uint8_t* image, PictureSize size, const Step& step, std::FILE* console) {
    std::fputs(kMedianStarted, console);
    for (int row = 2; row <= size.height - 3; ++row) {
        if (size.width >= 5) filterRow(image, row, size.width, step);
        printProgressLines(console, row, size.height, 1);
    }
}

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

void neighbourhoodPassFast(std::uint8_t* image, PictureSize size, const FilterSettings& settings,
                           std::FILE* console) {
    if (settings.filter_mode == FILTER_MODE_MEDIAN) {
        runPass(image, size, MedianReplacement{firstReplacingSquaredSum(settings.removal_coefficient)}, console);
    } else if (settings.filter_mode == FILTER_MODE_ORIGINAL_BLEND) {
        runPass(image, size, OriginalBlend{firstUnflatSquaredSum()}, console);
    } else if (settings.filter_mode == FILTER_MODE_CRISP_SMOOTH_BLEND) {
        fillCrispGate(settings);
        runPass(image, size, CrispBlend{}, console);
    }
}
