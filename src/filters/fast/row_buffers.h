// The fast neighbourhood pass: what a row keeps while it is filtered, and
// the lane loop every per-row preparation runs in. Part of the pass's one
// translation unit (neighbourhood.cpp includes it, nothing else does), so
// that the compiler sees the whole pass at once as before it was cut up.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cstdint>

#include "../../image/image_store.h"
#include "lanes.h"
#include "row_order.h"

namespace {

using fast_lanes::Lane1;
using fast_lanes::WideLanes;
using fast_rows::REACH;

using fast_rows::NEAR;

// What a row needs while it is filtered; one set for each row of a pair.
struct RowBuffers {
    // For every byte column: the values of rows r-2, r-1, r+1 and r+2
    // sorted, the same with the row's own value put in, and their sums.
    std::uint8_t column_four[4][ROW_STRIDE];
    std::uint8_t column_five[5][ROW_STRIDE];
    std::uint16_t column_sum[ROW_STRIDE];
    std::uint32_t column_squares[ROW_STRIDE];
    std::uint16_t column_sum_with_centre[ROW_STRIDE];
    std::uint32_t column_squares_with_centre[ROW_STRIDE];
    int columns_end;  // columns sorted so far: [0, columns_end)
    int sums_end;     // columns summed so far, as far as asked for
    // For every visit: the 11th, 12th and 13th smallest of its 23 settled
    // values (those that do not depend on the row's own results), their
    // sum and their sum of squares.
    std::uint8_t rank_low[ROW_STRIDE];
    std::uint8_t rank_mid[ROW_STRIDE];
    std::uint8_t rank_high[ROW_STRIDE];
    std::uint16_t settled_sum[ROW_STRIDE];
    std::uint32_t settled_squares[ROW_STRIDE];
    // Mode 2: set where the 23 values alone already spread too far for the
    // window to be flat, whatever the two rewritten ones turn out to be.
    std::uint8_t surely_unflat[ROW_STRIDE];
    // Mode 1 seldom needs a median: ranks are found as first asked for,
    // a lane width of visits at a time, within the visits last prepared.
    std::uint8_t ranked[ROW_STRIDE];
    int prepared_end;
    // Mode 2: whether the last stretch prepared needed the window sums.
    bool sums_wanted;
};

RowBuffers row_buffers[fast_rows::BAND_ROWS];

// Runs `at` over [first, end) in wide lanes, or one byte at a time where a
// row is too short for them. The last wide step may end at `end` and so
// start before `first`, redoing a few bytes. Redone columns there may take
// in the row's own values as since rewritten, but only the centred columns
// do, and those are read only by visits at or right of their own byte,
// which have all been walked; redone ranks and sums likewise belong to
// visits already walked. The settled rows' columns come out the same.
template <class At>
void inLanes(int lowest, int first, int end, At at) {
    if (end <= first) return;
    int p = first;
    if (end - lowest >= WideLanes::COUNT) {
        if (end - p < WideLanes::COUNT) p = end - WideLanes::COUNT;
        for (; p + WideLanes::COUNT <= end; p += WideLanes::COUNT) at(WideLanes{}, p);
        if (p < end) at(WideLanes{}, end - WideLanes::COUNT);
        return;
    }
    for (; p < end; ++p) at(Lane1{}, p);
}

}  // namespace
