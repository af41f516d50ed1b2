// The fast neighbourhood pass on the AVX paths, the wavefront: a band of
// WAVE_ROWS rows filtered together, one row in each byte lane of a 32-byte
// register, each row three pixels behind the row above. Included by
// neighbourhood.cpp alone.
//
// Why three pixels: a visit reads the row above from two pixels left to two
// right, and that row must be final there; it reads the row below over the
// same stretch, which must be as read. With every row three pixels (nine
// bytes, WAVE_SKEW) behind the one above, the visits of all the band's rows
// that fall on one step are exactly the ones whose windows are ready, and
// none of them reads what another writes. So a step takes one byte of every
// row: row l's byte q is taken at step q + WAVE_SKEW * l. A step depends on
// the step three before it (the same channel one pixel left, and the row
// above), so the three channels' steps are independent of each other.
//
// This file holds the band in that skewed order: step t's bytes side by
// side (WaveBand), filled from the picture and written back to it by 32x32
// transposes, a block of steps at a time.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "../../image/image_store.h"
#include "lanes.h"

namespace {

// One step of a band: a byte of each of its rows, row l in lane l.
using Wave = __m256i;

constexpr int WAVE_ROWS = 32;
// The rows above and below a band that its windows read.
constexpr int WAVE_HALO = 2;
// Bytes each row trails the row above by: three pixels.
constexpr int WAVE_SKEW = 3 * CHANNELS_PER_PIXEL;
// A step's place in the band's store: the two rows above at bytes 0 and 1,
// the band's rows from WAVE_ROW_AT on, the two below after them; a cache
// line a step, so that no load of one step's halo reaches into the store
// the step before made.
constexpr int WAVE_ROW_AT = WAVE_HALO;
constexpr int WAVE_STEP_BYTES = 64;
constexpr int WAVE_LANES = WAVE_ROWS + 2 * WAVE_HALO;  // band rows and halo: lanes -2 to 33
// Steps are transposed 32 at a time, and held in a ring of WAVE_HELD steps:
// the band is filled a block ahead of the steps and written back a block
// behind them, so that what a step reads is still in the first-level cache.
constexpr int WAVE_BLOCK = 32;
constexpr int WAVE_HELD = 8 * WAVE_BLOCK;
// A visit reads the steps a window's reach either way: two pixels across
// (6 bytes) and two rows (2 * WAVE_SKEW bytes).
constexpr int WAVE_REACH = 6 + 2 * WAVE_SKEW;
// The band's first block: row l's byte q sits at step q + WAVE_SKEW * l,
// and the first visit (row 0's byte 6) reads back to the rows above.
constexpr int WAVE_FIRST_STEP = -WAVE_BLOCK;
static_assert(WAVE_FIRST_STEP <= 6 - WAVE_REACH, "the first block holds the first visit's reach");
static_assert(WAVE_ROW_AT + WAVE_ROWS + WAVE_HALO <= WAVE_STEP_BYTES, "a step fits its line");
static_assert((WAVE_HELD & (WAVE_HELD - 1)) == 0, "the ring is indexed by a mask");
static_assert(WAVE_HELD % WAVE_BLOCK == 0 && WAVE_FIRST_STEP % WAVE_BLOCK == 0, "no block wraps round the ring");

struct WaveBand {
    // A line before the ring: a step's load of its halo byte (rowAboveOf)
    // starts in the line before the step's own.
    alignas(64) std::uint8_t guard[WAVE_STEP_BYTES];
    std::uint8_t steps[WAVE_HELD][WAVE_STEP_BYTES];
    std::uint8_t* top;  // the picture row of lane 0
    int rows;           // the band's rows inside the frame (lanes at and past it are filtered and dropped)
    int rows_held;      // rows of the picture at lane -2 and below, as far as the band's lanes reach
    int row_bytes;
    int steps_end;   // the step after the last visit
    int filled_to;   // steps filled from the picture: [WAVE_FIRST_STEP, filled_to)
    int written_to;  // steps written back: [0, written_to)

