// The fast neighbourhood pass, per-row preparation, second half: from the
// sorted and summed columns, each visit's 23 settled values reduced to what
// the walk needs (their 11th to 13th smallest, their sum and sum of
// squares). Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <algorithm>
#include <array>
#include <cstdint>

#include "../../image/image_store.h"
#include "columns.h"
#include "lanes.h"
#include "row_buffers.h"

namespace {

template <class V, std::size_t N>
FAST_LANES_INLINE std::array<V, N> loadColumn(const std::uint8_t (*column)[BUFFER_BYTES], int p) {
    std::array<V, N> values{};
    for (std::size_t i = 0; i < N; ++i) values[i] = fast_lanes::load<V>(column[i] + p);
    return values;
}

// Values FROM to FROM + COUNT - 1 of an ascending list.
template <std::size_t FROM, std::size_t COUNT, class V, std::size_t N>
FAST_LANES_INLINE std::array<V, COUNT> middleOf(const std::array<V, N>& sorted) {
    static_assert(FROM + COUNT <= N, "within the list");
    std::array<V, COUNT> middle{};
    for (std::size_t i = 0; i < COUNT; ++i) middle[i] = sorted[FROM + i];
    return middle;
}

// The 11th to 13th smallest of the 23. Of the 18 values left of the last
// column, the 5 smallest have at most 9 of the 23 below them and those from
// the 14th on at least 13, so only their 6th to 13th can be among the three:
// merging those 8 with the last column's 5 takes fewer exchanges than
// merging all 18.
template <class V>
void rankSettledAt(RowBuffers& b, int j) {
    using fast_lanes::mergeSorted;
    const auto left = mergeSorted<V>(loadColumn<V, 4>(b.column_four, j - REACH),
                                     loadColumn<V, 4>(b.column_four, j - NEAR));
    const auto middle = mergeSorted<V>(loadColumn<V, 5>(b.column_five, j),
                                       loadColumn<V, 5>(b.column_five, j + NEAR));
    const auto eighteen = mergeSorted<V>(left, middle);
    const auto last = mergeSorted<V>(middleOf<5, 8>(eighteen), loadColumn<V, 5>(b.column_five, j + REACH));
    // last[i] is the (i + 5)th smallest of the 23, counting from 0.
    storeLanes(b.rank_low + j, last[5]);
    storeLanes(b.rank_mid + j, last[6]);
    storeLanes(b.rank_high + j, last[7]);
}

void sumSettled(RowBuffers& b, int first, int end) {
    for (int j = first; j < end; ++j) {
        b.settled_sum[j] = std::uint16_t(b.column_sum[j - REACH] + b.column_sum[j - NEAR] + b.column_sum_with_centre[j] +
                                      b.column_sum_with_centre[j + NEAR] + b.column_sum_with_centre[j + REACH]);
        b.settled_squares[j] = b.column_squares[j - REACH] + b.column_squares[j - NEAR] +
                            b.column_squares_with_centre[j] + b.column_squares_with_centre[j + NEAR] +
                            b.column_squares_with_centre[j + REACH];
    }
}

// What a mode asks of a chunk's preparation.
struct Preparation {
    bool rank_now;    // else ranks only as asked for (rankAround)
    bool sum_now;     // else sums only as asked for (sumVisits)
    bool sort_now;    // else columns sorted only as ranks ask (sortColumnsBetween)
    bool settle_now;  // the visits' own sums too, else left to the mode
};

// Everything the visits [first, end) need but the two values to their left,
// as far as `what` asks for it now.
void prepareVisits(RowBuffers& b, const std::uint8_t* centre_row, int row_bytes, int first, int end,
                   Preparation what) {
    const int columns_needed = std::min(end + REACH, row_bytes);
    b.centre_row = centre_row;
    b.columns_limit = row_bytes;
    if (what.sort_now) {
        makeColumns(b, centre_row, columns_needed, what.sum_now);
        b.sorted_from = b.row_start();
        b.sorted_to = columns_needed;
    } else {
        if (what.sum_now) {
            sumColumns(b, centre_row, b.sums_end, columns_needed);
            b.sums_end = columns_needed;
        }
        b.sorted_from = b.sorted_to = 0;
        // The next chunk's visits read columns from the reach left of its
        // first on, and none of those are sorted yet.
        b.columns_end = end - REACH;
    }
    if (what.rank_now)
        inLanes(b.row_start() + REACH, first, end, [&](auto lanes, int j) { rankSettledAt<decltype(lanes)>(b, j); });
    else
        std::fill(b.ranked + first, b.ranked + end, std::uint8_t(0));
    b.prepared_end = end;
    if (what.sum_now && what.settle_now) sumSettled(b, first, end);
}

// The ranks of visit k and of the visits after it (or before, near the end
// of what was prepared), for those that wait to be asked.
void rankAround(RowBuffers& b, int k) {
    const int end = b.prepared_end;
    if (end - (b.row_start() + REACH) < WideLanes::COUNT) {
        sortColumnsBetween(b, k - REACH, std::min(k + REACH + 1, b.columns_limit));
        rankSettledAt<Lane1>(b, k);
        b.ranked[k] = 1;
        return;
    }
    const int group = k < end - WideLanes::COUNT ? k : end - WideLanes::COUNT;
    sortColumnsBetween(b, group - REACH, std::min(group + WideLanes::COUNT + REACH, b.columns_limit));
    rankSettledAt<WideLanes>(b, group);
    std::fill(b.ranked + group, b.ranked + group + WideLanes::COUNT, std::uint8_t(1));
}

}  // namespace
