// The fast neighbourhood pass, filter mode 2 (original blend), for the paths
// that walk rows (the AVX paths take mode 2 in the wavefront, original_blend.h):
// its cheap test that shows most windows not flat before the walk, its
// scalar step, then its lane step, both looking the blends up in
// mode_tables.h's table. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <array>
#include <cstdint>
#include <cstring>

#include "../../image/image_store.h"
#include "../mode_steps.h"
#include "lane_window.h"
#include "lanes.h"
#include "mode_tables.h"
#include "row_buffers.h"
#include "scalar_walk.h"
#include "settled.h"

namespace {

using fast_tables::blend_table;

int blendOf(int median, int centre) { return blend_table[median][centre]; }

// The sums and sums of squares of the visits [first, end). Where earlier
// visits did not ask for them, the columns' sums are made from the reach
// left of `first` on: left of `first` only the sums without the row's own
// value are read, and those take nothing from this row.
void sumVisits(RowBuffers& b, const std::uint8_t* centre_row, int row_bytes, int first, int end) {
    const int from = std::max(b.sums_end, first - REACH);
    const int to = std::min(end + REACH, row_bytes);
    sumColumns(b, centre_row, from, to);
    b.sums_end = std::max(b.sums_end, to);
    sumSettled(b, first, end);
}

// ---- mode 2's cheap flat test ----------------------------------------------

// The spread (largest less smallest) of each of a visit's five columns, as
// its sorted columns give it.
template <class V>
FAST_LANES_INLINE std::array<V, 5> columnSpreads(const RowBuffers& b, int j) {
    using fast_lanes::load;
    using fast_lanes::lessOrZero;
    return {lessOrZero(load<V>(b.column_four[3] + j - REACH), load<V>(b.column_four[0] + j - REACH)),
            lessOrZero(load<V>(b.column_four[3] + j - NEAR), load<V>(b.column_four[0] + j - NEAR)),
            lessOrZero(load<V>(b.column_five[4] + j), load<V>(b.column_five[0] + j)),
            lessOrZero(load<V>(b.column_five[4] + j + NEAR), load<V>(b.column_five[0] + j + NEAR)),
            lessOrZero(load<V>(b.column_five[4] + j + REACH), load<V>(b.column_five[0] + j + REACH))};
}

// surely_unflat[j] = 1 where the columns' squared spreads add up to at
// least twice_limit, else 0.
void columnsUnflatAt(RowBuffers& b, int j, int twice_limit, fast_lanes::Lane1) {
    int sum = 0;
    for (const fast_lanes::Lane1 spread : columnSpreads<fast_lanes::Lane1>(b, j)) sum += spread.value * spread.value;
    b.surely_unflat[j] = sum >= twice_limit;
}

#if defined(FAST_LANES_SSE2)
// Squared spreads (at most 255^2) in 16-bit lanes, added with saturation:
// a sum held at 65535 still says whether it reaches any limit below that.
void columnsUnflatAt(RowBuffers& b, int j, int twice_limit, fast_lanes::Lane16) {
    if (twice_limit > 65535) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.surely_unflat + j), _mm_setzero_si128());
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const auto spreads = columnSpreads<fast_lanes::Lane16>(b, j);
    __m128i sum_low = zero;
    __m128i sum_high = zero;
    for (const fast_lanes::Lane16 spread : spreads) {
        const __m128i low = _mm_unpacklo_epi8(spread.value, zero);
        const __m128i high = _mm_unpackhi_epi8(spread.value, zero);
        sum_low = _mm_adds_epu16(sum_low, _mm_mullo_epi16(low, low));
        sum_high = _mm_adds_epu16(sum_high, _mm_mullo_epi16(high, high));
    }
    // Nonzero exactly where the sum reaches the limit.
    const __m128i below = _mm_set1_epi16(std::int16_t(twice_limit - 1));
    const __m128i short_low = _mm_cmpeq_epi16(_mm_subs_epu16(sum_low, below), zero);
    const __m128i short_high = _mm_cmpeq_epi16(_mm_subs_epu16(sum_high, below), zero);
    const __m128i short_bytes = _mm_packs_epi16(short_low, short_high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b.surely_unflat + j), _mm_andnot_si128(short_bytes, _mm_set1_epi8(1)));
}
#endif

struct OriginalBlend {
    static constexpr int CHUNK_BYTES = fast_rows::CHUNK_BYTES;
    static constexpr bool IN_PIXEL_LANES = WALK_IN_PIXEL_LANES;
    static constexpr bool WALKS_CANDIDATES = false;
    int first_unflat;

    // A window's squares about any centre add up to at least half the sum,
    // over its columns, of (largest - smallest)^2: each column's largest and
    // smallest alone add that much. In most pictures with any noise that
    // already shows nearly every window unflat, and the window sums are
    // then made only for the stretches where some window is not. Quiet
    // stretches come in runs: after one, the sums are made with the columns
    // in one pass, until they show a stretch all unflat again.
    Preparation preparationFor(RowBuffers& b) const { return {true, b.sums_wanted, true, true}; }
    void prepare(RowBuffers& b, const std::uint8_t* row, int row_bytes, int first, int end) const {
        if (b.sums_wanted) {
            std::fill(b.surely_unflat + first, b.surely_unflat + end, std::uint8_t(0));
            markUnflatBySums(b, first, end);
            b.sums_wanted = !allSet(b.surely_unflat + first, end - first);
            return;
        }
        if (markUnflatByColumns(b, first, end)) return;
        sumVisits(b, row, row_bytes, first, end);
        markUnflatBySums(b, first, end);
        b.sums_wanted = true;
    }

    static bool allSet(const std::uint8_t* flags, int count) {
        return count <= 0 || std::memchr(flags, 0, std::size_t(count)) == nullptr;
    }

