// The wavefront put together: a step, a band, and a mode's pass over the
// picture band by band.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "../../image/image_store.h"
#include "../progress.h"
#include "lane_type.h"
#include "wave_band.h"
#include "wave_columns.h"

namespace fast_wave {
inline namespace FAST_LANES_PATH {

// A channel's last two values as its steps rewrote them: step t - 6's and t - 3's.
struct Chain {
    Bytes far;
    Bytes near;
};

// Step t: the column entering the windows, the mode's value where the band
// keeps it, and the channel's chain moved on.
template <class Mode>
FAST_LANES_INLINE void step(const Mode& mode, int t, Chain& chain, Bytes active) {
    const int entering_at = t + 2 * CHANNELS_PER_PIXEL;
    mode.keepColumn(entering_at, enterColumnAfter(entering_at, chain.near));
    std::uint8_t* const line = lineOf(t) + LANE0_AT;
    const Bytes centre = loadBytes(line);
    const Bytes kept = select(active, mode.value(Visit{t, chain.far, chain.near, centre, active}), centre);
    storeBytes(line, kept);
    chain.far = chain.near;
    chain.near = kept;
}

template <class Mode>
void filterBand(Band& band, const Mode& mode) {
    band.written_to = 0;
    band.filled_to = FIRST_STEP;
    while (band.filled_to < FIRST_VISIT + REACH) fillBlock(band, band.filled_to);
    // The columns the first steps read, all still as read.
    for (int u = 0; u < 2 * FIRST_VISIT; ++u) mode.keepColumn(u, enterColumn(u, loadBytes(lineOf(u - SKEW) + LANE0_AT - 1)));
    Chain chains[CHANNELS_PER_PIXEL];
    for (int c = 0; c < CHANNELS_PER_PIXEL; ++c)
        chains[c] = {loadBytes(lineOf(c) + LANE0_AT), loadBytes(lineOf(c + CHANNELS_PER_PIXEL) + LANE0_AT)};
    const ActiveLanes lanes = activeLanesOf(band);
    for (int t = FIRST_VISIT; t < band.steps_end; t += CHANNELS_PER_PIXEL) {
        // The steps read a reach ahead; a block is written back once all
        // its steps are done.
        while (band.filled_to < t + CHANNELS_PER_PIXEL + REACH) fillBlock(band, band.filled_to);
        for (int c = 0; c < CHANNELS_PER_PIXEL; ++c) step(mode, t + c, chains[c], lanes.at(t + c));
        while (band.written_to + BLOCK <= t + CHANNELS_PER_PIXEL) writeBlock(band, band.written_to);
    }
    while (band.written_to < band.steps_end) writeBlock(band, band.written_to);
}

// The whole pass: bands of LANES rows, each row's progress line once its
// band is done, as the plain pass prints them.
template <class Mode>
void runPass(std::uint8_t* image, PictureSize size, const Mode& mode, std::FILE* console) {
    for (int row = 2; row <= size.height - 3; row += LANES) {
        const int rows = std::min(LANES, size.height - 2 - row);
        if (size.width >= 5) {
            Band band;
            band.top = image + pixelIndex(row, 0, 0);
            band.rows = rows;
            band.rows_held = std::min(size.height, MAX_IMAGE_ROWS) - (row - HALO);
            band.row_bytes = size.width * CHANNELS_PER_PIXEL;
            // The last visit is the last row's byte row_bytes - 7; steps go a pixel at a time.
            const int last = band.row_bytes - FIRST_VISIT - 1 + SKEW * (rows - 1);
            band.steps_end = FIRST_VISIT + (last - FIRST_VISIT) / CHANNELS_PER_PIXEL * CHANNELS_PER_PIXEL +
                             CHANNELS_PER_PIXEL;
            filterBand(band, mode);
        }
        for (int i = 0; i < rows; ++i) printProgressLines(console, row + i, size.height, 1);
    }
}

}  // namespace FAST_LANES_PATH
}  // namespace fast_wave
