// The wavefront's band: LANES rows filtered together, row l in byte lane l,
// each row three pixels behind the row above.
//
// Why three pixels: a visit reads the row above from two pixels left to two
// right, and that row must be final there; it reads the row below over the
// same stretch, which must be as read. With every row three pixels (nine
// bytes, SKEW) behind the one above, the visits of the band's rows that
// fall on one step are exactly those whose windows are ready, and none of
// them reads what another writes. Row l's byte q is taken at step
// q + SKEW * l. A step depends on the step three before it (its channel one
// pixel left, and the row above), so the three channels' steps are
// independent of each other.
//
// The band is held step by step: a line per step with a byte of every row
// (the two halo rows above and below the band included), filled from the
// picture and written back to it by square transposes, a block of steps at
// a time, in a ring small enough to stay in the first-level cache.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../../image/image_store.h"
#include "lane_type.h"

namespace fast_wave {
inline namespace FAST_LANES_PATH {

constexpr int HALO = 2;                              // rows above and below the band that its windows read
constexpr int SKEW = 3 * CHANNELS_PER_PIXEL;         // bytes a row trails the row above by
constexpr int FIRST_VISIT = 2 * CHANNELS_PER_PIXEL;  // a row's first visit; also the last's distance from its end
// A step's visits read the columns two pixels either side, in rows two
// above and below: the steps from REACH before to REACH after it.
constexpr int REACH = 2 * CHANNELS_PER_PIXEL + 2 * SKEW;
// A step's line: the two rows above, lane 0 at LANE0_AT, the two below.
// Twice the lanes, so that a load ending at lane 0 (lanesMovedUp) lies in
// the line before, past every byte a step's store writes.
constexpr int LANE0_AT = HALO;
constexpr int LINE_BYTES = LANES >= 8 ? 2 * LANES : 8;
constexpr int BLOCK = LANES;  // steps filled or written back at a time: a square
constexpr int FIRST_STEP = -(REACH - FIRST_VISIT + BLOCK - 1) / BLOCK * BLOCK;
constexpr int HELD = LANES >= 16 ? 4 * LANES : 64;  // lines in the ring
static_assert(LANE0_AT + LANES + HALO <= LINE_BYTES, "a step fits its line");
// Lines live from the older of a block not yet written back and a step's
// column two rows up to a block filled past a pixel's reach ahead.
static_assert(std::max(BLOCK - 1, 12) + 1 + REACH + 2 + BLOCK <= HELD, "the ring holds what a step reads and what waits");
static_assert((HELD & (HELD - 1)) == 0 && HELD % BLOCK == 0 && FIRST_STEP % BLOCK == 0, "no block wraps round the ring");

struct Band {
    std::uint8_t* top;  // the picture row of lane 0
    int rows;           // the band's rows inside the frame; lanes at and past it are filtered and dropped
    int rows_held;      // rows of the store from lane -2 on
    int row_bytes;
    int steps_end;   // the step after the last visit
    int filled_to;   // steps filled from the picture: [FIRST_STEP, filled_to)
    int written_to;  // steps written back: [0, written_to)
};

struct BandLines {
    // A line before the ring, which lanesMovedUp may read into.
    alignas(64) std::uint8_t guard[LINE_BYTES];
    std::uint8_t ring[HELD][LINE_BYTES];
};
inline BandLines band_lines;

FAST_LANES_INLINE std::uint8_t* lineOf(int t) { return band_lines.ring[(t - FIRST_STEP) & (HELD - 1)]; }

// LANES bytes of lane l's row from byte `first` on, zero where they lie
// outside the store's row or the store; a visit the band keeps reads none
// of those.
FAST_LANES_INLINE Bytes rowBytes(const Band& band, int lane, int first) {
    if (lane + HALO >= band.rows_held) return zeroBytes();
    const std::uint8_t* row = band.top + std::ptrdiff_t(lane) * ROW_STRIDE;
    if (first >= 0 && first + BLOCK <= ROW_STRIDE) return loadBytes(row + first);
    if constexpr (BLOCK == 1) {
        return zeroBytes();  // a block of one byte is in the row or wholly outside it
    } else {
        std::uint8_t part[BLOCK] = {};
        const int from = std::max(first, 0);
        const int to = std::min(first + BLOCK, ROW_STRIDE);
        if (from < to) std::memcpy(part + (from - first), row + from, std::size_t(to - from));
        return loadBytes(part);
    }
}

// Steps [t0, t0 + BLOCK) from the picture, every lane as read, and the next
// block's bytes asked for ahead.
inline void fillBlock(Band& band, int t0) {
    Bytes x[LANES + 2 * HALO];
    for (int l = -HALO; l < LANES + HALO; ++l) {
        const int first = t0 - SKEW * l;
        x[l + HALO] = rowBytes(band, l, first);
        const int ahead = first + 2 * BLOCK;
        if (l + HALO < band.rows_held && ahead >= 0 && ahead < ROW_STRIDE)
            __builtin_prefetch(band.top + std::ptrdiff_t(l) * ROW_STRIDE + ahead);
    }
    // The lanes past the square: the band's last two rows and the two below.
    std::uint8_t* const first_line = lineOf(t0);
    transposeFour<LINE_BYTES>(x + LANES, first_line + LANES);
    transposeSquare(x);
    for (int k = 0; k < BLOCK; ++k) storeBytes(first_line + k * LINE_BYTES, x[k]);
    band.filled_to = t0 + BLOCK;
}

// Steps [t0, t0 + BLOCK) back into the picture: the band's rows, over the
// bytes a visit rewrites.
inline void writeBlock(Band& band, int t0) {
    Bytes x[LANES];
    const std::uint8_t* const first_line = lineOf(t0) + LANE0_AT;
    for (int k = 0; k < BLOCK; ++k) x[k] = loadBytes(first_line + k * LINE_BYTES);
    transposeSquare(x);
    const int end = band.row_bytes - FIRST_VISIT;
    for (int l = 0; l < band.rows; ++l) {
        const int first = t0 - SKEW * l;
        std::uint8_t* row = band.top + std::ptrdiff_t(l) * ROW_STRIDE;
        if (first >= FIRST_VISIT && first + BLOCK <= end) {
            storeBytes(row + first, x[l]);
            continue;
        }
        const int from = std::max(first, FIRST_VISIT);
        const int to = std::min(first + BLOCK, end);
        if (from >= to) continue;
        std::uint8_t bytes[BLOCK];
        storeBytes(bytes, x[l]);
        std::memcpy(row + from, bytes + (from - first), std::size_t(to - from));
    }
    band.written_to = t0 + BLOCK;
}

// The lanes whose byte at step t is a visit: rows inside the frame, from
// byte FIRST_VISIT to row_bytes - FIRST_VISIT. Row l's is from
// FIRST_VISIT + SKEW * l on, so only the first and last steps of a band
// have lanes outside.
struct ActiveLanes {
    Bytes rows;  // the band's rows inside the frame
    int all_from;
    int all_to;
    int row_bytes;

    FAST_LANES_INLINE Bytes at(int t) const {
        if (t >= all_from && t < all_to) return rows;
        // Lanes l with FIRST_VISIT <= t - SKEW * l < row_bytes - FIRST_VISIT.
        const int last = t >= FIRST_VISIT ? std::min((t - FIRST_VISIT) / SKEW, 255) : -1;
        const int past = t + FIRST_VISIT - row_bytes;
        const int first = past < 0 ? 0 : std::min(past / SKEW + 1, 255);
        if (last < first) return zeroBytes();
        const Bytes lane = laneNumbers();
        const Bytes inside =
            both(equal(maximum(lane, everyByte(first)), lane), equal(minimum(lane, everyByte(last)), lane));
        return both(inside, rows);
    }
};

inline ActiveLanes activeLanesOf(const Band& band) {
    const Bytes lane = laneNumbers();
    const Bytes rows = equal(minimum(lane, everyByte(band.rows - 1)), lane);
    return {rows, FIRST_VISIT + SKEW * (band.rows - 1), band.row_bytes - FIRST_VISIT, band.row_bytes};
}

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
