// The fast neighbourhood pass: what a row keeps while it is filtered, and
// the lane loop every per-row preparation runs in. Part of the pass's one
// translation unit (neighbourhood.cpp includes it, nothing else does), so
// that the compiler sees the whole pass at once as before it was cut up.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cstdint>
#include <cstring>

#include "../../image/image_store.h"
#include "lanes.h"
#include "row_order.h"

namespace {

using fast_lanes::Lane1;
using fast_lanes::WideLanes;
using fast_rows::REACH;

using fast_rows::NEAR;

// A row's buffers hold one chunk's stretch at a time, not the whole row: a
// band's six rows then prepare and walk within some 25 KB for chunks of 96
// bytes, some 100 KB for mode 1's of 384, instead of some 1 MB (at width
// 2000 the whole-row arrays left the second-level cache and nearly every
// store of the preparation missed it). Indices into them are
// local: the chunk's first visit sits at CHUNK_MARGIN, and moving on to the
// next chunk carries over the few columns both chunks read.
constexpr int CHUNK_MARGIN = 16;
// The longest chunk, its columns' reach right, and room for lanes and the
// walk's four-byte reads to run a little past the end.
constexpr int BUFFER_BYTES = CHUNK_MARGIN + fast_rows::LONGEST_CHUNK_BYTES + REACH + 64;
// Columns carried from one chunk to the next: this many either side of the
// first visit.
constexpr int CARRIED_HALF = 8;
static_assert(CHUNK_MARGIN >= CARRIED_HALF && CARRIED_HALF >= REACH, "the carried columns fit");
static_assert(fast_rows::CHUNK_BYTES >= 2 * CARRIED_HALF, "the carried columns do not overlap in any chunk");

constexpr int CANDIDATE_WORDS = (fast_rows::LONGEST_CHUNK_BYTES + 63) / 64;

// What a row needs while it is filtered; one set for each row of a band.
struct RowBuffers {
    // For every byte column: the values of rows r-2, r-1, r+1 and r+2
    // sorted, the same with the row's own value put in, and their sums.
    std::uint8_t column_four[4][BUFFER_BYTES];
    std::uint8_t column_five[5][BUFFER_BYTES];
    std::uint16_t column_sum[BUFFER_BYTES];
    std::uint32_t column_squares[BUFFER_BYTES];
    std::uint16_t column_sum_with_centre[BUFFER_BYTES];
    std::uint32_t column_squares_with_centre[BUFFER_BYTES];
    int columns_end;  // columns sorted so far: [0, columns_end)
    int sums_end;     // columns summed so far, as far as asked for
    // For every visit: the 11th, 12th and 13th smallest of its 23 settled
    // values (those that do not depend on the row's own results), their
    // sum and their sum of squares.
    std::uint8_t rank_low[BUFFER_BYTES];
    std::uint8_t rank_mid[BUFFER_BYTES];
    std::uint8_t rank_high[BUFFER_BYTES];
    std::uint16_t settled_sum[BUFFER_BYTES];
    std::uint32_t settled_squares[BUFFER_BYTES];
    // Mode 1 seldom needs a median: ranks are found as first asked for,
    // a lane width of visits at a time, within the visits last prepared.
    std::uint8_t ranked[BUFFER_BYTES];
    int prepared_end;
    // Mode 1: the visits of the chunk last prepared (bit i: local index
    // CHUNK_MARGIN + i) whose median would replace the value, taking the row
    // as it stood then, and how many there are.
    std::uint64_t candidates[CANDIDATE_WORDS];
    int candidate_count;
    // Whether the chunk last prepared is to be walked whole, how many
    // visits it has, and how many of them its walk replaced.
    bool walks_all;
    int visits_prepared;
    int replaced_in_walk;
    // Mode 1 sorts columns only as its ranks need them: the row last
    // prepared, where its columns end, and the stretch sorted so far.
    const std::uint8_t* centre_row;
    int columns_limit;
    int sorted_from;
    int sorted_to;
    // The row's byte index of local index 0.
    int origin;
    // The local index of the row's first byte: wide lanes never start left of it.
    int row_start() const { return -origin; }
};

RowBuffers row_buffers[fast_rows::BAND_ROWS];

// Makes `first` (a byte index of the row) the local index CHUNK_MARGIN, as
// the chunk starting there is about to be prepared. A row's first chunk
// starts afresh; a later one takes over from the chunk before the columns
// and sums about its first visit (its visits read them from the reach left
// of it on, and the chunk before made them up to the reach right of it).
template <class T>
FAST_LANES_INLINE void carryOver(T* values, int from) {
    std::memcpy(values + CHUNK_MARGIN - CARRIED_HALF, values + from - CARRIED_HALF, 2 * CARRIED_HALF * sizeof(T));
}

void moveToChunk(RowBuffers& b, int first) {
    const int origin = first - CHUNK_MARGIN;
    if (first == REACH) {
        b.origin = origin;
        b.columns_end = b.sums_end = b.row_start();
        return;
    }
    const int shift = origin - b.origin;
    const int from = CHUNK_MARGIN + shift;
    for (auto& column : b.column_four) carryOver(column, from);
    for (auto& column : b.column_five) carryOver(column, from);
    carryOver(b.column_sum, from);
    carryOver(b.column_squares, from);
    carryOver(b.column_sum_with_centre, from);
    carryOver(b.column_squares_with_centre, from);
    b.origin = origin;
    b.columns_end -= shift;
    b.sums_end -= shift;
}

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
