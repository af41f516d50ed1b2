// The fast neighbourhood pass on the AVX paths, the wavefront's columns:
// each step sorts the column entering its rows' windows, and from the five
// columns a window spans finds the 11th to 13th smallest of its 23 settled
// values and, with the two its chain has just rewritten, the median.
// Included by neighbourhood.cpp alone.
//
// In a step, row l's window spans the bytes 6 left to 6 right of its visit,
// in rows l - 2 to l + 2. Its column at 3b bytes right of the visit (b from
// -2 to 2) is, for every row at once, the step t + 3b read in lanes l - 2 to
// l + 2, the lane of row l + a at step t + 3b + a * WAVE_SKEW. The column
// entering at b = 2 is sorted once, then read by the steps of its channel
// while it crosses the window. Its own row's value is as read until the
// column reaches the visit; left of it the chain's far and near take its
// place, so each column is kept without it (four) and with it (five).
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

#include <array>
#include <cstdint>

#include "lanes.h"
#include "wave_band.h"

namespace {

// Columns kept: those from the window's left edge (step t - 6) to its right
// (t + 6), a ring indexed by their step.
constexpr int WAVE_RING = 16;
constexpr int waveSlot(int t) { return t & (WAVE_RING - 1); }

struct WaveColumns {
    alignas(32) std::uint8_t four[WAVE_RING][4][32];
    alignas(32) std::uint8_t five[WAVE_RING][5][32];
};

WaveColumns wave_columns;

// The column entering at step u, each row's four others sorted (above, with
// the row's own value as read put in).
struct EnteringColumn {
    std::array<fast_lanes::Lane32, 4> four;
    std::array<fast_lanes::Lane32, 5> five;
    Wave centre;
};

// The row above each lane's at a step its store may still hold in flight:
// lane l takes lane l - 1's value from `w`, lane 0 the halo row's byte,
// which sits just before lane 0 in the step's line.
FAST_LANES_INLINE Wave rowAboveOf(Wave w, const std::uint8_t* step_line) {
    // Byte 31 of `halo` is the halo byte; the rest lie in the line before,
    // past the lanes any store writes.
    const Wave halo = loadWave(step_line + WAVE_ROW_AT - 32);
    return _mm256_alignr_epi8(w, _mm256_permute2x128_si256(halo, w, 0x21), 15);
}

FAST_LANES_INLINE EnteringColumn sortColumn(Wave two_above, Wave above, Wave centre, Wave below, Wave two_below) {
    using fast_lanes::Lane32;
    Lane32 v0{two_above}, v1{above}, v3{below}, v4{two_below};
    fast_lanes::exchange(v0, v1);
    fast_lanes::exchange(v3, v4);
    fast_lanes::exchange(v0, v3);
    fast_lanes::exchange(v1, v4);
    fast_lanes::exchange(v1, v3);
    EnteringColumn c{{v0, v1, v3, v4}, {}, centre};
    Lane32 carried{centre};
    for (int i = 0; i < 4; ++i) {
        c.five[std::size_t(i)] = fast_lanes::lower(c.four[std::size_t(i)], carried);
        carried = fast_lanes::upper(c.four[std::size_t(i)], carried);
    }
    c.five[4] = carried;
    return c;
}

// Step u's column, its row above given (it may be a value just made).
FAST_LANES_INLINE EnteringColumn columnAt(WaveBand& band, int u, Wave above) {
    return sortColumn(loadWave(band.at(u - 2 * WAVE_SKEW) + WAVE_ROW_AT - 2), above, loadWave(band.at(u) + WAVE_ROW_AT),
                      loadWave(band.at(u + WAVE_SKEW) + WAVE_ROW_AT + 1),
                      loadWave(band.at(u + 2 * WAVE_SKEW) + WAVE_ROW_AT + 2));
}

FAST_LANES_INLINE void keepColumn(int u, const EnteringColumn& c) {
    for (int i = 0; i < 4; ++i) storeWave(wave_columns.four[waveSlot(u)][i], c.four[std::size_t(i)].value);
    for (int i = 0; i < 5; ++i) storeWave(wave_columns.five[waveSlot(u)][i], c.five[std::size_t(i)].value);
}

template <std::size_t N>
FAST_LANES_INLINE std::array<fast_lanes::Lane32, N> keptColumn(const std::uint8_t (*column)[32]) {
    std::array<fast_lanes::Lane32, N> values;
    for (std::size_t i = 0; i < N; ++i) values[i] = fast_lanes::Lane32{loadWave(column[i])};
    return values;
}

// The 11th to 13th smallest of step t's 23 settled values, the column at
// t + 6 just made; merged as settled.h merges a row's columns.
struct WaveRanks {
    Wave low, mid, high;
};

FAST_LANES_INLINE WaveRanks ranksAt(int t, const EnteringColumn& right) {
    using fast_lanes::Lane32;
    using fast_lanes::mergeSorted;
    const auto left = mergeSorted<Lane32>(keptColumn<4>(wave_columns.four[waveSlot(t - 6)]),
                                          keptColumn<4>(wave_columns.four[waveSlot(t - 3)]));
    const auto middle = mergeSorted<Lane32>(keptColumn<5>(wave_columns.five[waveSlot(t)]),
                                            keptColumn<5>(wave_columns.five[waveSlot(t + 3)]));
    const auto eighteen = mergeSorted<Lane32>(left, middle);
    std::array<Lane32, 8> candidates;
    for (std::size_t i = 0; i < 8; ++i) candidates[i] = eighteen[5 + i];
    const auto last = mergeSorted<Lane32>(candidates, right.five);
    return {last[5].value, last[6].value, last[7].value};
}

// As medianWith (scalar_walk.h), every lane at once.
FAST_LANES_INLINE Wave waveMedian(Wave far, Wave near, const WaveRanks& r) {
    const Wave lowest = _mm256_max_epu8(r.low, _mm256_min_epu8(far, r.mid));
    const Wave highest = _mm256_min_epu8(r.high, _mm256_max_epu8(far, r.mid));
    return _mm256_max_epu8(lowest, _mm256_min_epu8(near, highest));
}

// What a step hands its mode: the visit's own value as read, the chain's
// two rewritten values, which lanes the band keeps, and the column that has
// just entered the window. The median is worked out only when asked for:
// a mode that settles every lane without it (mode 1 where nothing
// replaces, mode 3 where its gate fails) skips most of a step's work.
struct WaveVisit {
    int t;
    Wave far;
    Wave near;
    Wave centre;
    Wave active;
    const EnteringColumn& entering;

    FAST_LANES_INLINE Wave median() const { return waveMedian(far, near, ranksAt(t, entering)); }
};

}  // namespace

#endif
