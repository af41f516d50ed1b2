// The fast neighbourhood pass on the AVX paths, filter mode 2 (original
// blend) in the wavefront: the flat test, cheap where the columns' spreads
// already show every window unflat and exact, in 16-bit lanes, elsewhere;
// and the blend looked up in mode_tables.h's table. Included by
// neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

#include <cstdint>

#include "../mode_steps.h"
#include "mode_tables.h"
#include "wave_band.h"
#include "wave_columns.h"
#include "wave_words.h"

namespace {

// ---- mode 2 ---------------------------------------------------------------

struct OriginalBlendWave {
    // Each column's (largest - smallest)^2, with and without its own row's
    // value, in 16-bit lanes: original_blend.h's bound on a window's spread.
    struct Spreads {
        WaveWords four;
        WaveWords five;
    };
    // A column's sum and sum of squares in 16-bit lanes, the squares kept
    // modulo 2^16, without and with its own row's value (as read): made the
    // first time an exact test needs the column.
    struct Sums {
        WaveWords sum_four;
        WaveWords sum_five;
        WaveWords squares_four;
        WaveWords squares_five;
    };
    int first_unflat;
    // The widest range of values a flat window can have (see flatLanes).
    int flat_range;

    static Spreads spreads[WAVE_RING];
    static Wave centres[WAVE_RING];
    static Sums sums[WAVE_RING];
    static bool summed[WAVE_RING];

    static FAST_LANES_INLINE WaveWords squaredSpread(fast_lanes::Lane32 largest, fast_lanes::Lane32 smallest) {
        const WaveWords d = wordsOf(_mm256_subs_epu8(largest.value, smallest.value));
        return {_mm256_mullo_epi16(d.low, d.low), _mm256_mullo_epi16(d.high, d.high)};
    }
    FAST_LANES_INLINE void keepColumn(int u, const EnteringColumn& c) const {
        spreads[waveSlot(u)] = {squaredSpread(c.four[3], c.four[0]), squaredSpread(c.five[4], c.five[0])};
        centres[waveSlot(u)] = c.centre;
        summed[waveSlot(u)] = false;
    }

    static FAST_LANES_INLINE WaveWords squaresModulo(WaveWords w) {
        return {_mm256_mullo_epi16(w.low, w.low), _mm256_mullo_epi16(w.high, w.high)};
    }
    static FAST_LANES_INLINE const Sums& columnSums(int u) {
        const int slot = waveSlot(u);
        if (!summed[slot]) {
            WaveWords sum = wordsOf(loadWave(wave_columns.four[slot][0]));
            WaveWords squares = squaresModulo(sum);
            for (int i = 1; i < 4; ++i) {
                const WaveWords w = wordsOf(loadWave(wave_columns.four[slot][i]));
                sum = add(sum, w);
                squares = add(squares, squaresModulo(w));
            }
            const WaveWords centre = wordsOf(centres[slot]);
            sums[slot] = {sum, add(sum, centre), squares, add(squares, squaresModulo(centre))};
            summed[slot] = true;
        }
        return sums[slot];
    }

    // The exact test where the columns' spreads leave a lane in doubt. A
    // window whose values span more than flat_range is not flat (its
    // largest and smallest value alone give a squared deviation sum of at
    // least range^2 / 2). One that spans at most flat_range has a squared
    // deviation sum of at most 25 * range^2 / 4 + 25, well under 2^16, so
    // worked out in 16-bit lanes modulo 2^16 it comes out exact.
    FAST_LANES_INLINE Wave flatLanes(const WaveVisit& v) const {
        const std::uint8_t(*four_left)[32] = wave_columns.four[waveSlot(v.t - 6)];
        const std::uint8_t(*four_near)[32] = wave_columns.four[waveSlot(v.t - 3)];
        const std::uint8_t(*five_centre)[32] = wave_columns.five[waveSlot(v.t)];
        const std::uint8_t(*five_right)[32] = wave_columns.five[waveSlot(v.t + 3)];
        const Wave largest =
            _mm256_max_epu8(_mm256_max_epu8(_mm256_max_epu8(loadWave(four_left[3]), loadWave(four_near[3])),
                                            _mm256_max_epu8(loadWave(five_centre[4]), loadWave(five_right[4]))),
                            _mm256_max_epu8(v.entering.five[4].value, _mm256_max_epu8(v.far, v.near)));
        const Wave smallest =
            _mm256_min_epu8(_mm256_min_epu8(_mm256_min_epu8(loadWave(four_left[0]), loadWave(four_near[0])),
                                            _mm256_min_epu8(loadWave(five_centre[0]), loadWave(five_right[0]))),
                            _mm256_min_epu8(v.entering.five[0].value, _mm256_min_epu8(v.far, v.near)));
        const Wave zero = _mm256_setzero_si256();
        const Wave narrow = _mm256_cmpeq_epi8(
            _mm256_subs_epu8(_mm256_subs_epu8(largest, smallest), _mm256_set1_epi8(char(flat_range))), zero);

        const WaveWords far = wordsOf(v.far);
        const WaveWords near = wordsOf(v.near);
        const Sums& a = columnSums(v.t - 6);
        const Sums& b = columnSums(v.t - 3);
        const Sums& c = columnSums(v.t);
        const Sums& d = columnSums(v.t + 3);
        const Sums& e = columnSums(v.t + 6);
        const WaveWords sum =
            add(add(add(a.sum_four, b.sum_four), add(c.sum_five, d.sum_five)), add(e.sum_five, add(far, near)));
        const WaveWords squares = add(add(add(a.squares_four, b.squares_four), add(c.squares_five, d.squares_five)),
                                      add(e.squares_five, add(squaresModulo(far), squaresModulo(near))));
        const Wave below = _mm256_set1_epi16(std::int16_t(first_unflat - 1));
        auto flatHalf = [&](Wave window_sum, Wave window_squares) {
            const Wave mean = meanOf(window_sum);
            const Wave deviations =
                _mm256_sub_epi16(window_squares, _mm256_mullo_epi16(mean, reachOf(window_sum, mean)));
            return _mm256_cmpeq_epi16(_mm256_subs_epu16(deviations, below), zero);
        };
        const Wave flat = _mm256_packs_epi16(flatHalf(sum.low, squares.low), flatHalf(sum.high, squares.high));
        return _mm256_and_si256(flat, narrow);
    }

