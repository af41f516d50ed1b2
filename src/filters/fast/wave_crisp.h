// The fast neighbourhood pass on the AVX paths, filter mode 3 (crisp
// smooth blend) in the wavefront: each column's sums kept as it enters, the
// window's sums, mean and squared deviation sum for every row at once, the
// gate, and crispBlendValue's double operations four lanes at a time in
// their very order. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

#include <cstdint>

#include "lane_window.h"
#include "mode3_crisp_blend.h"
#include "wave_columns.h"
#include "wave_words.h"

namespace {

// The window's sum and sum of squares from its parts.
struct WaveSums {
    WaveWords sum;
    WaveDwords squares;
};

FAST_LANES_INLINE WaveSums sumsOf(WaveWords a, WaveWords b) { return {add(a, b), pairSquaresOf(a, b)}; }
FAST_LANES_INLINE WaveSums add(const WaveSums& a, const WaveSums& b) {
    return {add(a.sum, b.sum), add(a.squares, b.squares)};
}

// mean = sum / 25 (lane_window.h's multiplier), then the squared deviation
// sum: squares - mean * (2 * sum - 25 * mean).
struct WaveSpread {
    WaveWords mean;
    WaveDwords squared_deviations;
};

FAST_LANES_INLINE WaveSpread spreadOf(const WaveSums& s) {
    const Wave multiplier = _mm256_set1_epi16(MEAN_MULTIPLIER);
    const Wave twenty_five = _mm256_set1_epi16(WINDOW_SIZE);
    const WaveWords mean{_mm256_srli_epi16(_mm256_mulhi_epu16(s.sum.low, multiplier), 1),
                         _mm256_srli_epi16(_mm256_mulhi_epu16(s.sum.high, multiplier), 1)};
    const WaveWords reach{
        _mm256_sub_epi16(_mm256_add_epi16(s.sum.low, s.sum.low), _mm256_mullo_epi16(mean.low, twenty_five)),
        _mm256_sub_epi16(_mm256_add_epi16(s.sum.high, s.sum.high), _mm256_mullo_epi16(mean.high, twenty_five))};
    const WaveDwords mean32 = dwordsOf(mean);
    const WaveDwords reach32 = dwordsOf(reach);
    WaveSpread spread{mean, {}};
    for (int i = 0; i < 4; ++i)
        spread.squared_deviations.at[i] =
            _mm256_sub_epi32(s.squares.at[i], _mm256_madd_epi16(mean32.at[i], reach32.at[i]));
    return spread;
}

struct CrispBlendWave {
    // Each column's sum and sum of squares, without and with its own row's value.
    struct ColumnSums {
        WaveSums four;
        WaveSums five;
    };
    Wave nearest;  // 16-bit lanes: the gate's run of distances
    Wave farthest;

    static ColumnSums sums[WAVE_RING];

    FAST_LANES_INLINE void keepColumn(int u, const EnteringColumn& c) const {
        const WaveSums four = add(sumsOf(wordsOf(c.four[0].value), wordsOf(c.four[1].value)),
                                  sumsOf(wordsOf(c.four[2].value), wordsOf(c.four[3].value)));
        sums[waveSlot(u)] = {four, add(four, sumsOf(wordsOf(c.centre), wordsOf(_mm256_setzero_si256())))};
    }

    // sqrt(squares / 25) / 128, as crispBlendValue is given it, the last
    // step a multiplication by its exact inverse. Worked out rather than
    // looked up in mode_tables.h's table: noise spreads the sums over its
    // 3 MB, and the gathers that missed cost more (33.5 against 31.5 ms).
    static FAST_LANES_INLINE __m256d ratiosOf(__m128i squares) {
        const __m256d sigma = _mm256_sqrt_pd(_mm256_div_pd(_mm256_cvtepi32_pd(squares), _mm256_set1_pd(25.0)));
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
        const ColumnSums& a = sums[waveSlot(v.t - 6)];
        const ColumnSums& b = sums[waveSlot(v.t - 3)];
        const ColumnSums& c = sums[waveSlot(v.t)];
        const ColumnSums& d = sums[waveSlot(v.t + 3)];
        const ColumnSums& e = sums[waveSlot(v.t + 6)];
        const WaveSums window =
            add(add(add(a.four, b.four), add(c.five, d.five)), add(e.five, sumsOf(wordsOf(v.far), wordsOf(v.near))));
        const WaveSpread spread = spreadOf(window);
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
        const WaveDwords median32 = dwordsOf(wordsOf(v.median));
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

CrispBlendWave::ColumnSums CrispBlendWave::sums[WAVE_RING];

CrispBlendWave crispBlendWaveFor(const FilterSettings& settings) {
    const CrispBlend gate = crispBlendFor(settings);
    return {_mm256_set1_epi16(std::int16_t(gate.nearest)), _mm256_set1_epi16(std::int16_t(gate.farthest))};
}

}  // namespace

#endif
