// The order in which the fast filters visit a picture: two rows at a time.
//
// A visit depends on the visit before it in its row, so one row alone is a
// chain per channel and the processor mostly waits. The row below may start
// once the row above is final over its reach, so the lower row of a pair
// follows the upper one two chunks behind, each of its chunks prepared just
// before it is walked, and both rows are walked in the same loop.
#pragma once

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
// Whole pixels, and more than a visit's reach.
constexpr int CHUNK_BYTES = 96;

enum Slot { UPPER = 0, LOWER = 1 };

// A pass provides, for the row in a slot, over the visits [first, end):
//   prepare(slot, row, first, end): what the visits need from the rows
//       around; called with adjoining ascending ranges from REACH on;
//   walk(slot, row, first, end): the visits themselves, left to right;
//   walkBoth(upper_row, upper_first, lower_row, lower_first, count): the two
//       rows' walks over count bytes each, interleaved.
// `row` points at the row's first byte; row_bytes is 3 * width, at least 15.
template <class Pass>
void filterRowPair(Pass& pass, std::uint8_t* upper, std::uint8_t* lower, int row_bytes) {
    const int end = row_bytes - REACH;
    const int lead = REACH + 2 * CHUNK_BYTES < end ? REACH + 2 * CHUNK_BYTES : end;
    pass.prepare(UPPER, upper, REACH, lead);
    pass.walk(UPPER, upper, REACH, lead);
    for (int first = REACH; first < end; first += CHUNK_BYTES) {
        const int last = first + CHUNK_BYTES < end ? first + CHUNK_BYTES : end;
        // The upper row is final up to first + 2 chunks, past this chunk's
        // reach; the lower row is still as read from there on, so the upper
        // row's next chunk can be prepared too.
        pass.prepare(LOWER, lower, first, last);
        const int upper_first = first + 2 * CHUNK_BYTES;
        const int upper_left = end - upper_first;
        const int together = upper_left <= 0 ? 0 : upper_left < last - first ? upper_left : last - first;
        if (together > 0) {
            pass.prepare(UPPER, upper, upper_first, upper_first + together);
            pass.walkBoth(upper, upper_first, lower, first, together);
        }
        pass.walk(LOWER, lower, first + together, last);
    }
}

// Up to BAND_ROWS rows at once, each following the one above two chunks
// behind: more chains side by side where a visit's own work is short but its
// chain is long. A pass provides prepare as above, with the slot being the
// row's place in the band, and
//   walkBand(segments, count): the segments' walks, interleaved.
constexpr int BAND_ROWS = 6;
constexpr int BAND_LAG_BYTES = 2 * CHUNK_BYTES;

struct Segment {
    int slot;
    std::uint8_t* row;
    int first;
    int end;
};

template <class Pass>
void filterRowBand(Pass& pass, std::uint8_t* first_row, int row_stride, int rows, int row_bytes) {
    const int end = row_bytes - REACH;
    const int chunks = (end - REACH + CHUNK_BYTES - 1) / CHUNK_BYTES;
    // Row i walks chunk (step - 2 i): by then the row above is final two
    // chunks on, past this chunk's reach, and the rows below are still as
    // read beyond the chunk they walked last.
    for (int step = 0; step < chunks + (rows - 1) * (BAND_LAG_BYTES / CHUNK_BYTES); ++step) {
        Segment segments[BAND_ROWS];
        int count = 0;
        for (int i = 0; i < rows; ++i) {
            const int chunk = step - i * (BAND_LAG_BYTES / CHUNK_BYTES);
            if (chunk < 0 || chunk >= chunks) continue;
            const int first = REACH + chunk * CHUNK_BYTES;
            const int last = first + CHUNK_BYTES < end ? first + CHUNK_BYTES : end;
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
    pass.prepare(UPPER, row, REACH, row_bytes - REACH);
    pass.walk(UPPER, row, REACH, row_bytes - REACH);
}

}  // namespace fast_rows
