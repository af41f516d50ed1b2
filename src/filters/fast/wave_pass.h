// The fast neighbourhood pass on the AVX paths, put together: a mode's
// wavefront over a picture band by band, each band filled into its skewed
// store, stepped through, and written back. Included by neighbourhood.cpp
// alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#if defined(FAST_LANES_AVX2)

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"
#include "../progress.h"
#include "wave_band.h"
#include "wave_columns.h"

namespace {

// A channel's last two values, as its steps rewrote them: step t - 6's and t - 3's.
struct WaveChain {
    Wave far;
    Wave near;
};

// The lanes a step keeps: rows inside the frame whose byte at this step is
// a visit. Every row's is from WAVE_SKEW * row on, so only the band's first
// and last steps need working out, in signed 16-bit lanes: the widest row's
// last step stays below 2^15.
static_assert(ROW_STRIDE + WAVE_SKEW * WAVE_ROWS < 32768, "a band's steps fit signed 16-bit lanes");
struct WaveLanes {
    Wave rows;      // the band's rows inside the frame
    Wave skew_low;  // WAVE_SKEW * lane, 16-bit lanes in unpack order
    Wave skew_high;
    int all_from;  // steps at which every row's byte is a visit
    int all_to;
    int row_bytes;

    FAST_LANES_INLINE Wave at(int t) const {
        if (t >= all_from && t < all_to) return rows;
        const Wave step = _mm256_set1_epi16(std::int16_t(t));
        const Wave before = _mm256_set1_epi16(2 * CHANNELS_PER_PIXEL - 1);
        const Wave end = _mm256_set1_epi16(std::int16_t(row_bytes - 2 * CHANNELS_PER_PIXEL));
        const Wave low = _mm256_sub_epi16(step, skew_low);
        const Wave high = _mm256_sub_epi16(step, skew_high);
        const Wave in_low = _mm256_and_si256(_mm256_cmpgt_epi16(low, before), _mm256_cmpgt_epi16(end, low));
        const Wave in_high = _mm256_and_si256(_mm256_cmpgt_epi16(high, before), _mm256_cmpgt_epi16(end, high));
        return _mm256_and_si256(_mm256_packs_epi16(in_low, in_high), rows);
    }
};

WaveLanes waveLanesOf(const WaveBand& band) {
    alignas(32) std::uint8_t rows[32];
    alignas(32) std::int16_t skew[32];
    for (int l = 0; l < 32; ++l) rows[l] = l < band.rows ? 0xFF : 0;
    // Unpack order: [0-7 | 16-23] low, [8-15 | 24-31] high.
    for (int i = 0; i < 16; ++i) {
        const int low_lane = (i < 8 ? i : i + 8);
        skew[i] = std::int16_t(WAVE_SKEW * low_lane);
        skew[16 + i] = std::int16_t(WAVE_SKEW * (low_lane + 8));
    }
    const int first_visit = 2 * CHANNELS_PER_PIXEL;
    const int visits_end = band.row_bytes - 2 * CHANNELS_PER_PIXEL;
    return {loadWave(rows),
            _mm256_load_si256(reinterpret_cast<const Wave*>(skew)),
            _mm256_load_si256(reinterpret_cast<const Wave*>(skew + 16)),
            first_visit + WAVE_SKEW * (band.rows - 1),
            visits_end,
            band.row_bytes};
}

// Step t: the column entering the windows, the mode's value
// where the band keeps it, and the channel's chain moved on.
template <class Mode>
FAST_LANES_INLINE void waveStep(WaveBand& band, const Mode& mode, int t, WaveChain& chain, Wave active) {
    const int entering_at = t + 2 * CHANNELS_PER_PIXEL;
    const EnteringColumn entering =
        columnAt(band, entering_at, rowAboveOf(chain.near, band.at(t - CHANNELS_PER_PIXEL)));
    keepColumn(entering_at, entering);
    mode.keepColumn(entering_at, entering);
    const Wave centre = loadWave(band.at(t) + WAVE_ROW_AT);
    const Wave value = mode.value(WaveVisit{t, chain.far, chain.near, centre, active, entering});
    const Wave kept = _mm256_blendv_epi8(centre, value, active);
    storeWave(band.at(t) + WAVE_ROW_AT, kept);
    chain.far = chain.near;
    chain.near = kept;
}

template <class Mode>
void filterWaveBand(WaveBand& band, const Mode& mode) {
    const int first_visit = 2 * CHANNELS_PER_PIXEL;
    band.written_to = 0;
    fillWaveBlock(band, WAVE_FIRST_STEP);
    fillWaveBlock(band, WAVE_FIRST_STEP + WAVE_BLOCK);
    // The columns the first steps read, all still as read.
    for (int u = first_visit - 2 * CHANNELS_PER_PIXEL; u < first_visit + 2 * CHANNELS_PER_PIXEL; ++u) {
        const EnteringColumn c = columnAt(band, u, loadWave(band.at(u - WAVE_SKEW) + WAVE_ROW_AT - 1));
        keepColumn(u, c);
        mode.keepColumn(u, c);
    }
    WaveChain chains[CHANNELS_PER_PIXEL];
    for (int c = 0; c < CHANNELS_PER_PIXEL; ++c)
        chains[c] = {loadWave(band.at(first_visit + c - 2 * CHANNELS_PER_PIXEL) + WAVE_ROW_AT),
                     loadWave(band.at(first_visit + c - CHANNELS_PER_PIXEL) + WAVE_ROW_AT)};
    const WaveLanes lanes = waveLanesOf(band);
    for (int t = first_visit; t < band.steps_end; t += CHANNELS_PER_PIXEL) {
        // The steps read up to a reach ahead; a block is written back once
        // all its steps are done.
        if (band.filled_to < t + CHANNELS_PER_PIXEL + WAVE_REACH) fillWaveBlock(band, band.filled_to);
        for (int c = 0; c < CHANNELS_PER_PIXEL; ++c) waveStep(band, mode, t + c, chains[c], lanes.at(t + c));
        if (band.written_to + WAVE_BLOCK <= t + CHANNELS_PER_PIXEL) writeWaveBlock(band, band.written_to);
    }
    while (band.written_to < band.steps_end) writeWaveBlock(band, band.written_to);
}

// The whole pass: bands of WAVE_ROWS rows, each row's progress line once
// its band is done, as the plain pass prints them.
template <class Mode>
void runWavePass(std::uint8_t* image, PictureSize size, const Mode& mode, std::FILE* console) {
    for (int row = 2; row <= size.height - 3; row += WAVE_ROWS) {
        const int rows = std::min(WAVE_ROWS, size.height - 2 - row);
        if (size.width >= 5) {
            WaveBand& band = wave_band;
            band.top = image + pixelIndex(row, 0, 0);
            band.rows = rows;
            band.rows_held = std::min(size.height, MAX_IMAGE_ROWS) - (row - WAVE_HALO);
            band.row_bytes = size.width * CHANNELS_PER_PIXEL;
            // The last visit is the last row's byte row_bytes - 7; steps go three at a time.
            const int last = band.row_bytes - 2 * CHANNELS_PER_PIXEL - 1 + WAVE_SKEW * (rows - 1);
            band.steps_end = 2 * CHANNELS_PER_PIXEL + (last - 2 * CHANNELS_PER_PIXEL) / 3 * 3 + 3;
            filterWaveBand(band, mode);
        }
        for (int i = 0; i < rows; ++i) printProgressLines(console, row + i, size.height, 1);
    }
}

}  // namespace

#endif
