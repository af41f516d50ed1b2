// The fast neighbourhood pass on the AVX paths, the window's sums in the
// wavefront (modes 1 and 3): each column's sum and sum of squares kept as
// it enters, and from five of them and the chain's two values every row's
// window sum, truncated mean and squared deviation sum at once. Included by
// neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

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

// The mean, then the squared deviation sum: squares - mean * reach.
struct WaveSpread {
    WaveWords mean;
    WaveDwords squared_deviations;
};

FAST_LANES_INLINE WaveSpread spreadOf(const WaveSums& s) {
    const WaveWords mean{meanOf(s.sum.low), meanOf(s.sum.high)};
    const WaveWords reach{reachOf(s.sum.low, mean.low), reachOf(s.sum.high, mean.high)};
    const WaveDwords mean32 = dwordsOf(mean);
    const WaveDwords reach32 = dwordsOf(reach);
    WaveSpread spread{mean, {}};
    for (int i = 0; i < 4; ++i)
        spread.squared_deviations.at[i] =
            _mm256_sub_epi32(s.squares.at[i], _mm256_madd_epi16(mean32.at[i], reach32.at[i]));
    return spread;
}

// Each column's sums kept while it crosses the windows: without its own
// row's value (left of the visit, where far and near take its place) and
// with it as read.
struct WaveColumnSums {
    WaveSums four;
    WaveSums five;
};

WaveColumnSums wave_column_sums[WAVE_RING];

FAST_LANES_INLINE void keepColumnSums(int u, const EnteringColumn& c) {
    const WaveSums four = add(sumsOf(wordsOf(c.four[0].value), wordsOf(c.four[1].value)),
                              sumsOf(wordsOf(c.four[2].value), wordsOf(c.four[3].value)));
    wave_column_sums[waveSlot(u)] = {four, add(four, sumsOf(wordsOf(c.centre), wordsOf(_mm256_setzero_si256())))};
}

FAST_LANES_INLINE WaveSpread windowSpreadOf(const WaveVisit& v) {
    const WaveColumnSums& a = wave_column_sums[waveSlot(v.t - 6)];
    const WaveColumnSums& b = wave_column_sums[waveSlot(v.t - 3)];
    const WaveColumnSums& c = wave_column_sums[waveSlot(v.t)];
    const WaveColumnSums& d = wave_column_sums[waveSlot(v.t + 3)];
    const WaveColumnSums& e = wave_column_sums[waveSlot(v.t + 6)];
    const WaveSums window =
        add(add(add(a.four, b.four), add(c.five, d.five)), add(e.five, sumsOf(wordsOf(v.far), wordsOf(v.near))));
    return spreadOf(window);
}

// 32-bit lane masks, in the order dwordsOf gives them, as one byte mask.
FAST_LANES_INLINE Wave byteMaskOf(const WaveDwords& m) {
    return _mm256_packs_epi16(_mm256_packs_epi32(m.at[0], m.at[1]), _mm256_packs_epi32(m.at[2], m.at[3]));
}

}  // namespace

#endif