    // What each lane's value is blended with: the median, or itself where
    // the window is flat.
    FAST_LANES_INLINE Wave blendedWith(const WaveVisit& v) const {
        const Spreads& a = spreads[waveSlot(v.t - 6)];
        const Spreads& b = spreads[waveSlot(v.t - 3)];
        const Spreads& c = spreads[waveSlot(v.t)];
        const Spreads& d = spreads[waveSlot(v.t + 3)];
        const Spreads& e = spreads[waveSlot(v.t + 6)];
        auto total = [&](Wave WaveWords::*half) {
            Wave s = _mm256_adds_epu16(a.four.*half, b.four.*half);
            s = _mm256_adds_epu16(s, _mm256_adds_epu16(c.five.*half, d.five.*half));
            return _mm256_adds_epu16(s, e.five.*half);
        };
        // Twice a window's squared deviation sum reaches the columns' total,
        // which, held at 65535, still says whether it reaches the limit.
        const Wave below = _mm256_set1_epi16(std::int16_t(2 * first_unflat - 1));
        const Wave zero = _mm256_setzero_si256();
        const Wave short_low = _mm256_cmpeq_epi16(_mm256_subs_epu16(total(&WaveWords::low), below), zero);
        const Wave short_high = _mm256_cmpeq_epi16(_mm256_subs_epu16(total(&WaveWords::high), below), zero);
        const Wave doubtful = _mm256_and_si256(_mm256_packs_epi16(short_low, short_high), v.active);
        if (_mm256_testz_si256(doubtful, doubtful)) return v.median();
        const Wave flat = flatLanes(v);
        // Every lane flat: each is blended with itself.
        if (_mm256_testc_si256(flat, v.active)) return v.centre;
        return _mm256_blendv_epi8(v.median(), v.centre, flat);
    }

    FAST_LANES_INLINE Wave value(const WaveVisit& v) const {
        const Wave with = blendedWith(v);
        // blend_table[with][centre], one lane at a time: the 32 indices
        // through memory, in lane order.
        alignas(32) std::uint16_t index[32];
        const Wave low = _mm256_unpacklo_epi8(v.centre, with);
        const Wave high = _mm256_unpackhi_epi8(v.centre, with);
        _mm256_store_si256(reinterpret_cast<Wave*>(index), _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_store_si256(reinterpret_cast<Wave*>(index + 16), _mm256_permute2x128_si256(low, high, 0x31));
        alignas(32) std::uint8_t blended[32];
        const std::uint8_t* entries = &fast_tables::blend_table[0][0];
        for (int i = 0; i < 32; ++i) blended[i] = entries[index[i]];
        return loadWave(blended);
    }
};

OriginalBlendWave::Spreads OriginalBlendWave::spreads[WAVE_RING];
Wave OriginalBlendWave::centres[WAVE_RING];
OriginalBlendWave::Sums OriginalBlendWave::sums[WAVE_RING];
bool OriginalBlendWave::summed[WAVE_RING];

// The widest range of a flat window: below the smallest range whose two
// ends alone reach the first unflat squared deviation sum. A flat window's
// squared deviation sum stays under 2^16 while that range is at most 101
// (25 * 101^2 / 4 + 25 < 65536); a spread limit of 5 % gives a range of 90.
static_assert(FLAT_SPREAD_PERCENT <= 5.0, "a flat window's sums fit 16-bit lanes");
int flatRangeOf(int first_unflat) {
    int range = 0;
    while ((range + 1) * (range + 1) < 2 * first_unflat) ++range;
    return range;
}

OriginalBlendWave originalBlendWaveFor(int first_unflat) { return {first_unflat, flatRangeOf(first_unflat)}; }

}  // namespace

#endif
