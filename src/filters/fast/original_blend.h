// Filter mode 2, original blend, in the wavefront: the flat test, cheap
// where the columns' spreads already show every window unflat and exact, in
// 16-bit lanes, elsewhere; and the blend looked up in mode_tables.h's table.
#pragma once

#include <cstdint>

#include "../mode_steps.h"
#include "lane_type.h"
#include "mode_tables.h"
#include "wave_columns.h"
#include "wave_sums.h"

namespace fast_wave {
inline namespace FAST_LANES_PATH {

struct OriginalBlend {
    int first_unflat;
    int flat_range;  // the widest range of values a flat window can have (see flatLanes)

    // Each column's (largest - smallest)^2, without and with its own row's
    // value: what bounds a window's squared deviation sum from below.
    struct Spreads {
        Words four, five;
    };
    // A column's sum and sum of squares in 16-bit lanes, the squares kept
    // modulo 2^16, without and with its own row's value (as read): made the
    // first time an exact test needs the column.
    struct ColumnSums {
        Words sum_four, sum_five, squares_four, squares_five;
    };
    inline static Spreads spreads[COLUMNS_HELD];
    inline static ColumnSums sums[COLUMNS_HELD];
    inline static bool summed[COLUMNS_HELD];

    static FAST_LANES_INLINE Words squaredSpread(Bytes largest, Bytes smallest) {
        const Words d = widen(lessOrZero(largest, smallest));
        return mulLow(d, d);
    }
    FAST_LANES_INLINE void keepColumn(int u, const Column& c) const {
        Spreads& kept = spreads[columnSlot(u)];
        kept.four = squaredSpread(c.four[3], c.four[0]);
        kept.five = squaredSpread(c.five[4], c.five[0]);
        summed[columnSlot(u)] = false;
    }

    static FAST_LANES_INLINE const ColumnSums& columnSums(int u) {
        const int slot = columnSlot(u);
        if (!summed[slot]) {
            const Column& column = column_ring[slot];
            Words sum = widen(column.four[0]);
            Words squares = mulLow(sum, sum);
            for (int i = 1; i < 4; ++i) {
                const Words w = widen(column.four[i]);
                sum = sum + w;
                squares = squares + mulLow(w, w);
            }
            const Words centre = widen(column.centre);
            ColumnSums& kept = sums[slot];
            kept.sum_four = sum;
            kept.sum_five = sum + centre;
            kept.squares_four = squares;
            kept.squares_five = squares + mulLow(centre, centre);
            summed[slot] = true;
        }
        return sums[slot];
    }

    // The exact test where the columns' spreads leave a lane in doubt. A
    // window whose values span more than flat_range is not flat (its
    // largest and smallest value alone give a squared deviation sum of at
    // least range^2 / 2). One that spans at most flat_range has a squared
    // deviation sum of at most 25 * range^2 / 4 + 25, well under 2^16, so
    // worked out in 16-bit lanes modulo 2^16 it comes out exact.
    FAST_LANES_INLINE Bytes flatLanes(const Visit& v) const {
        const Bytes* left = columnOf(v.t - 6).four;
        const Bytes* near_left = columnOf(v.t - 3).four;
        const Bytes* centre = columnOf(v.t).five;
        const Bytes* right = columnOf(v.t + 3).five;
        const Bytes* entering = columnOf(v.t + 6).five;
        const Bytes largest = maximum(maximum(maximum(left[3], near_left[3]), maximum(centre[4], right[4])),
                                      maximum(entering[4], maximum(v.far, v.near)));
        const Bytes smallest = minimum(minimum(minimum(left[0], near_left[0]), minimum(centre[0], right[0])),
                                       minimum(entering[0], minimum(v.far, v.near)));
        const Bytes narrow = equal(lessOrZero(lessOrZero(largest, smallest), everyByte(flat_range)), zeroBytes());

        const Words far = widen(v.far), near = widen(v.near);
        const ColumnSums& a = columnSums(v.t - 6);
        const ColumnSums& b = columnSums(v.t - 3);
        const ColumnSums& c = columnSums(v.t);
        const ColumnSums& d = columnSums(v.t + 3);
        const ColumnSums& e = columnSums(v.t + 6);
        const Words sum = ((a.sum_four + b.sum_four) + (c.sum_five + d.sum_five)) + (e.sum_five + (far + near));
        const Words squares = ((a.squares_four + b.squares_four) + (c.squares_five + d.squares_five)) +
                              (e.squares_five + (mulLow(far, far) + mulLow(near, near)));
        const Words mean = meanOf(sum);
        const Words deviations = squares - mulLow(mean, crossTermOf(sum, mean));
        const Words flat = equal(lessOrZero(deviations, everyWord(first_unflat - 1)), everyWord(0));
        return both(narrowMask(flat), narrow);
    }

    // What each lane's value is blended with: the median, or itself where
    // the window is flat.
    FAST_LANES_INLINE Bytes blendedWith(const Visit& v) const {
        const Spreads& a = spreads[columnSlot(v.t - 6)];
        const Spreads& b = spreads[columnSlot(v.t - 3)];
        const Spreads& c = spreads[columnSlot(v.t)];
        const Spreads& d = spreads[columnSlot(v.t + 3)];
        const Spreads& e = spreads[columnSlot(v.t + 6)];
        // Twice a window's squared deviation sum reaches the columns' total,
        // which, held at 65535, still says whether it reaches the limit.
        const Words total = addHeld(addHeld(addHeld(a.four, b.four), addHeld(c.five, d.five)), e.five);
        const Words short_of = equal(lessOrZero(total, everyWord(2 * first_unflat - 1)), everyWord(0));
        const Bytes doubtful = both(narrowMask(short_of), v.active);
        if (!any(doubtful)) return v.median();
        const Bytes flat = flatLanes(v);
        // Every lane flat: each is blended with itself.
        if (!any(butNot(v.active, flat))) return v.centre;
        return select(flat, v.centre, v.median());
    }

    FAST_LANES_INLINE Bytes value(const Visit& v) const {
        // blend_table[with][centre], lane by lane.
        alignas(64) std::uint16_t index[LANES];
        storeInLaneOrder(index, bytePairs(v.centre, blendedWith(v)));
        alignas(64) std::uint8_t blended[LANES];
        const std::uint8_t* entries = &fast_tables::blend_table[0][0];
        for (int i = 0; i < LANES; ++i) blended[i] = entries[index[i]];
        return loadBytes(blended);
    }
};

// The widest range of a flat window: below the smallest range whose two
// ends alone reach the first unflat squared deviation sum. A flat window's
// squared deviation sum stays under 2^16 while that range is at most 101
// (25 * 101^2 / 4 + 25 < 65536); a spread limit of 5 % gives a range of 90.
static_assert(FLAT_SPREAD_PERCENT <= 5.0, "a flat window's sums fit 16-bit lanes");
inline OriginalBlend originalBlendFor(int first_unflat) {
    int range = 0;
    while ((range + 1) * (range + 1) < 2 * first_unflat) ++range;
    return {first_unflat, range};
}

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
