// The order in which the fast filters visit a picture: two rows at a time.
//
// A visit depends on the visit before it in its row, so one row alone is a
// chain per channel and the processor mostly waits. The row below may start
// once the row above is final over its reach, so the lower row of a pair
// follows the upper one two chunks behind, each of its chunks prepared just
// before it is walked, and both rows are walked in the same loop.
#pragma once

#include <algorithm>
#include <cstdint>

namespace fast_rows {

// A visit reads two pixels either side: 6 bytes.
constexpr int REACH = 6;
// Bytes to the same channel one pixel over.
constexpr int NEAR = 3;

// A row's three chains, one per channel: the two values each channel's
// chain rewrote just before the next visit.
template <class Value>
struct Chains {
    Value far[3];
    Value near[3];
};

template <class Value>
inline Chains<Value> chainsBefore(const std::uint8_t* row, int k) {
    return Chains<Value>{{row[k - REACH], row[k - REACH + 1], row[k - REACH + 2]},
                         {row[k - NEAR], row[k - NEAR + 1], row[k - NEAR + 2]}};
}
// Whole pixels, and more than a visit's reach: the chunk the passes take
// unless they ask for longer ones (a pass's CHUNK_BYTES, at most
// WIDEST_CHUNK_BYTES). Mode 1 does: most of its visits are settled a chunk
// at once, and what each chunk costs besides its visits then shows.
constexpr int CHUNK_BYTES = 96;
constexpr int WIDEST_CHUNK_BYTES = 384;

// A row's visits [REACH, end) in chunks of CHUNK; a short stretch at
// the end goes with the chunk before it, so that no chunk but a short row's
// only one is narrower than CHUNK (wide lanes then never step back
// into the chunk before), and none is wider than twice that.
template <int CHUNK>
inline int chunksOf(int end) {
    static_assert(CHUNK % 3 == 0 && CHUNK >= CHUNK_BYTES && CHUNK <= WIDEST_CHUNK_BYTES, "whole pixels, within bounds");
    const int whole = (end - REACH) / CHUNK;
    return whole > 0 ? whole : 1;
}
template <int CHUNK>
inline int chunkFirst(int chunk) {
    return REACH + chunk * CHUNK;
}
template <int CHUNK>
inline int chunkLast(int chunk, int end) {
    return chunk + 1 >= chunksOf<CHUNK>(end) ? end : chunkFirst<CHUNK>(chunk) + CHUNK;
}
constexpr int LONGEST_CHUNK_BYTES = 2 * WIDEST_CHUNK_BYTES - 1;

enum Slot { UPPER = 0, LOWER = 1 };

// A pass provides its chunk's length, CHUNK_BYTES, and, for the row in a
// slot, over the visits [first, end) of one chunk:
//   prepare(slot, row, first, end): what the visits need from the rows
//       around; called chunk after chunk from REACH on, each chunk's walk
//       coming before the row's next chunk is prepared;
//   walk(slot, row, first, end): the visits themselves, left to right;
//   walkBoth(upper_row, upper_first, lower_row, lower_first, count): the two
//       rows' walks over count bytes each, interleaved.
// `row` points at the row's first byte; row_bytes is 3 * width, at least 15.
template <class Pass>
void filterRowPair(Pass& pass, std::uint8_t* upper, std::uint8_t* lower, int row_bytes) {
    constexpr int CHUNK = Pass::CHUNK_BYTES;
    const int end = row_bytes - REACH;
    const int chunks = chunksOf<CHUNK>(end);
    // The lower row walks chunk (step - 2): by then the upper row is final
    // two chunks on, past that chunk's reach, and the lower row is still as
    // read beyond it, as the upper row's chunk needs.
    for (int step = 0; step < chunks + 2; ++step) {
        const bool upper_walks = step < chunks;
        const bool lower_walks = step >= 2;
        const int upper_first = chunkFirst<CHUNK>(step), upper_last = upper_walks ? chunkLast<CHUNK>(step, end) : 0;
        const int lower_first = chunkFirst<CHUNK>(step - 2);
        const int lower_last = lower_walks ? chunkLast<CHUNK>(step - 2, end) : 0;
        if (lower_walks) pass.prepare(LOWER, lower, lower_first, lower_last);
        if (upper_walks) pass.prepare(UPPER, upper, upper_first, upper_last);
        int together = 0;
        if (upper_walks && lower_walks) {
            together = std::min(upper_last - upper_first, lower_last - lower_first);
            pass.walkBoth(upper, upper_first, lower, lower_first, together);
        }
        if (upper_walks) pass.walk(UPPER, upper, upper_first + together, upper_last);
        if (lower_walks) pass.walk(LOWER, lower, lower_first + together, lower_last);
    }
}

// Up to BAND_ROWS rows at once, each following the one above two chunks
// behind: more chains side by side where a visit's own work is short but its
// chain is long. A pass provides prepare as above, with the slot being the
// row's place in the band, and
//   walkBand(segments, count): the segments' walks, interleaved.
constexpr int BAND_ROWS = 6;
constexpr int BAND_LAG_CHUNKS = 2;
template <int CHUNK>
constexpr int BAND_LAG_BYTES = BAND_LAG_CHUNKS * CHUNK;

struct Segment {
    int slot;
    std::uint8_t* row;
    int first;
    int end;
};

template <class Pass>
void filterRowBand(Pass& pass, std::uint8_t* first_row, int row_stride, int rows, int row_bytes) {
    constexpr int CHUNK = Pass::CHUNK_BYTES;
    const int end = row_bytes - REACH;
    const int chunks = chunksOf<CHUNK>(end);
    // Row i walks chunk (step - 2 i): by then the row above is final two
    // chunks on, past this chunk's reach, and the rows below are still as
    // read beyond the chunk they walked last.
    for (int step = 0; step < chunks + (rows - 1) * BAND_LAG_CHUNKS; ++step) {
        Segment segments[BAND_ROWS];
        int count = 0;
        for (int i = 0; i < rows; ++i) {
            const int chunk = step - i * BAND_LAG_CHUNKS;
            if (chunk < 0 || chunk >= chunks) continue;
            const int first = chunkFirst<CHUNK>(chunk);
            const int last = chunkLast<CHUNK>(chunk, end);
            std::uint8_t* row = first_row + i * row_stride;
            pass.prepare(i, row, first, last);
            segments[count++] = Segment{i, row, first, last};
        }
        // A row of one chunk leaves every other step empty.
        if (count > 0) pass.walkBand(segments, count);
    }
}

template <class Pass>
void filterSingleRow(Pass& pass, std::uint8_t* row, int row_bytes) {
    constexpr int CHUNK = Pass::CHUNK_BYTES;
    const int end = row_bytes - REACH;
    for (int chunk = 0; chunk < chunksOf<CHUNK>(end); ++chunk) {
        pass.prepare(UPPER, row, chunkFirst<CHUNK>(chunk), chunkLast<CHUNK>(chunk, end));
        pass.walk(UPPER, row, chunkFirst<CHUNK>(chunk), chunkLast<CHUNK>(chunk, end));
    }
}

}  // namespace fast_rows
