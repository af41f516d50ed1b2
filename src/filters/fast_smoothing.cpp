#include "fast_smoothing.h"

#include "../front/messages.h"
#include "progress.h"

namespace {

constexpr int LEFT_REACH = 6;  // bytes from a visit to its channel two pixels left
constexpr int NEAR = 3;        // bytes to the same channel one pixel over
constexpr unsigned SMOOTHING_DIVISOR = 35;

// Per row, for every byte column: rows r-2 and r+2 (weight 1 throughout),
// rows r-1 and r+1 (weight 1 at the ends, 2 inside).
std::uint16_t outer_rows[ROW_STRIDE];
std::uint16_t inner_rows[ROW_STRIDE];
// Per visit: the weighted sum of all but its two left neighbours in its row.
std::uint16_t settled_sum[ROW_STRIDE];

void sumRowPairs(const std::uint8_t* centre_row, int row_bytes) {
    const std::uint8_t* above_far = centre_row - 2 * ROW_STRIDE;
    const std::uint8_t* above = centre_row - ROW_STRIDE;
    const std::uint8_t* below = centre_row + ROW_STRIDE;
    const std::uint8_t* below_far = centre_row + 2 * ROW_STRIDE;
    for (int p = 0; p < row_bytes; ++p) {
        outer_rows[p] = std::uint16_t(above_far[p] + below_far[p]);
        inner_rows[p] = std::uint16_t(above[p] + below[p]);
    }
}

// At most 32 * 255 = 8160, so 16 bits hold it.
void sumSettled(const std::uint8_t* centre_row, int first, int end) {
    for (int j = first; j < end; ++j) {
        const int box = outer_rows[j - LEFT_REACH] + outer_rows[j - NEAR] + outer_rows[j] + outer_rows[j + NEAR] +
                        outer_rows[j + LEFT_REACH] + inner_rows[j - LEFT_REACH] + inner_rows[j - NEAR] +
                        inner_rows[j] + inner_rows[j + NEAR] + inner_rows[j + LEFT_REACH];
        const int inner_box = inner_rows[j - NEAR] + inner_rows[j] + inner_rows[j + NEAR];
        const int own_row = 3 * centre_row[j] + 2 * centre_row[j + NEAR] + centre_row[j + LEFT_REACH];
        settled_sum[j] = std::uint16_t(box + inner_box + own_row);
    }
}

// Three chains, one per channel: each visit adds the two values its
// channel's chain rewrote just before it (weights 1 and 2).
void walkRow(std::uint8_t* row, int row_bytes) {
    unsigned far[CHANNELS_PER_PIXEL] = {row[0], row[1], row[2]};
    unsigned near[CHANNELS_PER_PIXEL] = {row[3], row[4], row[5]};
    for (int j = LEFT_REACH; j < row_bytes - LEFT_REACH; j += CHANNELS_PER_PIXEL) {
        for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel) {
            const unsigned value = (settled_sum[j + channel] + far[channel] + 2 * near[channel]) / SMOOTHING_DIVISOR;
            row[j + channel] = std::uint8_t(value);
            far[channel] = near[channel];
            near[channel] = value;
        }
    }
}

void smoothRow(std::uint8_t* image, int row, int width) {
    std::uint8_t* centre_row = image + pixelIndex(row, 0, 0);
    const int row_bytes = width * CHANNELS_PER_PIXEL;
    sumRowPairs(centre_row, row_bytes);
    sumSettled(centre_row, LEFT_REACH, row_bytes - LEFT_REACH);
    walkRow(centre_row, row_bytes);
}

}  // namespace

void smoothFast(std::uint8_t* image, PictureSize size, std::FILE* console) {
    std::fputs(kSmoothingStarted, console);
    for (int row = 2; row <= size.height - 3; ++row) {
        if (size.width < 5) continue;
        smoothRow(image, row, size.width);
        // The plain form prints one line per pixel; nothing comes between them.
        printProgressLines(console, row, size.height, size.width - 4);
    }
}
