// The window's sums in the wavefront (modes 1 and 3): each column's sum and
// sum of squares kept as it enters, and from the five of a window and the
// chain's two values every row's window sum, truncated mean and squared
// deviation sum at once, in whole numbers.
#pragma once

#include "../neighbourhood.h"
#include "lane_type.h"
#include "truncated_mean.h"
#include "wave_columns.h"

namespace fast_wave {
inline namespace FAST_LANES_PATH {

FAST_LANES_INLINE Words meanOf(Words sum) { return shiftedRight<1>(mulHigh(sum, everyWord(MEAN_MULTIPLIER))); }

// The squared deviation sum about the mean m is squares - m * (2 sum - 25 m):
// the square of each deviation, added up, less what the mean takes off.
FAST_LANES_INLINE Words crossTermOf(Words sum, Words mean) { return sum + sum - mulLow(mean, everyWord(WINDOW_SIZE)); }

struct Sums {
    Words sum;
    Dwords squares;
};


// A column's sums while it crosses the windows: without its own row's
// value (left of the visit, where far and near take its place) and with it
// as read.
struct ColumnSums {
    Sums four;
    Sums five;
};
inline ColumnSums column_sums[COLUMNS_HELD];

FAST_LANES_INLINE void keepColumnSums(int u, const Column& c) {
    const Words w0 = widen(c.four[0]), w1 = widen(c.four[1]), w2 = widen(c.four[2]), w3 = widen(c.four[3]);
    const Words centre = widen(c.centre), zero = everyWord(0);
    ColumnSums& kept = column_sums[columnSlot(u)];
    kept.four.sum = (w0 + w1) + (w2 + w3);
    kept.four.squares = pairProducts(w0, w0, w1, w1) + pairProducts(w2, w2, w3, w3);
    kept.five.sum = kept.four.sum + centre;
    kept.five.squares = kept.four.squares + pairProducts(centre, centre, zero, zero);
}

// Every row's window mean and squared deviation sum.
struct Spread {
    Words mean;
    Dwords squared_deviations;
};

FAST_LANES_INLINE Spread spreadOf(const Visit& v) {
    const ColumnSums& a = column_sums[columnSlot(v.t - 6)];
    const ColumnSums& b = column_sums[columnSlot(v.t - 3)];
    const ColumnSums& c = column_sums[columnSlot(v.t)];
    const ColumnSums& d = column_sums[columnSlot(v.t + 3)];
    const ColumnSums& e = column_sums[columnSlot(v.t + 6)];
    const Words far = widen(v.far), near = widen(v.near), zero = everyWord(0);
    const Words sum = ((a.four.sum + b.four.sum) + (c.five.sum + d.five.sum)) + (e.five.sum + (far + near));
    const Dwords squares = ((a.four.squares + b.four.squares) + (c.five.squares + d.five.squares)) +
                           (e.five.squares + pairProducts(far, far, near, near));
    const Words mean = meanOf(sum);
    return {mean, squares - pairProducts(mean, crossTermOf(sum, mean), zero, zero)};
}

// 32-bit lane masks as one byte mask.
FAST_LANES_INLINE Bytes byteMaskOf(const Dwords& mask) { return narrowMask(narrow(mask)); }

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
