// The fast neighbourhood pass on the AVX paths, filter mode 3 (crisp
// smooth blend) in the wavefront: the gate on the window's mean
// (wave_sums.h), and crispBlendValue's double operations four lanes at a
// time in their very order. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

#include <cstdint>

#include "crisp_gate.h"
#include "wave_columns.h"
#include "wave_sums.h"
#include "wave_words.h"

namespace {

struct CrispBlendWave {
    Wave nearest;  // 16-bit lanes: the gate's run of distances
    Wave farthest;

    FAST_LANES_INLINE void keepColumn(int u, const EnteringColumn& c) const { keepColumnSums(u, c); }

    // squares / 25, rounded as the division rounds it, without the divider
    // (which the square root needs): the product with the rounded inverse,
    // its exact remainder, and one correction. That this is the division's
    // double for every squared deviation sum is checked by the tests.
    static FAST_LANES_INLINE __m256d quotientsBy25Of(__m256d squares) {
        const __m256d inverse = _mm256_set1_pd(1.0 / 25.0);
        const __m256d product = _mm256_mul_pd(squares, inverse);
        const __m256d remainder = _mm256_fnmadd_pd(product, _mm256_set1_pd(25.0), squares);
        return _mm256_fmadd_pd(remainder, inverse, product);
    }

    // sqrt(squares / 25) / 128, as crispBlendValue is given it, the last
    // step a multiplication by its exact inverse. Worked out rather than
    // looked up in mode_tables.h's table: noise spreads the sums over its
    // 3 MB, and the gathers that missed cost more (33.5 against 31.5 ms).
    static FAST_LANES_INLINE __m256d ratiosOf(__m128i squares) {
        const __m256d sigma = _mm256_sqrt_pd(quotientsBy25Of(_mm256_cvtepi32_pd(squares)));
        return _mm256_mul_pd(sigma, _mm256_set1_pd(1.0 / 128.0));
    }

    // centre * ratio * 3 + (1 - ratio * 3) * median, truncated: four lanes.
    static FAST_LANES_INLINE __m128i wholeValues(__m128i centre, __m128i median, __m128i squares) {
        const __m256d ratio = ratiosOf(squares);
        const __m256d three = _mm256_set1_pd(3.0);
        const __m256d from_centre = _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(centre), ratio), three);
        const __m256d weight = _mm256_sub_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(ratio, three));
        return _mm256_cvttpd_epi32(_mm256_add_pd(from_centre, _mm256_mul_pd(weight, _mm256_cvtepi32_pd(median))));
    }

    FAST_LANES_INLINE Wave value(const WaveVisit& v) const {
        const WaveSpread spread = windowSpreadOf(v);
        const WaveWords centre = wordsOf(v.centre);
        const WaveWords distance{_mm256_or_si256(_mm256_subs_epu16(spread.mean.low, centre.low),
                                                 _mm256_subs_epu16(centre.low, spread.mean.low)),
                                 _mm256_or_si256(_mm256_subs_epu16(spread.mean.high, centre.high),
                                                 _mm256_subs_epu16(centre.high, spread.mean.high))};
        const Wave fails = _mm256_packs_epi16(
            _mm256_or_si256(_mm256_cmpgt_epi16(nearest, distance.low), _mm256_cmpgt_epi16(distance.low, farthest)),
            _mm256_or_si256(_mm256_cmpgt_epi16(nearest, distance.high), _mm256_cmpgt_epi16(distance.high, farthest)));
        // Where the gate fails every lane the band keeps, as a narrow gate
        // mostly does, the doubles are left out.
        const Wave passing = _mm256_andnot_si256(fails, v.active);
        if (_mm256_testz_si256(passing, passing)) return v.centre;
        const WaveDwords centre32 = dwordsOf(centre);
        const WaveDwords median32 = dwordsOf(wordsOf(v.median()));
        Wave values[4];
        for (int i = 0; i < 4; ++i) {
            const __m128i low =
                wholeValues(_mm256_castsi256_si128(centre32.at[i]), _mm256_castsi256_si128(median32.at[i]),
                            _mm256_castsi256_si128(spread.squared_deviations.at[i]));
            const __m128i high =
                wholeValues(_mm256_extracti128_si256(centre32.at[i], 1), _mm256_extracti128_si256(median32.at[i], 1),
                            _mm256_extracti128_si256(spread.squared_deviations.at[i], 1));
            values[i] = _mm256_set_m128i(high, low);
        }
        // Truncated, then held within 0..255 by the packs (|value| < 1000).
        const Wave blended =
            _mm256_packus_epi16(_mm256_packs_epi32(values[0], values[1]), _mm256_packs_epi32(values[2], values[3]));
        return _mm256_blendv_epi8(blended, v.centre, fails);
    }
};

CrispBlendWave crispBlendWaveFor(const FilterSettings& settings) {
    const CrispGate gate = crispGateFor(settings);
    return {_mm256_set1_epi16(std::int16_t(gate.nearest)), _mm256_set1_epi16(std::int16_t(gate.farthest))};
}

}  // namespace

#endif