    // Whether every window of [first, end) is surely not flat.
    bool markUnflatByColumns(RowBuffers& b, int first, int end) const {
        const int twice_limit = 2 * first_unflat;
        inLanes(b.row_start() + REACH, first, end, [&](auto lanes, int j) { columnsUnflatAt(b, j, twice_limit, lanes); });
        return allSet(b.surely_unflat + first, end - first);
    }

    // About any centre, the 23 values' squared deviations add up to at
    // least those about their own mean, which is their sum of squares less
    // sum^2 / 23; the two rewritten values only add to that.
    void markUnflatBySums(RowBuffers& b, int first, int end) const {
        const std::int32_t limit = 23 * first_unflat;
        int j = first;
#if defined(FAST_LANES_SSE2)
        // Eight at a time; every product fits 32 bits, sum^2 is a 16-bit one.
        const __m128i zero = _mm_setzero_si128();
        const __m128i below_limit = _mm_set1_epi32(limit - 1);
        for (; j + 8 <= end; j += 8) {
            const __m128i sums = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.settled_sum + j));
            __m128i unflat[2];
            for (int half = 0; half < 2; ++half) {
                const __m128i sum = half == 0 ? _mm_unpacklo_epi16(sums, zero) : _mm_unpackhi_epi16(sums, zero);
                const __m128i squares =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.settled_squares + j + 4 * half));
                const __m128i squares23 = _mm_sub_epi32(
                    _mm_add_epi32(_mm_slli_epi32(squares, 4), _mm_slli_epi32(squares, 3)), squares);
                const __m128i spread = _mm_sub_epi32(squares23, _mm_madd_epi16(sum, sum));
                unflat[half] = _mm_cmpgt_epi32(spread, below_limit);
            }
            const __m128i words = _mm_packs_epi32(unflat[0], unflat[1]);
            const __m128i bytes = _mm_and_si128(_mm_packs_epi16(words, words), _mm_set1_epi8(1));
            const __m128i known = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b.surely_unflat + j));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(b.surely_unflat + j), _mm_or_si128(known, bytes));
        }
#endif
        for (; j < end; ++j) {
            const std::int32_t sum = b.settled_sum[j];
            const std::int32_t spread = 23 * std::int32_t(b.settled_squares[j]) - sum * sum;
            b.surely_unflat[j] |= std::uint8_t(spread >= limit);
        }
    }
    int operator()(const Visit& v) const {
        // In a flat window the value is blended with itself.
        if (!v.buffers.surely_unflat[v.k] && v.squaredDeviationSum() < first_unflat)
            return blendOf(v.centre, v.centre);
        return blendOf(v.median(), v.centre);
    }
};

#if defined(FAST_LANES_SSE2)
struct OriginalBlendLanes {
    static constexpr bool IN_ROW_PAIRS = true;
    __m128i first_unflat;  // 32-bit lanes

    // What the window's value is blended with: itself where the window is
    // flat. Most windows are known not to be flat before the walk: a
    // predicted branch then leaves the test off the chains.
    FAST_LANES_INLINE __m128i blendedWith(const PairWindow& w, __m128i centre) const {
        std::uint32_t upper_unflat;
        std::uint32_t lower_unflat;
        std::memcpy(&upper_unflat, w.upper_buffers.surely_unflat + w.k, sizeof upper_unflat);
        std::memcpy(&lower_unflat, w.lower_buffers.surely_unflat + w.k, sizeof lower_unflat);
        const __m128i median = w.median();
        if (((upper_unflat & lower_unflat) & 0xFFFFFF) == 0x010101) return median;
        const __m128i sum = w.sum();
        __m128i sums[2];
        w.deviationSums(sum, w.mean(sum), sums);
        const __m128i flat = _mm_packs_epi32(_mm_cmpgt_epi32(first_unflat, sums[0]), _mm_cmpgt_epi32(first_unflat, sums[1]));
        return _mm_or_si128(_mm_and_si128(flat, centre), _mm_andnot_si128(flat, median));
    }

    // Each stage for every pair of rows before the next, so that the rows'
    // chains stand side by side in the instruction stream.
    template <int PAIRS>
    FAST_LANES_INLINE void walkPairs(const PairWindow* w, __m128i* out) const {
        int index[PAIRS][6];
#pragma GCC unroll 3
        for (int p = 0; p < PAIRS; ++p) {
            // blend_table[blended_with][centre]
            const __m128i centre = w[p].centre();
            const __m128i at = _mm_or_si128(_mm_slli_epi16(blendedWith(w[p], centre), 8), centre);
            index[p][0] = _mm_extract_epi16(at, 0);
            index[p][1] = _mm_extract_epi16(at, 1);
            index[p][2] = _mm_extract_epi16(at, 2);
            index[p][3] = _mm_extract_epi16(at, 4);
            index[p][4] = _mm_extract_epi16(at, 5);
            index[p][5] = _mm_extract_epi16(at, 6);
        }
        const std::uint8_t* entries = &blend_table[0][0];
#pragma GCC unroll 3
        for (int p = 0; p < PAIRS; ++p) {
            __m128i values = _mm_cvtsi32_si128(entries[index[p][0]]);
            values = _mm_insert_epi16(values, entries[index[p][1]], 1);
            values = _mm_insert_epi16(values, entries[index[p][2]], 2);
            values = _mm_insert_epi16(values, entries[index[p][3]], 4);
            values = _mm_insert_epi16(values, entries[index[p][4]], 5);
            out[p] = _mm_insert_epi16(values, entries[index[p][5]], 6);
        }
    }
};

OriginalBlendLanes lanesFor(const OriginalBlend& blend) { return {_mm_set1_epi32(blend.first_unflat)}; }
#endif

}  // namespace
