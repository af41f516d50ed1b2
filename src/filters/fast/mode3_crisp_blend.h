// The fast neighbourhood pass, filter mode 3 (crisp smooth blend) for the
// paths that walk rows (the AVX paths take mode 3 in the wavefront,
// crisp_blend.h): its scalar step and its lane step, both taking the spread
// ratios from mode_tables.h's table and deciding by crisp_gate.h's gate. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cstdint>

#include "../../image/image_store.h"
#include "../mode_steps.h"
#include "crisp_gate.h"
#include "lane_window.h"
#include "mode_tables.h"
#include "neighbourhood.h"
#include "scalar_walk.h"

namespace {

using fast_tables::crisp_ratio_by_squares;

// Noise makes the gate unforeseeable, so it is a choice without a branch.
FAST_LANES_INLINE int choose(bool first, int a, int b) { return b ^ ((a ^ b) & -int(first)); }

FAST_LANES_INLINE double spreadRatioOf(int squares) { return crisp_ratio_by_squares[squares]; }

struct CrispBlend {
    static constexpr int CHUNK_BYTES = fast_rows::CHUNK_BYTES;
    static constexpr bool IN_PIXEL_LANES = WALK_IN_PIXEL_LANES;
    static constexpr bool WALKS_CANDIDATES = false;
    int nearest;
    int farthest;
    Preparation preparationFor(RowBuffers&) const { return {true, true, true, true}; }
    void prepare(RowBuffers&, const std::uint8_t*, int, int, int) const {}
    int operator()(const Visit& v) const {
        const int sum = v.sum();
        const int mean = sum / WINDOW_SIZE;
        const int distance = mean < v.centre ? v.centre - mean : mean - v.centre;
        const bool passes = unsigned(distance - nearest) <= unsigned(farthest - nearest);
        const double ratio = spreadRatioOf(squaredDeviationSumOf(mean, sum, v.squares()));
        return choose(passes, crispBlendInWalk(v.median(), v.centre, ratio), v.centre);
    }
};

CrispBlend crispBlendFor(const FilterSettings& settings) {
    const CrispGate gate = crispGateFor(settings);
    return {gate.nearest, gate.farthest};
}

#if defined(FAST_LANES_SSE2)
// ---- mode 3 in lanes: crispBlendValue's double operations two lanes at a
// time, each lane rounding as the one-lane instruction does.

template <bool NARROW_GATE>
struct CrispBlendLanes {
    static constexpr bool IN_ROW_PAIRS = true;
    __m128i nearest;  // 16-bit lanes
    __m128i farthest;

    static FAST_LANES_INLINE __m128d ratiosAt(unsigned first, unsigned second) {
        return _mm_loadh_pd(_mm_load_sd(crisp_ratio_by_squares + first), crisp_ratio_by_squares + second);
    }
    static FAST_LANES_INLINE unsigned lane(__m128i sums, int i) {
        return unsigned(_mm_cvtsi128_si32(i == 0 ? sums : i == 1 ? _mm_shuffle_epi32(sums, 1) : _mm_shuffle_epi32(sums, 2)));
    }
    // Channels 0 and 1 of each row in double lanes of their own, channel 2
    // of both rows together.
    struct Ratios {
        __m128d upper;
        __m128d lower;
        __m128d thirds;
    };
    static FAST_LANES_INLINE Ratios ratiosOf(const __m128i* sums) {
        return {ratiosAt(lane(sums[0], 0), lane(sums[0], 1)), ratiosAt(lane(sums[1], 0), lane(sums[1], 1)),
                ratiosAt(lane(sums[0], 2), lane(sums[1], 2))};
    }
    // centre * ratio * 3 + (1 - ratio * 3) * median, of the low two lanes.
    static FAST_LANES_INLINE __m128i wholeValue(__m128i centre32, __m128i median32, __m128d ratio) {
        const __m128d three = _mm_set1_pd(3.0);
        const __m128d from_centre = _mm_mul_pd(_mm_mul_pd(_mm_cvtepi32_pd(centre32), ratio), three);
        const __m128d weight = _mm_sub_pd(_mm_set1_pd(1.0), _mm_mul_pd(ratio, three));
        return _mm_cvttpd_epi32(_mm_add_pd(from_centre, _mm_mul_pd(weight, _mm_cvtepi32_pd(median32))));
    }
    static FAST_LANES_INLINE __m128i valuesOf(__m128i centre, __m128i median, const Ratios& ratios) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i centre_upper = _mm_unpacklo_epi16(centre, zero);
        const __m128i centre_lower = _mm_unpackhi_epi16(centre, zero);
        const __m128i median_upper = _mm_unpacklo_epi16(median, zero);
        const __m128i median_lower = _mm_unpackhi_epi16(median, zero);
        // [upper 2, lower 2, upper 3, lower 3]: the conversions take the low two.
        const __m128i thirds = wholeValue(_mm_unpackhi_epi32(centre_upper, centre_lower),
                                          _mm_unpackhi_epi32(median_upper, median_lower), ratios.thirds);
        const __m128i upper = _mm_unpacklo_epi64(wholeValue(centre_upper, median_upper, ratios.upper), thirds);
        const __m128i lower =
            _mm_unpacklo_epi64(wholeValue(centre_lower, median_lower, ratios.lower), _mm_srli_si128(thirds, 4));
        return _mm_packs_epi32(upper, lower);
    }