    std::uint8_t* at(int t) { return steps[(t - WAVE_FIRST_STEP) & (WAVE_HELD - 1)]; }
};

WaveBand wave_band;

FAST_LANES_INLINE Wave loadWave(const std::uint8_t* source) {
    return _mm256_loadu_si256(reinterpret_cast<const Wave*>(source));
}
FAST_LANES_INLINE void storeWave(std::uint8_t* target, Wave w) {
    _mm256_storeu_si256(reinterpret_cast<Wave*>(target), w);
}

// Transposes sixteen rows of 16x16 bytes, each 128-bit half on its own:
// afterwards x[c]'s halves hold column c of the rows' halves.
FAST_LANES_INLINE void transposeHalves(Wave* x) {
    Wave s1[16], s2[16], s3[16];
    // s1[2p + h]: rows 2p and 2p + 1 byte by byte, columns 8h to 8h + 7.
    for (int p = 0; p < 8; ++p) {
        s1[2 * p] = _mm256_unpacklo_epi8(x[2 * p], x[2 * p + 1]);
        s1[2 * p + 1] = _mm256_unpackhi_epi8(x[2 * p], x[2 * p + 1]);
    }
    // s2[4q + g]: rows 4q to 4q + 3, columns 4g to 4g + 3.
    for (int q = 0; q < 4; ++q) {
        for (int h = 0; h < 2; ++h) {
            s2[4 * q + 2 * h] = _mm256_unpacklo_epi16(s1[4 * q + h], s1[4 * q + 2 + h]);
            s2[4 * q + 2 * h + 1] = _mm256_unpackhi_epi16(s1[4 * q + h], s1[4 * q + 2 + h]);
        }
    }
    // s3[8o + m]: rows 8o to 8o + 7, columns 2m and 2m + 1.
    for (int o = 0; o < 2; ++o) {
        for (int g = 0; g < 4; ++g) {
            s3[8 * o + 2 * g] = _mm256_unpacklo_epi32(s2[8 * o + g], s2[8 * o + 4 + g]);
            s3[8 * o + 2 * g + 1] = _mm256_unpackhi_epi32(s2[8 * o + g], s2[8 * o + 4 + g]);
        }
    }
    for (int m = 0; m < 8; ++m) {
        x[2 * m] = _mm256_unpacklo_epi64(s3[m], s3[8 + m]);
        x[2 * m + 1] = _mm256_unpackhi_epi64(s3[m], s3[8 + m]);
    }
}

// x[c][r] becomes x[r][c] for a 32x32 byte matrix.
FAST_LANES_INLINE void transposeWaves(Wave* x) {
    transposeHalves(x);
    transposeHalves(x + 16);
    for (int c = 0; c < 16; ++c) {
        const Wave upper = x[c];
        const Wave lower = x[16 + c];
        x[c] = _mm256_permute2x128_si256(upper, lower, 0x20);
        x[16 + c] = _mm256_permute2x128_si256(upper, lower, 0x31);
    }
}

// The 32 bytes of lane l's row from byte `first` on, as far as they lie in
// the row; bytes outside the row, and rows past the picture, are read by no
// visit the band keeps, and need only not come from outside the store.
FAST_LANES_INLINE Wave rowBytes(const WaveBand& band, int lane, int first) {
    if (lane + WAVE_HALO >= band.rows_held) return _mm256_setzero_si256();
    const std::uint8_t* row = band.top + std::ptrdiff_t(lane) * ROW_STRIDE;
    if (first >= 0 && first + WAVE_BLOCK <= ROW_STRIDE) return loadWave(row + first);
    alignas(32) std::uint8_t part[WAVE_BLOCK] = {};
    const int from = std::max(first, 0);
    const int to = std::min(first + WAVE_BLOCK, ROW_STRIDE);
    if (from < to) std::memcpy(part + (from - first), row + from, std::size_t(to - from));
    return loadWave(part);
}

// The last four lanes (the band's last two rows and the two below) of
// steps [t0, t0 + 32): four bytes a step, interleaved in registers.
FAST_LANES_INLINE void fillLastLanes(WaveBand& band, int t0, const Wave* x) {
    const Wave a = _mm256_unpacklo_epi8(x[0], x[1]);
    const Wave b = _mm256_unpackhi_epi8(x[0], x[1]);
    const Wave c = _mm256_unpacklo_epi8(x[2], x[3]);
    const Wave d = _mm256_unpackhi_epi8(x[2], x[3]);
    // Steps [0-3 | 16-19], [4-7 | 20-23], [8-11 | 24-27], [12-15 | 28-31].
    alignas(32) std::uint32_t quads[4][8];
    _mm256_store_si256(reinterpret_cast<Wave*>(quads[0]), _mm256_unpacklo_epi16(a, c));
    _mm256_store_si256(reinterpret_cast<Wave*>(quads[1]), _mm256_unpackhi_epi16(a, c));
    _mm256_store_si256(reinterpret_cast<Wave*>(quads[2]), _mm256_unpacklo_epi16(b, d));
    _mm256_store_si256(reinterpret_cast<Wave*>(quads[3]), _mm256_unpackhi_epi16(b, d));
    constexpr int FIRST_LANE = WAVE_ROW_AT + WAVE_BLOCK - WAVE_HALO;
    // A block's steps lie one after another in the ring.
    std::uint8_t* const first = band.at(t0) + FIRST_LANE;
#pragma GCC unroll 32
    for (int k = 0; k < WAVE_BLOCK; ++k)
        std::memcpy(first + k * WAVE_STEP_BYTES, &quads[(k % 16) / 4][k / 16 * 4 + k % 4], 4);
}

// Steps [t0, t0 + 32) from the picture, every lane as read, and the
// picture's next bytes asked for ahead of the next block.
void fillWaveBlock(WaveBand& band, int t0) {
    Wave x[WAVE_LANES];
    for (int l = 0; l < WAVE_LANES; ++l) {
        const int lane = l - WAVE_HALO;
        const int first = t0 - WAVE_SKEW * lane;
        x[l] = rowBytes(band, lane, first);
        if (lane + WAVE_HALO < band.rows_held && first + 2 * WAVE_BLOCK < ROW_STRIDE && first + 2 * WAVE_BLOCK >= 0)
            _mm_prefetch(
                reinterpret_cast<const char*>(band.top + std::ptrdiff_t(lane) * ROW_STRIDE + first + 2 * WAVE_BLOCK),
                _MM_HINT_T0);
    }
    fillLastLanes(band, t0, x + WAVE_BLOCK);
    transposeWaves(x);
    std::uint8_t* const first = band.at(t0);
    for (int k = 0; k < WAVE_BLOCK; ++k) _mm256_store_si256(reinterpret_cast<Wave*>(first + k * WAVE_STEP_BYTES), x[k]);
    band.filled_to = t0 + WAVE_BLOCK;
}

// Steps [t0, t0 + 32) back into the picture: the band's rows, over the
// bytes a visit rewrites.
void writeWaveBlock(WaveBand& band, int t0) {
    Wave x[WAVE_BLOCK];
    const std::uint8_t* const first_step = band.at(t0) + WAVE_ROW_AT;
    for (int k = 0; k < WAVE_BLOCK; ++k) x[k] = loadWave(first_step + k * WAVE_STEP_BYTES);
    transposeWaves(x);
    const int lowest = 2 * CHANNELS_PER_PIXEL;
    const int highest = band.row_bytes - 2 * CHANNELS_PER_PIXEL;
    for (int l = 0; l < band.rows; ++l) {
        const int first = t0 - WAVE_SKEW * l;
        std::uint8_t* row = band.top + std::ptrdiff_t(l) * ROW_STRIDE;
        if (first >= lowest && first + WAVE_BLOCK <= highest) {
            storeWave(row + first, x[l]);
            continue;
        }
        const int from = std::max(first, lowest);
        const int to = std::min(first + WAVE_BLOCK, highest);
        if (from >= to) continue;
        alignas(32) std::uint8_t bytes[WAVE_BLOCK];
        storeWave(bytes, x[l]);
        std::memcpy(row + from, bytes + (from - first), std::size_t(to - from));
    }
    band.written_to = t0 + WAVE_BLOCK;
}

}  // namespace

#endif
