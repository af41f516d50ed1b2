// The wavefront's columns and median: each step sorts the column entering
// its rows' windows and keeps it while it crosses them; from the five
// columns a window spans come the 11th to 13th smallest of its 23 settled
// values, and with the two its chain has just rewritten, the median.
//
// In a step, row l's window spans the bytes 6 left to 6 right of its visit,
// in rows l - 2 to l + 2. Its column at 3b bytes right of the visit (b from
// -2 to 2) is, for every row at once, step t + 3b read in lanes l - 2 to
// l + 2: row l + a's byte there lies at step t + 3b + a * SKEW. The column
// entering at b = 2 is sorted once, then read by its channel's steps while
// it crosses the window. Its own row's value is as read until the column
// reaches the visit; left of it the chain's far and near take its place, so
// each column is kept without it (four) and with it (five).
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "lane_type.h"
#include "wave_band.h"

namespace fast_wave {
inline namespace FAST_LANES_PATH {

// Columns kept: those from a window's left edge (step t - 6) to its right
// (t + 6), in a ring indexed by their step.
constexpr int COLUMNS_HELD = 16;
FAST_LANES_INLINE int columnSlot(int u) { return u & (COLUMNS_HELD - 1); }

struct Column {
    Bytes four[4];  // the rows two above to two below but the row's own, sorted
    Bytes five[5];  // with the row's own value as read put in
    Bytes centre;   // the row's own value as read
};
inline Column column_ring[COLUMNS_HELD];

FAST_LANES_INLINE const Column& columnOf(int u) { return column_ring[columnSlot(u)]; }

FAST_LANES_INLINE void exchange(Bytes& a, Bytes& b) {
    const Bytes low = minimum(a, b);
    b = maximum(a, b);
    a = low;
}

// Step u's column from the band, its row above given, sorted into the ring.
FAST_LANES_INLINE const Column& enterColumn(int u, Bytes above) {
    Bytes two_above = loadBytes(lineOf(u - 2 * SKEW) + LANE0_AT - 2);
    Bytes below = loadBytes(lineOf(u + SKEW) + LANE0_AT + 1);
    Bytes two_below = loadBytes(lineOf(u + 2 * SKEW) + LANE0_AT + 2);
    const Bytes centre = loadBytes(lineOf(u) + LANE0_AT);
    exchange(two_above, above);
    exchange(below, two_below);
    exchange(two_above, below);
    exchange(above, two_below);
    exchange(above, below);
    Column& c = column_ring[columnSlot(u)];
    c.four[0] = two_above;
    c.four[1] = above;
    c.four[2] = below;
    c.four[3] = two_below;
    // The row's own value goes in by insertion.
    Bytes carried = centre;
    for (int i = 0; i < 4; ++i) {
        c.five[i] = minimum(c.four[i], carried);
        carried = maximum(c.four[i], carried);
    }
    c.five[4] = carried;
    c.centre = centre;
    return c;
}

// The column entering the windows at step u, whose row above is step
// u - SKEW's value, just made: a lane down there, the halo row for lane 0.
FAST_LANES_INLINE const Column& enterColumnAfter(int u, Bytes made_at_u_less_skew) {
    return enterColumn(u, lanesMovedUp(made_at_u_less_skew, lineOf(u - SKEW) + LANE0_AT - 1));
}

template <std::size_t N>
using Sorted = std::array<Bytes, N>;

// Every STEP-th value from FIRST on. Written out with fixed indices (no
// loops), so that the compiler keeps every value in a register.
template <std::size_t FIRST, std::size_t STEP, std::size_t N, std::size_t... I>
FAST_LANES_INLINE Sorted<sizeof...(I)> pick(const Bytes* values, std::index_sequence<I...>) {
    return {{values[FIRST + STEP * I]...}};
}
template <std::size_t N>
FAST_LANES_INLINE Sorted<N> keptColumn(const Bytes* column) {
    return pick<0, 1, N>(column, std::make_index_sequence<N>());
}

// Odd-even merge of two ascending lists. Written out by the compiler into
// straight min/max code, and whatever the caller never reads is dropped
// again, so merging only to pick a few ranks costs only those. The
// temporaries are left uninitialised (each element is written before it is
// read): GCC did not always drop their zero fill.
template <std::size_t M, std::size_t N>
FAST_LANES_INLINE Sorted<M + N> mergeSorted(const Sorted<M>& a, const Sorted<N>& b) {
    Sorted<M + N> merged;
    if constexpr (M == 0) {
        for (std::size_t i = 0; i < N; ++i) merged[i] = b[i];
    } else if constexpr (N == 0) {
        for (std::size_t i = 0; i < M; ++i) merged[i] = a[i];
    } else if constexpr (M == 1 && N == 1) {
        merged[0] = minimum(a[0], b[0]);
        merged[1] = maximum(a[0], b[0]);
    } else {
        Sorted<(M + 1) / 2> a_even;
        Sorted<M / 2> a_odd;
        Sorted<(N + 1) / 2> b_even;
        Sorted<N / 2> b_odd;
        for (std::size_t i = 0; i < M; ++i) (i % 2 == 0 ? a_even[i / 2] : a_odd[i / 2]) = a[i];
        for (std::size_t i = 0; i < N; ++i) (i % 2 == 0 ? b_even[i / 2] : b_odd[i / 2]) = b[i];
        const auto evens = mergeSorted(a_even, b_even);
        const auto odds = mergeSorted(a_odd, b_odd);
        constexpr std::size_t E = (M + 1) / 2 + (N + 1) / 2;
        constexpr std::size_t O = M / 2 + N / 2;
        // The first even leads; then each odd is exchanged with the next even.
        merged[0] = evens[0];
        std::size_t out = 1;
        std::size_t k = 0;
        for (; k < O && k + 1 < E; ++k) {
            merged[out++] = minimum(odds[k], evens[k + 1]);
            merged[out++] = maximum(odds[k], evens[k + 1]);
        }
        for (std::size_t i = k; i < O; ++i) merged[out++] = odds[i];
        for (std::size_t i = k + 1; i < E; ++i) merged[out++] = evens[i];
    }
    return merged;
}

// The 11th to 13th smallest of step t's 23 settled values. Of the 18 left of
// the entering column, the 5 smallest have at most 9 of the 23 below them
// and those from the 14th on at least 13, so only their 6th to 13th can be
// among the three: merging those 8 with the entering column's 5 takes fewer
// exchanges than merging all 18.
struct Ranks {
    Bytes low, mid, high;
};

FAST_LANES_INLINE Ranks ranksAt(int t) {
    const auto left = mergeSorted(keptColumn<4>(columnOf(t - 6).four), keptColumn<4>(columnOf(t - 3).four));
    const auto middle = mergeSorted(keptColumn<5>(columnOf(t).five), keptColumn<5>(columnOf(t + 3).five));
    const auto eighteen = mergeSorted(left, middle);
    const auto last = mergeSorted(pick<5, 1, 18>(eighteen.data(), std::make_index_sequence<8>()),
                                  keptColumn<5>(columnOf(t + 6).five));
    return {last[5], last[6], last[7]};  // last[i] is the (i + 5)th smallest, from 0
}

// The 13th smallest of the 25: the two rewritten values can only move it
// within the 11th to 13th of the other 23. That is the middle of (far, near,
// mid) held within [low, high], which is near held within
// [max(low, min(far, mid)), min(high, max(far, mid))]: both bounds contain
// mid, so the two holds make one, and the bounds wait on far alone, known a
// step early.
FAST_LANES_INLINE Bytes medianOf(Bytes far, Bytes near, const Ranks& r) {
    const Bytes lowest = maximum(r.low, minimum(far, r.mid));
    const Bytes highest = minimum(r.high, maximum(far, r.mid));
    return maximum(lowest, minimum(near, highest));
}

// What a step hands its mode: the visits' own values as read, the chain's
// two rewritten values (far two pixels left, near one), and the lanes the
// band keeps; its columns are in the ring. The median is worked out
// only when asked for: mode 1 where nothing replaces, and mode 3 where its
// gate fails, go without.
struct Visit {
    int t;
    Bytes far;
    Bytes near;
    Bytes centre;
    Bytes active;

    FAST_LANES_INLINE Bytes median() const { return medianOf(far, near, ranksAt(t)); }
};

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
