// The fast neighbourhood pass, the scalar walk: one channel's visit at a
// time along a row, each adding the two values its chain has just rewritten
// to the settled figures and asking the mode's step for the new value.
// Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cstdint>

#include "../../image/image_store.h"
#include "../neighbourhood.h"
#include "lanes.h"
#include "row_buffers.h"
#include "row_order.h"

namespace {

// The 13th smallest of the 25: the two rewritten values can only move it
// within the 11th to 13th smallest of the other 23. That is the middle of
// (far, near, mid) held within [low, high], which is near held within
// [max(low, min(far, mid)), min(high, max(far, mid))]: both bounds contain
// mid, so the two holds make one. The bounds are known a visit early (far
// is the previous visit's near), so the chain through near is two steps.
FAST_LANES_INLINE int medianWith(int far, int near, int low, int mid, int high) {
    const int smaller = far < mid ? far : mid;
    const int larger = far < mid ? mid : far;
    const int lowest = low < smaller ? smaller : low;
    const int highest = high < larger ? high : larger;
    const int median = near < highest ? near : highest;
    return median < lowest ? lowest : median;
}

// The sum of (mean - value)^2 over the window, in whole numbers.
FAST_LANES_INLINE int squaredDeviationSumOf(int mean, int sum, int squares) {
    return squares - mean * (2 * sum - WINDOW_SIZE * mean);
}

// What a mode step may ask of a visit. The median is worked out only when
// asked: mode 1 seldom needs it.
struct Visit {
    RowBuffers& buffers;
    int k;
    int far;
    int near;
    int centre;

    int median() const {
        return medianWith(far, near, buffers.rank_low[k], buffers.rank_mid[k], buffers.rank_high[k]);
    }
    int sum() const { return buffers.settled_sum[k] + far + near; }
    int squares() const { return int(buffers.settled_squares[k]) + far * far + near * near; }
    int mean() const { return sum() / WINDOW_SIZE; }
    int squaredDeviationSum() const { return squaredDeviationSumOf(mean(), sum(), squares()); }
};

// One visit, given the two values its channel's chain rewrote just before.
template <class Step>
FAST_LANES_INLINE int visitValue(RowBuffers& b, const std::uint8_t* row, int k, int far, int near,
                                 const Step& step) {
    return step(Visit{b, k, far, near, row[k]});
}

using Chains = fast_rows::Chains<int>;
constexpr auto chainsBefore = fast_rows::chainsBefore<int>;

template <class Step>
FAST_LANES_INLINE void visitPixel(RowBuffers& b, std::uint8_t* row, int k, Chains& c, const Step& step) {
    for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel) {
        const int value = visitValue(b, row, k + channel, c.far[channel], c.near[channel], step);
        row[k + channel] = std::uint8_t(value);
        c.far[channel] = c.near[channel];
        c.near[channel] = value;
    }
}

}  // namespace
