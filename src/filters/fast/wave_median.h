// The fast neighbourhood pass on the AVX paths, filter mode 1 (median
// replacement) in the wavefront: every row's window spread compared at once
// with the first squared deviation sum that replaces, and the median taken
// where it does. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

#include "wave_columns.h"
#include "wave_sums.h"
#include "wave_words.h"

namespace {

struct MedianReplacementWave {
    Wave last_keeping;  // 32-bit lanes: the largest squared deviation sum that keeps the value
    bool every;         // every window replaces (a negative coefficient): no sums needed

    FAST_LANES_INLINE void keepColumn(int u, const EnteringColumn& c) const {
        if (!every) keepColumnSums(u, c);
    }

    FAST_LANES_INLINE Wave value(const WaveVisit& v) const {
        if (every) return v.median();
        const WaveSpread spread = windowSpreadOf(v);
        WaveDwords replaces;
        for (int i = 0; i < 4; ++i) replaces.at[i] = _mm256_cmpgt_epi32(spread.squared_deviations.at[i], last_keeping);
        const Wave replacing = _mm256_and_si256(byteMaskOf(replaces), v.active);
        // Mostly no row replaces, and the median is not needed.
        if (_mm256_testz_si256(replacing, replacing)) return v.centre;
        return _mm256_blendv_epi8(v.centre, v.median(), replacing);
    }
};

MedianReplacementWave medianReplacementWaveFor(int first_replacing) {
    return {_mm256_set1_epi32(first_replacing - 1), first_replacing <= 0};
}

}  // namespace

#endif