    // Two stages, each for every pair of rows before the next: a visit's
    // chain is long (sums, a table, doubles), and only side by side do the
    // rows' chains overlap.
    template <int PAIRS>
    FAST_LANES_INLINE void walkPairs(const PairWindow* w, __m128i* out) const {
        __m128i fails[PAIRS];
        Ratios ratios[PAIRS];
#pragma GCC unroll 3
        for (int p = 0; p < PAIRS; ++p) {
            const __m128i centre = w[p].centre();
            const __m128i sum = w[p].sum();
            const __m128i mean = w[p].mean(sum);
            const __m128i distance = _mm_or_si128(_mm_subs_epu16(mean, centre), _mm_subs_epu16(centre, mean));
            fails[p] = _mm_or_si128(_mm_cmpgt_epi16(nearest, distance), _mm_cmpgt_epi16(distance, farthest));
            __m128i sums[2];
            w[p].deviationSums(sum, mean, sums);
            ratios[p] = ratiosOf(sums);
        }
#pragma GCC unroll 3
        for (int p = 0; p < PAIRS; ++p) {
            const __m128i centre = w[p].centre();
            // Where a narrow gate fails all three channels of both pixels,
            // as it mostly does, they keep their values. (With a wide one
            // the test costs more than it saves.)
            if (NARROW_GATE && (_mm_movemask_epi8(fails[p]) & 0x3F3F) == 0x3F3F) {
                out[p] = centre;
                continue;
            }
            // Truncated, then held within 0..255 (|value| < 1000 passes the
            // 16-bit narrowing unchanged); the centre where the gate fails.
            const __m128i values = valuesOf(centre, w[p].median(), ratios[p]);
            const __m128i held = _mm_min_epi16(_mm_max_epi16(values, _mm_setzero_si128()), _mm_set1_epi16(255));
            out[p] = _mm_or_si128(_mm_and_si128(fails[p], centre), _mm_andnot_si128(fails[p], held));
        }
    }
};

// Runs `walk` with the lanes form of the step.
template <class Walk>
void inLanesOf(const CrispBlend& blend, Walk walk) {
    // Passing at most NARROW_GATE_DISTANCES of the 256 distances.
    constexpr int NARROW_GATE_DISTANCES = 4;
    const __m128i nearest = _mm_set1_epi16(std::int16_t(blend.nearest));
    const __m128i farthest = _mm_set1_epi16(std::int16_t(blend.farthest));
    if (blend.farthest - blend.nearest < NARROW_GATE_DISTANCES)
        walk(CrispBlendLanes<true>{nearest, farthest});
    else
        walk(CrispBlendLanes<false>{nearest, farthest});
}
#endif

}  // namespace
