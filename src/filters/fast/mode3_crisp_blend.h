// The fast neighbourhood pass, filter mode 3 (crisp smooth blend): its gate
// as a run of distances, its scalar step, then its lane step, both looking
// the spread ratios up in mode_tables.h's table. Included by
// neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cmath>
#include <cstdint>

#include "../../image/image_store.h"
#include "../mode_steps.h"
#include "lane_window.h"
#include "mode_tables.h"
#include "neighbourhood.h"
#include "scalar_walk.h"

namespace {

using fast_tables::crisp_ratio_by_squares;

// The gate compares |window mean - centre| / 255, which grows with the
// distance, against both thresholds: the distances it passes are one run,
// [nearest, farthest], or none (then both are 256). Noise makes the gate
// unforeseeable, so it is a choice without a branch.
FAST_LANES_INLINE int choose(bool first, int a, int b) { return b ^ ((a ^ b) & -int(first)); }

struct CrispBlend {
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
        const double ratio = crisp_ratio_by_squares[squaredDeviationSumOf(mean, sum, v.squares())];
        return choose(passes, crispBlendInWalk(v.median(), v.centre, ratio), v.centre);
    }
};

CrispBlend crispBlendFor(const FilterSettings& settings) {
    CrispBlend blend{256, 256};
    for (int distance = 255; distance >= 0; --distance) {
        const double window_mean = double(distance);
        const double pixel_deviation = std::fabs((window_mean - 0.0) / 255.0);
        if (!crispGatePasses(pixel_deviation, settings.min_threshold, settings.max_threshold)) continue;
        if (blend.farthest == 256) blend.farthest = distance;
        blend.nearest = distance;
    }
    return blend;
}

#if defined(FAST_LANES_SSE2)
// ---- mode 3 in lanes: crispBlendValue's double operations two lanes at a
// time, each lane rounding as the one-lane instruction does.

template <bool NARROW_GATE>
struct CrispBlendLanes {
    __m128i nearest;  // 16-bit lanes
    __m128i farthest;

    // Two stages, each for every row before the next: a visit's chain is
    // long (sums, a table, doubles), and only side by side do the rows'
    // chains overlap.
    template <int ROWS>
    FAST_LANES_INLINE void walkStep(const PixelWindow* w, __m128i* out) const {
        __m128i fails[ROWS];
        __m128d ratio_low[ROWS];   // channels 0 and 1
        __m128d ratio_high[ROWS];  // channel 2
#pragma GCC unroll 6
        for (int a = 0; a < ROWS; ++a) {
            const __m128i centre = w[a].centre();
            const __m128i sum = w[a].sum();
            const __m128i mean = w[a].mean(sum);
            const __m128i distance = _mm_or_si128(_mm_subs_epu16(mean, centre), _mm_subs_epu16(centre, mean));
            fails[a] = _mm_or_si128(_mm_cmpgt_epi16(nearest, distance), _mm_cmpgt_epi16(distance, farthest));
            const __m128i sums = w[a].deviationSum(sum, mean);
            const unsigned sum0 = unsigned(_mm_cvtsi128_si32(sums));
            const unsigned sum1 = unsigned(_mm_cvtsi128_si32(_mm_shuffle_epi32(sums, 1)));
            const unsigned sum2 = unsigned(_mm_cvtsi128_si32(_mm_shuffle_epi32(sums, 2)));
            ratio_low[a] = _mm_loadh_pd(_mm_load_sd(crisp_ratio_by_squares + sum0), crisp_ratio_by_squares + sum1);
            ratio_high[a] = _mm_load_sd(crisp_ratio_by_squares + sum2);
        }
        const __m128i zero = _mm_setzero_si128();
        const __m128d one = _mm_set1_pd(1.0);
        const __m128d three = _mm_set1_pd(3.0);
        // centre * ratio * 3 + (1 - ratio * 3) * median
        auto value = [&](__m128i centre, __m128i median, __m128d ratio) {
            const __m128d from_centre = _mm_mul_pd(_mm_mul_pd(_mm_cvtepi32_pd(centre), ratio), three);
            const __m128d weight = _mm_sub_pd(one, _mm_mul_pd(ratio, three));
            return _mm_add_pd(from_centre, _mm_mul_pd(weight, _mm_cvtepi32_pd(median)));
        };
        // Truncated, then held within 0..255 (|value| < 1000 passes the
        // 16-bit narrowing unchanged); the centre where the gate fails.
        auto hold = [&](__m128i whole, __m128i fails, __m128i centre) {
            const __m128i held =
                _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(whole, whole), zero), _mm_set1_epi16(255));
            return _mm_or_si128(_mm_and_si128(fails, centre), _mm_andnot_si128(fails, held));
        };
        // Rows two at a time: channels 0 and 1 of each in double lanes of
        // their own, channel 2 of both together. An odd last row goes with
        // itself.
#pragma GCC unroll 3
        for (int a = 0; a < ROWS; a += 2) {
            const int b = a + 1 < ROWS ? a + 1 : a;
            const __m128i centre_a = w[a].centre();
            const __m128i centre_b = w[b].centre();
            // Where a narrow gate fails all three channels of both pixels,
            // as it mostly does, they keep their values. (With a wide one
            // the test costs more than it saves.)
            if (NARROW_GATE && (_mm_movemask_epi8(_mm_and_si128(fails[a], fails[b])) & 0x3F) == 0x3F) {
                out[a] = centre_a;
                out[b] = centre_b;
                continue;
            }
            const __m128i centre32_a = _mm_unpacklo_epi16(centre_a, zero);
            const __m128i median32_a = _mm_unpacklo_epi16(w[a].median(), zero);
            const __m128i centre32_b = _mm_unpacklo_epi16(centre_b, zero);
            const __m128i median32_b = _mm_unpacklo_epi16(w[b].median(), zero);
            const __m128d first_two_a = value(centre32_a, median32_a, ratio_low[a]);
            const __m128d first_two_b = value(centre32_b, median32_b, ratio_low[b]);
            // [a2, b2, a3, b3]: the conversions take the low two.
            const __m128d thirds = value(_mm_unpackhi_epi32(centre32_a, centre32_b),
                                         _mm_unpackhi_epi32(median32_a, median32_b),
                                         _mm_unpacklo_pd(ratio_high[a], ratio_high[b]));
            const __m128i thirds_whole = _mm_cvttpd_epi32(thirds);
            out[a] = hold(_mm_unpacklo_epi64(_mm_cvttpd_epi32(first_two_a), thirds_whole), fails[a], centre_a);
            out[b] = hold(_mm_unpacklo_epi64(_mm_cvttpd_epi32(first_two_b), _mm_srli_si128(thirds_whole, 4)),
                          fails[b], centre_b);
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
