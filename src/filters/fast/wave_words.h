// The fast neighbourhood pass on the AVX paths, the wavefront's whole
// numbers: a step's bytes widened to 16-bit lanes (two registers) and to
// 32-bit lanes (four), in the order the unpacks give them and the packs
// take back. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

#include "truncated_mean.h"
#include "wave_band.h"

namespace {

// Bytes in 16-bit lanes as two registers, [0-7 | 16-23] and [8-15 | 24-31]:
// what the unpacks give and the packs take back.
struct WaveWords {
    Wave low;
    Wave high;
};

FAST_LANES_INLINE WaveWords wordsOf(Wave bytes) {
    const Wave zero = _mm256_setzero_si256();
    return {_mm256_unpacklo_epi8(bytes, zero), _mm256_unpackhi_epi8(bytes, zero)};
}

// Whole numbers up to 2^31 in 32-bit lanes, four registers, as the unpacks
// of a WaveWords give them.
struct WaveDwords {
    Wave at[4];
};

FAST_LANES_INLINE WaveDwords dwordsOf(WaveWords w) {
    const Wave zero = _mm256_setzero_si256();
    return {{_mm256_unpacklo_epi16(w.low, zero), _mm256_unpackhi_epi16(w.low, zero),
             _mm256_unpacklo_epi16(w.high, zero), _mm256_unpackhi_epi16(w.high, zero)}};
}

// Squares of bytes, a pair at a time: a^2 + b^2 in each 32-bit lane.
FAST_LANES_INLINE WaveDwords pairSquaresOf(WaveWords a, WaveWords b) {
    const Wave low_pairs[2] = {_mm256_unpacklo_epi16(a.low, b.low), _mm256_unpackhi_epi16(a.low, b.low)};
    const Wave high_pairs[2] = {_mm256_unpacklo_epi16(a.high, b.high), _mm256_unpackhi_epi16(a.high, b.high)};
    return {{_mm256_madd_epi16(low_pairs[0], low_pairs[0]), _mm256_madd_epi16(low_pairs[1], low_pairs[1]),
             _mm256_madd_epi16(high_pairs[0], high_pairs[0]), _mm256_madd_epi16(high_pairs[1], high_pairs[1])}};
}

FAST_LANES_INLINE WaveWords add(WaveWords a, WaveWords b) {
    return {_mm256_add_epi16(a.low, b.low), _mm256_add_epi16(a.high, b.high)};
}
FAST_LANES_INLINE WaveDwords add(const WaveDwords& a, const WaveDwords& b) {
    return {{_mm256_add_epi32(a.at[0], b.at[0]), _mm256_add_epi32(a.at[1], b.at[1]), _mm256_add_epi32(a.at[2], b.at[2]),
             _mm256_add_epi32(a.at[3], b.at[3])}};
}

// A window's truncated mean from its sum in 16-bit lanes (truncated_mean.h),
// and 2 * sum - 25 * mean: the squared deviation sum is the sum of squares
// less their product.
FAST_LANES_INLINE Wave meanOf(Wave sum) {
    return _mm256_srli_epi16(_mm256_mulhi_epu16(sum, _mm256_set1_epi16(MEAN_MULTIPLIER)), 1);
}
FAST_LANES_INLINE Wave reachOf(Wave sum, Wave mean) {
    return _mm256_sub_epi16(_mm256_add_epi16(sum, sum), _mm256_mullo_epi16(mean, _mm256_set1_epi16(WINDOW_SIZE)));
}

}  // namespace

#endif
